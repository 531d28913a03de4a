#include "protocol/PollingCycle.h"

#include <QLocale>

#include "protocol/Log.h"

namespace protocol {
namespace {

// The request byte of each one-shot request code that carries nothing but its code.
std::uint8_t CommandFor(std::uint8_t requestCode) {
  switch (requestCode) {
    case rc::kShot:
      return REQ_SHOT;
    case rc::kDark:
      return REQ_DARK;
    case rc::kGeo20:
      return REQ_GEO_20;
    case rc::kGeo60:
      return REQ_GEO_60;
    case rc::kGeoBoth:
      return REQ_GEO_BOTH;
    case rc::kOrientNormal:
      return REQ_ORIENT_NORMAL;
    case rc::kOrient180:
      return REQ_ORIENT_180;
    case rc::kReleaseDark1:
      return REQ_RELEASE_DARK_1;
    case rc::kLockDark1:
      return REQ_LOCK_DARK_1;
    case rc::kReleaseDark2:
      return REQ_RELEASE_DARK_2;
    case rc::kLockDark2:
      return REQ_LOCK_DARK_2;
    case rc::kRelease20:
      return REQ_RELEASE_20;
    case rc::kLock20:
      return REQ_LOCK_20;
    case rc::kRelease60:
      return REQ_RELEASE_60;
    case rc::kLock60:
      return REQ_LOCK_60;
    default:
      return 0;
  }
}

QString Joined(const std::array<QString, 3>& letters) { return letters[0] + letters[1] + letters[2]; }

}  // namespace

QString WithoutTimeZone(const QString& format) {
  QString out;
  bool quoted = false;
  for (qsizetype i = 0; i < format.size(); ++i) {
    const QChar c = format[i];
    if (c == QLatin1Char('\'')) quoted = !quoted;
    if (!quoted && c == QLatin1Char('t')) {
      while (i + 1 < format.size() && format[i + 1] == QLatin1Char('t')) ++i;
      while (out.endsWith(QLatin1Char(' '))) out.chop(1);
      continue;
    }
    out.append(c);
  }
  return out.trimmed();
}

QString ReadingDateText(const QDateTime& when) { return QLocale::system().toString(when.date(), QLocale::ShortFormat); }

QString ReadingTimeText(const QDateTime& when) {
  const QLocale locale = QLocale::system();
  return locale.toString(when.time(), WithoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}

PollingCycle::PollingCycle(CycleState& state, Frame& frame, std::function<bool()> transact, CycleView& view)
    : s_(state), frame_(frame), transact_(std::move(transact)), view_(view) {}

void PollingCycle::Tick() {
  // 1. Restart.
  if (s_.RestartMark != kCycleRunning) {
    qCDebug(lcProtocol, "cycle: handshake begins (restart mark %02X)", s_.RestartMark);
    s_.HandshakeCount = 0;
    s_.RequestCode = rc::kHandshake;
    s_.RestartMark = kCycleRunning;
    s_.HandshakeDone = 0;
  }
  // 2. Handshake step.
  if (s_.RequestCode == rc::kHandshake) {
    if (s_.HandshakeCount > 10) {
      qCDebug(lcProtocol, "cycle: handshake done, polling");
      s_.RequestCode = rc::kIdle;
      s_.HandshakeDone = kCycleRunning;
    } else {
      s_.ReadAddress = s_.HandshakeCount;
      ++s_.HandshakeCount;
    }
  }
  // 3. The request.
  BuildRequest();
  // 4. and 5. The exchange; a failure ends the tick and the request is lost.
  if (!transact_()) {
    qCDebug(lcProtocol, "cycle: exchange failed; its request is dropped");
    view_.ExchangeFailed();
    return;
  }
  // 6. The reply, whatever it is.
  HandleReply();
  view_.ClearConnectionMessage();
}

void PollingCycle::BuildRequest() {
  switch (s_.RequestCode) {
    case rc::kValue60First:
      BuildValue(frame_, kValue60First);
      s_.RequestCode = rc::kValue60Second;
      return;
    case rc::kValue60Second:
      BuildValue(frame_, kValue60Second);
      s_.RequestCode = rc::kValue20First;
      return;
    case rc::kHandshake:
      BuildReadByte(frame_, s_.ReadAddress);
      return;
    case rc::kValue20First:
      BuildValue(frame_, kValue20First);
      s_.RequestCode = rc::kValue20Second;
      return;
    case rc::kValue20Second:
      BuildValue(frame_, kValue20Second);
      s_.RequestCode = rc::kIdle;
      return;
    default:
      break;
  }
  if (const std::uint8_t command = CommandFor(s_.RequestCode); command != 0) {
    qCDebug(lcProtocol, "cycle: one-shot request code %u, command %02X", s_.RequestCode, command);
    BuildCommand(frame_, command);
    s_.RequestCode = rc::kIdle;
    return;
  }
  // Idle.
  if (s_.HandshakeDone == kCycleRunning) {
    BuildFirmware(frame_);
    s_.RequestCode = rc::kValue60First;
  } else {
    // A one-shot request interrupted the handshake: the frame goes out as the last reply left
    // it, and the next tick starts the handshake again.
    s_.RestartMark = 1;
  }
}

void PollingCycle::HandleReply() {
  switch (frame_[0]) {
    case REQ_READ_BYTE: {
      const int address = frame_[1] * 256 + frame_[2];
      if (address < static_cast<int>(s_.SerialChars.size())) {
        s_.SerialChars[static_cast<std::size_t>(address)] = frame_[3];
        view_.ShowSerial(SerialText(s_.SerialChars));
      }
      return;
    }
    case REQ_FIRMWARE:
      view_.ShowFirmware(FirmwareText(frame_[1], frame_[2]));
      return;
    case REQ_VALUE:
      switch (frame_[1]) {
        case kValue60First:
        case kValue20First:
          std::copy(frame_.begin() + 2, frame_.begin() + 6, s_.PendingHalf.begin());
          return;
        case kValue60Second:
          HandleValue(true);
          return;
        case kValue20Second:
          HandleValue(false);
          CompleteReading();
          return;
        case REP_GEO_REPORT:
          s_.GeoMode = frame_[2];
          if (s_.GeoMode != s_.ShownGeoMode) {
            s_.ShownGeoMode = s_.GeoMode;
            view_.ShowGeometry(GeometrySuffix(s_.GeoMode));
          }
          return;
        default:
          return;
      }
      return;
    case REQ_GEO_20:
      view_.ShowGeometry(GeometrySuffix(2));
      return;
    case REQ_GEO_60:
      view_.ShowGeometry(GeometrySuffix(1));
      return;
    case REQ_GEO_BOTH:
      view_.ShowGeometry(GeometrySuffix(3));
      return;
    case REP_GEO_NONE:
      view_.ShowGeometry(GeometrySuffix(0));
      return;
    case REQ_RELEASE_20:
    case REQ_RELEASE_60:
    case REQ_LOCK_20:
    case REQ_LOCK_60:
      // The instrument answered a release or lock: ask for both geometries next.
      s_.RequestCode = rc::kGeoBoth;
      return;
    default:
      return;
  }
}

void PollingCycle::HandleValue(bool is60) {
  Value value = AssembleValue(s_.PendingHalf, frame_.data() + 2);
  const bool shown = is60 ? (s_.GeoMode == 1 || s_.GeoMode == 3) : (s_.GeoMode == 2 || s_.GeoMode == 3);
  if (is60) {
    ApplyDecimalMark60(value, DecimalSeparator);
  } else {
    ApplyDecimalMark20(value);
  }
  std::array<QString, 3> letters{QStringLiteral(" "), QStringLiteral(" "), QStringLiteral(" ")};
  QString display = QStringLiteral("---");
  QString table = QStringLiteral("---");
  if (shown) {
    letters = ModeLetters(value.mode);
    display = DisplayText(value);
    table = TableText(value);
  }
  if (is60) {
    view_.ShowValue60(display, letters);
    s_.Value60Text = table;
    s_.Mode60Text = Joined(letters);
  } else {
    view_.ShowValue20(display, letters);
    s_.Value20Text = table;
    s_.Mode20Text = Joined(letters);
  }
}

void PollingCycle::CompleteReading() {
  ++s_.MeasCount;
  view_.ShowMeasCount(QString::number(s_.MeasCount));
  view_.ResetShot();
  const QDateTime now = Now();
  readingTime_ = now;
  s_.DateText = ReadingDateText(now);
  s_.TimeText = ReadingTimeText(now);
  view_.AppendReading({s_.DateText, s_.TimeText, TrimText(s_.Mode20Text), TrimText(s_.Mode60Text),
                       TrimText(s_.Value20Text), TrimText(s_.Value60Text), TrimText(view_.CommentText())});
}

}  // namespace protocol
