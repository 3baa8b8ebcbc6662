#include "measurement/Gain.h"

#include <algorithm>
#include <cmath>

#include "measurement/Analysis.h"
#include "support/Decibels.h"

namespace measurement {

namespace {

constexpr double kFullScale = 32767.0;
// The envelope of a sine is its amplitude over sqrt 2: +3.01 dB to the peak.
const double kSineCrestDb = 20.0 * std::log10(std::sqrt(2.0));
// The noise spectrum's mean |Re X| / 25.5 against the noise's RMS.
const double kNoiseBinDb = 20.0 * std::log10(std::sqrt(kFftPoints / 3.14159265358979323846) / kSpectrumDivisor);

}  // namespace

double SweepGainDb(double envelope, double playedLevelDb) {
  return basic::LinToDb(envelope / kFullScale) + kSineCrestDb - playedLevelDb;
}

double NoiseGainDb(double spectrumValue, double playedLevelDb) {
  return basic::LinToDb(spectrumValue / kFullScale) + kSineCrestDb - kNoiseBinDb - playedLevelDb;
}

std::vector<GainPoint> NoiseGainCurve(std::span<const float> spectrum, int32_t sampleRate, double playedLevelDb) {
  std::vector<GainPoint> points;
  if (sampleRate <= 0) return points;
  const int last = std::min<int>(1023, static_cast<int>(spectrum.size()) - 1);
  for (int k = 1; k <= last; ++k)
    points.push_back({k * static_cast<double>(sampleRate) / kFftPoints,
                      NoiseGainDb(spectrum[static_cast<size_t>(k)], playedLevelDb)});
  return points;
}

std::vector<GainPoint> SweepGainCurve(std::span<const int16_t> level, std::span<const float> freq, int64_t count,
                                      double playedLevelDb) {
  std::vector<GainPoint> points;
  const auto n = static_cast<size_t>(std::max<int64_t>(
      0, std::min<int64_t>({count, static_cast<int64_t>(level.size()), static_cast<int64_t>(freq.size())})));
  if (n == 0) return points;
  const double first = freq[0], last = freq[n - 1];
  if (!(first > 0) || !(last >= first)) return points;
  // The table rises with the index: each point's range is a stretch of it.
  size_t from = 0;
  for (int j = 0;; ++j) {
    const double f = first * std::exp2(j / 24.0);
    if (f > last * (1 + 1e-9)) break;
    const double lo = f * std::exp2(-1 / 48.0), hi = f * std::exp2(1 / 48.0);
    while (from < n && freq[from] < lo) ++from;
    double sum = 0;
    int64_t values = 0;
    for (size_t i = from; i < n && freq[i] < hi; ++i) {
      const int16_t v = level[i];
      if (v <= 0) continue;  // nothing measured here
      sum += v;
      ++values;
    }
    if (values > 0) points.push_back({f, SweepGainDb(sum / static_cast<double>(values), playedLevelDb)});
  }
  return points;
}

}  // namespace measurement
