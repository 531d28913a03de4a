#include <gtest/gtest.h>

#include <deque>

#include "protocol/PollingCycle.h"

namespace {

using namespace protocol;

// Records what the cycle asks the window to show.
class RecordingView : public CycleView {
 public:
  void ShowSerial(const QString& text) override { serial = text; }
  void ShowFirmware(const QString& text) override { firmware = text; }
  void ShowValue60(const QString& text, const std::array<QString, 3>& l) override {
    value60 = text;
    letters60 = l;
  }
  void ShowValue20(const QString& text, const std::array<QString, 3>& l) override {
    value20 = text;
    letters20 = l;
  }
  void ShowMeasCount(const QString& text) override { count = text; }
  void ResetShot() override { ++shotResets; }
  QString CommentText() const override { return comment; }
  void AppendReading(const ReadingRow& row) override { rows.push_back(row); }
  void ShowGeometry(const QString& suffix) override { geometry.push_back(suffix); }
  void ClearConnectionMessage() override { ++cleared; }
  void ExchangeFailed() override { ++failures; }

  QString serial, firmware, value60, value20, count, comment;
  std::array<QString, 3> letters60, letters20;
  int shotResets = 0, cleared = 0, failures = 0;
  std::vector<ReadingRow> rows;
  std::vector<QString> geometry;
};

// The cycle with a scripted instrument: each exchange records the request and answers with the
// next scripted reply (nullopt: the exchange fails), or with an ignored code when none is left.
struct Harness {
  Harness()
      : cycle(
            state, frame, [this] { return Exchange(); }, view) {
    cycle.DecimalSeparator = ',';
    cycle.Now = [] { return QDateTime(QDate(2026, 12, 8), QTime(9, 30, 5)); };
  }

  bool Exchange() {
    sent.push_back(frame);
    if (replies.empty()) {
      frame = {0x00, 0, 0, 0, 0, 0, 0, 0};
      return true;
    }
    const std::optional<Frame> reply = replies.front();
    replies.pop_front();
    if (!reply) return false;
    frame = *reply;
    return true;
  }

  void Ticks(int n) {
    for (int i = 0; i < n; ++i) cycle.Tick();
  }
  std::uint8_t LastCode() const { return sent.back()[0]; }

  CycleState state;
  Frame frame{};
  std::deque<std::optional<Frame>> replies;
  std::vector<Frame> sent;
  RecordingView view;
  PollingCycle cycle;
};

Frame Reply(std::initializer_list<std::uint8_t> bytes) {
  Frame f{};
  std::copy(bytes.begin(), bytes.end(), f.begin());
  return f;
}

TEST(PollingCycle, HandshakeThenThePollingSequence) {
  Harness h;
  for (std::uint8_t a = 0; a <= 10; ++a) h.replies.push_back(Reply({0xA5, 0, a, static_cast<std::uint8_t>('0' + a)}));
  h.Ticks(17);
  ASSERT_EQ(h.sent.size(), 17u);
  for (std::uint8_t a = 0; a <= 10; ++a) {
    EXPECT_EQ(h.sent[a][0], REQ_READ_BYTE) << int(a);
    EXPECT_EQ(h.sent[a][1], 0x00);
    EXPECT_EQ(h.sent[a][2], a);
    EXPECT_EQ(h.sent[a][3], 0x00);
    EXPECT_EQ(h.sent[a][4], 0xF7);
  }
  EXPECT_EQ(h.sent[11][0], REQ_FIRMWARE);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(h.sent[12 + i][0], REQ_VALUE);
    EXPECT_EQ(h.sent[12 + i][1], i);
  }
  EXPECT_EQ(h.sent[16][0], REQ_FIRMWARE);
  EXPECT_EQ(h.view.serial, QStringLiteral("0 1 2 3 4 5 6 7 8 9 "));  // address 10 is no serial character
  EXPECT_EQ(h.state.HandshakeDone, kCycleRunning);
  EXPECT_EQ(h.view.cleared, 17);
}

