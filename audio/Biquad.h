#pragma once
// Second-order IIR sections from the bilinear transform (the Audio EQ
// Cookbook's low-pass, high-pass and all-pass), run in transposed direct
// form II.
#include <complex>

namespace WaveMMIO {

class Biquad {
 public:
  static Biquad LowPass(double sampleRate, double frequency, double q);
  static Biquad HighPass(double sampleRate, double frequency, double q);
  // Unit gain at every frequency; the phase turns through -360 degrees,
  // -180 at frequency.
  static Biquad AllPass(double sampleRate, double frequency, double q);

  double Process(double x) {
    const double y = m_B0 * x + m_Z1;
    m_Z1 = m_B1 * x - m_A1 * y + m_Z2;
    m_Z2 = m_B2 * x - m_A2 * y;
    return y;
  }
  void ClearState() { m_Z1 = m_Z2 = 0; }
  // Gain of the filter at a frequency (for tests and documentation).
  double MagnitudeAt(double sampleRate, double frequency) const;
  // The complex gain at a frequency.
  std::complex<double> ResponseAt(double sampleRate, double frequency) const;

 private:
  double m_B0 = 1, m_B1 = 0, m_B2 = 0, m_A1 = 0, m_A2 = 0;
  double m_Z1 = 0, m_Z2 = 0;
};

}  // namespace WaveMMIO
