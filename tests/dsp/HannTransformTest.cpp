// The Hann-windowed transform the level meter and the calibrator check read:
// its padding, its window's energy and the bins of a cosine, all known in
// closed form.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "dsp/ComplexFFT.h"

namespace {

TEST(HannTransform, PadsToAPowerOfTwoAndSumsTheWindowsEnergy) {
  EXPECT_TRUE(HannTransform(std::vector<double>{}).bins.empty());
  EXPECT_TRUE(HannTransform(std::vector<double>{1.0}).bins.empty());
  // Sum of (1/2 - cos/2)^2 over whole periods: n (1/4 + 1/8).
  for (const size_t n : {5u, 8u, 1000u}) {
    const HannSpectrum s = HannTransform(std::vector<double>(n, 1.0));
    size_t size = 2;
    while (size < n) size *= 2;
    EXPECT_EQ(s.bins.size(), size) << n;
    EXPECT_NEAR(s.windowEnergy, 3.0 * static_cast<double>(n) / 8, 1e-14 * static_cast<double>(n)) << n;
  }
}

TEST(HannTransform, ACosineOnABinReadsAQuarterThereAndAnEighthBeside) {
  // x(i) = cos(2 pi k i / n) under w(i) = 1/2 - cos(2 pi (i + 1/2) / n) / 2:
  // the first half puts n/4 on bin k, the second n/8 on bins k - 1 and k + 1.
  constexpr size_t n = 1024, k = 100;
  std::vector<double> x(n);
  std::vector<float> xf(n);
  for (size_t i = 0; i < n; ++i) {
    x[i] = std::cos(2 * std::numbers::pi * static_cast<double>(k * i) / n);
    xf[i] = static_cast<float>(x[i]);
  }
  const HannSpectrum s = HannTransform(x);
  ASSERT_EQ(s.bins.size(), n);
  EXPECT_NEAR(s.bins[k].real(), n / 4.0, 1e-9);
  EXPECT_NEAR(s.bins[k].imag(), 0.0, 1e-9);
  EXPECT_NEAR(std::abs(s.bins[k - 1]), n / 8.0, 1e-9);
  EXPECT_NEAR(std::abs(s.bins[k + 1]), n / 8.0, 1e-9);
  for (const size_t far : {size_t{0}, k - 2, k + 2, n / 2}) EXPECT_NEAR(std::abs(s.bins[far]), 0.0, 1e-9) << far;
  // Samples given as floats are read as the same numbers.
  const HannSpectrum f = HannTransform(xf);
  ASSERT_EQ(f.bins.size(), n);
  EXPECT_NEAR(std::abs(f.bins[k]), n / 4.0, 1e-4);
  EXPECT_DOUBLE_EQ(f.windowEnergy, s.windowEnergy);
}

}  // namespace
