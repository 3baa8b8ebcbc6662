#pragma once
#include <cstdint>

namespace WaveMMIO {

// One frame of 16-bit stereo PCM, Left then Right (4 bytes, as on the wire).
struct StereoSample {
  int16_t Left = 0;
  int16_t Right = 0;
};
static_assert(sizeof(StereoSample) == 4, "a frame of 16-bit stereo PCM is 4 bytes");

}  // namespace WaveMMIO
