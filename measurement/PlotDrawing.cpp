// Drawing plot views on a surface: grid, labels, curves and notes.
#include <algorithm>
#include <cmath>

#include "measurement/PlotView.h"
#include "support/Rounding.h"
#include "support/Surface.h"

using basic::Surface;

namespace measurement {

namespace {

// Cuts the segment (x1, y1) - (x2, y2) to the rectangle; false when nothing
// of it lies inside.
bool ClipSegment(double& x1, double& y1, double& x2, double& y2, const PlotScale& s) {
  double t0 = 0, t1 = 1;
  const double dx = x2 - x1, dy = y2 - y1;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x1 - s.Left(), s.Right() - x1, y1 - s.Top(), s.Bottom() - y1};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0) t0 = std::max(t0, r);
    else t1 = std::min(t1, r);
    if (t0 > t1) return false;
  }
  const double ax = x1 + t0 * dx, ay = y1 + t0 * dy, bx = x1 + t1 * dx, by = y1 + t1 * dy;
  x1 = ax, y1 = ay, x2 = bx, y2 = by;
  return true;
}

void Segment(Surface& picture, const PlotScale& s, double x1, double y1, double x2, double y2) {
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return;
  // Far outside values are held where the clipping still works exactly enough.
  constexpr double kFar = 1e7;
  x1 = std::clamp(x1, -kFar, kFar), x2 = std::clamp(x2, -kFar, kFar);
  y1 = std::clamp(y1, -kFar, kFar), y2 = std::clamp(y2, -kFar, kFar);
  if (!ClipSegment(x1, y1, x2, y2, s)) return;
  const int ax = basic::Round32(x1), ay = basic::Round32(y1), bx = basic::Round32(x2), by = basic::Round32(y2);
  picture.MoveTo(ax, ay);
  picture.LineTo(bx, by);
  picture.SetPixel(bx, by, picture.ForeColor());  // the end point too
}

void DrawCurve(Surface& picture, const PlotScale& s, const PlotCurve& curve) {
  const size_t n = std::min(curve.x.size(), curve.y.size());
  if (n == 0) return;
  picture.SetForeColor(curve.color);
  picture.SetDrawWidth(curve.width);
  const auto columns = static_cast<size_t>(std::max(1, s.Right() - s.Left()));
  if (n <= 4 * columns) {
    bool have = false;
    double px = 0, py = 0;
    for (size_t i = 0; i < n; ++i) {
      if (!std::isfinite(curve.y[i])) {
        have = false;
        continue;
      }
      const double x = s.X(curve.x[i]), y = s.Y(curve.y[i]);
      if (have) Segment(picture, s, px, py, x, y);
      else if (n == 1 || (i + 1 < n && !std::isfinite(curve.y[i + 1]))) Segment(picture, s, x, y, x, y);
      px = x, py = y, have = true;
    }
  } else {
    // Many points per column: each column shows the span of its points,
    // joined to the column before.
    bool open = false, have = false;
    int column = 0;
    double lo = 0, hi = 0, first = 0, last = 0, prevColumn = 0, prevLast = 0;
    const auto flush = [&] {
      if (!open) return;
      if (have) Segment(picture, s, prevColumn, prevLast, column, first);
      Segment(picture, s, column, lo, column, hi);
      prevColumn = column, prevLast = last, have = true, open = false;
    };
    for (size_t i = 0; i < n; ++i) {
      if (!std::isfinite(curve.y[i])) {
        flush();
        have = false;
        continue;
      }
      const int c = basic::Round32(s.X(curve.x[i]));
      const double y = s.Y(curve.y[i]);
      if (!open || c != column) {
        flush();
        column = c, lo = hi = first = last = y, open = true;
      } else {
        lo = std::min(lo, y), hi = std::max(hi, y), last = y;
      }
    }
    flush();
  }
  picture.SetDrawWidth(1);
}

