#include "lab/BatchCsv.h"

namespace lab {

QStringList BatchCsvHeader() {
  return {QStringLiteral("batch_id"),     QStringLiteral("product"),       QStringLiteral("specification_version"),
          QStringLiteral("operator"),     QStringLiteral("reading_uuid"),  QStringLiteral("taken"),
          QStringLiteral("date"),         QStringLiteral("time"),          QStringLiteral("mode_20"),
          QStringLiteral("mode_60"),      QStringLiteral("gloss_20"),      QStringLiteral("gloss_60"),
          QStringLiteral("haze_index"),   QStringLiteral("verdict_20"),    QStringLiteral("verdict_60"),
          QStringLiteral("verdict_haze"), QStringLiteral("verdict"),       QStringLiteral("comment"),
          QStringLiteral("withdrawn"),    QStringLiteral("serial_number"), QStringLiteral("firmware")};
}

QString CsvField(const QString& text, bool isText) {
  QString field = text;
  if (isText && !field.isEmpty()) {
    const QChar first = field.front();
    if (first == QLatin1Char('=') || first == QLatin1Char('+') || first == QLatin1Char('-') ||
        first == QLatin1Char('@'))
      field.prepend(QLatin1Char('\''));
  }
  const bool quote = field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) ||
                     field.contains(QLatin1Char('\n')) || field.contains(QLatin1Char('\r'));
  if (!quote) return field;
  field.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + field + QLatin1Char('"');
}

namespace {

QString Number(const std::optional<Centi>& value) { return value ? FormatCenti(*value) : QString(); }

}  // namespace

QByteArray BatchCsv(const Batch& batch, const std::optional<Specification>& spec,
                    const std::vector<Reading>& readings) {
  QString out;
  const auto line = [&out](const QStringList& fields) {
    out += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
  };
  line(BatchCsvHeader());
  const QString version = spec ? QString::number(spec->version) : QString();
  for (const Reading& r : readings) {
    const auto& t = r.input.texts;
    const QString haze = r.values[0] && r.values[1] ? FormatCenti(*r.values[1] - *r.values[0]) : QString();
    line({CsvField(batch.batchId, true),
          CsvField(batch.product, true),
          version,
          CsvField(batch.operatorName, true),
          r.input.uuid.toString(QUuid::WithoutBraces),
          r.input.taken.Iso(),
          CsvField(t[kDate], true),
          CsvField(t[kTime], true),
          CsvField(t[kMode20], true),
          CsvField(t[kMode60], true),
          Number(r.values[0]),
          Number(r.values[1]),
          haze,
          QLatin1String(VerdictKey(r.judgement.angle[0])),
          QLatin1String(VerdictKey(r.judgement.angle[1])),
          QLatin1String(VerdictKey(r.judgement.haze)),
          QLatin1String(VerdictKey(r.judgement.reading)),
          CsvField(r.comment, true),
          r.withdrawn ? r.withdrawn->Iso() : QString(),
          CsvField(r.input.serial, true),
          CsvField(r.input.firmware, true)});
  }
  return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}

}  // namespace lab
