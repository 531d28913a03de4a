// A batch as a CSV file for spreadsheets: UTF-8 (with a byte-order mark, so that spreadsheet
// programs take it for UTF-8), RFC 4180 (CR LF, fields quoted where needed), a header row, ISO 8601
// times with their offset, '.' as the decimal mark and one column per value, so that any
// spreadsheet reads numbers as numbers. Withdrawn readings are listed, marked with the time.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "lab/LabStore.h"

namespace lab {

// The columns, in order.
QStringList BatchCsvHeader();
QByteArray BatchCsv(const Batch& batch, const std::optional<Specification>& spec, const std::vector<Reading>& readings);

// One CSV field: quoted when it holds a comma, a quote or a line end. A text that a spreadsheet
// would take for a formula (starting with =, +, -, @) is kept as text by a leading apostrophe.
QString CsvField(const QString& text, bool isText);

}  // namespace lab
