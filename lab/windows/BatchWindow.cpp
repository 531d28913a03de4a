#include "lab/windows/BatchWindow.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPainter>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "lab/LabTexts.h"
#include "lab/Settings.h"
#include "widgets/Look.h"

namespace lab {

using widgets::Named;

namespace {

constexpr const char* kOperatorKey = "operator";

// A caption that is only seen: the label beneath it carries the same words as its accessible name,
// so a screen reader finds one "Passes", the one that holds the number.
class Caption : public QWidget {
 public:
  explicit Caption(QWidget* parent) : QWidget(parent) {}
  void SetText(const QString& text) {
    text_ = text;
    updateGeometry();
    update();
  }
  QString Text() const { return text_; }
  QSize sizeHint() const override { return {fontMetrics().horizontalAdvance(text_) + 8, fontMetrics().height() + 4}; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.drawText(rect(), Qt::AlignCenter, text_);
  }

 private:
  QString text_;
};

void Label(QLabel* caption, QWidget* field, const QString& text) {
  caption->setText(text);
  caption->setBuddy(field);
  field->setAccessibleName(text);
}

}  // namespace

VerdictLook LookOf(Verdict verdict, int lang) {
  // Blue, orange and vermilion from a palette that colour-blind eyes keep apart.
  switch (verdict) {
    case Verdict::Pass:
      return {Text(LabText::Pass, lang), QStringLiteral("✔"), QColor(0x00, 0x72, 0xB2)};
    case Verdict::Warn:
      return {Text(LabText::Warn, lang), QStringLiteral("⚠"), QColor(0xB0, 0x7A, 0x00)};
    case Verdict::Fail:
      return {Text(LabText::Fail, lang), QStringLiteral("✖"), QColor(0xD5, 0x5E, 0x00)};
    case Verdict::NoValue:
      return {Text(LabText::NoValueWord, lang), QStringLiteral("?"), QColor(0x55, 0x55, 0x55)};
    case Verdict::NotJudged:
      break;
  }
  return {Text(LabText::NotJudged, lang), QString(), QColor(0x55, 0x55, 0x55)};
}

QString VerdictText(Verdict verdict, std::optional<Centi> distance, int lang) {
  const VerdictLook look = LookOf(verdict, lang);
  QString text = look.word;
  if (!look.symbol.isEmpty()) text += QLatin1Char(' ') + look.symbol;
  if (distance) {
    const QString arrow = *distance < 0   ? QStringLiteral("▼")
                          : *distance > 0 ? QStringLiteral("▲")
                                          : QStringLiteral("●");
    QString number = FormatCenti(*distance < 0 ? -*distance : *distance);
    // A typographic minus, as the instrument's own display would not confuse it with a dash.
    number.prepend(*distance < 0 ? QStringLiteral("−") : *distance > 0 ? QStringLiteral("+") : QString());
    text += QLatin1Char(' ') + arrow + QLatin1Char(' ') + number + QStringLiteral(" GU");
  }
  return text;
}

BatchWindow::BatchWindow(BatchSession& session, const i18n::LanguageState& language, QString settingsPath,
                         QWidget* parent)
    : QWidget(parent, Qt::Window), session_(session), language_(language), settingsPath_(std::move(settingsPath)) {
  setObjectName(QStringLiteral("BatchWindow"));
  // An open Batch window never keeps the program running once the main window is closed.
  setAttribute(Qt::WA_QuitOnClose, false);

  BatchIdLabel = Named(new QLabel(this), "BatchIdLabel");
  BatchIdEdit = Named(new QLineEdit(this), "BatchIdEdit");
  ProductLabel = Named(new QLabel(this), "ProductLabel");
  ProductBox = Named(new QComboBox(this), "ProductBox");
  OperatorLabel = Named(new QLabel(this), "OperatorLabel");
  OperatorEdit = Named(new QLineEdit(this), "OperatorEdit");
  OperatorEdit->setText(ReadSetting(settingsPath_, QLatin1String(kOperatorKey)).value_or(QString()));
  MessageLabel = Named(new QLabel(this), "MessageLabel");
  MessageLabel->setWordWrap(true);
  MessageLabel->setStyleSheet(QStringLiteral("color: #b00000;"));
  StartButton = Named(new QPushButton(this), "StartButton");
  CloseButton = Named(new QPushButton(this), "CloseButton");
  SpecificationsButton = Named(new QPushButton(this), "SpecificationsButton");
  BatchesButton = Named(new QPushButton(this), "BatchesButton");
  StateLabel = Named(new QLabel(this), "StateLabel");
  StateLabel->setWordWrap(true);
  ProblemLabel = Named(new QLabel(this), "ProblemLabel");
  ProblemLabel->setWordWrap(true);
  ProblemLabel->setStyleSheet(QStringLiteral("color: #b00000;"));
  ProblemLabel->hide();
  LinkLabel = Named(new QLabel(this), "LinkLabel");
  LinkLabel->hide();
  LinkReasonLabel = Named(new QLabel(this), "LinkReasonLabel");
  LinkReasonLabel->setWordWrap(true);
  LinkReasonLabel->hide();

  QFont big = font();
  big.setPointSizeF(big.pointSizeF() * 2.2);
  big.setBold(true);
  const char* verdictNames[3] = {"Verdict20Label", "Verdict60Label", "VerdictLabel"};
  for (int i = 0; i < 3; ++i) {
    QLabel* l = Named(new QLabel(this), verdictNames[i]);
    l->setFont(big);
    l->setMinimumWidth(QFontMetrics(big).horizontalAdvance(QStringLiteral("NON CONFORME ✖ ▼ −100.00 GU")));
    l->setAutoFillBackground(true);
    l->setMargin(4);
    VerdictLabels[static_cast<std::size_t>(i)] = l;
  }
  const char* countNames[4] = {"PassesLabel", "WarningsLabel", "FailsLabel", "NoValueLabel"};
  const char* captionNames[4] = {"PassesCaption", "WarningsCaption", "FailsCaption", "NoValueCaption"};
  QFont countFont = font();
  countFont.setPointSizeF(countFont.pointSizeF() * 1.5);
  for (int i = 0; i < 4; ++i) {
    CountCaptions[static_cast<std::size_t>(i)] = Named(new Caption(this), captionNames[i]);
    QLabel* count = Named(new QLabel(QStringLiteral("0"), this), countNames[i]);
    count->setFont(countFont);
    CountLabels[static_cast<std::size_t>(i)] = count;
  }

  auto* form = new QFormLayout;
  form->addRow(BatchIdLabel, BatchIdEdit);
  form->addRow(QString(), MessageLabel);
  form->addRow(ProductLabel, ProductBox);
  form->addRow(OperatorLabel, OperatorEdit);
  auto* buttons = buttons_ = new QHBoxLayout;
  buttons->addWidget(StartButton);
  buttons->addWidget(CloseButton);
  buttons->addStretch(1);
  buttons->addWidget(SpecificationsButton);
  buttons->addWidget(BatchesButton);
  auto* verdicts = new QVBoxLayout;
  for (QLabel* l : VerdictLabels) verdicts->addWidget(l);
  auto* counts = new QGridLayout;
  for (int i = 0; i < 4; ++i) {
    counts->addWidget(CountCaptions[static_cast<std::size_t>(i)], 0, i, Qt::AlignHCenter);
    counts->addWidget(CountLabels[static_cast<std::size_t>(i)], 1, i, Qt::AlignHCenter);
  }
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addLayout(buttons);
  layout->addWidget(StateLabel);
  layout->addLayout(verdicts);
  layout->addLayout(counts);
  layout->addWidget(ProblemLabel);
  layout->addStretch(1);
  layout->addWidget(LinkLabel);
  layout->addWidget(LinkReasonLabel);

  connect(BatchIdEdit, &QLineEdit::returnPressed, this, &BatchWindow::StartClick);
  connect(BatchIdEdit, &QLineEdit::textEdited, MessageLabel, &QLabel::clear);
  connect(StartButton, &QPushButton::clicked, this, &BatchWindow::StartClick);
  connect(CloseButton, &QPushButton::clicked, this, &BatchWindow::CloseClick);
  connect(SpecificationsButton, &QPushButton::clicked, this, &BatchWindow::SpecificationsRequested);
  connect(BatchesButton, &QPushButton::clicked, this, &BatchWindow::BatchesRequested);
  connect(OperatorEdit, &QLineEdit::editingFinished, this, &BatchWindow::StoreOperator);
  connect(&session_, &BatchSession::BatchChanged, this, &BatchWindow::Refresh);
  connect(&session_, &BatchSession::ReadingRecorded, this, &BatchWindow::ShowVerdicts);
  connect(&session_, &BatchSession::ReadingsChanged, this, &BatchWindow::ShowVerdicts);

  ApplyLanguage();
  setTabOrder(BatchIdEdit, ProductBox);
  setTabOrder(ProductBox, OperatorEdit);
  setTabOrder(OperatorEdit, StartButton);
}

void BatchWindow::ApplyLanguage() {
  const int lang = language_.LanguageIndex;
  setWindowTitle(Text(LabText::BatchTitle, lang));
  Label(BatchIdLabel, BatchIdEdit, Text(LabText::BatchId, lang));
  Label(ProductLabel, ProductBox, Text(LabText::Product, lang));
  Label(OperatorLabel, OperatorEdit, Text(LabText::Operator, lang));
  StartButton->setText(Text(LabText::StartBatch, lang));
  CloseButton->setText(Text(LabText::CloseBatch, lang));
  SpecificationsButton->setText(Text(LabText::SpecificationsButton, lang));
  BatchesButton->setText(Text(LabText::BatchesButton, lang));
  // The verdicts' and counts' accessible names stay the same in every language, so that a screen
  // reader's user (and a test) finds them by one name; their captions follow the language.
  const char* verdictNames[3] = {"Verdict 20°", "Verdict 60°", "Verdict"};
  const LabText verdictTexts[3] = {LabText::Verdict20, LabText::Verdict60, LabText::Verdict};
  for (int i = 0; i < 3; ++i) {
    VerdictLabels[static_cast<std::size_t>(i)]->setAccessibleName(QString::fromUtf8(verdictNames[i]));
    VerdictLabels[static_cast<std::size_t>(i)]->setToolTip(Text(verdictTexts[i], lang));
  }
  const char* countNames[4] = {"Passes", "Warnings", "Fails", "No value"};
  const LabText countTexts[4] = {LabText::Passes, LabText::Warnings, LabText::Fails, LabText::NoValue};
  for (int i = 0; i < 4; ++i) {
    static_cast<Caption*>(CountCaptions[static_cast<std::size_t>(i)])->SetText(Text(countTexts[i], lang));
    CountLabels[static_cast<std::size_t>(i)]->setAccessibleName(QLatin1String(countNames[i]));
  }
  RefreshProducts();
  Refresh();
}

void BatchWindow::RefreshProducts() {
  const QVariant chosen = ProductBox->currentData();
  ProductBox->clear();
  ProductBox->addItem(Text(LabText::NoProduct, language_.LanguageIndex));
  for (const Specification& s : session_.Store().Products(false))
    ProductBox->addItem(s.name, QVariant::fromValue(s.id));
  // A product edited meanwhile has a new version: it stays chosen by its name.
  const int at = chosen.isValid() ? ProductBox->findData(chosen) : -1;
  if (at >= 0) ProductBox->setCurrentIndex(at);
}

void BatchWindow::Refresh() {
  const int lang = language_.LanguageIndex;
  const std::optional<Batch> open = session_.Current();
  if (open && shown_ != open->id) {
    shown_ = open->id;
    emit ShownBatchChanged();
  }
  CloseButton->setEnabled(open.has_value());
  const bool writable = session_.Store().Writable();
  StartButton->setEnabled(writable);
  BatchIdEdit->setReadOnly(!writable);
  if (open) {
    StateLabel->setText(Text(LabText::BatchOpen, lang)
                            .arg(open->batchId,
                                 open->product.isEmpty() ? Text(LabText::NoProduct, lang) : open->product,
                                 QLocale().toString(open->started.ToDateTime(), QLocale::ShortFormat)));
  } else {
    StateLabel->setText(Text(LabText::NoBatchOpen, lang));
  }
  ShowVerdicts();
}

void BatchWindow::ShowVerdicts() {
  const int lang = language_.LanguageIndex;
  const std::optional<Batch> open = session_.Current();
  const std::optional<Reading>& latest = session_.Latest();
  for (int i = 0; i < 3; ++i) {
    Verdict v = Verdict::NotJudged;
    std::optional<Centi> distance;
    if (latest) {
      if (i < 2) {
        v = latest->judgement.angle[static_cast<std::size_t>(i)];
        distance = latest->judgement.distance[static_cast<std::size_t>(i)];
      } else {
        v = latest->judgement.reading;
      }
    }
    QLabel* l = VerdictLabels[static_cast<std::size_t>(i)];
    const VerdictLook look = LookOf(v, lang);
    QString text = VerdictText(v, distance, lang);
    if (i < 2) text += QStringLiteral("   ") + (i == 0 ? QStringLiteral("20°") : QStringLiteral("60°"));
    l->setText(text);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, v == Verdict::NotJudged ? palette().color(QPalette::WindowText) : Qt::white);
    p.setColor(QPalette::Window, v == Verdict::NotJudged ? palette().color(QPalette::Window) : look.colour);
    l->setPalette(p);
  }
  const int counts[4] = {open ? open->passes : 0, open ? open->warnings : 0, open ? open->fails : 0,
                         open ? open->noValue : 0};
  for (int i = 0; i < 4; ++i) CountLabels[static_cast<std::size_t>(i)]->setText(QString::number(counts[i]));
}

