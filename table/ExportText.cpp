#include "table/ExportText.h"

#include <QFileInfo>
#include <QSaveFile>

#include "protocol/Cp1252.h"

namespace table {

QStringList ColumnHeadings(const i18n::LanguageState& language) {
  namespace Txt = i18n::Txt;
  return {language.Text(Txt::ColDate),   language.Text(Txt::ColTime),    language.Text(Txt::ColMode20),
          language.Text(Txt::ColMode60), language.Text(Txt::ColValue20), language.Text(Txt::ColValue60),
          language.Text(Txt::ColComment)};
}

QStringList BuildExportLines(const QStringList& headings, const MeasurementModel& rows) {
  const QChar tab(u'\t');
  QStringList lines;
  lines.reserve(rows.Count() + 1);

  QString heading;
  for (int c = 0; c < kColumnCount; ++c) heading += tab + headings.value(c);
  lines.append(heading);

  for (int r = 0; r < rows.Count(); ++r) {
    const MeasurementRow& row = rows.Row(r);
    QString line = QString::number(r + 1);
    for (const QString& text : row.texts) {
      line += tab;
      line += text;
    }
    lines.append(line);
  }
  return lines;
}

QString JoinExportLines(const QStringList& lines) {
  qsizetype size = 0;
  for (const QString& line : lines) size += line.size() + 2;
  QString text;
  text.reserve(size);
  for (const QString& line : lines) {
    text += line;
    text += QLatin1String("\r\n");
  }
  return text;
}

EncodedExport EncodeExportText(const QString& text) {
  EncodedExport out;
  out.bytes = protocol::Cp1252Encode(text, &out.unmappable);
  if (out.unmappable == 0) return out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    std::uint8_t byte = 0;
    if (protocol::UnicodeToCp1252(text[i], byte)) continue;
    const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
    out.firstUnmappable = text.mid(i, pair ? 2 : 1);
    break;
  }
  return out;
}

namespace {

// `truncated` says whether the file's content was given up (the file opened for writing).
bool WriteAll(QFile& file, const QByteArray& bytes, bool* truncated = nullptr) {
  const bool opened = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
  if (truncated != nullptr) *truncated = opened;
  if (!opened) return false;
  const bool ok = file.write(bytes) == bytes.size() && file.flush();
  file.close();
  return ok && file.error() == QFileDevice::NoError;
}

}  // namespace

WriteOutcome WriteExportFile(const QString& path, const QByteArray& bytes, QString& error,
                             const std::function<bool()>& confirmInPlace) {
  QSaveFile file(path);
  if (file.open(QIODevice::WriteOnly)) {
    if (file.write(bytes) == bytes.size() && file.commit()) return WriteOutcome::Written;
    error = file.errorString();
    return WriteOutcome::Failed;
  }
  error = file.errorString();

  const QFileInfo target(path);
  QFile direct(path);
  if (!target.exists()) {
    // Nothing to lose: a new file is written directly, and a part-written one removed again.
    if (WriteAll(direct, bytes)) return WriteOutcome::Written;
    error = direct.errorString();
    direct.remove();
    return WriteOutcome::Failed;
  }
  if (!target.isFile()) return WriteOutcome::Failed;
  // Opened for writing without truncating it: a file that cannot be written is refused here,
  // untouched, before the operator is asked about overwriting it.
  if (!direct.open(QIODevice::ReadWrite)) {
    error = direct.errorString();
    return WriteOutcome::Failed;
  }
  const QByteArray old = direct.readAll();
  direct.close();
  if (!confirmInPlace()) return WriteOutcome::Declined;
  bool truncated = false;
  if (WriteAll(direct, bytes, &truncated)) return WriteOutcome::Written;
  error = direct.errorString();
  if (!truncated) return WriteOutcome::Failed;  // it could not even be opened: nothing was lost
  QFile back(path);
  return WriteAll(back, old) ? WriteOutcome::FailedInPlace : WriteOutcome::FailedOldContentLost;
}

}  // namespace table
