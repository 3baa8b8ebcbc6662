#pragma once
// The program rounds to the nearest integer with halves going to the even
// neighbour. Values beyond what a 32-bit coordinate or count can hold are
// held at +-2e9 (and a value that is not a number gives 0), so a wild input
// never turns into undefined behaviour.
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace basic {

inline int32_t Round32(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<int32_t>(std::clamp(std::nearbyint(v), -2.0e9, 2.0e9));
}

}  // namespace basic
