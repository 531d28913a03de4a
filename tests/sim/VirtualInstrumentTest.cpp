#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <clocale>
#include <string>

#include "protocol/Messages.h"
#include "sim/VirtualInstrument.h"
#include "tests/support/TestEnvironment.h"

namespace {

using namespace protocol;
using sim::Scenario;
using sim::VirtualInstrument;

Frame Ask(VirtualInstrument& instrument, std::initializer_list<std::uint8_t> request) {
  Frame f{};
  std::copy(request.begin(), request.end(), f.begin());
  const std::optional<usb::simbus::Packet> reply = instrument.OnWrite(f);
  if (!reply) return Frame{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(reply->length, 8u);
  Frame out{};
  std::copy_n(reply->bytes.begin(), 8, out.begin());
  return out;
}

// The table texts of the reading the program would assemble from the next four value queries.
struct Fetched {
  QString value60, value20;
  std::uint8_t mode = 0;
  bool complete = false;
};
Fetched FetchReading(VirtualInstrument& instrument) {
  Fetched r;
  std::array<std::uint8_t, 4> first{};
  for (std::uint8_t sub = 0; sub < 4; ++sub) {
    const Frame f = Ask(instrument, {REQ_VALUE, sub});
    if (f[1] != sub) return r;
    if (sub == kValue60First || sub == kValue20First) {
      std::copy_n(f.begin() + 2, 4, first.begin());
      r.mode = f[4];
    } else {
      Value v = AssembleValue(first, f.data() + 2);
      (sub == kValue60Second ? r.value60 : r.value20) = TableText(v).trimmed();
    }
  }
  r.complete = true;
  return r;
}

Scenario Quiet() {
  Scenario s;
  s.autoReading = std::chrono::milliseconds(0);
  s.readings = {{75.3, 88.5, 0}, {12.0, 35.25, 0x02}};
  return s;
}

TEST(VirtualInstrument, AnswersMemoryReadsAndTheFirmwareQuery) {
  VirtualInstrument instrument(Quiet());
  QString serial;
  for (std::uint8_t a = 0; a < 10; ++a) serial += QChar(Ask(instrument, {REQ_READ_BYTE, 0, a, 0, 0xF7})[3]);
  EXPECT_EQ(serial, QStringLiteral("QX31804711"));
  EXPECT_EQ(Ask(instrument, {REQ_READ_BYTE, 0x01, 0x00}), (Frame{REQ_READ_BYTE, 0x01, 0x00, 0xFF, 0, 0, 0, 0}));
  const Frame firmware = Ask(instrument, {REQ_FIRMWARE});
  EXPECT_EQ(FirmwareText(firmware[1], firmware[2]), QStringLiteral("08 15 "));
}

TEST(VirtualInstrument, DeliversAReadingOnceHalfByHalfThenReportsItsGeometry) {
  VirtualInstrument instrument(Quiet());
  EXPECT_EQ(Ask(instrument, {REQ_VALUE, 0x00}), (Frame{REQ_VALUE, REP_GEO_REPORT, 3, 0, 0, 0, 0, 0}));
  Ask(instrument, {REQ_SHOT});
  const Fetched first = FetchReading(instrument);
  ASSERT_TRUE(first.complete);
  EXPECT_EQ(first.value60, QStringLiteral("88.5"));
  EXPECT_EQ(first.value20, QStringLiteral("75.3"));
  EXPECT_EQ(Ask(instrument, {REQ_VALUE, 0x03})[1], REP_GEO_REPORT);  // delivered once

  // Taken in the middle of a polling sequence, a reading waits for the next one.
  Ask(instrument, {REQ_VALUE, 0x00});
  Ask(instrument, {REQ_DARK});
  EXPECT_EQ(Ask(instrument, {REQ_VALUE, 0x01})[1], REP_GEO_REPORT);
  EXPECT_EQ(Ask(instrument, {REQ_VALUE, 0x02})[1], REP_GEO_REPORT);
  const Fetched dark = FetchReading(instrument);
  ASSERT_TRUE(dark.complete);
  EXPECT_EQ(dark.value60, QStringLiteral("35.2"));
  EXPECT_EQ(dark.mode, 0x02 | 0x08);
}

TEST(VirtualInstrument, HonoursGeometryAndDarkLocks) {
  VirtualInstrument instrument(Quiet());
  EXPECT_EQ(Ask(instrument, {REQ_LOCK_20})[0], REQ_LOCK_20);
  EXPECT_EQ(Ask(instrument, {REQ_GEO_BOTH})[0], REQ_GEO_60);
  EXPECT_EQ(Ask(instrument, {REQ_GEO_20})[0], REQ_GEO_60);  // refused: 20° is locked
  EXPECT_EQ(Ask(instrument, {REQ_VALUE, 0x00})[2], 1);
  Ask(instrument, {REQ_SHOT});
  const Fetched only60 = FetchReading(instrument);
  EXPECT_EQ(only60.value60, QStringLiteral("88.5"));
  EXPECT_EQ(only60.value20, QString());

  EXPECT_EQ(Ask(instrument, {REQ_RELEASE_20})[0], REQ_RELEASE_20);
  EXPECT_EQ(Ask(instrument, {REQ_GEO_BOTH})[0], REQ_GEO_BOTH);
  Ask(instrument, {REQ_LOCK_60});
  EXPECT_EQ(instrument.Geometry(), 2);
  Ask(instrument, {REQ_LOCK_20});  // both locked: no geometry left
  EXPECT_EQ(Ask(instrument, {REQ_GEO_BOTH})[0], REP_GEO_NONE);
  Ask(instrument, {REQ_RELEASE_20});
  Ask(instrument, {REQ_RELEASE_60});

  // The dark measurement locks and releases with two requests each.
  Ask(instrument, {REQ_GEO_BOTH});
  Ask(instrument, {REQ_LOCK_DARK_1});
  Ask(instrument, {REQ_LOCK_DARK_2});
  EXPECT_TRUE(instrument.DarkLocked());
  Ask(instrument, {REQ_DARK});
  EXPECT_FALSE(FetchReading(instrument).complete);
  Ask(instrument, {REQ_RELEASE_DARK_2});  // the second request alone does nothing
  EXPECT_TRUE(instrument.DarkLocked());
  Ask(instrument, {REQ_RELEASE_DARK_1});
  Ask(instrument, {REQ_RELEASE_DARK_2});
  EXPECT_FALSE(instrument.DarkLocked());
  Ask(instrument, {REQ_ORIENT_180});
  EXPECT_TRUE(instrument.Rotated());
}

TEST(VirtualInstrument, TakesItsOwnReadingsAndPlaysScriptedFaults) {
  Scenario s = Quiet();
  s.autoReading = std::chrono::milliseconds(3000);
  s.silentFromExchange = 12;
  s.oddReplies[3] = {0x42, 1, 2, 3, 4, 5, 6, 7};
  VirtualInstrument instrument(s);
  auto now = VirtualInstrument::Clock::now();
  instrument.Now = [&now] { return now; };

  EXPECT_EQ(Ask(instrument, {REQ_VALUE, 0x00})[1], REP_GEO_REPORT);  // exchange 1
  now += std::chrono::milliseconds(3100);
  EXPECT_EQ(Ask(instrument, {REQ_FIRMWARE})[0], REQ_FIRMWARE);  // 2: the button is pressed here
  EXPECT_EQ(Ask(instrument, {REQ_FIRMWARE})[0], 0x42);          // 3: an odd reply
  const Fetched own = FetchReading(instrument);                 // 4 to 7
  ASSERT_TRUE(own.complete);
  EXPECT_EQ(own.mode & 0x01, 0x01);  // "C": taken with the instrument's own button
  for (int i = 8; i < 12; ++i) Ask(instrument, {REQ_FIRMWARE});
  EXPECT_FALSE(instrument.OnWrite(Frame{REQ_FIRMWARE}).has_value());  // 12: silent from here on
}

// The values an instrument sends carry '.', also when the program runs under a locale with a
// decimal comma (made here with localedef, as test machines often have no such locale).
TEST(VirtualInstrument, ValueCharactersLeaveTheModePlaceBlankAndUseAPoint) {
  QTemporaryDir locales;
  ASSERT_EQ(QProcess::execute(QStringLiteral("localedef"),
                              {"-i", "de_DE", "-f", "UTF-8", locales.filePath(QStringLiteral("de_DE.UTF-8"))}),
            0);
  qputenv("LOCPATH", QFile::encodeName(locales.path()));
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr);
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");

  const std::pair<double, const char*> cases[] = {
      {88.5, "    88.5"}, {0.04, "     0.0"}, {999.9, "   999.9"}, {1500, "   999.9"}, {-3, "     0.0"}};
  for (const auto& [gloss, text] : cases) {
    const auto c = sim::ValueCharacters(gloss);
    EXPECT_EQ(c[2], ' ') << gloss;
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(c.data()), 8), QByteArray(text)) << gloss;
  }
  std::setlocale(LC_NUMERIC, previous.c_str());
  qunsetenv("LOCPATH");
}