TEST(PollingCycle, MeasuringDuringTheHandshakeRestartsIt) {
  Harness h;
  h.Ticks(3);
  h.state.RaiseRequest(rc::kShot);
  h.replies.push_back(Reply({0x77, 1, 2, 3, 4, 5, 6, 7}));
  h.Ticks(1);
  EXPECT_EQ(h.LastCode(), REQ_SHOT);
  h.Ticks(1);  // idle without a finished handshake: the buffer goes out as the shot's answer left it
  EXPECT_EQ(h.sent.back(), Reply({0x77, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(h.state.RestartMark, 1);
  h.Ticks(1);
  EXPECT_EQ(h.LastCode(), REQ_READ_BYTE);
  EXPECT_EQ(h.sent.back()[2], 0);
}

TEST(PollingCycle, AOneShotRequestReplacesTheNextStepAndTheLastOneWins) {
  Harness h;
  h.Ticks(13);  // handshake, firmware, value 60° first half
  EXPECT_EQ(h.state.RequestCode, rc::kValue60Second);
  h.state.RaiseRequest(rc::kGeo20);
  h.state.RaiseRequest(rc::kGeo60);  // two writes between ticks: only the later is sent
  h.Ticks(2);
  EXPECT_EQ(h.sent[13][0], REQ_GEO_60);
  EXPECT_EQ(h.sent[14][0], REQ_FIRMWARE);  // the skipped value query is not made up

  // A restart drops a waiting request.
  h.state.RaiseRequest(rc::kShot);
  h.state.Restart();
  h.Ticks(1);
  EXPECT_EQ(h.LastCode(), REQ_READ_BYTE);
}

// Every request code as it goes out on the wire: the bytes it sets, every other byte as the last
// reply left it, and the request code that follows.
TEST(PollingCycle, EveryRequestCodeSendsItsBytes) {
  struct Case {
    std::uint8_t code;
    Frame sent;
    std::uint8_t next;
  };
  const Case cases[] = {
      {rc::kIdle, {0x5A, 0x00, 0x00, 0x13, 0x14, 0x15, 0x16, 0x17}, rc::kValue60First},
      {rc::kValue60First, {0x55, 0x00, 0x00, 0x00, 0x00, 0x00, 0x16, 0x17}, rc::kValue60Second},
      {rc::kValue60Second, {0x55, 0x01, 0x00, 0x00, 0x00, 0x00, 0x16, 0x17}, rc::kValue20First},
      {rc::kValue20First, {0x55, 0x02, 0x00, 0x00, 0x00, 0x00, 0x16, 0x17}, rc::kValue20Second},
      {rc::kValue20Second, {0x55, 0x03, 0x00, 0x00, 0x00, 0x00, 0x16, 0x17}, rc::kIdle},
      {rc::kShot, {0xBB, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}, rc::kIdle},
      {rc::kDark, {0xDD, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}, rc::kIdle},
      {rc::kGeo20, {0xE0, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}, rc::kIdle},
      {rc::kGeo60, {0xE1, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}, rc::kIdle},
      {rc::kGeoBoth, {0xE2, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}, rc::kIdle},
      {rc::kOrientNormal, {0xE3, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}, rc::kIdle},
      {rc::kOrient180, {0xE4, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}, rc::kIdle},
      {rc::kReleaseDark1, {0xE9, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}, rc::kIdle},
      {rc::kLockDark1, {0xEB, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}, rc::kIdle},
      {rc::kReleaseDark2, {0xEA, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}, rc::kIdle},
      {rc::kLockDark2, {0xEC, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}, rc::kIdle},
      {rc::kRelease20, {0xE5, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}, rc::kIdle},
      {rc::kLock20, {0xE7, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}, rc::kIdle},
      {rc::kRelease60, {0xE6, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}, rc::kIdle},
      {rc::kLock60, {0xE8, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}, rc::kIdle},
      {0, {0x5A, 0x00, 0x00, 0x13, 0x14, 0x15, 0x16, 0x17}, rc::kValue60First},  // unused codes act as idle
  };
  for (const Case& c : cases) {
    Harness h;
    h.state.RestartMark = h.state.HandshakeDone = kCycleRunning;
    h.state.RequestCode = c.code;
    h.frame = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17};
    h.Ticks(1);
    EXPECT_EQ(h.sent.back(), c.sent) << "request code " << int(c.code);
    EXPECT_EQ(h.state.RequestCode, c.next) << "request code " << int(c.code);
  }
  // The handshake's memory read of address 10, high byte first.
  Harness h;
  h.state.RestartMark = kCycleRunning;
  h.state.RequestCode = rc::kHandshake;
  h.state.HandshakeCount = 10;
  h.frame = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17};
  h.Ticks(1);
  EXPECT_EQ(h.sent.back(), (Frame{0xA5, 0x00, 0x0A, 0x00, 0xF7, 0x15, 0x16, 0x17}));
}

// Only addresses 0 to 9 are serial characters: the address's high byte counts, and neither
// address 10 nor any higher one touches the serial number or the state behind it.
TEST(PollingCycle, OnlyAddressesZeroToNineAreSerialCharacters) {
  Harness h;
  h.state.PendingHalf = {1, 2, 3, 4};
  h.replies = {Reply({0xA5, 0x00, 0x03, 'A'})};
  h.Ticks(1);
  EXPECT_EQ(h.view.serial, QStringLiteral("A "));
  const CycleState before = h.state;
  for (const std::uint16_t address : {0x0100, 0x0600, 0xFFFF, 0x000A, 0x0103}) {
    h.view.serial = QStringLiteral("untouched");
    h.replies = {Reply({0xA5, static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address), 'X'})};
    h.Ticks(1);
    EXPECT_EQ(h.view.serial, QStringLiteral("untouched")) << address;
    EXPECT_EQ(h.state.SerialChars, before.SerialChars) << address;
    EXPECT_EQ(h.state.PendingHalf, before.PendingHalf) << address;
  }
}

