// The trend window: not modal, it plots the 20° and 60° values of every row against the row
// number and repaints as rows are appended, deleted or cleared. "Save image…" writes the picture
// as a PNG file, with a title line that says when, from which instrument and how many readings.
// Escape and Ctrl+W close it.
#pragma once

#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <optional>

#include "analysis/ReadingSeries.h"
#include "analysis/TrendLayout.h"
#include "i18n/Language.h"

namespace analysis {

// The canvas the trend is painted on.
class TrendView : public QWidget {
  Q_OBJECT
 public:
  TrendView(const ReadingSeries& series, QWidget* parent = nullptr);
  void SetWords(const TrendWords& words);
  const TrendWords& Words() const { return words_; }
  // The picture as the canvas lays it out at its present size.
  TrendPicture Picture() const;
  // A batch's specification: its lines and the control-chart flags; none for the table.
  void SetSpecification(const std::optional<SpecView>& spec);
  const SpecView* Specification() const { return spec_ ? &*spec_ : nullptr; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const ReadingSeries& series_;
  TrendWords words_;
  std::optional<SpecView> spec_;
};

class TrendWindow : public QWidget {
  Q_OBJECT
 public:
  TrendWindow(const ReadingSeries& series, const i18n::LanguageState& language, QWidget* parent = nullptr);

  void ApplyLanguage();
  // The window shows batch `batchId` (its ID in the title) judged against `spec`.
  void SetBatch(const QString& batchId, const std::optional<SpecView>& spec);

  // Seam for tests: the file the picture goes to, from a save dialog; empty when cancelled.
  std::function<QString(QWidget* parent, const QString& title, const QString& filter, const QString& suggested)>
      AskImagePath;

  // The instrument's serial number as the main window shows it, for the saved picture's title.
  std::function<QString()> InstrumentSerial;
  // Seam for tests: the moment the picture is saved.
  std::function<QDateTime()> Now;

  // "Save image…": asks for the file and writes the canvas's picture to it as PNG. A failure is
  // told to the operator, success in the window's notice line; returns whether a file was written.
  bool SaveImageClick();
  // The title line of a picture saved now.
  QString ImageTitle() const;

  TrendView* Canvas;
  QLabel* NoticeLabel;
  QPushButton* SaveButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  const ReadingSeries& series_;
  const i18n::LanguageState& language_;
  QString batchId_;
};

// The save dialog: PNG files, ".png" added to a name without an ending, a question before an
// existing file is replaced.
QString AskImagePathWithDialog(QWidget* parent, const QString& title, const QString& filter, const QString& suggested);

// Writes `image` to `path` as PNG, whole or not at all. On failure returns false with the reason.
bool WritePng(const QImage& image, const QString& path, QString& reason);

}  // namespace analysis
