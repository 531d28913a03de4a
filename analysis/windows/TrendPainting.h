// Painting the trend's picture: the series told apart by colour, line style and marker shape
// (20°: solid line, round markers; 60°: dashed line, square markers), the mode lanes by their
// letters, so that nothing rests on colour alone.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QSize>
#include <span>

#include "analysis/TrendLayout.h"

class QPainter;

namespace analysis {

inline constexpr QRgb kColour20 = 0xFF1F5FAF;  // blue
inline constexpr QRgb kColour60 = 0xFFC8501E;  // orange-red

// The measures the layout takes from `font` on `device` (the screen when null).
TextMeasure MeasureFor(const QFont& font, const QPaintDevice* device = nullptr);

void PaintTrend(const TrendPicture& picture, QPainter& painter);

// The whole picture of `rows` at `size`, on white, as the window shows it; with a `title` line
// above it when one is given (the picture then grows by that line), and a specification's lines.
QImage RenderTrend(std::span<const RowNumbers> rows, QSize size, const TrendWords& words, const QFont& font,
                   const QString& title = QString(), const SpecView* spec = nullptr);

}  // namespace analysis
