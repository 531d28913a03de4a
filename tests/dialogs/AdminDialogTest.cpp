#include <gtest/gtest.h>

#include <QSignalBlocker>
#include <QSignalSpy>

#include "dialogs/Unit6.h"
#include "dialogs/Unit7.h"
#include "protocol/CycleState.h"
#include "tests/support/ModalAnswerer.h"
#include "tests/support/RequestLog.h"

namespace {

using namespace dialogs;
using testing_support::WaitUntil;

constexpr auto kOn = Qt::Checked;
constexpr auto kOff = Qt::Unchecked;

class AdminDialog : public ::testing::Test {
 protected:
  AdminDialog() {
    language.TextTable.FillLanguageBlocks();
    language.TextTable.LoadTextSet(i18n::kEnglish);
    cycle.RestartMark = protocol::kCycleRunning;
  }
  // The boxes as an earlier use of the dialog left them, and the lock flags that go with them.
  void Leave(Qt::CheckState g20, Qt::CheckState g60, Qt::CheckState dark) {
    for (auto [box, state] : {std::pair{form7.geo20, g20}, {form7.geo60, g60}, {form7.geodark, dark}}) {
      const QSignalBlocker quiet(box);
      box->setCheckState(state);
    }
    geometry.Geometry20Locked = g20 == kOff;
    geometry.Geometry60Locked = g60 == kOff;
    geometry.SelectedGeometry = g20 == kOff ? 1 : g60 == kOff ? 0 : 2;
  }
  bool SequenceOver() const { return !form7.Timer3->isActive() && form7.ReleaseStep == 0; }

