#pragma once
// A result as text and as a picture, for other programs: the path's gain
// curve as CSV ("frequency_hz,gain_db", with ",spl_db" when a sensitivity
// is known and ",phase_deg" when the sweep's response is; frequencies
// rising) and as a PNG picture whose dB grid reads the same gain. Both say
// what the path does to the played signal (0 dB: it passes unchanged)
// whatever the window's 0 dB marker, its level slider or the screen;
// corrections (microphone, sound card) are applied to both.
#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <vector>

#include "measurement/Calibration.h"
#include "measurement/Gain.h"
#include "measurement/Result.h"

namespace measurement {

// The result's played level in dB (the level it carries: a run's own; a
// result read from a file alone carries the default, -3.0 dB).
double PlayedLevelDb(const Result& result);

// A result (its mode, rate, played level and the spectrum or the sweep
// envelope with its frequency table) as gain points, uncorrected:
//  - noise: bins 1 .. 1023 at k * rate / 2048;
//  - sweep: every 1/24 octave from the sweep's first frequency up to its
//    last, each the mean of the envelope over +-1/48 octave; points with no
//    envelope there (nothing measured) are left out.
std::vector<GainPoint> ResultGain(const Result& result);

// A curve point as the main window's dB grid reads it (what the details
// window shows): the grid line g sits where the value is
// 32767 * 10^((g + offsetDb) / 20).
struct CurvePoint {
  double frequency;  // Hz
  double levelDb;
};
double GridDb(double value, float offsetDb);
// The points of ResultGain on the grid's scale.
std::vector<CurvePoint> ResultCurve(const Result& result, float offsetDb);

// The result's CSV with the calibration applied; a sweep with its response
// (Result::response) adds its excess phase at each point ("phase_deg").
QString ResultCsv(const Result& result, const Calibration& calibration = {});

// Writes text to path (replacing a file there only once it is complete and
// on disk); false, with the system's reason, when it could not be written.
bool WriteTextFile(const QString& path, const QString& text, QString* reason = nullptr);

inline constexpr QSize kDefaultPictureSize{1200, 600};

// Where the picture puts its dB grid: with the window's default offset, so
// that the "0" line is a gain of 0 dB and "+6" the top edge.
inline constexpr float kPictureOffsetDb = -6.0f;

// The gain picture of a result at size: the dB grid, the corrected curve in
// color, and the frequency axis along the bottom.
QImage SpectrumPicture(const Result& result, const Calibration& calibration, uint32_t color, QSize size);

// A picture as PNG bytes (empty when it cannot be made).
QByteArray PngBytes(const QImage& image);
// Saves a picture as PNG (replacing a file there only once it is complete and
// on disk); false, with the system's reason, when it could not be written.
bool WriteImageFile(const QString& path, const QImage& image, QString* reason = nullptr);

// Parses "WxH" (each 64 .. 8192); an empty size when the text is not one.
QSize ParsePictureSize(const QString& text);

}  // namespace measurement
