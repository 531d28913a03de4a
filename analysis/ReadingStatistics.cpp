#include "analysis/ReadingStatistics.h"

#include <algorithm>

#include "analysis/GlossValue.h"

namespace analysis {

RowNumbers ReadRow(const QString& mode20, const QString& mode60, const QString& value20, const QString& value60) {
  RowNumbers row;
  if (const auto v = ParseGlossValue(value20)) {
    row.g20 = v->value;
    row.decimals20 = static_cast<std::int8_t>(std::min(v->decimals, RunningStats::kMostDecimals));
  }
  if (const auto v = ParseGlossValue(value60)) {
    row.g60 = v->value;
    row.decimals60 = static_cast<std::int8_t>(std::min(v->decimals, RunningStats::kMostDecimals));
  }
  row.letters20 = ModeLetters(mode20);
  row.letters60 = ModeLetters(mode60);
  return row;
}

void SeriesStatistics::Add(double value, int decimals, std::uint8_t letterBits) {
  values.Add(value, decimals);
  for (std::size_t i = 0; i < letters.size(); ++i) {
    if ((letterBits & (1u << i)) != 0) ++letters[i];
  }
}

void SeriesStatistics::Remove(double value, int decimals, std::uint8_t letterBits) {
  values.Remove(value, decimals);
  for (std::size_t i = 0; i < letters.size(); ++i) {
    if ((letterBits & (1u << i)) != 0) --letters[i];
  }
}

void ReadingStatistics::Add(const RowNumbers& row) {
  ++rows;
  if (row.Has20()) g20.Add(row.g20, row.decimals20, row.letters20);
  if (row.Has60()) g60.Add(row.g60, row.decimals60, row.letters60);
  if (row.HasHaze()) haze.Add(row.Haze(), std::max(row.decimals20, row.decimals60));
}

void ReadingStatistics::Remove(const RowNumbers& row) {
  --rows;
  if (row.Has20()) g20.Remove(row.g20, row.decimals20, row.letters20);
  if (row.Has60()) g60.Remove(row.g60, row.decimals60, row.letters60);
  if (row.HasHaze()) haze.Remove(row.Haze(), std::max(row.decimals20, row.decimals60));
}

}  // namespace analysis
