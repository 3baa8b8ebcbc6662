// Real sound devices through PortAudio. The test script provides a sound
// server with a null sink whose monitor is the default input, so what is
// played comes back on the input; where no device can be had the tests skip.
#include "audio/PortAudioBackend.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

using namespace WaveMMIO;

namespace {

using Complex = std::complex<double>;

void Fft(std::vector<Complex>& a, bool inverse) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const double ang = 2 * std::numbers::pi / static_cast<double>(len) * (inverse ? 1 : -1);
    const Complex wl(std::cos(ang), std::sin(ang));
    for (size_t i = 0; i < n; i += len) {
      Complex w(1);
      for (size_t k = 0; k < len / 2; ++k, w *= wl) {
        const Complex u = a[i + k], v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
      }
    }
  }
  if (inverse)
    for (auto& x : a) x /= static_cast<double>(n);
}

// Lag (in frames) at which probe best matches inside capture, by cross-correlation.
size_t BestLag(const std::vector<double>& capture, const std::vector<double>& probe) {
  size_t n = 1;
  while (n < capture.size() + probe.size()) n <<= 1;
  std::vector<Complex> a(n), b(n);
  for (size_t i = 0; i < capture.size(); ++i) a[i] = capture[i];
  for (size_t i = 0; i < probe.size(); ++i) b[i] = probe[i];
  Fft(a, false);
  Fft(b, false);
  for (size_t i = 0; i < n; ++i) a[i] *= std::conj(b[i]);
  Fft(a, true);
  size_t best = 0;
  for (size_t lag = 0; lag + probe.size() <= capture.size(); ++lag)
    if (a[lag].real() > a[best].real()) best = lag;
  return best;
}

double CorrelationAt(const std::vector<double>& capture, const std::vector<double>& probe, size_t lag) {
  double xy = 0, xx = 0, yy = 0;
  for (size_t i = 0; i < probe.size() && lag + i < capture.size(); ++i) {
    xy += probe[i] * capture[lag + i];
    xx += probe[i] * probe[i];
    yy += capture[lag + i] * capture[lag + i];
  }
  return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
}

// Opens the default output and input at rate, queues play and rec on them
// and starts them. The buffers must outlive the streams.
void PlayAndRecord(PortAudioBackend& backend, int rate, std::vector<StereoSample>& play, std::vector<StereoSample>& rec,
                   std::unique_ptr<SoundStream>& in, std::unique_ptr<SoundStream>& out) {
  const int outId = std::max(0, backend.DefaultDevice(Direction::Output));
  const int inId = std::max(0, backend.DefaultDevice(Direction::Input));
  ASSERT_EQ(backend.Open(Direction::Input, inId, rate, in), DeviceError::None);
  ASSERT_EQ(backend.Open(Direction::Output, outId, rate, out), DeviceError::None);
  ASSERT_EQ(in->Queue(rec.data(), static_cast<uint32_t>(rec.size())), DeviceError::None);
  ASSERT_EQ(out->Queue(play.data(), static_cast<uint32_t>(play.size())), DeviceError::None);
  ASSERT_EQ(in->Start(), DeviceError::None);
}

TEST(PortAudioDevices, StartingAndStoppingPrintsNothingOnStderr) {
  // ALSA and JACK report every device they probe; none of that may reach the user.
  char path[] = "/tmp/zarin-stderr-XXXXXX";
  const int file = mkstemp(path);
  ASSERT_GE(file, 0);
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  dup2(file, STDERR_FILENO);
  { PortAudioBackend backend; }
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  const off_t size = lseek(file, 0, SEEK_END);
  close(file);
  unlink(path);
  EXPECT_EQ(size, 0);
}

