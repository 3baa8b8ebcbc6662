#include "measurement/Export.h"

#include <QPainter>
#include <QBuffer>
#include <QFont>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include "measurement/Correction.h"
#include "measurement/Graphs.h"
#include "measurement/Responses.h"
#include "measurement/TestSignal.h"
#include "support/CheckedFile.h"
#include "support/Decibels.h"
#include "support/Surface.h"

namespace measurement {

double PlayedLevelDb(const Result& result) { return result.levelTenthsDb / 10.0; }

std::vector<GainPoint> ResultGain(const Result& result) {
  if (result.sampleRate <= 0) return {};
  if (result.mode == SignalMode::Noise)
    return NoiseGainCurve(result.spectrum.values, result.sampleRate, PlayedLevelDb(result));
  if (result.mode == SignalMode::Sweep)
    return SweepGainCurve(result.envelope, result.sweepTable.freq, static_cast<int64_t>(result.envelope.size()),
                          PlayedLevelDb(result));
  return {};
}

double GridDb(double value, float offsetDb) { return basic::LinToDb(value / 32767.0) - offsetDb; }

std::vector<CurvePoint> ResultCurve(const Result& result, float offsetDb) {
  // A gain is LinToDb(v / 32767) plus what full scale stands for.
  const double full = result.mode == SignalMode::Noise ? NoiseGainDb(32767.0, PlayedLevelDb(result))
                                                       : SweepGainDb(32767.0, PlayedLevelDb(result));
  std::vector<CurvePoint> points;
  for (const GainPoint& p : ResultGain(result)) points.push_back({p.frequency, p.gainDb - full - offsetDb});
  return points;
}

QString ResultCsv(const Result& result, const Calibration& calibration) {
  std::vector<CurveRow> rows = ExportRows(ResultGain(result), PlayedLevelDb(result), calibration);
  if (result.mode == SignalMode::Sweep && !result.response.Empty() && !rows.empty()) {
    // The phase at each of the curve's points, from the response.
    std::vector<double> hz;
    hz.reserve(rows.size());
    for (const CurveRow& r : rows) hz.push_back(r.frequency);
    const std::vector<ResponsePoint> points = FrequencyResponse(result.response, hz);
    // A file with phase takes its phase off as well.
    if (points.size() == rows.size())
      for (size_t i = 0; i < rows.size(); ++i)
        rows[i].phaseDeg = WrapPhaseDeg(points[i].phaseDeg - CorrectionPhaseDeg(calibration, rows[i].frequency));
  }
  return RowsCsv(rows);
}

bool WriteTextFile(const QString& path, const QString& text, QString* reason) {
  return basic::WriteWholeFile(path, text.toUtf8(), reason);
}

QByteArray PngBytes(const QImage& image) {
  QByteArray bytes;
  if (image.isNull()) return bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) bytes.clear();
  return bytes;
}

