#include <gtest/gtest.h>

#include <QItemSelectionModel>

#include "app/Program.h"
#include "app/Unit1.h"
#include "sim/SimulatedInstrument.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/TestEnvironment.h"
#include "tests/usb/SimDevices.h"

namespace {

using testing_support::ScopedWorkingDir;
using testing_support::WaitUntil;

TEST(Readings, MeasureOnTheVirtualInstrumentAppendsItsReading) {
  ScopedWorkingDir dir;
  usb::simbus::SimBus bus;
  sim::Scenario scenario;
  scenario.serial = "QX31800042";
  scenario.firmwareA = 0x09;
  scenario.firmwareB = 0x31;
  scenario.autoReading = std::chrono::milliseconds(0);
  scenario.readings = {{75.3, 88.5, 0x02}};
  sim::SimulatedInstrument instrument(bus, scenario);
  app::ProcessState state;
  app::TMainForm w(state, bus);
  w.Cycle().DecimalSeparator = ',';
  ASSERT_TRUE(w.Timer1->isActive());

  ASSERT_TRUE(WaitUntil([&] { return w.Label7->text() == QStringLiteral("09 31 "); }));
  EXPECT_EQ(w.SerialNr->text(), QStringLiteral("Q X 3 1 8 0 0 0 4 2 "));
  ASSERT_TRUE(WaitUntil([&] { return w.StatusText(1) == QStringLiteral("Measuring geometry: 20° + 60°"); }));

  state.Table.CommentBuffer = QStringLiteral(" line 3 ");
  w.messen->click();
  ASSERT_TRUE(WaitUntil([&] { return w.Rows().Count() == 1; }));
  const table::MeasurementRow& row = w.Rows().Row(0);
  EXPECT_EQ(row.texts[table::ColMode20], QStringLiteral("L"));
  EXPECT_EQ(row.texts[table::ColMode60], QStringLiteral("L"));
  EXPECT_EQ(row.texts[table::ColValue20], QStringLiteral("75,3"));
  EXPECT_EQ(row.texts[table::ColValue60], QStringLiteral("88,5"));
  EXPECT_EQ(row.texts[table::ColComment], QStringLiteral("line 3"));
  EXPECT_FALSE(row.texts[table::ColDate].isEmpty());
  EXPECT_EQ(w.Label23->text(), QStringLiteral("1"));
  EXPECT_EQ(w.Label36->text(), QStringLiteral("        7 5 , 3 "));
  EXPECT_EQ(w.Label17->text(), QStringLiteral("L"));
  EXPECT_EQ(w.ListView1->selectionModel()->selectedRows().value(0).row(), 0);
  EXPECT_EQ(w.ListView1->currentIndex().row(), 0);
  EXPECT_EQ(w.StatusText(0), QString());
}

TEST(Readings, ButtonsAndChoicesRaiseTheirRequests) {
  ScopedWorkingDir dir;
  usb::simbus::SimBus bus;  // no instrument: requests wait, nothing is checked
  app::ProcessState state;
  std::vector<std::uint8_t> raised;
  state.Cycle.OnRequestRaised = [&](std::uint8_t code) { raised.push_back(code); };
  app::TMainForm w(state, bus);

  const QPixmap designGlyph = w.licht->icon().pixmap(32, 16);
  w.messen->click();
  w.licht->click();
  EXPECT_TRUE(raised.size() == 1);  // the light button raises nothing
  EXPECT_EQ(state.Cycle.LightOff, 1);
  EXPECT_EQ(w.licht->icon().pixmap(32, 16).toImage(), w.Image2->pixmap().toImage());
  w.messen->click();
  w.licht->click();
  EXPECT_EQ(w.licht->icon().pixmap(32, 16).toImage(), w.Image3->pixmap().toImage());
  EXPECT_NE(designGlyph.toImage(), w.Image3->pixmap().toImage());
  w.messen->click();
  w.Shot->SetItemIndex(2);  // "Dark", whatever the light button says
  w.MeasGeo->SetItemIndex(1);
  w.ori->SetItemIndex(1);
  w.ori->SetItemIndex(1);   // choosing the chosen item again raises nothing
  w.Shot->SetItemIndex(0);  // "None" raises nothing
  EXPECT_EQ(raised, (std::vector<std::uint8_t>{9, 10, 9, 10, 12, 15}));

  // The automatic measurement follows the light button at each tick.
  raised.clear();
  w.CheckBox1->setChecked(true);
  w.CheckBox1Click();
  EXPECT_TRUE(w.Timer3->isActive());
  w.Timer3Timer();
  w.lichtClick();
  w.Timer3Timer();
  w.CheckBox1->setChecked(false);
  w.CheckBox1Click();
  EXPECT_FALSE(w.Timer3->isActive());
  EXPECT_EQ(raised, (std::vector<std::uint8_t>{9, 10}));
}

TEST(Readings, TheTestButtonAppendsTwoUnselectedRows) {
  ScopedWorkingDir dir;
  usb::simbus::SimBus bus;
  app::ProcessState state;
  app::TMainForm w(state, bus);
  std::vector<int> draws{905, 99};
  w.DrawTestNumber = [&] {
    const int n = draws.front();
    draws.erase(draws.begin());
    return n;
  };
  w.Button1Click();
  ASSERT_EQ(w.Rows().Count(), 2);
  EXPECT_EQ(w.Rows().Row(0).texts[table::ColValue20], QStringLiteral("90.5"));
  EXPECT_EQ(w.Rows().Row(0).texts[table::ColMode60], QStringLiteral("C"));
  EXPECT_EQ(w.Rows().Row(1).texts[table::ColValue60], QStringLiteral("9.9"));
  EXPECT_EQ(w.Rows().Row(1).texts[table::ColMode20], QStringLiteral("D"));
  EXPECT_EQ(w.Rows().Row(1).texts[table::ColComment], QString());
  EXPECT_FALSE(w.ListView1->selectionModel()->hasSelection());
  EXPECT_EQ(state.Cycle.MeasCount, 0);
}

}  // namespace

