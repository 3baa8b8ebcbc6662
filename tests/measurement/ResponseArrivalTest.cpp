// The arrival a response is read against: found from the response itself,
// to a small fraction of a frame, for minimum-phase paths (the delay is
// exact), and close to the pure delay for a path with an all-pass part.
#include "measurement/ResponseArrival.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "audio/Biquad.h"
#include "measurement/Recording.h"
#include "measurement/Responses.h"
#include "measurement/TestSignal.h"
#include "tests/measurement/CableResponse.h"
#include "tests/measurement/SimulatedSweep.h"

using namespace measurement;
using namespace measurement::testing;
using WaveMMIO::Biquad;

namespace {

// A one-pole low-pass as sound servers' plug-ins make it:
// y(n) = (1 - a) x(n) + a y(n - 1), a from the corner frequency.
struct OnePole {
  double a = 0, y = 0;
  OnePole(double rate, double hz) {
    const double c = 2 - std::cos(2 * kPi * hz / rate);
    a = c - std::sqrt(c * c - 1);
  }
  double Process(double x) { return y = (1 - a) * x + a * y; }
  std::complex<double> ResponseAt(double rate, double hz) const {
    return (1 - a) / (1.0 - a * std::polar(1.0, -2 * kPi * hz / rate));
  }
};

// The simulated run's response deconvolved with a timing `off` frames wrong.
ImpulseResponse Misplaced(const measurement::testing::SimulatedSweep& run, double off) {
  return Deconvolve(run.play, run.capture, run.rate, SweepShapeFor(run.rate, static_cast<int64_t>(run.play.size())),
                    {static_cast<double>(run.delayFrames) + off, 0});
}

}  // namespace

TEST(ResponseArrival, AMinimumPhasePathArrivesAtItsPureDelay) {
  const int32_t rate = 48000;
  const std::vector<std::vector<Biquad>> paths = {
      CableFilters(rate),
      {Biquad::LowPass(rate, 1000, 0.5)},
      // Steep: a 4th-order Butterworth high-pass at 200 Hz, flat to the
      // Nyquist frequency, where the sweep's own top must not be taken for
      // a fall of the path's.
      {Biquad::HighPass(rate, 200, 0.5411961), Biquad::HighPass(rate, 200, 1.3065630)},
  };
  // The excess phase of each, held against the filters' formula: 3 degrees
  // at most, the steep path within 1.
  const double allowedDeg[] = {3, 3, 1};
  for (size_t p = 0; p < paths.size(); ++p) {
    const auto run = SimulateSweep(rate, 3, -60, [&](WaveMMIO::LoopbackBackend& b) { b.SetPathFilters(paths[p]); });
    for (const double off : {-2.6, -0.5, 0.37, 3.2}) {
      ImpulseResponse ir = Misplaced(run, off);
      ASSERT_FALSE(ir.Empty());
      const std::optional<double> arrival = ResponseArrival(ir);
      ASSERT_TRUE(arrival.has_value()) << p << " " << off;
      // From the whole frame the response was cut at.
      const auto cut = std::llround(static_cast<double>(run.delayFrames) + off);
      EXPECT_NEAR(*arrival, static_cast<double>(run.delayFrames - cut), 0.05) << "path " << p << ", off " << off;
      ASSERT_TRUE(MoveToArrival(ir));
      EXPECT_NEAR(ir.timing.delayFrames, static_cast<double>(run.delayFrames), 0.05) << p << " " << off;
      for (const ResponsePoint& point : FrequencyResponse(ir, LogFrequencies(50, 10000, 6))) {
        const std::complex<double> truth = Cascade(paths[p], rate, point.hz);
        ASSERT_NEAR(WrapDeg(point.phaseDeg - Deg(truth)), 0, allowedDeg[p])
            << "path " << p << ", off " << off << ", " << point.hz << " Hz";
      }
    }
  }
}

