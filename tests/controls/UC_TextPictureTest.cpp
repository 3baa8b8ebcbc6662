#include "controls/UC_TextPicture/UC_TextPicture.h"

#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/controls/ControlTestUtil.h"
#include "widgets/PictureBox.h"

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
  tp.AddTextSpace(9, 0, 0, QString(), -1, -1);    // centred: never chosen by position
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

// Pixels near a colour (0x00BBGGRR) on the surface.
int PixelsNear(const UC_TextPicture& tp, uint32_t color) {
  int n = 0;
  const auto near = [](uint32_t a, uint32_t b, int shift) {
    return std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) < 30;
  };
  for (int y = 0; y < tp.height(); ++y)
    for (int x = 0; x < tp.width(); ++x) {
      const uint32_t c = tp.Surface()->Pixel(x, y);
      n += near(c, color, 0) && near(c, color, 8) && near(c, color, 16);
    }
  return n;
}

TEST_F(TextPictureTest, AfterResetMeANewColourSetIsTheOneShown) {
  tp.AddStdColorSet(1);
  tp.AddTextSpace(9, 0, 0, QString(), -1, -1);
  tp.Init();
  tp.ResetMe();
  EXPECT_EQ(tp.ColorSetCount(), 0);
  tp.AddStdColorSet(4);  // text 224, 224, 224 on a grey frame
  tp.AddTextSpace(9, 0, 0, QString(), -1, -1);
  tp.SetColor(0);
  tp.Init();
  tp.DispMes(0, "88");
  EXPECT_EQ(tp.ColorSetCount(), 1);
  EXPECT_NE(tp.Surface()->Pixel(2, 10), 0u);  // the frame, not black
  EXPECT_GT(PixelsNear(tp, 14737632), 3);     // the text in the set's colour
}

TEST_F(TextPictureTest, FilesDroppedOnTheTextReachTheHost) {
  tp.AddTextSpace(9, 0, 0, QString(), -1, -1);
  tp.Init();
  tp.show();
  QSignalSpy dropped(&tp, &UC_TextPicture::OLEDragDrop);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile("/tmp/01.dat")});
  // The window system drops only on a widget that accepted the drag's entry.
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  enter.setAccepted(false);
  QCoreApplication::sendEvent(tp.Surface(), &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(tp.Surface(), &drop);
  ASSERT_EQ(dropped.count(), 1);
  EXPECT_EQ(dropped.at(0).at(0).toStringList(), QStringList{"/tmp/01.dat"});
  tp.SetLocked(1);
  QCoreApplication::sendEvent(tp.Surface(), &drop);
  EXPECT_EQ(dropped.count(), 1);
}

}  // namespace
