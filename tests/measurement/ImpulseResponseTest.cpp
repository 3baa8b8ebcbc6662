// The full-rate deconvolution and the linear responses read from it,
// against exactly known paths: arithmetic on the played sweep, and the
// loopback simulator whose filters' responses are known in closed form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/Biquad.h"
#include "tests/measurement/CableResponse.h"
#include "tests/measurement/SimulatedSweep.h"
#include "measurement/ImpulseResponse.h"
#include "measurement/Responses.h"

using namespace measurement;
using namespace measurement::testing;
using WaveMMIO::Biquad;
using WaveMMIO::LoopbackPath;

namespace {

TEST(SweepShape, ComesFromTheSignalAndPlacesHarmonicsByTheirLead) {
  const SweepShape s = SweepShapeFor(48000, 96000);
  EXPECT_DOUBLE_EQ(s.f1Hz, 10.0);
  EXPECT_DOUBLE_EQ(s.f2Hz, 24000.0);
  EXPECT_DOUBLE_EQ(s.seconds, 2.0);
  EXPECT_NEAR(s.RateConstant(), 2.0 / std::log(2400.0), 1e-15);
  // H9 arrives 0.56 s early for 2 s at 48 kHz, 7.2 s for 30 s at 192 kHz.
  EXPECT_NEAR(s.HarmonicLead(9), 2.0 / std::log(2400.0) * std::log(9.0), 1e-15);
  EXPECT_NEAR(s.HarmonicLead(9), 0.56, 0.01);
  EXPECT_NEAR(SweepShapeFor(192000, 30 * 192000).HarmonicLead(9), 7.2, 0.05);
  EXPECT_EQ(s.HarmonicLead(1), 0.0);
  EXPECT_EQ(SweepShape{}.RateConstant(), 0.0);
  EXPECT_EQ(SweepShapeFor(0, 100).seconds, 0.0);
}

TEST(Deconvolve, APureDelayAndGainIsOneImpulseAtTheOrigin) {
  const int32_t rate = 48000;
  const int64_t delay = 1234;
  std::vector<StereoSample> play(static_cast<size_t>(rate * 2)), capture(play.size() + delay);
  SweepTable table;
  std::vector<int16_t> level;
  GenerateSweep(play, rate, SignalAmplitude(-200), table, level);
  // Twice the played sweep, 1234 frames late: exactly, with no rounding,
  // and captured to its end.
  for (size_t j = delay; j < capture.size(); ++j) {
    const auto v = static_cast<int16_t>(play[j - delay].Left * 2);
    capture[j] = {v, v};
  }
  const ImpulseResponse ir =
      Deconvolve(play, capture, rate, SweepShapeFor(rate, static_cast<int64_t>(play.size())), {1234.0, 0});
  ASSERT_FALSE(ir.Empty());
  EXPECT_EQ(ir.origin,
            static_cast<int64_t>(std::ceil(
                (ir.sweep.HarmonicLead(9) + 0.5 * (ir.sweep.HarmonicLead(10) - ir.sweep.HarmonicLead(9))) * rate)));
  EXPECT_GE(ir.End(), rate);
  EXPECT_NEAR(ir.At(0), 2.0, 0.01);
  double elsewhere = 0;
  for (int64_t t = -ir.origin; t < ir.End(); ++t)
    if (std::abs(t) > 100) elsewhere = std::max(elsewhere, std::abs(static_cast<double>(ir.At(t))));
  EXPECT_LT(elsewhere, 2e-4);
  // The gain reads 6.02 dB with no phase over the swept band.
  // (An octave above the sweep's start, the suppression below it shows a little.)
  const auto points = FrequencyResponse(ir, std::vector<double>{20, 1000, 20000});
  for (const auto& p : points) {
    const bool low = p.hz < 100;
    EXPECT_NEAR(p.gainDb, 20 * std::log10(2.0), low ? 0.05 : 0.01) << p.hz;
    EXPECT_NEAR(p.phaseDeg, 0, 0.5) << p.hz;
    EXPECT_NEAR(p.groupDelayMs, 0, low ? 0.1 : 0.01) << p.hz;
  }
}

TEST(Deconvolve, ATimingsDelayAndDriftAreTakenOff) {
  // The capture runs 100 ppm fast and starts 300.4 frames late: a sample
  // played at b is heard at 300.4 + b * 1.0001.
  const int32_t rate = 48000;
  std::vector<StereoSample> play(static_cast<size_t>(rate * 2)), capture(play.size() + 600);
  SweepTable table;
  std::vector<int16_t> level;
  GenerateSweep(play, rate, SignalAmplitude(-60), table, level);
  const double delay = 300.4, drift = 1e-4;
  const auto& freq = table.freq;
  double phase = 0;
  std::vector<double> phases(play.size());
  for (size_t i = 0; i < play.size(); ++i) phases[i] = phase += freq[i] * 2 * kPi / rate;
  for (size_t j = 0; j < capture.size(); ++j) {
    const double b = (static_cast<double>(j) - delay) / (1 + drift);
    if (b < 0 || b >= static_cast<double>(play.size() - 1)) continue;
    const auto i = static_cast<size_t>(b);
    const double ph = phases[i] + (b - static_cast<double>(i)) * (phases[i + 1] - phases[i]);
    const auto v = static_cast<int16_t>(std::nearbyint(std::sin(ph) * SignalAmplitude(-60)));
    capture[j] = {v, v};
  }
  const SweepShape shape = SweepShapeFor(rate, static_cast<int64_t>(play.size()));
  const ImpulseResponse corrected = Deconvolve(play, capture, rate, shape, {delay, drift});
  const ImpulseResponse uncorrected = Deconvolve(play, capture, rate, shape, {delay, 0});
  ASSERT_FALSE(corrected.Empty());
  EXPECT_EQ(corrected.fraction, delay - 300);
  const auto points = FrequencyResponse(corrected, std::vector<double>{100, 1000, 5000});
  for (const auto& p : points) {
    EXPECT_NEAR(p.gainDb, 0, 0.1) << p.hz;
    EXPECT_NEAR(p.phaseDeg, 0, 3) << p.hz;
  }
  // Left uncorrected, the drift smears the impulse: 100 ppm of 2 s is 9.6 frames.
  EXPECT_GT(std::abs(corrected.At(0)), 2 * std::abs(uncorrected.At(0)));
}

TEST(Deconvolve, SilenceOrUnusableInputGivesNothing) {
  const int32_t rate = 48000;
  std::vector<StereoSample> play(48000), silent(48000);
  SweepTable table;
  std::vector<int16_t> level;
  GenerateSweep(play, rate, SignalAmplitude(-60), table, level);
  const SweepShape shape = SweepShapeFor(rate, 48000);
  EXPECT_TRUE(Deconvolve(play, silent, rate, shape, {}).Empty());
  EXPECT_TRUE(Deconvolve(silent, play, rate, shape, {}).Empty());
  EXPECT_TRUE(Deconvolve(play, play, 0, shape, {}).Empty());
  EXPECT_TRUE(Deconvolve(play, play, rate, SweepShape{}, {}).Empty());
  EXPECT_TRUE(Deconvolve(play, play, rate, shape, {1e9, 0}).Empty());
  EXPECT_TRUE(Deconvolve(play, play, rate, shape, {NAN, 0}).Empty());
  EXPECT_TRUE(Deconvolve(play, play, rate, shape, {0, 0.5}).Empty());
  EXPECT_TRUE(Deconvolve({}, {}, rate, shape, {}).Empty());
  const auto points = FrequencyResponse(ImpulseResponse{}, std::vector<double>{1000});
  EXPECT_EQ(points[0].gainDb, -200);
}

class SimulatorResponse : public ::testing::TestWithParam<int32_t> {};

TEST_P(SimulatorResponse, MagnitudeAndExcessPhaseMatchThePathsFilters) {
  // A 10 s sweep at -3 dB: at 0.9 x Nyquist the path is 50 dB down, and
  // the run's noise must stay 40 dB below that.
  const int32_t rate = GetParam();
  const auto run = SimulateSweep(rate, 10, -30);
  const ImpulseResponse ir = run.Response();
  ASSERT_FALSE(ir.Empty());
  const auto hz = LogFrequencies(20, 0.9 * rate / 2, 24);
  const auto points = FrequencyResponse(ir, hz);
  for (const auto& p : points) {
    const auto truth = Cable(rate, p.hz);
    ASSERT_NEAR(p.gainDb, 20 * std::log10(std::abs(truth)), 0.1) << p.hz << " Hz at " << rate;
    if (p.hz >= 50 && p.hz <= 10000) {
      ASSERT_NEAR(WrapDeg(p.phaseDeg - Deg(truth)), 0, 3) << p.hz << " Hz at " << rate;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, SimulatorResponse, ::testing::Values(48000, 96000));

TEST(SimulatorResponse, AFourthOrderHighPassReadsRightAtFiftyAndAHundredHertz) {
  const int32_t rate = 48000;
  // 4th-order Butterworth at 200 Hz: Q 0.541 and 1.307.
  const std::vector<Biquad> path = {Biquad::HighPass(rate, 200, 0.5411961), Biquad::HighPass(rate, 200, 1.3065630)};
  const auto run = SimulateSweep(rate, 3, -60, [&](WaveMMIO::LoopbackBackend& b) { b.SetPathFilters(path); });
  const ImpulseResponse ir = run.Response();
  const auto points = FrequencyResponse(ir, std::vector<double>{50, 100, 200, 1000});
  for (const auto& p : points) {
    const auto truth = Cascade(path, rate, p.hz) * std::pow(10.0, LoopbackPath::kGainDb / 20);
    EXPECT_NEAR(p.gainDb, 20 * std::log10(std::abs(truth)), 0.1) << p.hz;
    EXPECT_NEAR(WrapDeg(p.phaseDeg - Deg(truth)), 0, 3) << p.hz;
  }
  EXPECT_NEAR(points[0].gainDb, -6 - 48.2, 0.2);  // 24 dB per octave, two octaves down
}

TEST(SimulatorResponse, GroupDelayOfAKnownAllPass) {
  const int32_t rate = 48000;
  const std::vector<Biquad> path = {Biquad::AllPass(rate, 1000, 0.7), Biquad::AllPass(rate, 150, 2.0)};
  const auto run = SimulateSweep(rate, 3, -60, [&](WaveMMIO::LoopbackBackend& b) { b.SetPathFilters(path); });
  const ImpulseResponse ir = run.Response();
  const auto hz = LogFrequencies(50, 10000, 12);
  const auto points = FrequencyResponse(ir, hz);
  double largest = 0;
  for (const auto& p : points) {
    // -d(phase)/d(omega) of the filters, by a central difference of 0.01 Hz.
    const double d = 0.005;
    const double turn = std::arg(Cascade(path, rate, p.hz + d) / Cascade(path, rate, p.hz - d));
    const double truthMs = -turn / (2 * kPi * 2 * d) * 1000;
    largest = std::max(largest, truthMs);
    EXPECT_NEAR(p.groupDelayMs, truthMs, 0.05) << p.hz;
    EXPECT_NEAR(p.gainDb, LoopbackPath::kGainDb, 0.1) << p.hz;
  }
  EXPECT_GT(largest, 4.0);  // the 150 Hz section's peak: the test sees a real delay
}

TEST(SimulatorResponse, ATenSecondSweepGivesNinetyDecibelsOverTheNoise) {
  const auto run = SimulateSweep(48000, 10, -30);
  const ImpulseResponse ir = run.Response();
  ASSERT_FALSE(ir.Empty());
  EXPECT_GE(PeakToNoiseDb(ir), 90.0);
}

TEST(Responses, SmoothingAveragesPowerOverItsBand) {
  // A comb: the direct sound and an echo of half its size 1 ms later, so
  // |H|^2 = 1.25 + cos(2 pi f / 1000) swings between 0.25 and 2.25 each kHz.
  ImpulseResponse ir;
  ir.rate = 48000;
  ir.sweep = SweepShapeFor(48000, 96000);
  ir.origin = 30000;
  ir.samples.assign(static_cast<size_t>(ir.origin + ir.rate), 0.0f);
  ir.samples[static_cast<size_t>(ir.origin)] = 1.0f;
  ir.samples[static_cast<size_t>(ir.origin + 48)] = 0.5f;
  const std::vector<double> hz = {4000, 4500, 9000};
  ResponseOptions fixed;
  fixed.window.cycles = 0;
  const auto none = FrequencyResponse(ir, hz, fixed);
  EXPECT_NEAR(none[0].gainDb, 10 * std::log10(2.25), 0.01);
  EXPECT_NEAR(none[1].gainDb, 10 * std::log10(0.25), 0.01);
  EXPECT_NEAR(none[2].gainDb, 10 * std::log10(2.25), 0.01);
  // A third of an octave holds a whole period or more at 4.5 kHz and above:
  // the mean power is about 1.25.
  ResponseOptions third = fixed;
  third.smoothing = Smoothing::Octave3;
  const auto smooth = FrequencyResponse(ir, hz, third);
  EXPECT_NEAR(smooth[1].gainDb, 10 * std::log10(1.25), 0.5);
  EXPECT_NEAR(smooth[2].gainDb, 10 * std::log10(1.25), 0.3);
  // A window shorter than the echo's delay sees the direct sound only.
  ResponseOptions direct;
  direct.window = {0.5, 0.0008, 4};
  const auto early = FrequencyResponse(ir, std::vector<double>{9000}, direct);
  EXPECT_NEAR(early[0].gainDb, 0, 0.2);
}

TEST(Responses, SmoothingNamesRoundTrip) {
  for (const auto s : {Smoothing::None, Smoothing::Octave48, Smoothing::Octave24, Smoothing::Octave12,
                       Smoothing::Octave6, Smoothing::Octave3}) {
    EXPECT_EQ(ParseSmoothing(SmoothingName(s)), s);
  }
  EXPECT_DOUBLE_EQ(OctaveFraction(Smoothing::Octave6), 1.0 / 6);
  EXPECT_FALSE(ParseSmoothing("1/5").has_value());
  const auto grid = LogFrequencies(10, 24000, 48);
  EXPECT_NEAR(grid.front(), 10.0, 0.15);
  EXPECT_GE(grid.front(), 10.0);
  EXPECT_LE(grid.back(), 24000.0);
  EXPECT_NEAR(grid[48] / grid[0], 2.0, 1e-12);
  EXPECT_TRUE(LogFrequencies(0, 100, 3).empty());
}

TEST(Responses, EnergyTimePeaksAtTheArrivalAndFallsWithTheEnvelope) {
  ImpulseResponse ir;
  ir.rate = 48000;
  ir.sweep = SweepShapeFor(48000, 96000);
  ir.origin = 1000;
  ir.samples.assign(20000, 0.0f);
  // A 1 kHz tone decaying by 20 dB every 10 ms from the arrival.
  for (int t = 0; t < 5000; ++t)
    ir.samples[static_cast<size_t>(ir.origin + t)] =
        static_cast<float>(std::pow(10.0, -t / 480.0) * std::sin(2 * kPi * 1000 * t / 48000 + 1));
  const auto etc = EnergyTime(ir, -100, 2000);
  ASSERT_EQ(etc.size(), 2100u);
  // Energy falls 20 dB per 480 frames; before the arrival there is next to none.
  EXPECT_NEAR(etc[100 + 240] - etc[100 + 720], 20.0, 0.5);
  EXPECT_NEAR(etc[100 + 480] - etc[100 + 960], 20.0, 0.5);
  EXPECT_LT(etc[50], -25.0);
  EXPECT_EQ(*std::max_element(etc.begin(), etc.end()), 0.0f);
  EXPECT_EQ(std::max_element(etc.begin(), etc.end()) - etc.begin(), 100);
}

}  // namespace
