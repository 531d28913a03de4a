// The statistics window: not modal, it follows the table as rows are appended, deleted or
// cleared, and the table's selection: the rows selected when two or more are, else all rows.
// Escape and Ctrl+W close it.
#pragma once

#include <QItemSelectionModel>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>
#include <array>
#include <optional>
#include <vector>

#include "analysis/ReadingSeries.h"
#include "analysis/windows/StatisticsCells.h"
#include "i18n/Language.h"

namespace analysis {

class StatisticsWindow : public QWidget {
  Q_OBJECT
 public:
  StatisticsWindow(const ReadingSeries& series, QItemSelectionModel* selection, const i18n::LanguageState& language,
                   QWidget* parent = nullptr);

  // Title, texts and numbers in the current language.
  void ApplyLanguage();
  // The window shows batch `batchId` judged against `spec`: its scope, the limits, Cp and Cpk.
  void SetBatch(const QString& batchId, const std::optional<SpecView>& spec);
  // The figures as they stand now.
  void Refresh();
  const StatisticsCells& Cells() const { return cells_; }

  QLabel* ScopeLabel;
  QTableWidget* StatisticsTable;
  QLabel* NoteLabel;
  QLabel* NoticeLabel;
  QPushButton* CopyButton;

  // "Copy": the figures as text on the clipboard; success is told in the notice line, a failure
  // in a message box.
  void CopyClick();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The rows the figures cover when two or more are selected; else empty (all rows).
  std::vector<int> SelectedRows() const;

  const ReadingSeries& series_;
  QPointer<QItemSelectionModel> selection_;
  const i18n::LanguageState& language_;
  StatisticsCells cells_;
  QString batchId_;
  std::optional<SpecView> spec_;
  std::array<QStringList, 2> shownHeadings_;  // of the columns and of the rows
};

}  // namespace analysis
