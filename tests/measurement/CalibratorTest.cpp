#include "measurement/Calibrator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "dsp/Weighting.h"

using namespace measurement;
using WaveMMIO::StereoSample;

namespace {

constexpr double kPi = 3.14159265358979323846;

// A tone of peak level levelDbfs (0 dBFS: a full-scale sine), its level
// multiplied by gainAt(t) (dB) at time t, with Gaussian noise of RMS
// noiseDbfs and a constant offset, rounded to 16 bits.
template <typename Gain>
std::vector<StereoSample> Recording(double frequency, double levelDbfs, int rate, double seconds, Gain gainAt,
                                    double noiseDbfs = -200, int offset = 0) {
  std::mt19937 rng(11);
  std::normal_distribution<double> noise(0.0, 32767.0 * std::pow(10.0, noiseDbfs / 20.0) / std::sqrt(2.0));
  std::vector<StereoSample> v(static_cast<size_t>(std::llround(rate * seconds)));
  for (size_t i = 0; i < v.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    const double a = 32767.0 * std::pow(10.0, (levelDbfs + gainAt(t)) / 20.0);
    const double x = a * std::sin(2 * kPi * frequency * t + 0.7) + noise(rng) + offset;
    const auto s = static_cast<int16_t>(std::clamp(std::nearbyint(x), -32768.0, 32767.0));
    v[i] = {s, static_cast<int16_t>(-s)};
  }
  return v;
}

std::vector<StereoSample> Steady(double frequency, double levelDbfs, int rate = 48000, double seconds = 3.0) {
  return Recording(frequency, levelDbfs, rate, seconds, [](double) { return 0.0; });
}

}  // namespace

TEST(Calibrator, ASteadyKilohertzToneSetsTheSensitivity) {
  for (const int rate : {44100, 48000, 96000}) {
    const CalibratorCheck at94 = CheckCalibrator(Steady(1000, -26.0, rate), rate, 94.0);
    EXPECT_EQ(at94.verdict, CalibratorVerdict::Accepted) << rate;
    EXPECT_NEAR(at94.frequency, 1000.0, 0.05) << rate;
    EXPECT_NEAR(at94.levelDbfs, -26.0, 0.01) << rate;
    EXPECT_NEAR(at94.sensitivityDbfs, -26.0, 0.01) << rate;
    EXPECT_LT(at94.spreadDb, 0.01) << rate;
  }
  // The same recording from a 114 dB calibrator: 94 dB reads 20 dB lower.
  const CalibratorCheck at114 = CheckCalibrator(Steady(1000, -6.0), 48000, 114.0);
  EXPECT_EQ(at114.verdict, CalibratorVerdict::Accepted);
  EXPECT_NEAR(at114.sensitivityDbfs, -26.0, 0.01);
}

TEST(Calibrator, TheToneMayBeFivePercentOffButNoMore) {
  for (const double f : {951.0, 1049.0}) {
    const CalibratorCheck c = CheckCalibrator(Steady(f, -20), 48000, 94);
    EXPECT_EQ(c.verdict, CalibratorVerdict::Accepted) << f;
    EXPECT_NEAR(c.frequency, f, 0.05) << f;
    EXPECT_NEAR(c.levelDbfs, -20.0, 0.01) << f;
  }
  for (const double f : {949.0, 1051.0, 250.0, 8000.0}) {
    const CalibratorCheck c = CheckCalibrator(Steady(f, -20), 48000, 94);
    EXPECT_EQ(c.verdict, CalibratorVerdict::WrongFrequency) << f;
    EXPECT_NEAR(c.frequency, f, 0.05) << f;
  }
}

