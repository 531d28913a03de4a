// The export: any table texts (any UTF-16, lone surrogates included) give one line per row plus
// the heading, eight TAB-separated fields each, CR LF endings, and Windows-1252 bytes that decode
// back to the texts wherever the code page holds them ('?' elsewhere, counted).
//
// Input: UTF-16 code units, texts separated by U+FFFF, seven texts to a row.
#include <QString>
#include <cstdint>
#include <cstring>

#include "protocol/Cp1252.h"
#include "protocol/Messages.h"
#include "table/ExportText.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  QString units(static_cast<qsizetype>(size / 2), Qt::Uninitialized);
  std::memcpy(units.data(), data, size / 2 * 2);
  const QStringList texts = units.split(QChar(0xFFFF));

  table::MeasurementModel model;
  const qsizetype rows = texts.size() / table::kColumnCount;
  for (qsizetype r = 0; r < rows; ++r) {
    table::MeasurementRow row;
    for (int c = 0; c < table::kColumnCount; ++c) row.texts[static_cast<std::size_t>(c)] = texts[r * 7 + c];
    model.AppendRow(row);
  }
  const QStringList headings = {"Date", "Time", "Mode 20°", "Mode 60°", "Value 20°", "Value 60°", "Comment"};
  const QStringList lines = table::BuildExportLines(headings, model);
  FUZZ_CHECK(lines.size() == rows + 1, "%lld lines for %lld rows", static_cast<long long>(lines.size()),
             static_cast<long long>(rows));
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QStringList fields = lines[i].split(QLatin1Char('\t'));
    FUZZ_CHECK(fields.size() == 8, "line %lld has %lld fields", static_cast<long long>(i),
               static_cast<long long>(fields.size()));
    FUZZ_CHECK(!lines[i].contains(QLatin1Char('\r')) && !lines[i].contains(QLatin1Char('\n')), "a line break");
    if (i == 0) continue;
    FUZZ_CHECK(fields[0] == QString::number(i), "row number");
    for (int c = 0; c < table::kColumnCount; ++c) {
      // The table keeps each text, with control characters as blanks.
      FUZZ_CHECK(fields[c + 1] == protocol::OneLineText(texts[(i - 1) * 7 + c]), "field %d of row %lld", c + 1,
                 static_cast<long long>(i));
    }
  }

  const QString text = table::JoinExportLines(lines);
  FUZZ_CHECK(text.endsWith(QLatin1String("\r\n")) && text.count(QLatin1String("\r\n")) == rows + 1, "line ends");
  const table::EncodedExport encoded = table::EncodeExportText(text);
  QString expected;
  int unmappable = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    std::uint8_t byte = 0;
    if (protocol::UnicodeToCp1252(text[i], byte)) {
      expected += text[i];
      continue;
    }
    expected += QLatin1Char('?');
    ++unmappable;
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ++i;
  }
  FUZZ_CHECK(protocol::Cp1252Decode(encoded.bytes) == expected, "the file's bytes do not decode to the text");
  FUZZ_CHECK(encoded.unmappable == unmappable, "%d unmappable counted, %d expected", encoded.unmappable, unmappable);
  return 0;
}
