// The statistics as the window shows them and "Copy" hands them on: a scope line, three columns
// (20°, 60°, haze) and one row per figure, numbers with one decimal more than the readings and the
// decimal mark of the operator's language.
#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

#include "analysis/Capability.h"
#include "analysis/GlossValue.h"
#include "analysis/ReadingStatistics.h"

namespace analysis {

// Shown where a figure does not exist: the mean of no values, the deviation of one value.
inline constexpr char16_t kNoFigure[] = u"—";

// The decimal mark of the operator's language: '.' in English, ',' in German and French.
QChar DecimalMark(int languageIndex);

struct StatisticsCells {
  QString scope;        // "All rows: 14" or "Selected rows: 3"
  QStringList columns;  // "20°", "60°", the haze heading
  QStringList rowNames;
  // Per row, the three columns; empty where the figure is not kept (the haze's range and letters).
  std::vector<std::array<QString, 3>> cells;
};

StatisticsCells MakeStatisticsCells(const ReadingStatistics& statistics, bool selectedRows, int languageIndex);

// The figures of batch `batchId`: its scope line, and with a specification three more rows, the
// limits per column and Cp and Cpk per angle ("—" where they do not exist).
void AddBatchCells(StatisticsCells& cells, const ReadingStatistics& statistics, const QString& batchId,
                   const std::optional<SpecView>& spec, int languageIndex);

// TAB-separated lines with CR LF, the heading line (scope, then the columns) first; a figure that
// does not exist is an empty field.
QString StatisticsClipboardText(const StatisticsCells& cells);

}  // namespace analysis
