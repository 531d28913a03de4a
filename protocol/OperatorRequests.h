// What the operator's buttons and choices ask of the instrument. None of them talks to it: each
// gives the request code that the next tick of the polling cycle sends.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace protocol {

// The measure button and the automatic measurement: a normal or a dark measurement.
std::uint8_t MeasureRequest(std::int32_t lightOff);

// The main window's three radio groups.
enum class RadioSource { Orientation, MeasuringGeometry, Shot };
// The request for choosing `item` in `source`; nothing for "None" or no choice.
std::optional<std::uint8_t> RadioRequest(RadioSource source, int item);

// One sample row of the test button, from a drawn number 0 to 998.
struct TestReading {
  QString value;  // one decimal, '.' as the mark
  QString mode;   // "C" above 90.0, "D" below 10.0, else empty
};
TestReading MakeTestReading(int drawn);

}  // namespace protocol
