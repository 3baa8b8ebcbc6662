#include "widgets/Drawing.h"

#include <gtest/gtest.h>

#include <set>

#include "support/Colors.h"
#include "widgets/PictureBox.h"

using namespace basic;

namespace {

class DrawingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTwipsPerPixel(15);
    pb.SetPixelSize(60, 40);
    pb.SetBackColor(0x123456);
    pb.Cls();
  }
  bool Untouched() const {
    for (int y = 0; y < pb.PixelHeight(); ++y)
      for (int x = 0; x < pb.PixelWidth(); ++x)
        if (pb.Pixel(x, y) != 0x123456u) return false;
    return true;
  }
  PictureBox pb;
};

TEST(ColorTest, PackingAndAdjusting) {
  EXPECT_EQ(ClampRGB(-5, 300, 128), 0x80FF00u);
  const RGB16 c = SplitRGB(0x80FF00);
  EXPECT_EQ(c.r, 0);
  EXPECT_EQ(c.g, 255);
  EXPECT_EQ(c.b, 128);
  EXPECT_EQ(AdjustColor(0x101010, -40, -40, -40, -1), 0x000000u);
  EXPECT_EQ(AdjustColor(0x808080, 0, 0, 0, 2), 0xFFFFFFu);
  EXPECT_EQ(AdjustColor(0x102030, 1, 2, 3, -1), 0x132231u);
}

TEST(ColorTest, ThemeColorsAreCachedAndNeverZero) {
  ResetThemeColors();
  EXPECT_EQ(ThemeColor(0), 0xFFFFFFu);
  const uint32_t face = ThemeColor(1);
  const RGB16 f = SplitRGB(face);
  EXPECT_NEAR((f.r + f.g + f.b) / 3.0, 200, 2);
  EXPECT_EQ(ThemeColor(1), face);
  EXPECT_NE(ThemeColor(3), 0u);
  EXPECT_EQ(ThemeColor(4), 0u);
}

TEST(ColorTest, TheRampUsesTheFactorsAsGiven) {
  const auto ramp = ShadeRamp(0x000064, 0x0000C8, 0x0000FF);  // red 100, 200, 255
  EXPECT_EQ(ramp[0], 0x000064u);
  EXPECT_EQ(ramp[1], static_cast<uint32_t>(std::nearbyint(0.66 * 100 + 0.33 * 200)));  // 132, not 133
  EXPECT_EQ(ramp[3], 0x0000C8u);
  EXPECT_EQ(ramp[6], 0x0000FFu);
  EXPECT_EQ(ramp[8], static_cast<uint32_t>(std::nearbyint(0.33 * 255)));
}

TEST_F(DrawingTest, SchemesSetBothColours) {
  SetColorScheme(pb, 3, 0, 0);
  EXPECT_EQ(pb.BackColor(), 0x0000FFu);
  EXPECT_EQ(pb.ForeColor(), 0xFFFFFFu);
  SetColorScheme(pb, 7, 1, 2);
  EXPECT_EQ(pb.BackColor(), 0x0000FFu);
  SetColorScheme(pb, -1, 0x111111, 0x222222);
  EXPECT_EQ(pb.ForeColor(), 0x111111u);
  EXPECT_EQ(pb.BackColor(), 0x222222u);
  SetColorScheme(pb, 0, 0, 0);
  EXPECT_EQ(pb.ForeColor(), SysColor(COLOR_BTNFACE));
}

TEST_F(DrawingTest, CaptionLeftOfAControlEndsNinetyTwipsBeforeIt) {
  pb.SetPixelSize(300, 60);
  pb.SetBackColor(0xFFFFFF);
  pb.Cls();
  pb.SetForeColor(0);
  const QString text = QStringLiteral("出力");
  PrintCaption(pb, 3000, 150, 600, 300, text, 0);
  // The text box ends at 3000 - 90 twips: 194 pixels; no ink from pixel 195 on.
  const int end = (3000 - 90) / 15;
  int lastInk = -1;
  for (int x = 0; x < 300; ++x)
    for (int y = 0; y < 60; ++y)
      if (pb.Pixel(x, y) != 0xFFFFFFu) lastInk = std::max(lastInk, x);
  EXPECT_LE(lastInk, end);
  EXPECT_GE(lastInk, end - 3);
  EXPECT_EQ(pb.CurrentY(), 150 + 60 + pb.TextHeight(text));
}

TEST_F(DrawingTest, PlacementsAroundAControl) {
  const QString t = "x";
  const double tw = pb.TextWidth(t), th = pb.TextHeight(t);
  const struct {
    int placement;
    double x, y;
  } cases[] = {{1, 1030, 2000 - th - 30},
               {2, 1000 + 600 + 30, 2060},
               {3, 1300 - tw / 2, 2000 - th - 30},
               {4, 1030, 2330},
               {5, 1600 - tw, 2330},
               {6, 1000 - tw - 90, 2000 + (300 - th) / 2},
               {7, 1630, 2000 + (300 - th) / 2}};
  for (const auto& c : cases) {
    PrintCaption(pb, 1000, 2000, 600, 300, t, c.placement);
    EXPECT_EQ(pb.CurrentY(), c.y + th) << c.placement;  // printed one line at y
  }
  pb.SetCurrentX(45);
  pb.SetCurrentY(30);
  PrintCaption(pb, 1000, 2000, 600, 300, t, 9);  // elsewhere: at the current position
  EXPECT_EQ(pb.CurrentY(), 30 + th);
}

