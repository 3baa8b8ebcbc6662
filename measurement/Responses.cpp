#include "measurement/Responses.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "dsp/GatedTransform.h"

namespace measurement {

namespace {

using Complex = std::complex<double>;

// Time kept before an arrival: pre-ringing and a fractional delay's spread.
constexpr double kBeforeSeconds = 0.005;
// Group delay is read over at least this many octaves.
constexpr double kGroupDelaySpan = 1.0 / 48;
// The noise floor is the level noise alone exceeds once in this many readings.
constexpr double kNoiseQuantileZ = 4.75;  // 1e-6 of a normal distribution

constexpr std::array<Smoothing, 6> kAllSmoothings = {Smoothing::None,     Smoothing::Octave48, Smoothing::Octave24,
                                                     Smoothing::Octave12, Smoothing::Octave6,  Smoothing::Octave3};

// Frames kept before the linear arrival: at most half the way back to H2.
int64_t LinearBefore(const ImpulseResponse& ir) {
  const double seconds = std::min(kBeforeSeconds, 0.5 * ir.sweep.HarmonicLead(2));
  return static_cast<int64_t>(std::ceil(seconds * ir.rate));
}

// Spectra of one stretch of the response under windows halving in length,
// longest first: only the part after time 0, or (symmetric) both sides. A
// frequency f reads the window `cycles / f` long, between two lengths by
// interpolation (cycles 0: always the longest).
struct Levels {
  struct Reading {
    double power = 0;    // mean |X|^2 over the band
    Complex mean;        // mean X over the band
    double weight = 0;   // the sum of the window's squared weights
    double seconds = 0;  // the window's whole length
  };

  Levels(const ImpulseResponse& ir, dsp::SpectrumWindow w, bool symmetric, double shortest, double cycles,
         double fraction)
      : m_Cycles(cycles > 0 ? cycles : 0) {
    const int64_t least = std::max<int64_t>(1, std::llround(shortest * ir.rate));
    for (;;) {
      spectra.emplace_back(ir.samples, w, ir.rate, fraction);
      reach.push_back(static_cast<double>(w.after) / ir.rate);
      seconds.push_back(static_cast<double>(w.before + w.after) / ir.rate);
      double sum = 0;
      for (int64_t t = -w.before; t < w.after; ++t) sum += std::pow(dsp::WindowWeight(w, t), 2);
      weights.push_back(sum);
      if (m_Cycles == 0 || w.after / 2 < least) break;
      w.after /= 2;
      if (symmetric) w.before /= 2;
    }
  }

  Reading Read(double hz, double span) const {
    double u = 0;
    if (m_Cycles > 0) {
      const double want = std::clamp(m_Cycles / hz, reach.back(), reach.front());
      u = std::clamp(std::log2(reach.front() / want), 0.0, static_cast<double>(spectra.size() - 1));
    }
    const auto j = static_cast<size_t>(u);
    const double a = u - static_cast<double>(j);
    const double lo = hz * std::exp2(-span / 2), hi = hz * std::exp2(span / 2);
    Reading r;
    const auto add = [&](size_t level, double share) {
      r.power += share * spectra[level].BandPower(lo, hi);
      r.mean += share * spectra[level].BandMean(lo, hi);
      r.weight += share * weights[level];
      r.seconds += share * seconds[level];
    };
    add(j, 1 - a);
    if (a > 0 && j + 1 < spectra.size()) add(j + 1, a);
    return r;
  }

  std::vector<dsp::GatedTransform> spectra;
  std::vector<double> reach, seconds, weights;

