// Generating the longest sweep (30 s at 192 kHz) beside its floor: a plain
// loop of as many sin calls over the same range of phases.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "measurement/TestSignal.h"

using namespace measurement;

namespace {

constexpr int32_t kRate = 192000;
constexpr int32_t kFrames = 30 * kRate;

void BM_GenerateSweep30s192k(benchmark::State& state) {
  std::vector<StereoSample> play(kFrames);
  SweepTable table;
  std::vector<int16_t> level;
  for (auto _ : state) {
    GenerateSweep(play, kRate, SignalAmplitude(-30), table, level);
    benchmark::DoNotOptimize(play.data());
  }
}
BENCHMARK(BM_GenerateSweep30s192k)->Unit(benchmark::kMillisecond);

void BM_SinFloor30s192k(benchmark::State& state) {
  std::vector<int16_t> out(kFrames);
  // The sweep's phase runs up to about 2 pi * 24000 * 30 s / ln(9600); step alike.
  const double step = 2 * 3.14159265358979 * 1000.0 / kRate;
  for (auto _ : state) {
    double phase = 0;
    for (int32_t i = 0; i < kFrames; ++i) {
      phase += step;
      out[static_cast<size_t>(i)] = static_cast<int16_t>(std::sin(phase) * 23197.0);
    }
    benchmark::DoNotOptimize(out.data());
  }
}
BENCHMARK(BM_SinFloor30s192k)->Unit(benchmark::kMillisecond);

void BM_GenerateNoise30s192k(benchmark::State& state) {
  std::vector<StereoSample> play(kFrames);
  for (auto _ : state) {
    GenerateNoise(play, SignalAmplitude(-30), 5);
    benchmark::DoNotOptimize(play.data());
  }
}
BENCHMARK(BM_GenerateNoise30s192k)->Unit(benchmark::kMillisecond);

}  // namespace

// From the click to playback: buffers sized, the 30 s sweep at 192 kHz built,
// both devices opened and started (on the loopback simulator).
#include <memory>

#include "audio/LoopbackSim.h"
#include "measurement/MeasurementRun.h"

namespace {

void BM_RunStartup30s192k(benchmark::State& state) {
  std::vector<std::unique_ptr<WaveMMIO::SoundBackend>> backends;
  backends.push_back(std::make_unique<WaveMMIO::LoopbackBackend>(WaveMMIO::SteadyNanoClock()));
  WaveMMIO::SoundHost::Instance().SetBackends(std::move(backends));
  MeasurementRun run;
  RunRequest request;
  request.deviceOut = request.deviceIn = WaveMMIO::LoopbackBackend::kDeviceName;
  request.sampleRate = kRate;
  request.seconds = 30;
  for (auto _ : state) {
    if (!run.Start(request)) state.SkipWithError("the run did not start");
    state.PauseTiming();
    run.StopRun();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_RunStartup30s192k)->Unit(benchmark::kMillisecond);

}  // namespace
