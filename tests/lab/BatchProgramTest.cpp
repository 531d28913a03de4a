// A batch end to end on the virtual instrument, with the windows wired as main() wires them: a
// specification entered, a scanner's ID and Enter, readings judged PASS, WARN and FAIL as they
// arrive, a withdrawn reading, the batch closed, continued from Batches…, and its CSV export read
// back value by value.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "analysis/GlossValue.h"
#include "analysis/windows/StatisticsWindow.h"
#include "app/Program.h"
#include "lab/BatchCsv.h"
#include "lab/Settings.h"
#include "lab/windows/LabWindows.h"
#include "protocol/Messages.h"
#include "report/BatchReportData.h"
#include "report/ReportLayout.h"
#include "report/ReportStatistics.h"
#include "report/windows/Reports.h"
#include "sim/SimulatedInstrument.h"
#include "tests/report/PdfTools.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"

namespace {

using testing_support::ModalAnswerer;
using testing_support::WaitUntil;

constexpr int kPatienceMs = 120000;

// The text of the widget a screen reader finds under `name` in `window`.
QString Accessible(QWidget* window, const QString& name) {
  for (QWidget* w : window->findChildren<QWidget*>()) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    if (a != nullptr && a->text(QAccessible::Name) == name) {
      const QString value = a->text(QAccessible::Value);
      if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
      return value;
    }
  }
  return QStringLiteral("<no widget named %1>").arg(name);
}

// The field of kind T whose accessible name is `name` (its caption has the same name). A combo
// box on Linux tells its current text as its name and is found through its label instead, as a
// screen reader finds it.
template <typename T>
T* Field(QWidget* window, const QString& name) {
  for (T* w : window->findChildren<T*>()) {
    if (w->accessibleName() == name) return w;
  }
  ADD_FAILURE() << "no field named " << qPrintable(name);
  return nullptr;
}

// RFC 4180 fields of one CSV text.
std::vector<QStringList> ParseCsv(const QString& text) {
  std::vector<QStringList> rows(1);
  QString field;
  bool quoted = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted) {
      if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
        field += c;
        ++i;
      } else if (c == QLatin1Char('"')) {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == QLatin1Char('"')) {
      quoted = true;
    } else if (c == QLatin1Char(',')) {
      rows.back() << field;
      field.clear();
    } else if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
      rows.back() << field;
      field.clear();
      rows.emplace_back();
      ++i;
    } else {
      field += c;
    }
  }
  if (rows.back().isEmpty()) rows.pop_back();
  return rows;
}

