#include "widgets/PictureBox.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QGuiApplication>
#include <QFontMetricsF>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <gtest/gtest.h>

#include "support/Colors.h"

using namespace basic;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kRed = 0x0000FF;  // 0x00BBGGRR

class SurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTwipsPerPixel(15);
    pb.SetPixelSize(40, 30);
    pb.SetBackColor(kWhite);
    pb.Cls();
  }
  void TearDown() override { SetTwipsPerPixel(15); }

  int CountColor(uint32_t color) const {
    int n = 0;
    for (int y = 0; y < pb.PixelHeight(); ++y)
      for (int x = 0; x < pb.PixelWidth(); ++x) n += pb.Pixel(x, y) == color;
    return n;
  }

  PictureBox pb;
};

TEST_F(SurfaceTest, PenLineLeavesOutItsEndPointAndMovesThePen) {
  pb.SetForeColor(kRed);
  pb.MoveTo(2, 5);
  pb.LineTo(10, 5);
  for (int x = 2; x < 10; ++x) EXPECT_EQ(pb.Pixel(x, 5), kRed) << x;
  EXPECT_EQ(pb.Pixel(10, 5), kWhite);
  EXPECT_EQ(pb.Pixel(1, 5), kWhite);
  // The pen continues from the old end point, which the next segment draws.
  pb.LineTo(10, 9);
  for (int y = 5; y < 9; ++y) EXPECT_EQ(pb.Pixel(10, y), kRed) << y;
  EXPECT_EQ(pb.Pixel(10, 9), kWhite);
  EXPECT_EQ(CountColor(kRed), 12);
}

TEST_F(SurfaceTest, DiagonalPenLineHitsOnePixelPerStep) {
  pb.SetForeColor(kBlack);
  pb.MoveTo(0, 0);
  pb.LineTo(6, 3);
  EXPECT_EQ(CountColor(kBlack), 6);
  EXPECT_EQ(pb.Pixel(0, 0), kBlack);
  EXPECT_EQ(pb.Pixel(6, 3), kWhite);
}

TEST_F(SurfaceTest, TwipsAreConvertedWithTwipsPerPixel) {
  EXPECT_DOUBLE_EQ(pb.ScaleWidth(), 40 * 15);
  EXPECT_DOUBLE_EQ(pb.ScaleHeight(), 30 * 15);
  pb.Line(30, 75, 150, 75, kRed);  // pixels (2,5) to (10,5)
  EXPECT_EQ(pb.Pixel(2, 5), kRed);
  EXPECT_EQ(pb.Pixel(9, 5), kRed);
  EXPECT_EQ(pb.Pixel(10, 5), kWhite);
  EXPECT_EQ(CountColor(kRed), 8);

  SetTwipsPerPixel(12);  // 120 dpi
  EXPECT_DOUBLE_EQ(pb.ScaleWidth(), 40 * 12);
  EXPECT_EQ(TwipsToPixels(126), 10);  // 10.5 rounds to the even neighbour
  EXPECT_EQ(TwipsToPixels(138), 12);  // 11.5 rounds to the even neighbour
  pb.Move(120, 240, 600, 360);
  EXPECT_EQ(pb.PixelWidth(), 50);
  EXPECT_EQ(pb.PixelHeight(), 30);
  EXPECT_EQ(pb.Left(), 120);
  EXPECT_EQ(pb.Top(), 240);
  EXPECT_EQ(pb.Width(), 600);
}

TEST_F(SurfaceTest, BoxesIncludeBothCorners) {
  pb.Line(15, 15, 75, 60, kRed, LineKind::Box);  // pixels (1,1)-(5,4)
  EXPECT_EQ(pb.Pixel(1, 1), kRed);
  EXPECT_EQ(pb.Pixel(5, 4), kRed);
  EXPECT_EQ(pb.Pixel(3, 2), kWhite);  // inside stays
  EXPECT_EQ(CountColor(kRed), 2 * 5 + 2 * 2);

  pb.Cls();
  pb.Line(75, 60, 15, 15, kRed, LineKind::FilledBox);  // corners in any order
  EXPECT_EQ(CountColor(kRed), 5 * 4);
  EXPECT_EQ(pb.Pixel(6, 4), kWhite);
}

