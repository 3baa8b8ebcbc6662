#pragma once
// A picture of curves over a frequency or time axis, as plain data: named
// curves of x/y points in their colours, the ranges of both axes and a note.
// The details window draws these; they know nothing of where the points came
// from. Also the mapping between values and pixels, the grid's steps and the
// cursor's read-out.
#include <QString>
#include <cstdint>
#include <vector>

namespace basic {
class Surface;
}

namespace measurement {

enum class PlotAxis {
  LogFrequency,  // Hz, logarithmic
  Time,          // milliseconds, linear
};

// How a value reads in the cursor's read-out.
enum class ValueUnit { Decibel, Degree, Millisecond, Linear, PercentFromDb };

struct PlotCurve {
  QString name;
  uint32_t color = 0;        // 0x00BBGGRR
  std::vector<double> x, y;  // same length, x rising; a NaN y leaves a gap
  ValueUnit unit = ValueUnit::Decibel;
  int width = 1;  // pixels
};

struct PlotView {
  PlotAxis xAxis = PlotAxis::LogFrequency;
  double xMin = 10, xMax = 24000;
  double yMin = -60, yMax = 10;
  ValueUnit yUnit = ValueUnit::Decibel;
  QString title;  // printed above the data area, at its left
  QString note;   // printed in the middle of the pane (what is missing)
  std::vector<PlotCurve> curves;
  // A key at the top right: each curve's name beside a stroke of its colour.
  bool legend = false;
};

// Where a view's data area lies on a pane (pixels) and the mapping between
// values and pixels inside it.
class PlotScale {
 public:
  // A pane of width x height pixels whose top-left corner is (left, top);
  // the data area leaves room for the labels left and below.
  PlotScale(const PlotView& view, int left, int top, int width, int height, int labelWidth, int labelHeight);

  int Left() const { return m_Left; }
  int Top() const { return m_Top; }
  int Right() const { return m_Right; }    // inclusive
  int Bottom() const { return m_Bottom; }  // inclusive
  bool Contains(int x, int y) const { return x >= m_Left && x <= m_Right && y >= m_Top && y <= m_Bottom; }

  double X(double value) const;  // pixel column (not rounded)
  double Y(double value) const;  // pixel row (not rounded)
  double XValue(double column) const;
  double YValue(double row) const;

 private:
  // The view's axes, kept (the scale outlives the view it was made for).
  bool m_LogX;
  double m_XMin, m_XMax, m_YMin, m_YMax;
  int m_Left, m_Top, m_Right, m_Bottom;
};

// The grid: major lines with labels, minor lines without.
struct AxisTick {
  double value;
  bool major;
};
// Decades with 2 and 5 labelled (10, 20, 50, 100, ...), the other digits minor.
std::vector<AxisTick> FrequencyTicks(double min, double max);
// A step of 1, 2 or 5 times a power of ten giving about `count` lines, all major.
std::vector<AxisTick> LinearTicks(double min, double max, int count);

// "50", "1k", "2.5k", "20k" for the frequency axis; "-1.5" for others.
QString TickText(double value, PlotAxis axis);
QString TickText(double value, ValueUnit unit);

// "1.00 kHz", "523 Hz", "12.50 ms".
QString AxisReadout(double x, PlotAxis axis);
// "-3.2 dB", "45.0°", "1.25 ms", "0.0312", "0.32 %".
QString ValueReadout(double y, ValueUnit unit);

// The curve's value at x: linear between its neighbours (NaN outside it or
// in a gap).
double CurveValueAt(const PlotCurve& curve, double x);

// The read-out for the pointer at (column, row) of a pane: the x value and
// the value of the curve nearest to the pointer at that x, with its name;
// empty when the pointer is outside the data area.
QString CursorReadout(const PlotView& view, const PlotScale& scale, int column, int row);

// The panes of a picture: the views stacked, each as high as the others.
struct PlotPane {
  int top, height;
};
std::vector<PlotPane> StackPanes(int pictureHeight, int count);

// Colours of the picture.
inline constexpr uint32_t kPlotBack = 0xFFFFFF;
inline constexpr uint32_t kPlotMajorGrid = 0xA0A0A0;
inline constexpr uint32_t kPlotMinorGrid = 0xE0E0E0;
inline constexpr uint32_t kPlotFrame = 0x505050;
inline constexpr uint32_t kPlotLabelBack = 0xE0B0B0;  // the main window's frequency strip
inline constexpr uint32_t kPlotText = 0x000000;
inline constexpr uint32_t kPlotNote = 0x303080;

// The label margins a surface's font needs (pixels).
int PlotLabelWidth(const basic::Surface& picture);
int PlotLabelHeight(const basic::Surface& picture);

// Clears the picture and draws the views stacked, each with its grid,
// labels, curves (in their order: the last on top) and note.
void DrawPlots(basic::Surface& picture, const std::vector<PlotView>& views);
// The scale the drawing used for view `index` of count on the picture.
PlotScale ScaleOfPane(const basic::Surface& picture, const PlotView& view, int index, int count);

}  // namespace measurement
