// The details window's work for the longest result: opening a 30 s 192 kHz
// sweep result (read, curve, views, picture) with nothing cached, and
// redrawing it with another smoothing once it is read.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <vector>

#include "measurement/DetailViews.h"
#include "measurement/Result.h"
#include "measurement/ResultFiles.h"
#include "measurement/TestSignal.h"
#include "support/Surface.h"

using namespace measurement;

namespace {

// A result of the longest sweep at the highest rate, written once.
QString LongResult(const QTemporaryDir& dir) {
  const QString path = dir.filePath("01.dat");
  Result run;
  run.mode = SignalMode::Sweep;
  run.sampleRate = 192000;
  const int32_t frames = 30 * 192000;
  std::vector<StereoSample> capture(static_cast<size_t>(frames));
  GenerateSweep(capture, run.sampleRate, 16000, run.sweepTable, run.envelope);
  AnalyseSweep(capture, frames, run.sampleRate, run.sweepTable.freq, run.envelope);
  SaveResultFile(path, run);
  return path;
}

void BM_DetailsOpen30s192k(benchmark::State& state) {
  basic::SetTwipsPerPixel(15);
  QTemporaryDir dir;
  const QString path = LongResult(dir);
  basic::Surface picture;
  picture.SetPixelSize(1200, 700);
  for (auto _ : state) {
    DetailCache cache;
    const std::vector<DetailSeries> shown = {{"01", 0xFF80FF, cache.Get(path, -6.0f)}};
    DrawPlots(picture, BuildDetailViews(DetailTab::Magnitude, ViewSmoothing::None, shown));
  }
}
BENCHMARK(BM_DetailsOpen30s192k)->Unit(benchmark::kMillisecond);

void BM_DetailsSmoothingRedraw30s192k(benchmark::State& state) {
  basic::SetTwipsPerPixel(15);
  QTemporaryDir dir;
  const QString path = LongResult(dir);
  basic::Surface picture;
  picture.SetPixelSize(1200, 700);
  DetailCache cache;
  int i = 0;
  for (auto _ : state) {
    const std::vector<DetailSeries> shown = {{"01", 0xFF80FF, cache.Get(path, -6.0f)}};
    const auto smoothing = static_cast<ViewSmoothing>(i++ % kSmoothingCount);
    DrawPlots(picture, BuildDetailViews(DetailTab::Magnitude, smoothing, shown));
  }
}
BENCHMARK(BM_DetailsSmoothingRedraw30s192k)->Unit(benchmark::kMillisecond);

}  // namespace
