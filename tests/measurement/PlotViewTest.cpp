// Plot views: the value/pixel mapping, the grid's steps, the read-outs, and
// what the drawing puts where (read back from the picture).
#include "measurement/PlotView.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/Surface.h"

using namespace measurement;

namespace {

PlotView FrequencyView(double yMin = -60, double yMax = 10) {
  PlotView v;
  v.xAxis = PlotAxis::LogFrequency;
  v.xMin = 10, v.xMax = 24000, v.yMin = yMin, v.yMax = yMax;
  return v;
}

PlotCurve Flat(double db, uint32_t color, const QString& name = {}) {
  PlotCurve c;
  c.name = name;
  c.color = color;
  for (double f = 10; f <= 24000; f *= std::exp2(1.0 / 24)) {
    c.x.push_back(f);
    c.y.push_back(db);
  }
  return c;
}

// Rows of column x that hold color.
std::vector<int> InkRows(const basic::Surface& s, int x, uint32_t color) {
  std::vector<int> rows;
  for (int y = 0; y < s.PixelHeight(); ++y)
    if (s.Pixel(x, y) == color) rows.push_back(y);
  return rows;
}

// Pixels of the note's dark red (text is smoothed: few pixels are exactly it).
int ReddishCount(const basic::Surface& s, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const uint32_t c = s.Pixel(x, y);
      const int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
      n += r > g + 30 && r > b + 30;
    }
  return n;
}

int InkCount(const basic::Surface& s, uint32_t color, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) n += s.Pixel(x, y) == color;
  return n;
}

class PlotDrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    basic::SetTwipsPerPixel(15);
    pic.SetPixelSize(800, 400);
  }
  basic::Surface pic;
};

TEST(PlotScaleTest, TheAxesEndAtTheDataAreaAndTheLogMiddleIsTheGeometricMean) {
  const PlotView v = FrequencyView(-60, 10);
  const PlotScale s(v, 0, 0, 800, 400, 50, 20);
  EXPECT_DOUBLE_EQ(s.X(10), s.Left());
  EXPECT_DOUBLE_EQ(s.X(24000), s.Right());
  EXPECT_NEAR(s.X(std::sqrt(10.0 * 24000)), (s.Left() + s.Right()) / 2.0, 1e-9);
  EXPECT_DOUBLE_EQ(s.Y(10), s.Top());
  EXPECT_DOUBLE_EQ(s.Y(-60), s.Bottom());
  // Value -> pixel -> value comes back.
  for (const double f : {20.0, 1000.0, 15000.0}) EXPECT_NEAR(s.XValue(s.X(f)), f, f * 1e-12);
  EXPECT_NEAR(s.YValue(s.Y(-23.5)), -23.5, 1e-9);
  EXPECT_EQ(s.Left(), 50);
  EXPECT_LT(s.Bottom(), 400 - 20);
}

TEST(PlotScaleTest, ADegenerateRangeStillMapsToFiniteRows) {
  PlotView v = FrequencyView(5, 5);  // no span
  v.xMin = 0;                        // no logarithm of 0
  const PlotScale s(v, 0, 0, 200, 100, 10, 10);
  EXPECT_TRUE(std::isfinite(s.Y(5)));
  EXPECT_TRUE(std::isfinite(s.X(100)));
}

TEST(PlotTicksTest, FrequencyDecadesLabelOneTwoAndFive) {
  std::vector<double> majors, minors;
  for (const AxisTick& t : FrequencyTicks(20, 20000)) (t.major ? majors : minors).push_back(t.value);
  EXPECT_EQ(majors, (std::vector<double>{20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000}));
  ASSERT_FALSE(minors.empty());
  EXPECT_DOUBLE_EQ(minors.front(), 30);
  EXPECT_DOUBLE_EQ(minors.back(), 9000);
}