TEST(PortAudioDevices, NoisePlayedOnTheOutputIsFoundInTheCapture) {
  PortAudioBackend backend;
  if (!backend.Available()) GTEST_SKIP() << "PortAudio could not start here";
  if (backend.DeviceCount(Direction::Output) == 0 || backend.DeviceCount(Direction::Input) == 0)
    GTEST_SKIP() << "no sound device or sound server here (scripts/test starts one)";
  for (int i = 0; i < backend.DeviceCount(Direction::Output); ++i)
    std::printf("output %d: %s\n", i, backend.DeviceName(Direction::Output, i).c_str());
  constexpr int kRate = 48000;
  // 1.5 s of noise after 0.2 s of silence; the capture is long enough for the
  // sound server's start-up stall.
  std::vector<StereoSample> play(3 * kRate), rec(7 * kRate);
  std::vector<double> probe(3 * kRate / 2);
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> dist(-12000, 12000);
  for (size_t i = 0; i < probe.size(); ++i) {
    const auto v = static_cast<int16_t>(dist(rng));
    probe[i] = v;
    play[kRate / 5 + i] = {v, v};
  }

  std::unique_ptr<SoundStream> in, out;
  ASSERT_NO_FATAL_FAILURE(PlayAndRecord(backend, kRate, play, rec, in, out));

  // Real devices run in real time: wait for both buffers, with a generous limit.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  int64_t last = 0;
  while (!(in->Done() && out->Done()) && std::chrono::steady_clock::now() < deadline) {
    int64_t pos = 0;
    ASSERT_EQ(in->Position(pos), DeviceError::None);
    EXPECT_GE(pos, last);
    EXPECT_LE(pos, static_cast<int64_t>(rec.size()));
    last = pos;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(in->Done());
  ASSERT_TRUE(out->Done());
  int64_t pos = 0;
  EXPECT_EQ(in->Position(pos), DeviceError::None);
  EXPECT_EQ(pos, static_cast<int64_t>(rec.size()));
  EXPECT_EQ(in->Unprepare(), DeviceError::None);
  EXPECT_EQ(out->Unprepare(), DeviceError::None);
  EXPECT_EQ(in->Close(), DeviceError::None);
  EXPECT_EQ(out->Close(), DeviceError::None);

  std::vector<double> capture(rec.size());
  for (size_t i = 0; i < rec.size(); ++i) capture[i] = rec[i].Left;
  const size_t lag = BestLag(capture, probe);
  const double r = CorrelationAt(capture, probe, lag);
  std::printf("noise found %zu frames into the capture, correlation %.3f\n", lag, r);
  EXPECT_GT(r, 0.8);
}

TEST(PortAudioDevices, TheLastFramesPlayedReachTheCapture) {
  // Sound handed to the host is still in its buffers (a sound server's, a
  // converter's) when the playback's last frame has been taken: the output
  // runs on until the run closes it, so none of it is cut off.
  PortAudioBackend backend;
  if (!backend.Available()) GTEST_SKIP() << "PortAudio could not start here";
  if (backend.DeviceCount(Direction::Output) == 0 || backend.DeviceCount(Direction::Input) == 0)
    GTEST_SKIP() << "no sound device or sound server here (scripts/test starts one)";
  constexpr int kRate = 48000;
  // Noise in the playback's last half second, right up to its last frame.
  std::vector<StereoSample> play(2 * kRate), rec(5 * kRate);
  std::vector<double> noise(kRate / 2), last(kRate / 50);
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> dist(-12000, 12000);
  const size_t noiseFirst = play.size() - kRate / 2;
  for (size_t i = noiseFirst; i < play.size(); ++i) {
    const auto v = static_cast<int16_t>(dist(rng));
    play[i] = {v, v};
  }
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = play[noiseFirst + i].Left;
  for (size_t i = 0; i < last.size(); ++i) last[i] = play[play.size() - last.size() + i].Left;

  std::unique_ptr<SoundStream> in, out;
  ASSERT_NO_FATAL_FAILURE(PlayAndRecord(backend, kRate, play, rec, in, out));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!(in->Done() && out->Done()) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(in->Done());
  ASSERT_TRUE(out->Done());
  EXPECT_EQ(in->Close(), DeviceError::None);
  EXPECT_EQ(out->Close(), DeviceError::None);

  std::vector<double> capture(rec.size());
  for (size_t i = 0; i < rec.size(); ++i) capture[i] = rec[i].Left;
  const size_t lag = BestLag(capture, noise);
  ASSERT_GT(CorrelationAt(capture, noise, lag), 0.5);
  // The last 20 ms where the noise before them says they belong.
  const double r = CorrelationAt(capture, last, lag + noise.size() - last.size());
  std::printf("noise found %zu frames into the capture; its last %zu frames correlate %.3f\n", lag, last.size(), r);
  EXPECT_GT(r, 0.9);
}

TEST(PortAudioDevices, ClosingWhileRunningStopsTouchingTheBuffer) {
  PortAudioBackend backend;
  if (!backend.Available() || backend.DeviceCount(Direction::Input) == 0)
    GTEST_SKIP() << "no sound input here (scripts/test starts a sound server)";
  std::unique_ptr<SoundStream> in;
  ASSERT_EQ(backend.Open(Direction::Input, std::max(0, backend.DefaultDevice(Direction::Input)), 48000, in),
            DeviceError::None);
  auto rec = std::make_unique<std::vector<StereoSample>>(48000 * 10);
  ASSERT_EQ(in->Queue(rec->data(), static_cast<uint32_t>(rec->size())), DeviceError::None);
  ASSERT_EQ(in->Start(), DeviceError::None);
  EXPECT_EQ(in->Unprepare(), DeviceError::StillPlaying);
  EXPECT_EQ(in->Reset(), DeviceError::None);
  EXPECT_TRUE(in->Done());
  EXPECT_EQ(in->Close(), DeviceError::None);
  rec.reset();  // freeing it now must be safe (the sanitizer would see a late write)
  EXPECT_EQ(in->Close(), DeviceError::NotOpen);
}

}  // namespace
