// Instrument replies: any bytes, eight at a time, through the polling cycle tick by tick with the
// real decoding, against a window that records what it is shown.
//
// Input: the first byte picks the system's decimal separator (',' or '.'); then steps of nine
// bytes: a control byte and the reply. Control bit 7: the exchange fails; bit 6: a handler raises
// request code (bits 0 to 4) before the tick; bit 5: a geometry dialog restarts the cycle.
//
// Checked after every tick: each request sent is one of the instrument's requests with its bytes
// (or, after a request interrupted the handshake, the buffer as the last reply left it); each
// shown text has the length its rule gives; no table text holds a control character; the
// reading counter and the table grow by exactly one for each reply that completes a reading.
#include <QDateTime>
#include <QRegularExpression>
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "protocol/Messages.h"
#include "protocol/PollingCycle.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using namespace protocol;

class RecordingView final : public CycleView {
 public:
  void ShowSerial(const QString& text) override { serial = text; }
  void ShowFirmware(const QString& text) override { firmware = text; }
  void ShowValue60(const QString& text, const std::array<QString, 3>& letters) override { Value(text, letters); }
  void ShowValue20(const QString& text, const std::array<QString, 3>& letters) override { Value(text, letters); }
  void ShowMeasCount(const QString& text) override { count = text; }
  void ResetShot() override {}
  QString CommentText() const override { return QString(); }
  void AppendReading(const ReadingRow& row) override { rows.push_back(row); }
  void ShowGeometry(const QString& suffix) override {
    static const QStringList kSuffixes = {QStringLiteral(": -----"), QStringLiteral(": 60°"), QStringLiteral(": 20°"),
                                          QStringLiteral(": 20° + 60°"), QStringLiteral(": undef")};
    FUZZ_CHECK(kSuffixes.contains(suffix), "geometry suffix \"%s\"", qPrintable(suffix));
  }
  void ClearConnectionMessage() override {}
  void ExchangeFailed() override {}

  QString serial, firmware, count;
  std::vector<ReadingRow> rows;

 private:
  void Value(const QString& text, const std::array<QString, 3>& letters) {
    if (text != QStringLiteral("---")) Spaced(text, 8, "value");
    static const char kLetters[] = "LCD";
    for (std::size_t i = 0; i < 3; ++i) {
      FUZZ_CHECK(letters[i] == QStringLiteral(" ") || letters[i] == QString(QChar(kLetters[i])),
                 "letter place %zu \"%s\"", i, qPrintable(letters[i]));
    }
  }

 public:
  // A text of at most `chars` characters, each followed by a blank, none a control character.
  static void Spaced(const QString& text, int chars, const char* what) {
    FUZZ_CHECK(text.size() % 2 == 0 && text.size() <= 2 * chars, "%s \"%s\"", what, qPrintable(text));
    for (qsizetype i = 0; i < text.size(); ++i) {
      FUZZ_CHECK(!IsControlCharacter(text[i]), "%s holds a control character", what);
      if (i % 2 == 1) FUZZ_CHECK(text[i] == u' ', "%s \"%s\"", what, qPrintable(text));
    }
  }
};

bool OneShotCommand(std::uint8_t code) {
  return code == REQ_SHOT || code == REQ_DARK || (code >= REQ_GEO_20 && code <= REQ_LOCK_DARK_2);
}

// The request went out with its own bytes set and every other byte as the last reply left it.
void CheckRequest(const Frame& sent, const Frame& before, const CycleState& state) {
  // A request that interrupted the handshake: the buffer goes out as it stood, and the next tick
  // starts the handshake again.
  if (sent == before && state.RestartMark != kCycleRunning) return;
  const auto kept = [&](std::size_t from) {
    return std::equal(sent.begin() + from, sent.end(), before.begin() + from);
  };
  switch (sent[0]) {
    case REQ_READ_BYTE:
      FUZZ_CHECK(sent[1] == 0 && sent[2] <= 10 && sent[3] == 0 && sent[4] == 0xF7 && kept(5), "memory read");
      return;
    case REQ_FIRMWARE:
      FUZZ_CHECK(sent[1] == 0 && sent[2] == 0 && kept(3), "firmware query");
      return;
    case REQ_VALUE:
      FUZZ_CHECK(sent[1] <= 3 && sent[2] == 0 && sent[3] == 0 && sent[4] == 0 && sent[5] == 0 && kept(6),
                 "value query");
      return;
    default:
      break;
  }
  FUZZ_CHECK(OneShotCommand(sent[0]) && kept(1), "request %02X is none of the instrument's", sent[0]);
}

void CheckRow(const ReadingRow& row) {
  for (const QString& text : row) {
    FUZZ_CHECK(std::none_of(text.begin(), text.end(), IsControlCharacter), "a table text holds a control character");
  }
  static const QRegularExpression kMode(QStringLiteral("^[LCD ]{0,3}$"));
  for (const std::size_t mode : {2, 3})
    FUZZ_CHECK(kMode.match(row[mode]).hasMatch(), "mode text \"%s\"", qPrintable(row[mode]));
  for (const std::size_t value : {4, 5})
    FUZZ_CHECK(row[value].size() <= 8, "value text \"%s\"", qPrintable(row[value]));
  FUZZ_CHECK(row[6].isEmpty(), "comment");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  CycleState state;
  Frame frame{};
  Frame before{};
  Frame sent{};
  Frame reply{};
  bool fail = false;
  RecordingView view;
  PollingCycle cycle(
      state, frame,
      [&] {
        sent = frame;
        if (fail) return false;
        frame = reply;
        return true;
      },
      view);
  cycle.DecimalSeparator = (data[0] & 1) ? ',' : '.';
  cycle.Now = [] { return QDateTime(QDate(2026, 12, 8), QTime(9, 30, 5)); };

  static const QRegularExpression kFirmware(QStringLiteral("^[0-9A-F]{2} [0-9A-F]{2} $"));
  for (std::size_t at = 1; at + 9 <= size; at += 9) {
    const std::uint8_t control = data[at];
    std::memcpy(reply.data(), data + at + 1, 8);
    fail = (control & 0x80) != 0;
    if (control & 0x40) state.RaiseRequest(control & 0x1F);
    if (control & 0x20) state.Restart();

    const std::size_t rowsBefore = view.rows.size();
    const std::int32_t countBefore = state.MeasCount;
    before = frame;
    cycle.Tick();
    CheckRequest(sent, before, state);

    const bool completes = !fail && reply[0] == REQ_VALUE && reply[1] == kValue20Second;
    FUZZ_CHECK(state.MeasCount == countBefore + (completes ? 1 : 0), "reading counter %d after %d", state.MeasCount,
               countBefore);
    FUZZ_CHECK(view.rows.size() == rowsBefore + (completes ? 1 : 0), "rows");
    if (completes) {
      FUZZ_CHECK(view.count == QString::number(state.MeasCount), "shown counter \"%s\"", qPrintable(view.count));
      CheckRow(view.rows.back());
    }
    if (!view.firmware.isEmpty() && view.firmware != QStringLiteral("No 318 QX -Device")) {
      FUZZ_CHECK(kFirmware.match(view.firmware).hasMatch(), "firmware \"%s\"", qPrintable(view.firmware));
    }
    RecordingView::Spaced(view.serial, 10, "serial number");
  }
  return 0;
}
