// The export text: what goes to the clipboard and into the data file, built from the table's
// texts alone, and its Windows-1252 form for the file.
//
// A heading line with an empty first field and the seven column headings, then one line per row
// with its 1-based position and its seven texts. Fields are separated by TAB and never quoted,
// so a TAB inside a comment shifts the fields after it. Every line ends with CR LF.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "Language.h"
#include "MeasurementModel.h"

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

// Creates or replaces `path` with `bytes`. The old content stays intact when writing fails
// part-way. On failure returns false with the platform's reason.
bool WriteExportFile(const QString& path, const QByteArray& bytes, QString& error);

}  // namespace table
