#pragma once
// An in-place complex FFT of any power-of-two size, for the long transforms
// that C_FFT's fixed real-input interface does not serve (correlating a whole
// run's played and captured signals). Forward: X(k) = sum x(n) e^(-2 pi i k n / N);
// inverse: the conjugate transform divided by N.
#include <complex>
#include <cstdint>
#include <span>
#include <vector>

class ComplexFFT {
 public:
  // Sizes the transform; false (and an empty engine) unless size is a power
  // of two from 2 to 2^26.
  bool Init(size_t size);
  size_t Size() const { return m_Size; }

  // Transforms data in place; data.size() must equal Size(), else nothing happens.
  void Forward(std::span<std::complex<double>> data) const { Run(data, false); }
  void Inverse(std::span<std::complex<double>> data) const { Run(data, true); }

 private:
  void Run(std::span<std::complex<double>> data, bool inverse) const;

  size_t m_Size = 0;
  std::vector<std::complex<double>> m_Twiddles;  // e^(-2 pi i k / N), k < N / 2
};

// A stretch of signal under a Hann window, w(i) = 0.5 - 0.5 cos(2 pi (i + 0.5) / n),
// zero-padded to the next power of two and transformed forward, with the sum
// of w(i)^2. Empty when there are fewer than two samples or the transform
// cannot be set up.
struct HannSpectrum {
  std::vector<std::complex<double>> bins;
  double windowEnergy = 0;
};
HannSpectrum HannTransform(std::span<const float> x);
HannSpectrum HannTransform(std::span<const double> x);
