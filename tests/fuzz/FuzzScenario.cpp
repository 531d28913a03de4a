// Scenario files: any text is taken or refused with its line number, never a crash.
#include <QRegularExpression>
#include <QString>
#include <cstdint>

#include "sim/VirtualInstrument.h"
#include "tests/fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  sim::Scenario scenario;
  QString error;
  if (sim::ParseScenario(text, QStringLiteral("s.ini"), scenario, error)) {
    FUZZ_CHECK(scenario.serial.size() <= 10, "serial");
    FUZZ_CHECK(scenario.latency.count() >= 0 && scenario.autoReading.count() >= 0, "negative time");
    for (const auto& t : scenario.unplugAt) FUZZ_CHECK(t.count() >= 0, "negative unplug time");
    for (const auto& t : scenario.replugAt) FUZZ_CHECK(t.count() >= 0, "negative replug time");
    return 0;
  }
  static const QRegularExpression kLocated(QStringLiteral("^s\\.ini:(\\d+): \\S"));
  const QRegularExpressionMatch m = kLocated.match(error);
  FUZZ_CHECK(m.hasMatch(), "refused without a line: %s", qPrintable(error));
  const long long line = m.captured(1).toLongLong();
  FUZZ_CHECK(line >= 1 && line <= text.count(QLatin1Char('\n')) + 1, "line %lld", line);
  return 0;
}