namespace {

// The factor that moves a value of the result to the height at which the
// picture's grid reads its gain (with the corrections at frequency taken off).
double PictureFactor(double gainOfFullScale, const Calibration& calibration, double frequency) {
  return basic::DbToLin(gainOfFullScale + kPictureOffsetDb - CorrectionDb(calibration, frequency));
}

// The result's values scaled so that the window's drawing, at
// kPictureOffsetDb, draws the gain.
struct GainValues {
  NoiseSpectrum spectrum;
  std::vector<int16_t> envelope;
};

GainValues AsGain(const Result& result, const Calibration& calibration) {
  GainValues scaled;
  const double level = PlayedLevelDb(result);
  if (result.mode == SignalMode::Noise) {
    scaled.spectrum = result.spectrum;
    const double full = NoiseGainDb(32767.0, level);
    for (size_t k = 0; k < scaled.spectrum.values.size(); ++k) {
      const double f = static_cast<double>(k) * result.sampleRate / kFftPoints;
      scaled.spectrum.values[k] = static_cast<float>(scaled.spectrum.values[k] * PictureFactor(full, calibration, f));
    }
  } else {
    scaled.envelope = result.envelope;
    const double full = SweepGainDb(32767.0, level);
    const std::vector<float>& freq = result.sweepTable.freq;
    const double plain = PictureFactor(full, Calibration{}, 0);
    for (size_t i = 0; i < scaled.envelope.size(); ++i) {
      const int16_t v = scaled.envelope[i];
      if (v <= 0) continue;  // nothing measured stays so
      const double factor =
          calibration.Corrects() && i < freq.size() ? PictureFactor(full, calibration, freq[i]) : plain;
      // Above the top edge is off the picture either way; a value stays
      // above 0 so that it still counts as measured.
      scaled.envelope[i] = static_cast<int16_t>(std::clamp(std::nearbyint(v * factor), 1.0, 32767.0));
    }
  }
  return scaled;
}

// The picture's text: one font, rasterised one way. Left to the defaults,
// the window's desktop would choose both: its theme the family and size,
// and a scaled screen (120 dpi is a scale of 1.25) glyphs without hinting.
QFont PictureFont() {
  QFont font(QStringLiteral("Sans Serif"), 9);
  font.setHintingPreference(QFont::PreferVerticalHinting);
  font.setStyleStrategy(QFont::NoSubpixelAntialias);
  return font;
}

}  // namespace

QImage SpectrumPicture(const Result& result, const Calibration& calibration, uint32_t color, QSize size) {
  // Off-screen surfaces at the picture scale: the same pixels whichever
  // front end asks and whatever screen it runs on. The window's frequency
  // axis is a strip 255 twips high under the spectrum.
  basic::Surface spectrum;
  spectrum.SetSurfaceFont(PictureFont());
  const int axis = std::max(1, spectrum.ToPixels(255));
  if (size.width() < 1 || size.height() <= axis) return {};
  spectrum.SetBackColor(0xFFFFFF);
  spectrum.SetPixelSize(size.width(), size.height() - axis);
  DrawSpectrumGrid(spectrum, kPictureOffsetDb);
  DrawLowGridLines(spectrum, kPictureOffsetDb);
  const GainValues gain = AsGain(result, calibration);
  if (result.mode == SignalMode::Noise) {
    DrawNoiseCurve(spectrum, gain.spectrum, result.sampleRate, kPictureOffsetDb, color);
  } else if (result.mode == SignalMode::Sweep) {
    DrawSweepCurve(spectrum, gain.envelope, result.sweepTable.freq, static_cast<int32_t>(gain.envelope.size()),
                   result.sampleRate, false, kPictureOffsetDb, color);
  }
  basic::Surface scale;
  scale.SetSurfaceFont(PictureFont());
  scale.SetForeColor(0);
  scale.SetBackColor(0xE0B0B0);
  scale.SetPixelSize(size.width(), axis);
  DrawFreqScaleOn(scale, result.sampleRate);
  QImage picture(size, QImage::Format_RGB32);
  QPainter painter(&picture);
  painter.drawImage(0, 0, spectrum.Image());
  painter.drawImage(0, size.height() - axis, scale.Image());
  return picture;
}

bool WriteImageFile(const QString& path, const QImage& image, QString* reason) {
  const QByteArray bytes = PngBytes(image);
  if (bytes.isEmpty()) {
    if (reason) *reason = QStringLiteral("the picture could not be made");
    return false;
  }
  return basic::WriteWholeFile(path, bytes, reason);
}

QSize ParsePictureSize(const QString& text) {
  static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,5})\\s*[xX]\\s*(\\d{1,5})\\s*$"));
  const QRegularExpressionMatch m = form.match(text);
  if (!m.hasMatch()) return {};
  const int w = m.captured(1).toInt(), h = m.captured(2).toInt();
  if (w < 64 || h < 64 || w > 8192 || h > 8192) return {};
  return {w, h};
}

}  // namespace measurement
