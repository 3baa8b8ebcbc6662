// Following the timing of the longest run piece by piece, beside the
// whole-run delay search it starts from.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "audio/Biquad.h"
#include "measurement/PathDelay.h"
#include "measurement/TestSignal.h"
#include "measurement/Timing.h"

namespace {

using namespace measurement;

// The sweep 0.3 s late through a band-pass, with the capture running on past
// the playback as a run's does, and 100 ppm of drift so that every piece
// has its own delay (the capture resampled by linear interpolation, which
// droops the top of the band without the group delay a minimum-phase path
// would have: the top piece reads early, and the drift must not follow it).
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
    const double u = source - std::floor(source);
    const auto at = [&](int64_t k) { return k >= 0 && k < n ? double(play[static_cast<size_t>(k)].Left) : 0.0; };
    const double x = at(b) * (1 - u) + at(b + 1) * u;
    capture[j].Left = static_cast<int16_t>(std::nearbyint(0.5 * lp.Process(hp.Process(x))));
  }
  for (auto _ : state) {
    const RunTiming t = FollowTiming(play, capture, rate, table.freq, 0.0);
    // 100 ppm over 30 s: the start is extrapolated from the pieces, to 0.1 ms.
    if (!t.found || std::abs(t.delayFrames - delay) > 20 || std::abs(t.driftPpm - 100) > 3)
      state.SkipWithError(
          ("wrong timing: delay " + std::to_string(t.delayFrames) + ", drift " + std::to_string(t.driftPpm)).c_str());
    benchmark::DoNotOptimize(t);
  }
}
BENCHMARK(BM_FollowTiming30s192k)->Unit(benchmark::kMillisecond);

}  // namespace
