#include "dsp/Weighting.h"

#include <cmath>
#include <complex>
#include <limits>
#include <vector>

#include "dsp/ComplexFFT.h"

namespace dsp {

namespace {

double Sq(double x) { return x * x; }

// The unnormalised analytic forms as amplitude factors.
double RawA(double f) {
  const double f2 = f * f;
  return Sq(kWeightingF4) * f2 * f2 /
         ((f2 + Sq(kWeightingF1)) * std::sqrt(f2 + Sq(kWeightingF2)) * std::sqrt(f2 + Sq(kWeightingF3)) *
          (f2 + Sq(kWeightingF4)));
}
double RawC(double f) {
  const double f2 = f * f;
  return Sq(kWeightingF4) * f2 / ((f2 + Sq(kWeightingF1)) * (f2 + Sq(kWeightingF4)));
}

}  // namespace

double WeightingGain(Weighting weighting, double frequency) {
  if (weighting == Weighting::Z) return 1.0;
  if (!(frequency > 0)) return 0.0;
  static const double a1000 = RawA(1000.0), c1000 = RawC(1000.0);
  return weighting == Weighting::A ? RawA(frequency) / a1000 : RawC(frequency) / c1000;
}

double WeightingDb(Weighting weighting, double frequency) {
  const double g = WeightingGain(weighting, frequency);
  return g > 0 ? 20.0 * std::log10(g) : -std::numeric_limits<double>::infinity();
}

double WeightedLevelDbfs(std::span<const float> samples, int32_t sampleRate, Weighting weighting) {
  const double silence = -std::numeric_limits<double>::infinity();
  if (sampleRate <= 0) return silence;
  const HannSpectrum data = HannTransform(samples);
  const size_t size = data.bins.size();
  if (size == 0) return silence;
  double power = 0;
  for (size_t k = 0; k < size; ++k) {
    const double bin = static_cast<double>(k <= size / 2 ? k : size - k);
    const double g = WeightingGain(weighting, bin * sampleRate / static_cast<double>(size));
    power += std::norm(data.bins[k]) * g * g;
  }
  // Parseval: the sum over bins is size times the windowed signal's energy.
  const double meanSquare = power / static_cast<double>(size) / data.windowEnergy;
  if (!(meanSquare > 0)) return silence;
  return 10.0 * std::log10(2.0 * meanSquare);
}

}  // namespace dsp
