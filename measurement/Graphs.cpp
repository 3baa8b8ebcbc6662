#include "measurement/Graphs.h"

#include <algorithm>
#include <cmath>

#include <QRect>

#include "measurement/GraphScale.h"
#include "support/Decibels.h"
#include "support/Surface.h"
#include "support/Rounding.h"

using basic::Surface;

namespace measurement {

namespace {

SpectrumScale ScaleOf(const Surface& p, int32_t rate, float offsetDb) {
  const int tpp = p.TwipsPerPixel();
  return SpectrumScale(basic::Round32(p.ScaleWidth()) / tpp, basic::Round32(p.ScaleHeight()) / tpp, rate, offsetDb);
}

}  // namespace

namespace {

// A grid line across the picture and its label at the left, beside the line
// but always whole inside the picture; a line outside it gets no label. A
// label that would fall under `keepClear` (pixels; a control standing on the
// picture) is printed just right of it instead.
void GridLine(Surface& picture, const SpectrumScale& s, double db, const QString& text, const QRect& keepClear = {}) {
  const int tpp = picture.TwipsPerPixel();
  const int32_t y = s.GridY(db);
  picture.MoveTo(20, y);
  picture.LineTo(s.Width, y);
  if (y < 0 || y > s.Height) return;
  const double height = picture.TextHeight(text);
  const double top = std::clamp(y * tpp - height / 2, 0.0, std::max(0.0, s.Height * tpp - height));
  double left = 4.0;
  const QRect label(static_cast<int>(left), static_cast<int>(top / tpp),
                    static_cast<int>(std::ceil(picture.TextWidth(text) / tpp)),
                    static_cast<int>(std::ceil(height / tpp)));
  if (!keepClear.isEmpty() && label.intersects(keepClear)) left = keepClear.right() + 1 + 4.0;
  picture.SetCurrentX(left * tpp);
  picture.SetCurrentY(top);
  picture.Print(text);
}

}  // namespace

void DrawSpectrumGrid(Surface& picture, float offsetDb, const QRect& keepClear) {
  const SpectrumScale s = ScaleOf(picture, 0, offsetDb);  // the grid needs no frequency axis
  picture.Cls();
  picture.SetForeColor(kGridColor);
  static const char* const kLabels[] = {"+6", "+3", "+2", "+1", "-1", "-2", "-3", "-6", "0"};
  for (const char* label : kLabels) {
    const QString text = QString::fromLatin1(label);
    if (text == QLatin1String("0")) picture.SetForeColor(kZeroLineColor);
    GridLine(picture, s, text.toDouble(), text, keepClear);
  }
}

void DrawLowGridLines(Surface& picture, float offsetDb) {
  const SpectrumScale s = ScaleOf(picture, 0, offsetDb);
  const uint32_t pen = picture.ForeColor();
  picture.SetForeColor(kGridColor);
  const double textRows = picture.TextHeight(QStringLiteral("-12")) / picture.TwipsPerPixel();
  int32_t above = s.GridY(-6);
  for (int db = -12; db >= -120; db -= 6) {
    const int32_t y = s.GridY(db);
    // Each label a line of text below the one above and above the bottom edge.
    if (y - above < textRows + 2 || s.Height - y < textRows) break;
    GridLine(picture, s, db, QString::number(db));
    above = y;
  }
  picture.SetForeColor(pen);
}

void DrawNoiseCurve(Surface& picture, const NoiseSpectrum& spectrum, int32_t sampleRate, float offsetDb,
                    uint32_t color) {
  const SpectrumScale s = ScaleOf(picture, sampleRate, offsetDb);
  if (picture.ForeColor() != color) picture.SetForeColor(color);
  picture.MoveTo(0, s.Height);
  double sum = 0;
  int count = 0;
  int32_t last = 0;
  for (int k = 1; k <= 1024; ++k) {
    sum += spectrum.values[static_cast<size_t>(k)];
    ++count;
    const int32_t x = s.XOfBin(k);
    if (x == last) continue;
    if (last == 0) picture.MoveTo(x, s.Height);
    picture.LineTo(x, s.Y(sum / count));
    last = x;
    sum = 0;
    count = 0;
  }
}

void DrawSweepCurve(Surface& picture, std::span<const int16_t> level, std::span<const float> freq, int32_t count,
                    int32_t sampleRate, bool running, float offsetDb, uint32_t color) {
  const SpectrumScale s = ScaleOf(picture, sampleRate, offsetDb);
  if (picture.ForeColor() != color) picture.SetForeColor(color);
  picture.MoveTo(0, s.Height);
  const int64_t n = std::min<int64_t>({count, static_cast<int64_t>(level.size()), static_cast<int64_t>(freq.size())});
  const int64_t step = running ? std::max<int64_t>(1, basic::Round32(sampleRate / 100.0)) : 1;
  // The column of each point comes from a logarithm; on a long sweep most
  // points share the column of the point before. Within a margin of the
  // frequencies where the rounded column changes, the column is known
  // without computing it.
  const auto bound = [&](double x) {
    return s.SpanDb == 0 ? 0.0 : s.Nyquist * basic::DbToLin((s.Width - x) * static_cast<double>(s.SpanDb) / s.Width);
  };
  double lo = 0, hi = -1;  // frequencies known to fall into column `column`
  int32_t column = 0;
  double sum = 0;
  int64_t points = 0;
  int32_t last = 0;
  for (int64_t m = 0; m < n; m += step) {
    // A zero is no level: nothing was measured there (a gap in the capture,
    // the edges of the analysis, frames not captured yet). It is skipped, and
    // the curve goes on from the last column that had a level.
    const int16_t v = level[static_cast<size_t>(m)];
    if (v <= 0) continue;
    sum += v;
    ++points;
    const double f = freq[static_cast<size_t>(m)];
    if (!(f > lo && f < hi)) {
      column = s.X(f);
      lo = bound(column - 0.5) * (1 + 1e-9);
      hi = bound(column + 0.5) * (1 - 1e-9);
    }
    const int32_t x = column;
    if (x != last) {
      picture.LineTo(x, s.Y(sum / static_cast<double>(points)));
      last = x;
      sum = 0;
      points = 0;
    }
  }
}

void DrawResultCurve(Surface& picture, const Result& result, bool running, float offsetDb, uint32_t color) {
  if (result.mode == SignalMode::Noise) {
    DrawNoiseCurve(picture, result.spectrum, result.sampleRate, offsetDb, color);
  } else if (result.mode == SignalMode::Sweep) {
    DrawSweepCurve(picture, result.envelope, result.sweepTable.freq,
                   static_cast<int32_t>(std::min<size_t>(result.envelope.size(), INT32_MAX)), result.sampleRate,
                   running, offsetDb, color);
  }
}

std::vector<ScaleLabel> FreqScaleLabels(int32_t sampleRate, int32_t widthPx, int32_t tpp) {
  std::vector<ScaleLabel> labels;
  if (sampleRate <= 0 || widthPx <= 0 || tpp <= 0) return labels;
  const auto span = static_cast<float>(basic::LinToDb(10.0 / (sampleRate * 0.5)));
  static constexpr int32_t kFrequencies[] = {10,    16,    25,    40,    63,     100,    160,    250,
                                             400,   630,   1000,  1600,  2500,   4000,   6300,   10000,
                                             16000, 25000, 40000, 63000, 100000, 160000, 250000, 400000};
  for (const int32_t f : kFrequencies) {
    const double x = basic::Round32(
        (widthPx - basic::LinToDb(f / (sampleRate * 0.5)) * (widthPx / static_cast<double>(span))) * tpp);
    const QString number = f < 1000 ? QString::number(f) : QString::number(f / 1000.0, 'g', 6) + QLatin1Char('k');
    labels.push_back({x, QLatin1Char('|') + number});
  }
  return labels;
}

void DrawFreqScaleOn(Surface& picture, int32_t sampleRate) {
  picture.Cls();
  const int tpp = picture.TwipsPerPixel();
  const int32_t wp = basic::Round32(picture.ScaleWidth() / tpp);
  for (const ScaleLabel& label : FreqScaleLabels(sampleRate, wp, tpp)) {
    picture.SetCurrentX(label.x);
    picture.SetCurrentY(0);
    picture.Print(label.text);
  }
}

void DrawWaveOn(Surface& picture, std::span<const WaveMMIO::StereoSample> play,
                std::span<const WaveMMIO::StereoSample> capture, int32_t first, int32_t last) {
  const int tpp = picture.TwipsPerPixel();
  const int32_t end =
      std::min<int64_t>({last, static_cast<int64_t>(play.size()) - 1, static_cast<int64_t>(capture.size()) - 1});
  const int32_t count = last - first + 1;
  const int32_t w = std::max(1, basic::Round32(picture.ScaleWidth()) / tpp);
  const int32_t per = std::max(1, basic::Round32(static_cast<double>(count) / w));
  const double height = picture.ScaleHeight();  // a picture has no border: inner and outer agree
  const int32_t y1 = basic::Round32((height - 4.0 * tpp) / (2.0 * tpp) / 2.0), y2 = 3 * y1;
  const auto k = static_cast<float>(std::abs(basic::Round32((height - 2.0 * tpp) / 2.0) / tpp / 65536.0));
  picture.Cls();
  const int32_t columns = basic::Round32(picture.ScaleWidth()) / tpp;
  int32_t start = std::max(first, 0);
  for (int32_t i = 0; i <= columns; ++i) {
    int32_t a = 0, b = 0;
    for (int32_t j = start; j <= start + per; ++j) {
      if (j > end) return;
      a = std::max<int32_t>(a, std::abs(int32_t{play[static_cast<size_t>(j)].Left}));
      b = std::max<int32_t>(b, std::abs(int32_t{capture[static_cast<size_t>(j)].Left}));
    }
    picture.MoveTo(i, basic::Round32(y1 - a * k));
    picture.LineTo(i, basic::Round32(y1 + a * k));
    picture.MoveTo(i, basic::Round32(y2 - b * k));
    picture.LineTo(i, basic::Round32(y2 + b * k));
    // Columns share their last frame with the next one; with one frame per
    // column the window still moves on.
    start += std::max(per - 1, 1);
  }
}

QString FrequencyReadout(float frequency) {
  if (frequency > 1000) return QString::number(frequency / 1000.0, 'f', 1) + QStringLiteral("kHz");
  return QString::number(frequency, 'f', 0) + QStringLiteral("Hz");
}

float OffsetForReference(double referenceY, double scaleHeight) {
  if (scaleHeight <= 0) return 0;
  return static_cast<float>(basic::LinToDb((scaleHeight - referenceY) / scaleHeight));
}

StretchLevels MeasureStretch(std::span<const WaveMMIO::StereoSample> play,
                             std::span<const WaveMMIO::StereoSample> capture, int32_t first, int32_t last) {
  StretchLevels out;
  const int64_t end =
      std::min<int64_t>({last, static_cast<int64_t>(play.size()) - 1, static_cast<int64_t>(capture.size()) - 1});
  if (first < 0 || end < first) return out;
  double ss[2] = {0, 0};
  for (int64_t j = first; j <= end; ++j) {
    const int32_t p = play[static_cast<size_t>(j)].Left, c = capture[static_cast<size_t>(j)].Left;
    out.peak[0] = std::max(out.peak[0], std::abs(p));
    out.peak[1] = std::max(out.peak[1], std::abs(c));
    ss[0] += double(p) * p;
    ss[1] += double(c) * c;
  }
  const double count = static_cast<double>(last - first + 1);
  for (int i = 0; i < 2; ++i) out.rms[i] = std::sqrt(ss[i] / count);
  return out;
}

QString MeterText(float db) {
  QString text = QString::number(db, 'f', 1);
  if (text == QLatin1String("-0.0")) text = QStringLiteral("0.0");
  return text;
}

}  // namespace measurement
