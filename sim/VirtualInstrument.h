// The virtual LUMARIS 318QX: a device model on the simulated bus that answers the instrument's
// protocol as a real one plausibly does, so that the program can show everything it can show
// without hardware.
//
// What it does:
// - memory reads: the ten serial characters at addresses 0 to 9, a check byte at 10, 0xFF above;
// - the firmware query: its two firmware bytes;
// - measurements (shot, dark, or its own button every few seconds): a new reading for the active
//   geometries, delivered once, half by half, to the next value queries; a value query with
//   nothing to deliver is answered with a report of the geometry in use;
// - geometry and orientation commands; release and lock of the geometries and of the dark
//   measurement, honoured: a locked geometry cannot be chosen, a locked dark measurement is not
//   taken.
// Faults from a scenario: silence from a given exchange on, odd replies at given exchanges.
// Unplugging and plugging in again at given times is the host's business (SimulatedInstrument).
#pragma once

#include <QString>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <vector>

#include "usb/simbus/SimBus.h"

namespace sim {

// One reading: gloss units at 20° and 60°, and the instrument's mode bits for it (bit 1 "L",
// bit 0 "C", bit 3 "D").
struct GlossReading {
  double gloss20 = 0;
  double gloss60 = 0;
  std::uint8_t mode = 0;
};

struct Scenario {
  std::string serial = "QX31804711";  // ten characters
  std::uint8_t firmwareA = 0x08;      // below 8 the program reports "No 318 QX -Device"
  std::uint8_t firmwareB = 0x15;
  int geometry = 3;                                 // 1: 60°, 2: 20°, 3: 20° + 60°, 0: none
  std::chrono::milliseconds latency{1};             // from a request to its reply
  std::chrono::milliseconds autoReading{5000};      // its own button; 0: only on request
  std::vector<GlossReading> readings;               // played in order and repeated; empty: random samples
  std::optional<std::uint32_t> silentFromExchange;  // counted from 1
  std::map<std::uint32_t, std::array<std::uint8_t, 8>> oddReplies;  // exchange number -> reply
  std::vector<std::chrono::milliseconds> unplugAt;                  // after start
  std::vector<std::chrono::milliseconds> replugAt;
};

// Reads a scenario file (format in the README). On failure returns false with the reason.
bool LoadScenario(const QString& path, Scenario& scenario, QString& error);
// The same for the text of a scenario; a mistake is reported as "name:line: reason".
bool ParseScenario(const QString& text, const QString& name, Scenario& scenario, QString& error);

// The eight value characters of a gloss value, laid out so that the place of the mode byte (the
// third character, shown as a blank) falls on a leading blank: right-aligned "%5.1f" in
// characters 3 to 7. Values outside 0 to 999.9 are clamped.
std::array<std::uint8_t, 8> ValueCharacters(double gloss);

class VirtualInstrument final : public usb::simbus::DeviceBehaviour {
 public:
  using Clock = std::chrono::steady_clock;

  explicit VirtualInstrument(Scenario scenario, std::uint32_t seed = 318);

  std::optional<usb::simbus::Packet> OnWrite(std::span<const std::uint8_t> request) override;

  // State, for tests.
  int Geometry() const;
  bool Locked20() const;
  bool Locked60() const;
  bool DarkLocked() const;
  bool Rotated() const;
  std::uint32_t Exchanges() const;
  // Readings taken so far, and whether the last one still has halves to deliver.
  std::uint32_t ReadingsTaken() const;
  bool ReadingDue() const;

  // Seam for tests: the clock that paces the instrument's own readings.
  std::function<Clock::time_point()> Now = [] { return Clock::now(); };

 private:
  using Frame = std::array<std::uint8_t, 8>;
  Frame Answer(const Frame& request);
  void Measure(bool dark, bool ownButton);
  GlossReading NextSample(bool dark);
  Frame ValueHalf(std::uint8_t subCode);
  Frame GeometryReport() const;
  void ChooseGeometry(int wanted);

  mutable std::mutex mutex_;
  Scenario scenario_;
  std::mt19937 random_;
  std::uint32_t exchanges_ = 0;
  std::uint32_t readingsTaken_ = 0;
  std::size_t nextReading_ = 0;
  double sampleGloss60_ = 88.0;  // the sample on the bench drifts slowly
  int geometry_;
  bool locked20_ = false;
  bool locked60_ = false;
  bool darkLocked_ = false;
  bool darkReleaseArmed_ = false;
  bool darkLockArmed_ = false;
  bool rotated_ = false;
  // The reading waiting to be fetched: its four halves and which of them are still due.
  std::array<std::array<std::uint8_t, 4>, 4> halves_{};
  std::array<bool, 4> due_{};
  Clock::time_point nextOwnReading_;
};

}  // namespace sim
