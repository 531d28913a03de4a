#include "analysis/windows/StatisticsCells.h"

#include <cmath>

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

namespace {

QString LimitsText(const SpecLimits& l, QChar mark) {
  const auto n = [mark](double v) { return FormatNumber(v, v == std::floor(v) ? 0 : 2, mark); };
  if (l.target && l.lower && l.upper) return n(*l.target) + QStringLiteral(" ± ") + n(*l.upper - *l.target);
  if (l.lower && l.upper) return n(*l.lower) + QStringLiteral(" … ") + n(*l.upper);
  if (l.lower) return QStringLiteral("≥ ") + n(*l.lower);
  if (l.upper) return QStringLiteral("≤ ") + n(*l.upper);
  return QString::fromUtf16(kNoFigure);
}

}  // namespace

void AddBatchCells(StatisticsCells& c, const ReadingStatistics& s, const QString& batchId,
                   const std::optional<SpecView>& spec, int languageIndex) {
  c.scope = i18n::ExtraText(Extra::StatisticsBatch, languageIndex).arg(batchId).arg(s.rows);
  if (!spec) return;
  const QChar mark = DecimalMark(languageIndex);
  const QString none = QString::fromUtf16(kNoFigure);
  std::array<QString, 3> limits;
  std::array<QString, 3> cp{none, none, QString()};
  std::array<QString, 3> cpk{none, none, QString()};
  for (std::size_t a = 0; a < 2; ++a) {
    limits[a] = LimitsText(spec->angle[a], mark);
    const Capability capability = ComputeCapability(a == 0 ? s.g20.values : s.g60.values, spec->angle[a]);
    if (capability.cp) cp[a] = FormatNumber(*capability.cp, 2, mark);
    if (capability.cpk) cpk[a] = FormatNumber(*capability.cpk, 2, mark);
  }
  limits[2] = spec->hazeMax ? LimitsText({std::nullopt, std::nullopt, spec->hazeMax}, mark) : none;
  c.rowNames << i18n::ExtraText(Extra::StatisticsSpecification, languageIndex) << QStringLiteral("Cp")
             << QStringLiteral("Cpk");
  c.cells.push_back(limits);
  c.cells.push_back(cp);
  c.cells.push_back(cpk);
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
