// Finding how late the played sweep arrives in the capture.
#include "measurement/PathDelay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "audio/Biquad.h"
#include "measurement/TestSignal.h"

using namespace measurement;
using WaveMMIO::Biquad;

namespace {

struct Sweep {
  Sweep(int32_t rate, int32_t seconds) : rate(rate), play(static_cast<size_t>(rate) * seconds) {
    GenerateSweep(play, rate, SignalAmplitude(-30), table, level);
  }
  // The played sweep delayed by delay frames (either sign) and scaled.
  std::vector<StereoSample> Delayed(int64_t delay, double gain) const {
    std::vector<StereoSample> capture(play.size());
    for (int64_t j = 0; j < static_cast<int64_t>(capture.size()); ++j) {
      const int64_t b = j - delay;
      if (b < 0 || b >= static_cast<int64_t>(play.size())) continue;
      const auto v = static_cast<int16_t>(std::nearbyint(gain * play[static_cast<size_t>(b)].Left));
      capture[static_cast<size_t>(j)] = {v, v};
    }
    return capture;
  }
  int32_t rate;
  std::vector<StereoSample> play;
  SweepTable table;
  std::vector<int16_t> level;
};

TEST(PathDelayTest, SearchesAQuarterOfAShortRunAndAtMostOnePointTwoSeconds) {
  EXPECT_EQ(DelaySearchFrames(48000, 2 * 48000), 24000);
  EXPECT_EQ(DelaySearchFrames(8000, 4 * 8000), 8000);
  EXPECT_EQ(DelaySearchFrames(48000, 10 * 48000), 57600);
  EXPECT_EQ(DelaySearchFrames(192000, 30 * 192000), 230400);
  EXPECT_EQ(DelaySearchFrames(0, 100), 0);
}

TEST(PathDelayTest, APureDelayIsFoundToTheFrameAtEveryRateAndEitherSign) {
  for (const int32_t rate : {8000, 11025, 44100, 48000, 96000, 192000}) {
    const Sweep sweep(rate, 2);
    const int32_t search = DelaySearchFrames(rate, static_cast<int64_t>(sweep.play.size()));
    for (const int64_t delay : {int64_t{0}, int64_t{37}, -int64_t{rate} / 25, int64_t{search} - 3}) {
      const PathDelay found = FindPathDelay(sweep.play, sweep.Delayed(delay, 0.5), rate, sweep.table.freq);
      ASSERT_TRUE(found.found) << rate << " Hz, delay " << delay;
      EXPECT_EQ(found.frames, delay) << rate << " Hz";
      EXPECT_GT(found.clarity, 20.0);
    }
  }
}

TEST(PathDelayTest, AnInvertedBandLimitedPathIsFound) {
  // A tweeter-like path: only 2 kHz and up, polarity inverted, 123 frames late.
  const int32_t rate = 48000;
  const Sweep sweep(rate, 3);
  const double q = 1 / std::sqrt(2.0);
  Biquad hp = Biquad::HighPass(rate, 2000, q);
  std::vector<StereoSample> capture(sweep.play.size());
  for (size_t j = 123; j < capture.size(); ++j) {
    const auto v = static_cast<int16_t>(std::nearbyint(-hp.Process(sweep.play[j - 123].Left)));
    capture[j] = {v, v};
  }
  const PathDelay found = FindPathDelay(sweep.play, capture, rate, sweep.table.freq);
  ASSERT_TRUE(found.found);
  EXPECT_NEAR(found.frames, 123, 2);
}

TEST(PathDelayTest, SilenceOrNoiseAloneIsNotADelay) {
  const int32_t rate = 48000;
  const Sweep sweep(rate, 2);
  const std::vector<StereoSample> silence(sweep.play.size());
  PathDelay found = FindPathDelay(sweep.play, silence, rate, sweep.table.freq);
  EXPECT_FALSE(found.found);
  EXPECT_EQ(found.frames, 0);

  std::mt19937 rng(11);
  for (const double sigma : {3.0, 300.0, 10000.0}) {
    std::normal_distribution<double> noise(0, sigma);
    std::vector<StereoSample> capture(sweep.play.size());
    for (auto& s : capture) s.Left = static_cast<int16_t>(std::clamp(std::nearbyint(noise(rng)), -32768.0, 32767.0));
    found = FindPathDelay(sweep.play, capture, rate, sweep.table.freq);
    EXPECT_FALSE(found.found) << sigma << ": clarity " << found.clarity;
    EXPECT_LT(found.clarity, kDelayClarity);
  }
  // Nothing played: nothing to find, whatever came in.
  EXPECT_FALSE(FindPathDelay(silence, sweep.play, rate, sweep.table.freq).found);
  // Too short to search.
  EXPECT_FALSE(FindPathDelay(std::span(sweep.play).first(10), std::span(sweep.play).first(10), rate).found);
}

TEST(PathDelayTest, ASweepBuriedInNoiseIsStillFound) {
  // The sweep 20 dB under the noise: the deconvolution gains what the noise spreads.
  const int32_t rate = 44100;
  const Sweep sweep(rate, 4);
  std::vector<StereoSample> capture = sweep.Delayed(2500, 0.05);
  std::mt19937 rng(3);
  std::normal_distribution<double> noise(0, 10 * 0.05 * SignalAmplitude(-30) / std::sqrt(2.0));
  for (auto& s : capture)
    s.Left = static_cast<int16_t>(std::clamp(s.Left + std::nearbyint(noise(rng)), -32768.0, 32767.0));
  const PathDelay found = FindPathDelay(sweep.play, capture, rate, sweep.table.freq);
  ASSERT_TRUE(found.found) << found.clarity;
  EXPECT_NEAR(found.frames, 2500, 2);
}

}  // namespace

