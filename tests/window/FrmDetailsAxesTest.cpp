// The details window's axes and titles: each view's title in a band of its
// own above the curves, and the x axis's unit in its label strip, read back
// from the picture's pixels.
#include <gtest/gtest.h>

#include <cmath>

#include "measurement/ResultFiles.h"
#include "measurement/TestSignal.h"
#include "support/Surface.h"
#include "tests/measurement/SimulatedSweep.h"
#include "tests/window/FrmMainFixture.h"
#include "widgets/PictureBox.h"
#include "window/FrmDetails.h"

namespace {

using measurement::DetailTab;
using measurement::PlotScale;

// Text pixels: dark, but not the frame's grey.
bool Dark(uint32_t c) {
  return (c & 0xFF) < 0x60 && ((c >> 8) & 0xFF) < 0x60 && ((c >> 16) & 0xFF) < 0x60 && c != measurement::kPlotFrame;
}

int Count(const basic::Surface& s, int x0, int y0, int x1, int y1, const std::function<bool(uint32_t)>& is) {
  int n = 0;
  for (int y = std::max(0, y0); y <= std::min(y1, s.PixelHeight() - 1); ++y)
    for (int x = std::max(0, x0); x <= std::min(x1, s.PixelWidth() - 1); ++x) n += is(s.Pixel(x, y));
  return n;
}

// The dark pixels of a rectangle, row by row.
std::vector<bool> DarkMask(const basic::Surface& s, int x0, int y0, int x1, int y1) {
  std::vector<bool> mask;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) mask.push_back(Dark(s.Pixel(x, y)));
  return mask;
}

class FrmDetailsAxesTest : public zarin_test::FrmMainResultsTest {
 protected:
  // The details window of a 2 s sweep result (8 kHz) with its response.
  FrmDetails* Open(FrmMain& w) {
    measurement::Result run;
    run.mode = measurement::SignalMode::Sweep;
    run.sampleRate = 8000;
    run.envelope.assign(16000, 10000);
    const QString path = dir.filePath("01.dat");
    EXPECT_TRUE(measurement::SaveResultFile(path, run));
    w.AddResultItem(path, -2, 0);
    w.LV->SetSelectedItem(0);
    w.MenuDetails->trigger();
    FrmDetails* d = w.Details();
    if (d)
      d->Cache()
          .Get(path, w.m_OffsetDb)
          ->AttachResponse(measurement::testing::SimulateSweep(8000, 2.0, -30).Response());
    return d;
  }
  PlotScale Scale(FrmDetails& d, size_t i) {
    return measurement::ScaleOfPane(*d.PicturePlot, d.Views().at(i), static_cast<int>(i),
                                    static_cast<int>(d.Views().size()));
  }
  measurement::PlotPane Pane(FrmDetails& d, size_t i) {
    return measurement::StackPanes(d.PicturePlot->PixelHeight(), static_cast<int>(d.Views().size())).at(i);
  }
  // The text as the picture's font draws it at (x, y) pixels on the label
  // strip's colour, read back over the rectangle (0, y0) - (x1, y1).
  std::vector<bool> Drawn(const basic::Surface& like, const QString& text, int x, int y, int y0, int x1, int y1) {
    basic::Surface s;
    s.SetPixelSize(like.PixelWidth(), like.PixelHeight());
    s.SetSurfaceFont(like.SurfaceFont());
    s.SetBackColor(measurement::kPlotLabelBack);
    s.Cls();
    s.SetForeColor(measurement::kPlotText);
    s.SetCurrentX(x * s.TwipsPerPixel());
    s.SetCurrentY(y * s.TwipsPerPixel());
    s.Print(text, false);
    return DarkMask(s, 0, y0, x1, y1);
  }
};

TEST_F(FrmDetailsAxesTest, EveryTitleSitsAboveItsDataAreaWhereNoCurveIs) {
  FrmMain w;
  FrmDetails* d = Open(w);
  ASSERT_NE(d, nullptr);
  const uint32_t color = w.LV->DispColor(0);
  const basic::Surface& pic = *d->PicturePlot;
  for (int tab = 0; tab < measurement::kDetailTabCount; ++tab) {
    d->ShowTab(static_cast<DetailTab>(tab));
    for (size_t i = 0; i < d->Views().size(); ++i) {
      ASSERT_FALSE(d->Views()[i].title.isEmpty()) << tab;
      const PlotScale s = Scale(*d, i);
      const measurement::PlotPane pane = Pane(*d, i);
      // The band between the pane's top and the data area holds the title
      // and nothing of any curve.
      EXPECT_GT(Count(pic, s.Left(), pane.top, s.Right(), s.Top() - 1, Dark), 20) << tab << " " << i;
      for (const measurement::PlotCurve& c : d->Views()[i].curves) {
        // Black and grey lines share their colours with the text's edges.
        if ((c.color & 0xFF) == ((c.color >> 8) & 0xFF) && (c.color & 0xFF) == ((c.color >> 16) & 0xFF)) continue;
        EXPECT_EQ(Count(pic, 0, pane.top, pic.PixelWidth() - 1, s.Top() - 1, [&](uint32_t p) { return p == c.color; }),
                  0)
            << tab << " " << i;
      }
      // Where the title used to be, inside the data area, no text is left.
      const int titleWidth = static_cast<int>(pic.TextWidth(d->Views()[i].title) / pic.TwipsPerPixel());
      const int textHeight = static_cast<int>(pic.TextHeight() / pic.TwipsPerPixel());
      EXPECT_EQ(Count(pic, s.Left() + 1, s.Top() + 1, s.Left() + 4 + titleWidth, s.Top() + 2 + textHeight, Dark), 0)
          << tab << " " << i;
    }
  }
  // The energy-time curve rises to its top near the impulse, at the left:
  // the curve is drawn in the top rows under the title's band.
  d->ShowTab(DetailTab::Impulse);
  ASSERT_EQ(d->Views().size(), 2u);
  const PlotScale etc = Scale(*d, 1);
  const int left = static_cast<int>(std::lround(etc.X(-1))), right = static_cast<int>(std::lround(etc.X(5)));
  const int topRows = static_cast<int>(std::lround(etc.Y(-10)));
  EXPECT_GT(Count(pic, left, etc.Top(), right, topRows, [&](uint32_t p) { return p == color; }), 0);
}

