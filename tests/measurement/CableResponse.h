#pragma once
// The complex responses measured ones are held against, in closed form: a
// cascade of biquads, and the loopback simulator's cable (its Butterworth
// high-pass, the low-pass where the simulator uses it, and its gain).
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "audio/Biquad.h"
#include "audio/LoopbackSim.h"

namespace measurement::testing {

constexpr double kPi = std::numbers::pi;

inline std::complex<double> Cascade(const std::vector<WaveMMIO::Biquad>& sections, double rate, double hz) {
  std::complex<double> h = 1;
  for (const WaveMMIO::Biquad& b : sections) h *= b.ResponseAt(rate, hz);
  return h;
}

// A phase in degrees folded into [-180, 180].
inline double WrapDeg(double d) { return std::remainder(d, 360.0); }

// The phase of h in degrees.
inline double Deg(std::complex<double> h) { return std::arg(h) * 180 / kPi; }

// The cable's filters at a rate, without its gain.
inline std::vector<WaveMMIO::Biquad> CableFilters(double rate) {
  using WaveMMIO::Biquad;
  using WaveMMIO::LoopbackPath;
  const double q = 1 / std::sqrt(2.0);
  std::vector<Biquad> path = {Biquad::HighPass(rate, LoopbackPath::kHighPassHz, q)};
  if (rate / 2 > LoopbackPath::kLowPassMinNyquistHz) path.push_back(Biquad::LowPass(rate, LoopbackPath::kLowPassHz, q));
  return path;
}

// The cable's complex gain at hz.
inline std::complex<double> Cable(double rate, double hz) {
  return Cascade(CableFilters(rate), rate, hz) * std::pow(10.0, WaveMMIO::LoopbackPath::kGainDb / 20);
}

}  // namespace measurement::testing
