// Drawing on the timer tick: one complete noise tick at the largest window
// (meter, waveform, spectrum with its FFT), and the full redraw of the
// longest sweep curve.
#include <benchmark/benchmark.h>

#include <vector>

#include "dsp/C_FFT.h"
#include "measurement/Graphs.h"
#include "measurement/TestSignal.h"
#include "support/Decibels.h"
#include "widgets/C_VU.h"
#include "widgets/PictureBox.h"

using namespace measurement;

namespace {

void BM_NoiseTickDrawing1900x900(benchmark::State& state) {
  basic::SetTwipsPerPixel(15);
  basic::PictureBox vuPic, wavePic, fftPic;
  vuPic.SetPixelSize(464, 46);
  wavePic.SetPixelSize(464, 115);
  fftPic.SetPixelSize(1900, 900);
  C_VU vu;
  vu.SetPictureBox(&vuPic);
  vu.SetMargin(900, 900, -1, -1);
  vu.SetNumValue(1);
  vu.SetParms();
  C_FFT fft;
  fft.Init(kFftPoints);
  const int32_t rate = 48000, n = 10 * rate, chunk = 2401;
  std::vector<StereoSample> play(static_cast<size_t>(n)), rec(static_cast<size_t>(n));
  GenerateNoise(play, 23197, 1);
  GenerateNoise(rec, 11000, 2);
  NoiseSpectrum spectrum;
  int32_t first = 1;
  for (auto _ : state) {
    const int32_t last = first + chunk - 1;
    const StretchLevels levels = MeasureStretch(play, rec, first, last);
    for (int i = 0; i < 2; ++i) {
      const auto v = static_cast<float>(basic::LinToDb(levels.rms[i] / 32767));
      vu.DrawVU(i, v, static_cast<float>(basic::LinToDb(levels.peak[i] / 32767.0)), MeterText(v), 99);
    }
    DrawWaveOn(wavePic, play, rec, first, last);
    DrawSpectrumGrid(fftPic, -6);
    NoiseStep(fft, rec, n, first, spectrum);
    DrawNoiseCurve(fftPic, spectrum, rate, -6, 0xFF80FF);
    first = last + 1 < n - 5000 ? last + 1 : 1;
  }
}
BENCHMARK(BM_NoiseTickDrawing1900x900)->Unit(benchmark::kMicrosecond);

void BM_SweepRedraw30s192k(benchmark::State& state) {
  basic::SetTwipsPerPixel(15);
  basic::PictureBox fftPic;
  fftPic.SetPixelSize(1900, 900);
  const int32_t rate = 192000, n = 30 * rate;
  std::vector<StereoSample> capture(static_cast<size_t>(n));
  SweepTable table;
  std::vector<int16_t> level;
  GenerateSweep(capture, rate, 16000, table, level);
  AnalyseSweep(capture, n, rate, table.freq, level);
  for (auto _ : state) {
    DrawSpectrumGrid(fftPic, -6);
    DrawSweepCurve(fftPic, level, table.freq, n, rate, false, -6, 0xFF80FF);
  }
}
BENCHMARK(BM_SweepRedraw30s192k)->Unit(benchmark::kMillisecond);

}  // namespace
