#include "dsp/MinimumPhase.h"

#include <complex>

#include "dsp/ComplexFFT.h"

std::vector<double> MinimumPhaseGroupDelay(std::span<const double> logMagnitude) {
  const size_t k = logMagnitude.empty() ? 0 : logMagnitude.size() - 1;
  if (k < 2 || (k & (k - 1)) != 0) return {};
  const size_t n = 2 * k;
  ComplexFFT fft;
  if (!fft.Init(n)) return {};
  // The real cepstrum of the even, real log spectrum.
  std::vector<std::complex<double>> z(n);
  for (size_t i = 0; i <= k; ++i) z[i] = logMagnitude[i];
  for (size_t i = 1; i < k; ++i) z[n - i] = logMagnitude[i];
  fft.Inverse(z);
  // Folded onto the causal side it is the minimum-phase log spectrum:
  // ln H(w) = sum c(m) e^(-i w m). Its group delay, -d arg H / dw, is
  // Re sum m c(m) e^(-i w m): no phase to unwrap.
  std::vector<std::complex<double>> d(n);
  for (size_t m = 1; m <= k; ++m) d[m] = static_cast<double>(m) * z[m].real() * (m == k ? 1.0 : 2.0);
  fft.Forward(d);
  std::vector<double> delay(k + 1);
  for (size_t i = 0; i <= k; ++i) delay[i] = d[i].real();
  return delay;
}