 private:
  double m_Cycles;
};

// The linear response under the caller's window.
Levels LinearLevels(const ImpulseResponse& ir, const ResponseWindow& window) {
  const double longest = std::clamp(window.maxSeconds, 1.0 / ir.rate, static_cast<double>(ir.End()) / ir.rate);
  dsp::SpectrumWindow w;
  w.zero = ir.origin;
  w.before = LinearBefore(ir);
  w.after = std::max<int64_t>(1, std::llround(longest * ir.rate));
  return Levels(ir, w, false, std::min(window.minSeconds, longest), window.cycles, ir.fraction);
}

double PowerDb(double power) { return power > 1e-40 ? 10.0 * std::log10(power) : -200.0; }

// The level a mean of k independent squared Gaussian pairs (|X|^2 of noise
// over k bins) stays under but once in a million, as a multiple of its mean
// (Wilson and Hilferty's cube-root approximation of the gamma distribution).
double NoiseQuantile(double k) {
  k = std::max(1.0, k);
  const double v = 1.0 / (9.0 * k);
  return std::pow(1.0 - v + kNoiseQuantileZ * std::sqrt(v), 3.0);
}

}  // namespace

double OctaveFraction(Smoothing smoothing) {
  switch (smoothing) {
    case Smoothing::None: return 0;
    case Smoothing::Octave48: return 1.0 / 48;
    case Smoothing::Octave24: return 1.0 / 24;
    case Smoothing::Octave12: return 1.0 / 12;
    case Smoothing::Octave6: return 1.0 / 6;
    case Smoothing::Octave3: return 1.0 / 3;
  }
  return 0;
}

std::string_view SmoothingName(Smoothing smoothing) {
  switch (smoothing) {
    case Smoothing::None: return "none";
    case Smoothing::Octave48: return "1/48";
    case Smoothing::Octave24: return "1/24";
    case Smoothing::Octave12: return "1/12";
    case Smoothing::Octave6: return "1/6";
    case Smoothing::Octave3: return "1/3";
  }
  return "none";
}

std::optional<Smoothing> ParseSmoothing(std::string_view name) {
  for (const Smoothing s : kAllSmoothings)
    if (SmoothingName(s) == name) return s;
  return std::nullopt;
}

std::vector<double> LogFrequencies(double lo, double hi, int perOctave) {
  std::vector<double> out;
  if (!(lo > 0) || !(hi >= lo) || perOctave <= 0 || perOctave > 10000) return out;
  const auto first = static_cast<int64_t>(std::ceil(std::log2(lo / 1000.0) * perOctave - 1e-9));
  for (int64_t k = first;; ++k) {
    const double f = 1000.0 * std::exp2(static_cast<double>(k) / perOctave);
    if (f > hi * (1 + 1e-12)) break;
    out.push_back(f);
  }
  return out;
}

std::vector<ResponsePoint> FrequencyResponse(const ImpulseResponse& ir, std::span<const double> hz,
                                             const ResponseOptions& options) {
  std::vector<ResponsePoint> out(hz.size());
  for (size_t i = 0; i < hz.size(); ++i) {
    out[i].hz = hz[i];
    out[i].gainDb = -200;
  }
  if (ir.Empty()) return out;
  const Levels spectra = LinearLevels(ir, options.window);
  const double span = OctaveFraction(options.smoothing);
  const double slope = std::max(span, kGroupDelaySpan);
  for (size_t i = 0; i < hz.size(); ++i) {
    const double f = hz[i];
    if (!(f > 0) || f >= ir.rate / 2.0) continue;
    const Levels::Reading at = spectra.Read(f, span);
    out[i].gainDb = PowerDb(at.power);
    out[i].phaseDeg = std::arg(at.mean) * 180.0 / std::numbers::pi;
    if (out[i].phaseDeg <= -180.0) out[i].phaseDeg += 360.0;
    const double lo = f * std::exp2(-slope / 2), hi = std::min(f * std::exp2(slope / 2), ir.rate / 2.0);
    const double turn = std::arg(spectra.Read(hi, span).mean * std::conj(spectra.Read(lo, span).mean));
    out[i].groupDelayMs = hi > lo ? -turn / (2 * std::numbers::pi * (hi - lo)) * 1000.0 : 0.0;
  }
  return out;
}

double PeakToNoiseDb(const ImpulseResponse& ir) {
  if (ir.Empty()) return 0;
  double peak = 0;
  for (const float v : ir.samples) peak = std::max(peak, std::abs(static_cast<double>(v)));
  const double noise = ir.noise.Mean();
  return noise > 0 && peak > 0 ? 20.0 * std::log10(peak / std::sqrt(noise)) : 0.0;
}

std::vector<float> EnergyTime(const ImpulseResponse& ir, int64_t from, int64_t to) {
  if (ir.Empty()) return std::vector<float>(static_cast<size_t>(std::max<int64_t>(0, to - from)), -200.0f);
  return dsp::EnergyTimeDb(ir.samples, ir.origin + from, ir.origin + to);
}

FrameSpan HarmonicSpan(const ImpulseResponse& ir, int n) {
  if (ir.Empty() || n < 2) return {};
  const SweepShape& s = ir.sweep;
  const double reach = kHarmonicReachSeconds;
  const double early = std::min(reach, 0.5 * (s.HarmonicLead(n + 1) - s.HarmonicLead(n)));
  const double late = std::min(reach, 0.5 * (s.HarmonicLead(n) - s.HarmonicLead(n - 1)));
  const double centre = ir.HarmonicFrames(n);
  return {std::llround(centre - early * ir.rate), std::llround(centre + late * ir.rate)};
}

std::vector<DistortionPoint> Distortion(const ImpulseResponse& ir, std::span<const double> hz, Smoothing smoothing) {
  std::vector<DistortionPoint> out(hz.size());
  for (size_t i = 0; i < hz.size(); ++i) out[i].hz = hz[i];
  if (ir.Empty()) return out;
  const double span = OctaveFraction(smoothing);

  // Each harmonic's window, like the fundamental's, shrinks with frequency
  // to the same count of periods: a harmonic is then read against as
  // little of the run's noise as the path's own response allows.
  const ResponseWindow window;
  ResponseWindow reach = window;
  reach.maxSeconds = kHarmonicReachSeconds;
  const Levels fundamental = LinearLevels(ir, reach);
  std::vector<Levels> harmonics;
  for (int n = 2; n <= kMaxHarmonic; ++n) {
    const FrameSpan at = HarmonicSpan(ir, n);
    const int64_t centre = std::llround(ir.HarmonicFrames(n));
    dsp::SpectrumWindow w;
    w.before = centre - at.begin;
    w.after = at.end - centre;
    w.riseShare = 0.5;
    w.fallShare = 0.5;
    w.zero = ir.origin + centre;
    harmonics.emplace_back(ir, w, true, window.minSeconds, window.cycles, 0.0);
  }

  for (size_t i = 0; i < hz.size(); ++i) {
    const double f = hz[i];
    if (!(f > 0)) continue;
    const double ratio = std::exp2(span / 2);
    const double p1 = fundamental.Read(f, span).power;
    if (!(p1 > 0)) continue;
    double sum = 0, floor = 0;
    for (int n = 2; n <= kMaxHarmonic; ++n) {
      const double fn = n * f;
      if (fn >= ir.sweep.f2Hz) break;
      const Levels::Reading h = harmonics[static_cast<size_t>(n - 2)].Read(fn, span);
      const double pn = h.power;
      // What the run's noise alone reaches in this harmonic's band. Each
      // harmonic's noise would add up to well above the floor drawn for
      // one, so THD counts only the harmonics that stand above their own.
      double own = 0;
      if (!ir.noise.Empty()) {
        // Independent readings in the band: its width times the window's
        // effective length (its tapers take about a third off).
        const double k = (fn * ratio - fn / ratio) * h.seconds * 0.6;
        own = ir.noise.At(fn) * h.weight * NoiseQuantile(k) / p1;
      }
      if (pn / p1 > own) sum += pn;
      if (n > kLastReportedHarmonic) continue;
      out[i].harmonicDb[static_cast<size_t>(n - kFirstReportedHarmonic)] = PowerDb(pn / p1);
      floor = std::max(floor, own);
    }
    out[i].thdPercent = 100.0 * std::sqrt(sum / p1);
    out[i].noiseFloorDb = PowerDb(floor);
  }
  return out;
}

}  // namespace measurement
