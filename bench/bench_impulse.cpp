// A whole sweep run's analysis at the largest size: 30 s at 192 kHz
// deconvolved, then its magnitude, phase, group delay, energy-time curve and
// distortion read at the points the details and the exports use.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "audio/Biquad.h"
#include <QTemporaryDir>

#include "measurement/ImpulseResponse.h"
#include "measurement/Responses.h"
#include "measurement/SideFiles.h"
#include "measurement/TestSignal.h"

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

void BM_AnalyseImpulse30s192k(benchmark::State& state) {
  static const LongRun run;
  const SweepShape shape = SweepShapeFor(LongRun::kRate, static_cast<int64_t>(run.play.size()));
  const auto response = LogFrequencies(10, LongRun::kRate / 2.0, 48);
  const auto distortion = LogFrequencies(10, LongRun::kRate / 4.0, 24);
  for (auto _ : state) {
    const ImpulseResponse ir = Deconvolve(run.play, run.capture, LongRun::kRate, shape, {57600.0, 0});
    if (ir.Empty()) state.SkipWithError("no response");
    const auto points = FrequencyResponse(ir, response);
    const auto harmonics = Distortion(ir, distortion);
    const auto etc = EnergyTime(ir, -LongRun::kRate / 100, LongRun::kRate);
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