TEST_F(SurfaceTest, DrawModesCombineThePenWithTheSurface) {
  const uint32_t back = 0x00F0F0, pen = 0x0F0FFF;
  struct Case {
    int mode;
    uint32_t expected;
  } cases[] = {{vbCopyPen, pen},       {vbMaskPen, back & pen},      {vbMergePen, back | pen},
               {vbXorPen, back ^ pen}, {vbInvert, ~back & 0xFFFFFF}, {vbNop, back}};
  for (const Case& c : cases) {
    pb.SetBackColor(back);
    pb.Cls();
    pb.SetDrawMode(c.mode);
    pb.SetForeColor(pen);
    pb.MoveTo(0, 0);
    pb.LineTo(5, 0);
    EXPECT_EQ(pb.Pixel(3, 0), c.expected) << "mode " << c.mode;
    EXPECT_EQ(pb.Pixel(3, 1), back) << "mode " << c.mode;
  }
}

TEST_F(SurfaceTest, XorTwiceRestoresTheSurface) {
  pb.SetPixel(4, 4, 0x123456);
  pb.SetDrawMode(vbXorPen);
  pb.SetForeColor(0xABCDEF);
  pb.Line(0, 60, 300, 60, 0xABCDEF);
  pb.Line(0, 60, 300, 60, 0xABCDEF);
  EXPECT_EQ(pb.Pixel(4, 4), 0x123456u);
  EXPECT_EQ(CountColor(kWhite), 40 * 30 - 1);
}

TEST_F(SurfaceTest, WidePenDrawsSquareDots) {
  pb.SetDrawWidth(3);
  pb.SetForeColor(kBlack);
  pb.MoveTo(5, 5);
  pb.LineTo(6, 5);  // one dot centred on (5,5)
  EXPECT_EQ(CountColor(kBlack), 9);
  EXPECT_EQ(pb.Pixel(4, 4), kBlack);
  EXPECT_EQ(pb.Pixel(6, 6), kBlack);
  EXPECT_EQ(pb.Pixel(7, 5), kWhite);
}

TEST_F(SurfaceTest, PixelReadAndWriteStayInside) {
  pb.SetPixel(39, 29, kRed);
  EXPECT_EQ(pb.Pixel(39, 29), kRed);
  pb.SetPixel(40, 0, kRed);
  pb.SetPixel(-1, 0, kRed);
  EXPECT_EQ(pb.Pixel(40, 0), kInvalidColor);
  EXPECT_EQ(pb.Pixel(0, -1), kInvalidColor);
  EXPECT_EQ(CountColor(kRed), 1);
}

TEST_F(SurfaceTest, WildCoordinatesAreClippedNotWalked) {
  pb.SetForeColor(kBlack);
  pb.Line(-1.0e12, 150, 1.0e12, 150, kBlack);  // a horizontal line through the picture
  for (int x = 0; x < 40; ++x) EXPECT_EQ(pb.Pixel(x, 10), kBlack) << x;
  pb.MoveTo(INT32_MIN, INT32_MIN);
  pb.LineTo(INT32_MAX, INT32_MAX);  // must neither overflow nor take forever
  EXPECT_EQ(pb.Pixel(20, 20), kBlack);
}

TEST_F(SurfaceTest, BlockCopiesCombineWithTheDestination) {
  PictureBox src;
  src.SetPixelSize(4, 4);
  src.SetBackColor(0x0F0F0F);
  src.Cls();
  const uint32_t dst = 0x3C3C3C;
  const struct {
    BlitOp op;
    uint32_t expected;
  } cases[] = {{BlitOp::Copy, 0x0F0F0F}, {BlitOp::And, 0x0C0C0C}, {BlitOp::Or, 0x3F3F3F}, {BlitOp::Xor, 0x333333}};
  for (const auto& c : cases) {
    pb.SetBackColor(dst);
    pb.Cls();
    pb.BitBlt(10, 10, 4, 4, src, 0, 0, c.op);
    EXPECT_EQ(pb.Pixel(10, 10), c.expected);
    EXPECT_EQ(pb.Pixel(13, 13), c.expected);
    EXPECT_EQ(pb.Pixel(14, 13), dst);
    EXPECT_EQ(pb.Pixel(9, 10), dst);
  }
  // Partly outside on both sides: only the overlap is touched.
  pb.Cls();
  pb.BitBlt(38, -2, 10, 10, src, -1, 0);
  EXPECT_EQ(pb.Pixel(39, 0), 0x0F0F0Fu);
  EXPECT_EQ(pb.Pixel(38, 0), dst);  // source column -1 does not exist
  EXPECT_EQ(pb.Pixel(39, 2), dst);  // source row 4 does not exist
}

