// Cost of the loopback simulator: computing one second of 192 kHz stereo
// capture (delay, both filters, gain, noise) from a played buffer. The
// "real_time_fraction" counter is the processing time per second of audio.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

#include "audio/LoopbackSim.h"

using namespace WaveMMIO;

static void BM_LoopbackOneSecond192k(benchmark::State& state) {
  constexpr int kRate = 192000;
  std::vector<StereoSample> play(kRate), rec(kRate);
  for (int i = 0; i < kRate; ++i) {
    const auto v = static_cast<int16_t>(std::lround(16000 * std::sin(i * 0.0327)));
    play[static_cast<size_t>(i)] = {v, v};
  }
  auto now = std::make_shared<int64_t>(0);
  LoopbackBackend backend([now] { return *now; });
  double seconds = 0;
  for (auto _ : state) {
    std::unique_ptr<SoundStream> in, out;
    backend.Open(Direction::Input, 0, kRate, in);
    backend.Open(Direction::Output, 0, kRate, out);
    in->Queue(rec.data(), kRate);
    out->Queue(play.data(), kRate);
    in->Start();
    *now += 1'000'000'000;
    const auto t0 = std::chrono::steady_clock::now();
    int64_t pos = 0;
    in->Position(pos);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    benchmark::DoNotOptimize(rec.data());
    in->Close();
    out->Close();
  }
  state.counters["real_time_fraction"] = seconds / static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations() * kRate);
}
BENCHMARK(BM_LoopbackOneSecond192k)->Unit(benchmark::kMillisecond);
