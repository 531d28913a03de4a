// The Batch window: not modal. A batch ID typed or scanned into "Batch ID" with Enter starts the
// batch with the product chosen (a scanner types like a keyboard); the latest reading's verdict
// per angle is shown large as a word, a symbol and a colour, with the counts of the open batch.
// Readings never open a box here; the boxes the operator asks for may, and polling goes on behind
// them.
#pragma once

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>

#include "i18n/Language.h"
#include "lab/BatchSession.h"

namespace lab {

class BatchWindow : public QWidget {
  Q_OBJECT
 public:
  // `settingsPath` keeps the operator's name.
  BatchWindow(BatchSession& session, const i18n::LanguageState& language, QString settingsPath,
              QWidget* parent = nullptr);

  void ApplyLanguage();
  // The products offered, the open batch and the latest verdicts as they stand now.
  void Refresh();
  void RefreshProducts();
  // Tells the operator in the window (never in a box) that the record cannot be written.
  void ShowProblem(const QString& text);
  // The batch the window is about: the open one, else the one last open while it existed (the
  // batch just closed). None before a batch was open.
  std::optional<std::int64_t> ShownBatch() const { return shown_; }
  // A button of another part of the program (a report, ...), in the row of the window's buttons.
  void AddButton(QPushButton* button);
  // The lab database's line ("Lab database: connected · 0 waiting") and why it is down; an empty
  // line hides it (no lab database).
  void ShowLink(const QString& line, const QString& reason);

  QLabel* BatchIdLabel;
  QLineEdit* BatchIdEdit;
  QLabel* ProductLabel;
  QComboBox* ProductBox;
  QLabel* OperatorLabel;
  QLineEdit* OperatorEdit;
  QLabel* MessageLabel;  // a refused batch ID, next to the field
  QPushButton* StartButton;
  QPushButton* CloseButton;
  QPushButton* SpecificationsButton;
  QPushButton* BatchesButton;
  QLabel* StateLabel;
  std::array<QLabel*, 3> VerdictLabels;  // 20°, 60°, the reading
  // Painted captions above the counts: the counts carry the names a screen reader reads.
  std::array<QWidget*, 4> CountCaptions;
  std::array<QLabel*, 4> CountLabels;  // passes, warnings, fails, no value
  QLabel* ProblemLabel;
  QLabel* LinkLabel;
  QLabel* LinkReasonLabel;

 signals:
  void SpecificationsRequested();
  void BatchesRequested();
  void ShownBatchChanged();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void StartClick();
  void CloseClick();
  void StoreOperator();
  void ShowVerdicts();
  void FocusBatchId();

  BatchSession& session_;
  const i18n::LanguageState& language_;
  QString settingsPath_;
  QHBoxLayout* buttons_ = nullptr;
  std::optional<std::int64_t> shown_;
};

// The verdict word, its symbol and its colour; the symbol and the word keep verdicts apart without
// their colours (for colour-blind operators), and the colours differ in lightness as well as hue.
struct VerdictLook {
  QString word;
  QString symbol;
  QColor colour;
};
VerdictLook LookOf(Verdict verdict, int languageIndex);
// "FAIL ▼ −2.6 GU": the verdict word, the direction and the signed distance from the target (or
// the one limit); the word alone without a distance.
QString VerdictText(Verdict verdict, std::optional<Centi> distance, int languageIndex);

}  // namespace lab
