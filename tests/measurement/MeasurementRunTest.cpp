#include "measurement/MeasurementRun.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "audio/Biquad.h"
#include "audio/LoopbackSim.h"
#include "measurement/TestSignal.h"
#include "support/Decibels.h"
#include "tests/measurement/LoopbackRun.h"
#include "widgets/MessageBox.h"

using namespace measurement;
using namespace measurement::testing;

namespace {

class RunTest : public LoopbackRunTest {
 protected:
  void SetUp() override {
    basic::SetMessagePresenter([this](const QString&, const QString& text, basic::MsgIcon) { messages << text; });
    MeasurementRun::Callbacks cb;
    cb.StretchReady = [this](int32_t a, int32_t b) {
      stretches.emplace_back(a, b);
      // Only frames the capture device has already written are handed on.
      int64_t written = 0;
      run.CaptureDevice().Position(written);
      if (run.CaptureDevice().IsOpen() && !run.CaptureDevice().Done()) {
        EXPECT_LT(b, written) << "stretch " << a << ".." << b;
        EXPECT_LE(run.CapturedFrames(), written);
      }
    };
    cb.Stopped = [this] { ++stopped; };
    cb.SweepCompleted = [this] { ++sweepsCompleted; };
    cb.ResultReady = [this](const QString& p, const Result&) { results << p; };
    SetUpRun(cb);
    run.SetDataFolder("/data/");
  }
  void TearDown() override { basic::SetMessagePresenter({}); }

  std::vector<std::pair<int32_t, int32_t>> stretches;
  QStringList results, messages;
  int stopped = 0, sweepsCompleted = 0;
};

TEST_F(RunTest, SizesOfTheRun) {
  ASSERT_TRUE(run.Start(Request(SignalMode::Sweep, 44100, 10)));
  EXPECT_EQ(run.TotalFrames(), 441000);
  EXPECT_EQ(run.Played().size_bytes(), 1764000u);
  // The capture runs on 1.2 s past the playback (the delay search range).
  EXPECT_EQ(run.Captured().size(), 441000u + 52920u);
  EXPECT_EQ(run.CaptureFrames(), 441000 + 52920);
  EXPECT_EQ(run.ChunkFrames(), 2205);
  EXPECT_EQ(run.Current().sweepTable.freq[0], 10.0f);
  EXPECT_LT(run.Current().sweepTable.freq.back(), 22050.0f);
  EXPECT_EQ(run.Current().envelope.size(), 441000u);
  run.StopRun();
  ASSERT_TRUE(run.Start(Request(SignalMode::Noise, 11025, 2)));
  EXPECT_EQ(run.ChunkFrames(), 551);
  EXPECT_EQ(run.Played()[0].Left, 0);
}

TEST_F(RunTest, ARunCompletesByItselfAndHandsOnEveryFrameOnce) {
  ASSERT_TRUE(run.Start(Request(SignalMode::Noise, 8000, 2)));
  EXPECT_TRUE(run.Running());
  RunToEnd();
  EXPECT_FALSE(run.Running());
  EXPECT_EQ(stopped, 1);
  ASSERT_FALSE(stretches.empty());
  int32_t expectFirst = 1;
  for (size_t i = 0; i < stretches.size(); ++i) {
    const auto [first, last] = stretches[i];
    EXPECT_EQ(first, expectFirst);
    if (i + 1 < stretches.size()) {
      EXPECT_GT(last - first + 1, run.ChunkFrames());  // more than a chunk each
    }
    expectFirst = last + 1;
  }
  EXPECT_EQ(stretches.back().second, 16000 - 1);
  EXPECT_EQ(results, QStringList{"/data/01.fft"});
  EXPECT_EQ(sweepsCompleted, 0);
  EXPECT_FALSE(run.CaptureDevice().IsOpen());
  EXPECT_FALSE(run.PlaybackDevice().IsOpen());
}

TEST_F(RunTest, StoppingWritesNothingAndKeepsTheNumber) {
  ASSERT_TRUE(run.Start(Request(SignalMode::Sweep, 8000, 2)));
  *now += 500 * kMs;
  run.Tick();
  run.StopRun();
  EXPECT_FALSE(run.Running());
  EXPECT_FALSE(run.CaptureDevice().IsOpen());
  EXPECT_FALSE(run.PlaybackDevice().IsOpen());
  EXPECT_TRUE(results.isEmpty());
  EXPECT_EQ(run.ResultNumber(), 0);
  run.Tick();  // a tick after the stop does nothing
  EXPECT_TRUE(results.isEmpty());
}

TEST_F(RunTest, ResultsAreNumberedAcrossModes) {
  for (SignalMode mode : {SignalMode::Sweep, SignalMode::Noise, SignalMode::Sweep}) {
    ASSERT_TRUE(run.Start(Request(mode, 8000, 2)));
    RunToEnd();
  }
  EXPECT_EQ(results, (QStringList{"/data/01.dat", "/data/02.fft", "/data/03.dat"}));
  EXPECT_EQ(sweepsCompleted, 2);
}

TEST_F(RunTest, AnOutputThatFailsToOpenLeavesTheRunIdle) {
  RunRequest r = Request(SignalMode::Sweep, 8000, 2);
  r.deviceOut = "7";  // an id typed as a name: there is no device 7
  EXPECT_FALSE(run.Start(r));
  EXPECT_FALSE(run.Running());
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0].toStdString(),
            WaveMMIO::WaveErrorText(WaveMMIO::DeviceError::BadDeviceId, WaveMMIO::Direction::Output));
  EXPECT_TRUE(run.CaptureDevice().IsOpen());  // until the next start or close
  EXPECT_FALSE(run.PlaybackDevice().IsOpen());
  ASSERT_TRUE(run.Start(Request(SignalMode::Sweep, 8000, 2)));  // the next start closes it first
  RunToEnd();
  EXPECT_EQ(results.size(), 1);
}

