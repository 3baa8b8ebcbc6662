// A recorder on its own clock behind a filter: the drift read from the
// pieces is the clock's, not the filter's group delay changing along the
// sweep.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <string>

#include "audio/Biquad.h"
#include "measurement/TestSignal.h"
#include "measurement/Timing.h"
#include "tests/measurement/Resample.h"

using namespace measurement;
using measurement::testing::Resample;
using WaveMMIO::Biquad;

namespace {

struct FilterCase {
  const char* name;
  int32_t rate;
  bool lowPass;
  double hz, q;
};

void PrintTo(const FilterCase& c, std::ostream* os) { *os << c.name; }

class TimingFilterTest : public ::testing::TestWithParam<FilterCase> {};

// A 10 s sweep through the filter, 0.5 s of silence before it, recorded
// 40 ppm fast at 16 bits.
TEST_P(TimingFilterTest, TheDriftIsTheClocksWhateverTheFilter) {
  const FilterCase c = GetParam();
  std::vector<StereoSample> play(static_cast<size_t>(c.rate) * 10);
  SweepTable table;
  std::vector<int16_t> level;
  GenerateSweep(play, c.rate, SignalAmplitude(-30), table, level);
  Biquad filter = c.lowPass ? Biquad::LowPass(c.rate, c.hz, c.q) : Biquad::HighPass(c.rate, c.hz, c.q);
  std::vector<double> air(static_cast<size_t>(c.rate / 2), 0.0);
  for (const StereoSample& s : play) air.push_back(filter.Process(s.Left));
  for (int32_t i = 0; i < c.rate; ++i) air.push_back(filter.Process(0));
  std::vector<StereoSample> rec;
  for (const double v : Resample(air, 40)) {
    const auto s = static_cast<int16_t>(std::clamp(std::nearbyint(v), -32768.0, 32767.0));
    rec.push_back({s, s});
  }
  const RunTiming t = FollowTiming(play, rec, c.rate, table.freq, std::nullopt);
  ASSERT_TRUE(t.found);
  EXPECT_NEAR(t.driftPpm, 40, 1.0);
  EXPECT_TRUE(t.events.empty());
  // The sweep's first sample lies half a second (on the recorder's clock)
  // and the filter's own delay at low frequencies into the recording.
  EXPECT_NEAR(t.delayFrames, c.rate / 2 * 1.00004, 3.0);
}

INSTANTIATE_TEST_SUITE_P(Filters, TimingFilterTest,
                         ::testing::Values(FilterCase{"LowPass4kHzQ1At48k", 48000, true, 4000, 1.0},
                                           FilterCase{"LowPass4kHzQ1At96k", 96000, true, 4000, 1.0},
                                           FilterCase{"LowPass1kHzAt48k", 48000, true, 1000, 0.707},
                                           FilterCase{"HighPass200HzAt48k", 48000, false, 200, 0.707}),
                         [](const ::testing::TestParamInfo<FilterCase>& info) { return std::string(info.param.name); });

}  // namespace
