#include "measurement/PlotView.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace measurement {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A positive, finite span for an axis (a degenerate one is widened).
void Widen(double& lo, double& hi, bool logarithmic) {
  if (logarithmic) {
    if (!(lo > 0) || !std::isfinite(lo)) lo = 10;
    if (!(hi > lo) || !std::isfinite(hi)) hi = lo * 10;
  } else {
    if (!std::isfinite(lo)) lo = 0;
    if (!(hi > lo) || !std::isfinite(hi)) hi = lo + 1;
  }
}

}  // namespace

PlotScale::PlotScale(const PlotView& view, int left, int top, int width, int height, int labelWidth, int labelHeight)
    : m_LogX(view.xAxis == PlotAxis::LogFrequency),
      m_XMin(view.xMin),
      m_XMax(view.xMax),
      m_YMin(view.yMin),
      m_YMax(view.yMax) {
  Widen(m_XMin, m_XMax, m_LogX);
  Widen(m_YMin, m_YMax, false);
  m_Left = left + std::max(0, labelWidth);
  m_Top = top + 2;
  m_Right = std::max(m_Left + 1, left + width - 3);
  m_Bottom = std::max(m_Top + 1, top + height - std::max(0, labelHeight) - 1);
}

double PlotScale::X(double value) const {
  const double t = m_LogX ? (value > 0 ? std::log(value / m_XMin) / std::log(m_XMax / m_XMin) : -1e9)
                          : (value - m_XMin) / (m_XMax - m_XMin);
  return m_Left + t * (m_Right - m_Left);
}

double PlotScale::XValue(double column) const {
  const double t = (column - m_Left) / (m_Right - m_Left);
  return m_LogX ? m_XMin * std::pow(m_XMax / m_XMin, t) : m_XMin + t * (m_XMax - m_XMin);
}

double PlotScale::Y(double value) const { return m_Bottom - (value - m_YMin) / (m_YMax - m_YMin) * (m_Bottom - m_Top); }

double PlotScale::YValue(double row) const {
  return m_YMin + (m_Bottom - row) / (m_Bottom - m_Top) * (m_YMax - m_YMin);
}

std::vector<AxisTick> FrequencyTicks(double min, double max) {
  std::vector<AxisTick> ticks;
  Widen(min, max, true);
  for (double decade = std::pow(10.0, std::floor(std::log10(min))); decade <= max; decade *= 10)
    for (int d = 1; d <= 9; ++d) {
      const double f = d * decade;
      if (f < min * (1 - 1e-9) || f > max * (1 + 1e-9)) continue;
      ticks.push_back({f, d == 1 || d == 2 || d == 5});
    }
  return ticks;
}

std::vector<AxisTick> LinearTicks(double min, double max, int count) {
  std::vector<AxisTick> ticks;
  Widen(min, max, false);
  const double raw = (max - min) / std::max(1, count);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double step = power;
  for (const double m : {1.0, 2.0, 5.0, 10.0})
    if (m * power >= raw * (1 - 1e-9)) {
      step = m * power;
      break;
    }
  for (double k = std::ceil(min / step - 1e-9); k * step <= max * (1 + 1e-12) + 1e-12 && ticks.size() < 1000; ++k) {
    const double v = k * step;
    ticks.push_back({std::abs(v) < step * 1e-9 ? 0.0 : v, true});
  }
  return ticks;
}

QString TickText(double value, PlotAxis axis) {
  if (axis == PlotAxis::LogFrequency) {
    if (value >= 1000) return QString::number(value / 1000.0, 'g', 4) + QLatin1Char('k');
    return QString::number(value, 'g', 4);
  }
  return QString::number(value, 'g', 6);
}

QString TickText(double value, ValueUnit) { return QString::number(value, 'g', 6); }

QString AxisReadout(double x, PlotAxis axis) {
  if (axis == PlotAxis::Time) return QString::number(x, 'f', 2) + QStringLiteral(" ms");
  if (x >= 1000) return QString::number(x / 1000.0, 'f', 2) + QStringLiteral(" kHz");
  return QString::number(x, 'f', x < 100 ? 1 : 0) + QStringLiteral(" Hz");
}

QString ValueReadout(double y, ValueUnit unit) {
  switch (unit) {
    case ValueUnit::Decibel: return QString::number(y, 'f', 1) + QStringLiteral(" dB");
    case ValueUnit::Degree: return QString::number(y, 'f', 1) + QStringLiteral("°");
    case ValueUnit::Millisecond: return QString::number(y, 'f', 3) + QStringLiteral(" ms");
    case ValueUnit::PercentFromDb: {
      const double percent = 100.0 * std::pow(10.0, y / 20.0);
      return QString::number(percent, 'g', 3) + QStringLiteral(" %");
    }
    case ValueUnit::Linear:
    default: return QString::number(y, 'g', 4);
  }
}

double CurveValueAt(const PlotCurve& curve, double x) {
  const size_t n = std::min(curve.x.size(), curve.y.size());
  if (n == 0 || !(x >= curve.x[0]) || !(x <= curve.x[n - 1])) return kNaN;
  const auto it = std::lower_bound(curve.x.begin(), curve.x.begin() + static_cast<std::ptrdiff_t>(n), x);
  const auto i = static_cast<size_t>(it - curve.x.begin());
  if (i >= n) return kNaN;
  if (i == 0 || curve.x[i] == x) return curve.y[i];
  const double x0 = curve.x[i - 1], x1 = curve.x[i], y0 = curve.y[i - 1], y1 = curve.y[i];
  if (!(x1 > x0)) return y1;
  return y0 + (y1 - y0) * (x - x0) / (x1 - x0);
}

QString CursorReadout(const PlotView& view, const PlotScale& scale, int column, int row) {
  if (!scale.Contains(column, row)) return {};
  const double x = scale.XValue(column);
  QString text = AxisReadout(x, view.xAxis);
  const PlotCurve* nearest = nullptr;
  double nearestValue = kNaN, distance = std::numeric_limits<double>::infinity();
  for (const PlotCurve& curve : view.curves) {
    const double v = CurveValueAt(curve, x);
    if (std::isnan(v)) continue;
    const double d = std::abs(scale.Y(v) - row);
    if (d < distance) {
      distance = d;
      nearest = &curve;
      nearestValue = v;
    }
  }
  if (nearest) {
    text += QStringLiteral("  ");
    if (!nearest->name.isEmpty()) text += nearest->name + QStringLiteral(": ");
    text += ValueReadout(nearestValue, nearest->unit);
  }
  return text;
}

std::vector<PlotPane> StackPanes(int pictureHeight, int count) {
  std::vector<PlotPane> panes;
  if (count < 1) return panes;
  const int h = std::max(1, pictureHeight) / count;
  for (int i = 0; i < count; ++i) panes.push_back({i * h, i == count - 1 ? std::max(1, pictureHeight - i * h) : h});
  return panes;
}

}  // namespace measurement
