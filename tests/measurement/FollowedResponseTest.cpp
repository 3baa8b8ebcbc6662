// A run's impulse response follows the timing the run found: a drifting
// capture clock, a latency step and dropouts injected into the simulator
// leave the response reading the cable's exact magnitude and phase away
// from the frequencies the sweep played at each event.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "CableRun.h"
#include "measurement/AlignedCapture.h"
#include "measurement/Responses.h"
#include "measurement/RunResponse.h"
#include "measurement/SideFiles.h"
#include "tests/measurement/CableResponse.h"

using namespace measurement;
using namespace measurement::testing;

namespace {

// A response pieced together across steps and dropouts: its magnitude away
// from them, within this at low frequencies (where the timing knows each
// piece's delay least well) and within 0.1 dB from 300 Hz up.
constexpr double kPiecedGainDb = 2.5;

struct Worst {
  double gainDb = 0, gainAbove300Db = 0, phaseDeg = 0;
  int points = 0;
};

// The response's worst errors against the cable, from 20 Hz (phase: 50 Hz)
// to 0.9 x Nyquist (phase: 10 kHz), leaving out 1/6 octave either side of
// the frequency the sweep played at each capture time in `eventSeconds`,
// and of each event where the timing placed it.
Worst Errors(const ImpulseResponse& ir, const cable_run::Run& run, const RunTiming& timing,
             const std::vector<double>& eventSeconds, double delaySeconds, double driftError = 0) {
  Worst worst;
  std::vector<double> near;
  const auto add = [&](int64_t b) {
    if (b >= 0 && b < static_cast<int64_t>(run.table.freq.size()))
      near.push_back(run.table.freq[static_cast<size_t>(b)]);
  };
  for (const double at : eventSeconds) add(static_cast<int64_t>((at - delaySeconds) * run.rate));
  // And where the timing placed each event.
  for (const TimingEvent& e : timing.events) add(e.sweepSample);
  for (const ResponsePoint& p : FrequencyResponse(ir, LogFrequencies(20, 0.9 * run.rate / 2, 24))) {
    bool skip = false;
    for (const double f : near) skip = skip || std::abs(std::log2(p.hz / f)) < 1.0 / 6;
    if (skip) continue;
    const std::complex<double> truth = Cable(run.rate, p.hz);
    const double gainError = std::abs(p.gainDb - 20 * std::log10(std::abs(truth)));
    worst.gainDb = std::max(worst.gainDb, gainError);
    if (p.hz >= 300) worst.gainAbove300Db = std::max(worst.gainAbove300Db, gainError);
    if (p.hz >= 50 && p.hz <= 10000) {
      const double allowed = 360 * p.hz * driftError * static_cast<double>(cable_run::SampleAt(run, p.hz)) / run.rate;
      const double error = std::abs(WrapDeg(p.phaseDeg - Deg(truth)));
      worst.phaseDeg = std::max(worst.phaseDeg, std::max(0.0, error - allowed));
    }
    ++worst.points;
  }
  return worst;
}

// What NN.json says of a run with that timing.
SideInfo InfoOf(const cable_run::Run& r, const RunTiming& timing) {
  Result result;
  result.sampleRate = r.rate;
  result.envelope = r.level;
  result.timing = timing;
  return SideInfoOf(result);
}

ImpulseResponse ResponseOf(const cable_run::Run& r, RunTiming* timing = nullptr) {
  const RunTiming t = FollowTiming(r.play, r.rec, r.rate, r.table.freq, r.captureStart);
  if (timing) *timing = t;
  return SweepResponse(r.play, r.rec, r.rate, t);
}

}  // namespace

TEST(FollowedResponse, ADriftingCaptureClockIsFollowed) {
  for (const double ppm : {50.0, -300.0}) {
    cable_run::Cable cable;
    cable.driftPpm = ppm;
    const cable_run::Run run = cable_run::Through(48000, 10, cable);
    RunTiming timing;
    const ImpulseResponse ir = ResponseOf(run, &timing);
    ASSERT_FALSE(ir.Empty()) << ppm;
    EXPECT_NEAR(timing.driftPpm, ppm, 2) << ppm;
    // The drift is known to a ppm or two: a sweep sample b then lies
    // (error x b) frames off, which turns the phase at its frequency.
    const Worst w = Errors(ir, run, timing, {}, 0.01, std::abs(timing.driftPpm - ppm) * 1e-6);
    EXPECT_GT(w.points, 240);
    EXPECT_LT(w.gainDb, 0.1) << ppm << " ppm";
    EXPECT_LT(w.phaseDeg, 3) << ppm << " ppm";
  }
}

