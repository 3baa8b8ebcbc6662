#include "dsp/ComplexFFT.h"

#include <cmath>
#include <numbers>
#include <utility>

bool ComplexFFT::Init(size_t size) {
  const bool ok = size >= 2 && size <= (size_t{1} << 26) && (size & (size - 1)) == 0;
  m_Size = ok ? size : 0;
  m_Twiddles.clear();
  if (!ok) return false;
  m_Twiddles.resize(size / 2);
  for (size_t k = 0; k < size / 2; ++k) {
    const double angle = -2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(size);
    m_Twiddles[k] = {std::cos(angle), std::sin(angle)};
  }
  return true;
}

void ComplexFFT::Run(std::span<std::complex<double>> data, bool inverse) const {
  const size_t n = m_Size;
  if (n == 0 || data.size() != n) return;
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(data[i], data[j]);
  }
  std::complex<double>* a = data.data();
  for (size_t half = 1, stride = n / 2; half < n; half *= 2, stride /= 2) {
    for (size_t s = 0; s < n; s += 2 * half) {
      for (size_t k = 0; k < half; ++k) {
        std::complex<double> w = m_Twiddles[k * stride];
        if (inverse) w = std::conj(w);
        // Written out: std::complex's operator* checks for infinities and is slow.
        const std::complex<double> v = a[s + k + half];
        const std::complex<double> t(w.real() * v.real() - w.imag() * v.imag(),
                                     w.real() * v.imag() + w.imag() * v.real());
        a[s + k + half] = a[s + k] - t;
        a[s + k] += t;
      }
    }
  }
  if (inverse) {
    const double scale = 1.0 / static_cast<double>(n);
    for (size_t i = 0; i < n; ++i) a[i] *= scale;
  }
}

namespace {

template <class Sample>
HannSpectrum Windowed(std::span<const Sample> x) {
  HannSpectrum s;
  const size_t n = x.size();
  if (n < 2) return s;
  size_t size = 2;
  while (size < n) size *= 2;
  ComplexFFT fft;
  if (!fft.Init(size)) return s;
  s.bins.resize(size);
  for (size_t i = 0; i < n; ++i) {
    const double w =
        0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (static_cast<double>(i) + 0.5) / static_cast<double>(n));
    s.bins[i] = x[i] * w;
    s.windowEnergy += w * w;
  }
  fft.Forward(s.bins);
  return s;
}

}  // namespace

HannSpectrum HannTransform(std::span<const float> x) { return Windowed(x); }
HannSpectrum HannTransform(std::span<const double> x) { return Windowed(x); }
