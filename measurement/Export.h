#pragma once
// A result as text and as a picture, for other programs: the curve as CSV
// ("frequency_hz,level_db", frequencies rising) and the spectrum picture as
// the window draws it, saved as PNG.
#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <vector>

namespace measurement {

class MeasurementRun;

struct CurvePoint {
  double frequency;  // Hz
  double levelDb;    // what the window's dB grid reads at the curve's height
};

// The dB value the grid would label at the height of value v (0 .. 32767 is
// the picture's height): the grid line g sits where v = 32767 * 10^((g + offsetDb) / 20).
double GridDb(double value, float offsetDb);

// The result held in state (m_Mode, m_SampleRate and the spectrum or the
// sweep envelope with its frequency table), as points:
//  - noise: bins 1 .. 1023 at k * rate / 2048;
//  - sweep: every 1/24 octave from the sweep's first frequency up to its
//    last, each the mean of the envelope over +-1/48 octave; points with no
//    envelope there (nothing measured) are left out.
std::vector<CurvePoint> ResultCurve(const MeasurementRun& state, float offsetDb);

// "frequency_hz,level_db" and one line per point, C locale numbers.
QString CurveCsv(const std::vector<CurvePoint>& points);

// Writes text to path (replacing a file there only once it is complete);
// false when it could not be written.
bool WriteTextFile(const QString& path, const QString& text);

inline constexpr QSize kDefaultPictureSize{1200, 600};

// The spectrum picture of the result in state at size: the dB grid, the curve
// in color, and the frequency axis along the bottom.
QImage SpectrumPicture(const MeasurementRun& state, float offsetDb, uint32_t color, QSize size);

// Saves a picture as PNG (replacing a file there only once it is complete).
bool WriteImageFile(const QString& path, const QImage& image);

// Parses "WxH" (each 64 .. 8192); an empty size when the text is not one.
QSize ParsePictureSize(const QString& text);

}  // namespace measurement
