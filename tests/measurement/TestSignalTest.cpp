#include "measurement/TestSignal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/C_FFT.h"
#include "support/Decibels.h"

using namespace measurement;
using WaveMMIO::StereoSample;

namespace {

TEST(TestSignalTest, AmplitudeFollowsTheLevel) {
  EXPECT_NEAR(SignalAmplitude(-30), 23197, 1);
  EXPECT_NEAR(SignalAmplitude(-600), 32.8, 0.05);
  EXPECT_EQ(SignalAmplitude(0), 32767.0);
}

TEST(TestSignalTest, SweepTableAndSamples) {
  std::vector<StereoSample> play(441000);
  SweepTable table;
  std::vector<int16_t> level(5, 7);
  GenerateSweep(play, 44100, SignalAmplitude(0), table, level);
  EXPECT_EQ(table.freq[0], 10.0f);
  EXPECT_LT(table.freq.back(), 22050.0f);
  EXPECT_GT(table.freq.back(), 22049.0f);
  EXPECT_EQ(table.keyRate, 44100);
  EXPECT_EQ(table.keyCount, 441000);
  EXPECT_EQ(level.size(), 441000u);
  EXPECT_TRUE(std::all_of(level.begin(), level.end(), [](int16_t v) { return v == 0; }));
  // The phase is one step in at sample 0, and accumulates with the rounded frequency.
  EXPECT_EQ(play[0].Left, static_cast<int16_t>(std::nearbyint(std::sin(10.0 * 6.28318530717958 / 44100) * 32767)));
  int16_t peak = 0, trough = 0;
  for (const auto& s : play) {
    ASSERT_EQ(s.Left, s.Right);
    peak = std::max(peak, s.Left);
    trough = std::min(trough, s.Left);
  }
  EXPECT_EQ(peak, 32767);
  EXPECT_EQ(trough, -32767);
}

TEST(TestSignalTest, NoiseStartsAtZeroDiffersEachRunAndIsWhite) {
  const int rate = 48000;
  std::vector<StereoSample> a(10 * rate), b(10 * rate);
  GenerateNoise(a, SignalAmplitude(-30), ClockSeed());
  GenerateNoise(b, SignalAmplitude(-30), ClockSeed());
  EXPECT_EQ(a[0].Left, 0);
  EXPECT_EQ(a[0].Right, 0);
  EXPECT_NE(std::vector<int16_t>({a[1].Left, a[2].Left, a[3].Left, a[100].Left}),
            std::vector<int16_t>({b[1].Left, b[2].Left, b[3].Left, b[100].Left}));

  // The averaged magnitude spectrum is flat: every octave band within 1.5 dB of the mean.
  C_FFT fft;
  fft.Init(2048);
  std::vector<double> power(1025, 0.0);
  int frames = 0;
  for (size_t start = 2048; start + 2048 <= a.size(); start += 2048, ++frames) {
    for (int i = 0; i < 2048; ++i) fft.SetRealIn(i, a[start + static_cast<size_t>(i)].Left);
    fft.FourierTransform();
    for (int k = 0; k < 1025; ++k) power[static_cast<size_t>(k)] += std::abs(fft.RealOut(k));
  }
  const auto bandMean = [&](double lo, double hi) {
    double s = 0;
    int n = 0;
    for (int k = 1; k <= 1024; ++k) {
      const double f = k * rate / 2048.0;
      if (f >= lo && f < hi) {
        s += power[static_cast<size_t>(k)];
        ++n;
      }
    }
    return s / n;
  };
  const double overall = bandMean(100, 20000);
  for (double lo = 100; lo < 20000; lo *= 2) {
    const double hi = std::min(lo * 2, 20000.0);
    EXPECT_NEAR(basic::LinToDb(bandMean(lo, hi) / overall), 0.0, 1.5) << lo << " Hz";
  }
}

}  // namespace
