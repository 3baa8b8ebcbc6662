#pragma once
// The scales of the spectrum picture: a logarithmic frequency axis from 10 Hz
// (column 0) to half the sample rate (column W), and a linear amplitude axis
// on which 32767 is the full height. Sizes are in pixels.
#include <cstdint>

namespace measurement {

struct SpectrumScale {
  SpectrumScale(int32_t width, int32_t height, int32_t sampleRate, float offsetDb);

  int32_t Width, Height;
  int32_t Nyquist;  // N2: rate / 2 rounded, halves to even
  float SpanDb;     // D = LinToDb(10 / N2), negative
  float OffsetDb;   // places the dB grid

  // Column of a frequency in Hz (10 Hz -> 0, N2 -> Width).
  int32_t X(double frequency) const;
  // Column of noise bin k (1 .. 1024).
  int32_t XOfBin(int32_t k) const { return X(static_cast<double>(k) / 1024.0 * Nyquist); }
  // Row of a value (0 -> Height, 32767 -> 0).
  int32_t Y(double value) const;
  // Row of the dB grid line labelled g.
  int32_t GridY(double g) const;
};

// The frequency under x (twips) on a frequency scale widthPx pixels wide.
float XToFrequency(float xTwips, int32_t widthPx, int32_t sampleRate, int32_t twipsPerPixel);

}  // namespace measurement
