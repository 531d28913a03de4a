#include <gtest/gtest.h>

#include <QStandardItemModel>
#include <cmath>

#include "analysis/GlossValue.h"
#include "analysis/ReadingSeries.h"
#include "table/MeasurementModel.h"

namespace {

using analysis::ReadingSeries;
using analysis::ReadingStatistics;
using analysis::RunningStats;

TEST(GlossValue, ReadsBothDecimalMarksAndNothingElse) {
  const struct {
    const char* text;
    bool number;
    double value;
    int decimals;
  } cases[] = {
      {"85,3", true, 85.3, 1},   {"85.3", true, 85.3, 1}, {"  7 ", true, 7, 0},   {"0,05", true, 0.05, 2},
      {"-0.5", true, -0.5, 1},   {",5", true, 0.5, 1},    {"100.", true, 100, 0}, {"---", false, 0, 0},
      {"", false, 0, 0},         {"   ", false, 0, 0},    {"-", false, 0, 0},     {",", false, 0, 0},
      {"1,2.3", false, 0, 0},    {"8 5,3", false, 0, 0},  {"1e3", false, 0, 0},   {"inf", false, 0, 0},
      {"nan", false, 0, 0},      {"0x1A", false, 0, 0},   {"12a", false, 0, 0},   {"5-", false, 0, 0},
      {"\xd9\xa3", false, 0, 0},  // an Arabic-Indic digit is no reading
  };
  for (const auto& c : cases) {
    const auto v = analysis::ParseGlossValue(QString::fromUtf8(c.text));
    ASSERT_EQ(v.has_value(), c.number) << c.text;
    if (!v) continue;
    EXPECT_DOUBLE_EQ(v->value, c.value) << c.text;
    EXPECT_EQ(v->decimals, c.decimals) << c.text;
  }
}

// Mode 20°, mode 60°, value 20°, value 60°.
table::MeasurementRow Row(const QString& mode20, const QString& mode60, const QString& v20, const QString& v60) {
  return {{"01.02.2024", "12:00:00", mode20, mode60, v20, v60, "comment"}};
}

ReadingSeries Series(const QAbstractItemModel& model) {
  return ReadingSeries(model, {table::ColMode20, table::ColMode60, table::ColValue20, table::ColValue60});
}

// Everything the figures of `s` say, so that two sets can be compared.
struct Figures {
  qint64 n;
  double mean, deviation, min, max;
  int decimals;
};
Figures Of(const RunningStats& s) {
  return {s.Count(),
          s.Count() ? s.Mean() : 0,
          s.StandardDeviation().value_or(-1),
          s.Count() ? s.Min() : 0,
          s.Count() ? s.Max() : 0,
          s.Decimals()};
}
void ExpectSame(const ReadingStatistics& got, const ReadingStatistics& want, const std::string& where) {
  EXPECT_EQ(got.rows, want.rows) << where;
  EXPECT_EQ(got.g20.letters, want.g20.letters) << where;
  EXPECT_EQ(got.g60.letters, want.g60.letters) << where;
  const RunningStats* pairs[][2] = {
      {&got.g20.values, &want.g20.values}, {&got.g60.values, &want.g60.values}, {&got.haze, &want.haze}};
  for (const auto& p : pairs) {
    const Figures a = Of(*p[0]), b = Of(*p[1]);
    EXPECT_EQ(a.n, b.n) << where;
    EXPECT_NEAR(a.mean, b.mean, 1e-9) << where;
    EXPECT_NEAR(a.deviation, b.deviation, 1e-9) << where;
    EXPECT_EQ(a.min, b.min) << where;
    EXPECT_EQ(a.max, b.max) << where;
    EXPECT_EQ(a.decimals, b.decimals) << where;
  }
}
// The statistics of the model's rows counted afresh.
ReadingStatistics Fresh(const table::MeasurementModel& model) {
  const ReadingSeries fresh = Series(model);
  return fresh.AllRows();
}

TEST(ReadingSeries, AKnownSeriesWithBothMarksDashesAndLetters) {
  table::MeasurementModel model;
  model.AppendRow(Row("L", "L", "85,3", "90.1"));
  model.AppendRow(Row("", "", "---", "88,1"));
  model.AppendRow(Row("D", "C D", "84.9", "91,5"));
  model.AppendRow(Row("", "", "", "abc"));
  model.AppendRow(Row("C", "", "86,1", "89.9"));
  const ReadingSeries series = Series(model);
  const ReadingStatistics& s = series.AllRows();

  EXPECT_EQ(s.rows, 5);
  EXPECT_EQ(s.LeftOut20(), 2);
  EXPECT_EQ(s.LeftOut60(), 1);
  EXPECT_EQ(s.LeftOutHaze(), 2);
  const struct {
    const char* name;
    const RunningStats& stats;
    qint64 n;
    double mean, deviation, min, max;
  } cases[] = {
      {"20°", s.g20.values, 3, 256.3 / 3, std::sqrt(0.746666666667 / 2), 84.9, 86.1},
      {"60°", s.g60.values, 4, 89.9, std::sqrt(5.84 / 3), 88.1, 91.5},
      // 90.1 - 85.3, 91.5 - 84.9, 89.9 - 86.1
      {"haze", s.haze, 3, 15.2 / 3, std::sqrt(4.026666666667 / 2), 3.8, 6.6},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.stats.Count(), c.n) << c.name;
    EXPECT_NEAR(c.stats.Mean(), c.mean, 1e-9) << c.name;
    EXPECT_NEAR(*c.stats.StandardDeviation(), c.deviation, 1e-9) << c.name;
    EXPECT_NEAR(c.stats.Min(), c.min, 1e-12) << c.name;
    EXPECT_NEAR(c.stats.Max(), c.max, 1e-12) << c.name;
    EXPECT_EQ(c.stats.Decimals(), 1) << c.name;
  }
  // L, C, D among the values counted: a letter on a value left out does not count.
  EXPECT_EQ(s.g20.letters, (std::array<qint64, 3>{1, 1, 1}));
  EXPECT_EQ(s.g60.letters, (std::array<qint64, 3>{1, 1, 1}));
}

