#include "measurement/ResponseArrival.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "dsp/FastFourier.h"
#include "dsp/GatedTransform.h"
#include "dsp/MinimumPhase.h"

namespace measurement {

namespace {

// The stretch read: this long after the arrival (a path's own response,
// not a room's reverberation), and at most this long before it (no further
// than half way back to the second harmonic's response).
constexpr double kAfterSeconds = 0.1;
constexpr double kBeforeSeconds = 0.005;
// A bin is read when its power is within this share of the strongest bin's
// and this many times the run's noise in it, from this many times the
// sweep's start up to this share of the Nyquist frequency.
constexpr double kWithinStrongest = 1e-6;  // 60 dB
constexpr double kOverNoise = 1e4;         // 40 dB
// The magnitude is measured where it stands this far over the noise and
// within this share of the strongest bin.
constexpr double kClearOfNoise = 1000;  // 30 dB
constexpr double kMeasurable = 1e-9;
constexpr double kFromSweepStart = 2;
// The top few hundredths below the Nyquist frequency are neither read nor
// taken as measured: the sweep ends there, and its response falls away in
// a cliff no path has (41 dB over the last half kilohertz at 48 kHz).
constexpr double kBelowNyquist = 0.95;
// The excess group delay is averaged up to this share of the top of the
// magnitude taken as measured, where the minimum phase still stands clear
// of how the magnitude is carried on above it.
constexpr double kAveragedShare = 0.7;
constexpr int kLeastBins = 16;
// The log magnitude below and above the bins read goes on along the slope
// of the octave inside them, at most this steep (ln |H| per ln f: 24 dB per
// octave), so that the minimum phase inside sees no cliff at the edges.
constexpr double kSteepest = 4;

// The slope of ln |H| against ln f between bins a and b.
double Slope(const std::vector<double>& logMagnitude, size_t a, size_t b) {
  if (a == 0 || b == 0 || a == b) return 0;
  return (logMagnitude[b] - logMagnitude[a]) / std::log(static_cast<double>(b) / static_cast<double>(a));
}

// The least-squares slope of y(k) against x(k) over bins a .. b.
template <typename X, typename Y>
double FittedSlope(size_t a, size_t b, X x, Y y) {
  double sx = 0, sy = 0, sxx = 0, sxy = 0, m = 0;
  for (size_t k = a; k <= b; ++k) {
    const double u = x(k), v = y(k);
    sx += u, sy += v, sxx += u * u, sxy += u * v, m += 1;
  }
  const double d = m * sxx - sx * sx;
  return d > 0 ? (m * sxy - sx * sy) / d : 0.0;
}

}  // namespace

std::optional<double> ResponseArrival(const ImpulseResponse& ir) {
  if (ir.Empty() || !(ir.sweep.RateConstant() > 0)) return std::nullopt;
  const double rate = ir.rate;
  dsp::SpectrumWindow window;
  window.before = static_cast<int64_t>(std::ceil(std::min(kBeforeSeconds, 0.5 * ir.sweep.HarmonicLead(2)) * rate));
  window.after = std::min(ir.End(), static_cast<int64_t>(std::ceil(kAfterSeconds * rate)));
  if (window.after < kLeastBins || window.before < 0) return std::nullopt;
  const size_t n = std::max<size_t>(1024, std::bit_ceil(static_cast<size_t>(4 * (window.before + window.after))));
  const size_t bins = n / 2 + 1;

  // The windowed response, time 0 at index 0 (earlier samples wrap to the
  // end), and the same times its time: the ratio of their spectra is the
  // group delay, with no phase to unwrap.
  std::vector<double> x(n, 0.0), tx(n, 0.0);
  double weights = 0;
  for (int64_t t = -window.before; t < window.after; ++t) {
    const double w = dsp::WindowWeight(window, t);
    const double v = w * ir.At(t);
    const auto i = static_cast<size_t>(t >= 0 ? t : static_cast<int64_t>(n) + t);
    x[i] = v;
    tx[i] = static_cast<double>(t) * v;
    weights += w * w;
  }
  std::vector<std::complex<double>> spectrum(bins), timed(bins);
  if (!dsp::RealForward(x, spectrum) || !dsp::RealForward(tx, timed)) return std::nullopt;

  const double binHz = rate / static_cast<double>(n);
  double strongest = 0;
  for (const auto& v : spectrum) strongest = std::max(strongest, std::norm(v));
  if (!(strongest > 0)) return std::nullopt;
  // The magnitude is taken as measured from the first to the last bin of
  // the swept band that stands clear of the noise (below the sweep's top);
  // the delay is averaged over those that stand well clear, below the top
  // of the band.
  std::vector<bool> read(bins, false);
  size_t first = bins, last = 0, count = 0;
  for (size_t k = 1; k < bins; ++k) {
    const double f = static_cast<double>(k) * binHz, power = std::norm(spectrum[k]);
    if (f < kFromSweepStart * ir.sweep.f1Hz || f > ir.sweep.f2Hz || f > kBelowNyquist * rate / 2) continue;
    const double noise = ir.noise.Empty() ? 0.0 : ir.noise.At(f) * weights;
    if (power < kClearOfNoise * noise || power < kMeasurable * strongest) continue;
    first = std::min(first, k);
    last = std::max(last, k);
    if (power < kOverNoise * noise || power < kWithinStrongest * strongest) continue;
    read[k] = true;
    ++count;
  }
  if (count < static_cast<size_t>(kLeastBins)) return std::nullopt;

  // ln |H| over every bin: as measured between the first and last bins
  // read, along the edge octaves' slopes beyond them.
  std::vector<double> logMagnitude(bins);
  const double least = strongest * 1e-24;
  for (size_t k = 0; k < bins; ++k) logMagnitude[k] = 0.5 * std::log(std::max(std::norm(spectrum[k]), least));
  const double rise = std::clamp(Slope(logMagnitude, first, std::min(2 * first, last)), 0.0, kSteepest);
  // Above, as ln cot(w / 2): a sampled path that falls towards the top of
  // the band (a filter made by the bilinear transform, a converter's) falls
  // to nothing at the Nyquist frequency, and that fall holds a delay of its
  // own (half a frame per order) that the minimum phase must see.
  const auto logCot = [&](size_t k) {
    const double w = std::numbers::pi * static_cast<double>(k) / static_cast<double>(n);
    return std::log(std::max(1e-12, std::cos(w) / std::sin(w)));
  };
  // The fall is fitted over the top octave taken as measured (two points
  // alone would carry the noise at its top into it) and taken as a whole
  // number of zeros at the Nyquist frequency, as a bilinear filter of that
  // order has: a path that only levels off towards the top (a one-pole
  // low-pass, fitted 0.15) is carried on level, not down to nothing.
  const size_t half = std::max(last / 2, first);
  const double fall = std::round(
      std::clamp(FittedSlope(half, last, logCot, [&](size_t k) { return logMagnitude[k]; }), 0.0, 2 * kSteepest));
  const double atFirst = logMagnitude[first], atLast = logMagnitude[last];
  for (size_t k = 0; k < first; ++k)
    logMagnitude[k] = atFirst + rise * std::log(std::max(0.5, static_cast<double>(k)) / static_cast<double>(first));
  for (size_t k = last + 1; k < bins; ++k)
    logMagnitude[k] = std::max(0.5 * std::log(least), atLast - fall * (logCot(last) - logCot(k)));
  const std::vector<double> minimum = MinimumPhaseGroupDelay(logMagnitude);
  if (minimum.size() != bins) return std::nullopt;

  // The excess group delay, averaged with the weight |H|^2 f.
  double sum = 0, total = 0;
  for (size_t k = first; static_cast<double>(k) <= kAveragedShare * static_cast<double>(last); ++k) {
    if (!read[k]) continue;
    const double delay = (timed[k] / spectrum[k]).real();
    const double w = std::norm(spectrum[k]) * static_cast<double>(k) * static_cast<double>(k);
    sum += w * (delay - minimum[k]);
    total += w;
  }
  if (!(total > 0) || !std::isfinite(sum / total)) return std::nullopt;
  return sum / total;
}

bool MoveToArrival(ImpulseResponse& ir) {
  const std::optional<double> arrival = ResponseArrival(ir);
  if (!arrival || std::abs(*arrival - ir.fraction) > kArrivalReachSeconds * ir.rate) return false;
  const double whole = ir.timing.delayFrames - ir.fraction;  // where the origin stands
  const double delay = whole + *arrival;
  const auto origin = ir.origin + std::llround(std::round(delay) - whole);
  if (origin < 0 || origin >= static_cast<int64_t>(ir.samples.size())) return false;
  ir.origin = origin;
  ir.timing.delayFrames = delay;
  ir.fraction = delay - std::round(delay);
  return true;
}

}  // namespace measurement