TEST(FollowedResponse, ALatencyStepIsFollowed) {
  cable_run::Cable cable;
  cable.steps = {{4.0, 40.0}};
  const cable_run::Run run = cable_run::Through(48000, 10, cable);
  RunTiming timing;
  const ImpulseResponse ir = ResponseOf(run, &timing);
  ASSERT_FALSE(ir.Empty());
  ASSERT_EQ(timing.events.size(), 1u);
  EXPECT_EQ(timing.events[0].kind, TimingEventKind::Step);
  // Lined up by the part after the step, whose delay is known best.
  EXPECT_NEAR(ir.timing.delayFrames, 480 + 1920, 0.2);
  const Worst w = Errors(ir, run, timing, {4.0}, 0.01);
  EXPECT_GT(w.points, 220);
  EXPECT_LT(w.gainDb, kPiecedGainDb);
  EXPECT_LT(w.gainAbove300Db, 0.1);
  // The phase rests on how well each piece's delay is known: the side file
  // says it is not to be trusted, and where the step happened.
  const SideInfo info = InfoOf(run, timing);
  EXPECT_FALSE(info.PhaseTrusted());
  ASSERT_EQ(info.events.size(), 1u);
  EXPECT_EQ(info.events[0].kind, QStringLiteral("step"));
  EXPECT_NEAR(std::log2(info.events[0].hz / run.table.freq[static_cast<size_t>(timing.events[0].sweepSample)]), 0,
              0.01);
}

TEST(FollowedResponse, DropoutsAndAStepAreFollowed) {
  cable_run::Cable cable;
  cable.dropouts = {{2.0, 20.0}, {5.0, 20.0}, {8.0, 20.0}};
  cable.steps = {{6.5, 40.0}};
  const cable_run::Run run = cable_run::Through(48000, 10, cable);
  RunTiming timing;
  const ImpulseResponse ir = ResponseOf(run, &timing);
  ASSERT_FALSE(ir.Empty());
  EXPECT_EQ(timing.events.size(), 4u);
  const Worst w = Errors(ir, run, timing, {2.0, 5.0, 6.5, 8.0}, 0.01);
  EXPECT_GT(w.points, 180);
  EXPECT_LT(w.gainDb, kPiecedGainDb);
  EXPECT_LT(w.gainAbove300Db, 0.1);
  EXPECT_FALSE(InfoOf(run, timing).PhaseTrusted());
  EXPECT_EQ(InfoOf(run, timing).events.size(), 4u);
}

TEST(AlignedCaptureTest, SegmentsPlaceEachPlayedFrameAndLeaveGapsOut) {
  // Capture frame c holds c * 10 (exactly representable).
  std::vector<StereoSample> captured(4000);
  for (size_t c = 0; c < captured.size(); ++c) {
    const auto v = static_cast<int16_t>(c * 8);
    captured[c] = {v, v};
  }
  // Played frames 0..999 heard 100 frames late, 1200.. heard 300 frames late
  // (frames 1000..1199 lost).
  const std::vector<TimingSegment> segments = {{0, 1000, 100.0, 1.0}, {1200, 3000, 1500.0, 1.0}};
  const AlignedCapture aligned(captured, 100.0, 0.0, segments);
  EXPECT_EQ(aligned.At(100), 100 * 8);    // played frame 0
  EXPECT_EQ(aligned.At(1099), 1099 * 8);  // played frame 999
  EXPECT_EQ(aligned.At(1150), 0);         // played frame 1050: not heard
  EXPECT_EQ(aligned.At(1300), 1500 * 8);  // played frame 1200, 300 late
  EXPECT_EQ(aligned.At(50), 50 * 8);      // before the sweep, on the first line
  EXPECT_TRUE(aligned.Heard(999));
  EXPECT_FALSE(aligned.Heard(1000));
  EXPECT_FALSE(aligned.Heard(1199));
  EXPECT_TRUE(aligned.Heard(1200));
  EXPECT_TRUE(aligned.Heard(100000));
  // A slope reads between frames: 1 + 1e-3 puts played frame 500 at 600.5.
  const std::vector<TimingSegment> drifting = {{0, 3000, 100.0, 1.001}};
  const AlignedCapture between(captured, 100.0, 0.0, drifting);
  EXPECT_NEAR(between.At(600), 600.5 * 8, 0.05);
}
