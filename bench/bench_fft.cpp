// The FFT engine beside FFTW (the yardstick), one complete noise tick, and
// the sweep envelope and the path delay of the longest run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "dsp/C_FFT.h"
#include "dsp/FastFourier.h"
#include "measurement/Analysis.h"
#include "measurement/PathDelay.h"
#include "measurement/TestSignal.h"

#ifdef ZARIN_BENCH_FFTW
#include <fftw3.h>
#endif

using namespace measurement;

namespace {

std::vector<double> RandomBlock(size_t n) {
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> d(-32768, 32767);
  std::vector<double> v(n);
  for (double& x : v) x = d(rng);
  return v;
}

void BM_FourierTransform2048(benchmark::State& state) {
  C_FFT fft;
  fft.Init(2048);
  const auto x = RandomBlock(2048);
  for (int i = 0; i < 2048; ++i) fft.SetRealIn(i, x[static_cast<size_t>(i)]);
  for (auto _ : state) {
    fft.FourierTransform();
    benchmark::DoNotOptimize(fft.RealOut(7));
  }
}
BENCHMARK(BM_FourierTransform2048);

#ifdef ZARIN_BENCH_FFTW
void BM_FftwComplex2048(benchmark::State& state) {
  fftw_complex* in = fftw_alloc_complex(2048);
  fftw_complex* out = fftw_alloc_complex(2048);
  fftw_plan plan = fftw_plan_dft_1d(2048, in, out, FFTW_FORWARD, FFTW_MEASURE);
  const auto x = RandomBlock(2048);
  for (int i = 0; i < 2048; ++i) {
    in[i][0] = x[static_cast<size_t>(i)];
    in[i][1] = 0;
  }
  for (auto _ : state) {
    fftw_execute(plan);
    benchmark::DoNotOptimize(out[7][0]);
  }
  fftw_destroy_plan(plan);
  fftw_free(in);
  fftw_free(out);
}
BENCHMARK(BM_FftwComplex2048);

void BM_FftwRealToComplex2048(benchmark::State& state) {
  double* in = fftw_alloc_real(2048);
  fftw_complex* out = fftw_alloc_complex(1025);
  fftw_plan plan = fftw_plan_dft_r2c_1d(2048, in, out, FFTW_MEASURE);
  const auto x = RandomBlock(2048);
  for (int i = 0; i < 2048; ++i) in[i] = x[static_cast<size_t>(i)];
  for (auto _ : state) {
    fftw_execute(plan);
    benchmark::DoNotOptimize(out[7][0]);
  }
  fftw_destroy_plan(plan);
  fftw_free(in);
  fftw_free(out);
}
BENCHMARK(BM_FftwRealToComplex2048);
#endif

// What one timer tick of a noise run computes: 2048 samples in, the
// transform, 1025 bins folded into the running mean.
void BM_NoiseTick(benchmark::State& state) {
  C_FFT fft;
  fft.Init(2048);
  std::vector<StereoSample> capture(48000);
  GenerateNoise(capture, 23197, 3);
  NoiseSpectrum spectrum;
  int32_t start = 0;
  for (auto _ : state) {
    NoiseStep(fft, capture, 48000, start, spectrum);
    start = (start + 2205) % 40000;
  }
}
BENCHMARK(BM_NoiseTick)->Unit(benchmark::kMicrosecond);

void BM_AnalyseSweep30s192k(benchmark::State& state) {
  const int32_t rate = 192000, n = 30 * rate;
  std::vector<StereoSample> capture(static_cast<size_t>(n));
  SweepTable table;
  std::vector<int16_t> level;
  GenerateSweep(capture, rate, 16000, table, level);
  for (auto _ : state) {
    AnalyseSweep(capture, n, rate, table.freq, level);
    benchmark::DoNotOptimize(level.data());
  }
}
BENCHMARK(BM_AnalyseSweep30s192k)->Unit(benchmark::kMillisecond);

// Finding the path delay of the longest run: the capture is the sweep 0.3 s
// late through a gain, so that every stage of the search does its full work.
void BM_FindPathDelay30s192k(benchmark::State& state) {
  const int32_t rate = 192000, n = 30 * rate, delay = 57600;
  std::vector<StereoSample> play(static_cast<size_t>(n)), capture(static_cast<size_t>(n));
  SweepTable table;
  std::vector<int16_t> level;
  GenerateSweep(play, rate, 16000, table, level);
  for (int32_t j = delay; j < n; ++j)
    capture[static_cast<size_t>(j)].Left = static_cast<int16_t>(play[static_cast<size_t>(j - delay)].Left / 2);
  for (auto _ : state) {
    const PathDelay found = FindPathDelay(play, capture, rate, table.freq);
    if (!found.found || found.frames != delay) state.SkipWithError("wrong delay");
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_FindPathDelay30s192k)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

// The program's own FFT at the sizes a run's deconvolution uses (2^23 for
// 30 s at 192 kHz), beside FFTW's complex transform of the same size.
void FastFourierAt(benchmark::State& state, size_t n, int threads) {
  dsp::FastFourier fft;
  fft.Init(n);
  fft.SetThreads(threads);
  std::vector<std::complex<double>> data(n);
  const auto x = RandomBlock(n);
  for (size_t i = 0; i < n; ++i) data[i] = x[i];
  for (auto _ : state) {
    fft.ForwardScrambled(data);
    benchmark::DoNotOptimize(data[7]);
  }
}
void BM_FastFourier65536(benchmark::State& state) { FastFourierAt(state, size_t{1} << 16, 2); }
void BM_FastFourier65536OneThread(benchmark::State& state) { FastFourierAt(state, size_t{1} << 16, 1); }
void BM_FastFourier8M(benchmark::State& state) { FastFourierAt(state, size_t{1} << 23, 2); }
void BM_FastFourier8MOneThread(benchmark::State& state) { FastFourierAt(state, size_t{1} << 23, 1); }
BENCHMARK(BM_FastFourier65536)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FastFourier65536OneThread)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FastFourier8M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FastFourier8MOneThread)->Unit(benchmark::kMillisecond);

