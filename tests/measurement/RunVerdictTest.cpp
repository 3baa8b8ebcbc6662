// The verdict of whole runs through the loopback simulator: clean, silent,
// clipped and noisy paths, and the host's flags reaching it.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "audio/LoopbackSim.h"
#include "audio/WaveMMIO.h"
#include "measurement/MeasurementRun.h"
#include "measurement/SideFiles.h"
#include "measurement/TestSignal.h"
#include "measurement/VerdictText.h"
#include "tests/measurement/LoopbackRun.h"

using namespace measurement;

namespace {

constexpr int64_t kMs = 1'000'000;

// Frames [from, to) of a capture that its host filled with silence.
struct Silence {
  int64_t from = 0, to = 0;
};

// A stream that reports what its host would have flagged, otherwise the
// simulator's, and whose capture holds the silence its host put in.
class FlaggingStream : public WaveMMIO::SoundStream {
 public:
  FlaggingStream(std::unique_ptr<WaveMMIO::SoundStream> inner, WaveMMIO::StreamFlags flags, Silence silence)
      : m_Inner(std::move(inner)), m_Flags(flags), m_Silence(silence) {}
  WaveMMIO::DeviceError Queue(WaveMMIO::StereoSample* b, uint32_t n) override {
    m_Buffer = b, m_Frames = n;
    return m_Inner->Queue(b, n);
  }
  WaveMMIO::DeviceError Start() override { return m_Inner->Start(); }
  WaveMMIO::DeviceError Position(int64_t& frames) override {
    const WaveMMIO::DeviceError e = m_Inner->Position(frames);
    Silent();
    return e;
  }
  bool Done() override {
    const bool done = m_Inner->Done();
    Silent();
    return done;
  }
  WaveMMIO::StreamFlags Flags() override { return m_Flags; }
  WaveMMIO::DeviceError Reset() override { return m_Inner->Reset(); }
  WaveMMIO::DeviceError Stop() override { return m_Inner->Stop(); }
  WaveMMIO::DeviceError Unprepare() override { return m_Inner->Unprepare(); }
  WaveMMIO::DeviceError Close() override { return m_Inner->Close(); }

 private:
  // The simulator has computed the frames by the time it answers: the
  // silence goes over what it wrote there.
  void Silent() {
    for (int64_t i = std::max<int64_t>(0, m_Silence.from); i < std::min<int64_t>(m_Silence.to, m_Frames); ++i)
      m_Buffer[i] = {};
  }
  std::unique_ptr<WaveMMIO::SoundStream> m_Inner;
  WaveMMIO::StreamFlags m_Flags;
  Silence m_Silence;
  WaveMMIO::StereoSample* m_Buffer = nullptr;
  int64_t m_Frames = 0;
};

class FlaggingBackend : public WaveMMIO::LoopbackBackend {
 public:
  using LoopbackBackend::LoopbackBackend;
  WaveMMIO::StreamFlags flags[2];  // output, input
  Silence captureSilence;
  WaveMMIO::DeviceError Open(WaveMMIO::Direction d, int index, int rate,
                             std::unique_ptr<WaveMMIO::SoundStream>& stream) override {
    const WaveMMIO::DeviceError result = LoopbackBackend::Open(d, index, rate, stream);
    if (result == WaveMMIO::DeviceError::None)
      stream = std::make_unique<FlaggingStream>(std::move(stream), flags[static_cast<int>(d)],
                                                d == WaveMMIO::Direction::Input ? captureSilence : Silence{});
    return result;
  }
};

class RunVerdictTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim = measurement::testing::InstallSimulator<FlaggingBackend>(now);
    MeasurementRun::Callbacks cb;
    cb.SweepCompleted = [this] { run.AnalyseSweep(); };
    run.SetCallbacks(cb);
  }
  void TearDown() override { WaveMMIO::SoundHost::Instance().SetBackends({}); }

  const Verdict& Measure(int32_t rate, SignalMode mode = SignalMode::Sweep, int32_t levelTenthsDb = -30) {
    RunRequest r;
    r.deviceOut = r.deviceIn = WaveMMIO::LoopbackBackend::kDeviceName;
    r.mode = mode;
    r.sampleRate = rate;
    r.seconds = 2;
    r.levelTenthsDb = levelTenthsDb;
    EXPECT_TRUE(run.Start(r));
    for (int i = 0; i < 2000 && run.Running(); ++i) {
      *now += 5 * kMs;
      run.Tick();
    }
    EXPECT_FALSE(run.Running());
    return run.Current().verdict;
  }

  static std::string Describe(const Verdict& v) {
    std::string text = QualityKey(v.quality).toStdString();
    for (const VerdictReason& r : v.reasons) text += "\n  " + ReasonSentence(r).toStdString();
    return text;
  }

  std::shared_ptr<int64_t> now = std::make_shared<int64_t>(1'000'000'000);
  FlaggingBackend* sim = nullptr;
  MeasurementRun run;
};

TEST_F(RunVerdictTest, TheCleanPathIsGoodAtEveryRate) {
  for (const int32_t rate : WaveMMIO::kSampleRates) {
    const Verdict& v = Measure(rate);
    EXPECT_EQ(v.quality, Quality::Good) << rate << " " << Describe(v);
  }
  // White noise from a new seed each run peaks a little differently: at
  // -3 dB its capture's peak sits about 6 dB under full scale, on the
  // headroom line. At -10 dB it is clear of it whatever the seed.
  EXPECT_EQ(Measure(48000, SignalMode::Noise, -100).quality, Quality::Good) << Describe(run.Current().verdict);
}

