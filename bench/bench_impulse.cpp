// A whole sweep run's analysis at the largest size: 30 s at 192 kHz
// deconvolved as a run does it (along its timing, the capture read through
// the sinc interpolator for its clock's drift, the response moved to its own
// arrival), then its magnitude, phase, group delay, energy-time curve and
// distortion read at the points the details and the exports use.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <cmath>
#include <string>
#include <vector>

#include "audio/Biquad.h"

#include "measurement/ImpulseResponse.h"
#include "measurement/Responses.h"
#include "measurement/RunResponse.h"
#include "measurement/SideFiles.h"
#include "measurement/TestSignal.h"
#include "measurement/Timing.h"

using namespace measurement;

namespace {

struct LongRun {
  static constexpr int32_t kRate = 192000;
  LongRun() : play(static_cast<size_t>(30 * kRate)), capture(play.size()) {
    SweepTable table;
    std::vector<int16_t> level;
    GenerateSweep(play, kRate, SignalAmplitude(-60), table, level);
    // 0.3 s late through a high-pass, with a little second harmonic.
    WaveMMIO::Biquad hp = WaveMMIO::Biquad::HighPass(kRate, 100, 0.7071);
    const size_t delay = 57600;
    for (size_t j = delay; j < capture.size(); ++j) {
      const double x = play[j - delay].Left / 32768.0;
      const auto v = static_cast<int16_t>(std::nearbyint(hp.Process(x + 0.01 * x * x) * 16384.0));
      capture[j] = {v, v};
    }
  }
  std::vector<StereoSample> play, capture;
};

// The same sweep captured by a clock 20 ppm fast (resampled by linear
// interpolation), running on past playback as a run's capture does, with
// the timing a run finds on it.
struct DriftingRun {
  static constexpr int32_t kRate = 192000;
  static constexpr double kDriftPpm = 20;
  DriftingRun() : play(static_cast<size_t>(30 * kRate)) {
    const auto n = static_cast<int64_t>(play.size());
    GenerateSweep(play, kRate, SignalAmplitude(-60), table, level);
    capture.resize(static_cast<size_t>(n + CaptureTailFrames(kRate, n)));
    WaveMMIO::Biquad hp = WaveMMIO::Biquad::HighPass(kRate, 100, 0.7071);
    const double delay = 57600;
    for (size_t j = 0; j < capture.size(); ++j) {
      const double source = (static_cast<double>(j) - delay) / (1 + kDriftPpm * 1e-6);
      const auto b = static_cast<int64_t>(std::floor(source));
      const double u = source - std::floor(source);
      const auto at = [&](int64_t k) { return k >= 0 && k < n ? play[static_cast<size_t>(k)].Left / 32768.0 : 0.0; };
      const double x = at(b) * (1 - u) + at(b + 1) * u;
      const auto v = static_cast<int16_t>(std::nearbyint(hp.Process(x + 0.01 * x * x) * 16384.0));
      capture[j] = {v, v};
    }
    timing = FollowTiming(play, capture, kRate, table.freq, 0.0);
  }
  std::vector<StereoSample> play, capture;
  SweepTable table;
  std::vector<int16_t> level;
  RunTiming timing;
};

void BM_AnalyseImpulse30s192k(benchmark::State& state) {
  static const DriftingRun run;
  constexpr int32_t rate = DriftingRun::kRate;
  if (!run.timing.found || std::abs(run.timing.driftPpm - DriftingRun::kDriftPpm) > 2) {
    state.SkipWithError(("wrong timing: drift " + std::to_string(run.timing.driftPpm)).c_str());
    return;
  }
  const auto response = LogFrequencies(10, rate / 2.0, 48);
  const auto distortion = LogFrequencies(10, rate / 4.0, 24);
  for (auto _ : state) {
    const ImpulseResponse ir = SweepResponse(run.play, run.capture, rate, run.timing);
    if (ir.Empty()) state.SkipWithError("no response");
    const auto points = FrequencyResponse(ir, response);
    const auto harmonics = Distortion(ir, distortion);
    const auto etc = EnergyTime(ir, -rate / 100, rate);
    benchmark::DoNotOptimize(points.data());
    benchmark::DoNotOptimize(harmonics.data());
    benchmark::DoNotOptimize(etc.data());
  }
}
BENCHMARK(BM_AnalyseImpulse30s192k)->Unit(benchmark::kMillisecond);

void BM_Deconvolve30s192k(benchmark::State& state) {
  static const LongRun run;
  const SweepShape shape = SweepShapeFor(LongRun::kRate, static_cast<int64_t>(run.play.size()));
  for (auto _ : state) {
    const ImpulseResponse ir = Deconvolve(run.play, run.capture, LongRun::kRate, shape, {57600.0, 0});
    benchmark::DoNotOptimize(ir.samples.data());
  }
}
BENCHMARK(BM_Deconvolve30s192k)->Unit(benchmark::kMillisecond);

// What storing a run's result adds: its response and readings written
// beside it (NN.ir.wav, NN.json), each synced to disk.
void BM_WriteSideFiles30s192k(benchmark::State& state) {
  static const LongRun run;
  const SweepShape shape = SweepShapeFor(LongRun::kRate, static_cast<int64_t>(run.play.size()));
  const ImpulseResponse ir = Deconvolve(run.play, run.capture, LongRun::kRate, shape, {57600.0, 0});
  QTemporaryDir dir;
  const QString dat = dir.filePath(QStringLiteral("01.dat"));
  for (auto _ : state)
    if (!WriteSideFiles(dat, ir, {})) state.SkipWithError("not written");
}
BENCHMARK(BM_WriteSideFiles30s192k)->Unit(benchmark::kMillisecond);

}  // namespace
