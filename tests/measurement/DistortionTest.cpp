// Harmonic distortion read from a sweep through the loopback simulator with
// a known nonlinearity y = x + a2 x^2 + a3 x^3 (x a fraction of full scale).
// A sine of amplitude A comes out as A + 3/4 a3 A^3 at its own frequency,
// a2 A^2 / 2 at twice it and a3 A^3 / 4 at three times it.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "SimulatedSweep.h"
#include "measurement/Responses.h"

using namespace measurement;
using measurement::testing::SimulateSweep;

namespace {

constexpr int32_t kLevelTenths = -30;  // the sweep at -3 dB

double Amplitude() { return SignalAmplitude(kLevelTenths) / 32768.0; }

struct Nonlinearity {
  double a2 = 0, a3 = 0;
  double Fundamental() const { return Amplitude() + 0.75 * a3 * std::pow(Amplitude(), 3); }
  double H2Db() const { return 20 * std::log10(a2 * Amplitude() * Amplitude() / 2 / Fundamental()); }
  double H3Db() const { return 20 * std::log10(a3 * std::pow(Amplitude(), 3) / 4 / Fundamental()); }
  double ThdPercent() const {
    const double h2 = a2 * Amplitude() * Amplitude() / 2, h3 = a3 * std::pow(Amplitude(), 3) / 4;
    return 100 * std::hypot(h2, h3) / Fundamental();
  }
  // The coefficients that put H2 at h2Db and H3 at h3Db re the fundamental.
  static Nonlinearity For(double h2Db, double h3Db) {
    const double a = Amplitude();
    Nonlinearity n;
    // H3 / fundamental = r3 fixes a3; then a2 from H2.
    const double r3 = std::pow(10.0, h3Db / 20);
    n.a3 = 4 * r3 / (a * a * (1 - 3 * r3));
    n.a2 = 2 * std::pow(10.0, h2Db / 20) * n.Fundamental() / (a * a);
    return n;
  }
};

class DistortionLevels : public ::testing::TestWithParam<double> {};

TEST_P(DistortionLevels, SecondAndThirdHarmonicsAndThdReadTheirAnalyticLevels) {
  const double level = GetParam();
  const Nonlinearity nl = Nonlinearity::For(level, level - 4);
  ASSERT_NEAR(nl.H2Db(), level, 1e-9);
  ASSERT_NEAR(nl.H3Db(), level - 4, 1e-9);
  const auto run = SimulateSweep(48000, 10, kLevelTenths, [&](WaveMMIO::LoopbackBackend& b) {
    b.SetPathFilters({});
    b.SetNonlinearity(nl.a2, nl.a3);
  });
  const ImpulseResponse ir = run.Response();
  ASSERT_FALSE(ir.Empty());
  const auto points = Distortion(ir, std::vector<double>{100, 1000, 5000});
  for (const auto& p : points) {
    ASSERT_TRUE(p.harmonicDb[0] && p.harmonicDb[1]) << p.hz;
    EXPECT_NEAR(*p.harmonicDb[0], nl.H2Db(), 0.5) << p.hz << " Hz, level " << level;
    EXPECT_NEAR(*p.harmonicDb[1], nl.H3Db(), 0.5) << p.hz << " Hz, level " << level;
    EXPECT_NEAR(p.thdPercent / nl.ThdPercent(), 1.0, 0.05) << p.hz << " Hz, level " << level;
    EXPECT_LT(p.noiseFloorDb, nl.H3Db() - 6) << p.hz;
    EXPECT_LE(*p.harmonicDb[2], p.noiseFloorDb) << p.hz;  // no fourth harmonic in the path
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, DistortionLevels, ::testing::Values(-20.0, -45.0, -70.0));

TEST(Distortion, WithoutNonlinearityEveryHarmonicStaysAtOrBelowTheNoiseFloor) {
  const auto run = SimulateSweep(48000, 3, kLevelTenths);
  const ImpulseResponse ir = run.Response();
  ASSERT_FALSE(ir.Empty());
  for (const Smoothing s : {Smoothing::None, Smoothing::Octave12, Smoothing::Octave3}) {
    const auto points = Distortion(ir, LogFrequencies(20, 12000, 24), s);
    for (const auto& p : points) {
      for (size_t h = 0; h < p.harmonicDb.size(); ++h) {
        if (!p.harmonicDb[h]) continue;
        EXPECT_LE(*p.harmonicDb[h], p.noiseFloorDb) << "H" << h + 2 << " at " << p.hz << " Hz, " << SmoothingName(s);
      }
      if (p.hz >= 200 && p.hz <= 3000) {  // where the path passes the fundamental and H5
        EXPECT_LT(p.noiseFloorDb, -60) << p.hz;
      }
    }
  }
}

TEST(Distortion, WithoutNonlinearityThdStaysAtOrBelowTheNoiseFloor) {
  // Noise alone in H2..H9 adds up to above the floor drawn for one harmonic;
  // read as THD it would look like distortion the path does not have.
  const auto run = SimulateSweep(48000, 3, kLevelTenths);
  const ImpulseResponse ir = run.Response();
  ASSERT_FALSE(ir.Empty());
  for (const Smoothing s : {Smoothing::None, Smoothing::Octave12, Smoothing::Octave3}) {
    for (const auto& p : Distortion(ir, LogFrequencies(20, 12000, 24), s)) {
      if (!(p.thdPercent > 0)) continue;  // not drawn
      EXPECT_LE(20 * std::log10(p.thdPercent / 100), p.noiseFloorDb) << p.hz << " Hz, " << SmoothingName(s);
    }
  }
}

TEST(Distortion, HarmonicsEndWhereTheSweepDoes) {
  const auto run = SimulateSweep(48000, 2, kLevelTenths);
  const ImpulseResponse ir = run.Response();
  const auto points = Distortion(ir, std::vector<double>{4000, 5500, 11000, 13000});
  EXPECT_TRUE(points[0].harmonicDb[3].has_value());   // 5 x 4 kHz < 24 kHz
  EXPECT_FALSE(points[1].harmonicDb[3].has_value());  // 5 x 5.5 kHz > 24 kHz
  EXPECT_TRUE(points[1].harmonicDb[2].has_value());
  EXPECT_TRUE(points[2].harmonicDb[0].has_value());
  EXPECT_FALSE(points[2].harmonicDb[1].has_value());
  EXPECT_FALSE(points[3].harmonicDb[0].has_value());
  // Each harmonic's stretch lies half-way between its neighbours' arrivals.
  const FrameSpan h2 = HarmonicSpan(ir, 2), h3 = HarmonicSpan(ir, 3);
  EXPECT_LE(h3.end, h2.begin + 1);
  EXPECT_LT(h2.end, 0);
  EXPECT_GE(HarmonicSpan(ir, kMaxHarmonic).begin, -ir.origin);
}

}  // namespace
