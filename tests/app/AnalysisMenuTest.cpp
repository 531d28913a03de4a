#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QProcess>
#include <QRadioButton>

#include "analysis/windows/ReadingAnalysis.h"
#include "app/Program.h"
#include "report/windows/Reports.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"
#include "usb/simbus/SimBus.h"

namespace {

using testing_support::ModalAnswerer;
using testing_support::ScopedWorkingDir;

// The table's context menu, opened as the operator opens it: the right button on a row, or the
// menu key with the table focused.
QMenu* OpenMenu(app::TMainForm& w, QContextMenuEvent::Reason reason) {
  QWidget* target = reason == QContextMenuEvent::Mouse ? w.ListView1->viewport() : static_cast<QWidget*>(w.ListView1);
  QContextMenuEvent event(reason, QPoint(20, 10), target->mapToGlobal(QPoint(20, 10)));
  QApplication::sendEvent(target, &event);
  return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

QStringList Items(const QMenu* menu) {
  QStringList items;
  for (const QAction* a : menu->actions()) items << a->text();
  return items;
}

void Pick(QMenu* menu, const char* action) {
  menu->findChild<QAction*>(action)->trigger();
  menu->close();
}

TEST(AnalysisMenu, TheTableMenuOpensBothWindowsWhichFollowTheTableAndTheLanguage) {
  ScopedWorkingDir dir;
  usb::simbus::SimBus bus;
  app::ProcessState state;
  app::Program program(state, bus);
  app::TMainForm& w = *program.MainForm;
  // As the program's main() offers it.
  report::Reports reports(w.Rows(), state.Language, &w, dir.File(QStringLiteral("korvanta.conf")));
  reports.Readings.CurrentInstrument = [&w] { return report::Instrument{w.SerialNr->text(), w.Label7->text()}; };
  reports.OfferIn(w.Analysis());
  ModalAnswerer answers;

  QMenu* menu = OpenMenu(w, QContextMenuEvent::Mouse);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(Items(menu), (QStringList{"Statistics…", "Trend…", "Report…", "Report settings…"}));
  Pick(menu, "StatisticsAction");
  menu = OpenMenu(w, QContextMenuEvent::Keyboard);
  ASSERT_NE(menu, nullptr);
  Pick(menu, "TrendAction");
  analysis::StatisticsWindow* statistics = w.Analysis().Statistics();
  analysis::TrendWindow* trend = w.Analysis().Trend();
  ASSERT_TRUE(statistics != nullptr && trend != nullptr);
  EXPECT_TRUE(statistics->isVisible() && trend->isVisible());
  EXPECT_FALSE(statistics->isModal() || trend->isModal());

  // Readings as the cycle appends them: each becomes the table's one selected row, and the
  // statistics stay over all rows.
  const auto reading = [&w](const char* v20, const char* v60) {
    w.AppendReadingRow({{"01.02.2024", "12:00:00", "", "", v20, v60, ""}});
  };
  reading("85,3", "90.1");
  reading("84,9", "---");
  EXPECT_EQ(statistics->ScopeLabel->text(), "All rows: 2");
  EXPECT_EQ(statistics->StatisticsTable->item(0, 0)->text(), "2");
  EXPECT_EQ(statistics->StatisticsTable->item(2, 0)->text(), "85.10");
  EXPECT_EQ(trend->Canvas->Picture().markers[analysis::kSeries20].size(), 2u);

  // The language dialog: open windows and the menu follow.
  answers.Expect([](QWidget* modal) {
    modal->findChild<QRadioButton*>(QStringLiteral("RadioGroup11"))->click();
    modal->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
  });
  w.langButton->click();
  ASSERT_TRUE(answers.WaitAllAnswered());
  EXPECT_EQ(statistics->windowTitle(), "Statistik");
  EXPECT_EQ(statistics->StatisticsTable->item(2, 0)->text(), "85,10");
  EXPECT_EQ(trend->windowTitle(), "Verlauf");
  EXPECT_EQ(trend->SaveButton->text(), "Bild speichern…");
  EXPECT_EQ(trend->Canvas->Words().rowAxis, "Zeile");
  menu = OpenMenu(w, QContextMenuEvent::Mouse);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(Items(menu), (QStringList{"Statistik…", "Verlauf…", "Bericht…", "Berichtseinstellungen…"}));

  // "Bericht…": a readings report of the table's rows, in German; the window's placeholders for
  // an instrument not connected are not printed as its identity.
  reports.Files.AskPath = [&dir](QWidget*, const QString&, const QString&, const QString&) {
    return dir.File(QStringLiteral("bericht"));
  };
  QString written;
  answers.ExpectMessageBox(QMessageBox::No, &written);
  Pick(menu, "ReportAction");
  ASSERT_TRUE(answers.WaitAllAnswered());
  EXPECT_TRUE(written.startsWith(QStringLiteral("Der Bericht wurde in")));
  QProcess text;
  text.start(QStringLiteral("pdftotext"),
             {QStringLiteral("-layout"), dir.File(QStringLiteral("bericht.pdf")), QStringLiteral("-")});
  ASSERT_TRUE(text.waitForFinished(60000));
  const QString report = QString::fromUtf8(text.readAllStandardOutput());
  EXPECT_TRUE(report.contains(QLatin1String("Messwertbericht")) && report.contains(QLatin1String("85,3")) &&
              report.contains(QLatin1String("84,9")) && report.contains(QLatin1String("90,1")));
  EXPECT_FALSE(report.contains(QLatin1String("???")) || report.contains(QLatin1String("Messgerät")));

  // Clear Data empties both.
  answers.ExpectMessageBox(QMessageBox::Yes);
  w.clearDClick();
  EXPECT_EQ(statistics->ScopeLabel->text(), "Alle Zeilen: 0");
  EXPECT_TRUE(trend->Canvas->Picture().markers[analysis::kSeries20].empty());
}

}  // namespace
