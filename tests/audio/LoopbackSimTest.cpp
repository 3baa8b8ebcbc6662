#include "audio/LoopbackSim.h"

#include <QSettings>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "audio/Biquad.h"

using namespace WaveMMIO;

namespace {

constexpr int64_t kSecond = 1'000'000'000;

// Both simulated devices, driven by a clock the test steps.
struct Rig {
  explicit Rig(uint64_t seed = 1) : backend([clock = now] { return *clock; }, seed) {}

  void Open(int rate) {
    ASSERT_EQ(backend.Open(Direction::Input, 0, rate, in), DeviceError::None);
    ASSERT_EQ(backend.Open(Direction::Output, 0, rate, out), DeviceError::None);
  }
  // Queues both buffers; playback starts now, capture after startDelay.
  void Run(int64_t startDelayNs = 0) {
    ASSERT_EQ(in->Queue(rec.data(), static_cast<uint32_t>(rec.size())), DeviceError::None);
    ASSERT_EQ(out->Queue(play.data(), static_cast<uint32_t>(play.size())), DeviceError::None);
    Step(startDelayNs);
    ASSERT_EQ(in->Start(), DeviceError::None);
  }
  // A second of silence played and captured at 48 kHz, both started now.
  void RunSilentSecond() {
    Open(48000);
    play.assign(48000, {});
    rec.assign(48000, {});
    Run();
  }
  void Step(int64_t ns) { *now += ns; }
  int64_t InPos() {
    int64_t p = -1;
    EXPECT_EQ(in->Position(p), DeviceError::None);
    return p;
  }

