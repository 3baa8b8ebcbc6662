#include "measurement/GraphScale.h"

#include <algorithm>
#include <cmath>

#include "support/Decibels.h"
#include "support/Rounding.h"

namespace measurement {

using basic::Round32;

SpectrumScale::SpectrumScale(int32_t width, int32_t height, int32_t sampleRate, float offsetDb)
    : Width(width),
      Height(height),
      Nyquist(Round32(sampleRate / 2.0)),
      SpanDb(static_cast<float>(basic::LinToDb(10.0 / std::max(Nyquist, 1)))),
      OffsetDb(offsetDb) {}

int32_t SpectrumScale::X(double frequency) const {
  if (SpanDb == 0) return 0;
  return Round32(Width - (Width / static_cast<double>(SpanDb)) * basic::LinToDb(frequency / Nyquist));
}

int32_t SpectrumScale::Y(double value) const {
  const float perUnit = static_cast<float>(Height) / 32767.0f;
  return Round32(Height - value * perUnit);
}

int32_t SpectrumScale::GridY(double g) const { return Round32(Height - Height * basic::DbToLin(g + OffsetDb)); }

float XToFrequency(float xTwips, int32_t widthPx, int32_t sampleRate, int32_t twipsPerPixel) {
  if (widthPx <= 0 || twipsPerPixel <= 0 || sampleRate <= 0) return 0.0f;
  const double nyquist = sampleRate / 2.0;
  const double span = basic::LinToDb(10.0 / nyquist);
  const double x = static_cast<double>(xTwips) / twipsPerPixel;
  return static_cast<float>(nyquist * basic::DbToLin(span / widthPx * (widthPx - x)));
}

}  // namespace measurement
