#include "sim/VirtualInstrument.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <charconv>

#include "protocol/Messages.h"

namespace sim {
namespace {

using namespace protocol;

// Mode bits of a reading.
constexpr std::uint8_t kModeC = 0x01;  // taken with the instrument's own button
constexpr std::uint8_t kModeL = 0x02;  // above the instrument's linear range at 60°
constexpr std::uint8_t kModeD = 0x08;  // dark measurement

std::uint8_t GeometryReply(int geometry) {
  switch (geometry) {
    case 1:
      return REQ_GEO_60;
    case 2:
      return REQ_GEO_20;
    case 3:
      return REQ_GEO_BOTH;
    default:
      return REP_GEO_NONE;
  }
}

bool Has20(int geometry) { return geometry == 2 || geometry == 3; }
bool Has60(int geometry) { return geometry == 1 || geometry == 3; }

}  // namespace

std::array<std::uint8_t, 8> ValueCharacters(double gloss) {
  // to_chars, not printf: an instrument writes '.', whatever the locale of the process it is
  // simulated in.
  char text[16];
  const auto end =
      std::to_chars(text, text + sizeof text, std::clamp(gloss, 0.0, 999.9), std::chars_format::fixed, 1).ptr;
  std::array<std::uint8_t, 8> c{' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  // Right-aligned in the last five places ("%5.1f").
  std::copy(text, end, c.end() - (end - text));
  return c;
}

VirtualInstrument::VirtualInstrument(Scenario scenario, std::uint32_t seed)
    : scenario_(std::move(scenario)), random_(seed), geometry_(scenario_.geometry) {
  scenario_.serial.resize(10, ' ');
  nextOwnReading_ = Clock::now() + scenario_.autoReading;
}

std::optional<usb::simbus::Packet> VirtualInstrument::OnWrite(std::span<const std::uint8_t> request) {
  std::lock_guard lock(mutex_);
  ++exchanges_;
  if (scenario_.autoReading.count() > 0 && Now() >= nextOwnReading_) {
    nextOwnReading_ = Now() + scenario_.autoReading;
    Measure(false, true);
  }
  if (scenario_.silentFromExchange && exchanges_ >= *scenario_.silentFromExchange) return std::nullopt;
  if (const auto odd = scenario_.oddReplies.find(exchanges_); odd != scenario_.oddReplies.end()) {
    return usb::simbus::Packet::Of(odd->second);
  }
  Frame frame{};
  std::copy_n(request.begin(), std::min<std::size_t>(request.size(), frame.size()), frame.begin());
  return usb::simbus::Packet::Of(Answer(frame));
}

VirtualInstrument::Frame VirtualInstrument::Answer(const Frame& request) {
  switch (request[0]) {
    case REQ_READ_BYTE: {
      const int address = request[1] * 256 + request[2];
      std::uint8_t data = 0xFF;
      if (address < 10) {
        data = static_cast<std::uint8_t>(scenario_.serial[static_cast<std::size_t>(address)]);
      } else if (address == 10) {
        data = 0;
        for (const char ch : scenario_.serial) data ^= static_cast<std::uint8_t>(ch);
      }
      return {REQ_READ_BYTE, request[1], request[2], data, 0, 0, 0, 0};
    }
    case REQ_FIRMWARE:
      return {REQ_FIRMWARE, scenario_.firmwareA, scenario_.firmwareB, 0, 0, 0, 0, 0};
    case REQ_VALUE:
      return ValueHalf(request[1]);
    case REQ_SHOT:
      Measure(false, false);
      return {REQ_SHOT, 0, 0, 0, 0, 0, 0, 0};
    case REQ_DARK:
      Measure(true, false);
      return {REQ_DARK, 0, 0, 0, 0, 0, 0, 0};
    case REQ_GEO_20:
      ChooseGeometry(2);
      return {GeometryReply(geometry_), 0, 0, 0, 0, 0, 0, 0};
    case REQ_GEO_60:
      ChooseGeometry(1);
      return {GeometryReply(geometry_), 0, 0, 0, 0, 0, 0, 0};
    case REQ_GEO_BOTH:
      ChooseGeometry(3);
      return {GeometryReply(geometry_), 0, 0, 0, 0, 0, 0, 0};
    case REQ_ORIENT_NORMAL:
    case REQ_ORIENT_180:
      rotated_ = request[0] == REQ_ORIENT_180;
      return {request[0], 0, 0, 0, 0, 0, 0, 0};
    case REQ_RELEASE_20:
      locked20_ = false;
      return {request[0], 0, 0, 0, 0, 0, 0, 0};
    case REQ_RELEASE_60:
      locked60_ = false;
      return {request[0], 0, 0, 0, 0, 0, 0, 0};
    case REQ_LOCK_20:
      locked20_ = true;
      ChooseGeometry(geometry_);
      return {request[0], 0, 0, 0, 0, 0, 0, 0};
    case REQ_LOCK_60:
      locked60_ = true;
      ChooseGeometry(geometry_);
      return {request[0], 0, 0, 0, 0, 0, 0, 0};
    case REQ_RELEASE_DARK_1:
      darkReleaseArmed_ = true;
      darkLockArmed_ = false;
      return {request[0], 0, 0, 0, 0, 0, 0, 0};
    case REQ_RELEASE_DARK_2:
      if (darkReleaseArmed_) darkLocked_ = false;
      darkReleaseArmed_ = false;
      return {request[0], 0, 0, 0, 0, 0, 0, 0};
    case REQ_LOCK_DARK_1:
      darkLockArmed_ = true;
      darkReleaseArmed_ = false;
      return {request[0], 0, 0, 0, 0, 0, 0, 0};
    case REQ_LOCK_DARK_2:
      if (darkLockArmed_) darkLocked_ = true;
      darkLockArmed_ = false;
      return {request[0], 0, 0, 0, 0, 0, 0, 0};
    default:
      return request;  // not a request of this instrument: it echoes the frame
  }
}

void VirtualInstrument::ChooseGeometry(int wanted) {
  // A locked geometry drops out of what is wanted; when nothing is left the other one is used.
  const bool want20 = Has20(wanted) && !locked20_;
  const bool want60 = Has60(wanted) && !locked60_;
  if (want20 && want60) {
    geometry_ = 3;
  } else if (want20) {
    geometry_ = 2;
  } else if (want60) {
    geometry_ = 1;
  } else if (!locked60_) {
    geometry_ = 1;
  } else if (!locked20_) {
    geometry_ = 2;
  } else {
    geometry_ = 0;
  }
}

GlossReading VirtualInstrument::NextSample(bool dark) {
  if (!scenario_.readings.empty()) {
    GlossReading r = scenario_.readings[nextReading_ % scenario_.readings.size()];
    ++nextReading_;
    if (dark) r.mode |= kModeD;
    return r;
  }
  std::normal_distribution<double> noise(0.0, 0.25);
  if (dark) {
    return {std::abs(noise(random_)), std::abs(noise(random_)), kModeD};
  }
  // The sample on the bench changes now and then; its two angles agree as real surfaces do:
  // the 20° value falls behind the 60° value the less glossy the surface is.
  std::uniform_real_distribution<double> change(0.0, 1.0);
  if (change(random_) < 0.2) sampleGloss60_ = 5.0 + change(random_) * 95.0;
  GlossReading r;
  r.gloss60 = std::max(0.0, sampleGloss60_ + noise(random_));
  r.gloss20 = std::max(0.0, r.gloss60 * (0.25 + 0.6 * r.gloss60 / 100.0) + noise(random_));
  if (r.gloss60 > 95.0) r.mode |= kModeL;
  return r;
}

void VirtualInstrument::Measure(bool dark, bool ownButton) {
  if ((dark && darkLocked_) || geometry_ == 0) return;
  GlossReading r = NextSample(dark);
  if (ownButton) r.mode |= kModeC;
  const std::array<std::uint8_t, 8> blank{' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  const std::array<std::uint8_t, 8> c60 = Has60(geometry_) ? ValueCharacters(r.gloss60) : blank;
  const std::array<std::uint8_t, 8> c20 = Has20(geometry_) ? ValueCharacters(r.gloss20) : blank;
  // First half: characters 0, 1, the mode byte in the place of character 2, character 3.
  halves_[kValue60First] = {c60[0], c60[1], r.mode, c60[3]};
  halves_[kValue60Second] = {c60[4], c60[5], c60[6], c60[7]};
  halves_[kValue20First] = {c20[0], c20[1], r.mode, c20[3]};
  halves_[kValue20Second] = {c20[4], c20[5], c20[6], c20[7]};
  due_ = {true, true, true, true};
  ++readingsTaken_;
}

VirtualInstrument::Frame VirtualInstrument::ValueHalf(std::uint8_t subCode) {
  // The halves go out in their order, so that a reading taken in the middle of the program's
  // polling sequence waits for the start of the next one: 60° first, then 20°.
  const bool inOrder = std::all_of(due_.begin(), due_.begin() + std::min<std::size_t>(subCode, due_.size()),
                                   [](bool due) { return !due; });
  if (subCode < due_.size() && due_[subCode] && inOrder) {
    due_[subCode] = false;
    const auto& h = halves_[subCode];
    return {REQ_VALUE, subCode, h[0], h[1], h[2], h[3], 0, 0};
  }
  return GeometryReport();
}

VirtualInstrument::Frame VirtualInstrument::GeometryReport() const {
  return {REQ_VALUE, REP_GEO_REPORT, static_cast<std::uint8_t>(geometry_), 0, 0, 0, 0, 0};
}

int VirtualInstrument::Geometry() const {
  std::lock_guard lock(mutex_);
  return geometry_;
}
bool VirtualInstrument::Locked20() const {
  std::lock_guard lock(mutex_);
  return locked20_;
}
bool VirtualInstrument::Locked60() const {
  std::lock_guard lock(mutex_);
  return locked60_;
}
bool VirtualInstrument::DarkLocked() const {
  std::lock_guard lock(mutex_);
  return darkLocked_;
}
bool VirtualInstrument::Rotated() const {
  std::lock_guard lock(mutex_);
  return rotated_;
}
std::uint32_t VirtualInstrument::Exchanges() const {
  std::lock_guard lock(mutex_);
  return exchanges_;
}
std::uint32_t VirtualInstrument::ReadingsTaken() const {
  std::lock_guard lock(mutex_);
  return readingsTaken_;
}
bool VirtualInstrument::ReadingDue() const {
  std::lock_guard lock(mutex_);
  return std::any_of(due_.begin(), due_.end(), [](bool due) { return due; });
}

// ---- scenario files ---------------------------------------------------------------------------

namespace {

bool ParseHexBytes(const QString& text, std::vector<std::uint8_t>& out) {
  out.clear();
  for (const QString& part : text.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts)) {
    bool ok = false;
    const uint v = part.toUInt(&ok, 16);
    if (!ok || v > 0xFF) return false;
    out.push_back(static_cast<std::uint8_t>(v));
  }
  return true;
}

// Times in a scenario: up to a year, so that every one is a whole number of milliseconds.
constexpr double kLongestSeconds = 365.0 * 24 * 3600;

std::optional<std::chrono::milliseconds> Seconds(const QString& text) {
  bool ok = false;
  const double s = text.trimmed().toDouble(&ok);
  // The negated comparison refuses NaN as well.
  if (!ok || !(s >= 0 && s <= kLongestSeconds)) return std::nullopt;
  return std::chrono::milliseconds(static_cast<long long>(s * 1000.0));
}

bool ParseSeconds(const QString& text, std::vector<std::chrono::milliseconds>& out) {
  for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    const std::optional<std::chrono::milliseconds> t = Seconds(part);
    if (!t) return false;
    out.push_back(*t);
  }
  return true;
}

}  // namespace

bool LoadScenario(const QString& path, Scenario& scenario, QString& error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    return false;
  }
  return ParseScenario(QString::fromUtf8(file.readAll()), path, scenario, error);
}

