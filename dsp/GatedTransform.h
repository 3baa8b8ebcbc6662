#pragma once
// The spectrum of one windowed stretch of a response, read at any frequency:
// at a point (between bins by interpolation) or averaged over a band (for
// fractional-octave smoothing), and the envelope of a stretch in time.
#include <complex>
#include <cstdint>
#include <span>
#include <vector>

namespace dsp {

// Which stretch of x is transformed and how it is tapered: samples from
// zero - before to zero + after (exclusive), time 0 at x[zero]; a half-Hann
// rise over the first riseShare of the "before" part and a half-Hann fall
// over the last fallShare of the "after" part. Samples outside x count as 0.
struct SpectrumWindow {
  int64_t zero = 0;
  int64_t before = 0;
  int64_t after = 0;
  double riseShare = 0.5;
  double fallShare = 0.25;
};

// The taper's weight at t (frames from zero).
double WindowWeight(const SpectrumWindow& window, int64_t t);

class GatedTransform {
 public:
  GatedTransform() = default;
  // Transforms the windowed stretch of x, zero-padded to at least twice its
  // length, with time 0 at zero (so that a response arriving at zero has a
  // slowly turning phase). rate is x's sample rate. fraction, in frames, is
  // taken off time 0's place as a pure delay (its phase added back).
  GatedTransform(std::span<const float> x, const SpectrumWindow& window, double rate, double fraction = 0);

  bool Empty() const { return m_Bins.empty(); }
  double BinHz() const { return m_BinHz; }
  // The complex value at hz, between bins linearly; 0 beyond the bins.
  std::complex<double> At(double hz) const;
  // Over the band [lo, hi] Hz (each bin covering half a bin either side):
  // the mean of |X|^2 and the mean of X. Narrower than a bin: the point
  // value at the band's centre.
  double BandPower(double lo, double hi) const;
  std::complex<double> BandMean(double lo, double hi) const;

 private:
  double m_BinHz = 0;
  std::vector<std::complex<double>> m_Bins;  // 0 .. N/2
  std::vector<double> m_PowerSums;           // sums of |X|^2 of the bins below each
  std::vector<std::complex<double>> m_Sums;  // sums of X of the bins below each
};

// Energy against time: 10 log10 of the squared envelope (the magnitude of
// the analytic signal) of x[from .. to), in dB re its largest value; -200 for
// silence.
std::vector<float> EnergyTimeDb(std::span<const float> x, int64_t from, int64_t to);

}  // namespace dsp
