// A path whose latency wobbles by a few frames (as a busy sound server's
// does) beside a dropout, through the simulated cable: the drift read is the
// clock's, none on one clock, and a real drift is still read within 2 ppm.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CableRun.h"
#include "measurement/Timing.h"

using namespace measurement;

namespace {

constexpr int32_t kRate = 48000;

// Frames as the simulator's milliseconds.
double Ms(double frames) { return frames * 1000.0 / kRate; }

struct Wobble {
  const char* name;
  std::vector<std::pair<double, double>> ups, downs;  // capture seconds, frames
  double dropoutS;                                    // a 20 ms dropout
};

// The latency moves at piece boundaries (a tenth-second sweep piece is
// 10 s / 16), 10 ms into the capture, by 2 to 5 frames up (a latency step)
// and down (frames lost).
const Wobble kWobbles[] = {
    {"UpUpDown", {{1.885, 5}, {8.76, 4}}, {{5.635, 5}}, 9.675},
    {"UpDownUp", {{0.635, 2}, {8.135, 5}}, {{2.51, 3}}, 9.05},
    {"UpDownDown", {{2.51, 5}}, {{3.135, 2}, {8.76, 2}}, 9.675},
};

struct WobbleCase {
  Wobble wobble;
  double ppm;
};

class TimingWobbleTest : public ::testing::TestWithParam<WobbleCase> {};

TEST_P(TimingWobbleTest, TheDriftReadIsTheClocksWhateverTheLatencyDid) {
  const WobbleCase& c = GetParam();
  cable_run::Cable cable;
  cable.delayMs = 10;
  cable.driftPpm = c.ppm;
  for (const auto& [at, frames] : c.wobble.ups) cable.steps.push_back({at, Ms(frames)});
  for (const auto& [at, frames] : c.wobble.downs) cable.dropouts.push_back({at, Ms(frames)});
  cable.dropouts.push_back({c.wobble.dropoutS, 20});
  cable_run::Run r = cable_run::Through(kRate, 10, cable);
  const RunTiming t = FollowTiming(r.play, r.rec, kRate, r.table.freq, r.captureStart);
  ASSERT_TRUE(t.found);
  if (c.ppm == 0) {
    EXPECT_EQ(t.driftPpm, 0);
    for (const TimingSegment& s : t.segments) EXPECT_EQ(s.slope, 1.0);
  } else {
    EXPECT_NEAR(t.driftPpm, c.ppm, 2.0);
  }
  // The wobble is under a millisecond: only the dropout is an event.
  ASSERT_EQ(t.events.size(), 1u);
  EXPECT_EQ(t.events[0].kind, TimingEventKind::Dropout);
  EXPECT_NEAR(t.events[0].sizeMs, -20, 1.0);
  // The delay at the sweep's start within the wobble's size.
  EXPECT_NEAR(t.delayFrames, 480, 6.0);
}

INSTANTIATE_TEST_SUITE_P(
    OneClockAndDrifting, TimingWobbleTest,
    ::testing::Values(WobbleCase{kWobbles[0], 0}, WobbleCase{kWobbles[1], 0}, WobbleCase{kWobbles[2], 0},
                      WobbleCase{kWobbles[0], 50}, WobbleCase{kWobbles[1], 50}, WobbleCase{kWobbles[2], 50},
                      WobbleCase{kWobbles[0], -50}, WobbleCase{kWobbles[1], -50}, WobbleCase{kWobbles[2], -50}),
    [](const ::testing::TestParamInfo<WobbleCase>& info) {
      const double ppm = info.param.ppm;
      return std::string(info.param.wobble.name) + (ppm == 0 ? "OneClock" : ppm > 0 ? "Fast50ppm" : "Slow50ppm");
    });

}  // namespace