TEST(ReadingSeries, FollowsAppendsDeletionsEditsAndClearsAsIfCountedAfresh) {
  table::MeasurementModel model;
  const ReadingSeries series = Series(model);
  int changes = 0;
  QObject::connect(&series, &ReadingSeries::Changed, [&changes] { ++changes; });

  // Values far from zero with a tiny spread: where a plain sum of squares loses every digit.
  for (int i = 0; i < 200; ++i) {
    const QString v20 = QString::number(1000000 + (i * 37 % 101) / 10.0, 'f', 1);
    const QString v60 = i % 7 == 0 ? QStringLiteral("---") : QString::number(50 + i % 13, 'f', 1).replace('.', ',');
    model.AppendRow(Row(i % 5 == 0 ? "D" : "", i % 3 == 0 ? "L" : "", v20, v60));
  }
  EXPECT_EQ(changes, 200);
  ExpectSame(series.AllRows(), Fresh(model), "appended");
  EXPECT_NEAR(*series.AllRows().g20.values.StandardDeviation(), *Fresh(model).g20.values.StandardDeviation(), 1e-9);

  // Take out the rows holding the lowest and the highest values, then most of the rest.
  const auto rowOf = [&model](double target) {
    for (int r = 0; r < model.Count(); ++r) {
      if (analysis::ParseGlossValue(model.Row(r).texts[table::ColValue20])->value == target) return r;
    }
    return -1;
  };
  while (rowOf(1000000.0) >= 0) model.RemoveRowAt(rowOf(1000000.0));
  while (rowOf(1000010.0) >= 0) model.RemoveRowAt(rowOf(1000010.0));
  ExpectSame(series.AllRows(), Fresh(model), "lowest and highest deleted");
  EXPECT_GT(series.AllRows().g20.values.Min(), 1000000.0);
  EXPECT_LT(series.AllRows().g20.values.Max(), 1000010.0);
  while (model.Count() > 3) model.RemoveRowAt(model.Count() / 2);
  ExpectSame(series.AllRows(), Fresh(model), "three rows left");

  // The only reading with more decimals deleted: the figures go back to one decimal.
  model.AppendRow(Row("", "", "1000005.125", "51,25"));
  EXPECT_EQ(series.AllRows().g20.values.Decimals(), 3);
  EXPECT_EQ(series.AllRows().g60.values.Decimals(), 2);
  model.RemoveRowAt(model.Count() - 1);
  ExpectSame(series.AllRows(), Fresh(model), "the reading with more decimals deleted");

  // An edited comment changes no figure.
  const int before = changes;
  model.SetComment(0, "new comment");
  EXPECT_EQ(changes, before);

  model.Clear();
  EXPECT_EQ(series.AllRows().rows, 0);
  EXPECT_EQ(series.AllRows().g20.values.Count(), 0);
  EXPECT_TRUE(series.Rows().empty());
  model.AppendRow(Row("", "", "12,5", "13.5"));
  EXPECT_EQ(series.AllRows().g20.values.Mean(), 12.5);
  EXPECT_FALSE(series.AllRows().g20.values.StandardDeviation().has_value()) << "one value has no deviation";
}

TEST(ReadingSeries, AValueEditedInPlaceReplacesItsOldValue) {
  // The table edits only comments; a model that edits values is followed all the same.
  QStandardItemModel model(0, table::kColumnCount);
  const auto append = [&model](const char* mode20, const char* v20) {
    QList<QStandardItem*> row;
    for (int c = 0; c < table::kColumnCount; ++c) row << new QStandardItem;
    row[table::ColMode20]->setText(mode20);
    row[table::ColValue20]->setText(v20);
    model.appendRow(row);
  };
  append("D", "10,0");
  append("", "20,0");
  append("", "30,0");
  const ReadingSeries series = Series(model);
  model.item(0, table::ColValue20)->setText("---");
  model.item(2, table::ColValue20)->setText("35.55");
  model.item(1, table::ColMode20)->setText("L");
  const analysis::SeriesStatistics& g20 = series.AllRows().g20;
  EXPECT_EQ(g20.values.Count(), 2);
  EXPECT_DOUBLE_EQ(g20.values.Min(), 20);
  EXPECT_DOUBLE_EQ(g20.values.Max(), 35.55);
  EXPECT_EQ(g20.values.Decimals(), 2);
  EXPECT_EQ(g20.letters, (std::array<qint64, 3>{1, 0, 0}));
}

TEST(ReadingSeries, TheStatisticsOfChosenRows) {
  table::MeasurementModel model;
  const char* values[] = {"10,0", "20.0", "---", "40,0", "50.0"};
  for (const char* v : values) model.AppendRow(Row("", "", v, v));
  const ReadingSeries series = Series(model);
  const int chosen[] = {0, 2, 3, 99};  // a position out of range is skipped
  const ReadingStatistics s = series.Of(chosen);
  EXPECT_EQ(s.rows, 3);
  EXPECT_EQ(s.g20.values.Count(), 2);
  EXPECT_EQ(s.LeftOut20(), 1);
  EXPECT_DOUBLE_EQ(s.g20.values.Mean(), 25);
  EXPECT_EQ(series.AllRows().rows, 5) << "the figures of all rows are left as they are";
}

}  // namespace