void PrintAt(Surface& picture, double xPx, double yPx, const QString& text, uint32_t color) {
  const int tpp = picture.TwipsPerPixel();
  picture.SetForeColor(color);
  picture.SetCurrentX(xPx * tpp);
  picture.SetCurrentY(yPx * tpp);
  picture.Print(text, false);
}

// The curves' names, one a line under each other, each after a stroke of
// its colour, on a framed white box at the data area's top right.
void DrawLegend(Surface& picture, const PlotView& view, const PlotScale& s) {
  const int tpp = picture.TwipsPerPixel();
  const double textH = picture.TextHeight() / tpp;
  constexpr double kStroke = 20, kGap = 6, kPad = 4;
  double names = 0;
  for (const PlotCurve& c : view.curves) names = std::max(names, picture.TextWidth(c.name) / tpp);
  const double w = kPad + kStroke + kGap + names + kPad;
  const double h = 2 * kPad + textH * static_cast<double>(view.curves.size());
  const double left = s.Right() - kPad - w, top = s.Top() + kPad;
  if (view.curves.empty() || left < s.Left() || top + h > s.Bottom()) return;
  picture.Line(left * tpp, top * tpp, (left + w) * tpp, (top + h) * tpp, kPlotBack, basic::LineKind::FilledBox);
  picture.Line(left * tpp, top * tpp, (left + w) * tpp, (top + h) * tpp, kPlotFrame, basic::LineKind::Box);
  double y = top + kPad;
  for (const PlotCurve& c : view.curves) {
    const int row = basic::Round32(y + textH / 2);
    picture.SetForeColor(c.color);
    picture.SetDrawWidth(2);
    picture.MoveTo(basic::Round32(left + kPad), row);
    picture.LineTo(basic::Round32(left + kPad + kStroke), row);
    picture.SetDrawWidth(1);
    PrintAt(picture, left + kPad + kStroke + kGap, y, c.name, kPlotText);
    y += textH;
  }
}

QString AxisUnitText(PlotAxis axis) { return axis == PlotAxis::Time ? QStringLiteral("(ms)") : QStringLiteral("(Hz)"); }

// The height of the band above the data area that holds the view's title.
int TitleBand(const Surface& picture, const PlotView& view) {
  if (view.title.isEmpty()) return 0;
  return basic::Round32(picture.TextHeight() / picture.TwipsPerPixel()) + 2;
}