// With '.' as the system's decimal separator a 60° value shows '.', whichever mark the instrument
// sent, while a 20° value shows ',' whatever the system's separator.
TEST(PollingCycle, DecimalMarksWithAPointAsTheSystemsSeparator) {
  Harness h;
  h.cycle.DecimalSeparator = '.';
  h.state.GeoMode = 3;
  h.replies = {Reply({0x55, 0x00, ' ', '1', 0x00, '2'}), Reply({0x55, 0x01, ',', '5', ' ', ' '}),
               Reply({0x55, 0x02, ' ', '3', 0x00, '4'}), Reply({0x55, 0x03, '.', '5', ' ', ' '})};
  h.Ticks(4);
  EXPECT_EQ(h.view.value60, QStringLiteral("  1   2 . 5     "));
  EXPECT_EQ(h.view.value20, QStringLiteral("  3   4 , 5     "));
  ASSERT_EQ(h.view.rows.size(), 1u);
  EXPECT_EQ(h.view.rows[0][4], QStringLiteral("3 4,5"));
  EXPECT_EQ(h.view.rows[0][5], QStringLiteral("1 2.5"));
}

TEST(PollingCycle, ASecondHalfJoinsTheLastFirstHalfOfEitherAngle) {
  Harness h;
  h.state.GeoMode = 3;
  h.replies = {Reply({0x55, 0x00, ' ', '1', 0x00, '1'}), Reply({0x55, 0x02, ' ', '2', 0x08, '2'}),
               Reply({0x55, 0x01, '.', '0', ' ', ' '})};
  h.Ticks(3);
  EXPECT_EQ(h.view.value60, QStringLiteral("  2   2 , 0     "));
  EXPECT_EQ(h.view.letters60[2], QStringLiteral("D"));
  EXPECT_EQ(h.state.Value60Text, QStringLiteral(" 2 2,0  "));
  EXPECT_EQ(h.state.Mode60Text, QStringLiteral("  D"));
  // The store is not cleared: the next second half joins the same first half.
  h.replies = {Reply({0x55, 0x03, '.', '5', ' ', ' '})};
  h.Ticks(1);
  EXPECT_EQ(h.state.Value20Text, QStringLiteral(" 2 2,5  "));
}

