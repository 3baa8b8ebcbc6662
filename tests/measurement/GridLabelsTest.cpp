// The spectrum grid's labels are whole inside the picture, and a picture
// saved as a file also labels the levels below "-6". Read from pixels: the
// labels stand left of x = 20, where the grid lines begin, so that strip
// holds nothing but labels.
#include <gtest/gtest.h>

#include "measurement/Graphs.h"
#include "measurement/GraphScale.h"
#include "support/Surface.h"

using namespace measurement;

namespace {

constexpr int kStrip = 20;

int Ink(const basic::Surface& s, int top, int bottom) {
  int n = 0;
  for (int y = std::max(0, top); y < std::min(bottom, s.PixelHeight()); ++y)
    for (int x = 0; x < kStrip; ++x) n += (s.Pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
  return n;
}

// The ink of a label printed alone, well inside a blank picture.
int LoneInk(const QString& text) {
  basic::Surface s;
  s.SetPixelSize(100, 100);
  s.SetBackColor(0xFFFFFF);
  s.Cls();
  s.SetForeColor(kGridColor);
  s.SetCurrentX(4.0 * s.TwipsPerPixel());
  s.SetCurrentY(40.0 * s.TwipsPerPixel());
  s.Print(text);
  return Ink(s, 0, 100);
}

void Blank(basic::Surface& s, int width, int height) {
  s.SetPixelSize(width, height);
  s.SetBackColor(0xFFFFFF);
  s.Cls();
}

TEST(GridLabels, TheTopLabelIsWholeInTheWindowsPicture) {
  basic::Surface s;
  Blank(s, 908, 198);  // the window's spectrum at its design size
  DrawSpectrumGrid(s, -6.0f);
  // "+6" lies on the top row; the next line ("+3") is 58 rows down.
  ASSERT_EQ(SpectrumScale(908, 198, 0, -6.0f).GridY(6), 0);
  ASSERT_GT(LoneInk("+6"), 0);
  EXPECT_EQ(Ink(s, 0, 40), LoneInk("+6"));
}

TEST(GridLabels, EveryLabelIsWholeInATallPictureAndAFileGetsTheLowOnes) {
  basic::Surface s;
  Blank(s, 1200, 583);  // a saved picture's spectrum: 1200 x 600 less the 17-row axis
  DrawSpectrumGrid(s, -6.0f);
  // At this height no two labels overlap: the strip is exactly their sum.
  int nine = 0;
  for (const char* label : {"+6", "+3", "+2", "+1", "0", "-1", "-2", "-3", "-6"}) nine += LoneInk(label);
  EXPECT_EQ(Ink(s, 0, 583), nine);

  DrawLowGridLines(s, -6.0f);
  const SpectrumScale scale(1200, 583, 0, -6.0f);
  int low = 0;
  for (const int db : {-12, -18, -24}) {
    low += LoneInk(QString::number(db));
    // Each with its line, in the grid's colour, across the picture.
    EXPECT_EQ(s.Pixel(600, scale.GridY(db)), kGridColor) << db;
  }
  EXPECT_EQ(Ink(s, 0, 583), nine + low);
  // "-30" would be a few rows from "-24": it is left out.
  EXPECT_NE(s.Pixel(600, scale.GridY(-30)), kGridColor);
}

TEST(GridLabels, TheWindowsGridHasNothingBelowMinusSix) {
  basic::Surface s;
  Blank(s, 908, 198);
  DrawSpectrumGrid(s, -6.0f);
  const SpectrumScale scale(908, 198, 0, -6.0f);
  const int below = scale.GridY(-6) + s.ToPixels(s.TextHeight()) / 2 + 1;
  EXPECT_EQ(Ink(s, below, 198), 0);
  for (int y = below; y < 198; ++y) EXPECT_NE(s.Pixel(600, y), kGridColor) << y;
}

TEST(GridLabels, ALabelUnderTheReadoutStandsBesideIt) {
  // The frequency read-out stands over the picture's top-left corner, where
  // "+6" would go: the label moves right of it, and nothing is drawn under it.
  basic::Surface s;
  Blank(s, 908, 198);
  const QRect readout(7, 7, 60, 18);
  DrawSpectrumGrid(s, -6.0f, readout);
  int under = 0;
  for (int y = readout.top(); y <= readout.bottom(); ++y)
    for (int x = readout.left(); x <= readout.right(); ++x) under += (s.Pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
  EXPECT_EQ(under, 0);
  EXPECT_EQ(Ink(s, 0, 40), 0);  // not left in the strip either
  int beside = 0;
  for (int y = 1; y < 40; ++y)
    for (int x = readout.right() + 1; x < readout.right() + 40; ++x) beside += (s.Pixel(x, y) & 0xFFFFFF) != 0xFFFFFF;
  EXPECT_GT(beside, LoneInk("+6") / 2);
  // Labels clear of it stay where they were.
  basic::Surface plain;
  Blank(plain, 908, 198);
  DrawSpectrumGrid(plain, -6.0f);
  EXPECT_EQ(Ink(s, 40, 198), Ink(plain, 40, 198));
}

}  // namespace
