// The printed list: computed as placed texts without a printer, then painted page by page.
//
// Three passes over the table, one per group of the 20° mode letters: none, "D", "C" (rows with
// any other letters are not printed). Each printed row takes the next of 50 line slots per page,
// numbered with its position in the table; each group is followed by one empty line. A page gets
// its head (title, footer with the page number, column headings) when a pass reaches the first
// table row after the page began, so an empty table prints one empty page.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "table/MeasurementModel.h"

class QPainter;
class QPrinter;

namespace table {

inline constexpr int kLinesPerPage = 50;
inline constexpr const char* kPrintJobName = "QX318 Printjob";
inline constexpr const char* kPrintTitle = "VOSKARIN LUMARIS 318QX";

enum class PrintFont { Head, Body };  // Arial 10 pt bold, Arial 8 pt
enum class PrintAlign { Left, Right };

// One text: its page (1-based), position in millimetres from the top-left corner of the printable
// area (x is the left edge of a left-aligned text and the right edge of a right-aligned one, y
// the top edge), font and alignment.
struct PlacedText {
  int page = 1;
  double xMm = 0;
  double yMm = 0;
  PrintFont font = PrintFont::Body;
  PrintAlign align = PrintAlign::Left;
  QString text;

  bool operator==(const PlacedText&) const = default;
};

struct Printout {
  // Pages that hold something; at least one.
  int pageCount = 1;
  std::vector<PlacedText> texts;
};

// The footer text: "Seite n" in German, "Page n" otherwise.
QString PageFooter(int languageIndex, int page);

Printout LayOutPrintout(const MeasurementModel& rows, const QStringList& headings, int languageIndex);

// Device units for a millimetre position: truncated, never rounded.
int MmToDevice(double mm, int dpi);

QFont PrintoutFont(PrintFont font);

// Paints the texts of `page` at the resolution of the painter's device.
void PaintPrintoutPage(const Printout& printout, int page, QPainter& painter);

// Prints the whole printout as one job named kPrintJobName. On failure returns false.
bool PrintPrintout(const Printout& printout, QPrinter& printer);

}  // namespace table