TEST(PollingCycle, ACompleteReadingAppendsATrimmedRow) {
  Harness h;
  h.state.GeoMode = 3;
  h.view.comment = QStringLiteral("  panel 4 ");
  h.replies = {Reply({0x55, 0x00, ' ', ' ', 0x02, ' '}), Reply({0x55, 0x01, '8', '8', '.', '5'}),
               Reply({0x55, 0x02, ' ', ' ', 0x09, ' '}), Reply({0x55, 0x03, '7', '5', '.', '3'})};
  h.Ticks(4);
  ASSERT_EQ(h.view.rows.size(), 1u);
  const ReadingRow& row = h.view.rows[0];
  EXPECT_EQ(row[0], ReadingDateText(h.cycle.Now()));
  EXPECT_EQ(row[1], ReadingTimeText(h.cycle.Now()));
  EXPECT_TRUE(row[1].contains(QStringLiteral("30:05"))) << row[1].toStdString();
  EXPECT_EQ(row[2], QStringLiteral("CD"));
  EXPECT_EQ(row[3], QStringLiteral("L"));
  EXPECT_EQ(row[4], QStringLiteral("75,3"));
  EXPECT_EQ(row[5], QStringLiteral("88,5"));
  EXPECT_EQ(row[6], QStringLiteral("panel 4"));
  EXPECT_EQ(h.view.count, QStringLiteral("1"));
  EXPECT_EQ(h.view.shotResets, 1);

  // Counting goes on; it never resets.
  h.replies = {Reply({0x55, 0x03, '7', '5', '.', '3'})};
  h.Ticks(1);
  EXPECT_EQ(h.view.count, QStringLiteral("2"));
  EXPECT_EQ(h.state.MeasCount, 2);
}

TEST(PollingCycle, ValuesOfAGeometryNotInUseShowDashes) {
  Harness h;
  h.state.GeoMode = 1;  // 60° alone
  h.replies = {Reply({0x55, 0x02, ' ', '4', 0x0B, '2'}), Reply({0x55, 0x03, '.', '0', ' ', ' '})};
  h.Ticks(2);
  EXPECT_EQ(h.view.value20, QStringLiteral("---"));
  EXPECT_EQ(h.view.letters20, (std::array<QString, 3>{" ", " ", " "}));
  ASSERT_EQ(h.view.rows.size(), 1u);
  EXPECT_EQ(h.view.rows[0][2], QString());
  EXPECT_EQ(h.view.rows[0][4], QStringLiteral("---"));
  EXPECT_EQ(h.view.rows[0][5], QString());  // no 60° value received yet
}

TEST(PollingCycle, TheGeometryFieldFollowsReportsOnlyWhenTheCodeChanges) {
  Harness h;
  h.replies = {Reply({0x55, 0xF0, 0}), Reply({0x55, 0xF0, 3}), Reply({0x55, 0xF0, 3}), Reply({0xE1}),
               Reply({0x55, 0xF0, 3}), Reply({0x55, 0xF0, 9}), Reply({0xED}),          Reply({0x55, 0x77, 1})};
  h.Ticks(8);
  EXPECT_EQ(h.view.geometry, (std::vector<QString>{QStringLiteral(": 20° + 60°"), QStringLiteral(": 60°"),
                                                   QStringLiteral(": undef"), QStringLiteral(": -----")}));
  EXPECT_EQ(h.state.ShownGeoMode, 9);
  EXPECT_EQ(h.view.cleared, 8);  // ignored replies clear the connection message too
}

TEST(PollingCycle, AReleaseOrLockAnswerIsFollowedByBothGeometries) {
  for (const std::uint8_t answer : {REQ_RELEASE_20, REQ_RELEASE_60, REQ_LOCK_20, REQ_LOCK_60}) {
    Harness h;
    h.Ticks(14);  // in the middle of the polling sequence
    h.replies = {Reply({answer})};
    h.Ticks(2);
    EXPECT_EQ(h.LastCode(), REQ_GEO_BOTH) << int(answer);
  }
  // A handler's request written before that tick wins.
  Harness h;
  h.Ticks(14);
  h.replies = {Reply({REQ_LOCK_20})};
  h.Ticks(1);
  h.state.RaiseRequest(rc::kShot);
  h.Ticks(1);
  EXPECT_EQ(h.LastCode(), REQ_SHOT);
}

TEST(PollingCycle, AFailedExchangeLosesItsRequestAndTheCycleGoesOn) {
  Harness h;
  h.Ticks(12);  // handshake done, firmware sent
  h.replies = {std::nullopt};
  h.Ticks(1);  // the 60° first-half query fails
  EXPECT_EQ(h.view.failures, 1);
  EXPECT_EQ(h.view.cleared, 12);
  h.Ticks(1);
  EXPECT_EQ(h.LastCode(), REQ_VALUE);
  EXPECT_EQ(h.sent.back()[1], kValue60Second);
}

}  // namespace
