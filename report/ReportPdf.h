// Writing a report as a PDF file: the pages laid out first, then painted one by one through
// QPdfWriter (Qt Gui, no widgets, so that it runs without a display on the offscreen platform).
// Text stays text and the chart stays vectors; the fonts are embedded; the document claims
// PDF/A-1b. The file is written beside its target and renamed at the end, so that a failure or a
// cancel leaves no partial file and an older file of the same name untouched.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "report/ReportData.h"
#include "report/ReportLayout.h"

class QPainter;
class QPaintDevice;

namespace report {

struct WriteOutcome {
  enum class Status { Written, Cancelled, Failed };
  Status status = Status::Failed;
  // Failed: why, in the report's language, naming the file.
  QString error;
  // Things the reader of the report should know that did not stop it (an unreadable logo).
  QStringList notes;
  int pages = 0;
};

// Called before each page is painted and once at the end (done == total); returning false cancels.
using Progress = std::function<bool(int done, int total)>;

WriteOutcome WritePdfReport(const ReportData& data, const QString& path, const Progress& progress = {});

// Why the logo at `path` would be left out of a report (no such file, no picture that can be
// read), in language `language`; empty when it can be used.
QString LogoProblem(const QString& path, int language);

// The measures of the report's fonts on `device`, in points.
ReportMeasure MeasureOn(const QPaintDevice& device);

}  // namespace report