TEST(Calibrator, ALevelThatMovesMoreThanTwoTenthsIsRefused) {
  const auto step = [](double db) { return [db](double t) { return t < 1.5 ? 0.0 : db; }; };
  EXPECT_EQ(CheckCalibrator(Recording(1000, -20, 48000, 3, step(0.15)), 48000, 94).verdict,
            CalibratorVerdict::Accepted);
  const CalibratorCheck jump = CheckCalibrator(Recording(1000, -20, 48000, 3, step(0.25)), 48000, 94);
  EXPECT_EQ(jump.verdict, CalibratorVerdict::Unsteady);
  EXPECT_NEAR(jump.spreadDb, 0.25, 0.01);
  // A slow wobble of +-0.15 dB swings 0.3 dB.
  const auto wobble = [](double t) { return 0.15 * std::sin(2 * kPi * 0.5 * t); };
  EXPECT_EQ(CheckCalibrator(Recording(1000, -20, 48000, 3, wobble), 48000, 94).verdict, CalibratorVerdict::Unsteady);
  // A tone that fades in during the last three seconds.
  const auto fade = [](double t) { return t < 2.5 ? -3.0 : 0.0; };
  EXPECT_EQ(CheckCalibrator(Recording(1000, -20, 48000, 5, fade), 48000, 94).verdict, CalibratorVerdict::Unsteady);
}

TEST(Calibrator, OnlyTheLastThreeSecondsCount) {
  // Whatever came before (the calibrator being put on) is not looked at.
  const auto settle = [](double t) { return t < 1.0 ? -10.0 : 0.0; };
  const CalibratorCheck c = CheckCalibrator(Recording(1000, -20, 48000, 4, settle), 48000, 94);
  EXPECT_EQ(c.verdict, CalibratorVerdict::Accepted);
  EXPECT_NEAR(c.levelDbfs, -20.0, 0.01);
  EXPECT_EQ(CheckCalibrator(Steady(1000, -20, 48000, 2.99), 48000, 94).verdict, CalibratorVerdict::TooShort);
  EXPECT_EQ(CheckCalibrator({}, 48000, 94).verdict, CalibratorVerdict::TooShort);
}

TEST(Calibrator, NoiseSilenceAndClippingAreNotACalibrator) {
  const auto none = [](double) { return -300.0; };
  EXPECT_EQ(CheckCalibrator(Recording(1000, -20, 48000, 3, none, -30), 48000, 94).verdict, CalibratorVerdict::NoTone);
  EXPECT_EQ(CheckCalibrator(Recording(1000, -20, 48000, 3, none), 48000, 94).verdict, CalibratorVerdict::NoTone);
  // A tone barely above the noise carries too little of the power.
  EXPECT_EQ(CheckCalibrator(Recording(
                                1000, -40, 48000, 3, [](double) { return 0.0; }, -35),
                            48000, 94)
                .verdict,
            CalibratorVerdict::NoTone);
  EXPECT_EQ(CheckCalibrator(Steady(1000, 1.0), 48000, 94).verdict, CalibratorVerdict::Clipped);
}

TEST(Calibrator, NoiseAndAnOffsetDoNotMoveTheLevel) {
  const CalibratorCheck c = CheckCalibrator(Recording(
                                                1000, -20, 48000, 3, [](double) { return 0.0; }, -70, 900),
                                            48000, 94);
  EXPECT_EQ(c.verdict, CalibratorVerdict::Accepted);
  EXPECT_NEAR(c.levelDbfs, -20.0, 0.01);
}

TEST(SoundPressure, ATonesLevelReadsAsSplFromTheSensitivity) {
  // Calibrate with 94 dB, then record a 1 kHz tone at -20 dBFS: it stands
  // for 94 + (-20 - sensitivity) dB SPL, whatever the weighting (all pass
  // 1 kHz unchanged).
  const CalibratorCheck cal = CheckCalibrator(Steady(1000, -32.5), 48000, 94);
  ASSERT_EQ(cal.verdict, CalibratorVerdict::Accepted);
  const auto tone = Steady(1000, -20.0, 48000, 1.0);
  std::vector<float> samples;
  for (const StereoSample& s : tone) samples.push_back(static_cast<float>(s.Left / 32767.0));
  for (const dsp::Weighting w : {dsp::Weighting::A, dsp::Weighting::C, dsp::Weighting::Z}) {
    const double level = dsp::WeightedLevelDbfs(samples, 48000, w);
    EXPECT_NEAR(SplDb(level, cal.sensitivityDbfs), 94 + (-20 - -32.5), 0.1);
  }
  EXPECT_DOUBLE_EQ(SplDb(-20, -30), 104);
}
