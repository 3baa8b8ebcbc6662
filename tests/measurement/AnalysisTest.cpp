#include "measurement/Analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "dsp/C_FFT.h"
#include "measurement/GraphScale.h"
#include "measurement/TestSignal.h"
#include "support/Decibels.h"

using namespace measurement;
using WaveMMIO::StereoSample;

namespace {

std::vector<StereoSample> RandomCapture(size_t frames, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> dist(-20000, 20000);
  std::vector<StereoSample> v(frames);
  for (auto& s : v) s = {static_cast<int16_t>(dist(rng)), static_cast<int16_t>(dist(rng))};
  return v;
}

TEST(NoiseStepTest, FirstFrameIsTheBinsAndTheSecondTheMeanOfTwo) {
  C_FFT fft;
  fft.Init(kFftPoints);
  const auto capture = RandomCapture(20000, 5);
  NoiseSpectrum spectrum;
  ASSERT_TRUE(NoiseStep(fft, capture, 20000, 100, spectrum));
  EXPECT_EQ(spectrum.count, 1);
  std::vector<double> first(kSpectrumBins);
  for (int k = 0; k < kSpectrumBins; ++k) {
    first[static_cast<size_t>(k)] = std::abs(fft.RealOut(k)) / 25.5;
    ASSERT_EQ(spectrum.values[static_cast<size_t>(k)], static_cast<float>(first[static_cast<size_t>(k)])) << k;
  }
  EXPECT_EQ(spectrum.values[1025], 0.0f);  // above bin 1024 nothing is computed
  const std::vector<float> afterOne(spectrum.values.begin(), spectrum.values.end());
  ASSERT_TRUE(NoiseStep(fft, capture, 20000, 5000, spectrum));
  EXPECT_EQ(spectrum.count, 2);
  for (int k = 0; k < kSpectrumBins; ++k) {
    const double second = std::abs(fft.RealOut(k)) / 25.5;
    const float expected = static_cast<float>(0.5 * afterOne[static_cast<size_t>(k)] + 0.5 * second);
    ASSERT_EQ(spectrum.values[static_cast<size_t>(k)], expected) << k;
  }
}

TEST(NoiseStepTest, OnlyFramesWhollyCapturedAreRead) {
  C_FFT fft;
  fft.Init(kFftPoints);
  const int32_t total = 10000;
  auto capture = RandomCapture(total, 6);
  NoiseSpectrum spectrum;
  // 5000 frames captured so far: a frame reaching frame 5000 waits.
  EXPECT_FALSE(NoiseStep(fft, capture, 5000, 5000 - 2047, spectrum));
  EXPECT_FALSE(NoiseStep(fft, capture, 5000, 4000, spectrum));
  EXPECT_FALSE(NoiseStep(fft, capture, 5000, -1, spectrum));
  EXPECT_EQ(spectrum.count, 0);
  EXPECT_EQ(spectrum.values[3], 0.0f);
  // What lies beyond the captured frames never shows in the result.
  for (size_t i = 5000; i < capture.size(); ++i) capture[i] = {32767, 32767};
  EXPECT_TRUE(NoiseStep(fft, capture, 5000, 5000 - 2048, spectrum));
  NoiseSpectrum clean;
  const auto original = RandomCapture(total, 6);
  EXPECT_TRUE(NoiseStep(fft, original, 5000, 5000 - 2048, clean));
  EXPECT_EQ(spectrum.values, clean.values);
  // The last frame of a whole capture counts.
  EXPECT_TRUE(NoiseStep(fft, capture, total, total - 2048, spectrum));
  // A capture shorter than it claims is never read past its end.
  EXPECT_FALSE(NoiseStep(fft, std::span(capture).first(3000), total, 2000, spectrum));
}

TEST(SweepTableTest, RisesFromTenHertzTowardsNyquistAndIsMadeOnce) {
  SweepTable table;
  EXPECT_TRUE(MakeSweepFreqTable(table, 48000, 480000));
  ASSERT_EQ(table.freq.size(), 480000u);
  EXPECT_EQ(table.freq[0], 10.0f);
  for (size_t i = 1; i < table.freq.size(); ++i) ASSERT_GE(table.freq[i], table.freq[i - 1]) << i;
  EXPECT_LT(table.freq.back(), 24000.0f);
  EXPECT_GT(table.freq.back(), 23999.0f);
  table.freq[7] = -1;  // would be rebuilt if it were computed again
  EXPECT_FALSE(MakeSweepFreqTable(table, 48000, 480000));
  EXPECT_EQ(table.freq[7], -1.0f);
  EXPECT_TRUE(MakeSweepFreqTable(table, 44100, 441000));
  EXPECT_EQ(table.freq[0], 10.0f);
  EXPECT_LT(table.freq.back(), 22050.0f);
}

TEST(SweepTableTest, EveryEntryIsTheFormulaToTheLastBit) {
  for (int32_t rate : {8000, 44100, 192000}) {
    SweepTable table;
    MakeSweepFreqTable(table, rate, rate * 2);
    size_t off = 0;
    for (int32_t i = 0; i < rate * 2; ++i) {
      const float exact = SweepFrequency(rate, rate * 2, i);
      const float got = table.freq[static_cast<size_t>(i)];
      if (got != exact) {
        ++off;
        ASSERT_EQ(std::nextafter(got, exact), exact) << "more than one unit apart at " << i;
      }
    }
    EXPECT_LE(off, 2u) << rate;  // a value on a rounding boundary may land on its neighbour
  }
}

TEST(AnalyseSweepTest, EnvelopeIsClampedAndItsTailLeftAlone) {
  const int32_t rate = 8000, n = 16000;
  SweepTable table;
  MakeSweepFreqTable(table, rate, n);
  std::vector<StereoSample> capture(static_cast<size_t>(n), StereoSample{-32768, 0});  // clipped flat out
  std::vector<int16_t> level(static_cast<size_t>(n), 1234);
  AnalyseSweep(capture, n, rate, table.freq, level);
  int written = 0;
  for (int16_t v : level) {
    ASSERT_LE(v, 32767);
    written += v == 32767;
  }
  EXPECT_GT(written, n / 2);
  // Half a window at the end keeps what it had: L/2 is 2 * rate / f there.
  const int half = static_cast<int>(2.0 * rate / table.freq.back());
  EXPECT_EQ(level[static_cast<size_t>(n - 1)], 1234);
  EXPECT_EQ(level[static_cast<size_t>(n - half + 1)], 1234);
  EXPECT_EQ(level[static_cast<size_t>(n - half - 2)], 32767);
  EXPECT_EQ(level[0], 32767);  // the first write reaches back to entry 0
}

// A capture delayed by d frames, analysed with delay d, gives the envelope
// of the undelayed capture wherever the delayed one reaches; the rest keeps
// its value.
TEST(AnalyseSweepTest, AnAlignedCaptureGivesTheEnvelopeOfTheUndelayedOne) {
  const int32_t rate = 8000, n = 16000;
  SweepTable table;
  std::vector<int16_t> reference;
  std::vector<StereoSample> play(static_cast<size_t>(n));
  GenerateSweep(play, rate, 10000, table, reference);
  AnalyseSweep(play, n, rate, table.freq, reference);
  for (const int32_t d : {300, -300}) {
    std::vector<StereoSample> capture(static_cast<size_t>(n));
    for (int32_t j = 0; j < n; ++j)
      if (j - d >= 0 && j - d < n) capture[static_cast<size_t>(j)] = play[static_cast<size_t>(j - d)];
    std::vector<int16_t> level(static_cast<size_t>(n), 777);
    AnalyseSweep(capture, n, rate, table.freq, level, d);
    const int32_t first = std::max(0, -d), end = std::min(n, n - d);
    for (int32_t b = 0; b < first; ++b) ASSERT_EQ(level[static_cast<size_t>(b)], 777) << d << " at " << b;
    for (int32_t b = end; b < n; ++b) ASSERT_EQ(level[static_cast<size_t>(b)], 777) << d << " at " << b;
    // Inside, the envelope is the undelayed one where its window lies wholly in the aligned capture.
    for (int32_t b = first; b < end; b += 37) {
      const double window = 4.0 * rate / table.freq[static_cast<size_t>(b)];
      if (b - first < window || end - b < window) continue;
      ASSERT_NEAR(level[static_cast<size_t>(b)], reference[static_cast<size_t>(b)], 1) << d << " at " << b;
    }
  }
  // Without a delay it is the plain analysis to the bit.
  std::vector<int16_t> plain(static_cast<size_t>(n), 5), zero(static_cast<size_t>(n), 5);
  AnalyseSweep(play, n, rate, table.freq, plain);
  AnalyseSweep(play, n, rate, table.freq, zero, 0);
  EXPECT_EQ(plain, zero);
  // A delay as long as the capture leaves everything alone.
  std::vector<int16_t> untouched(static_cast<size_t>(n), 9);
  AnalyseSweep(play, n, rate, table.freq, untouched, n);
  AnalyseSweep(play, n, rate, table.freq, untouched, -n - 5);
  EXPECT_EQ(untouched, std::vector<int16_t>(static_cast<size_t>(n), 9));
}

TEST(AnalyseSweepTest, ASineOfKnownAmplitudeGivesItsRms) {
  const int32_t rate = 8000, n = 16000;
  SweepTable table;
  std::vector<int16_t> level;
  std::vector<StereoSample> play(static_cast<size_t>(n));
  GenerateSweep(play, rate, 10000, table, level);
  AnalyseSweep(play, n, rate, table.freq, level);
  for (int i = n / 4; i < n * 3 / 4; i += 97)
    ASSERT_NEAR(level[static_cast<size_t>(i)], 10000 / std::sqrt(2.0), 200) << i;
  // Inputs that do not fit each other are not read past their ends.
  std::vector<int16_t> small(10, 0);
  AnalyseSweep(play, n * 2, rate, std::span(table.freq).first(100), small);
}

// The sweep through a known filter, analysed: the envelope follows the
// filter's magnitude.
TEST(AnalyseSweepTest, RecoversAFilterResponseWithinHalfADecibel) {
  const int32_t rate = 48000, n = 10 * rate;
  SweepTable table;
  std::vector<int16_t> level;
  std::vector<StereoSample> play(static_cast<size_t>(n));
  const double amplitude = SignalAmplitude(-30);
  GenerateSweep(play, rate, amplitude, table, level);
  // Butterworth band-pass (100 Hz high-pass, 10 kHz low-pass) and -6 dB.
  const double q = 1 / std::sqrt(2.0);
  struct Section {
    double b0, b1, b2, a1, a2, z1 = 0, z2 = 0;
    double Run(double x) {
      const double y = b0 * x + z1;
      z1 = b1 * x - a1 * y + z2;
      z2 = b2 * x - a2 * y;
      return y;
    }
  };
  const auto make = [&](double f0, bool high) {
    const double w = 2 * std::numbers::pi * f0 / rate, c = std::cos(w), al = std::sin(w) / (2 * q), a0 = 1 + al;
    const double b0 = (high ? (1 + c) : (1 - c)) / 2 / a0;
    return Section{b0, (high ? -(1 + c) : (1 - c)) / a0, b0, -2 * c / a0, (1 - al) / a0};
  };
  Section hp = make(100, true), lp = make(10000, false);
  std::vector<StereoSample> capture(static_cast<size_t>(n));
  for (size_t i = 0; i < capture.size(); ++i) {
    const auto v = static_cast<int16_t>(std::nearbyint(0.5 * lp.Run(hp.Run(play[i].Left))));
    capture[i] = {v, v};
  }
  AnalyseSweep(capture, n, rate, table.freq, level);
  const double reference = amplitude / std::sqrt(2.0);
  const auto magnitude = [&](double f) {
    const double h = 1 / std::sqrt(1 + std::pow(100 / f, 4));
    const double wl = std::tan(std::numbers::pi * 10000 / rate), wf = std::tan(std::numbers::pi * f / rate);
    const double l = 1 / std::sqrt(1 + std::pow(wf / wl, 4));  // bilinear-warped Butterworth
    return 0.5 * h * l;
  };
  for (double f : {100.0, 1000.0, 10000.0}) {
    size_t i = 0;
    while (table.freq[i] < f) ++i;
    const double got = basic::LinToDb(level[i] / reference);
    EXPECT_NEAR(got, basic::LinToDb(magnitude(f)), 0.5) << f << " Hz";
  }
}

TEST(SpectrumScaleTest, EdgesOfTheAxes) {
  const SpectrumScale s(600, 300, 48000, -6.0f);
  EXPECT_EQ(s.Nyquist, 24000);
  EXPECT_NEAR(s.SpanDb, -67.6, 0.05);
  EXPECT_EQ(s.X(10), 0);
  EXPECT_EQ(s.X(24000), 600);
  EXPECT_LT(s.X(5), 0);
  EXPECT_EQ(s.XOfBin(1024), 600);
  EXPECT_EQ(s.Y(0), 300);
  EXPECT_EQ(s.Y(32767), 0);
  EXPECT_EQ(s.GridY(6), 0);
  EXPECT_EQ(s.GridY(0), static_cast<int>(std::nearbyint(300 - 300 * basic::DbToLin(-6))));
  EXPECT_EQ(SpectrumScale(600, 300, 11025, -6).Nyquist, 5512);  // 5512.5 rounds to even
}

TEST(SpectrumScaleTest, XToFrequencyInvertsTheAxis) {
  EXPECT_NEAR(XToFrequency(0, 640, 48000, 15), 10.0f, 1e-4);
  EXPECT_NEAR(XToFrequency(640 * 15, 640, 48000, 15), 24000.0f, 0.01);
  const SpectrumScale s(640, 100, 48000, -6);
  EXPECT_NEAR(s.X(XToFrequency(320 * 15, 640, 48000, 15)), 320, 1);
  EXPECT_EQ(XToFrequency(10, 0, 48000, 15), 0.0f);
}

}  // namespace
