#include "app/Unit1.h"

#include <QHeaderView>
#include <QMessageBox>
#include <QPointer>
#include <QShowEvent>

#include "analysis/windows/ReadingAnalysis.h"
#include "app/Diagnostics.h"
#include "dialogs/Unit5.h"
#include "dialogs/Unit6.h"
#include "dialogs/Unit7.h"
#include "i18n/ExtraTexts.h"
#include "i18n/ToolkitLanguage.h"
#include "i18n/widgets/Flag.h"
#include "i18n/widgets/Help.h"
#include "i18n/widgets/Unit4.h"
#include "protocol/Log.h"
#include "protocol/Messages.h"
#include "protocol/OperatorRequests.h"
#include "table/TableActions.h"
#include "widgets/Art.h"
#include "widgets/Look.h"

namespace app {
namespace {

namespace Txt = i18n::Txt;

using widgets::Named;
using widgets::PixelFont;

// A button with its glyph above its caption.
QToolButton* SpeedButton(const char* name, const QString& caption, const QString& art, QSize glyph, QRect geometry,
                         QWidget* parent) {
  auto* b = Named(new QToolButton(parent), name);
  b->setText(caption);
  b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  b->setIcon(QIcon(widgets::LoadArt(art, glyph.width(), glyph.height())));
  b->setIconSize(glyph);
  b->setGeometry(geometry);
  return b;
}

QLabel* Picture(const char* name, const QString& art, QRect geometry, QWidget* parent) {
  auto* l = Named(new QLabel(parent), name);
  l->setGeometry(geometry);
  if (!art.isEmpty()) l->setPixmap(widgets::LoadArt(art, geometry.width(), geometry.height()));
  return l;
}

}  // namespace

TMainForm::TMainForm(ProcessState& state, usb::UsbAccess& access, QWidget* parent)
    : QWidget(parent),
      state_(state),
      link_(access),
      cycle_(
          state.Cycle, link_.TxBuf, [this] { return link_.Transact(); }, *this) {
  // 1. The window and its controls, all timers off. 2. The device objects, closed (link_).
  BuildControls();
  WireHandlers();

  // 3. First connection attempt.
  if (link_.OpenInstrument()) {
    Timer1->start();
    Timer2->stop();
  } else {
    firstAttemptFailed_ = true;
    Timer2->start();
  }

  // 4. Construction is complete.
  FormCreate();
}

TMainForm::~TMainForm() {
  FormDestroy();
  // link_ then destroys OutPipe, InPipe and UsbDevice, in that order.
}

void TMainForm::BuildControls() {
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("318QX"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(708, 597);
  setWindowIcon(QIcon(widgets::LoadArt(QStringLiteral("icon"), 64, 64)));
  const QFont window(QStringLiteral("MS Sans Serif"), 8);
  setFont(window);
  const QFont reading = PixelFont(window, 19);
  const QFont identity = PixelFont(window, 16);
  const QFont identityBold = PixelFont(window, 16, true);

  // Title area.
  Image1 = Picture("Image1", QStringLiteral("banner"), {0, 0, 709, 65}, this);
  langFlag = Picture("langFlag", QString(), {12, 80, 32, 32}, this);
  langButton = Named(new QPushButton(QStringLiteral("Language"), this), "langButton");
  langButton->setGeometry(52, 80, 75, 33);

  // The title keeps its place before the registered mark at 384.
  const QFont title = widgets::TitleFont(window, QStringLiteral("KORVANTA III"), 384 - 176 - 2);
  Label25 = Named(new QLabel(QStringLiteral("KORVANTA III   318 QX"), this), "Label25");
  Label25->setFont(title);
  Label25->setGeometry(176, 80, 370, QFontMetrics(title).height());
  Label9 = Named(new QLabel(QStringLiteral("®"), this), "Label9");
  Label9->setFont(PixelFont(window, 16));
  Label9->setGeometry(384, 71, 16, 20);
  for (QLabel* l : {Label25, Label9}) widgets::SetTextColour(l, Qt::blue);
  geometrie = Named(new QPushButton(QStringLiteral("Messgeometrie"), this), "geometrie");
  geometrie->setGeometry(552, 86, 118, 25);
  Image4 = Named(new widgets::ClickLabel(this), "Image4");
  Image4->setGeometry(565, 125, 32, 32);
  Image4->setPixmap(widgets::LoadArt(QStringLiteral("help"), 32, 32));
  Image7 = Named(new widgets::ClickLabel(this), "Image7");
  Image7->setGeometry(622, 126, 32, 32);
  Image7->setPixmap(widgets::LoadArt(QStringLiteral("info"), 32, 32));
  Image2 = Picture("Image2", QStringLiteral("light_dark"), {622, 96, 32, 16}, this);
  Image2->hide();
  Image3 = Picture("Image3", QStringLiteral("light_normal"), {660, 97, 32, 16}, this);
  Image3->hide();

  // Readings area.
  const auto left = Qt::AlignLeft;
  const auto right = Qt::AlignRight;
  Label13 = new widgets::AutoLabel(QStringLiteral("Label13"), QStringLiteral("Display"), 53, 138, left, identity, this);
  Label21 = new widgets::AutoLabel(QStringLiteral("Label21"), QStringLiteral("Nr."), 141, 144, left, window, this);
  Label23 = new widgets::AutoLabel(QStringLiteral("Label23"), QStringLiteral("?"), 165, 144, left, window, this);
  Label104 = new widgets::AutoLabel(QStringLiteral("Label104"), QStringLiteral("20°"), 53, 170, left, reading, this);
  Label36 = new widgets::AutoLabel(QStringLiteral("Label36"), QStringLiteral("?"), 93, 168, right, reading, this, 84);
  Label49 = new widgets::AutoLabel(QStringLiteral("Label49"), QStringLiteral("?"), 183, 168, left, reading, this);
  Label52 = new widgets::AutoLabel(QStringLiteral("Label52"), QStringLiteral("?"), 199, 168, left, reading, this);
  Label87 = new widgets::AutoLabel(QStringLiteral("Label87"), QStringLiteral("?"), 215, 168, left, reading, this);
  Label103 = new widgets::AutoLabel(QStringLiteral("Label103"), QStringLiteral("60°"), 53, 200, left, reading, this);
  Label8 = new widgets::AutoLabel(QStringLiteral("Label8"), QStringLiteral("?"), 93, 198, right, reading, this, 84);
  Label17 = new widgets::AutoLabel(QStringLiteral("Label17"), QStringLiteral("?"), 183, 198, left, reading, this);
  Label18 = new widgets::AutoLabel(QStringLiteral("Label18"), QStringLiteral("?"), 199, 198, left, reading, this);
  Label19 = new widgets::AutoLabel(QStringLiteral("Label19"), QStringLiteral("?"), 215, 198, left, reading, this);

  messen =
      SpeedButton("messen", QStringLiteral("Messen"), QStringLiteral("measure"), {32, 32}, {294, 141, 147, 48}, this);
  licht = SpeedButton("licht", QStringLiteral("Licht"), QStringLiteral("light"), {32, 16}, {296, 199, 65, 47}, this);
  winkel = SpeedButton("winkel", QStringLiteral("Winkel"), QStringLiteral("angle"), {24, 24}, {376, 199, 65, 47}, this);

  Label12 = new widgets::AutoLabel(QStringLiteral("Label12"), QStringLiteral("Firmware:"), 487, 171, right,
                                   identityBold, this);
  Label7 = new widgets::AutoLabel(QStringLiteral("Label7"), QStringLiteral("???"), 588, 171, left, identity, this);
  Label2 = new widgets::AutoLabel(QStringLiteral("Label2"), QStringLiteral("Serial No.:"), 482, 203, right,
                                  identityBold, this);
  QFont serial = identity;
  serial.setFamily(QStringLiteral("Arial"));
  SerialNr = new widgets::AutoLabel(QStringLiteral("SerialNr"), QStringLiteral("???"), 588, 204, left, serial, this);
  SerialNr->SetRightLimit(708 - 4);
  Label7->SetRightLimit(708 - 4);

  CheckBox1 = Named(new QCheckBox(QStringLiteral("AutoSample"), this), "CheckBox1");
  CheckBox1->setGeometry(498, 227, 97, 17);
  CheckBox1->hide();

  // The radio groups lie inside the table's rectangle, beneath it.
  Shot = new widgets::RadioGroup(QStringLiteral("Shot"), QStringLiteral("Shot"),
                                 {QStringLiteral("None"), QStringLiteral("Shot"), QStringLiteral("Dark")}, this);
  Shot->setGeometry(589, 311, 65, 89);
  MeasGeo = new widgets::RadioGroup(QStringLiteral("MeasGeo"), QStringLiteral("Meas Geo"),
                                    {QStringLiteral("20°"), QStringLiteral("60°"), QStringLiteral("20° + 60°")}, this);
  MeasGeo->setGeometry(312, 335, 89, 57);
  ori = new widgets::RadioGroup(QStringLiteral("ori"), QStringLiteral("Displ. orientation"),
                                {QStringLiteral("normal"), QStringLiteral("180°")}, this);
  ori->setGeometry(429, 335, 89, 57);
  // They lie beneath the table, out of sight: no Tab stop may land there.
  for (widgets::RadioGroup* group : {Shot, MeasGeo, ori}) group->SetKeyboardReachable(false);

  // Table and bottom row.
  ListView1 = Named(new QTableView(this), "ListView1");
  ListView1->setGeometry(53, 263, 609, 249);
  ListView1->setModel(&rows_);
  ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
  // One Tab stop: the arrow keys move inside it, Tab moves on to the buttons beneath.
  ListView1->setTabKeyNavigation(false);
  ListView1->setShowGrid(false);
  ListView1->setWordWrap(false);
  ListView1->setAlternatingRowColors(false);
  ListView1->verticalHeader()->hide();
  // Fixed row heights keep appends cheap however long the table grows.
  ListView1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  ListView1->verticalHeader()->setDefaultSectionSize(QFontMetrics(window).height() + 4);
  QHeaderView* header = ListView1->horizontalHeader();
  header->setHighlightSections(false);
  header->setSectionsClickable(false);
  const int widths[] = {80, 80, 70, 70, 80, 80};
  for (int c = 0; c < 6; ++c) header->resizeSection(c, widths[c]);
  header->setStretchLastSection(true);
  ListView1->raise();

  clearD = Named(new QPushButton(QStringLiteral("Clear Data"), this), "clearD");
  clearD->setGeometry(53, 533, 118, 25);
  clearL = Named(new QPushButton(QStringLiteral("Clear Line"), this), "clearL");
  clearL->setGeometry(312, 533, 118, 25);
  exportB = Named(new QPushButton(QStringLiteral("Export"), this), "exportB");
  exportB->setGeometry(544, 533, 118, 25);
  Button1 = Named(new QPushButton(QStringLiteral("Test"), this), "Button1");
  Button1->setGeometry(449, 547, 75, 25);
  Button1->hide();

  // Two fields: connection messages (500 pixels) and the measuring geometry (the rest).
  StatusBar = Named(new QStatusBar(this), "StatusBar");
  StatusBar->setSizeGripEnabled(false);
  StatusBar->setGeometry(0, 597 - 19, 708, 19);
  statusFields_[0] = Named(new QLabel(StatusBar), "StatusField0");
  statusFields_[0]->setFixedWidth(500);
  statusFields_[1] = Named(new QLabel(StatusBar), "StatusField1");
  StatusBar->addWidget(statusFields_[0]);
  StatusBar->addWidget(statusFields_[1], 1);

  // Components without a face; all off at load.
  Timer1 = Named(new QTimer(this), "Timer1");
  Timer1->setInterval(50);
  Timer1->setTimerType(Qt::PreciseTimer);
  Timer2 = Named(new QTimer(this), "Timer2");
  Timer2->setInterval(5000);
  Timer3 = Named(new QTimer(this), "Timer3");
  Timer3->setInterval(2000);
}

void TMainForm::WireHandlers() {
  // Rows put at the front (readings brought back after an abnormal end) would push the newest out
  // of sight: the table's last row stays fully in view, as after a reading.
  connect(&rows_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int) {
    if (first == 0) ListView1->scrollToBottom();
  });
  connect(langButton, &QPushButton::clicked, this, &TMainForm::langButtonClick);
  connect(geometrie, &QPushButton::clicked, this, &TMainForm::geometrieClick);
  connect(Image4, &widgets::ClickLabel::clicked, this, &TMainForm::Image4Click);
  connect(Image7, &widgets::ClickLabel::clicked, this, &TMainForm::Image7Click);
  connect(messen, &QToolButton::clicked, this, &TMainForm::messenClick);
  connect(licht, &QToolButton::clicked, this, &TMainForm::lichtClick);
  connect(winkel, &QToolButton::clicked, this, &TMainForm::winkelClick);
  connect(CheckBox1, &QCheckBox::clicked, this, &TMainForm::CheckBox1Click);
  for (widgets::RadioGroup* group : {Shot, MeasGeo, ori}) {
    connect(group, &widgets::RadioGroup::Changed, this, [this, group] { RefHiClick(group); });
  }
  connect(ListView1, &QTableView::doubleClicked, this, &TMainForm::ListView1DblClick);
  connect(clearD, &QPushButton::clicked, this, &TMainForm::clearDClick);
  connect(clearL, &QPushButton::clicked, this, &TMainForm::clearLClick);
  connect(exportB, &QPushButton::clicked, this, &TMainForm::exportBClick);
  connect(Button1, &QPushButton::clicked, this, &TMainForm::Button1Click);
  connect(Timer1, &QTimer::timeout, this, &TMainForm::Timer1Timer);
  connect(Timer2, &QTimer::timeout, this, &TMainForm::Timer2Timer);
  connect(Timer3, &QTimer::timeout, this, &TMainForm::Timer3Timer);

  // The table's context menu (right button, menu key) opens the statistics and the trend.
  analysis_ = std::make_unique<analysis::ReadingAnalysis>(rows_, *ListView1, state_.Language, this);
  analysis_->SetInstrumentSerial([this] { return SerialNr->text(); });
  ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(ListView1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { analysis_->ShowTableMenu(ListView1->viewport()->mapToGlobal(at)); });
  connect(this, &TMainForm::LanguageApplied, analysis_.get(), &analysis::ReadingAnalysis::ApplyLanguage);
}

QString TMainForm::StatusText(int field) const { return statusFields_[field]->text(); }

void TMainForm::SetStatusText(int field, const QString& text) {
  // Every tick clears the connection message; most ticks find it empty already.
  if (statusFields_[field]->text() != text) statusFields_[field]->setText(text);
}

void TMainForm::FormCreate() {
  i18n::LanguageState& language = state_.Language;
  language.BasePath = i18n::WorkingDirectoryBasePath();
  state_.Table.ExportLines.clear();
  language.LanguageIndex = i18n::ReadLanguageSetting(language.BasePath);
  language.TextTable.FillLanguageBlocks();
  ApplyLanguage();
  if (firstAttemptFailed_) SetStatusText(0, Text(Txt::OpenFailed));
}

void TMainForm::FormDestroy() {
  link_.CloseInstrument();
  state_.Table.ExportLines.clear();
}

void TMainForm::showEvent(QShowEvent* event) {
  if (shown_ || event->spontaneous()) {
    QWidget::showEvent(event);
    return;
  }
  shown_ = true;
  widgets::CentreOnScreen(this);
  QWidget::showEvent(event);
  // The start-up geometry sequence shows a modal dialog; it runs once the window is on screen.
  QTimer::singleShot(0, this, &TMainForm::InitGeo);
}

void TMainForm::ApplyLanguage() {
  i18n::LanguageState& language = state_.Language;
  language.TextTable.LoadTextSet(language.LanguageIndex);
  // The standard buttons and dialogs follow too; the program's own texts stay as the table has them.
  if (!i18n::ApplyToolkitLanguage(language.LanguageIndex)) {
    qCWarning(lcApp,
              "korvanta: the window toolkit's translations were not found in %s; its buttons and dialogs stay "
              "in English",
              qPrintable(i18n::ToolkitTranslationFolders().join(QStringLiteral(", "))));
  }

  Label13->SetCaption(Text(Txt::Data));
  messen->setText(Text(Txt::Measure));
  licht->setText(Text(Txt::Light));
  winkel->setText(Text(Txt::Angle));
  geometrie->setText(Text(Txt::Setup));
  Label2->SetCaption(Text(Txt::SerialNo));
  Label12->SetCaption(Text(Txt::Firmware));
  clearD->setText(Text(Txt::ClearData));
  clearL->setText(Text(Txt::ClearLine));
  exportB->setText(Text(Txt::Export));
  rows_.SetHeadings({Text(Txt::ColDate), Text(Txt::ColTime), Text(Txt::ColMode20), Text(Txt::ColMode60),
                     Text(Txt::ColValue20), Text(Txt::ColValue60), Text(Txt::ColComment)});

  // Without its flag the language still applies in full; the empty picture says why when hovered.
  const i18n::FlagPicture flag = i18n::LoadFlag(language, langFlag->size());
  langFlag->setPixmap(flag.Picture);
  langFlag->setToolTip(flag.Problem);
  if (!flag.Problem.isEmpty()) qCWarning(lcApp, "%s", qPrintable(flag.Problem));

  langButton->setText(Text(Txt::Language));
  for (QLabel* l : {Label25, Label9}) widgets::SetTextColour(l, widgets::ColourFromBgr(widgets::kTitleColour));
  Label21->SetCaption(Text(Txt::Number));
  SetStatusText(1, Text(Txt::MeasuringGeometry) + protocol::GeometrySuffix(state_.Cycle.ShownGeoMode));
  emit LanguageApplied();
}

void TMainForm::AppendReadingRow(const table::MeasurementRow& row) {
  rows_.AppendRow(row);
  const QModelIndex last = rows_.index(rows_.Count() - 1, 0);
  ListView1->selectionModel()->setCurrentIndex(last, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  ListView1->scrollTo(last, QAbstractItemView::EnsureVisible);
}

// ---- language and help ---------------------------------------------------------------------

void TMainForm::langButtonClick() {
  if (forms_.selectLanguage == nullptr) return;
  forms_.selectLanguage->ShowModal();
  // OK or the close box: the language, changed or not, is stored either way.
  i18n::LanguageState& language = state_.Language;
  QString error;
  bool oldContentLost = false;
  if (!i18n::WriteLanguageSetting(language, error, &oldContentLost)) {
    // The choice holds for this run all the same: a window left in the old language while the
    // help and the printout follow the new one would help nobody.
    const int lang = language.LanguageIndex;
    QString text = i18n::ExtraText(i18n::Extra::SettingsWriteFailed, lang).arg(language.SettingsPath(), error);
    if (oldContentLost) text += QLatin1Char('\n') + i18n::ExtraText(i18n::Extra::ExportOldContentLost, lang);
    QMessageBox::critical(this, i18n::ExtraText(i18n::Extra::ErrorTitle, lang),
                          text + QLatin1Char('\n') + i18n::ExtraText(i18n::Extra::LanguageNotStored, lang));
  }
  ApplyLanguage();
}

void TMainForm::Image4Click() {
  const QString problem = i18n::OpenHelp(state_.Language);
  if (problem.isEmpty()) return;
  QMessageBox::warning(this, i18n::ExtraText(i18n::Extra::HelpTitle, state_.Language.LanguageIndex), problem);
}

// ---- the connection ------------------------------------------------------------------------

void TMainForm::ConnectionLossStep() {
  if (!link_.NoteFailedExchange()) return;  // the first failure only counts
  qCDebug(protocol::lcProtocol, "connection lost: a second failed exchange; trying again every 5 s");
  Timer1->stop();
  link_.CloseInstrument();
  SetStatusText(0, Text(Txt::ConnectionLost));
  Label7->SetCaption(QStringLiteral("-----"));
  state_.Cycle.Restart();
  // Switched on, not restarted: a loss step while it already runs (printing without an
  // instrument) must not push the next attempt back.
  if (!Timer2->isActive()) Timer2->start();
}

void TMainForm::Timer2Timer() {
  if (link_.OpenInstrument()) {
    qCDebug(protocol::lcProtocol, "reconnected: polling again");
    Timer1->start();
    Timer2->stop();
    link_.ResetFailures();
  } else {
    SetStatusText(0, Text(Txt::OpenFailed));
  }
}

void TMainForm::Timer1Timer() { cycle_.Tick(); }

// ---- what the polling cycle shows ------------------------------------------------------------

void TMainForm::ShowSerial(const QString& text) { SerialNr->SetCaption(text); }

void TMainForm::ShowFirmware(const QString& text) { Label7->SetCaption(text); }

void TMainForm::ShowValue60(const QString& text, const std::array<QString, 3>& letters) {
  Label8->SetCaption(text);
  Label17->SetCaption(letters[0]);
  Label18->SetCaption(letters[1]);
  Label19->SetCaption(letters[2]);
}

void TMainForm::ShowValue20(const QString& text, const std::array<QString, 3>& letters) {
  Label36->SetCaption(text);
  Label49->SetCaption(letters[0]);
  Label52->SetCaption(letters[1]);
  Label87->SetCaption(letters[2]);
}

void TMainForm::ShowMeasCount(const QString& text) { Label23->SetCaption(text); }

void TMainForm::ResetShot() { Shot->SetItemIndex(0); }

QString TMainForm::CommentText() const { return state_.Table.CommentBuffer; }

void TMainForm::AppendReading(const protocol::ReadingRow& row) {
  table::MeasurementRow measurement;
  std::copy(row.begin(), row.end(), measurement.texts.begin());
  // The reading's identity in the journal and the lab record, given as it is taken.
  measurement.uuid = QUuid::createUuid();
  const QDateTime& taken = cycle_.ReadingTime();
  measurement.takenMsecs = taken.toMSecsSinceEpoch();
  measurement.utcOffsetSeconds = taken.offsetFromUtc();
  AppendReadingRow(measurement);
}

void TMainForm::ShowGeometry(const QString& suffix) { SetStatusText(1, Text(Txt::MeasuringGeometry) + suffix); }

void TMainForm::ClearConnectionMessage() { SetStatusText(0, QString()); }

void TMainForm::ExchangeFailed() { ConnectionLossStep(); }

// ---- operator requests -----------------------------------------------------------------------

void TMainForm::messenClick() { state_.Cycle.RaiseRequest(protocol::MeasureRequest(state_.Cycle.LightOff)); }

void TMainForm::lichtClick() {
  // Raises no request: the next measurement is a normal or a dark one.
  if (state_.Cycle.LightOff == 0) {
    state_.Cycle.LightOff = 1;
    licht->setIcon(QIcon(Image2->pixmap()));
  } else {
    state_.Cycle.LightOff = 0;
    licht->setIcon(QIcon(Image3->pixmap()));
  }
}

void TMainForm::RefHiClick(QObject* sender) {
  std::optional<std::uint8_t> request;
  if (sender == ori) {
    request = protocol::RadioRequest(protocol::RadioSource::Orientation, ori->ItemIndex());
  } else if (sender == MeasGeo) {
    request = protocol::RadioRequest(protocol::RadioSource::MeasuringGeometry, MeasGeo->ItemIndex());
  } else if (sender == Shot) {
    request = protocol::RadioRequest(protocol::RadioSource::Shot, Shot->ItemIndex());
  }
  if (request) state_.Cycle.RaiseRequest(*request);
}

void TMainForm::Button1Click() {
  // Two sample rows, appended without selecting them.
  for (int i = 0; i < 2; ++i) {
    const QDateTime now = QDateTime::currentDateTime();
    const protocol::TestReading reading = protocol::MakeTestReading(DrawTestNumber());
    table::MeasurementRow row;
    row.texts = {protocol::ReadingDateText(now),
                 protocol::ReadingTimeText(now),
                 reading.mode,
                 reading.mode,
                 reading.value,
                 reading.value,
                 QString()};
    rows_.AppendRow(row);
  }
}

void TMainForm::CheckBox1Click() {
  if (CheckBox1->isChecked()) {
    Timer3->start();
  } else {
    Timer3->stop();
  }
}

void TMainForm::Timer3Timer() { messenClick(); }

// ---- the measurement table ----------------------------------------------------------------

void TMainForm::ListView1DblClick() {
  if (forms_.Form2 == nullptr) return;
  table::EditSelectedComment(rows_, *ListView1->selectionModel(), state_.Table, *forms_.Form2);
}

void TMainForm::clearDClick() {
  if (table::ConfirmClear(state_.Language)) table::ClearAllRows(rows_, state_.Table);
}

void TMainForm::clearLClick() { table::ClearSelectedRows(state_.Language, rows_, *ListView1->selectionModel()); }

void TMainForm::exportBClick() {
  if (forms_.Form3 == nullptr) return;
  table::RunExport({rows_, state_.Table, state_.Language, *forms_.Form3, *Timer1, exportPlatform_, this});
}

// ---- geometries and the info dialog --------------------------------------------------------

void TMainForm::InitGeo() {
  const QPointer<TMainForm> alive(this);  // the dialog's event loop may outlive the window
  if (forms_.Form6 != nullptr && forms_.Form7 != nullptr) {
    // The admin dialog comes up without the warning, releases everything, closes itself after
    // 2.5 s and selects 20° + 60° through the hidden measuring-geometry dialog.
    state_.Geometry.StartupGeometryPending = true;
    geometrieClick();
  }
  if (alive) emit StartupSequenceEnded();
}

void TMainForm::geometrieClick() {
  if (forms_.Form7 == nullptr) return;
  if (!state_.Geometry.StartupGeometryPending) {
    QMessageBox warning(QMessageBox::Warning, Text(Txt::SetupWarningTitle), Text(Txt::SetupWarning),
                        QMessageBox::Yes | QMessageBox::No, this);
    if (warning.exec() != QMessageBox::Yes) return;
  }
  forms_.Form7->ShowModal();
}

void TMainForm::Image7Click() {
  if (forms_.Form5 != nullptr) forms_.Form5->ShowModal();  // its result means nothing here
}
void TMainForm::winkelClick() {
  if (forms_.Form6 == nullptr) return;
  if (forms_.Form6->ShowModal() != widgets::mrOk) return;
  switch (forms_.Form6->GeometryChoice) {
    case 1:
      state_.Cycle.RaiseRequest(protocol::rc::kGeo20);
      break;
    case 2:
      state_.Cycle.RaiseRequest(protocol::rc::kGeo60);
      break;
    case 3:
      state_.Cycle.RaiseRequest(protocol::rc::kGeoBoth);
      break;
    default:  // nothing chosen
      break;
  }
}

}  // namespace app
