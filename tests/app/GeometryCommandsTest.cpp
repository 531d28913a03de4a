#include <gtest/gtest.h>

#include "app/Program.h"
#include "protocol/CycleState.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/RequestLog.h"
#include "usb/simbus/SimBus.h"

namespace {

using testing_support::ModalAnswerer;
using testing_support::WaitUntil;

struct ProgramFixture {
  testing_support::ScopedWorkingDir dir;
  usb::simbus::SimBus bus;  // no instrument: the dialogs never need one
  app::ProcessState state;
  app::Program program{state, bus};
  testing_support::RequestLog log{state.Cycle};
};

TEST(GeometryCommands, StartUpReleasesEverythingAndSelectsBothGeometries) {
  ProgramFixture f;
  dialogs::TForm7& admin = *f.program.Form7;
  ModalAnswerer answers;
  bool pendingWhileShown = false;
  answers.Expect([&](QWidget* modal) {
    ASSERT_EQ(modal, &admin) << "no warning at start-up";
    pendingWhileShown = f.state.Geometry.StartupGeometryPending;
  });
  f.program.MainForm->show();  // runs InitGeo once the window is up
  ASSERT_TRUE(WaitUntil([&] { return pendingWhileShown && !admin.isVisible(); }));

  // The dialog closed itself at step 4 and the hidden measuring-geometry dialog took over.
  EXPECT_FALSE(f.state.Geometry.StartupGeometryPending);
  EXPECT_EQ(f.state.Cycle.RestartMark, 1);
  EXPECT_EQ(f.program.Form6->MeasGeo->ItemIndex(), 2);
  EXPECT_EQ(f.program.Form6->GeometryChoice, 3);
  EXPECT_FALSE(f.program.Form6->isVisible());
  f.state.Cycle.RestartMark = protocol::kCycleRunning;  // as the next tick would

  ASSERT_TRUE(WaitUntil([&] { return !admin.Timer3->isActive(); }));
  EXPECT_EQ(f.state.Cycle.RestartMark, 1) << "the sequence ends with a restart";
  for (dialogs::StateBox* box : {admin.geo20, admin.geo60, admin.geodark}) {
    EXPECT_TRUE(box->IsChecked()) << box->objectName().toStdString();
  }
  EXPECT_FALSE(f.state.Geometry.Geometry20Locked || f.state.Geometry.Geometry60Locked);
  EXPECT_EQ(f.state.Geometry.SelectedGeometry, 2);

  // The geometry checks started by the boxes may add releases; nothing is ever locked.
  using namespace dialogs;
  const auto codes = f.log.Codes();
  ASSERT_GE(codes.size(), 6u) << f.log.Describe();
  EXPECT_EQ(std::vector<int>(codes.begin(), codes.begin() + 3),
            (std::vector<int>{protocol::rc::kReleaseDark1, protocol::rc::kReleaseDark2, protocol::rc::kRelease20}))
      << f.log.Describe();
  EXPECT_EQ(codes.back(), protocol::rc::kReleaseDark2) << f.log.Describe();
  EXPECT_EQ(f.log.Count(protocol::rc::kReleaseDark1), 2);
  EXPECT_GE(f.log.Count(protocol::rc::kRelease60), 1);
  EXPECT_EQ(f.log.Count(protocol::rc::kLock20) + f.log.Count(protocol::rc::kLock60) +
                f.log.Count(protocol::rc::kLockDark1) + f.log.Count(protocol::rc::kLockDark2),
            0);
}

TEST(GeometryCommands, SetupAsksFirstAndNoLeavesEverythingAsItWas) {
  for (const bool yes : {false, true}) {
    ProgramFixture f;
    dialogs::TForm7& admin = *f.program.Form7;
    ModalAnswerer answers;
    QString text, title;
    answers.Expect([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->icon(), QMessageBox::Warning);
      EXPECT_EQ(box->parentWidget(), f.program.MainForm.get());
      text = box->text();
      title = box->windowTitle();
      box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    bool shownGrayed = false;
    if (yes) {
      answers.Expect([&](QWidget* modal) {
        ASSERT_EQ(modal, &admin);
        shownGrayed = admin.geo20->checkState() == Qt::PartiallyChecked;
        admin.Button1->click();
      });
    }
    f.program.MainForm->geometrie->click();
    EXPECT_EQ(title, QStringLiteral("Message"));
    EXPECT_TRUE(text.startsWith(QStringLiteral("Attention! If you continue"))) << text.toStdString();
    EXPECT_EQ(shownGrayed, yes) << "the boxes stay as they were left";
    EXPECT_EQ(f.log.Size(), 0u);
    EXPECT_FALSE(admin.Timer3->isActive());
  }
}

TEST(GeometryCommands, TheAngleCommandRequestsTheChosenGeometryOnlyAfterOk) {
  struct Row {
    const char* what;
    bool lock20, lock60;
    int click;  // -1: the group is left as shown
    const char* button;
    std::vector<int> requests;
    int selectedAfter;
  };
  using namespace dialogs;
  const Row rows[] = {
      {"OK untouched after start-up", false, false, -1, "Button1", {protocol::rc::kGeoBoth}, 2},
      {"60° then OK", false, false, 1, "Button1", {protocol::rc::kGeo60}, 1},
      {"20° then Cancel keeps the new item", false, false, 0, "Button2", {}, 0},
      {"20° locked, both then OK", true, false, 2, "Button1", {protocol::rc::kGeo60}, 1},
      {"60° locked, OK", false, true, -1, "Button1", {protocol::rc::kGeo20}, 0},
      {"both locked, OK", true, true, 2, "Button1", {}, 2},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    ProgramFixture f;
    f.state.Geometry.StartupGeometryPending = true;  // as the start-up sequence leaves the dialog
    f.program.Form6->MeasGeoClick();
    f.state.Geometry.Geometry20Locked = r.lock20;
    f.state.Geometry.Geometry60Locked = r.lock60;
    ModalAnswerer answers;
    answers.Expect([&](QWidget* modal) {
      ASSERT_EQ(modal, f.program.Form6.get());
      if (r.click >= 0) f.program.Form6->MeasGeo->Button(r.click)->click();
      modal->findChild<QPushButton*>(QString::fromLatin1(r.button))->click();
    });
    f.program.MainForm->winkel->click();
    EXPECT_EQ(f.log.Codes(), r.requests) << f.log.Describe();
    EXPECT_EQ(f.state.Geometry.SelectedGeometry, r.selectedAfter);
  }
}

}  // namespace
