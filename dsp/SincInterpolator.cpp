#include "dsp/SincInterpolator.h"

#include <cmath>
#include <numbers>

namespace dsp {

namespace {

constexpr double kBeta = 9.0;  // the Kaiser window's: side lobes about 90 dB down
constexpr int kTaps = 2 * SincInterpolator::kHalf;

// The modified Bessel function of the first kind, order 0, by its series.
double BesselI0(double x) {
  double sum = 1, term = 1;
  for (int k = 1; k < 60; ++k) {
    term *= (x / (2 * k)) * (x / (2 * k));
    sum += term;
    if (term < 1e-17 * sum) break;
  }
  return sum;
}

}  // namespace

SincInterpolator::SincInterpolator() {
  const size_t size = static_cast<size_t>(kPhases + 1) * kTaps;
  std::vector<double> taps(size);
  const double norm = BesselI0(kBeta);
  for (int p = 0; p <= kPhases; ++p) {
    const double u = static_cast<double>(p) / kPhases;
    double sum = 0;
    for (int k = 0; k < kTaps; ++k) {
      // Distance from t = i + u to sample i - kHalf + 1 + k.
      const double d = u + kHalf - 1 - k;
      const double r = d / kHalf;
      const double window = std::abs(r) < 1 ? BesselI0(kBeta * std::sqrt(1 - r * r)) / norm : 0.0;
      const double sinc = d == 0 ? 1.0 : std::sin(std::numbers::pi * d) / (std::numbers::pi * d);
      taps[static_cast<size_t>(p * kTaps + k)] = window * sinc;
      sum += window * sinc;
    }
    // Unit gain at 0 Hz at every phase.
    for (int k = 0; k < kTaps; ++k) taps[static_cast<size_t>(p * kTaps + k)] /= sum;
  }
  m_Taps.resize(static_cast<size_t>(kPhases) * kTaps);
  m_Steps.resize(m_Taps.size());
  for (size_t i = 0; i < m_Taps.size(); ++i) {
    m_Taps[i] = static_cast<float>(taps[i]);
    m_Steps[i] = static_cast<float>(taps[i + kTaps] - taps[i]);
  }
}

double SincInterpolator::At(std::span<const float> x, double t) const {
  if (!std::isfinite(t)) return 0;
  const double base = std::floor(t);
  const double phase = (t - base) * kPhases;
  const double whole = std::floor(phase);
  const auto p = static_cast<size_t>(std::min<double>(whole, kPhases - 1));
  const auto v = static_cast<float>(phase - static_cast<double>(p));
  const auto first = static_cast<int64_t>(base) - kHalf + 1;
  const auto n = static_cast<int64_t>(x.size());
  const float* taps = m_Taps.data() + p * kTaps;
  const float* steps = m_Steps.data() + p * kTaps;
  float sum = 0;
  if (first >= 0 && first + kTaps <= n) {
    const float* s = x.data() + first;
    for (int k = 0; k < kTaps; ++k) sum += s[k] * (taps[k] + v * steps[k]);
    return sum;
  }
  for (int k = 0; k < kTaps; ++k) {
    const int64_t i = first + k;
    if (i >= 0 && i < n) sum += x[static_cast<size_t>(i)] * (taps[k] + v * steps[k]);
  }
  return sum;
}

}  // namespace dsp
