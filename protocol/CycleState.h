// The state of the polling cycle that lives as long as the process: the request code, which is
// both the cycle's position and the mailbox for one-shot requests, the restart mark, and what the
// instrument has reported so far.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>

namespace protocol {

// Value of RestartMark while the cycle runs; any other value restarts it with the handshake.
// HandshakeDone holds it once the handshake's reads have been sent.
inline constexpr std::uint8_t kCycleRunning = 0xA5;

// Values of RequestCode: the steps of the polling sequence and the one-shot requests. Values not
// listed (0, 5 to 8, 26 to 255) act as kIdle.
namespace rc {
enum : std::uint8_t {
  kIdle = 1,  // firmware query next (once the handshake is done)
  kValue60First = 2,
  kValue60Second = 3,
  kHandshake = 4,  // memory read of the serial number
  kShot = 9,
  kDark = 10,
  kGeo20 = 11,
  kGeo60 = 12,
  kGeoBoth = 13,
  kOrientNormal = 14,
  kOrient180 = 15,
  kValue20First = 16,
  kValue20Second = 17,
  kReleaseDark1 = 18,
  kLockDark1 = 19,
  kReleaseDark2 = 20,
  kLockDark2 = 21,
  kRelease20 = 22,
  kLock20 = 23,
  kRelease60 = 24,
  kLock60 = 25,
};
}  // namespace rc

struct CycleState {
  std::uint8_t RequestCode = 0;
  std::uint8_t RestartMark = 0;
  std::uint8_t HandshakeDone = 0;
  std::uint16_t HandshakeCount = 0;
  std::uint16_t ReadAddress = 0;
  std::array<std::uint8_t, 10> SerialChars{};
  std::array<std::uint8_t, 4> PendingHalf{};  // first half of a value, waiting for its second half
  std::int32_t GeoMode = 0;
  std::int32_t ShownGeoMode = 0;
  std::int32_t MeasCount = 0;
  QString DateText;
  QString TimeText;
  QString Mode20Text;
  QString Mode60Text;
  QString Value20Text;
  QString Value60Text;
  // 0: a measurement request is a normal one, 1: a dark one. Only the light button changes it.
  std::int32_t LightOff = 0;

  // Every handler that asks the instrument for something raises its request here; the next tick
  // sends it. There is no queue: the last request before a tick wins.
  void RaiseRequest(std::uint8_t code) {
    RequestCode = code;
    if (OnRequestRaised) OnRequestRaised(code);
  }
  // Makes the next tick begin again with the handshake.
  void Restart() { RestartMark = 1; }

  // Called with each raised request; tests record them here.
  std::function<void(std::uint8_t)> OnRequestRaised;
};

}  // namespace protocol
