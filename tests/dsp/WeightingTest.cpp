#include "dsp/Weighting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using dsp::Weighting;

namespace {

// The sound level meter standard's table of frequency weightings, at its
// exact frequencies 1000 * 10^(n / 10) Hz (labelled by their nominal
// values), with the class 1 acceptance limits. The values are given to
// 0.1 dB; an infinite lower limit is written as -99.
struct Row {
  double nominal;
  int n;
  double a, c;
  double plus, minus;
};
constexpr Row kTable[] = {
    {10, -20, -70.4, -14.3, 3.5, -99},  {12.5, -19, -63.4, -11.2, 3.0, -99}, {16, -18, -56.7, -8.5, 2.5, -4.5},
    {20, -17, -50.5, -6.2, 2.5, -2.5},  {25, -16, -44.7, -4.4, 2.5, -2.0},   {31.5, -15, -39.4, -3.0, 2.0, -2.0},
    {40, -14, -34.6, -2.0, 1.5, -1.5},  {50, -13, -30.2, -1.3, 1.5, -1.5},   {63, -12, -26.2, -0.8, 1.5, -1.5},
    {80, -11, -22.5, -0.5, 1.5, -1.5},  {100, -10, -19.1, -0.3, 1.5, -1.5},  {125, -9, -16.1, -0.2, 1.5, -1.5},
    {160, -8, -13.4, -0.1, 1.5, -1.5},  {200, -7, -10.9, 0.0, 1.4, -1.4},    {250, -6, -8.6, 0.0, 1.4, -1.4},
    {315, -5, -6.6, 0.0, 1.4, -1.4},    {400, -4, -4.8, 0.0, 1.4, -1.4},     {500, -3, -3.2, 0.0, 1.4, -1.4},
    {630, -2, -1.9, 0.0, 1.4, -1.4},    {800, -1, -0.8, 0.0, 1.4, -1.4},     {1000, 0, 0.0, 0.0, 1.1, -1.1},
    {1250, 1, 0.6, 0.0, 1.4, -1.4},     {1600, 2, 1.0, -0.1, 1.6, -1.6},     {2000, 3, 1.2, -0.2, 1.6, -1.6},
    {2500, 4, 1.3, -0.3, 1.6, -1.6},    {3150, 5, 1.2, -0.5, 1.6, -1.6},     {4000, 6, 1.0, -0.8, 1.6, -1.6},
    {5000, 7, 0.5, -1.3, 2.1, -2.1},    {6300, 8, -0.1, -2.0, 2.1, -2.6},    {8000, 9, -1.1, -3.0, 2.1, -3.1},
    {10000, 10, -2.5, -4.4, 2.6, -3.6}, {12500, 11, -4.3, -6.2, 3.0, -6.0},  {16000, 12, -6.6, -8.5, 3.5, -17.0},
    {20000, 13, -9.3, -11.2, 4.0, -99},
};

double Exact(int n) { return 1000.0 * std::pow(10.0, n / 10.0); }

}  // namespace

TEST(WeightingCurve, MatchesTheStandardsTableToItsLastDigit) {
  for (const Row& r : kTable) {
    const double f = Exact(r.n);
    EXPECT_NEAR(dsp::WeightingDb(Weighting::A, f), r.a, 0.05 + 1e-9) << "A at " << r.nominal << " Hz";
    EXPECT_NEAR(dsp::WeightingDb(Weighting::C, f), r.c, 0.05 + 1e-9) << "C at " << r.nominal << " Hz";
    EXPECT_EQ(dsp::WeightingDb(Weighting::Z, f), 0.0) << "Z at " << r.nominal << " Hz";
  }
}

TEST(WeightingCurve, LiesWithinTheClassOneLimitsAtTheNominalFrequencies) {
  // A meter is tested at the nominal frequencies; the limits apply around
  // the table's design values.
  for (const Row& r : kTable) {
    for (const Weighting w : {Weighting::A, Weighting::C, Weighting::Z}) {
      const double design = w == Weighting::A ? r.a : w == Weighting::C ? r.c : 0.0;
      const double d = dsp::WeightingDb(w, r.nominal) - design;
      EXPECT_LE(d, r.plus) << r.nominal;
      EXPECT_GE(d, r.minus) << r.nominal;
    }
  }
}

