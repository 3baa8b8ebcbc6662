#pragma once
// What a recorder on its own clock makes of a signal.
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace measurement::testing {

// A recorder running ppm fast: x(n / (1 + ppm / 10^6)), interpolated by a
// Blackman-windowed sinc.
inline std::vector<double> Resample(const std::vector<double>& x, double ppm) {
  constexpr int kHalf = 32;
  const double ratio = 1 / (1 + ppm * 1e-6);
  std::vector<double> y(static_cast<size_t>(static_cast<double>(x.size()) / ratio) - kHalf);
  for (size_t n = 0; n < y.size(); ++n) {
    const double t = static_cast<double>(n) * ratio;
    const auto centre = static_cast<int64_t>(std::floor(t));
    double sum = 0;
    for (int64_t k = centre - kHalf + 1; k <= centre + kHalf; ++k) {
      if (k < 0 || k >= static_cast<int64_t>(x.size())) continue;
      const double d = t - static_cast<double>(k);
      const double sinc = d == 0 ? 1 : std::sin(std::numbers::pi * d) / (std::numbers::pi * d);
      const double w =
          0.42 + 0.5 * std::cos(std::numbers::pi * d / kHalf) + 0.08 * std::cos(2 * std::numbers::pi * d / kHalf);
      sum += x[static_cast<size_t>(k)] * sinc * w;
    }
    y[n] = sum;
  }
  return y;
}

}  // namespace measurement::testing
