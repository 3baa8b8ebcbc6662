#pragma once
#include <cstdint>

namespace measurement {

// The test signal, and so the kind of result. Settings ("CheckMode") and the
// window's mode box store the underlying number: 0 sweep, 1 white noise. A
// run asked for any other number plays silence and is kept as a noise result
// (the window's mode box without a selection).
enum class SignalMode : int32_t { Sweep = 0, Noise = 1 };

}  // namespace measurement
