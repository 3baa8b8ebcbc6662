// Following a sweep's timing through the simulated cable: the delay from the
// start of playback, the curve read with it, drift, dropouts and steps.
#include "measurement/Timing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "CableRun.h"
#include "audio/WaveMMIO.h"
#include "support/Decibels.h"

using namespace measurement;
using cable_run::Cable;

namespace {

// The pieces and events, for a failure's message.
std::string Describe(const RunTiming& t) {
  std::string s = "drift " + std::to_string(t.driftPpm) + " ppm, delay " + std::to_string(t.delayFrames) + "\n";
  for (const TimingPiece& p : t.pieces)
    s += "  piece at " + std::to_string(p.centre) + " delay " + std::to_string(p.delay) + " clarity " +
         std::to_string(p.clarity) + " use " + std::to_string(static_cast<int>(p.use)) + "\n";
  for (const TimingEvent& e : t.events)
    s += std::string("  ") + TimingEventName(e.kind) + " at " + std::to_string(e.timeS) + " s, " +
         std::to_string(e.sizeMs) + " ms\n";
  for (const TimingSegment& g : t.segments)
    s += "  segment " + std::to_string(g.first) + " .. " + std::to_string(g.end) + " at " + std::to_string(g.at) + "\n";
  return s;
}

// The envelope as drawn: the mean of the entries within 1/48 octave of f
// (a graph column's share), 0 when none has a level.
double CurveAt(const cable_run::Run& r, double f) {
  const int64_t lo = cable_run::SampleAt(r, f * std::pow(2.0, -1.0 / 48)),
                hi = cable_run::SampleAt(r, f * std::pow(2.0, 1.0 / 48));
  double sum = 0;
  int64_t count = 0;
  for (int64_t i = lo; i <= hi && i < static_cast<int64_t>(r.level.size()); ++i)
    if (r.level[static_cast<size_t>(i)] > 0) {
      sum += r.level[static_cast<size_t>(i)];
      ++count;
    }
  return count > 0 ? sum / static_cast<double>(count) : 0.0;
}

std::vector<double> Curve(cable_run::Run& r, const RunTiming& timing, const std::vector<double>& freqs) {
  std::fill(r.level.begin(), r.level.end(), int16_t{0});
  AnalyseSweep(r.rec, r.rate, r.table.freq, r.level, timing);
  std::vector<double> out;
  for (const double f : freqs) out.push_back(CurveAt(r, f));
  return out;
}

// Reads the curve with the timing and compares it, from lo to hi Hz (leaving
// out +-1/6 octave around each frequency in skip), with the cable's truth:
// the curve read with the capture paired exactly as the simulator made it
// (truth given: the envelope's own limits, such as a fast sweep's low end,
// are no timing fault), and the cable's gain wherever that exact reading
// meets it within 0.3 dB.
void ExpectTrueCurve(cable_run::Run& r, const RunTiming& timing, const RunTiming& truth, double lo, double hi,
                     const std::vector<double>& skip = {}) {
  std::vector<double> freqs;
  for (double f = lo; f <= hi; f *= std::pow(2.0, 1.0 / 12))
    if (std::none_of(skip.begin(), skip.end(), [&](double s) { return std::abs(std::log2(f / s)) < 1.0 / 6; }))
      freqs.push_back(f);
  const std::vector<double> exact = Curve(r, truth, freqs);
  const std::vector<double> read = Curve(r, timing, freqs);
  const double played = r.amplitude / std::sqrt(2.0);
  int gainChecked = 0;
  for (size_t i = 0; i < freqs.size(); ++i) {
    ASSERT_GT(read[i], 0) << freqs[i] << " Hz has no level";
    EXPECT_NEAR(basic::LinToDb(read[i] / exact[i]), 0, 0.3) << freqs[i] << " Hz against the exact pairing";
    const double gain = basic::LinToDb(cable_run::CableGain(r.rate, freqs[i]));
    if (std::abs(basic::LinToDb(exact[i] / played) - gain) < 0.3) {
      EXPECT_NEAR(basic::LinToDb(read[i] / played), gain, 0.3) << freqs[i] << " Hz against the cable's gain";
      ++gainChecked;
    }
  }
  // The exact reading meets the gain over most of the band.
  EXPECT_GT(gainChecked, static_cast<int>(freqs.size()) * 3 / 4);
}

// How the simulator pairs sweep sample b with capture frame: frame j hears
// output frame (j + lost) / (1 + drift) - (delay - gap).
RunTiming ExactMap(int64_t n, int32_t rate, double delayMs, double gapMs, double ppm = 0) {
  RunTiming t = RunTiming::Fixed((delayMs - gapMs) * rate / 1000 * (1 + ppm * 1e-6), n);
  t.segments[0].slope = 1 + ppm * 1e-6;
  return t;
}

struct DelayCase {
  int32_t rate;
  int32_t seconds;
  int32_t delayMs;
  int32_t gapMs;
};

class TimingDelayTest : public ::testing::TestWithParam<DelayCase> {};

TEST_P(TimingDelayTest, TheDelayIsReadFromThePlaybackStartAndTheWholeSweepIsCaptured) {
  const DelayCase c = GetParam();
  cable_run::Run r = cable_run::Through(c.rate, c.seconds, {c.delayMs, c.gapMs, 0, {}, {}});
  ASSERT_TRUE(r.captureStart.has_value());
  EXPECT_NEAR(*r.captureStart, double(c.gapMs) * c.rate / 1000, 1e-6);
  const RunTiming t = FollowTiming(r.play, r.rec, c.rate, r.table.freq, r.captureStart);
  ASSERT_TRUE(t.found);
  EXPECT_EQ(t.reference, DelayReference::PlaybackStart);
  EXPECT_NEAR(t.delayFrames, double(c.delayMs) * c.rate / 1000, 1.0) << Describe(t);
  EXPECT_NEAR(t.driftPpm, 0, 3.0);
  EXPECT_TRUE(t.events.empty()) << t.events.size() << " events, first " << TimingEventName(t.events[0].kind);
  // Sweep sample b arrives delay - gap frames into the capture.
  const double expected = double(c.delayMs - c.gapMs) * c.rate / 1000;
  for (const int64_t b : {int64_t{0}, int64_t(r.play.size()) / 2, int64_t(r.play.size()) - 1})
    if (expected + b >= 0) {
      EXPECT_NEAR(*t.CapturePosition(b) - b, expected, 1.0) << "sample " << b;
    }
  ExpectTrueCurve(r, t, ExactMap(int64_t(r.play.size()), c.rate, c.delayMs, c.gapMs), 20, 0.95 * c.rate / 2);
}

INSTANTIATE_TEST_SUITE_P(DelaysAndStartGaps, TimingDelayTest,
                         ::testing::Values(DelayCase{48000, 2, 0, -40}, DelayCase{48000, 2, 0, 40},
                                           DelayCase{48000, 2, 10, -40}, DelayCase{48000, 2, 10, 40},
                                           DelayCase{48000, 2, 250, -40}, DelayCase{48000, 2, 250, 40},
                                           DelayCase{96000, 10, 0, -40}, DelayCase{96000, 10, 10, 40},
                                           DelayCase{96000, 10, 250, -40}, DelayCase{96000, 10, 1000, 40},
                                           DelayCase{96000, 10, 1000, -40}),
                         [](const ::testing::TestParamInfo<DelayCase>& info) {
                           const DelayCase& c = info.param;
                           return std::to_string(c.rate) + "Hz_" + std::to_string(c.seconds) + "s_Delay" +
                                  std::to_string(c.delayMs) + "ms_Capture" + (c.gapMs < 0 ? "Early" : "Late") +
                                  std::to_string(std::abs(c.gapMs)) + "ms";
                         });

TEST(TimingTest, WithoutStreamTimesTheDelayIsFromTheCaptureStartAndSaysSo) {
  cable_run::Run r = cable_run::Through(48000, 2, {10, -40, 0, {}, {}});
  const RunTiming t = FollowTiming(r.play, r.rec, 48000, r.table.freq, std::nullopt);
  ASSERT_TRUE(t.found);
  EXPECT_EQ(t.reference, DelayReference::CaptureStart);
  EXPECT_NEAR(t.delayFrames, 50.0 * 48, 1.0) << Describe(t);
  EXPECT_STREQ(DelayReferenceName(t.reference), "capture start");
}

TEST(TimingTest, SilenceIsNotFoundAndMapsNothingAway) {
  cable_run::Run r = cable_run::Through(48000, 2, {});
  std::fill(r.rec.begin(), r.rec.end(), StereoSample{});
  const RunTiming t = FollowTiming(r.play, r.rec, 48000, r.table.freq, r.captureStart);
  EXPECT_FALSE(t.found);
  EXPECT_EQ(t.CaptureFrame(1000), 1000);
}

class TimingDriftTest : public ::testing::TestWithParam<double> {};

TEST_P(TimingDriftTest, ADriftingCaptureClockIsFollowedAndReported) {
  const double ppm = GetParam();
  cable_run::Run r =
      cable_run::Through(48000, 10, {.delayMs = 10, .gapMs = 0, .driftPpm = ppm, .dropouts = {}, .steps = {}});
  const RunTiming t = FollowTiming(r.play, r.rec, 48000, r.table.freq, r.captureStart);
  ASSERT_TRUE(t.found);
  EXPECT_NEAR(t.driftPpm, ppm, 2.0) << Describe(t);
  EXPECT_TRUE(t.events.empty());
  // Half-way through, the capture has gained or lost ppm of the samples played.
  const int64_t b = 240000;
  EXPECT_NEAR(*t.CapturePosition(b) - b, 480 + ppm * 1e-6 * (480 + b), 3.0);
  ExpectTrueCurve(r, t, ExactMap(int64_t(r.play.size()), 48000, 10, 0, ppm), 20, 20000);
}

INSTANTIATE_TEST_SUITE_P(FastAndSlow, TimingDriftTest, ::testing::Values(50.0, -50.0, 300.0, -300.0),
                         [](const ::testing::TestParamInfo<double>& info) {
                           return std::string(info.param > 0 ? "Fast" : "Slow") +
                                  std::to_string(static_cast<int>(std::abs(info.param))) + "ppm";
                         });

TEST(TimingTest, DropoutsAndALatencyStepAreReportedAndTheRestReadsTrue) {
  const int32_t rate = 48000;
  Cable cable{.delayMs = 10};
  cable.dropouts = {{3.5, 20}, {5.0, 20}, {8.0, 20}};
  cable.steps = {{6.5, 40}};
  cable_run::Run r = cable_run::Through(rate, 10, cable);
  const RunTiming t = FollowTiming(r.play, r.rec, rate, r.table.freq, r.captureStart);
  ASSERT_TRUE(t.found);
  // Before the first dropout only the sweep's low end came back, whose
  // delay is known to a millisecond (the path's group delay there is large).
  EXPECT_NEAR(t.delayFrames, 480, 48.0) << Describe(t);
  // Each event where it happened along the capture, by its kind and size.
  struct Expected {
    TimingEventKind kind;
    double captureS, ms;
  };
  const Expected expected[] = {{TimingEventKind::Dropout, 3.5, -20},
                               {TimingEventKind::Dropout, 5.0, -20},
                               {TimingEventKind::Step, 6.5, 40},
                               {TimingEventKind::Dropout, 8.0, -20}};
  ASSERT_EQ(t.events.size(), std::size(expected)) << Describe(t);
  std::vector<double> skip;
  double lostMs = 0, extraMs = 10;
  for (size_t i = 0; i < t.events.size(); ++i) {
    const TimingEvent& e = t.events[i];
    EXPECT_EQ(e.kind, expected[i].kind) << i;
    EXPECT_NEAR(e.sizeMs, expected[i].ms, 1.0) << i;
    // Sweep time of the event: capture time, plus frames lost so far, less the delay then.
    const double sweepS = expected[i].captureS + lostMs / 1000 - extraMs / 1000;
    EXPECT_NEAR(e.timeS, sweepS, 0.06) << i << Describe(t);
    skip.push_back(r.table.freq[static_cast<size_t>(sweepS * rate)]);
    if (expected[i].kind == TimingEventKind::Dropout) lostMs += 20;
    else extraMs += 40;
  }
  EXPECT_NEAR(t.driftPpm, 0, 3.0) << Describe(t);
  // Against the cable's gain directly (the exact pairing is piecewise here).
  const double played = r.amplitude / std::sqrt(2.0);
  std::fill(r.level.begin(), r.level.end(), int16_t{0});
  AnalyseSweep(r.rec, r.rate, r.table.freq, r.level, t);
  for (double f = 50; f <= 0.9 * rate / 2; f *= std::pow(2.0, 1.0 / 12)) {
    if (std::any_of(skip.begin(), skip.end(), [&](double s) { return std::abs(std::log2(f / s)) < 1.0 / 6; })) continue;
    EXPECT_NEAR(basic::LinToDb(CurveAt(r, f) / played), basic::LinToDb(cable_run::CableGain(rate, f)), 0.3)
        << f << " Hz";
  }
  // Under each dropout, its 20 ms of sweep samples (to the millisecond the
  // size is known to) have no capture frame.
  int64_t unmapped = 0;
  for (int64_t b = 0; b < int64_t(r.play.size()); ++b) unmapped += t.CapturePosition(b).has_value() ? 0 : 1;
  EXPECT_NEAR(unmapped, 3 * 960, 3 * 48);
}

TEST(TimingTest, AFixedMapPairsEverySampleWithOneDelay) {
  const RunTiming t = RunTiming::Fixed(-12, 100);
  EXPECT_EQ(t.CaptureFrame(11), -1);
  EXPECT_EQ(t.CaptureFrame(12), 0);
  EXPECT_EQ(t.CaptureFrame(99), 87);
  EXPECT_FALSE(t.CapturePosition(100).has_value());
  EXPECT_FALSE(t.CapturePosition(-1).has_value());
}

}  // namespace