TEST_F(RunTest, OtherModesPlaySilenceAndKeepTheSweepTables) {
  ASSERT_TRUE(run.Start(Request(SignalMode::Sweep, 8000, 2)));
  run.StopRun();
  const std::vector<float> table = run.Current().sweepTable.freq;
  ASSERT_TRUE(run.Start(Request(static_cast<SignalMode>(5), 8000, 3)));
  for (const auto& s : run.Played()) ASSERT_EQ(s.Left, 0);
  EXPECT_EQ(run.Current().sweepTable.freq, table);
  RunToEnd();
  EXPECT_EQ(results, QStringList{"/data/01.fft"});
}

TEST_F(RunTest, TheSimulatorPassesTheSweepSixDbDown) {
  ASSERT_TRUE(run.Start(Request(SignalMode::Sweep, 48000, 2)));
  RunToEnd();
  ASSERT_EQ(results.size(), 1);
  // Played and recorded power where the sweep is between 1 and 5 kHz; the
  // capture lags the playback by the cable's 10 ms.
  double played = 0, recorded = 0;
  const auto play = run.Played(), rec = run.Captured();
  for (size_t i = 0; i < play.size(); ++i) {
    const float f = run.Current().sweepTable.freq[i];
    if (f < 1000 || f > 5000) continue;
    played += double(play[i].Left) * play[i].Left;
    recorded += double(rec[i + 480].Left) * rec[i + 480].Left;
  }
  EXPECT_NEAR(10 * std::log10(recorded / played), -6.0, 0.5);
}

TEST_F(RunTest, ASweepRunPreviewsItsEnvelopeStretchByStretch) {
  // When a stretch is handed on, each of its frames already carries the
  // RMS of the stretch's capture (left channel), clamped and rounded.
  int checked = 0;
  MeasurementRun::Callbacks cb;
  cb.StretchReady = [&](int32_t first, int32_t last) {
    const auto capture = run.Captured();
    double sum = 0;
    for (int32_t j = first; j <= last; ++j)
      sum += double(capture[static_cast<size_t>(j)].Left) * capture[static_cast<size_t>(j)].Left;
    const double rms = std::min(std::sqrt(sum / (last - first + 1)), 32767.0);
    const std::vector<int16_t>& envelope = run.Current().envelope;
    ASSERT_EQ(envelope.size(), 16000u);
    for (int32_t j = first; j <= last; ++j)
      ASSERT_NEAR(envelope[static_cast<size_t>(j)], rms, 0.5) << "frame " << j << " of " << first << ".." << last;
    ++checked;
  };
  run.SetCallbacks(cb);
  ASSERT_TRUE(run.Start(Request(SignalMode::Sweep, 8000, 2)));
  RunToEnd();
  EXPECT_GT(checked, 10);
  // A noise run leaves the sweep's envelope as it was.
  const std::vector<int16_t> envelope = run.Current().envelope;
  cb.StretchReady = {};
  run.SetCallbacks(cb);
  ASSERT_TRUE(run.Start(Request(SignalMode::Noise, 8000, 2)));
  RunToEnd();
  EXPECT_EQ(run.Current().envelope, envelope);
}

TEST_F(RunTest, TheResultCarriesTheRunsModeRateAndLevel) {
  RunRequest r = Request(SignalMode::Noise, 11025, 2);
  r.levelTenthsDb = -125;
  ASSERT_TRUE(run.Start(r));
  EXPECT_EQ(run.Current().mode, SignalMode::Noise);
  EXPECT_EQ(run.Current().sampleRate, 11025);
  EXPECT_EQ(run.Current().levelTenthsDb, -125);
  RunToEnd();
  // A start that fails still makes the mode and rate the run's.
  r = Request(SignalMode::Sweep, 4000, 2);  // a rate the simulator refuses
  EXPECT_FALSE(run.Start(r));
  EXPECT_EQ(run.Current().mode, SignalMode::Sweep);
  EXPECT_EQ(run.Current().sampleRate, 4000);
}