TEST(PlotTicksTest, LinearStepsAreOneTwoOrFiveTimesAPowerOfTen) {
  std::vector<double> v;
  for (const AxisTick& t : LinearTicks(-60, 10, 7)) v.push_back(t.value);
  EXPECT_EQ(v, (std::vector<double>{-60, -50, -40, -30, -20, -10, 0, 10}));
  v.clear();
  for (const AxisTick& t : LinearTicks(-180, 180, 8)) v.push_back(t.value);
  EXPECT_EQ(v, (std::vector<double>{-150, -100, -50, 0, 50, 100, 150}));
  v.clear();
  for (const AxisTick& t : LinearTicks(-0.3, 0.7, 5)) v.push_back(t.value);
  EXPECT_EQ(v.size(), 5u);  // -0.2 ... 0.6 in steps of 0.2
  ASSERT_GE(v.size(), 2u);
  EXPECT_DOUBLE_EQ(v[1], 0.0);  // exactly zero, no -1e-17
}

TEST(PlotTextTest, TicksAndReadoutsAreShortAndCarryTheirUnits) {
  EXPECT_EQ(TickText(2000, PlotAxis::LogFrequency), "2k");
  EXPECT_EQ(TickText(50, PlotAxis::LogFrequency), "50");
  EXPECT_EQ(AxisReadout(1000, PlotAxis::LogFrequency), "1.00 kHz");
  EXPECT_EQ(AxisReadout(523.4, PlotAxis::LogFrequency), "523 Hz");
  EXPECT_EQ(AxisReadout(12.5, PlotAxis::Time), "12.50 ms");
  EXPECT_EQ(ValueReadout(-3.24, ValueUnit::Decibel), "-3.2 dB");
  EXPECT_EQ(ValueReadout(-40, ValueUnit::PercentFromDb), "1 %");  // -40 dB re the fundamental
  EXPECT_EQ(ValueReadout(45, ValueUnit::Degree), "45.0°");
}

TEST(PlotReadoutTest, CurveValuesAreInterpolatedAndGapsAreNoValue) {
  PlotCurve c;
  c.x = {100, 200, 300, 400};
  c.y = {0, 10, NAN, 0};
  EXPECT_DOUBLE_EQ(CurveValueAt(c, 150), 5);
  EXPECT_DOUBLE_EQ(CurveValueAt(c, 200), 10);
  EXPECT_TRUE(std::isnan(CurveValueAt(c, 250)));
  EXPECT_TRUE(std::isnan(CurveValueAt(c, 50)));
  EXPECT_TRUE(std::isnan(CurveValueAt(c, 401)));
  PlotCurve empty;
  EXPECT_TRUE(std::isnan(CurveValueAt(empty, 100)));
}

TEST(PlotReadoutTest, TheCursorReadsTheCurveNearestToThePointer) {
  PlotView v = FrequencyView(-60, 10);
  v.curves = {Flat(0, 0x0000FF, "01"), Flat(-20, 0x00FF00, "02")};
  const PlotScale s(v, 0, 0, 800, 400, 50, 20);
  const int x = static_cast<int>(std::lround(s.X(1000)));
  const QString near2 = CursorReadout(v, s, x, static_cast<int>(std::lround(s.Y(-17))));
  EXPECT_TRUE(near2.contains("02: -20.0 dB")) << near2.toStdString();
  EXPECT_TRUE(near2.startsWith("1.0")) << near2.toStdString();
  EXPECT_TRUE(near2.contains("kHz")) << near2.toStdString();
  const QString near1 = CursorReadout(v, s, x, static_cast<int>(std::lround(s.Y(-5))));
  EXPECT_TRUE(near1.contains("01: 0.0 dB")) << near1.toStdString();
  EXPECT_TRUE(CursorReadout(v, s, 5, 5).isEmpty());  // over the labels
}

TEST(PlotPanesTest, PanesShareTheHeightAndTheLastTakesTheRest) {
  const std::vector<PlotPane> p = StackPanes(401, 2);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].top, 0);
  EXPECT_EQ(p[0].height, 200);
  EXPECT_EQ(p[1].top, 200);
  EXPECT_EQ(p[1].height, 201);
  EXPECT_TRUE(StackPanes(100, 0).empty());
}

