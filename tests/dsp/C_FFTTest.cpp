#include "dsp/C_FFT.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr int kN = 2048;

// Real parts of the exact DFT, in long double.
std::vector<long double> ExactRealDft(const std::vector<double>& x) {
  const size_t n = x.size();
  std::vector<long double> cosTable(n);
  for (size_t m = 0; m < n; ++m) cosTable[m] = std::cos(2.0L * std::numbers::pi_v<long double> * m / n);
  std::vector<long double> out(n);
  for (size_t k = 0; k < n; ++k) {
    long double s = 0;
    for (size_t i = 0; i < n; ++i) s += x[i] * cosTable[(k * i) % n];
    out[k] = s;
  }
  return out;
}

void Load(C_FFT& fft, const std::vector<double>& x) {
  for (size_t i = 0; i < x.size(); ++i) fft.SetRealIn(static_cast<int32_t>(i), x[i]);
}

TEST(C_FFT, MatchesTheExactTransformInEveryBin) {
  for (int n : {kN, 1024, 8}) {
    C_FFT fft;
    fft.Init(n);
    ASSERT_EQ(fft.PointCount(), n);
    for (unsigned seed : {1u, 2u, 3u}) {
      std::mt19937 rng(seed);
      std::uniform_real_distribution<double> dist(-32768, 32767);
      std::vector<double> x(static_cast<size_t>(n));
      double ss = 0;
      for (double& v : x) {
        v = dist(rng);
        ss += v * v;
      }
      Load(fft, x);
      fft.FourierTransform();
      const std::vector<long double> exact = ExactRealDft(x);
      const double tolerance = 1e-9 * std::sqrt(ss / n) * n;
      for (int k = 0; k < n; ++k)
        ASSERT_NEAR(fft.RealOut(k), static_cast<double>(exact[static_cast<size_t>(k)]), tolerance)
            << "n " << n << " bin " << k;
    }
  }
}

TEST(C_FFT, ConstantCosineAndSine) {
  C_FFT fft;
  fft.Init(kN);
  for (int i = 0; i < kN; ++i) fft.SetRealIn(i, 3.5);
  fft.FourierTransform();
  EXPECT_NEAR(fft.RealOut(0), kN * 3.5, 1e-9);
  for (int k = 1; k < kN; ++k) ASSERT_NEAR(fft.RealOut(k), 0, 1e-9) << k;

  const int k0 = 100;
  const double a = 1000;
  for (int i = 0; i < kN; ++i) fft.SetRealIn(i, a * std::cos(2 * std::numbers::pi * k0 * i / kN));
  fft.FourierTransform();
  EXPECT_NEAR(fft.RealOut(k0), 1024 * a, 1e-6);
  EXPECT_NEAR(fft.RealOut(kN - k0), 1024 * a, 1e-6);
  EXPECT_NEAR(fft.RealOut(k0 + 1), 0, 1e-6);

  for (int i = 0; i < kN; ++i) fft.SetRealIn(i, a * std::sin(2 * std::numbers::pi * k0 * i / kN));
  fft.FourierTransform();
  EXPECT_NEAR(fft.RealOut(k0), 0, 1e-6);  // the energy is in the imaginary part
}

TEST(C_FFT, OutOfRangeIndicesAndRepeatedTransforms) {
  C_FFT fft;
  fft.Init(kN);
  fft.SetRealIn(5, 1.0);  // all other samples were never written: 0
  fft.FourierTransform();
  std::vector<double> first(kN);
  for (int k = 0; k < kN; ++k) first[static_cast<size_t>(k)] = fft.RealOut(k);
  EXPECT_NEAR(first[0], 1.0, 1e-15);
  EXPECT_NEAR(first[1], std::cos(2 * std::numbers::pi * 5 / kN), 1e-12);
  fft.SetRealIn(kN, 99.0);  // ignored
  fft.SetRealIn(-1, 99.0);  // ignored
  fft.FourierTransform();
  for (int k = 0; k < kN; ++k) ASSERT_EQ(fft.RealOut(k), first[static_cast<size_t>(k)]) << k;
  EXPECT_EQ(fft.RealOut(kN), 0.0);
  EXPECT_EQ(fft.RealOut(5000), 0.0);
  fft.Init(kN);  // a new Init forgets everything
  fft.FourierTransform();
  EXPECT_EQ(fft.RealOut(0), 0.0);
}

TEST(C_FFT, SizesThatAreNotPowersOfTwoLeaveItEmpty) {
  C_FFT fft;
  for (int n : {0, 1, 1000, 2047, -2048}) {
    fft.Init(n);
    EXPECT_EQ(fft.PointCount(), 0) << n;
    fft.SetRealIn(0, 5);
    fft.FourierTransform();
    EXPECT_EQ(fft.RealOut(0), 0.0);
  }
  C_FFT never;
  never.FourierTransform();  // before Init: nothing happens
  EXPECT_EQ(never.RealOut(0), 0.0);
}

}  // namespace
