#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "dsp/FastFourier.h"

namespace {

using Complex = std::complex<double>;
using dsp::FastFourier;

std::vector<Complex> RandomSignal(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> d(-1, 1);
  std::vector<Complex> v(n);
  for (Complex& x : v) x = {d(rng), d(rng)};
  return v;
}

// The transform by its definition, in long double.
std::vector<Complex> ExactDft(const std::vector<Complex>& x, int sign) {
  const size_t n = x.size();
  std::vector<long double> cosine(n), sine(n);
  for (size_t i = 0; i < n; ++i) {
    const long double a = sign * 2.0L * std::numbers::pi_v<long double> * static_cast<long double>(i) / n;
    cosine[i] = std::cos(a);
    sine[i] = std::sin(a);
  }
  std::vector<Complex> out(n);
  for (size_t k = 0; k < n; ++k) {
    long double re = 0, im = 0;
    for (size_t i = 0; i < n; ++i) {
      const size_t j = (k * i) % n;
      re += x[i].real() * cosine[j] - x[i].imag() * sine[j];
      im += x[i].real() * sine[j] + x[i].imag() * cosine[j];
    }
    out[k] = {static_cast<double>(re), static_cast<double>(im)};
  }
  return out;
}

double MaxError(const std::vector<Complex>& a, const std::vector<Complex>& b) {
  double e = 0;
  for (size_t i = 0; i < a.size(); ++i) e = std::max(e, std::abs(a[i] - b[i]));
  return e;
}

TEST(FastFourier, AcceptsOnlyPowersOfTwo) {
  FastFourier fft;
  EXPECT_FALSE(fft.Init(0));
  EXPECT_FALSE(fft.Init(1));
  EXPECT_FALSE(fft.Init(12));
  EXPECT_EQ(fft.Size(), 0u);
  std::vector<Complex> x = {1, 2, 3};
  fft.Forward(x);  // an empty engine leaves the data alone
  EXPECT_EQ(x[2], Complex(3));
  EXPECT_TRUE(fft.Init(2));
  EXPECT_TRUE(fft.Init(size_t{1} << 26));
  EXPECT_FALSE(fft.Init(size_t{1} << 27));
}

TEST(FastFourier, EveryBinMatchesTheDefinitionForOddAndEvenPowers) {
  // Odd powers end in a radix-2 step, even ones do not.
  for (size_t n : {2u, 4u, 8u, 32u, 256u, 512u}) {
    const auto x = RandomSignal(n, static_cast<unsigned>(n));
    FastFourier fft;
    ASSERT_TRUE(fft.Init(n));
    auto y = x;
    fft.Forward(y);
    EXPECT_LT(MaxError(y, ExactDft(x, -1)), 1e-12 * std::sqrt(static_cast<double>(n))) << n;
    auto z = x;
    fft.Inverse(z);
    auto exact = ExactDft(x, 1);
    for (Complex& v : exact) v /= static_cast<double>(n);
    EXPECT_LT(MaxError(z, exact), 1e-14) << n;
  }
}

// Beyond 2^14 points the twiddles are computed from two small tables, and
// from 2^16 on the work is split between two threads.
TEST(FastFourier, LargeTransformsFindATonesBinAndRoundTrip) {
  for (size_t n : {size_t{1} << 15, size_t{1} << 17}) {
    FastFourier fft;
    ASSERT_TRUE(fft.Init(n));
    // A complex tone at bin 12345 plus a small offset: one bin, exactly.
    std::vector<Complex> x(n);
    for (size_t i = 0; i < n; ++i)
      x[i] =
          0.25 + std::polar(1.0, 2 * std::numbers::pi * static_cast<double>((12345 * i) % n) / static_cast<double>(n));
    fft.Forward(x);
    for (size_t k = 0; k < n; ++k) {
      const double expected = k == 12345 ? static_cast<double>(n) : k == 0 ? 0.25 * static_cast<double>(n) : 0.0;
      ASSERT_NEAR(std::abs(x[k]), expected, 1e-8 * static_cast<double>(n)) << n << " bin " << k;
    }
    const auto r = RandomSignal(n, 7);
    auto y = r;
    fft.Forward(y);
    fft.Inverse(y);
    EXPECT_LT(MaxError(y, r), 1e-13) << n;
  }
}

TEST(FastFourier, TwoThreadsGiveTheSameBitsAsOne) {
  const size_t n = size_t{1} << 17;
  const auto x = RandomSignal(n, 3);
  FastFourier one, two;
  ASSERT_TRUE(one.Init(n));
  ASSERT_TRUE(two.Init(n));
  one.SetThreads(1);
  auto a = x, b = x;
  one.ForwardScrambled(a);
  two.ForwardScrambled(b);
  EXPECT_EQ(a, b);
  one.InverseScrambled(a);
  two.InverseScrambled(b);
  EXPECT_EQ(a, b);
}

TEST(FastFourier, ScrambledBinsSitAtTheirPositionsAndMirrorsPair) {
  for (size_t n : {1024u, 2048u}) {
    const auto x = RandomSignal(n, 11);
    FastFourier fft;
    ASSERT_TRUE(fft.Init(n));
    auto natural = x, scrambled = x;
    fft.Forward(natural);
    fft.ForwardScrambled(scrambled);
    for (size_t p = 0; p < n; ++p) {
      const size_t k = fft.BinAt(p);
      ASSERT_EQ(scrambled[p], natural[k]) << p;
      EXPECT_EQ(fft.BinAt(FastFourier::MirrorPosition(p)), (n - k) % n) << p;
    }
    // Scrambled in, natural out: the inverse undoes the forward transform.
    fft.InverseScrambled(scrambled);
    EXPECT_LT(MaxError(scrambled, x), 1e-14);
  }
}

TEST(FastFourier, RealSpectrumMatchesTheComplexTransform) {
  for (size_t n : {4u, 64u, 4096u}) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> d(-1, 1);
    std::vector<double> x(n);
    for (double& v : x) v = d(rng);
    std::vector<Complex> full(x.begin(), x.end());
    FastFourier fft;
    ASSERT_TRUE(fft.Init(n));
    fft.Forward(full);
    std::vector<Complex> half(n / 2 + 1);
    ASSERT_TRUE(dsp::RealForward(x, half));
    for (size_t k = 0; k <= n / 2; ++k) ASSERT_LT(std::abs(half[k] - full[k]), 1e-12 * static_cast<double>(n)) << k;
  }
  std::vector<Complex> wrong(3);
  EXPECT_FALSE(dsp::RealForward(std::vector<double>(8), wrong));
  std::vector<Complex> four(4);
  EXPECT_FALSE(dsp::RealForward(std::vector<double>(6), four));
}

}  // namespace
