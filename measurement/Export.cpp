#include "measurement/Export.h"

#include <QPainter>
#include <QSaveFile>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include "measurement/Graphs.h"
#include "measurement/MeasurementRun.h"
#include "measurement/TestSignal.h"
#include "support/Decibels.h"
#include "support/Surface.h"

namespace measurement {

double GridDb(double value, float offsetDb) { return basic::LinToDb(value / 32767.0) - offsetDb; }

namespace {

std::vector<CurvePoint> NoiseCurve(const MeasurementRun& state, float offsetDb) {
  std::vector<CurvePoint> points;
  for (int k = 1; k <= 1023; ++k)
    points.push_back({k * static_cast<double>(state.m_SampleRate) / kFftPoints,
                      GridDb(state.m_Spectrum.values[static_cast<size_t>(k)], offsetDb)});
  return points;
}

std::vector<CurvePoint> SweepCurve(const MeasurementRun& state, float offsetDb) {
  std::vector<CurvePoint> points;
  const auto n = static_cast<size_t>(std::min<int64_t>(
      {state.m_SweepLevelCount, static_cast<int64_t>(state.m_SweepLevel.size()),
       static_cast<int64_t>(state.m_Sweep.freq.size())}));
  if (n == 0) return points;
  const std::vector<float>& freq = state.m_Sweep.freq;
  const double first = freq[0], last = freq[n - 1];
  if (!(first > 0) || !(last >= first)) return points;
  // The table rises with the index: each point's range is a stretch of it.
  size_t from = 0;
  for (int j = 0;; ++j) {
    const double f = first * std::exp2(j / 24.0);
    if (f > last * (1 + 1e-9)) break;
    const double lo = f * std::exp2(-1 / 48.0), hi = f * std::exp2(1 / 48.0);
    while (from < n && freq[from] < lo) ++from;
    double sum = 0;
    int64_t count = 0;
    for (size_t i = from; i < n && freq[i] < hi; ++i) {
      const int16_t v = state.m_SweepLevel[i];
      if (v <= 0) continue;  // nothing measured here
      sum += v;
      ++count;
    }
    if (count > 0) points.push_back({f, GridDb(sum / static_cast<double>(count), offsetDb)});
  }
  return points;
}

}  // namespace

std::vector<CurvePoint> ResultCurve(const MeasurementRun& state, float offsetDb) {
  if (state.m_SampleRate <= 0) return {};
  if (state.m_Mode == kModeNoise) return NoiseCurve(state, offsetDb);
  if (state.m_Mode == kModeSweep) return SweepCurve(state, offsetDb);
  return {};
}

QString CurveCsv(const std::vector<CurvePoint>& points) {
  QString text = QStringLiteral("frequency_hz,level_db\n");
  for (const CurvePoint& p : points)
    text += QString::number(p.frequency, 'f', 3) + QLatin1Char(',') + QString::number(p.levelDb, 'f', 2) +
            QLatin1Char('\n');
  return text;
}

bool WriteTextFile(const QString& path, const QString& text) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  const QByteArray bytes = text.toUtf8();
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    file.commit();
    return false;
  }
  return file.commit();
}

QImage SpectrumPicture(const MeasurementRun& state, float offsetDb, uint32_t color, QSize size) {
  // The window's frequency axis is a strip 255 twips high under the spectrum.
  const int axis = std::max(1, basic::TwipsToPixels(255));
  if (size.width() < 1 || size.height() <= axis) return {};
  basic::Surface spectrum;
  spectrum.SetBackColor(0xFFFFFF);
  spectrum.SetPixelSize(size.width(), size.height() - axis);
  DrawSpectrumGrid(spectrum, offsetDb);
  if (state.m_Mode == kModeNoise) {
    DrawNoiseCurve(spectrum, state.m_Spectrum, state.m_SampleRate, offsetDb, color);
  } else if (state.m_Mode == kModeSweep) {
    DrawSweepCurve(spectrum, state.m_SweepLevel, state.m_Sweep.freq, state.m_SweepLevelCount, state.m_SampleRate,
                   false, offsetDb, color);
  }
  basic::Surface scale;
  scale.SetForeColor(0);
  scale.SetBackColor(0xE0B0B0);
  scale.SetPixelSize(size.width(), axis);
  DrawFreqScaleOn(scale, state.m_SampleRate);
  QImage picture(size, QImage::Format_RGB32);
  QPainter painter(&picture);
  painter.drawImage(0, 0, spectrum.Image());
  painter.drawImage(0, size.height() - axis, scale.Image());
  return picture;
}

bool WriteImageFile(const QString& path, const QImage& image) {
  if (image.isNull()) return false;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (!image.save(&file, "PNG")) {
    file.cancelWriting();
    file.commit();
    return false;
  }
  return file.commit();
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
