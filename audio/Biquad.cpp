#include "audio/Biquad.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace WaveMMIO {

namespace {
struct Common {
  double cosw, alpha;
};
Common Prewarp(double sampleRate, double frequency, double q) {
  const double w0 = 2 * std::numbers::pi * frequency / sampleRate;
  return {std::cos(w0), std::sin(w0) / (2 * q)};
}
}  // namespace

Biquad Biquad::LowPass(double sampleRate, double frequency, double q) {
  const Common c = Prewarp(sampleRate, frequency, q);
  const double a0 = 1 + c.alpha;
  Biquad f;
  f.m_B0 = (1 - c.cosw) / 2 / a0;
  f.m_B1 = (1 - c.cosw) / a0;
  f.m_B2 = f.m_B0;
  f.m_A1 = -2 * c.cosw / a0;
  f.m_A2 = (1 - c.alpha) / a0;
  return f;
}

Biquad Biquad::HighPass(double sampleRate, double frequency, double q) {
  const Common c = Prewarp(sampleRate, frequency, q);
  const double a0 = 1 + c.alpha;
  Biquad f;
  f.m_B0 = (1 + c.cosw) / 2 / a0;
  f.m_B1 = -(1 + c.cosw) / a0;
  f.m_B2 = f.m_B0;
  f.m_A1 = -2 * c.cosw / a0;
  f.m_A2 = (1 - c.alpha) / a0;
  return f;
}

Biquad Biquad::AllPass(double sampleRate, double frequency, double q) {
  const Common c = Prewarp(sampleRate, frequency, q);
  const double a0 = 1 + c.alpha;
  Biquad f;
  f.m_B0 = (1 - c.alpha) / a0;
  f.m_B1 = -2 * c.cosw / a0;
  f.m_B2 = 1;
  f.m_A1 = f.m_B1;
  f.m_A2 = f.m_B0;
  return f;
}

std::complex<double> Biquad::ResponseAt(double sampleRate, double frequency) const {
  const std::complex<double> z1 = std::polar(1.0, -2 * std::numbers::pi * frequency / sampleRate);
  const std::complex<double> z2 = z1 * z1;
  return (m_B0 + m_B1 * z1 + m_B2 * z2) / (1.0 + m_A1 * z1 + m_A2 * z2);
}

double Biquad::MagnitudeAt(double sampleRate, double frequency) const {
  return std::abs(ResponseAt(sampleRate, frequency));
}

}  // namespace WaveMMIO
