#include "measurement/Analysis.h"

#include <algorithm>
#include <cmath>

#include "dsp/C_FFT.h"
#include "measurement/TestSignal.h"
#include "measurement/Timing.h"
#include "support/Decibels.h"

namespace measurement {

bool NoiseStep(C_FFT& fft, std::span<const StereoSample> capture, int32_t capturedFrames, int32_t start,
               NoiseSpectrum& spectrum) {
  const int64_t end = static_cast<int64_t>(start) + kFftPoints;
  if (start < 0 || end > capturedFrames || end > static_cast<int64_t>(capture.size())) return false;
  for (int i = 0; i < kFftPoints; ++i) fft.SetRealIn(i, capture[static_cast<size_t>(start + i)].Left);
  fft.FourierTransform();
  const double n = spectrum.count + 1.0;
  const double keep = spectrum.count / n, add = 1.0 / n;
  for (int k = 0; k < kSpectrumBins; ++k) {
    const double v = std::abs(fft.RealOut(k)) / kSpectrumDivisor;
    float& mean = spectrum.values[static_cast<size_t>(k)];
    mean = static_cast<float>(keep * mean + add * v);
  }
  spectrum.count += 1;
  return true;
}

float SweepFrequency(int32_t rate, int32_t count, int32_t i) {
  const double nyquist = rate / 2.0;
  const double span = basic::LinToDb(10.0 / nyquist);
  return static_cast<float>(nyquist * basic::DbToLin(span / count * (count - i)));
}

bool MakeSweepFreqTable(SweepTable& table, int32_t rate, int32_t count) {
  if (rate == table.keyRate && count == table.keyCount && static_cast<int32_t>(table.freq.size()) == count)
    return false;
  const int32_t n = std::max<int32_t>(count, 0);
  table.freq.assign(static_cast<size_t>(n), 0.0f);
  FillSweepFrequencies(table.freq, rate);  // the same table the generator makes
  table.keyRate = rate;
  table.keyCount = count;
  return true;
}

void AnalyseSweep(std::span<const StereoSample> capture, int32_t totalFrames, int32_t rate,
                  std::span<const float> sweepFreq, std::span<int16_t> level, int32_t delay) {
  // Sweep samples [first, end) have their capture frame b + delay inside the capture.
  const int64_t captured = std::min<int64_t>(totalFrames, static_cast<int64_t>(capture.size()));
  const int64_t first = std::max<int64_t>(0, -static_cast<int64_t>(delay));
  const int64_t end =
      std::min<int64_t>({static_cast<int64_t>(totalFrames), static_cast<int64_t>(sweepFreq.size()), captured - delay});
  const auto levels = static_cast<int64_t>(level.size());
  const auto sample = [&](int64_t b) { return static_cast<double>(capture[static_cast<size_t>(b + delay)].Left); };
  double q = 0;       // sum of squares in the window
  int64_t c = 0;      // samples in the window
  int64_t t = first;  // oldest sample in the window
  int64_t w = first;  // next entry to write
  for (int64_t b = first; b < end; ++b) {
    const double x = sample(b);
    q += x * x;
    ++c;
    const double r = std::min(std::sqrt(std::max(q, 0.0) / static_cast<double>(c)), 32767.0);
    const double f = sweepFreq[static_cast<size_t>(b)];
    if (!(f > 0)) return;  // no frequency for this sample: the table is not for this capture
    const auto span = static_cast<int64_t>(std::nearbyint(rate / f * 4.0));
    const auto centre = static_cast<int64_t>(std::nearbyint(static_cast<double>(b) - span / 2.0));
    if (centre > first) {
      const auto value = static_cast<int16_t>(std::nearbyint(r));
      for (int64_t j = w; j <= centre && j < levels; ++j) level[static_cast<size_t>(j)] = value;
      w = centre;
    }
    while (c > span) {
      const double y = sample(t);
      q -= y * y;
      ++t;
      --c;
      if (t >= end) return;
    }
  }
}

void AnalyseSweep(std::span<const StereoSample> capture, int32_t rate, std::span<const float> sweepFreq,
                  std::span<int16_t> level, const RunTiming& timing) {
  const auto n = static_cast<int64_t>(std::min(sweepFreq.size(), level.size()));
  const auto frames = static_cast<int64_t>(capture.size());
  const auto frameOf = [&](int64_t b) {
    const int64_t c = timing.CaptureFrame(b);
    return c < frames ? c : -1;
  };
  double q = 0;         // sum of squares in the window
  int64_t c = 0;        // samples in the window
  int64_t t = 0;        // oldest sample in the window
  int64_t w = 0;        // next entry to write
  int64_t from = 0;     // the window's start after the last break
  bool broken = false;  // a break came: entries up to the next centre are 0
  for (int64_t b = 0; b < n; ++b) {
    const int64_t frame = frameOf(b);
    if (frame < 0) {
      level[static_cast<size_t>(b)] = 0;
      q = 0;
      c = 0;
      t = b + 1;
      from = b + 1;
      broken = true;
      continue;
    }
    const double x = capture[static_cast<size_t>(frame)].Left;
    q += x * x;
    ++c;
    const double r = std::min(std::sqrt(std::max(q, 0.0) / static_cast<double>(c)), 32767.0);
    const double f = sweepFreq[static_cast<size_t>(b)];
    if (!(f > 0)) return;
    const auto span = static_cast<int64_t>(std::nearbyint(rate / f * 4.0));
    const auto centre = static_cast<int64_t>(std::nearbyint(static_cast<double>(b) - span / 2.0));
    if (centre > from) {
      if (broken) {
        for (int64_t j = from; j < centre && j < n; ++j) level[static_cast<size_t>(j)] = 0;
        w = centre;
        broken = false;
      }
      const auto value = static_cast<int16_t>(std::nearbyint(r));
      for (int64_t j = w; j <= centre && j < n; ++j) level[static_cast<size_t>(j)] = value;
      w = centre;
    }
    while (c > span && t <= b) {
      const int64_t old = frameOf(t);
      const double y = old >= 0 ? capture[static_cast<size_t>(old)].Left : 0.0;
      q -= y * y;
      ++t;
      --c;
    }
  }
}

}  // namespace measurement
