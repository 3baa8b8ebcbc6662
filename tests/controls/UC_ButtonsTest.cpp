#include "controls/UC_Buttons/UC_Buttons.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include "support/Colors.h"
#include "tests/controls/ControlTestUtil.h"
#include "widgets/Drawing.h"
#include "widgets/PictureBox.h"

using namespace zarin_test;

namespace {

class ButtonsTest : public ::testing::Test {
 protected:
  void SetUp() override { basic::SetTwipsPerPixel(15); }
  QWidget* Surface() const { return strip.PictureButton(); }
  UC_Buttons strip;
  std::vector<int> clicked, down, hover, right;
  void Listen() {
    QObject::connect(&strip, &UC_Buttons::ButtonClicked, [&](int i) { clicked.push_back(i); });
    QObject::connect(&strip, &UC_Buttons::ButtonDown, [&](int i) { down.push_back(i); });
    QObject::connect(&strip, &UC_Buttons::Hover, [&](int i) { hover.push_back(i); });
    QObject::connect(&strip, &UC_Buttons::RightClicked, [&](int i) { right.push_back(i); });
  }
};

TEST_F(ButtonsTest, OneButtonLayout) {
  strip.resize(108, 20);  // 1620 twips
  strip.SetNumButtons(1);
  strip.SetButtonChar(0, QStringLiteral("開始"));
  strip.Init();
  EXPECT_EQ(strip.MimiWidth(), 8);
  EXPECT_EQ(strip.ButtonWidth(), 90);
  EXPECT_EQ(strip.width(), 108);
  EXPECT_EQ(strip.ButtonLeft(0), 9);
  EXPECT_EQ(strip.HitTest(8 * 15), -1);  // the ear
  EXPECT_EQ(strip.HitTest(9 * 15), 0);
  EXPECT_EQ(strip.HitTest(107 * 15), -1);
  // The ear's edge line and the last column in the dark shadow colour.
  EXPECT_EQ(strip.PictureButton()->Pixel(8, 10), basic::SysColor(basic::COLOR_3DDKSHADOW));
  EXPECT_EQ(strip.PictureButton()->Pixel(107, 10), basic::SysColor(basic::COLOR_3DDKSHADOW));
}

TEST_F(ButtonsTest, ThreeButtonsShrinkTheControl) {
  strip.resize(66, 20);  // 1000 twips: 66 pixels
  strip.SetNumButtons(3);
  strip.SetButtonCharNum();
  strip.Init();
  EXPECT_EQ(strip.ButtonWidth(), 16);
  EXPECT_EQ(strip.width(), 66);
  strip.resize(70, 20);  // the width is always cut to whole buttons
  strip.Init();
  EXPECT_EQ(strip.ButtonWidth(), 17);
  EXPECT_EQ(strip.width(), 69);
  EXPECT_EQ(strip.GetButtonChar(2), "3");
}

TEST_F(ButtonsTest, ClicksNeedPressAndReleaseOnTheSameButton) {
  strip.resize(200, 20);
  strip.SetNumButtons(2);
  strip.Init();
  Listen();
  Press(Surface(), {30, 10});
  Release(Surface(), {30, 10});
  EXPECT_EQ(clicked, std::vector<int>{0});
  Press(Surface(), {30, 10});
  Release(Surface(), {150, 10});  // released on another button
  Press(Surface(), {150, 10});
  Release(Surface(), {150, 40});  // released below the strip
  EXPECT_EQ(clicked, std::vector<int>{0});
  EXPECT_EQ(down, (std::vector<int>{0, 0, 1}));
  Press(Surface(), {150, 10}, Qt::RightButton);
  Release(Surface(), {150, 10}, Qt::RightButton);
  EXPECT_EQ(right, std::vector<int>{1});
  QSignalSpy shifted(&strip, &UC_Buttons::ShiftClicked);
  Press(Surface(), {30, 10}, Qt::LeftButton, Qt::ShiftModifier);
  Release(Surface(), {30, 10}, Qt::LeftButton, Qt::ShiftModifier);
  EXPECT_EQ(shifted.count(), 1);
  EXPECT_EQ(clicked.size(), 1u);
}

TEST_F(ButtonsTest, ADisabledButtonIgnoresClicksButStillHovers) {
  strip.resize(200, 20);
  strip.SetNumButtons(2);
  strip.SetButtonChar(0, "A");
  strip.Init();
  Listen();
  strip.SetButtonDisable(0, 1, true, false);
  EXPECT_EQ(strip.GetButtonDisable(0, false), 1);
  EXPECT_EQ(strip.GetButtonDisable(5, false), 0);
  const QImage before = strip.PictureButton()->Image().copy();
  Press(Surface(), {30, 10});
  Release(Surface(), {30, 10});
  EXPECT_TRUE(clicked.empty());
  EXPECT_TRUE(down.empty());
  EXPECT_EQ(strip.PictureButton()->Image(), before);  // nothing drawn
  Hover(Surface(), {150, 10});
  Hover(Surface(), {30, 10});
  Hover(Surface(), {2, 10});
  EXPECT_EQ(hover, (std::vector<int>{1, 0, -1}));
}

TEST_F(ButtonsTest, ADoubleClickIsTwoClicks) {
  strip.resize(108, 20);
  strip.Init();
  Listen();
  Press(Surface(), {40, 10});
  Release(Surface(), {40, 10});
  DoubleClick(Surface(), {40, 10});
  Release(Surface(), {40, 10});
  EXPECT_EQ(down, (std::vector<int>{0, 0}));
  EXPECT_EQ(clicked, (std::vector<int>{0, 0}));
}

TEST_F(ButtonsTest, CaptionColours) {
  strip.resize(108, 20);
  strip.SetButtonChar(0, QStringLiteral("ＷＷ"));
  strip.Init();
  const auto inkOf = [&](uint32_t color) {
    int n = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 108; ++x) n += strip.PictureButton()->Pixel(x, y) == color;
    return n;
  };
  EXPECT_GT(inkOf(basic::ThemeColor(3)), 0);  // plain dark caption
  EXPECT_EQ(inkOf(0x00D000), 0);
  strip.SetButtonState(0, 2);  // highlighted: the selected colour
  EXPECT_GT(inkOf(0x00D000), 0);
  EXPECT_EQ(inkOf(basic::ThemeColor(3)), 0);
}

TEST_F(ButtonsTest, OkCancelAndPresets) {
  strip.SetOKCancel(true, false, 1);
  EXPECT_EQ(strip.GetButtonChar(0), "OK");
  EXPECT_EQ(strip.GetButtonChar(1), "キャンセル");
  EXPECT_EQ(strip.SelectedColor(), 0xFFFFFFu);
  EXPECT_EQ(strip.height(), 22);  // 330 twips
  EXPECT_EQ(strip.MimiWidth(), 0);
  EXPECT_EQ(strip.ButtonWidth(), (160 - 2) / 2);
  UC_Buttons icons;
  icons.resize(200, 24);
  icons.SetButtonsMCI();
  EXPECT_EQ(icons.NumButtons(), 3);
  icons.Init();
  // An icon is drawn: the play glyph's pixels differ from the plain background.
  int dark = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = icons.ButtonLeft(0); x < icons.ButtonLeft(0) + icons.ButtonWidth(); ++x)
      dark += (icons.PictureButton()->Pixel(x, y) & 0xFF) < 0x70;
  EXPECT_GT(dark, 20);
}

}  // namespace
