#include "controls/UC_TextPicture/UC_TextPicture.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/Surface.h"
#include "tests/controls/ControlTestUtil.h"

using namespace zarin_test;

namespace {

class TextPictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    basic::SetTwipsPerPixel(15);
    tp.resize(39, 20);
  }
  UC_TextPicture tp;
};

TEST_F(TextPictureTest, TheReadOutAsTheWindowSetsItUp) {
  tp.AddStdColorSet(1);
  tp.AddTextSpace(9, 0, 0, QString(), -1, -1);
  tp.SetColor(0);
  tp.Init();
  EXPECT_EQ(tp.DesignType(), 1);
  EXPECT_EQ(tp.Surface()->Pixel(19, 10) != 0xFFFFFFu, true);  // the set's background
  const int draws = tp.DrawCount();
  tp.DispMes(0, "10");
  EXPECT_EQ(tp.DrawCount(), draws + 1);
  tp.DispMes(0, "10");  // unchanged: no redraw
  EXPECT_EQ(tp.DrawCount(), draws + 1);
  EXPECT_EQ(tp.TextMes(0), "10");
  EXPECT_EQ(tp.TextMes(3), "");
  tp.DispMes(5, "x");  // no such text space
  EXPECT_EQ(tp.DrawCount(), draws + 1);
  // Text in (about) the set's font colour, 176, 176, 208.
  int ink = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 39; ++x) {
      const uint32_t c = tp.Surface()->Pixel(x, y);
      ink += std::abs(int(c & 0xFF) - 176) < 30 && std::abs(int((c >> 16) & 0xFF) - 208) < 30;
    }
  EXPECT_GT(ink, 3);
}

TEST_F(TextPictureTest, AnUnknownStandardSetSwitchesDesignButAddsNothing) {
  tp.AddStdColorSet(9);
  EXPECT_EQ(tp.DesignType(), 1);
  EXPECT_EQ(tp.ColorSetCount(), 0);
  tp.SetColor(0);
  EXPECT_EQ(tp.CurrentColorSet(), 0);
  tp.AddStdColorSet(2);
  tp.AddStdColorSet(3);
  tp.AddTextSpace(9, 0, 0, QString(), -1, -1);
  tp.Init();
  const uint32_t first = tp.Surface()->Pixel(2, 10);
  tp.SetColor(1, 1);  // the second background at once
  EXPECT_EQ(tp.CurrentColorSet(), 1);
  EXPECT_NE(tp.Surface()->Pixel(2, 10), first);
  tp.SetColor(7, 1);
  EXPECT_EQ(tp.CurrentColorSet(), 1);
  tp.ResetMe();
  EXPECT_EQ(tp.DesignType(), 0);
  EXPECT_EQ(tp.TextMes(0), "");
}

TEST_F(TextPictureTest, PressesReportTextSpaces) {
  tp.resize(200, 60);
  tp.AddTextSpace(9, 0, 0, QString(), -1, -1);   // centred: never chosen by position
  tp.AddTextSpace(9, 0, 0, QString(), 900, 300);  // positioned
  tp.SetUseClick(0, 1);
  tp.Init();
  QSignalSpy ud(&tp, &UC_TextPicture::MouseUD);
  Press(tp.Surface(), {100, 40});
  ASSERT_EQ(ud.count(), 1);
  EXPECT_EQ(ud.at(0).at(2).toInt(), 1);
  Release(tp.Surface(), {100, 40});
  Press(tp.Surface(), {10, 5});
  EXPECT_EQ(ud.last().at(2).toInt(), 0);
  EXPECT_EQ(tp.TextSpaceAt(5000, 5000), 1);
  tp.SetLocked(1);
  Release(tp.Surface(), {10, 5});
  EXPECT_EQ(ud.count(), 3);
}

}  // namespace
