#include "measurement/Recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "audio/Biquad.h"
#include "dsp/C_FFT.h"
#include "measurement/TestSignal.h"

using namespace measurement;
using WaveMMIO::Biquad;

namespace {

std::vector<StereoSample> Sweep(int32_t rate, int32_t seconds, double amplitude) {
  std::vector<StereoSample> play(static_cast<size_t>(rate) * static_cast<size_t>(seconds));
  SweepTable table;
  std::vector<int16_t> level;
  GenerateSweep(play, rate, amplitude, table, level);
  return play;
}

// A recorder's take of played: before seconds of noise, played through the
// filter (when given) and gain, after seconds of noise. A negative before
// starts the recording that far into the signal.
std::vector<StereoSample> Record(const std::vector<StereoSample>& played, int32_t rate, double before, double after,
                                 double gain, double noiseRms, Biquad* filter = nullptr) {
  const auto lead = static_cast<int64_t>(before * rate), tail = static_cast<int64_t>(after * rate);
  std::vector<StereoSample> out;
  std::mt19937_64 rng(5);
  std::normal_distribution<double> gauss(0, noiseRms);
  const auto n = static_cast<int64_t>(played.size());
  for (int64_t i = std::min<int64_t>(-lead, 0); i < n + tail; ++i) {
    double v = i >= 0 && i < n ? played[static_cast<size_t>(i)].Left : 0.0;
    if (filter) v = filter->Process(v);
    if (i < -lead) continue;  // the recorder was not running yet
    v = v * gain + gauss(rng);
    const auto s = static_cast<int16_t>(std::clamp(std::nearbyint(v), -32768.0, 32767.0));
    out.push_back({s, s});
  }
  return out;
}

}  // namespace

TEST(Recording, TheRunsSweepIsKnownAtAnyLevel) {
  for (const double amplitude : {32767.0, 23197.0, 328.0}) EXPECT_TRUE(IsRunSweep(Sweep(8000, 2, amplitude), 8000));
  EXPECT_FALSE(IsRunSweep(Sweep(8000, 2, 20000), 11025));  // another rate's sweep
  std::vector<StereoSample> noise(16000);
  GenerateNoise(noise, 20000, 3);
  EXPECT_FALSE(IsRunSweep(noise, 8000));
  EXPECT_FALSE(IsRunSweep(std::vector<StereoSample>(16000), 8000));
  EXPECT_FALSE(IsRunSweep({}, 8000));
}

TEST(Recording, ThePlayedSignalIsFoundAnywhereInALongRecording) {
  const auto played = Sweep(48000, 2, 23197);
  for (const double before : {0.0, 3.3, 11.0, -0.2}) {
    const auto captured = Record(played, 48000, before, 1, 0.5, 2);
    const std::optional<int64_t> at = LocatePlayed(played, captured, 48000);
    ASSERT_TRUE(at.has_value()) << before;
    EXPECT_NEAR(static_cast<double>(*at), before * 48000, 6) << before;  // within a step of the search's rate
  }
  std::vector<StereoSample> noise(96000);
  GenerateNoise(noise, 20000, 9);
  const std::optional<int64_t> at = LocatePlayed(noise, Record(noise, 48000, 1.25, 0.5, 0.3, 2), 48000);
  ASSERT_TRUE(at.has_value());
  EXPECT_NEAR(static_cast<double>(*at), 60000, 6);
  EXPECT_FALSE(LocatePlayed(played, Record(played, 48000, 2, 1, 0, 2), 48000).has_value());
}

TEST(Recording, ARecordingThatBeganAfterTheSweepIsReadFromThereAndSaysSo) {
  constexpr int32_t kRate = 48000;
  const auto played = Sweep(kRate, 2, 23197);
  // The recorder started 0.5 s into the sweep and ran on for a second.
  const RecordingAnalysis a = AnalyseRecording(played, Record(played, kRate, -0.5, 1, 0.5, 2), kRate);
  ASSERT_TRUE(a.timing.found);
  EXPECT_NEAR(a.timing.start, -0.5 * kRate, 1.0);
  EXPECT_NE(a.verdict.quality, Quality::Good);
  ASSERT_TRUE(a.verdict.Has(Reason::CaptureLate));
  // The sweep played before the recorder started has no level; the rest
  // has, at the recorder's gain (half, -6 dB, of a -3 dB sine's RMS) below
  // the top, where a window of four periods holds few samples.
  const auto lateEntries = static_cast<size_t>(0.5 * kRate);
  ASSERT_EQ(a.level.size(), played.size());
  EXPECT_TRUE(std::all_of(a.level.begin(), a.level.begin() + lateEntries - 2, [](int16_t v) { return v == 0; }));
  int64_t levels = 0;
  for (size_t i = lateEntries + kRate / 10; i < a.level.size() - kRate / 10; ++i) {
    levels += a.level[i] > 0 ? 1 : 0;
    if (a.level[i] > 0 && i < static_cast<size_t>(1.8 * kRate)) {
      EXPECT_NEAR(20 * std::log10(a.level[i] / (0.5 * 23197 / std::sqrt(2.0))), 0, 0.3) << i;
    }
  }
  EXPECT_EQ(levels, static_cast<int64_t>(a.level.size() - lateEntries - kRate / 5));
}