// Where a second thread starts to pay: sizes 2^15 .. 2^20 with one thread
// allowed and with two (below the size the transform splits at, two
// threads allowed run as one).
void BM_FastFourierThreads(benchmark::State& state) {
  FastFourierAt(state, size_t{1} << state.range(0), static_cast<int>(state.range(1)));
}
BENCHMARK(BM_FastFourierThreads)->ArgsProduct({{15, 16, 17, 18, 19, 20}, {1, 2}})->Unit(benchmark::kMicrosecond);

#ifdef ZARIN_BENCH_FFTW
void FftwAt(benchmark::State& state, size_t n, unsigned flags) {
  const int size = static_cast<int>(n);
  fftw_complex* in = fftw_alloc_complex(n);
  fftw_complex* out = fftw_alloc_complex(n);
  fftw_plan plan = fftw_plan_dft_1d(size, in, out, FFTW_FORWARD, flags);
  const auto x = RandomBlock(n);
  for (size_t i = 0; i < n; ++i) {
    in[i][0] = x[i];
    in[i][1] = 0;
  }
  for (auto _ : state) {
    fftw_execute(plan);
    benchmark::DoNotOptimize(out[7][0]);
  }
  fftw_destroy_plan(plan);
  fftw_free(in);
  fftw_free(out);
}
void BM_FftwComplex65536(benchmark::State& state) { FftwAt(state, size_t{1} << 16, FFTW_MEASURE); }
// Measuring plans at 2^23 takes minutes; FFTW's estimate is its usual choice there.
void BM_FftwComplex8M(benchmark::State& state) { FftwAt(state, size_t{1} << 23, FFTW_ESTIMATE); }
BENCHMARK(BM_FftwComplex65536)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftwComplex8M)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