  i18n::LanguageState language;
  protocol::CycleState cycle;
  GeometryState geometry;
  TForm6 form6{language, cycle, geometry};
  TForm7 form7{language, cycle, geometry, form6};
  testing_support::RequestLog log{cycle};
};

TEST_F(AdminDialog, TheOperatorChecksOrUnchecksButNeverGrays) {
  StateBox* box = form7.geo20;
  QSignalSpy changes(box, &QCheckBox::stateChanged);
  ASSERT_EQ(box->checkState(), Qt::PartiallyChecked);
  EXPECT_FALSE(box->IsChecked());
  for (Qt::CheckState expected : {kOn, kOff, kOn, kOff}) {
    box->click();
    EXPECT_EQ(box->checkState(), expected);
  }
  EXPECT_EQ(changes.count(), 4);
  box->setCheckState(kOff);  // the state it has: no change handler
  EXPECT_EQ(changes.count(), 4);
}

TEST_F(AdminDialog, UncheckingOneGeometryLocksItHalfASecondLaterAndCheckingReleasesIt) {
  struct Row {
    StateBox* box;
    bool* locked;
    int pending, lock, release, selectedWhileLocked;
  };
  for (const Row& r :
       {Row{form7.geo20, &geometry.Geometry20Locked, 2, protocol::rc::kLock20, protocol::rc::kRelease20, 1},
        Row{form7.geo60, &geometry.Geometry60Locked, 1, protocol::rc::kLock60, protocol::rc::kRelease60, 0}}) {
    SCOPED_TRACE(r.box->objectName().toStdString());
    Leave(kOn, kOn, kOn);
    const std::size_t before = log.Size();
    r.box->click();
    EXPECT_EQ(log.Size(), before) << "nothing before the check";
    EXPECT_EQ(geometry.PendingGeometryChange, r.pending);
    ASSERT_TRUE(log.WaitForCount(before + 1));
    EXPECT_EQ(log.Codes().back(), r.lock);
    EXPECT_TRUE(*r.locked);
    EXPECT_EQ(geometry.SelectedGeometry, r.selectedWhileLocked);
    EXPECT_FALSE(form7.Timer4->isActive());

    r.box->click();
    ASSERT_TRUE(log.WaitForCount(before + 2));
    EXPECT_EQ(log.Codes().back(), r.release);
    EXPECT_FALSE(*r.locked);
    EXPECT_EQ(geometry.SelectedGeometry, 2);
    EXPECT_FALSE(form7.Timer4->isActive());
  }
}

TEST_F(AdminDialog, LockingTheSecondGeometryReleasesTheFirstAndChecksItsBoxAgain) {
  struct Row {
    bool first20;
    int lock, release, selectedAtEnd;
  };
  for (const Row& r : {Row{true, protocol::rc::kLock60, protocol::rc::kRelease20, 0},
                       Row{false, protocol::rc::kLock20, protocol::rc::kRelease60, 1}}) {
    SCOPED_TRACE(r.first20 ? "20° locked first" : "60° locked first");
    Leave(r.first20 ? kOff : kOn, r.first20 ? kOn : kOff, kOn);
    StateBox* second = r.first20 ? form7.geo60 : form7.geo20;
    StateBox* first = r.first20 ? form7.geo20 : form7.geo60;
    const std::size_t before = log.Size();
    second->click();
    ASSERT_TRUE(log.WaitForCount(before + 1));
    EXPECT_EQ(log.Codes().back(), r.lock);
    EXPECT_TRUE(geometry.Geometry20Locked && geometry.Geometry60Locked) << "for one check";
    EXPECT_FALSE(first->IsChecked());

    ASSERT_TRUE(log.WaitForCount(before + 2)) << log.Describe();
    EXPECT_EQ(log.Codes().back(), r.release);
    EXPECT_TRUE(first->IsChecked());
    EXPECT_FALSE(second->IsChecked());
    EXPECT_EQ(geometry.Geometry20Locked, !r.first20);
    EXPECT_EQ(geometry.Geometry60Locked, r.first20);
    EXPECT_EQ(geometry.SelectedGeometry, r.selectedAtEnd);

    // The re-checked box starts no further request; the check only keeps the geometry.
    QSignalSpy tick(form7.Timer4, &QTimer::timeout);
    EXPECT_TRUE(tick.wait(2000));
    EXPECT_EQ(log.Size(), before + 2) << log.Describe();
    EXPECT_EQ(geometry.SelectedGeometry, r.selectedAtEnd);
    EXPECT_EQ(geometry.PendingGeometryChange, 0);
  }
}

TEST_F(AdminDialog, TwoClicksWithinOneCheckExamineOnlyTheLaterBox) {
  Leave(kOn, kOn, kOn);
  form7.geo20->click();
  form7.geo60->click();
  ASSERT_TRUE(log.WaitForCount(2));
  EXPECT_EQ(log.Codes(), (std::vector<int>{protocol::rc::kLock60, protocol::rc::kRelease20})) << log.Describe();
  EXPECT_TRUE(form7.geo20->IsChecked());
  EXPECT_FALSE(geometry.Geometry20Locked);
  EXPECT_TRUE(geometry.Geometry60Locked);
  EXPECT_EQ(geometry.SelectedGeometry, 0);
}

TEST_F(AdminDialog, ADarkMeasurementChangeRaisesTwoRequestsAndHoldsTheControlsFor400ms) {
  struct Row {
    Qt::CheckState from;
    int first, second;
  };
  for (const Row& r : {Row{Qt::PartiallyChecked, protocol::rc::kReleaseDark1, protocol::rc::kReleaseDark2},
                       Row{kOn, protocol::rc::kLockDark1, protocol::rc::kLockDark2},
                       Row{kOff, protocol::rc::kReleaseDark1, protocol::rc::kReleaseDark2}}) {
    SCOPED_TRACE(r.from);
    Leave(kOn, kOn, r.from);
    const std::size_t before = log.Size();
    form7.geodark->click();
    ASSERT_EQ(log.Size(), before + 1);
    EXPECT_EQ(log.Codes().back(), r.first);
    EXPECT_FALSE(form7.geodark->isEnabled());
    EXPECT_FALSE(form7.Button1->isEnabled());

    ASSERT_TRUE(log.WaitForCount(before + 2));
    EXPECT_EQ(log.Codes().back(), r.second);
    EXPECT_FALSE(form7.geodark->isEnabled()) << "still held after the second request";

    ASSERT_TRUE(WaitUntil([&] { return form7.geodark->isEnabled(); }));
    EXPECT_TRUE(form7.Button1->isEnabled());
    EXPECT_FALSE(form7.Timer1->isActive() || form7.Timer2->isActive());
    EXPECT_EQ(log.Size(), before + 2) << log.Describe();
  }
}

TEST_F(AdminDialog, ReleaseAllWithEveryBoxCheckedRaisesTheFourReleasesAndNoCheck) {
  Leave(kOn, kOn, kOn);
  QSignalSpy checks(form7.Timer4, &QTimer::timeout);
  form7.allfree->click();
  EXPECT_FALSE(form7.geo20->isEnabled() || form7.geo60->isEnabled() || form7.Button1->isEnabled());
  EXPECT_EQ(log.Size(), 0u) << "geodark was checked already";

  ASSERT_TRUE(log.WaitForCount(4));
  EXPECT_FALSE(form7.geodark->isEnabled() || form7.geo20->isEnabled());
  ASSERT_TRUE(WaitUntil([&] { return form7.Button1->isEnabled(); }));
  EXPECT_TRUE(form7.geo20->isEnabled() && form7.geo60->isEnabled() && form7.geodark->isEnabled());
  EXPECT_EQ(cycle.RestartMark, protocol::kCycleRunning) << "the restart is the last step";

  ASSERT_TRUE(WaitUntil([&] { return SequenceOver(); }));
  EXPECT_EQ(cycle.RestartMark, 1);
  EXPECT_EQ(log.Codes(), (std::vector<int>{protocol::rc::kRelease20, protocol::rc::kRelease60,
                                           protocol::rc::kReleaseDark1, protocol::rc::kReleaseDark2}));
  EXPECT_EQ(checks.count(), 0);
  EXPECT_FALSE(form7.Timer4->isActive());
}

TEST_F(AdminDialog, ClosingTheDialogDuringReleaseAllLetsTheSequenceRunToItsEnd) {
  Leave(kOff, kOn, kOff);  // 20° and the dark measurement locked
  testing_support::ModalAnswerer answers;
  answers.Expect([this](QWidget* modal) {
    ASSERT_EQ(modal, &form7);
    form7.allfree->click();
    form7.reject();  // the close box: OK is disabled during the sequence
  });
  EXPECT_EQ(form7.ShowModal(), widgets::mrCancel);
  EXPECT_FALSE(form7.isVisible());

  ASSERT_TRUE(WaitUntil([&] { return SequenceOver(); }));
  EXPECT_EQ(cycle.RestartMark, 1);
  for (StateBox* box : {form7.geo20, form7.geo60, form7.geodark}) {
    EXPECT_TRUE(box->IsChecked() && box->isEnabled()) << box->objectName().toStdString();
  }
  // The 20° lock is cleared through the check that re-checking its box started.
  EXPECT_FALSE(geometry.Geometry20Locked);
  EXPECT_EQ(geometry.SelectedGeometry, 2);
  const auto codes = log.Codes();
  EXPECT_EQ(std::vector<int>(codes.begin(), codes.begin() + 3),
            (std::vector<int>{protocol::rc::kReleaseDark1, protocol::rc::kReleaseDark2, protocol::rc::kRelease20}))
      << log.Describe();
  EXPECT_EQ(log.Count(protocol::rc::kLock20) + log.Count(protocol::rc::kLock60) + log.Count(protocol::rc::kLockDark1),
            0);
}

TEST_F(AdminDialog, BothDialogsTakeTheirCaptionsFromTheCurrentTextSetEachShow) {
  language.TextTable.LoadTextSet(i18n::kFrench);
  form6.show();
  form7.show();
  EXPECT_EQ(form6.windowTitle(), QStringLiteral("Géométrie de mesure"));
  EXPECT_EQ(form6.MeasGeo->title(), QStringLiteral("Géométrie de mesure"));
  EXPECT_EQ(form6.Button2->text(), QStringLiteral("Quitter"));
  EXPECT_EQ(form7.windowTitle(), QStringLiteral("Géométrie de mesure"));
  EXPECT_EQ(form7.geo60->text(), QStringLiteral("Géométrie 60°"));
  EXPECT_EQ(form7.geodark->text(), QStringLiteral("Mesurage sombre"));
  EXPECT_EQ(form7.allfree->text(), QStringLiteral("Tout autorisent"));
  EXPECT_FALSE(form7.Timer3->isActive()) << "release all only at start-up";
}

}  // namespace