TEST_F(RunVerdictTest, SilenceIsBad) {
  sim->SetGainDb(-200);
  for (const SignalMode mode : {SignalMode::Sweep, SignalMode::Noise}) {
    const Verdict& v = Measure(48000, mode);
    EXPECT_EQ(v.quality, Quality::Bad) << static_cast<int>(mode);
    EXPECT_TRUE(v.Has(Reason::NoSignal)) << static_cast<int>(mode) << " " << Describe(v);
  }
}

TEST_F(RunVerdictTest, TwelveDbIntoAFullScaleSweepIsClipped) {
  sim->SetGainDb(12);
  const Verdict& v = Measure(48000, SignalMode::Sweep, 0);
  EXPECT_EQ(v.quality, Quality::Bad);
  EXPECT_TRUE(v.Has(Reason::Clipped)) << Describe(v);
}

TEST_F(RunVerdictTest, NoiseThirtyDbUnderTheSignalIsNeverGood) {
  // The sweep's RMS at the input: -3 dB level, -6 dB cable, a sine's -3 dB.
  sim->SetNoiseDbfs(-12 - 30);
  for (const SignalMode mode : {SignalMode::Sweep, SignalMode::Noise}) {
    const Verdict& v = Measure(48000, mode);
    EXPECT_NE(v.quality, Quality::Good) << static_cast<int>(mode);
    EXPECT_TRUE(v.Has(Reason::LowSnr)) << static_cast<int>(mode) << " " << Describe(v);
  }
}

TEST_F(RunVerdictTest, TheHostsFlagsReachTheVerdict) {
  sim->flags[0] = {true, false, true};  // a gap in playback
  sim->flags[1] = {true, true, false};  // captured data dropped
  const Verdict& v = Measure(48000);
  EXPECT_EQ(v.quality, Quality::Warning) << Describe(v);
  EXPECT_TRUE(v.Has(Reason::PlaybackUnderflow));
  EXPECT_TRUE(v.Has(Reason::CaptureOverflow));
  EXPECT_FALSE(v.Has(Reason::PlaybackOverflow));
  EXPECT_FALSE(v.Has(Reason::CaptureUnderflow));
  EXPECT_TRUE(run.HostReport().reported);
}

}  // namespace

namespace {

// A capture that began 500 ms after the playback: the first 490 ms of the
// sweep (the cable's 10 ms delay less) were never recorded.
TEST_F(RunVerdictTest, ACaptureThatBeganLateIsNeverGoodAndSaysWhy) {
  sim->SetCaptureStartOffsetNs(500 * kMs);
  const Verdict& v = Measure(48000);
  EXPECT_EQ(v.quality, Quality::Warning) << Describe(v);
  ASSERT_TRUE(v.Has(Reason::CaptureLate)) << Describe(v);
  const auto late = std::find_if(v.reasons.begin(), v.reasons.end(),
                                 [](const VerdictReason& r) { return r.reason == Reason::CaptureLate; });
  ASSERT_NE(late, v.reasons.end());
  EXPECT_NEAR(late->value, 490, 0.1);
  const std::vector<int16_t>& envelope = run.Current().envelope;
  ASSERT_EQ(envelope.size(), 96000u);
  EXPECT_TRUE(std::all_of(envelope.begin(), envelope.begin() + 23500, [](int16_t e) { return e == 0; }));
  EXPECT_GT(envelope[48000], 0);
}

// Frames lost by the input part-way, short and long: the curve has no
// points there, and the run says so.
TEST_F(RunVerdictTest, ALossInTheCaptureIsNeverGood) {
  for (const double ms : {2.0, 20.0}) {
    sim->ClearFaults();
    sim->AddCaptureDropout(1.3, ms);
    const Verdict& v = Measure(48000);
    EXPECT_NE(v.quality, Quality::Good) << ms << " ms " << Describe(v);
    EXPECT_TRUE(v.Has(Reason::Dropouts) || v.Has(Reason::CaptureGaps)) << ms << " ms " << Describe(v);
  }
}

}  // namespace

namespace {

// A host that filled a few milliseconds of the capture with silence moves
// no timing the run can see, yet the response pieced across the silence
// has lost frames: its phase is not claimed.
TEST_F(RunVerdictTest, SilenceTheHostPutInTheCaptureLeavesThePhaseUntrusted) {
  EXPECT_TRUE(SideInfoOf(run.Current()).PhaseTrusted()) << "before any run";
  Measure(48000);
  ASSERT_FALSE(run.Current().response.Empty());
  EXPECT_TRUE(SideInfoOf(run.Current()).PhaseTrusted()) << Describe(run.Current().verdict);

  sim->captureSilence = {48000 + 100, 48000 + 100 + 144};  // 3 ms, inside the sweep
  sim->flags[1] = {true, false, true};                     // input underflow
  const Verdict& v = Measure(48000);
  EXPECT_TRUE(run.Current().timing.events.empty()) << run.Current().timing.events.size();
  EXPECT_TRUE(v.Has(Reason::CaptureGaps)) << Describe(v);
  EXPECT_TRUE(v.Has(Reason::CaptureUnderflow)) << Describe(v);
  const SideInfo info = SideInfoOf(run.Current());
  EXPECT_FALSE(info.PhaseTrusted());
  EXPECT_EQ(info.reasons, v.reasons);

  // Either alone is enough.
  sim->flags[1] = {};
  Measure(48000);
  EXPECT_TRUE(run.Current().verdict.Has(Reason::CaptureGaps)) << Describe(run.Current().verdict);
  EXPECT_FALSE(SideInfoOf(run.Current()).PhaseTrusted());
  sim->captureSilence = {};
  sim->flags[0] = {true, false, true};  // output underflow
  Measure(48000);
  EXPECT_FALSE(SideInfoOf(run.Current()).PhaseTrusted()) << Describe(run.Current().verdict);
}

}  // namespace