TEST(Scenario, ReadsEveryKeyAndReportsMistakesWithTheirLine) {
  testing_support::ScopedWorkingDir dir;
  const QString path = dir.File(QStringLiteral("s.ini"));
  testing_support::WriteFileBytes(path,
                                  "# a bench\n"
                                  "[instrument]\n"
                                  "serial = AB12345678\n"
                                  "firmware = 07 2a\n"
                                  "geometry = 20° + 60°\n"
                                  "latency_ms = 3\n"
                                  "own_reading_every_s = 2.5\n"
                                  "[readings]\n"
                                  "reading = 40.5 70.25 L d\n"
                                  "[faults]\n"
                                  "silent_from_exchange = 600\n"
                                  "odd_reply = 100: 77 00 01 02 03 04 05 06\n"
                                  "unplug_at_s = 10, 30\n"
                                  "replug_at_s = 20\n");
  Scenario s;
  QString error;
  ASSERT_TRUE(sim::LoadScenario(path, s, error)) << error.toStdString();
  EXPECT_EQ(s.serial, "AB12345678");
  EXPECT_EQ(s.firmwareA, 0x07);
  EXPECT_EQ(s.firmwareB, 0x2A);
  EXPECT_EQ(s.geometry, 3);
  EXPECT_EQ(s.latency, std::chrono::milliseconds(3));
  EXPECT_EQ(s.autoReading, std::chrono::milliseconds(2500));
  ASSERT_EQ(s.readings.size(), 1u);
  EXPECT_EQ(s.readings[0].mode, 0x02 | 0x08);
  EXPECT_EQ(s.silentFromExchange, 600u);
  EXPECT_EQ(s.oddReplies.at(100)[0], 0x77);
  EXPECT_EQ(s.unplugAt, (std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(10000),
                                                                std::chrono::milliseconds(30000)}));
  EXPECT_EQ(s.replugAt.size(), 1u);

  const std::pair<const char*, const char*> mistakes[] = {
      {"[instrument]\nfirmware = 08\n", ":2: firmware"},
      {"[instrument]\ncolour = red\n", ":2: unknown key colour"},
      {"serial = X\n", ":1: expected key = value inside a section"},
      {"[readings]\nreading = 12\n", ":2: a reading is"},
      {"[faults]\nodd_reply = 5: 01 02\n", ":2: odd_reply"},
      {"[weather]\n", ":1: unknown section"},
  };
  for (const auto& [content, message] : mistakes) {
    testing_support::WriteFileBytes(path, content);
    Scenario ignored;
    EXPECT_FALSE(sim::LoadScenario(path, ignored, error)) << content;
    EXPECT_TRUE(error.contains(QLatin1String(message))) << error.toStdString();
  }
  EXPECT_FALSE(sim::LoadScenario(dir.File(QStringLiteral("missing.ini")), s, error));
}

}  // namespace