TEST_F(PlotDrawingTest, ACurveLiesAtItsValueInItsColour) {
  PlotView v = FrequencyView(-60, 10);
  v.curves = {Flat(-20, 0x2040C0)};
  DrawPlots(pic, {v});
  const PlotScale s = ScaleOfPane(pic, v, 0, 1);
  const int row = static_cast<int>(std::lround(s.Y(-20)));
  for (const double f : {20.0, 1000.0, 20000.0}) {
    const int x = static_cast<int>(std::lround(s.X(f)));
    const std::vector<int> rows = InkRows(pic, x, 0x2040C0);
    ASSERT_FALSE(rows.empty()) << f;
    EXPECT_LE(std::abs(rows.front() - row), 1) << f;
    EXPECT_LE(std::abs(rows.back() - row), 1) << f;
  }
  // Outside the data area nothing is in the curve's colour.
  EXPECT_EQ(InkCount(pic, 0x2040C0, 0, 0, s.Left() - 1, pic.PixelHeight() - 1), 0);
  // The frame and the label strip are drawn.
  EXPECT_EQ(pic.Pixel(s.Left(), (s.Top() + s.Bottom()) / 2), kPlotFrame);
  EXPECT_GT(InkCount(pic, kPlotLabelBack, 0, s.Bottom() + 2, pic.PixelWidth() - 1, pic.PixelHeight() - 1), 1000);
}

TEST_F(PlotDrawingTest, AStepBeyondTheRangeIsCutAtTheFrame) {
  PlotView v = FrequencyView(-60, 10);
  PlotCurve c;
  c.color = 0x10A010;
  c.x = {100, 1000, 1001, 10000};
  c.y = {0, 0, 500, 500};  // far above the top
  v.curves = {c};
  DrawPlots(pic, {v});
  const PlotScale s = ScaleOfPane(pic, v, 0, 1);
  EXPECT_EQ(InkCount(pic, 0x10A010, 0, 0, pic.PixelWidth() - 1, s.Top() - 1), 0);
  EXPECT_FALSE(InkRows(pic, static_cast<int>(std::lround(s.X(500))), 0x10A010).empty());
  EXPECT_TRUE(InkRows(pic, static_cast<int>(std::lround(s.X(5000))), 0x10A010).empty());
}

TEST_F(PlotDrawingTest, ManyPointsPerColumnShowTheirWholeSpan) {
  // A 6 kHz tone sampled at 48 kHz (8 samples a period, peaks on samples)
  // over 100 ms: each column holds more than a period, so each column's ink
  // spans the full amplitude.
  PlotView v;
  v.xAxis = PlotAxis::Time;
  v.xMin = 0, v.xMax = 100, v.yMin = -1, v.yMax = 1;
  v.yUnit = ValueUnit::Linear;
  PlotCurve c;
  c.color = 0xC02020;
  for (int i = 0; i < 4800; ++i) {
    c.x.push_back(i / 48.0);
    c.y.push_back(std::sin(2 * M_PI * 6000 * i / 48000.0));
  }
  pic.SetPixelSize(300, 200);  // fewer columns than a quarter of the points
  v.curves = {c};
  DrawPlots(pic, {v});
  const PlotScale s = ScaleOfPane(pic, v, 0, 1);
  const int x = static_cast<int>(std::lround(s.X(50)));
  const std::vector<int> rows = InkRows(pic, x, 0xC02020);
  ASSERT_FALSE(rows.empty());
  EXPECT_LE(rows.front(), static_cast<int>(std::lround(s.Y(1))));
  EXPECT_GE(rows.back(), static_cast<int>(std::lround(s.Y(-1))));
}

