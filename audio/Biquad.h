#pragma once
// Second-order IIR sections from the bilinear transform (the Audio EQ
// Cookbook's low-pass and high-pass), run in transposed direct form II.

namespace WaveMMIO {

class Biquad {
 public:
  static Biquad LowPass(double sampleRate, double frequency, double q);
  static Biquad HighPass(double sampleRate, double frequency, double q);

  double Process(double x) {
    const double y = m_B0 * x + m_Z1;
    m_Z1 = m_B1 * x - m_A1 * y + m_Z2;
    m_Z2 = m_B2 * x - m_A2 * y;
    return y;
  }
  void ClearState() { m_Z1 = m_Z2 = 0; }
  // Gain of the filter at a frequency (for tests and documentation).
  double MagnitudeAt(double sampleRate, double frequency) const;

 private:
  double m_B0 = 1, m_B1 = 0, m_B2 = 0, m_A1 = 0, m_A2 = 0;
  double m_Z1 = 0, m_Z2 = 0;
};

}  // namespace WaveMMIO