  std::shared_ptr<int64_t> now = std::make_shared<int64_t>(7 * kSecond);
  LoopbackBackend backend;
  // The buffers are declared before the streams so that they outlive them.
  std::vector<StereoSample> play, rec;
  std::unique_ptr<SoundStream> in, out;
};

std::vector<StereoSample> Sine(int rate, double freq, double dbfs, size_t frames) {
  std::vector<StereoSample> v(frames);
  const double amp = 32767.0 * std::pow(10.0, dbfs / 20.0);
  for (size_t i = 0; i < frames; ++i) {
    const auto s = static_cast<int16_t>(std::lround(amp * std::sin(2 * std::numbers::pi * freq * i / rate)));
    v[i] = {s, s};
  }
  return v;
}

// Level of the tone at freq in the left channel over [from, from + count), in dB of full scale.
double ToneDb(const std::vector<StereoSample>& v, int rate, double freq, size_t from, size_t count) {
  double s = 0, c = 0;
  for (size_t i = from; i < from + count; ++i) {
    const double w = 2 * std::numbers::pi * freq * static_cast<double>(i) / rate;
    s += v[i].Left * std::sin(w);
    c += v[i].Left * std::cos(w);
  }
  return 20 * std::log10(2.0 / static_cast<double>(count) * std::hypot(s, c) / 32767.0);
}

double MeasureToneThroughCable(int rate, double freq) {
  Rig rig;
  rig.Open(rate);
  rig.play = Sine(rate, freq, -3.0, static_cast<size_t>(rate));
  rig.rec.assign(static_cast<size_t>(rate), {});
  rig.Run();
  rig.Step(2 * kSecond);
  EXPECT_EQ(rig.InPos(), rate);
  // Half a second after the filters have settled: whole periods of every test tone.
  return ToneDb(rig.rec, rate, freq, static_cast<size_t>(rate / 4), static_cast<size_t>(rate / 2));
}

TEST(LoopbackSim, ASineComesBackSixDbLower) {
  EXPECT_NEAR(MeasureToneThroughCable(48000, 1000), -9.0, 0.2);
  EXPECT_NEAR(MeasureToneThroughCable(44100, 1000), -9.0, 0.2);
}

TEST(LoopbackSim, BandEdgesAreThreeDbDown) {
  const double mid = MeasureToneThroughCable(48000, 1000);
  EXPECT_NEAR(MeasureToneThroughCable(48000, 100) - mid, -3.0, 0.3);
  EXPECT_NEAR(MeasureToneThroughCable(48000, 10000) - mid, -3.0, 0.3);
  // Without room above 12 kHz there is no low-pass: 10 kHz passes at 24 kHz.
  EXPECT_NEAR(MeasureToneThroughCable(24000, 10000), -9.0, 0.2);
}

TEST(LoopbackSim, FiltersAreTheCookbookButterworthSections) {
  const double q = 1 / std::sqrt(2.0);
  const Biquad hp = Biquad::HighPass(48000, 100, q), lp = Biquad::LowPass(48000, 10000, q);
  EXPECT_NEAR(20 * std::log10(hp.MagnitudeAt(48000, 100)), -3.01, 0.01);
  EXPECT_NEAR(20 * std::log10(lp.MagnitudeAt(48000, 10000)), -3.01, 0.01);
  EXPECT_NEAR(hp.MagnitudeAt(48000, 10), 0.01, 0.0005);  // 40 dB per decade below the corner
  EXPECT_NEAR(lp.MagnitudeAt(48000, 1000), 1.0, 1e-3);
}

// Index of the first frame at or after from whose left sample exceeds limit.
size_t FirstAbove(const std::vector<StereoSample>& v, int limit, size_t from = 0) {
  for (size_t i = from; i < v.size(); ++i)
    if (std::abs(v[i].Left) > limit) return i;
  return v.size();
}

TEST(LoopbackSim, SoundArrivesTenMillisecondsLate) {
  for (int rate : {48000, 44100, 8000}) {
    Rig rig;
    rig.Open(rate);
    rig.play.assign(static_cast<size_t>(rate), {});
    rig.play[1000] = {30000, 30000};
    rig.rec.assign(static_cast<size_t>(rate), {});
    rig.Run();
    rig.Step(kSecond);
    ASSERT_TRUE(rig.in->Done());
    // The noise stays far below 100; the click arrives 10 ms after it was played.
    EXPECT_EQ(FirstAbove(rig.rec, 100), 1000u + static_cast<size_t>(rate / 100)) << rate;
  }
}

TEST(LoopbackSim, TheDelayCanBeSetUpToOneSecondAtEveryRate) {
  for (const int32_t ms : {0, 250, 1000}) {
    for (const int rate : {8000, 192000}) {
      Rig rig;
      rig.backend.SetDelayMs(ms);
      rig.Open(rate);
      // The click is the last frame played: it is still on the cable when playback ends.
      rig.play.assign(static_cast<size_t>(rate), {});
      rig.play.back() = {30000, 30000};
      rig.rec.assign(static_cast<size_t>(rate) * 3, {});
      rig.Run();
      rig.Step(4 * kSecond);
      ASSERT_TRUE(rig.in->Done());
      EXPECT_EQ(FirstAbove(rig.rec, 100), static_cast<size_t>(rate) - 1 + static_cast<size_t>(rate) * ms / 1000)
          << ms << " ms at " << rate;
    }
  }
  Rig rig;
  rig.backend.SetDelayMs(5000);
  EXPECT_EQ(rig.backend.DelayMs(), 1000);
  rig.backend.SetDelayMs(-3);
  EXPECT_EQ(rig.backend.DelayMs(), 0);
}

TEST(LoopbackSim, TheDelaySettingIsReadAndClamped) {
  QSettings store(QSettings::NativeFormat, QSettings::UserScope, "morvane", "zarin");
  store.remove("LoopbackDelayMs");
  EXPECT_EQ(LoopbackDelaySetting(), 10);
  for (const auto& [text, ms] : std::vector<std::pair<QString, int32_t>>{
           {"250", 250}, {"4000", 1000}, {"-20", 0}, {" 12.4 ", 12}, {"soon", 10}}) {
    store.setValue("LoopbackDelayMs", text);
    store.sync();
    EXPECT_EQ(LoopbackDelaySetting(), ms) << text.toStdString();
  }
  store.remove("LoopbackDelayMs");
}

TEST(LoopbackSim, ACaptureThatBeganEarlyHearsSilenceFirst) {
  Rig rig;
  rig.backend.SetCaptureStartOffsetNs(-40'000'000);
  rig.Open(48000);
  rig.play.assign(48000, {});
  rig.play[1000] = {30000, 30000};
  rig.rec.assign(48000, {});
  rig.Run();
  EXPECT_EQ(rig.InPos(), 1920);  // 40 ms were captured the moment capture started
  rig.Step(kSecond);
  EXPECT_EQ(rig.InPos(), 48000);
  EXPECT_EQ(FirstAbove(rig.rec, 100), 1000u + 480u + 1920u);
}

TEST(LoopbackSim, CaptureStartedLaterHearsThePlaybackOfThatInstant) {
  Rig rig;
  rig.Open(48000);
  rig.play.assign(48000, {});
  rig.play[1000] = {30000, 30000};
  rig.rec.assign(48000, {});
  rig.Run(5'000'000);  // capture starts 5 ms (240 frames) after playback
  rig.Step(kSecond);
  EXPECT_EQ(rig.InPos(), 48000);
  EXPECT_EQ(FirstAbove(rig.rec, 100), 1000u + 480u - 240u);
}

TEST(LoopbackSim, PositionFollowsTheClockAndStopsAtTheEnd) {
  Rig rig;
  rig.RunSilentSecond();
  EXPECT_EQ(rig.InPos(), 0);
  rig.Step(kSecond / 4);
  EXPECT_EQ(rig.InPos(), 12000);
  int64_t outPos = -1;
  EXPECT_EQ(rig.out->Position(outPos), DeviceError::None);
  EXPECT_EQ(outPos, 12000);
  EXPECT_FALSE(rig.in->Done());
  EXPECT_FALSE(rig.out->Done());
  rig.Step(kSecond * 3 / 4 - 1);
  EXPECT_EQ(rig.InPos(), 47999);
  EXPECT_FALSE(rig.in->Done());
  rig.Step(1);
  EXPECT_TRUE(rig.in->Done());
  EXPECT_TRUE(rig.out->Done());
  rig.Step(10 * kSecond);
  EXPECT_EQ(rig.InPos(), 48000);  // never beyond the buffer
}

TEST(LoopbackSim, PollingInSmallStepsGivesTheSameCapture) {
  Rig once(42), often(42);
  for (Rig* r : {&once, &often}) {
    r->Open(48000);
    r->play = Sine(48000, 440, -1, 24000);
    r->rec.assign(30000, {});
    r->Run();
  }
  once.Step(kSecond);
  once.InPos();
  for (int i = 0; i < 700; ++i) {
    often.Step(1'370'000);  // 1.37 ms, not a whole number of frames
    often.InPos();
  }
  often.Step(kSecond);
  often.InPos();
  ASSERT_TRUE(often.in->Done());
  for (size_t i = 0; i < once.rec.size(); ++i) {
    ASSERT_EQ(once.rec[i].Left, often.rec[i].Left) << i;
    ASSERT_EQ(once.rec[i].Right, often.rec[i].Right) << i;
  }
}

TEST(LoopbackSim, SilenceGivesOnlyTheNoiseFloorOnEachChannel) {
  Rig rig;
  std::unique_ptr<SoundStream> in;
  ASSERT_EQ(rig.backend.Open(Direction::Input, 0, 48000, in), DeviceError::None);
  std::vector<StereoSample> rec(96000);
  in->Queue(rec.data(), 96000);
  in->Start();  // nothing is played at all
  rig.Step(3 * kSecond);
  ASSERT_TRUE(in->Done());
  double l2 = 0, r2 = 0, lr = 0;
  for (const auto& s : rec) {
    l2 += double(s.Left) * s.Left;
    r2 += double(s.Right) * s.Right;
    lr += double(s.Left) * s.Right;
  }
  const double n = static_cast<double>(rec.size());
  EXPECT_NEAR(20 * std::log10(std::sqrt(l2 / n) / 32768), -80, 0.5);
  EXPECT_NEAR(20 * std::log10(std::sqrt(r2 / n) / 32768), -80, 0.5);
  EXPECT_LT(std::abs(lr / std::sqrt(l2 * r2)), 0.05);  // independent channels
}

TEST(LoopbackSim, DeviceRules) {
  Rig rig;
  std::unique_ptr<SoundStream> a, b;
  EXPECT_EQ(rig.backend.DeviceCount(Direction::Output), 1);
  EXPECT_EQ(rig.backend.DeviceName(Direction::Input, 0), LoopbackBackend::kDeviceName);
  EXPECT_EQ(rig.backend.Open(Direction::Input, 1, 48000, a), DeviceError::BadDeviceId);
  EXPECT_EQ(rig.backend.Open(Direction::Input, 0, 7999, a), DeviceError::BadFormat);
  EXPECT_EQ(rig.backend.Open(Direction::Input, 0, 192001, a), DeviceError::BadFormat);
  EXPECT_EQ(rig.backend.Open(Direction::Input, 0, 192000, a), DeviceError::None);
  EXPECT_EQ(rig.backend.Open(Direction::Input, 0, 48000, b), DeviceError::Allocated);
  EXPECT_EQ(b, nullptr);
  EXPECT_EQ(a->Start(), DeviceError::Unprepared);
  a->Close();
  EXPECT_EQ(rig.backend.Open(Direction::Input, 0, 48000, b), DeviceError::None);
}

TEST(LoopbackSim, UnprepareWaitsForTheBufferToBeReturned) {
  Rig rig;
  rig.RunSilentSecond();
  rig.Step(kSecond / 10);
  EXPECT_EQ(rig.in->Unprepare(), DeviceError::StillPlaying);
  EXPECT_EQ(rig.out->Unprepare(), DeviceError::StillPlaying);
  EXPECT_EQ(rig.in->Reset(), DeviceError::None);
  EXPECT_EQ(rig.out->Reset(), DeviceError::None);
  EXPECT_TRUE(rig.in->Done());  // a reset returns the buffer as done
  EXPECT_TRUE(rig.out->Done());
  EXPECT_EQ(rig.InPos(), 4800);  // what was captured before the reset stays
  EXPECT_EQ(rig.in->Unprepare(), DeviceError::None);
  EXPECT_EQ(rig.out->Unprepare(), DeviceError::None);
}

TEST(LoopbackSim, ClosingWhileRunningLetsGoOfTheBuffers) {
  Rig rig;
  rig.Open(48000);
  auto play = std::make_unique<std::vector<StereoSample>>(Sine(48000, 1000, -3, 48000));
  auto rec = std::make_unique<std::vector<StereoSample>>(48000);
  rig.in->Queue(rec->data(), 48000);
  rig.out->Queue(play->data(), 48000);
  rig.in->Start();
  rig.Step(kSecond / 5);
  EXPECT_EQ(rig.InPos(), 9600);
  // Close the output mid-run and free its buffer: the capture goes on with
  // what was already on the cable, then silence.
  EXPECT_EQ(rig.out->Close(), DeviceError::None);
  play.reset();
  rig.Step(kSecond / 5);
  EXPECT_EQ(rig.InPos(), 19200);
  EXPECT_GT(std::abs((*rec)[9600 + 100].Left), 1000);  // still in flight at the close
  EXPECT_LT(std::abs((*rec)[9600 + 1000].Left), 100);  // after it: noise only
  // Close the input and free its buffer; stepping on must not touch it.
  EXPECT_EQ(rig.in->Close(), DeviceError::None);
  rec.reset();
  rig.Step(kSecond);
  EXPECT_EQ(rig.in->Close(), DeviceError::NotOpen);  // closing twice is harmless
  rig.in.reset();
  rig.out.reset();
}

TEST(LoopbackSim, AnUnpluggedDeviceReportsAnErrorAndLetsGo) {
  Rig rig;
  rig.RunSilentSecond();
  rig.Step(kSecond / 10);
  EXPECT_EQ(rig.InPos(), 4800);
  rig.backend.Unplug();
  const StereoSample last = rig.rec[4799];
  rig.rec[4800] = {1234, 1234};
  rig.Step(kSecond);
  int64_t pos = -1;
  EXPECT_EQ(rig.in->Position(pos), DeviceError::NoDriver);
  EXPECT_EQ(rig.out->Position(pos), DeviceError::NoDriver);
  EXPECT_FALSE(rig.in->Done());
  EXPECT_EQ(rig.rec[4800].Left, 1234);  // untouched after the unplug
  EXPECT_EQ(rig.rec[4799].Left, last.Left);
  std::unique_ptr<SoundStream> again;
  EXPECT_EQ(rig.backend.Open(Direction::Output, 0, 48000, again), DeviceError::NoDriver);
}

}  // namespace
