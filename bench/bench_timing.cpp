// Following the timing of the longest run piece by piece, beside the
// whole-run delay search it starts from.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "audio/Biquad.h"
#include "measurement/PathDelay.h"
#include "measurement/TestSignal.h"
#include "measurement/Timing.h"

namespace {

using namespace measurement;

// The sweep 0.3 s late through a band-pass, with the capture running on past
// the playback as a run's does, and 100 ppm of drift so that every piece
// has its own delay.
void BM_FollowTiming30s192k(benchmark::State& state) {
  const int32_t rate = 192000, n = 30 * rate, delay = 57600;
  std::vector<StereoSample> play(static_cast<size_t>(n));
  SweepTable table;
  std::vector<int16_t> level;
  GenerateSweep(play, rate, 16000, table, level);
  std::vector<StereoSample> capture(static_cast<size_t>(n + CaptureTailFrames(rate, n)));
  const double q = 1 / std::sqrt(2.0);
  WaveMMIO::Biquad hp = WaveMMIO::Biquad::HighPass(rate, 100, q), lp = WaveMMIO::Biquad::LowPass(rate, 20000, q);
  for (size_t j = 0; j < capture.size(); ++j) {
    const double source = (static_cast<double>(j) - delay) / (1 + 100e-6);
    const auto b = static_cast<int64_t>(std::floor(source));
    const double x = b >= 0 && b < n ? play[static_cast<size_t>(b)].Left : 0.0;
    capture[j].Left = static_cast<int16_t>(std::nearbyint(0.5 * lp.Process(hp.Process(x))));
  }
  for (auto _ : state) {
    const RunTiming t = FollowTiming(play, capture, rate, table.freq, 0.0);
    if (!t.found || std::abs(t.delayFrames - delay) > 4) state.SkipWithError("wrong delay");
    benchmark::DoNotOptimize(t);
  }
}
BENCHMARK(BM_FollowTiming30s192k)->Unit(benchmark::kMillisecond);

}  // namespace