TEST_F(SurfaceTest, BlockCopyWithinOneSurfaceUsesTheOldPixels) {
  for (int x = 0; x < 10; ++x) pb.SetPixel(x, 0, static_cast<uint32_t>(x));
  pb.BitBlt(1, 0, 10, 1, pb, 0, 0);  // shift right by one, overlapping
  for (int x = 1; x < 11; ++x) EXPECT_EQ(pb.Pixel(x, 0), static_cast<uint32_t>(x - 1));
}

TEST_F(SurfaceTest, StretchedCopyScalesByNearestPixel) {
  PictureBox src;
  src.SetPixelSize(2, 1);
  src.SetPixel(0, 0, kRed);
  src.SetPixel(1, 0, kBlack);
  pb.StretchBlt(0, 0, 8, 2, src, 0, 0, 2, 1);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(pb.Pixel(x, 1), kRed) << x;
  for (int x = 4; x < 8; ++x) EXPECT_EQ(pb.Pixel(x, 0), kBlack) << x;
  EXPECT_EQ(pb.Pixel(8, 0), kWhite);
}

TEST_F(SurfaceTest, RaisedAndSunkenEdgesSwapLightAndShadow) {
  pb.DrawEdge(2, 2, 12, 10, false);
  EXPECT_EQ(pb.Pixel(2, 2), SysColor(COLOR_3DLIGHT));
  EXPECT_EQ(pb.Pixel(11, 9), SysColor(COLOR_3DDKSHADOW));
  EXPECT_EQ(pb.Pixel(3, 3), SysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(pb.Pixel(10, 8), SysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(pb.Pixel(12, 10), kWhite);
  pb.DrawEdge(2, 2, 12, 10, true);
  EXPECT_EQ(pb.Pixel(2, 2), SysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(pb.Pixel(11, 9), SysColor(COLOR_BTNHIGHLIGHT));
}

TEST_F(SurfaceTest, ClsFillsWithBackColorAndHomesTheTextPosition) {
  pb.SetCurrentX(300);
  pb.SetCurrentY(200);
  pb.SetBackColor(0x336699);
  pb.Cls();
  EXPECT_EQ(CountColor(0x336699), 40 * 30);
  EXPECT_EQ(pb.CurrentX(), 0);
  EXPECT_EQ(pb.CurrentY(), 0);
}

TEST_F(SurfaceTest, SystemColoursResolveThroughThePalette) {
  pb.SetBackColor(0x80000000u | COLOR_BTNFACE);
  pb.Cls();
  EXPECT_EQ(pb.Pixel(0, 0), SysColor(COLOR_BTNFACE));
  EXPECT_EQ(ResolveColor(0x12345678), 0x345678u);
}

TEST_F(SurfaceTest, ResizingKeepsWhatWasDrawn) {
  pb.SetPixel(5, 5, kRed);
  pb.SetPixelSize(60, 50);
  EXPECT_EQ(pb.Pixel(5, 5), kRed);
  EXPECT_EQ(pb.Pixel(59, 49), kWhite);
}

class SurfaceTextTest : public SurfaceTest {};

TEST_F(SurfaceTextTest, TextIsMeasuredInTwips) {
  pb.SetFontName(QStringLiteral("DejaVu Sans"));
  pb.SetFontSize(9);
  const QFontMetricsF fm(pb.SurfaceFont(), &pb.Image());
  const double px = std::nearbyint(fm.horizontalAdvance(QStringLiteral("Level")));
  EXPECT_GT(px, 10);
  EXPECT_DOUBLE_EQ(pb.TextWidth(QStringLiteral("Level")), px * 15);
  EXPECT_DOUBLE_EQ(pb.TextHeight(QStringLiteral("Level")), std::nearbyint(fm.height()) * 15);
  EXPECT_DOUBLE_EQ(pb.TextHeight(QStringLiteral("a\nb")), 2 * pb.TextHeight(QStringLiteral("a")));
  // 9 pt at 96 dpi is 12 px: the font follows TwipsPerPixel, not the screen.
  EXPECT_NEAR(fm.ascent() + fm.descent(), 14, 3);
  EXPECT_GT(pb.TextWidth(QStringLiteral("開始")), 0);
  pb.SetFontBold(true);
  EXPECT_TRUE(pb.FontBold());
}

TEST_F(SurfaceTextTest, PrintDrawsInForeColorAtTheTextPosition) {
  pb.SetPixelSize(120, 60);
  pb.SetBackColor(kWhite);
  pb.Cls();
  pb.SetForeColor(kBlack);
  pb.SetFontSize(12);
  pb.SetCurrentX(20 * 15);
  pb.SetCurrentY(10 * 15);
  const double h = pb.TextHeight(QStringLiteral("M"));
  const double w = pb.TextWidth(QStringLiteral("MM"));
  pb.Print(QStringLiteral("MM"));
  // Ink only inside the text's box, and some of it there.
  int inside = 0, outside = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 120; ++x) {
      if (pb.Pixel(x, y) == kWhite) continue;
      const bool in = x >= 19 && x <= 20 + w / 15 + 1 && y >= 10 && y <= 10 + h / 15;
      (in ? inside : outside)++;
    }
  EXPECT_GT(inside, 10);
  EXPECT_EQ(outside, 0);
  EXPECT_EQ(pb.CurrentX(), 0);
  EXPECT_EQ(pb.CurrentY(), 10 * 15 + h);
  pb.Print(QStringLiteral("M"), false);
  EXPECT_EQ(pb.CurrentX(), pb.TextWidth(QStringLiteral("M")));
}

TEST_F(SurfaceTest, MouseEventsCarryButtonsShiftAndTwips) {
  int button = -1, shift = -1;
  double x = -1, y = -1;
  QObject::connect(&pb, &PictureBox::MouseDown, [&](int b, int s, double px, double py) {
    button = b;
    shift = s;
    x = px;
    y = py;
  });
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(4, 7), QPointF(4, 7), Qt::RightButton, Qt::RightButton,
                    Qt::ShiftModifier | Qt::ControlModifier);
  QCoreApplication::sendEvent(&pb, &press);
  EXPECT_EQ(button, vbRightButton);
  EXPECT_EQ(shift, vbShiftMask | vbCtrlMask);
  EXPECT_DOUBLE_EQ(x, 60);
  EXPECT_DOUBLE_EQ(y, 105);

  int moveButtons = -1;
  QObject::connect(&pb, &PictureBox::MouseMove, [&](int b, int, double, double) { moveButtons = b; });
  QMouseEvent move(QEvent::MouseMove, QPointF(5, 7), QPointF(5, 7), Qt::NoButton, Qt::LeftButton | Qt::RightButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(&pb, &move);
  EXPECT_EQ(moveButtons, vbLeftButton | vbRightButton);

  bool dbl = false;
  QObject::connect(&pb, &PictureBox::DblClick, [&] { dbl = true; });
  QMouseEvent dc(QEvent::MouseButtonDblClick, QPointF(5, 7), QPointF(5, 7), Qt::LeftButton, Qt::LeftButton,
                 Qt::NoModifier);
  QCoreApplication::sendEvent(&pb, &dc);
  EXPECT_TRUE(dbl);
}

TEST_F(SurfaceTest, DroppedFilesArriveAsLocalPaths) {
  pb.SetAcceptFiles(true);
  QStringList got;
  double gy = -1;
  QObject::connect(&pb, &PictureBox::FilesDropped, [&](const QStringList& paths, int, int, double, double y) {
    got = paths;
    gy = y;
  });
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/01.dat")), QUrl(QStringLiteral("https://example.org/x")),
                QUrl::fromLocalFile(QStringLiteral("/tmp/日本語.fft"))});
  QDragEnterEvent enter(QPoint(3, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&pb, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(3, 2), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&pb, &drop);
  EXPECT_EQ(got, (QStringList{QStringLiteral("/tmp/01.dat"), QStringLiteral("/tmp/日本語.fft")}));
  EXPECT_DOUBLE_EQ(gy, 30);
}

TEST(SurfaceHelpers, BusyPointerNestsOnce) {
  SetMousePointer(vbHourglass);
  SetMousePointer(vbHourglass);
  EXPECT_EQ(MousePointer(), vbHourglass);
  SetMousePointer(vbDefault);
  EXPECT_EQ(MousePointer(), vbDefault);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(ScreenTwipsPerPixel(), 15);  // the offscreen platform reports 96 dpi
}

}  // namespace
