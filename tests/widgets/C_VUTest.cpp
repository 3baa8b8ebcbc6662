#include "widgets/C_VU.h"

#include <gtest/gtest.h>

#include <cmath>

#include "dsp/MeterScale.h"
#include "widgets/Drawing.h"
#include "widgets/PictureBox.h"

using basic::PictureBox;

namespace {

TEST(MeterScaleTest, PositionsOfLevels) {
  EXPECT_EQ(DbToMeterPos(0, true), 207.0f);
  EXPECT_EQ(DbToMeterPos(0, false), 207.0f);
  EXPECT_EQ(DbToMeterPos(-20, false), 79.0f);
  EXPECT_EQ(DbToMeterPos(-99.9f, true), 0.0f);
  EXPECT_EQ(DbToMeterPos(-150, false), 0.0f);
  EXPECT_EQ(DbToMeterPos(10, true), 255.0f);
  EXPECT_EQ(DbToMeterPos(30, false), 255.0f);
  const float p = DbToMeterPos(-17.4f, true);
  EXPECT_GT(p, 92.0f);
  EXPECT_LT(p, 93.0f);
  const float q = DbToMeterPos(-17.4f, false);
  EXPECT_EQ(q, p - 92 < 0.5f ? 92.0f : 93.0f);
  const float r = DbToMeterPos(9.9f, true);
  EXPECT_GT(r, 254.0f);
  EXPECT_LT(r, 255.0f);
  EXPECT_EQ(MeterScale()[2].Db, -96.0f);
  EXPECT_FLOAT_EQ(MeterScale()[42].Db, -30.5f);
  EXPECT_FLOAT_EQ(MeterScale()[207].Level, 1.0f);
}

class MeterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    basic::SetTwipsPerPixel(15);
    pic.SetPixelSize(464, 46);
    pic.SetBackColor(0xFFFFFF);
    vu.SetPictureBox(&pic);
    vu.SetMargin(900, 900, -1, -1);
    vu.SetNumValue(1);
    vu.SetStr(0, "OUT");
    vu.SetStr(1, "IN");
    vu.SetParms();
  }
  // Reddest and greenest columns on bar 0's centre row.
  int LastColumnOf(int set, int row) const {
    int last = -1;
    for (int x = 0; x < pic.PixelWidth(); ++x)
      if (pic.Pixel(x, row) == vu.BarColor(set, 3)) last = x;
    return last;
  }
  int FirstColumnOf(int set, int row) const {
    for (int x = 0; x < pic.PixelWidth(); ++x)
      if (pic.Pixel(x, row) == vu.BarColor(set, 3)) return x;
    return -1;
  }
  PictureBox pic;
  C_VU vu;
};

TEST_F(MeterTest, GeometryAndColours) {
  EXPECT_EQ(vu.BarLength(), 464 * 15 - 1800);
  EXPECT_EQ(static_cast<int>(vu.RedPointX()) % 15, 0);
  EXPECT_EQ(vu.BarColor(0, 0), basic::ClampRGB(50, 10, 10));
  EXPECT_EQ(vu.BarColor(1, 3), basic::ClampRGB(70, 140, 70));
  EXPECT_EQ(vu.BarColor(2, 2), basic::ClampRGB(110, 110, 110));
  EXPECT_EQ(vu.BarXStart(), 900);
  vu.SetMargin(-1, 100, -1, -1);
  EXPECT_EQ(vu.BarXStart(), 900);
  EXPECT_EQ(vu.BarXEnd(), 100);
  EXPECT_GT(vu.PictureHeight(), 600);
}

TEST_F(MeterTest, RedStartsAfterTheRedPoint) {
  const int row = static_cast<int>(std::nearbyint(vu.BarCentre(0) / 15.0));
  vu.DrawVU(0, -19.5f, -99.9f, QString(), 99);  // just above -20
  const int green = LastColumnOf(1, row), red = FirstColumnOf(0, row);
  ASSERT_GT(green, 0);
  ASSERT_GT(red, green);
  EXPECT_EQ(red, static_cast<int>(vu.RedPointX()) / 15 + 1);
  vu.DrawVU(0, -20.0f, -99.9f, QString(), 99);  // at the red point: green only
  EXPECT_EQ(FirstColumnOf(0, row), -1);
  EXPECT_GT(LastColumnOf(1, row), 0);
  vu.DrawVU(0, -30.0f, -99.9f, QString(), 99);
  EXPECT_EQ(FirstColumnOf(0, row), -1);
}

TEST_F(MeterTest, BarLengthFollowsTheScale) {
  const int row = static_cast<int>(std::nearbyint(vu.BarCentre(1) / 15.0));
  vu.DrawVU(1, 0.0f, -99.9f, QString(), 99);  // 0 dB reaches the bar's full length
  EXPECT_NEAR(LastColumnOf(0, row), (900 + vu.BarLength()) / 15, 1);
  vu.DrawVU(1, -6.0f, -99.9f, QString(), 99);
  const double x6 = (DbToMeterPos(-6, true) / 207 * vu.BarLength() + 900) / 15;
  EXPECT_NEAR(LastColumnOf(0, row), x6, 1);
}

TEST_F(MeterTest, ResetEmptiesEveryBarAndItsText) {
  vu.DrawVU(0, -3, -1, "-3.0", -2);
  vu.DrawVU(1, -10, -5, "-10.0", 99);
  vu.ResetVU(-1);
  for (int bar = 0; bar < 2; ++bar) {
    const int row = static_cast<int>(std::nearbyint(vu.BarCentre(bar) / 15.0));
    EXPECT_EQ(FirstColumnOf(0, row), -1);
    EXPECT_EQ(FirstColumnOf(1, row), -1);
    for (int x = (900 + static_cast<int>(vu.BarLength())) / 15 + 2; x < 464; ++x)
      ASSERT_EQ(pic.Pixel(x, row), 0xFFFFFFu) << x;  // text area blank
  }
}

TEST_F(MeterTest, LabelsAndScale) {
  vu.SetNumValue(3);
  vu.SetStrType(false);
  EXPECT_EQ(vu.Str(0), "L");
  EXPECT_EQ(vu.Str(3), "R");
  vu.SetStrType(true);
  EXPECT_EQ(vu.Str(2), "3");
  vu.SetNumValue(1);
  vu.SetParms();
  pic.SetForeColor(0);
  vu.DrawScale();
  // The 0 dB tick runs down at the bar's end.
  const int x0 = (900 + static_cast<int>(vu.BarLength())) / 15;
  EXPECT_EQ(pic.Pixel(x0, 40), 0u);
}

}  // namespace
