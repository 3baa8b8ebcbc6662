#include "measurement/Calibrator.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "dsp/ComplexFFT.h"

namespace measurement {

namespace {

constexpr double kFullScale = 32767.0;
constexpr double kLowestHz = 20.0;  // below this: offset and rumble, not the tone
constexpr double kToneShare = 0.9;  // of the power above kLowestHz
constexpr double kSilenceDbfs = -100.0;
constexpr double kStretchSeconds = 0.1;

double PowerDb(double meanSquare) { return 10.0 * std::log10(2.0 * meanSquare); }  // sine-referenced

}  // namespace

CalibratorCheck CheckCalibrator(std::span<const WaveMMIO::StereoSample> capture, int32_t rate, double calibratorDb) {
  CalibratorCheck check;
  if (rate <= 0) return check;
  const auto n = static_cast<size_t>(std::llround(kCalibratorSeconds * rate));
  if (capture.size() < n || n < 2) {
    check.verdict = CalibratorVerdict::TooShort;
    return check;
  }
  const std::span<const WaveMMIO::StereoSample> last = capture.subspan(capture.size() - n);
  std::vector<double> x(n);
  double mean = 0;
  bool clipped = false;
  for (size_t i = 0; i < n; ++i) {
    const int16_t s = last[i].Left;
    clipped = clipped || s >= 32767 || s <= -32768;
    x[i] = s / kFullScale;
    mean += x[i];
  }
  mean /= static_cast<double>(n);
  for (double& v : x) v -= mean;

  // The tone: the strongest bin of a Hann-windowed transform, refined by a
  // parabola through the logarithms of it and its neighbours.
  const HannSpectrum spectrum = HannTransform(x);
  const size_t size = spectrum.bins.size();
  if (size == 0) return check;
  const double binHz = static_cast<double>(rate) / static_cast<double>(size);
  const auto lowest = static_cast<size_t>(std::ceil(kLowestHz / binHz));
  const size_t half = size / 2;
  std::vector<double> power(half + 1, 0.0);
  double total = 0;
  size_t peak = 0;
  for (size_t k = std::max<size_t>(lowest, 1); k <= half; ++k) {
    power[k] = std::norm(spectrum.bins[k]) * (k == half ? 1.0 : 2.0);  // both halves of the transform
    total += power[k];
    if (peak == 0 || power[k] > power[peak]) peak = k;
  }
  const auto toMeanSquare = [&](double p) { return p / static_cast<double>(size) / spectrum.windowEnergy; };
  if (peak == 0 || !(total > 0) || PowerDb(toMeanSquare(total)) < kSilenceDbfs) return check;
  double offset = 0;
  if (peak > lowest && peak < half && power[peak - 1] > 0 && power[peak + 1] > 0) {
    const double a = std::log(power[peak - 1]), b = std::log(power[peak]), c = std::log(power[peak + 1]);
    const double d = a - 2 * b + c;
    if (d < 0) offset = std::clamp(0.5 * (a - c) / d, -0.5, 0.5);
  }
  check.frequency = (static_cast<double>(peak) + offset) * binHz;
  double band = 0;
  for (size_t k = lowest; k <= half; ++k) {
    const double f = static_cast<double>(k) * binHz;
    if (std::abs(f - check.frequency) <= kCalibratorTolerance * check.frequency) band += power[k];
  }
  check.levelDbfs = PowerDb(toMeanSquare(band));
  check.sensitivityDbfs = check.levelDbfs - (calibratorDb - kReferenceSplDb);

  // Its steadiness: the level of each whole 100 ms stretch.
  const auto stretch = static_cast<size_t>(std::max<int64_t>(1, std::llround(kStretchSeconds * rate)));
  double lo = 0, hi = 0;
  bool first = true;
  for (size_t start = 0; start + stretch <= n; start += stretch) {
    double sum = 0;
    for (size_t i = start; i < start + stretch; ++i) sum += x[i] * x[i];
    const double db = PowerDb(sum / static_cast<double>(stretch) + 1e-30);
    lo = first ? db : std::min(lo, db);
    hi = first ? db : std::max(hi, db);
    first = false;
  }
  check.spreadDb = hi - lo;

  if (clipped) check.verdict = CalibratorVerdict::Clipped;
  else if (band < kToneShare * total) check.verdict = CalibratorVerdict::NoTone;
  else if (std::abs(check.frequency - kCalibratorHz) > kCalibratorTolerance * kCalibratorHz)
    check.verdict = CalibratorVerdict::WrongFrequency;
  else if (check.spreadDb > kCalibratorSteadyDb) check.verdict = CalibratorVerdict::Unsteady;
  else check.verdict = CalibratorVerdict::Accepted;
  return check;
}

}  // namespace measurement