#include <chrono>
#include <thread>

#include "audio/PortAudioBackend.h"

namespace {

// Through the real sound server (scripts/test starts a private one whose
// null sink's monitor is the default input): a click played at a known frame
// after the sweep turns up in the capture where the delay says.
TEST(PathDelayRealDevice, AClickArrivesWhereTheDelaySays) {
  using namespace WaveMMIO;
  PortAudioBackend backend;
  if (!backend.Available() || backend.DeviceCount(Direction::Output) == 0 || backend.DeviceCount(Direction::Input) == 0)
    GTEST_SKIP() << "no sound device or sound server here (scripts/test starts one)";
  constexpr int32_t kRate = 48000;
  const Sweep sweep(kRate, 2);
  const size_t n = 3 * kRate, click = 5 * kRate / 2;
  std::vector<StereoSample> play(n), rec(n);
  std::copy(sweep.play.begin(), sweep.play.end(), play.begin());
  play[click] = {30000, 30000};

  std::unique_ptr<SoundStream> in, out;
  ASSERT_EQ(backend.Open(Direction::Input, std::max(0, backend.DefaultDevice(Direction::Input)), kRate, in),
            DeviceError::None);
  ASSERT_EQ(backend.Open(Direction::Output, std::max(0, backend.DefaultDevice(Direction::Output)), kRate, out),
            DeviceError::None);
  ASSERT_EQ(in->Queue(rec.data(), static_cast<uint32_t>(n)), DeviceError::None);
  ASSERT_EQ(out->Queue(play.data(), static_cast<uint32_t>(n)), DeviceError::None);
  ASSERT_EQ(in->Start(), DeviceError::None);
  // Real devices run in real time: poll until both are done, with a generous limit.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!(in->Done() && out->Done()) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(in->Done() && out->Done());
  in->Close();
  out->Close();

  const PathDelay found = FindPathDelay(play, rec, kRate, sweep.table.freq);
  ASSERT_TRUE(found.found) << "clarity " << found.clarity;
  size_t loudest = 0;
  for (size_t j = 0; j < n; ++j)
    if (std::abs(rec[j].Left) > std::abs(rec[loudest].Left)) loudest = j;
  std::printf("delay %d frames, click at capture frame %zu\n", found.frames, loudest);
  EXPECT_NEAR(static_cast<double>(loudest), static_cast<double>(click) + found.frames, 2.0);
}

}  // namespace