TEST_F(RunTest, TheBufferDelayIsWaitedInSweepModeOnly) {
  run.SetBufferDelayMs(70);
  const int64_t before = *now;
  ASSERT_TRUE(run.Start(Request(SignalMode::Sweep, 8000, 2)));
  EXPECT_EQ(*now - before, 70 * kMs);
  run.StopRun();
  const int64_t again = *now;
  ASSERT_TRUE(run.Start(Request(SignalMode::Noise, 8000, 2)));
  EXPECT_EQ(*now, again);
}

}  // namespace

namespace {

// The simulated cable's gain at f: its two Butterworth sections (the
// low-pass only above 24 kHz) and -6 dB.
double CableGain(int32_t rate, double f) {
  const double q = 1 / std::sqrt(2.0);
  const double low = rate / 2 > WaveMMIO::LoopbackPath::kLowPassMinNyquistHz
                         ? WaveMMIO::Biquad::LowPass(rate, 10000, q).MagnitudeAt(rate, f)
                         : 1.0;
  return 0.5 * WaveMMIO::Biquad::HighPass(rate, 100, q).MagnitudeAt(rate, f) * low;
}

struct AlignCase {
  int32_t delayMs;
  int32_t captureLeadMs;  // > 0: capture starts that much before playback; < 0: after
  int32_t rate;
  int32_t seconds;
};

class AlignedSweepTest : public RunTest, public ::testing::WithParamInterface<AlignCase> {};

TEST_P(AlignedSweepTest, TheDelayIsFoundAndTheEnvelopeReadsTheCable) {
  const AlignCase c = GetParam();
  cable->SetDelayMs(c.delayMs);
  if (c.captureLeadMs > 0) cable->SetCaptureStartOffsetNs(-c.captureLeadMs * kMs);
  else run.SetBufferDelayMs(-c.captureLeadMs);  // the wait between playback and capture
  ASSERT_TRUE(run.Start(Request(SignalMode::Sweep, c.rate, c.seconds)));
  RunToEnd();
  ASSERT_EQ(sweepsCompleted, 1);
  run.AnalyseSweep();

  // The simulated devices tell their start times: the delay is the cable's,
  // from the start of playback, however the capture started.
  const int64_t truth = int64_t{c.delayMs} * c.rate / 1000;
  const Result& result = run.Current();
  ASSERT_TRUE(result.pathDelay.found);
  EXPECT_EQ(result.timing.reference, DelayReference::PlaybackStart);
  EXPECT_NEAR(result.pathDelay.frames, truth, 1);
  ASSERT_TRUE(run.CaptureStart().has_value());
  EXPECT_NEAR(*run.CaptureStart(), -double(c.captureLeadMs) * c.rate / 1000, 1e-6);
  // However long the wait before the capture, nothing was lost on the way.
  EXPECT_TRUE(result.timing.events.empty()) << TimingEventName(result.timing.events.front().kind);
  EXPECT_EQ(result.timing.driftPpm, 0.0);
  // Sweep samples played before the capture began were never heard.
  const int64_t unheard = std::max<int64_t>(0, int64_t{-c.captureLeadMs} * c.rate / 1000 - truth);

  // The capture ran on past the playback: the whole sweep was measured.
  EXPECT_EQ(run.Captured().size(), size_t(run.TotalFrames()) + size_t(DelaySearchFrames(c.rate, run.TotalFrames())));
  const double played = SignalAmplitude(result.levelTenthsDb) / std::sqrt(2.0);
  for (const double f : {100.0, 1000.0, 10000.0}) {
    if (f >= c.rate / 2.0 * 0.8) continue;
    size_t i = 0;
    while (result.sweepTable.freq[i] < f) ++i;
    const double level = result.envelope[i];
    if (static_cast<int64_t>(i) < unheard) {
      EXPECT_EQ(level, 0) << f << " Hz, played before the capture began";
      continue;
    }
    EXPECT_NEAR(basic::LinToDb(level / played), basic::LinToDb(CableGain(c.rate, f)), 0.3) << f << " Hz";
  }
}

INSTANTIATE_TEST_SUITE_P(DelaysAndCaptureStarts, AlignedSweepTest,
                         ::testing::Values(AlignCase{10, 40, 48000, 2}, AlignCase{10, -40, 48000, 2},
                                           AlignCase{250, 40, 48000, 2}, AlignCase{250, -40, 48000, 2},
                                           AlignCase{10, 40, 8000, 4}, AlignCase{10, -40, 8000, 4},
                                           AlignCase{250, 40, 8000, 4}, AlignCase{250, -40, 8000, 4},
                                           AlignCase{1000, 40, 48000, 10}, AlignCase{1000, -40, 48000, 10},
                                           AlignCase{10, -500, 48000, 2}, AlignCase{10, -1000, 48000, 2},
                                           AlignCase{250, -1000, 96000, 3}),
                         [](const ::testing::TestParamInfo<AlignCase>& info) {
                           const AlignCase& c = info.param;
                           return "Delay" + std::to_string(c.delayMs) + "ms_Capture" +
                                  (c.captureLeadMs > 0 ? "Early" : "Late") + std::to_string(std::abs(c.captureLeadMs)) +
                                  "ms_" + std::to_string(c.rate) + "Hz_" + std::to_string(c.seconds) + "s";
                         });

}  // namespace