namespace {

TEST(Readings, GeometriesChosenAndLockedReachTheVirtualInstrument) {
  testing_support::ScopedWorkingDir dir;
  usb::simbus::SimBus bus;
  sim::Scenario scenario;
  scenario.autoReading = std::chrono::milliseconds(0);
  sim::SimulatedInstrument simulated(bus, scenario);
  const sim::VirtualInstrument& instrument = simulated.Instrument();
  app::ProcessState state;
  app::Program program(state, bus);
  app::TMainForm& w = *program.MainForm;
  testing_support::ModalAnswerer answers(8000);
  const auto geometryText = [&](const char* suffix) {
    return w.StatusText(1) == QStringLiteral("Measuring geometry") + QString::fromUtf8(suffix);
  };

  answers.Expect([](QWidget*) {}, QStringLiteral("the start-up admin dialog, which closes itself"));
  w.show();
  ASSERT_TRUE(WaitUntil([&] { return !program.Form7->Timer3->isActive() && answers.Pending() == 0; }, 8000));
  // The sequence ends with a restart of the cycle, which drops a request still waiting: wait for
  // the handshake that follows.
  ASSERT_TRUE(WaitUntil([&] {
    return state.Cycle.RestartMark == protocol::kCycleRunning && state.Cycle.HandshakeDone == protocol::kCycleRunning;
  }));
  ASSERT_TRUE(WaitUntil([&] { return instrument.Geometry() == 3 && geometryText(": 20° + 60°"); }));

  // The angle command: 60° alone.
  answers.Expect([&](QWidget*) {
    program.Form6->MeasGeo->SetItemIndex(1);
    program.Form6->Button1->click();
  });
  w.winkel->click();
  ASSERT_TRUE(WaitUntil([&] { return instrument.Geometry() == 1 && geometryText(": 60°"); }));

  // Setup: lock 20°. The instrument takes the lock, and the program asks for both geometries.
  answers.ExpectMessageBox(QMessageBox::Yes);
  answers.Expect([&](QWidget*) {
    program.Form7->geo20->click();
    program.Form7->Button1->click();
  });
  w.geometrie->click();
  ASSERT_TRUE(WaitUntil([&] { return instrument.Locked20() && state.Geometry.Geometry20Locked; }));

  // The angle dialog now refuses 20° and 20° + 60°.
  int offered = -1;
  answers.Expect([&](QWidget*) {
    program.Form6->MeasGeo->SetItemIndex(0);
    offered = program.Form6->MeasGeo->ItemIndex();
    program.Form6->MeasGeo->SetItemIndex(2);
    program.Form6->Button1->click();
  });
  w.winkel->click();
  EXPECT_EQ(offered, 1);
  ASSERT_TRUE(WaitUntil([&] { return instrument.Geometry() == 1 && geometryText(": 60°"); }));

  // Checking the box again releases 20° on the instrument.
  answers.ExpectMessageBox(QMessageBox::Yes);
  answers.Expect([&](QWidget*) {
    program.Form7->geo20->click();
    program.Form7->Button1->click();
  });
  w.geometrie->click();
  ASSERT_TRUE(WaitUntil([&] { return !instrument.Locked20() && instrument.Geometry() == 3; }));
  EXPECT_TRUE(answers.WaitAllAnswered());
}

}  // namespace
