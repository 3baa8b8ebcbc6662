// The gain scale of exports: a path's gain in dB re the played signal, from
// a sweep envelope or a noise spectrum, checked against paths whose gain is
// known exactly.
#include "measurement/Gain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "audio/Biquad.h"
#include "audio/LoopbackSim.h"
#include "dsp/C_FFT.h"
#include "measurement/Analysis.h"
#include "measurement/MeasurementRun.h"
#include "measurement/TestSignal.h"
#include "tests/measurement/LoopbackRun.h"

using namespace measurement;
using measurement::testing::kMs;
using WaveMMIO::Biquad;
using WaveMMIO::StereoSample;

namespace {

constexpr int kRate = 48000;

double Db(double x) { return 20 * std::log10(x); }

// The simulator's cable at f: two Butterworth sections and -6.0 dB (not
// a half: that is -6.02 dB).
double CableDb(double f) {
  const double q = 1 / std::sqrt(2.0);
  return WaveMMIO::LoopbackPath::kGainDb + Db(Biquad::HighPass(kRate, 100, q).MagnitudeAt(kRate, f) *
                                              Biquad::LowPass(kRate, 10000, q).MagnitudeAt(kRate, f));
}

}  // namespace

// --- The scale itself, on signals made here ---

TEST(GainScale, ASineThroughAKnownGainReadsThatGain) {
  // The sweep at level L through a plain gain g, captured without delay.
  for (const double level : {0.0, -3.0, -20.0, -40.0}) {
    for (const double g : {1.0, 0.5, 0.1}) {
      std::vector<StereoSample> play(kRate * 2), capture(play.size());
      SweepTable table;
      std::vector<int16_t> envelope;
      GenerateSweep(play, kRate, SignalAmplitude(static_cast<int32_t>(std::lround(level * 10))), table, envelope);
      for (size_t i = 0; i < play.size(); ++i) {
        const auto v = static_cast<int16_t>(std::nearbyint(play[i].Left * g));
        capture[i] = {v, v};
      }
      AnalyseSweep(capture, static_cast<int32_t>(capture.size()), kRate, table.freq, envelope);
      const auto curve = SweepGainCurve(envelope, table.freq, static_cast<int64_t>(envelope.size()), level);
      ASSERT_FALSE(curve.empty());
      for (const GainPoint& p : curve) {
        if (p.frequency < 50 || p.frequency > 20000) continue;
        // The sliding RMS of a sweep ripples by a few hundredths of a dB;
        // an envelope of whole numbers near 16 (-60 dB) adds some more.
        const double tolerance = level + Db(g) < -45 ? 0.1 : 0.05;
        EXPECT_NEAR(p.gainDb, Db(g), tolerance) << "level " << level << ", gain " << g << ", " << p.frequency << " Hz";
      }
    }
  }
}

TEST(GainScale, NoiseThroughAKnownGainReadsThatGainOnAverage) {
  C_FFT fft;
  fft.Init(kFftPoints);
  for (const double level : {-3.0, -30.0}) {
    const double g = 0.25;
    std::vector<StereoSample> play(kRate * 20), capture(play.size());
    GenerateNoise(play, SignalAmplitude(static_cast<int32_t>(std::lround(level * 10))), 1234);
    for (size_t i = 0; i < play.size(); ++i) {
      const auto v = static_cast<int16_t>(std::nearbyint(play[i].Left * g));
      capture[i] = {v, v};
    }
    NoiseSpectrum spectrum;
    for (int32_t start = 0; start + kFftPoints <= static_cast<int32_t>(capture.size()); start += kFftPoints)
      ASSERT_TRUE(NoiseStep(fft, capture, static_cast<int32_t>(capture.size()), start, spectrum));
    // Each bin is a mean of 468 frames (about 0.35 dB apart from frame to
    // frame); the mean over all bins is the gain.
    const auto curve = NoiseGainCurve(spectrum.values, kRate, level);
    ASSERT_EQ(curve.size(), 1023u);
    double sum = 0;
    for (const GainPoint& p : curve) sum += std::pow(10.0, p.gainDb / 20);
    EXPECT_NEAR(Db(sum / static_cast<double>(curve.size())), Db(g), 0.02) << level;
    EXPECT_DOUBLE_EQ(curve[0].frequency, kRate / 2048.0);
    EXPECT_DOUBLE_EQ(curve[1022].frequency, 1023 * kRate / 2048.0);
  }
}

TEST(GainScale, PlayedLevelAndValueMoveTheGainOneForOne) {
  EXPECT_NEAR(SweepGainDb(32767 / std::sqrt(2.0), 0.0), 0.0, 1e-12);
  EXPECT_NEAR(SweepGainDb(32767 / std::sqrt(2.0) / 10, -20.0), 0.0, 1e-12);
  EXPECT_NEAR(SweepGainDb(1000, -10) - SweepGainDb(1000, 0), 10.0, 1e-12);
  // Noise: |Re X| of Gaussian noise averages sqrt(N / pi) times its RMS.
  const double full = 32767 / std::sqrt(2.0) * std::sqrt(2048 / 3.14159265358979323846) / 25.5;
  EXPECT_NEAR(NoiseGainDb(full, 0.0), 0.0, 1e-12);
  EXPECT_NEAR(NoiseGainDb(full / 2, -6.0), Db(0.5) + 6.0, 1e-12);
  // Nothing measured reads the floor, not a number.
  EXPECT_TRUE(std::isfinite(SweepGainDb(0, -3)));
  EXPECT_TRUE(std::isfinite(NoiseGainDb(0, -3)));
}