bool ParseScenario(const QString& text, const QString& name, Scenario& scenario, QString& error) {
  const QStringList lines = text.split(QLatin1Char('\n'));
  QString section;
  int lineNumber = 0;
  const auto fail = [&](const QString& why) {
    error = QStringLiteral("%1:%2: %3").arg(name).arg(lineNumber).arg(why);
    return false;
  };
  for (QString line : lines) {
    ++lineNumber;
    if (const qsizetype hash = line.indexOf(QLatin1Char('#')); hash >= 0) line.truncate(hash);
    line = line.trimmed();
    if (line.isEmpty()) continue;
    if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
      section = line.mid(1, line.size() - 2).trimmed().toLower();
      if (section != QLatin1String("instrument") && section != QLatin1String("readings") &&
          section != QLatin1String("faults")) {
        return fail(QStringLiteral("unknown section [%1]").arg(section));
      }
      continue;
    }
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0 || section.isEmpty()) return fail(QStringLiteral("expected key = value inside a section"));
    const QString key = line.left(eq).trimmed().toLower();
    const QString value = line.mid(eq + 1).trimmed();
    bool ok = true;

    if (section == QLatin1String("instrument")) {
      if (key == QLatin1String("serial")) {
        const QByteArray latin = value.toLatin1();
        if (latin.size() > 10) return fail(QStringLiteral("a serial number has at most 10 characters"));
        scenario.serial = latin.toStdString();
      } else if (key == QLatin1String("firmware")) {
        std::vector<std::uint8_t> bytes;
        if (!ParseHexBytes(value, bytes) || bytes.size() != 2)
          return fail(QStringLiteral("firmware is two hexadecimal bytes"));
        scenario.firmwareA = bytes[0];
        scenario.firmwareB = bytes[1];
      } else if (key == QLatin1String("geometry")) {
        const QString g = QString(value).remove(QLatin1Char(' ')).remove(QChar(0xB0));
        if (g == QLatin1String("20+60")) {
          scenario.geometry = 3;
        } else if (g == QLatin1String("20")) {
          scenario.geometry = 2;
        } else if (g == QLatin1String("60")) {
          scenario.geometry = 1;
        } else if (g == QLatin1String("none")) {
          scenario.geometry = 0;
        } else {
          return fail(QStringLiteral("geometry is 20, 60, 20+60 or none"));
        }
      } else if (key == QLatin1String("latency_ms")) {
        const int ms = value.toInt(&ok);
        if (!ok || ms < 0) return fail(QStringLiteral("latency_ms is a whole number of milliseconds"));
        scenario.latency = std::chrono::milliseconds(ms);
      } else if (key == QLatin1String("own_reading_every_s")) {
        const std::optional<std::chrono::milliseconds> every = Seconds(value);
        if (!every) return fail(QStringLiteral("own_reading_every_s is a number of seconds, up to a year"));
        scenario.autoReading = *every;
      } else {
        return fail(QStringLiteral("unknown key %1").arg(key));
      }
    } else if (section == QLatin1String("readings")) {
      if (key != QLatin1String("reading")) return fail(QStringLiteral("unknown key %1").arg(key));
      const QStringList parts = value.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
      if (parts.size() < 2)
        return fail(QStringLiteral("a reading is: gloss 20°, gloss 60°, then optional letters L C D"));
      GlossReading r;
      bool ok20 = false, ok60 = false;
      r.gloss20 = parts[0].toDouble(&ok20);
      r.gloss60 = parts[1].toDouble(&ok60);
      if (!ok20 || !ok60) return fail(QStringLiteral("gloss values are numbers with '.' as the mark"));
      for (qsizetype i = 2; i < parts.size(); ++i) {
        for (const QChar letter : parts[i].toUpper()) {
          if (letter == QLatin1Char('L')) {
            r.mode |= kModeL;
          } else if (letter == QLatin1Char('C')) {
            r.mode |= kModeC;
          } else if (letter == QLatin1Char('D')) {
            r.mode |= kModeD;
          } else {
            return fail(QStringLiteral("mode letters are L, C and D"));
          }
        }
      }
      scenario.readings.push_back(r);
    } else {
      if (key == QLatin1String("silent_from_exchange")) {
        const uint n = value.toUInt(&ok);
        if (!ok || n == 0) return fail(QStringLiteral("silent_from_exchange is an exchange number from 1"));
        scenario.silentFromExchange = n;
      } else if (key == QLatin1String("odd_reply")) {
        const qsizetype colon = value.indexOf(QLatin1Char(':'));
        std::vector<std::uint8_t> bytes;
        const uint n = value.left(colon).trimmed().toUInt(&ok);
        if (colon < 0 || !ok || n == 0 || !ParseHexBytes(value.mid(colon + 1), bytes) || bytes.size() != 8) {
          return fail(QStringLiteral("odd_reply is: exchange number: eight hexadecimal bytes"));
        }
        std::array<std::uint8_t, 8> reply{};
        std::copy(bytes.begin(), bytes.end(), reply.begin());
        scenario.oddReplies[n] = reply;
      } else if (key == QLatin1String("unplug_at_s")) {
        if (!ParseSeconds(value, scenario.unplugAt))
          return fail(QStringLiteral("unplug_at_s is a list of seconds, up to a year each"));
      } else if (key == QLatin1String("replug_at_s")) {
        if (!ParseSeconds(value, scenario.replugAt))
          return fail(QStringLiteral("replug_at_s is a list of seconds, up to a year each"));
      } else {
        return fail(QStringLiteral("unknown key %1").arg(key));
      }
    }
  }
  return true;
}

}  // namespace sim