TEST(BatchProgram, ABatchEndToEndOnTheVirtualInstrument) {
  QTemporaryDir home;
  qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
  qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
  testing_support::ScopedWorkingDir dir;
  testing_support::WriteFileBytes(dir.File(QStringLiteral("318qx.ini")), "[Config]\r\nLanguage=0\r\n");
  usb::simbus::SimBus bus;
  sim::Scenario scenario;
  scenario.autoReading = std::chrono::milliseconds(0);
  // 60° against 80 ± 5 with a 10 % band: pass, warn, fail, pass.
  scenario.readings = {{40.0, 80.0, 0}, {41.0, 75.2, 0}, {42.0, 70.0, 0}, {43.5, 82.5, 0}};
  sim::SimulatedInstrument instrument(bus, scenario);
  app::ProcessState state;
  auto program = std::make_unique<app::Program>(state, bus);
  app::TMainForm& w = *program->MainForm;
  auto lab = std::make_unique<lab::LabWindows>(
      w.Rows(), w.Analysis(), state.Language, &w, lab::RecordPath(QStringLiteral("lab-simulated")),
      lab::DefaultSettingsPath(), [&w, &state] {
        return lab::BatchSession::Instrument{protocol::SerialNumber(state.Cycle.SerialChars),
                                             w.Label7->text().trimmed()};
      });
  auto reports = std::make_unique<report::Reports>(w.Rows(), state.Language, &w, lab::DefaultSettingsPath());
  reports->OfferIn(w.Analysis());
  reports->OfferIn(*lab);
  bool startupEnded = false;
  QObject::connect(&w, &app::TMainForm::StartupSequenceEnded, lab.get(), &lab::LabWindows::StartupSequenceEnded);
  QObject::connect(&w, &app::TMainForm::StartupSequenceEnded, [&] { startupEnded = true; });
  ModalAnswerer answers(kPatienceMs);
  answers.Expect([](QWidget*) {}, QStringLiteral("the start-up admin dialog, which closes itself"));
  w.show();
  ASSERT_TRUE(WaitUntil([&] { return startupEnded; }, kPatienceMs));
  ASSERT_EQ(lab->Store().State(), lab::LabStore::OpenState::Open) << qPrintable(lab->Store().Problem());
  EXPECT_TRUE(lab->Store().Path().endsWith(QLatin1String("/data/korvanta/lab-simulated.db")));

  // Ctrl+B in the main window.
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  QTest::keyClick(&w, Qt::Key_B, Qt::ControlModifier);
  lab::BatchWindow* batch = lab->Batch();
  ASSERT_NE(batch, nullptr);
  ASSERT_TRUE(batch->isVisible());
  EXPECT_FALSE(batch->isModal());
  EXPECT_EQ(batch->windowTitle(), QStringLiteral("Batch"));

  // A product through the Specifications window.
  batch->SpecificationsButton->click();
  lab::SpecificationsWindow* specs = lab->Specifications();
  ASSERT_NE(specs, nullptr);
  Field<QLineEdit>(specs, QStringLiteral("Name"))->setText(QStringLiteral("Gloss 80"));
  Field<QLineEdit>(specs, QStringLiteral("Target 60°"))->setText(QStringLiteral("80"));
  Field<QLineEdit>(specs, QStringLiteral("Tolerance 60°"))->setText(QStringLiteral("5,0"));
  specs->SaveButton->click();
  ASSERT_EQ(lab->Store().Products().size(), 1u) << qPrintable(specs->StatusLabel->text());
  specs->close();
  auto* product = Field<QComboBox>(batch, QStringLiteral("Product"));
  ASSERT_EQ(product->count(), 2);
  EXPECT_EQ(product->itemText(0), QStringLiteral("(none)"));
  product->setCurrentIndex(1);
  Field<QLineEdit>(batch, QStringLiteral("Operator"))->setText(QStringLiteral("Ann Example"));

  // A reading before the batch stays out of it.
  const auto measure = [&] {
    const int before = w.Rows().Count();
    ASSERT_TRUE(WaitUntil(
        [&] {
          return !program->Form7->Timer3->isActive() && state.Cycle.RestartMark == protocol::kCycleRunning &&
                 state.Cycle.HandshakeDone == protocol::kCycleRunning;
        },
        kPatienceMs));
    // Both geometries again after the start-up sequence released them.
    ASSERT_TRUE(
        WaitUntil([&] { return instrument.Instrument().Geometry() == 3 && state.Cycle.GeoMode == 3; }, kPatienceMs));
    w.messen->click();
    ASSERT_TRUE(WaitUntil([&] { return w.Rows().Count() == before + 1; }, kPatienceMs));
  };
  measure();  // 40 / 80

  // The scanner: a refused ID first, then an ID and Enter into the focused field.
  // The offscreen platform moves no activation between windows by itself.
  QApplication::setActiveWindow(batch);
  ASSERT_TRUE(QTest::qWaitForWindowActive(batch));
  ASSERT_EQ(QApplication::focusWidget(), batch->BatchIdEdit) << qPrintable(QApplication::focusWidget()->objectName());
  QTest::keyClick(batch->BatchIdEdit, Qt::Key_Return);
  EXPECT_EQ(batch->MessageLabel->text(), QStringLiteral("Enter a batch ID."));
  QTest::keyClicks(batch->BatchIdEdit, QStringLiteral("LOT-2026-0815"));
  QTest::keyClick(batch->BatchIdEdit, Qt::Key_Return);
  ASSERT_TRUE(lab->Session()->Current().has_value()) << qPrintable(batch->MessageLabel->text());
  EXPECT_EQ(QApplication::focusWidget(), batch->BatchIdEdit);
  EXPECT_TRUE(batch->BatchIdEdit->text().isEmpty());

  for (int i = 0; i < 4; ++i) measure();  // 75.2 warn, 70 fail, 82.5 pass, 80 pass
  EXPECT_EQ(Accessible(batch, QStringLiteral("Verdict 60°")), QStringLiteral("PASS ✔ ● 0 GU   60°"));
  EXPECT_TRUE(Accessible(batch, QStringLiteral("Verdict")).startsWith(QStringLiteral("PASS")));
  EXPECT_EQ(Accessible(batch, QStringLiteral("Passes")), QStringLiteral("2"));
  EXPECT_EQ(Accessible(batch, QStringLiteral("Warnings")), QStringLiteral("1"));
  EXPECT_EQ(Accessible(batch, QStringLiteral("Fails")), QStringLiteral("1"));
  EXPECT_EQ(Accessible(batch, QStringLiteral("No value")), QStringLiteral("0"));

  // The statistics follow the open batch.
  w.Analysis().OpenStatistics();
  ASSERT_NE(w.Analysis().Statistics(), nullptr);
  EXPECT_EQ(w.Analysis().Statistics()->ScopeLabel->text(), QStringLiteral("Batch LOT-2026-0815: 4 readings"));

  // Clear Line on the failed reading (the table's row 2) withdraws it.
  w.ListView1->selectRow(2);
  answers.ExpectMessageBox(QMessageBox::Yes);
  w.clearL->click();
  ASSERT_TRUE(answers.WaitAllAnswered());
  EXPECT_EQ(Accessible(batch, QStringLiteral("Fails")), QStringLiteral("0"));
  EXPECT_EQ(w.Analysis().Statistics()->ScopeLabel->text(), QStringLiteral("Batch LOT-2026-0815: 3 readings"));

  // Close; the same ID scanned again asks whether to continue it (No: it stays closed).
  batch->CloseButton->click();
  EXPECT_FALSE(lab->Session()->Current().has_value());
  EXPECT_EQ(batch->focusWidget(), batch->BatchIdEdit);
  QString question;
  answers.ExpectMessageBox(QMessageBox::No, &question);
  QTest::keyClicks(batch->BatchIdEdit, QStringLiteral("LOT-2026-0815"));
  QTest::keyClick(batch->BatchIdEdit, Qt::Key_Return);
  ASSERT_TRUE(answers.WaitAllAnswered());
  EXPECT_EQ(question, QStringLiteral("Batch LOT-2026-0815 exists already. Continue this batch?"));
  EXPECT_FALSE(lab->Session()->Current().has_value());
  batch->BatchIdEdit->clear();

  // Then continue it from Batches….
  batch->BatchesButton->click();
  lab::BatchesWindow* batches = lab->Batches();
  ASSERT_NE(batches, nullptr);
  ASSERT_EQ(batches->Model().Shown(), 1);
  batches->Choose(0);
  // Read-only statistics of the closed batch, with its specification.
  batches->StatisticsButton->click();
  ASSERT_NE(lab->BatchStatistics(), nullptr);
  EXPECT_EQ(lab->BatchStatistics()->ScopeLabel->text(), QStringLiteral("Batch LOT-2026-0815: 3 readings"));
  const analysis::StatisticsCells& cells = lab->BatchStatistics()->Cells();
  ASSERT_EQ(cells.rowNames.size(), 13);
  EXPECT_EQ(cells.rowNames[10], QStringLiteral("Specification"));
  EXPECT_EQ(cells.cells[10][1], QStringLiteral("80 ± 5"));
  EXPECT_EQ(cells.cells[10][0], QStringLiteral("—"));
  EXPECT_NE(cells.cells[12][1], QStringLiteral("—")) << "Cpk of three spread values";
  batches->ContinueButton->click();
  ASSERT_TRUE(lab->Session()->Current().has_value());
  measure();  // 41 / 75.2 again: a warning
  // The list shows the open batch's counts as they grow.
  EXPECT_EQ(batches->Model().data(batches->Model().index(0, 5), Qt::DisplayRole).toInt(), 4);
  EXPECT_EQ(Accessible(batch, QStringLiteral("Verdict 60°")), QStringLiteral("WARN ⚠ ▼ −4.8 GU   60°"));
  EXPECT_EQ(Accessible(batch, QStringLiteral("Warnings")), QStringLiteral("2"));
  batch->CloseButton->click();
  const std::vector<lab::BatchEvent> events = lab->Store().BatchEvents(lab->Store().Batches()[0].id);
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[2].kind, lab::BatchEvent::Kind::Reopened);

  // The CSV, read back value by value.
  const QString csv = home.filePath(QStringLiteral("lot.csv"));
  batches->AskCsvPath = [&](QWidget*, const QString& suggested) {
    EXPECT_EQ(suggested, QStringLiteral("LOT-2026-0815.csv"));
    return csv;
  };
  batches->Reload();
  batches->Choose(0);
  batches->ExportButton->click();
  const QByteArray bytes = testing_support::ReadFileBytes(csv);
  ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
  const std::vector<QStringList> rows = ParseCsv(QString::fromUtf8(bytes.mid(3)));
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0], lab::BatchCsvHeader());
  const std::vector<lab::Reading> recorded = lab->Store().Readings(lab->Store().Batches()[0].id);
  const char* values60[] = {"75.2", "70", "82.5", "80", "75.2"};
  const char* values20[] = {"41", "42", "43.5", "40", "41"};
  const char* verdicts[] = {"warn", "fail", "pass", "pass", "warn"};
  for (std::size_t i = 0; i < 5; ++i) {
    const QStringList& r = rows[i + 1];
    ASSERT_EQ(r.size(), rows[0].size());
    SCOPED_TRACE(i);
    EXPECT_EQ(r[0], QStringLiteral("LOT-2026-0815"));
    EXPECT_EQ(r[1], QStringLiteral("Gloss 80"));
    EXPECT_EQ(r[2], QStringLiteral("1"));
    EXPECT_EQ(r[3], QStringLiteral("Ann Example"));
    EXPECT_EQ(r[4], recorded[i].input.uuid.toString(QUuid::WithoutBraces));
    EXPECT_EQ(QDateTime::fromString(r[5], Qt::ISODateWithMs).toMSecsSinceEpoch(), recorded[i].input.taken.msecs);
    EXPECT_EQ(r[6], recorded[i].input.texts[lab::kDate]);
    EXPECT_EQ(r[10], QLatin1String(values20[i]));
    EXPECT_EQ(r[11], QLatin1String(values60[i]));
    EXPECT_EQ(r[16], QLatin1String(verdicts[i]));
    EXPECT_EQ(r[18].isEmpty(), i != 1) << "only the failed reading is withdrawn";
    EXPECT_EQ(r[19], QStringLiteral("QX31804711"));
    EXPECT_EQ(r[20], QStringLiteral("08 15"));
  }
  // The haze column holds the number the spreadsheet computes from the two values.
  EXPECT_EQ(rows[1][12], QStringLiteral("34.2"));

  // The report settings from the Batch window: the lab's name, and a logo that cannot be read,
  // which the dialog says at once.
  answers.Expect([&](QWidget* modal) {
    Field<QLineEdit>(modal, QStringLiteral("Lab name"))->setText(QStringLiteral("Coatings lab"));
    auto* logo = Field<QLineEdit>(modal, QStringLiteral("Logo (PNG or SVG)"));
    logo->setText(home.filePath(QStringLiteral("logo.png")));
    QMetaObject::invokeMethod(logo, "editingFinished");
    EXPECT_TRUE(modal->findChild<QLabel*>(QStringLiteral("LogoProblemLabel"))->isVisibleTo(modal));
    modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  batch->findChild<QPushButton*>(QStringLiteral("ReportSettingsButton"))->click();
  ASSERT_TRUE(answers.WaitAllAnswered());

  // "Report…" in the Batch window: the batch just closed, read back from the file; the logo that
  // cannot be read is left out and said, never a failed report.
  auto* reportButton = batch->findChild<QPushButton*>(QStringLiteral("ReportButton"));
  ASSERT_NE(reportButton, nullptr);
  EXPECT_TRUE(reportButton->isEnabled());
  EXPECT_EQ(reportButton->toolTip(), QStringLiteral("Report of batch LOT-2026-0815"));
  QStringList proposed;
  reports->Files.AskPath = [&](QWidget*, const QString&, const QString&, const QString& suggested) {
    proposed << QFileInfo(suggested).fileName();
    return home.filePath(QStringLiteral("reports/lot"));
  };
  QDir().mkpath(home.filePath(QStringLiteral("reports")));
  QString written;
  answers.ExpectMessageBox(QMessageBox::No, &written);
  reportButton->click();
  ASSERT_TRUE(answers.WaitAllAnswered());
  EXPECT_TRUE(written.contains(QLatin1String("logo.png")) && written.contains(QLatin1String("lot.pdf")))
      << qPrintable(written);
  const std::int64_t lot = lab->Store().Batches()[0].id;
  const std::optional<report::ReportData> data = report::BatchReportData(lab->Store(), lot, i18n::kEnglish);
  ASSERT_TRUE(data.has_value());
  const report::ReportStatistics statistics = report::ComputeStatistics(*data);
  const report::ColumnFigures& g60 = statistics.columns[report::kColumn60];
  QStringList expected = {analysis::FormatNumber(g60.values.Mean(), g60.Decimals(), QLatin1Char('.')),
                          QStringLiteral("Coatings lab"),
                          QStringLiteral("Gloss 80, specification version 1"),
                          QStringLiteral("Ann Example"),
                          QStringLiteral("withdrawn"),
                          QStringLiteral("QX31804711")};
  for (const lab::Reading& r : recorded) {
    expected << report::ValueText(r.input.texts[lab::kValue20], QLatin1Char('.'))
             << report::ValueText(r.input.texts[lab::kValue60], QLatin1Char('.'));
  }
  const QString text = testing_support::CheckReportFile(home.filePath(QStringLiteral("reports/lot.pdf")),
                                                        QStringLiteral("Batch report LOT-2026-0815"),
                                                        QStringLiteral("Batch LOT-2026-0815"), expected);
  // Its one FAIL is withdrawn: the batch warns.
  EXPECT_TRUE(QRegularExpression(QStringLiteral("\\n\\s*Verdict\\s+WARN\\s*\\n")).match(text).hasMatch());
  EXPECT_FALSE(text.contains(QLatin1String("PROVISIONAL")));

  // And in the Batches window, for the batch chosen there, proposed in the folder of the last one.
  auto* listButton = batches->findChild<QPushButton*>(QStringLiteral("ReportButton"));
  ASSERT_NE(listButton, nullptr);
  reports->Files.AskPath = [&](QWidget*, const QString&, const QString&, const QString& suggested) {
    proposed << suggested;
    return home.filePath(QStringLiteral("reports/from-list.pdf"));
  };
  answers.ExpectMessageBox(QMessageBox::No);
  listButton->click();
  ASSERT_TRUE(answers.WaitAllAnswered());
  EXPECT_EQ(proposed, (QStringList{QStringLiteral("LOT-2026-0815.pdf"),
                                   home.filePath(QStringLiteral("reports/LOT-2026-0815.pdf"))}));
  EXPECT_EQ(testing_support::PdfInfo(home.filePath(QStringLiteral("reports/from-list.pdf")), QStringLiteral("Title")),
            QStringLiteral("Batch report LOT-2026-0815"));

  // The main window's close closes the added windows and leaves no question.
  reports.reset();
  lab.reset();
  program.reset();
}

}  // namespace