TEST_F(DrawingTest, StylesOutsideTheTableTouchNothing) {
  PaintBackground(pb, 16, 0xFF0000, 0x00FF00, 0x0000FF);
  PaintBackground(pb, -3, 0xFF0000, 0x00FF00, 0x0000FF);
  EXPECT_TRUE(Untouched());
  PaintBackground(pb, -2, 0xFF0000, 0x00FF00, 0x0000FF);
  EXPECT_TRUE(Untouched());
  EXPECT_EQ(pb.BackColor(), 0x00FF00u);
}

TEST_F(DrawingTest, GradientBandsRunFromColourToColour) {
  PaintBackground(pb, 0, 0x000000, 0xC8C8C8, 0xFFFFFF);
  EXPECT_EQ(pb.Pixel(5, 1), ClampRGB(10, 10, 10));                  // row 1 of 20 towards 200
  EXPECT_EQ(pb.Pixel(5, 20), 0xC8C8C8u);                            // the band ends in c2
  EXPECT_EQ(pb.Pixel(5, 39), ShadeRamp(0, 0xC8C8C8, 0xFFFFFF)[8]);  // frame at the bottom
  EXPECT_EQ(pb.Pixel(0, 5), 0x000000u);                             // frame at the left in c1

  // Three-colour rows: first edge c1, middle c2, far edge c3.
  PaintBackground(pb, 5, 0x0000FF, 0x00FF00, 0xFF0000);
  EXPECT_EQ(pb.Pixel(30, 0), 0x0000FFu);
  EXPECT_EQ(pb.Pixel(30, 20), 0x00FF00u);
  EXPECT_EQ(pb.Pixel(30, 39), ClampRGB(0, 13, 242));  // row n + 19 of n = 20
}

TEST_F(DrawingTest, DiagonalAndColumnGradients) {
  PaintBackground(pb, 2, 0x000000, 0xFFFFFF);
  EXPECT_EQ(pb.Pixel(0, 0), 0x000000u);
  const uint32_t mid = pb.Pixel(20, 20);
  EXPECT_EQ(pb.Pixel(10, 30), mid);  // constant along anti-diagonals
  PaintBackground(pb, 4, -1, 0x000000, 0x3C3C3C);
  EXPECT_EQ(pb.Pixel(0, 10), 0x3C3C3Cu);                 // starts at c3
  EXPECT_EQ(pb.Pixel(59, 10), ClampRGB(119, 119, 119));  // adds |c3 - c2| / 60 per column
}

TEST_F(DrawingTest, TexturedPanelRepeatsEvery29Rows) {
  pb.SetPixelSize(40, 100);
  const uint32_t face = 0xC8C8C8;
  PaintBackground(pb, 14, -1, face, -1);
  EXPECT_EQ(PanelRowColor(14, 0, 100, face), PanelRowColor(14, 29, 100, face));
  EXPECT_EQ(pb.Pixel(10, 29), pb.Pixel(10, 58));
  EXPECT_EQ(pb.Pixel(10, 29), PanelRowColor(14, 29, 100, face));
  EXPECT_NE(pb.Pixel(10, 30), pb.Pixel(10, 29));
  EXPECT_EQ(pb.Pixel(0, 50), 0xFFFFFFu);  // raised border
  EXPECT_EQ(pb.Pixel(39, 50), 0x606060u);
  EXPECT_EQ(pb.Pixel(38, 50), 0xB0B0B0u);
  // Style 15 lightens the top rows.
  const RGB16 top = SplitRGB(PanelRowColor(15, 2, 100, face)), plain = SplitRGB(PanelRowColor(14, 2, 100, face));
  EXPECT_GT(top.r, plain.r);
}

TEST_F(DrawingTest, BevelFrameHasTheAskedThickness) {
  pb.SetBackColor(0x808080);
  pb.Cls();
  int keep = 1;
  BevelFrame(pb, 0x808080, 0x808080, keep, 3);
  const uint32_t light = AdjustColor(0x808080, 40, 40, 40, -1), dark = AdjustColor(0x808080, -40, -40, -40, -1);
  for (int d = 0; d < 3; ++d) {
    EXPECT_EQ(pb.Pixel(30, d), light) << d;
    EXPECT_EQ(pb.Pixel(d, 20), light) << d;
    EXPECT_EQ(pb.Pixel(30, 39 - d), dark) << d;
    EXPECT_EQ(pb.Pixel(59 - d, 20), dark) << d;
  }
  EXPECT_EQ(pb.Pixel(30, 3), 0x808080u);
}

TEST_F(DrawingTest, EdgesAndRoundStylesDrawInsideTheSurface) {
  DrawEdgeRect(pb, 150, 150, 300, 300, false);
  EXPECT_EQ(pb.Pixel(10, 10), SysColor(COLOR_3DLIGHT));
  EXPECT_EQ(pb.Pixel(29, 29), SysColor(COLOR_3DDKSHADOW));
  for (int style : {9, 12, 13, 1, 11, 3, 6, 7, 8, 10}) {
    pb.Cls();
    PaintBackground(pb, style, -1, -1, -1);
    EXPECT_FALSE(Untouched()) << style;
  }
}

}  // namespace
