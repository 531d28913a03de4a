#include "analysis/windows/StatisticsCells.h"

#include "analysis/GlossValue.h"
#include "i18n/ExtraTexts.h"
#include "i18n/TextTable.h"

namespace analysis {
namespace {

using i18n::Extra;

// The figures of one column: values kept in `stats`, `letters` counted (none for the haze).
void FillColumn(std::vector<std::array<QString, 3>>& cells, std::size_t column, const RunningStats& stats,
                qint64 leftOut, const std::array<qint64, 3>* letters, QChar mark) {
  const QString none = QString::fromUtf16(kNoFigure);
  const int decimals = stats.Decimals() + 1;
  const bool any = stats.Count() > 0;
  const auto number = [&](double v) { return any ? FormatNumber(v, decimals, mark) : none; };
  const std::optional<double> deviation = stats.StandardDeviation();
  cells[0][column] = QString::number(stats.Count());
  cells[1][column] = QString::number(leftOut);
  cells[2][column] = number(stats.Mean());
  cells[3][column] = deviation ? FormatNumber(*deviation, decimals, mark) : none;
  cells[4][column] = number(any ? stats.Min() : 0);
  cells[5][column] = number(any ? stats.Max() : 0);
  if (letters == nullptr) return;
  cells[6][column] = number(any ? stats.Max() - stats.Min() : 0);
  for (std::size_t i = 0; i < 3; ++i) cells[7 + i][column] = QString::number((*letters)[i]);
}

}  // namespace

QChar DecimalMark(int languageIndex) {
  return languageIndex == i18n::kGerman || languageIndex == i18n::kFrench ? QLatin1Char(',') : QLatin1Char('.');
}

StatisticsCells MakeStatisticsCells(const ReadingStatistics& s, bool selectedRows, int languageIndex) {
  const auto text = [languageIndex](Extra id) { return i18n::ExtraText(id, languageIndex); };
  StatisticsCells c;
  c.scope = text(selectedRows ? Extra::StatisticsSelected : Extra::StatisticsAllRows).arg(s.rows);
  c.columns = {QStringLiteral("20°"), QStringLiteral("60°"), text(Extra::StatisticsHaze)};
  c.rowNames = {text(Extra::StatisticsValues),    text(Extra::StatisticsLeftOut), text(Extra::StatisticsMean),
                text(Extra::StatisticsDeviation), text(Extra::StatisticsMinimum), text(Extra::StatisticsMaximum),
                text(Extra::StatisticsRange)};
  for (const char letter : kModeLetters) c.rowNames << text(Extra::StatisticsWithLetter).arg(QLatin1Char(letter));
  c.cells.resize(static_cast<std::size_t>(c.rowNames.size()));
  const QChar mark = DecimalMark(languageIndex);
  FillColumn(c.cells, 0, s.g20.values, s.LeftOut20(), &s.g20.letters, mark);
  FillColumn(c.cells, 1, s.g60.values, s.LeftOut60(), &s.g60.letters, mark);
  FillColumn(c.cells, 2, s.haze, s.LeftOutHaze(), nullptr, mark);
  return c;
}

QString StatisticsClipboardText(const StatisticsCells& c) {
  const QString none = QString::fromUtf16(kNoFigure);
  const QString tab = QStringLiteral("\t");
  const QString end = QStringLiteral("\r\n");
  QString out = c.scope + tab + c.columns.join(tab) + end;
  for (std::size_t r = 0; r < c.cells.size(); ++r) {
    out += c.rowNames.value(static_cast<int>(r));
    for (const QString& cell : c.cells[r]) out += tab + (cell == none ? QString() : cell);
    out += end;
  }
  return out;
}

}  // namespace analysis