TEST_F(PlotDrawingTest, StackedViewsDrawEachInItsOwnPaneAndNotesAreShown) {
  PlotView top = FrequencyView(-60, 10), bottom = FrequencyView(-60, 10);
  top.curves = {Flat(0, 0x0000C0)};
  bottom.curves = {Flat(0, 0x00C000)};
  bottom.note = QStringLiteral("新しく測定してください");
  DrawPlots(pic, {top, bottom});
  const int half = pic.PixelHeight() / 2;
  EXPECT_GT(InkCount(pic, 0x0000C0, 0, 0, pic.PixelWidth() - 1, half - 1), 300);
  EXPECT_EQ(InkCount(pic, 0x0000C0, 0, half, pic.PixelWidth() - 1, pic.PixelHeight() - 1), 0);
  EXPECT_GT(InkCount(pic, 0x00C000, 0, half, pic.PixelWidth() - 1, pic.PixelHeight() - 1), 300);
  EXPECT_EQ(InkCount(pic, 0x00C000, 0, 0, pic.PixelWidth() - 1, half - 1), 0);
  // The note's text, in its colour, in the lower pane only.
  const PlotScale s = ScaleOfPane(pic, bottom, 1, 2);
  EXPECT_GT(ReddishCount(pic, s.Left() + 1, s.Top() + 1, s.Right() - 1, s.Bottom() - 1), 20);
  const PlotScale t = ScaleOfPane(pic, top, 0, 2);
  top.curves.clear();
  DrawPlots(pic, {top, bottom});
  EXPECT_EQ(ReddishCount(pic, t.Left() + 1, t.Top() + 1, t.Right() - 1, t.Bottom() - 1), 0);
}

TEST_F(PlotDrawingTest, AKeyNamesEachCurveInItsColourAtTheTopRight) {
  PlotView v = FrequencyView(-60, 10);
  PlotCurve a = Flat(-50, 0x2040C0), b = Flat(-55, 0x10A010), c;
  a.name = QStringLiteral("H2"), b.name = QStringLiteral("ノイズ");
  c.name = QStringLiteral("THD"), c.color = 0xC02020;  // no values: seen only in the key
  v.curves = {a, b, c};
  const PlotScale s = ScaleOfPane(pic, v, 0, 1);
  const int midX = (s.Left() + s.Right()) / 2, midY = (s.Top() + s.Bottom()) / 2;
  const auto rowOf = [&](uint32_t color) {
    std::vector<int> rows;
    for (int x = midX; x <= s.Right(); ++x)
      for (const int y : InkRows(pic, x, color))
        if (y <= midY) rows.push_back(y);
    return rows.empty() ? -1 : rows.front();
  };
  DrawPlots(pic, {v});
  for (const uint32_t color : {0x2040C0u, 0x10A010u, 0xC02020u}) EXPECT_EQ(rowOf(color), -1) << color;
  v.legend = true;
  DrawPlots(pic, {v});
  for (const uint32_t color : {0x2040C0u, 0x10A010u, 0xC02020u})
    EXPECT_GE(InkCount(pic, color, midX, s.Top(), s.Right(), midY), 20) << color;
  // In the curves' order, one under the other, each with its name beside it.
  EXPECT_LT(rowOf(0x2040C0), rowOf(0x10A010));
  EXPECT_LT(rowOf(0x10A010), rowOf(0xC02020));
  int dark = 0;
  for (int y = s.Top(); y <= midY; ++y)
    for (int x = midX; x <= s.Right(); ++x) {
      const uint32_t p = pic.Pixel(x, y);
      dark += (p & 0xFF) < 0x60 && ((p >> 8) & 0xFF) < 0x60 && ((p >> 16) & 0xFF) < 0x60 && p != kPlotFrame;
    }
  EXPECT_GT(dark, 30);
}

TEST_F(PlotDrawingTest, TheLastCurveIsDrawnOverTheOthers) {
  PlotView v = FrequencyView(-60, 10);
  PlotCurve under = Flat(-10, 0x0000FF), over = Flat(-10, 0x00FF00);
  over.width = 2;
  v.curves = {under, over};
  DrawPlots(pic, {v});
  const PlotScale s = ScaleOfPane(pic, v, 0, 1);
  const int x = static_cast<int>(std::lround(s.X(1000)));
  EXPECT_TRUE(InkRows(pic, x, 0x0000FF).empty());
  EXPECT_FALSE(InkRows(pic, x, 0x00FF00).empty());
}

}  // namespace