void DrawPane(Surface& picture, const PlotView& view, const PlotScale& s, int paneTop, int paneHeight) {
  const int tpp = picture.TwipsPerPixel();
  const int width = picture.PixelWidth();
  const double textH = picture.TextHeight() / tpp;
  // The strip of frequency or time labels under the data area.
  const int stripTop = s.Bottom() + 1, stripBottom = paneTop + paneHeight - 1;
  if (stripBottom >= stripTop)
    picture.Line(0, stripTop * tpp, width * tpp, (stripBottom + 1) * tpp, kPlotLabelBack, basic::LineKind::FilledBox);

  const std::vector<AxisTick> xTicks = view.xAxis == PlotAxis::LogFrequency ? FrequencyTicks(view.xMin, view.xMax)
                                                                            : LinearTicks(view.xMin, view.xMax, 10);
  const std::vector<AxisTick> yTicks = LinearTicks(view.yMin, view.yMax, std::max(2, (s.Bottom() - s.Top()) / 40));
  for (const bool major : {false, true}) {
    picture.SetForeColor(major ? kPlotMajorGrid : kPlotMinorGrid);
    for (const AxisTick& t : xTicks) {
      if (t.major != major) continue;
      const int x = basic::Round32(s.X(t.value));
      picture.MoveTo(x, s.Top());
      picture.LineTo(x, s.Bottom() + 1);
    }
    if (!major) continue;
    for (const AxisTick& t : yTicks) {
      const int y = basic::Round32(s.Y(t.value));
      picture.MoveTo(s.Left(), y);
      picture.LineTo(s.Right() + 1, y);
    }
  }
  // The frame of the data area.
  picture.SetForeColor(kPlotFrame);
  picture.MoveTo(s.Left(), s.Top());
  picture.LineTo(s.Right(), s.Top());
  picture.LineTo(s.Right(), s.Bottom());
  picture.LineTo(s.Left(), s.Bottom());
  picture.LineTo(s.Left(), s.Top());

  // The x axis's unit in the strip's left corner, under the value labels;
  // a tick label that would touch it is left out.
  const QString unit = AxisUnitText(view.xAxis);
  PrintAt(picture, 3, stripTop + 1, unit, kPlotText);
  double lastRight = 3 + picture.TextWidth(unit) / tpp;
  for (const AxisTick& t : xTicks) {
    if (!t.major) continue;
    const QString text = TickText(t.value, view.xAxis);
    const double w = picture.TextWidth(text) / tpp;
    const double x = s.X(t.value) - w / 2;
    if (x < lastRight + 4 || x + w > width) continue;
    PrintAt(picture, x, stripTop + 1, text, kPlotText);
    lastRight = x + w;
  }
  double lastTop = 1e9;
  for (auto it = yTicks.begin(); it != yTicks.end(); ++it) {
    const QString text = TickText(it->value, view.yUnit);
    // The end labels may sit a little inside to stay beside the data area.
    const double y = std::clamp<double>(s.Y(it->value) - textH / 2, paneTop, s.Bottom() + 1 - textH);
    if (y + textH > lastTop) continue;
    PrintAt(picture, s.Left() - 3 - picture.TextWidth(text) / tpp, y, text, kPlotText);
    lastTop = y;
  }

  for (const PlotCurve& curve : view.curves) DrawCurve(picture, s, curve);
  if (view.legend) DrawLegend(picture, view, s);

  // In its own band above the data area, where no curve reaches.
  if (!view.title.isEmpty()) PrintAt(picture, s.Left() + 4, paneTop + 1, view.title, kPlotText);
  if (!view.note.isEmpty()) {
    // Line by line, centred in the data area.
    const QStringList lines = view.note.split(QLatin1Char('\n'));
    double y = (s.Top() + s.Bottom()) / 2.0 - lines.size() * textH / 2;
    for (const QString& line : lines) {
      const double w = picture.TextWidth(line) / tpp;
      PrintAt(picture, std::max<double>(s.Left() + 4, (s.Left() + s.Right()) / 2.0 - w / 2), y, line, kPlotNote);
      y += textH;
    }
  }
}

}  // namespace

int PlotLabelWidth(const Surface& picture) {
  return basic::Round32(picture.TextWidth(QStringLiteral("-100.0")) / picture.TwipsPerPixel()) + 6;
}

int PlotLabelHeight(const Surface& picture) {
  return basic::Round32(picture.TextHeight() / picture.TwipsPerPixel()) + 4;
}

PlotScale ScaleOfPane(const Surface& picture, const PlotView& view, int index, int count) {
  const std::vector<PlotPane> panes = StackPanes(picture.PixelHeight(), count);
  const PlotPane pane = index >= 0 && static_cast<size_t>(index) < panes.size() ? panes[static_cast<size_t>(index)]
                                                                                : PlotPane{0, picture.PixelHeight()};
  const int band = std::min(TitleBand(picture, view), pane.height / 2);
  return PlotScale(view, 0, pane.top + band, picture.PixelWidth(), pane.height - band, PlotLabelWidth(picture),
                   PlotLabelHeight(picture));
}

void DrawPlots(Surface& picture, const std::vector<PlotView>& views) {
  picture.SetBackColor(kPlotBack);
  picture.Cls();
  const auto count = static_cast<int>(views.size());
  const std::vector<PlotPane> panes = StackPanes(picture.PixelHeight(), count);
  for (int i = 0; i < count; ++i) {
    const PlotView& view = views[static_cast<size_t>(i)];
    DrawPane(picture, view, ScaleOfPane(picture, view, i, count), panes[static_cast<size_t>(i)].top,
             panes[static_cast<size_t>(i)].height);
  }
  picture.Changed();
}

}  // namespace measurement
