#pragma once
// Reading a sampled signal between its samples: a Kaiser-windowed sinc of
// 2 * kHalf taps, tabulated at kPhases fractions of a frame (between two of
// them linearly). Flat to 0.01 dB up to 0.9 of the Nyquist frequency, where
// a cubic interpolation loses decibels at half-frame positions.
#include <cstdint>
#include <span>
#include <vector>

namespace dsp {

class SincInterpolator {
 public:
  static constexpr int kHalf = 32;
  static constexpr int kPhases = 1024;

  SincInterpolator();

  // The value of x at position t (x[i] at t = i; samples outside x count as 0).
  double At(std::span<const float> x, double t) const;

 private:
  // m_Taps[p * 2 kHalf + k]: the weight of x[i - kHalf + 1 + k] at t = i + p / kPhases;
  // m_Steps the change from phase p to p + 1.
  std::vector<float> m_Taps, m_Steps;
};

}  // namespace dsp
