#include "analysis/windows/TrendWindow.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QSaveFile>
#include <QVBoxLayout>

#include "analysis/windows/StatisticsCells.h"
#include "analysis/windows/TrendPainting.h"
#include "analysis/windows/WindowHabits.h"
#include "analysis/windows/WindowTexts.h"
#include "i18n/ExtraTexts.h"
#include "widgets/Look.h"

namespace analysis {

using i18n::Extra;
using widgets::Named;

TrendView::TrendView(const ReadingSeries& series, QWidget* parent) : QWidget(parent), series_(series) {
  setObjectName(QStringLiteral("TrendView"));
  setMinimumSize(360, 220);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Rows arrive at most every few ticks; the repaint is coalesced by the event loop.
  connect(&series_, &ReadingSeries::Changed, this, qOverload<>(&QWidget::update));
}

void TrendView::SetWords(const TrendWords& words) {
  words_ = words;
  update();
}

TrendPicture TrendView::Picture() const {
  return LayOutTrend(series_.Rows(), QSizeF(size()), words_, MeasureFor(font(), this), Specification());
}

void TrendView::SetSpecification(const std::optional<SpecView>& spec) {
  spec_ = spec;
  update();
}

void TrendView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.setFont(font());
  PaintTrend(Picture(), painter);
}

TrendWindow::TrendWindow(const ReadingSeries& series, const i18n::LanguageState& language, QWidget* parent)
    : QWidget(parent, Qt::Window),
      AskImagePath(AskImagePathWithDialog),
      Now([] { return QDateTime::currentDateTime(); }),
      series_(series),
      language_(language) {
  setObjectName(QStringLiteral("TrendWindow"));
  // An open trend window never keeps the program running once the main window is closed.
  setAttribute(Qt::WA_QuitOnClose, false);

  Canvas = new TrendView(series_, this);
  NoticeLabel = Named(new QLabel(this), "NoticeLabel");
  SaveButton = Named(new QPushButton(this), "SaveButton");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(NoticeLabel, 1);
  buttons->addWidget(SaveButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Canvas, 1);
  layout->addLayout(buttons);
  resize(720, 460);

  connect(SaveButton, &QPushButton::clicked, this, &TrendWindow::SaveImageClick);
  ApplyLanguage();
}

void TrendWindow::keyPressEvent(QKeyEvent* event) {
  if (IsCloseKey(*event)) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

QString TrendWindow::ImageTitle() const {
  const int lang = language_.LanguageIndex;
  const QString serial = InstrumentSerial ? InstrumentSerial().trimmed() : QString();
  return i18n::ExtraText(Extra::TrendTitle, lang) + QStringLiteral(" · ") +
         Text(WindowText::ImageTitle, lang)
             .arg(QLocale::system().toString(Now(), QLocale::ShortFormat),
                  serial.isEmpty() ? QStringLiteral("?") : serial)
             .arg(series_.Rows().size());
}

void TrendWindow::ApplyLanguage() {
  const int lang = language_.LanguageIndex;
  NoticeLabel->clear();
  const QString title = i18n::ExtraText(Extra::TrendTitle, lang);
  setWindowTitle(batchId_.isEmpty() ? title : title + QStringLiteral(" – ") + batchId_);
  SaveButton->setText(i18n::ExtraText(Extra::TrendSaveImage, lang));
  Canvas->SetWords({i18n::ExtraText(Extra::TrendValueAxis, lang), i18n::ExtraText(Extra::TrendRowAxis, lang),
                    i18n::ExtraText(Extra::TrendEmpty, lang), DecimalMark(lang)});
}

void TrendWindow::SetBatch(const QString& batchId, const std::optional<SpecView>& spec) {
  batchId_ = batchId;
  Canvas->SetSpecification(spec);
  ApplyLanguage();
}

bool TrendWindow::SaveImageClick() {
  const int lang = language_.LanguageIndex;
  const QString path =
      AskImagePath(this, i18n::ExtraText(Extra::TrendSaveImageTitle, lang),
                   i18n::ExtraText(Extra::TrendImageFilter, lang), language_.BasePath + QStringLiteral("trend.png"));
  if (path.isEmpty()) return false;
  NoticeLabel->clear();
  const QImage image = RenderTrend(series_.Rows(), Canvas->size(), Canvas->Words(), Canvas->font(), ImageTitle(),
                                   Canvas->Specification());
  QString reason;
  if (WritePng(image, path, reason)) {
    ShowNotice(NoticeLabel, Text(WindowText::Saved, lang).arg(QFileInfo(path).fileName()));
    return true;
  }
  QMessageBox::critical(
      this, i18n::ExtraText(Extra::ErrorTitle, lang),
      i18n::ExtraText(Extra::TrendImageWriteFailed, lang).arg(QDir::toNativeSeparators(path), reason));
  return false;
}

QString AskImagePathWithDialog(QWidget* parent, const QString& title, const QString& filter, const QString& suggested) {
  QFileDialog dialog(parent, title, suggested, filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QStringLiteral("png"));
  dialog.selectFile(suggested);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

bool WritePng(const QImage& image, const QString& path, QString& reason) {
  // Written beside the target and renamed at the end, so a failure never leaves half a picture
  // in place of an older file.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    reason = file.errorString();
    return false;
  }
  QImageWriter writer(&file, "png");
  if (!writer.write(image)) {
    reason = writer.errorString();
    file.cancelWriting();
    return false;
  }
  if (!file.commit()) {
    reason = file.errorString();
    return false;
  }
  return true;
}

}  // namespace analysis
