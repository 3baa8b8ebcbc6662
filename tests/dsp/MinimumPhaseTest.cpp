// The group delay of a minimum-phase system from its magnitude alone.
#include "dsp/MinimumPhase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "audio/Biquad.h"

namespace {

// The exact group delay of an impulse response h at w: Re(sum n h(n) e^-iwn / H(w)).
double GroupDelayOf(const std::vector<double>& h, double w) {
  std::complex<double> H, D;
  for (size_t n = 0; n < h.size(); ++n) {
    const std::complex<double> e = std::polar(1.0, -w * static_cast<double>(n));
    H += h[n] * e;
    D += static_cast<double>(n) * h[n] * e;
  }
  return (D / H).real();
}

TEST(MinimumPhaseTest, AButterworthPathsGroupDelayFollowsFromItsMagnitude) {
  const double rate = 48000, q = 1 / std::sqrt(2.0);
  WaveMMIO::Biquad hp = WaveMMIO::Biquad::HighPass(rate, 100, q), lp = WaveMMIO::Biquad::LowPass(rate, 10000, q);
  std::vector<double> h(1 << 15);
  for (size_t n = 0; n < h.size(); ++n) h[n] = lp.Process(hp.Process(n == 0 ? 1.0 : 0.0));
  const size_t bins = 8192;
  std::vector<double> logMagnitude(bins + 1);
  const WaveMMIO::Biquad hpm = WaveMMIO::Biquad::HighPass(rate, 100, q),
                         lpm = WaveMMIO::Biquad::LowPass(rate, 10000, q);
  for (size_t k = 0; k <= bins; ++k) {
    const double f = std::max(0.5, rate / 2 * static_cast<double>(k) / bins);
    logMagnitude[k] =
        std::log(std::max(1e-12, hpm.MagnitudeAt(rate, f) * lpm.MagnitudeAt(rate, std::min(f, rate / 2 - 1))));
  }
  const std::vector<double> gd = MinimumPhaseGroupDelay(logMagnitude);
  ASSERT_EQ(gd.size(), bins + 1);
  for (const double f : {200.0, 500.0, 1000.0, 3000.0, 10000.0, 20000.0}) {
    const auto k = static_cast<size_t>(std::lround(f / (rate / 2) * bins));
    const double w = std::numbers::pi * static_cast<double>(k) / bins;
    EXPECT_NEAR(gd[k], GroupDelayOf(h, w), 0.05 + 0.02 * std::abs(GroupDelayOf(h, w))) << f << " Hz";
  }
}

TEST(MinimumPhaseTest, AFlatMagnitudeHasNoDelayAndABadSizeNothing) {
  const std::vector<double> flat(1025, 0.3);
  for (const double d : MinimumPhaseGroupDelay(flat)) EXPECT_NEAR(d, 0, 1e-9);
  EXPECT_TRUE(MinimumPhaseGroupDelay(std::vector<double>(1000, 0.0)).empty());
  EXPECT_TRUE(MinimumPhaseGroupDelay({}).empty());
}

}  // namespace
