// The polling cycle: the only code that talks to the instrument. One Tick() per 50 ms timer event
// sends exactly one request and handles its reply.
//
// Phases (kept in CycleState):
//   Not running  the timer is off (no connection, or printing); nothing happens here.
//   Handshake    RestartMark is kCycleRunning, HandshakeDone is 0, RequestCode is rc::kHandshake:
//                eleven ticks read instrument addresses 0 to 10 (the serial number), whatever the
//                instrument answers; the twelfth tick ends the handshake and goes on polling.
//   Polling      HandshakeDone is kCycleRunning: the request codes run kIdle, kValue60First,
//                kValue60Second, kValue20First, kValue20Second, kIdle, ... that is firmware query,
//                the two halves of the 60° value, the two halves of the 20° value.
// What moves it: each tick moves RequestCode to the next step of the table. Handlers write a
// one-shot request into RequestCode between ticks; the next tick sends it in place of the next
// step and returns to kIdle. Any RestartMark other than kCycleRunning makes the next tick begin
// the handshake again, dropping a waiting one-shot request. A one-shot request that interrupts a
// handshake makes the following idle tick mark a restart.
// What it never does: wait for a particular reply, match a reply to its request, retry a failed
// exchange, or convert an instrument value to a number. Every reply is handled by its own code.
#pragma once

#include <QDateTime>
#include <QString>
#include <array>
#include <functional>

#include "protocol/CycleState.h"
#include "protocol/Messages.h"

namespace protocol {

// The seven texts of a table row, in column order.
using ReadingRow = std::array<QString, 7>;

// What the cycle shows; the main window implements it.
class CycleView {
 public:
  virtual ~CycleView() = default;
  virtual void ShowSerial(const QString& text) = 0;
  virtual void ShowFirmware(const QString& text) = 0;
  // A value's display text and its three letter places (L, C, D).
  virtual void ShowValue60(const QString& text, const std::array<QString, 3>& letters) = 0;
  virtual void ShowValue20(const QString& text, const std::array<QString, 3>& letters) = 0;
  virtual void ShowMeasCount(const QString& text) = 0;
  // Sets the kind of the next measurement back to "None".
  virtual void ResetShot() = 0;
  // The comment that a new row takes (not yet trimmed).
  virtual QString CommentText() const = 0;
  virtual void AppendReading(const ReadingRow& row) = 0;
  // The measuring-geometry text: the geometry caption followed by `suffix`.
  virtual void ShowGeometry(const QString& suffix) = 0;
  // After every reply: removes a connection message.
  virtual void ClearConnectionMessage() = 0;
  // After every failed exchange (the connection-loss step).
  virtual void ExchangeFailed() = 0;
};

// Date and time texts of a reading in the system's formats: the short date, and the long time
// with its seconds but without a time-zone name.
QString ReadingDateText(const QDateTime& when);
QString ReadingTimeText(const QDateTime& when);
// A time format with its time-zone fields removed.
QString WithoutTimeZone(const QString& format);

class PollingCycle {
 public:
  // `frame` is the request/reply buffer; `transact` exchanges it with the instrument.
  PollingCycle(CycleState& state, Frame& frame, std::function<bool()> transact, CycleView& view);

  void Tick();

  // The moment of the reading last completed, as its date and time texts show it: the row that
  // AppendReading receives was taken then.
  const QDateTime& ReadingTime() const { return readingTime_; }

  // Seams for tests: the clock and the system's decimal separator.
  std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };
  std::uint8_t DecimalSeparator = SystemDecimalSeparator();

 private:
  // Builds the request for RequestCode into the frame and moves RequestCode on.
  void BuildRequest();
  void HandleReply();
  void HandleValue(bool is60);
  void CompleteReading();

  CycleState& s_;
  Frame& frame_;
  std::function<bool()> transact_;
  CycleView& view_;
  QDateTime readingTime_;
};

}  // namespace protocol