TEST(ResponseArrival, AnAllPassPartKeepsItsOwnGroupDelay) {
  const int32_t rate = 48000;
  const std::vector<Biquad> path = {Biquad::AllPass(rate, 1000, 0.7), Biquad::AllPass(rate, 150, 2.0)};
  const auto run = SimulateSweep(rate, 3, -60, [&](WaveMMIO::LoopbackBackend& b) { b.SetPathFilters(path); });
  ImpulseResponse ir = Misplaced(run, 1.4);
  ASSERT_TRUE(MoveToArrival(ir));
  // The all-pass's own delay at high frequencies is all that is taken for the path's.
  EXPECT_NEAR(ir.timing.delayFrames, static_cast<double>(run.delayFrames), 0.01e-3 * rate);
  for (const ResponsePoint& p : FrequencyResponse(ir, LogFrequencies(50, 10000, 12))) {
    const double d = 0.005;
    const double truthMs =
        -std::arg(Cascade(path, rate, p.hz + d) / Cascade(path, rate, p.hz - d)) / (4 * kPi * d) * 1000;
    EXPECT_NEAR(p.groupDelayMs, truthMs, 0.05) << p.hz;
  }
}

TEST(ResponseArrival, NothingIsFoundWithoutAResponseAboveItsNoise) {
  EXPECT_FALSE(ResponseArrival(ImpulseResponse{}).has_value());
  ImpulseResponse ir;
  ir.rate = 48000;
  ir.sweep = SweepShapeFor(48000, 96000);
  ir.origin = 30000;
  ir.samples.assign(static_cast<size_t>(ir.origin + ir.rate), 0.0f);
  EXPECT_FALSE(ResponseArrival(ir).has_value());
  EXPECT_FALSE(MoveToArrival(ir));
  // An impulse exactly at the origin arrives there.
  ir.samples[static_cast<size_t>(ir.origin)] = 1.0f;
  ASSERT_TRUE(ResponseArrival(ir).has_value());
  EXPECT_NEAR(*ResponseArrival(ir), 0.0, 1e-6);
}

// A recording made elsewhere through a one-pole low-pass at 1 kHz (as a
// sound server's plug-in filters), 0.2 s after the recorder started: its
// response reads the filter's phase from 50 Hz to 10 kHz. The one-pole
// levels off towards the Nyquist frequency rather than falling to nothing
// there; carried on down, its top would shift the arrival by 0.007 frames
// (half a degree at 10 kHz).
TEST(ResponseArrival, ARecordingThroughAOnePoleLowPassReadsItsPhase) {
  const int32_t rate = 48000;
  std::vector<StereoSample> played(static_cast<size_t>(5 * rate));
  SweepTable table;
  std::vector<int16_t> level;
  GenerateSweep(played, rate, SignalAmplitude(-60), table, level);
  OnePole filter(rate, 1000);
  const OnePole truth = filter;
  constexpr int64_t kDelay = 9600;
  std::vector<StereoSample> captured(static_cast<size_t>(kDelay) + played.size() + static_cast<size_t>(rate));
  for (size_t i = static_cast<size_t>(kDelay); i < captured.size(); ++i) {
    const size_t j = i - static_cast<size_t>(kDelay);
    const double v = filter.Process(j < played.size() ? played[j].Left : 0.0);
    const auto s = static_cast<int16_t>(std::nearbyint(v));
    captured[i] = {s, s};
  }
  const RecordingAnalysis analysis = AnalyseRecording(played, captured, rate);
  const ImpulseResponse& ir = analysis.response;
  ASSERT_FALSE(ir.Empty());
  EXPECT_NEAR(static_cast<double>(analysis.from) + ir.timing.delayFrames, kDelay, 0.002);
  for (const ResponsePoint& p : FrequencyResponse(ir, LogFrequencies(50, 10000, 12))) {
    const std::complex<double> h = truth.ResponseAt(rate, p.hz);
    EXPECT_NEAR(p.gainDb, 20 * std::log10(std::abs(h)), 0.1) << p.hz << " Hz";
    ASSERT_NEAR(WrapDeg(p.phaseDeg - Deg(h)), 0, 0.2) << p.hz << " Hz";
  }
}
