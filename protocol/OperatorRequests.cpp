#include "protocol/OperatorRequests.h"

#include "protocol/CycleState.h"

namespace protocol {

std::uint8_t MeasureRequest(std::int32_t lightOff) { return lightOff == 1 ? rc::kDark : rc::kShot; }

std::optional<std::uint8_t> RadioRequest(RadioSource source, int item) {
  switch (source) {
    case RadioSource::Orientation:
      if (item == 0) return rc::kOrientNormal;
      if (item == 1) return rc::kOrient180;
      return std::nullopt;
    case RadioSource::MeasuringGeometry:
      if (item == 0) return rc::kGeo20;
      if (item == 1) return rc::kGeo60;
      if (item == 2) return rc::kGeoBoth;
      return std::nullopt;
    case RadioSource::Shot:
      if (item == 1) return rc::kShot;
      if (item == 2) return rc::kDark;
      return std::nullopt;
  }
  return std::nullopt;
}

TestReading MakeTestReading(int drawn) {
  const double v = drawn * 0.1;
  TestReading reading;
  reading.value = QString::asprintf("%.1f", v).trimmed();
  if (v > 90.0) {
    reading.mode = QStringLiteral("C");
  } else if (v < 10.0) {
    reading.mode = QStringLiteral("D");
  }
  return reading;
}

}  // namespace protocol