TEST(GainScale, ASweepCurveSkipsGapsAndReadsWithinItsTables) {
  std::vector<float> freq(48000);
  FillSweepFrequencies(freq, kRate);
  const std::vector<int16_t> whole(freq.size(), 1000);
  std::vector<int16_t> level = whole;
  for (size_t i = 20000; i < 30000; ++i) level[i] = 0;
  const auto full = SweepGainCurve(whole, freq, 48000, -3);
  const auto gap = SweepGainCurve(level, freq, 48000, -3);
  ASSERT_FALSE(full.empty());
  for (const GainPoint& p : full) EXPECT_DOUBLE_EQ(p.gainDb, SweepGainDb(1000, -3));
  EXPECT_LT(gap.size(), full.size());
  for (const GainPoint& p : gap) EXPECT_DOUBLE_EQ(p.gainDb, SweepGainDb(1000, -3));  // no zero pulls a point down
  for (const GainPoint& p : SweepGainCurve(whole, std::span<const float>(freq).first(100), 48000, -3))
    EXPECT_LE(p.frequency, freq[99] * 1.001);
  EXPECT_TRUE(SweepGainCurve(level, freq, 0, -3).empty());
  EXPECT_TRUE(SweepGainCurve(level, freq, -5, -3).empty());
}

// --- Through the loopback simulator: -6 dB in the passband ---

class SimulatorGain : public ::testing::Test {
 protected:
  void SetUp() override {
    measurement::testing::InstallSimulator(now);
    fft.Init(kFftPoints);
    MeasurementRun::Callbacks cb;
    cb.StretchReady = [this](int32_t, int32_t last) {
      if (run.Current().mode == SignalMode::Noise) run.FoldNoiseFrame(fft, MeasurementRun::NoiseFrameStart(last));
    };
    cb.SweepCompleted = [this] { run.AnalyseSweep(); };
    cb.Wait = [](int32_t) {};
    run.SetCallbacks(cb);
  }

  void Measure(SignalMode mode, int levelTenths, int seconds) {
    RunRequest r;
    r.deviceOut = r.deviceIn = WaveMMIO::LoopbackBackend::kDeviceName;
    r.mode = mode;
    r.sampleRate = kRate;
    r.seconds = seconds;
    r.levelTenthsDb = levelTenths;
    ASSERT_TRUE(run.Start(r));
    for (int i = 0; i < 20000 && run.Running(); ++i) {
      *now += 5 * kMs;
      run.Tick();
    }
    ASSERT_FALSE(run.Running());
  }

  std::shared_ptr<int64_t> now = std::make_shared<int64_t>(3'000 * kMs);
  MeasurementRun run;
  C_FFT fft;
};

TEST_F(SimulatorGain, ASweepReadsTheCableAtEveryLevel) {
  for (const int tenths : {0, -30, -200, -400}) {
    Measure(SignalMode::Sweep, tenths, 2);
    const auto curve = SweepGainCurve(run.Current().envelope, run.Current().sweepTable.freq,
                                      static_cast<int64_t>(run.Current().envelope.size()), tenths / 10.0);
    int checked = 0;
    for (const GainPoint& p : curve) {
      // Below a few hundred hertz a 2 s sweep's envelope (four periods
      // long) spreads over the high-pass slope; the passband is flat.
      if (p.frequency < 300 || p.frequency > 5000) continue;
      ++checked;
      // At -40 dB the simulator's noise floor is 34 dB below the envelope.
      EXPECT_NEAR(p.gainDb, CableDb(p.frequency), tenths < -300 ? 0.05 : 0.02)
          << tenths / 10.0 << " dB, " << p.frequency << " Hz";
      if (p.frequency > 900 && p.frequency < 1100) {
        EXPECT_NEAR(p.gainDb, -6.0, tenths < -300 ? 0.05 : 0.01);
      }
    }
    EXPECT_GT(checked, 90) << tenths;
  }
}

TEST_F(SimulatorGain, NoiseReadsTheCableAtEveryLevel) {
  for (const int tenths : {-30, -200}) {
    // A frame every 50 ms or so: over 500 frames in 30 s, each bin's mean good to
    // about 3 %, and the mean over 330 bins to about 0.015 dB.
    Measure(SignalMode::Noise, tenths, 30);
    ASSERT_GT(run.Current().spectrum.count, 500);
    const auto curve = NoiseGainCurve(run.Current().spectrum.values, kRate, tenths / 10.0);
    // Over the passband's bins the measured and the cable's gain agree on average.
    double measured = 0, cable = 0;
    int bins = 0;
    for (const GainPoint& p : curve) {
      if (p.frequency < 200 || p.frequency > 8000) continue;
      measured += std::pow(10.0, p.gainDb / 20);
      cable += std::pow(10.0, CableDb(p.frequency) / 20);
      ++bins;
    }
    ASSERT_GT(bins, 300);
    EXPECT_NEAR(Db(measured / bins), Db(cable / bins), 0.05) << tenths / 10.0 << " dB";
    // So the flat middle, where the cable is -6.0 dB, reads -6.0 dB.
    EXPECT_NEAR(Db(measured / bins) - Db(cable / bins) + CableDb(1000), -6.0, 0.05) << tenths / 10.0 << " dB";
  }
}