TEST(Recording, ASweepRecordingReadsTheFiltersResponse) {
  constexpr int32_t kRate = 48000;
  const double amplitude = 23197;
  const auto played = Sweep(kRate, 4, amplitude);
  Biquad filter = Biquad::LowPass(kRate, 4000, 1.0);
  const auto captured = Record(played, kRate, 1.5, 1, 0.5, 2, &filter);
  const RecordingAnalysis a = AnalyseRecording(played, captured, kRate);
  EXPECT_EQ(a.mode, SignalMode::Sweep);
  EXPECT_EQ(a.levelTenthsDb, -30);  // 23197 is -3.0 dB of full scale
  ASSERT_TRUE(a.timing.found);
  EXPECT_NEAR(a.timing.start, 1.5 * kRate, 2);  // the filter's own delay is a frame or so
  EXPECT_EQ(a.verdict.quality, Quality::Good);
  ASSERT_EQ(a.level.size(), played.size());
  const Biquad truth = Biquad::LowPass(kRate, 4000, 1.0);
  for (const double f : {30.0, 100.0, 1000.0, 3000.0, 8000.0, 15000.0}) {
    double sum = 0;
    int count = 0;
    for (size_t i = 0; i < a.level.size(); ++i)
      if (a.level[i] > 0 && std::abs(std::log2(a.sweep.freq[i] / f)) < 1 / 48.0) {
        sum += a.level[i];
        ++count;
      }
    ASSERT_GT(count, 0) << f;
    const double expected = amplitude * 0.5 * truth.MagnitudeAt(kRate, f) / std::sqrt(2.0);  // a sine's RMS
    EXPECT_NEAR(20 * std::log10(sum / count / expected), 0, 0.3) << f;
  }
}

TEST(Recording, ANoiseRecordingGivesTheSpectrumWhileItPlayed) {
  constexpr int32_t kRate = 48000;
  std::vector<StereoSample> played(2 * kRate);
  GenerateNoise(played, 23197, 4);
  const RecordingAnalysis a = AnalyseRecording(played, Record(played, kRate, 0.7, 0.5, 0.5, 2), kRate);
  EXPECT_EQ(a.mode, SignalMode::Noise);
  ASSERT_TRUE(a.timing.found);
  EXPECT_NEAR(a.timing.start, 0.7 * kRate, 1);
  EXPECT_EQ(a.verdict.quality, Quality::Good);
  // The same frames of the played signal itself, at half the level.
  C_FFT fft;
  fft.Init(kFftPoints);
  NoiseSpectrum direct;
  for (int32_t s = kRate / 20; s + kFftPoints <= 2 * kRate; s += kRate / 20)
    NoiseStep(fft, played, 2 * kRate, s, direct);
  ASSERT_EQ(a.spectrum.count, direct.count);
  double ours = 0, theirs = 0;
  for (int k = 40; k < 1000; ++k) {
    ours += a.spectrum.values[static_cast<size_t>(k)];
    theirs += direct.values[static_cast<size_t>(k)];
  }
  EXPECT_NEAR(20 * std::log10(ours / theirs), -6.02, 0.1);
}

TEST(Recording, ARecordingWithoutTheSignalIsBad) {
  const auto played = Sweep(48000, 2, 23197);
  const RecordingAnalysis a = AnalyseRecording(played, Record(played, 48000, 1, 1, 0, 2), 48000);
  EXPECT_FALSE(a.timing.found);
  EXPECT_EQ(a.verdict.quality, Quality::Bad);
  EXPECT_TRUE(a.verdict.Has(Reason::NoSignal));
  EXPECT_TRUE(std::all_of(a.level.begin(), a.level.end(), [](int16_t v) { return v == 0; }));
}