TEST_F(FrmDetailsAxesTest, TheTitleIsNotHiddenByACurveThroughItsCorner) {
  // A curve along the top of the data area from its left end, and a steep
  // one across the top left corner.
  basic::PictureBox pic;
  pic.SetPixelSize(600, 300);
  measurement::PlotView v;
  v.xAxis = measurement::PlotAxis::Time;
  v.xMin = 0, v.xMax = 10, v.yMin = -1, v.yMax = 1;
  v.yUnit = measurement::ValueUnit::Linear;
  v.title = QStringLiteral("インパルス応答");
  measurement::PlotCurve top, steep;
  top.color = 0x0000C0, steep.color = 0x00A000;
  top.x = {0, 10}, top.y = {1, 1};
  steep.x = {0, 2}, steep.y = {1.5, -1};
  v.curves = {top, steep};
  measurement::DrawPlots(pic, {v});
  const PlotScale s = measurement::ScaleOfPane(pic, v, 0, 1);
  const int titleRight = s.Left() + 4 + static_cast<int>(pic.TextWidth(v.title) / pic.TwipsPerPixel());
  const int titleBottom = s.Top() - 1;
  EXPECT_GT(Count(pic, s.Left(), 0, titleRight, titleBottom, Dark), 30);
  for (const uint32_t c : {top.color, steep.color}) {
    EXPECT_EQ(Count(pic, 0, 0, pic.PixelWidth() - 1, titleBottom, [&](uint32_t p) { return p == c; }), 0) << c;
    // Still drawn, right under the band.
    EXPECT_GT(Count(pic, s.Left(), s.Top(), titleRight, s.Top() + 10, [&](uint32_t p) { return p == c; }), 0) << c;
  }
}

TEST_F(FrmDetailsAxesTest, TheTimeAxesSayMillisecondsAndTheFrequencyAxesHertz) {
  FrmMain w;
  FrmDetails* d = Open(w);
  ASSERT_NE(d, nullptr);
  const basic::Surface& pic = *d->PicturePlot;
  const auto unitOf = [&](size_t i) {
    const PlotScale s = Scale(*d, i);
    const int stripTop = s.Bottom() + 1, stripBottom = Pane(*d, i).top + Pane(*d, i).height - 1;
    const int x1 = s.Left() - 8;  // short of the first value label
    const std::vector<bool> seen = DarkMask(pic, 0, stripTop, x1, stripBottom);
    EXPECT_GT(std::count(seen.begin(), seen.end(), true), 10) << i;
    for (const QString& unit : {QStringLiteral("(ms)"), QStringLiteral("(Hz)")})
      if (seen == Drawn(pic, unit, 3, stripTop + 1, stripTop, x1, stripBottom)) return unit;
    return QString();
  };
  d->ShowTab(DetailTab::Impulse);
  ASSERT_EQ(d->Views().size(), 2u);
  EXPECT_EQ(unitOf(0), "(ms)");
  EXPECT_EQ(unitOf(1), "(ms)");
  for (const DetailTab tab : {DetailTab::Magnitude, DetailTab::Phase, DetailTab::GroupDelay, DetailTab::Distortion}) {
    d->ShowTab(tab);
    EXPECT_EQ(unitOf(0), "(Hz)") << static_cast<int>(tab);
  }
  // The first value label stays beside the unit: the energy-time curve's
  // "0" a few pixels right of the data area's left end.
  d->ShowTab(DetailTab::Impulse);
  const PlotScale s = Scale(*d, 1);
  const int zero = static_cast<int>(std::lround(s.X(0)));
  ASSERT_LT(zero, s.Left() + 20);
  EXPECT_GT(Count(pic, zero - 6, s.Bottom() + 2, zero + 6, Pane(*d, 1).top + Pane(*d, 1).height - 1, Dark), 5);
}

}  // namespace
