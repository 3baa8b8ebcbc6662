#include "controls/UC_Check/UC_Check.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include "tests/controls/ControlTestUtil.h"
#include "widgets/PictureBox.h"

using namespace zarin_test;

namespace {

TEST(CheckTest, ClicksToggleAndOptionsStaySet) {
  basic::SetTwipsPerPixel(15);
  UC_Check check;
  check.SetCaption(QStringLiteral("自動"));
  QSignalSpy clicks(&check, &UC_Check::Click);
  Release(check.Surface(), {5, 5});
  EXPECT_EQ(check.Value(), 1);
  Release(check.Surface(), {5, 5});
  EXPECT_EQ(check.Value(), 0);
  EXPECT_EQ(clicks.count(), 2);
  check.SetEnabled(0);
  Release(check.Surface(), {5, 5});
  EXPECT_EQ(check.Value(), 0);
  EXPECT_EQ(clicks.count(), 2);

  UC_Check option;
  option.SetIsOption(1);
  option.SetCaption("A");
  QSignalSpy optionClicks(&option, &UC_Check::Click);
  Release(option.Surface(), {5, 5});
  Release(option.Surface(), {5, 5});
  EXPECT_EQ(option.Value(), 1);
  EXPECT_EQ(optionClicks.count(), 2);
}

TEST(CheckTest, SizeRateScalesTheBoxAndTheTick) {
  basic::SetTwipsPerPixel(15);
  UC_Check check;
  check.SetSizeRate(1.5f);
  check.SetValue(1);  // lays out and draws with the tick
  EXPECT_EQ(check.BoxSide(), 360);
  EXPECT_EQ(check.width(), 24);
  int black = 0;
  for (int y = 0; y < check.height(); ++y)
    for (int x = 0; x < check.width(); ++x) black += check.Surface()->Pixel(x, y) == 0u;
  EXPECT_GT(black, 20);
  // A second check box can share the first one's box image.
  UC_Check other;
  other.SetGradhdc(check.Gradhdc());
  other.SetCaption("x");
  EXPECT_EQ(other.Gradhdc(), check.Gradhdc());
}

TEST(CheckTest, OnlyAReleaseOverTheBoxClicks) {
  basic::SetTwipsPerPixel(15);
  UC_Check check;
  check.SetCaption(QStringLiteral("自動"));
  QSignalSpy clicks(&check, &UC_Check::Click);
  Press(check.Surface(), {5, 5});
  Release(check.Surface(), {505, 5});  // dragged away before letting go
  Press(check.Surface(), {5, 5});
  Release(check.Surface(), {5, -40});
  EXPECT_EQ(clicks.count(), 0);
  EXPECT_EQ(check.Value(), 0);
  Press(check.Surface(), {5, 5});
  Release(check.Surface(), {check.width() - 1, check.height() - 1});
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_EQ(check.Value(), 1);
}

TEST(CheckTest, WithoutABoxImageDrawMakesANewOne) {
  basic::SetTwipsPerPixel(15);
  UC_Check check;
  check.SetCaption("x");
  const uint32_t boxPixel = check.Surface()->Pixel(8, check.height() / 2);
  check.SetGradhdc(nullptr);
  check.SetValue(0);  // draws
  ASSERT_NE(check.Gradhdc(), nullptr);
  EXPECT_EQ(check.Surface()->Pixel(8, check.height() / 2), boxPixel);
  EXPECT_NE(boxPixel, check.Surface()->Pixel(check.width() - 1, 0));  // the box differs from the background
}

}  // namespace