void BatchWindow::ShowProblem(const QString& text) {
  ProblemLabel->setText(text);
  ProblemLabel->setVisible(!text.isEmpty());
  Refresh();
}

void BatchWindow::AddButton(QPushButton* button) {
  button->setParent(this);
  buttons_->addWidget(button);
}

void BatchWindow::ShowLink(const QString& line, const QString& reason) {
  LinkLabel->setText(line);
  LinkLabel->setVisible(!line.isEmpty());
  LinkReasonLabel->setText(reason);
  LinkReasonLabel->setVisible(!line.isEmpty() && !reason.isEmpty());
}

void BatchWindow::StoreOperator() {
  const QString name = OperatorEdit->text().trimmed();
  if (ReadSetting(settingsPath_, QLatin1String(kOperatorKey)).value_or(QString()) == name) return;
  QString error;
  if (!WriteSetting(settingsPath_, QLatin1String(kOperatorKey), name, error)) {
    MessageLabel->setText(Text(LabText::OperatorNotStored, language_.LanguageIndex).arg(settingsPath_, error));
  }
}

void BatchWindow::StartClick() {
  const int lang = language_.LanguageIndex;
  const QString id = BatchIdEdit->text().trimmed();
  switch (CheckBatchId(id)) {
    case BatchIdProblem::Empty:
      MessageLabel->setText(Text(LabText::BatchIdEmpty, lang));
      return FocusBatchId();
    case BatchIdProblem::TooLong:
      MessageLabel->setText(Text(LabText::BatchIdTooLong, lang));
      return FocusBatchId();
    case BatchIdProblem::ControlCharacter:
      MessageLabel->setText(Text(LabText::BatchIdControl, lang));
      return FocusBatchId();
    case BatchIdProblem::None:
      break;
  }
  MessageLabel->clear();
  StoreOperator();
  bool ok = true;
  if (const std::optional<Batch> existing = session_.Store().FindBatch(id); existing && existing->Open()) {
    // The open batch scanned again: it goes on as it is.
    BatchIdEdit->clear();
  } else if (existing) {
    QMessageBox box(QMessageBox::Question, Text(LabText::BatchTitle, lang), Text(LabText::BatchExists, lang).arg(id),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::Yes);
    if (box.exec() != QMessageBox::Yes) return FocusBatchId();
    ok = session_.Continue(existing->id);
  } else {
    const QVariant spec = ProductBox->currentData();
    ok = session_.Start(id, spec.isValid() ? std::optional<std::int64_t>(spec.toLongLong()) : std::nullopt,
                        OperatorEdit->text().trimmed());
  }
  if (!ok) {
    MessageLabel->setText(
        Text(LabText::RecordUnwritable, lang).arg(session_.Store().Path(), session_.Store().Problem()));
  } else {
    BatchIdEdit->clear();
  }
  FocusBatchId();
}

void BatchWindow::CloseClick() {
  if (!session_.Close()) {
    MessageLabel->setText(Text(LabText::RecordUnwritable, language_.LanguageIndex)
                              .arg(session_.Store().Path(), session_.Store().Problem()));
  }
  FocusBatchId();
}

void BatchWindow::FocusBatchId() {
  BatchIdEdit->setFocus(Qt::OtherFocusReason);
  BatchIdEdit->selectAll();
}

void BatchWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  RefreshProducts();
  Refresh();
  FocusBatchId();
}

}  // namespace lab
