// The export text: what goes to the clipboard and into the data file, built from the table's
// texts alone, and its Windows-1252 form for the file.
//
// A heading line with an empty first field and the seven column headings, then one line per row
// with its 1-based position and its seven texts. Fields are separated by TAB and never quoted;
// the table holds no TAB or line break (MeasurementModel), so every line has eight fields. Every
// line ends with CR LF.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

#include "i18n/Language.h"
#include "table/MeasurementModel.h"

namespace table {

// The column headings of the current text set, in column order.
QStringList ColumnHeadings(const i18n::LanguageState& language);

// The lines without their line ends.
QStringList BuildExportLines(const QStringList& headings, const MeasurementModel& rows);
// The lines, each followed by CR LF.
QString JoinExportLines(const QStringList& lines);

// The text as the data file holds it: Windows-1252, no byte-order mark. Characters the code page
// cannot hold become '?'; `unmappable` counts them and `firstUnmappable` shows the first.
struct EncodedExport {
  QByteArray bytes;
  int unmappable = 0;
  QString firstUnmappable;
};
EncodedExport EncodeExportText(const QString& text);

// How writing the data file ended.
enum class WriteOutcome {
  Written,
  Failed,                // `error` holds the platform's reason; an old file keeps its content
  Declined,              // the operator did not want the file overwritten in place
  FailedInPlace,         // written in place, failed; the old content was put back
  FailedOldContentLost,  // written in place, failed, and the old content could not be put back
};

// Creates or replaces `path` with `bytes` through a temporary file beside it, so that an old file
// keeps its content when writing fails part-way. Where no temporary file can be made there (a
// folder the operator may write the file in but not create files in, or a name too long for the
// temporary one), an old file can only be overwritten in place: `confirmInPlace` is asked first,
// and if the write then fails the old content is written back.
WriteOutcome WriteExportFile(const QString& path, const QByteArray& bytes, QString& error,
                             const std::function<bool()>& confirmInPlace);

}  // namespace table
