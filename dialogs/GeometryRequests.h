// The request codes the geometry dialogs raise: values of RequestCode that make the next tick of
// the polling cycle send the matching message. They are request codes, not message bytes.
#pragma once

#include <cstdint>

namespace dialogs {

enum GeometryRequest : std::uint8_t {
  kRequestGeo20 = 11,
  kRequestGeo60 = 12,
  kRequestGeoBoth = 13,
  kRequestReleaseDark1 = 18,
  kRequestLockDark1 = 19,
  kRequestReleaseDark2 = 20,
  kRequestLockDark2 = 21,
  kRequestRelease20 = 22,
  kRequestLock20 = 23,
  kRequestRelease60 = 24,
  kRequestLock60 = 25,
};

}  // namespace dialogs