TEST(WeightingCurve, ZeroAtOneKilohertzAndNothingAtDirectCurrent) {
  EXPECT_NEAR(dsp::WeightingDb(Weighting::A, 1000), 0.0, 1e-12);
  EXPECT_NEAR(dsp::WeightingDb(Weighting::C, 1000), 0.0, 1e-12);
  EXPECT_EQ(dsp::WeightingGain(Weighting::A, 0), 0.0);
  EXPECT_EQ(dsp::WeightingGain(Weighting::C, -10), 0.0);
  EXPECT_EQ(dsp::WeightingGain(Weighting::Z, 0), 1.0);
  EXPECT_EQ(dsp::WeightingDb(Weighting::A, 0), -std::numeric_limits<double>::infinity());
  // Far below the lowest pole A falls at 80 dB a decade and C at 40.
  EXPECT_NEAR(dsp::WeightingDb(Weighting::A, 0.1) - dsp::WeightingDb(Weighting::A, 1), -80.0, 0.1);
  EXPECT_NEAR(dsp::WeightingDb(Weighting::C, 0.1) - dsp::WeightingDb(Weighting::C, 1), -40.0, 0.1);
}

namespace {

std::vector<float> Tone(double frequency, double amplitude, int rate, double seconds) {
  std::vector<float> v(static_cast<size_t>(rate * seconds));
  for (size_t i = 0; i < v.size(); ++i)
    v[i] = static_cast<float>(amplitude *
                              std::sin(2 * 3.14159265358979323846 * frequency * static_cast<double>(i) / rate + 0.3));
  return v;
}

}  // namespace

TEST(WeightedLevel, ASineReadsItsPeakLevelLessTheWeighting) {
  // A sine of amplitude 0.1 is -20 dBFS; a full-scale sine 0 dBFS. A
  // second's block resolves the weighting's slope at 63 Hz.
  for (const int rate : {44100, 96000}) {
    for (const double f : {1000.0, 100.0, 63.0, 4000.0, 12500.0}) {
      const auto tone = Tone(f, 0.1, rate, 1.0);
      for (const Weighting w : {Weighting::A, Weighting::C, Weighting::Z}) {
        EXPECT_NEAR(dsp::WeightedLevelDbfs(tone, rate, w), -20.0 + dsp::WeightingDb(w, f), 0.01)
            << rate << " Hz, " << f << " Hz tone";
      }
    }
  }
  EXPECT_NEAR(dsp::WeightedLevelDbfs(Tone(997, 1.0, 48000, 0.5), 48000, Weighting::Z), 0.0, 0.01);
}

TEST(WeightedLevel, TwoTonesAddTheirPowers) {
  auto a = Tone(1000, 0.1, 48000, 1.0);
  const auto b = Tone(100, 0.1, 48000, 1.0);
  for (size_t i = 0; i < a.size(); ++i) a[i] += b[i];
  const double expectedA =
      10 * std::log10(std::pow(10, -2.0) + std::pow(10, (-20 + dsp::WeightingDb(Weighting::A, 100)) / 10));
  EXPECT_NEAR(dsp::WeightedLevelDbfs(a, 48000, Weighting::A), expectedA, 0.01);
  EXPECT_NEAR(dsp::WeightedLevelDbfs(a, 48000, Weighting::Z), -20 + 10 * std::log10(2.0), 0.01);
}

TEST(WeightedLevel, WhiteNoiseLosesTheWeightingsMeanPower) {
  const int rate = 48000;
  std::mt19937 rng(7);
  std::normal_distribution<double> normal(0.0, 0.05);
  std::vector<float> noise(1 << 18);
  for (float& x : noise) x = static_cast<float>(normal(rng));
  // White noise spreads its power evenly up to half the rate.
  double mean = 0;
  const int steps = 100000;
  for (int i = 0; i < steps; ++i) {
    const double g = dsp::WeightingGain(Weighting::A, (i + 0.5) * rate / 2.0 / steps);
    mean += g * g / steps;
  }
  const double z = dsp::WeightedLevelDbfs(noise, rate, Weighting::Z);
  EXPECT_NEAR(z, 20 * std::log10(0.05 * std::sqrt(2.0)), 0.05);
  EXPECT_NEAR(dsp::WeightedLevelDbfs(noise, rate, Weighting::A), z + 10 * std::log10(mean), 0.05);
}

TEST(WeightedLevel, SilenceAndNoBlockReadMinusInfinity) {
  const std::vector<float> zeros(4800, 0.0f);
  EXPECT_EQ(dsp::WeightedLevelDbfs(zeros, 48000, Weighting::A), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(dsp::WeightedLevelDbfs({}, 48000, Weighting::Z), -std::numeric_limits<double>::infinity());
  const auto tone = Tone(1000, 0.1, 48000, 0.1);
  EXPECT_EQ(dsp::WeightedLevelDbfs(tone, 0, Weighting::Z), -std::numeric_limits<double>::infinity());
}