namespace {

// The simulator's cable, clean, at every rate: no piece, however low in the
// sweep, reads a change of delay, and the delay is the cable's.
TEST(TimingTest, TheCleanCableShowsNoEventAtAnyRate) {
  for (const int32_t rate : WaveMMIO::kSampleRates) {
    cable_run::Run r = cable_run::Through(rate, 2, {});
    const RunTiming t = FollowTiming(r.play, r.rec, rate, r.table.freq, r.captureStart);
    ASSERT_TRUE(t.found) << rate;
    EXPECT_TRUE(t.events.empty()) << rate << " Hz\n" << Describe(t);
    EXPECT_EQ(t.driftPpm, 0) << rate << " Hz\n" << Describe(t);
    EXPECT_NEAR(t.delayFrames, rate / 100.0, 1.0) << rate << " Hz\n" << Describe(t);
  }
}

}  // namespace

namespace {

// Dropouts and latency steps on a capture whose clock is the playback's: the
// map breaks where they fell, but its slope stays one.
struct DamageCase {
  const char* name;
  int32_t rate;
  int32_t seconds;
  std::vector<std::pair<double, double>> dropouts, steps;
};

class TimingDamageTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(TimingDamageTest, DamageWithoutDriftReadsNoDrift) {
  const DamageCase& c = GetParam();
  Cable cable{.delayMs = 10};
  cable.dropouts = c.dropouts;
  cable.steps = c.steps;
  cable_run::Run r = cable_run::Through(c.rate, c.seconds, cable);
  const RunTiming t = FollowTiming(r.play, r.rec, c.rate, r.table.freq, r.captureStart);
  ASSERT_TRUE(t.found);
  EXPECT_EQ(t.driftPpm, 0) << Describe(t);
  for (const TimingSegment& s : t.segments) EXPECT_EQ(s.slope, 1.0) << Describe(t);
  size_t changes = 0;
  for (const TimingEvent& e : t.events) changes += e.kind != TimingEventKind::LostPiece ? 1 : 0;
  EXPECT_EQ(changes, c.dropouts.size() + c.steps.size()) << Describe(t);
}

INSTANTIATE_TEST_SUITE_P(
    DropoutsAndSteps, TimingDamageTest,
    ::testing::Values(DamageCase{"OneStepEarly", 48000, 10, {}, {{3.0, 40}}},
                      DamageCase{"OneStepLate", 48000, 10, {}, {{8.7, 40}}},
                      DamageCase{"ShortStep", 48000, 4, {}, {{3.2, 25}}},
                      DamageCase{"ThreeDropouts", 48000, 10, {{2.0, 20}, {4.5, 20}, {7.0, 20}}, {}},
                      DamageCase{"DropoutsAndStep", 96000, 10, {{3.0, 20}, {6.0, 20}}, {{4.5, 40}}},
                      DamageCase{"OneDropout", 44100, 4, {{1.1, 20}}, {}}),
    [](const ::testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });

}  // namespace
