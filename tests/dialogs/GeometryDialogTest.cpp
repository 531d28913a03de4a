#include <gtest/gtest.h>

#include "dialogs/Unit6.h"
#include "tests/support/RequestLog.h"

namespace {

using dialogs::GeometryState;
using dialogs::TForm6;

struct Form6Fixture {
  Form6Fixture(bool lock20, bool lock60, int remembered) {
    language.TextTable.FillLanguageBlocks();
    language.TextTable.LoadTextSet(i18n::kEnglish);
    geometry.Geometry20Locked = lock20;
    geometry.Geometry60Locked = lock60;
    geometry.SelectedGeometry = remembered;
    cycle.RestartMark = protocol::kCycleRunning;
  }
  i18n::LanguageState language;
  protocol::CycleState cycle;
  GeometryState geometry;
  testing_support::RequestLog log{cycle};
  TForm6 form{language, cycle, geometry};
};

struct Outcome {
  bool lock20, lock60;
  int clicked;  // item the operator checks
  int left, choice, selected;
};

// Locks × item checked, from every remembered geometry the dialog may be shown with.
TEST(MeasuringGeometryDialog, RefusesALockedGeometryAndMovesToTheOther) {
  const Outcome rows[] = {
      {false, false, 0, 0, 1, 0}, {false, false, 1, 1, 2, 1}, {false, false, 2, 2, 3, 2},
      {true, false, 0, 1, 2, 1},  {true, false, 2, 1, 2, 1},  {true, false, 1, 1, 2, 1},
      {false, true, 1, 0, 1, 0},  {false, true, 2, 0, 1, 0},  {false, true, 0, 0, 1, 0},
  };
  for (const Outcome& r : rows) {
    for (int remembered = 0; remembered < 3; ++remembered) {
      SCOPED_TRACE(testing::Message() << "locks " << r.lock20 << r.lock60 << " item " << r.clicked << " from "
                                      << remembered);
      Form6Fixture f(r.lock20, r.lock60, remembered);
      f.form.show();
      const int shown = f.form.MeasGeo->ItemIndex();
      if (r.lock20 || r.lock60) {
        EXPECT_EQ(shown, r.lock20 ? 1 : 0) << "a locked geometry was offered";
      }
      EXPECT_EQ(f.form.GeometryChoice, shown + 1);
      f.form.MeasGeo->Button(r.clicked)->click();
      EXPECT_EQ(f.form.MeasGeo->ItemIndex(), r.left);
      EXPECT_EQ(f.form.GeometryChoice, r.choice);
      EXPECT_EQ(f.geometry.SelectedGeometry, r.selected);
      EXPECT_EQ(f.log.Size(), 0u) << "the dialog itself raises nothing";
      EXPECT_EQ(f.cycle.RestartMark, protocol::kCycleRunning);
    }
  }
}

// The item is still checked from the last show, so checking it again runs nothing: the lock rules
// of the show itself must move it.
TEST(MeasuringGeometryDialog, AGeometryLockedSinceTheLastShowIsReplacedWhenShownAgain) {
  struct Row {
    int item;
    bool lock20;
    int left;
  };
  for (const Row& r : {Row{0, true, 1}, Row{2, true, 1}, Row{1, false, 0}, Row{2, false, 0}}) {
    SCOPED_TRACE(testing::Message() << "item " << r.item << (r.lock20 ? " 20° locked" : " 60° locked"));
    Form6Fixture f(false, false, r.item);
    f.form.show();
    f.form.hide();
    (r.lock20 ? f.geometry.Geometry20Locked : f.geometry.Geometry60Locked) = true;
    f.form.show();
    EXPECT_EQ(f.form.MeasGeo->ItemIndex(), r.left);
    EXPECT_EQ(f.form.GeometryChoice, r.left + 1);
    EXPECT_EQ(f.geometry.SelectedGeometry, r.left);
  }
}

TEST(MeasuringGeometryDialog, WithBothGeometriesLockedNothingStaysCheckedAndTheRememberedOneIsKept) {
  Form6Fixture f(true, true, 1);
  f.form.show();  // must end
  EXPECT_EQ(f.form.MeasGeo->ItemIndex(), -1);
  for (int item = 0; item < 3; ++item) {
    f.form.MeasGeo->Button(item)->click();
    EXPECT_EQ(f.form.MeasGeo->ItemIndex(), -1) << item;
  }
  EXPECT_EQ(f.form.GeometryChoice, 0);
  EXPECT_EQ(f.geometry.SelectedGeometry, 1);

  // Once the admin dialog releases 20° again, the next show offers it in place of the locked 60°.
  f.geometry.Geometry20Locked = false;
  f.form.hide();
  f.form.show();
  EXPECT_EQ(f.form.MeasGeo->ItemIndex(), 0);
  EXPECT_EQ(f.form.GeometryChoice, 1);
}

}  // namespace
