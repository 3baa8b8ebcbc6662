#include "widgets/WindowPlacement.h"

#include <QSettings>
#include <QWidget>
#include <gtest/gtest.h>

#include "support/Logging.h"
#include "support/Settings.h"
#include "support/Surface.h"

using namespace basic;

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { QSettings(QSettings::NativeFormat, QSettings::UserScope, "morvane", "zarin").clear(); }
};

class PlacementTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    SetTwipsPerPixel(15);
    SetDesktopExtent(1920, 1080);  // 28800 x 16200 twips
    window.setGeometry(100, 80, 640, 480);
  }
  void TearDown() override { SetDesktopExtent(0, 0); }
  QWidget window;
};

TEST_F(PlacementTest, SaveThenRestoreRoundTrips) {
  SaveWindowPlacement(&window, "", 0, 0);
  EXPECT_EQ(ReadSetting("WindowLeft", 0.0f), QString::number(window.frameGeometry().x() * 15));
  EXPECT_EQ(ReadSetting("WindowState", int16_t{9}), "0");
  QWidget other;
  other.setGeometry(5, 5, 100, 100);
  RestoreWindowPlacement(&other, "", 0, 1, 0);
  EXPECT_EQ(other.frameGeometry(), window.frameGeometry());
}

// The offscreen platform gives a top-level window a frame once it is shown,
// as a window manager does: save then restore before the show must still
// give the same outer geometry, start after start.
TEST_F(PlacementTest, SaveThenRestoreBeforeTheShowKeepsTheOuterGeometry) {
  QRect outer;
  for (int start = 0; start < 3; ++start) {
    QWidget w;
    w.resize(640, 480);  // the design size, replaced by what is stored
    RestoreWindowPlacement(&w, "", 0, 1, 0);
    w.show();
    ASSERT_NE(w.frameGeometry().size(), w.size()) << "the platform draws no frame";
    if (start == 0) outer = w.frameGeometry();
    EXPECT_EQ(w.frameGeometry(), outer) << "start " << start;
    SaveWindowPlacement(&w, "", 0, 0);
  }
  EXPECT_EQ(ReadSetting("WindowWidth", 0.0f), QString::number(outer.width() * 15));
  EXPECT_EQ(ReadSetting("WindowHeight", 0.0f), QString::number(outer.height() * 15));
}

TEST_F(PlacementTest, WithoutAStoredSizeTheClientSizeStays) {
  QWidget w;
  w.resize(640, 480);
  RestoreWindowPlacement(&w, "", 0, 1, 1);
  w.show();
  EXPECT_EQ(w.size(), QSize(640, 480));
}

TEST_F(PlacementTest, PositionsOffTheDesktopComeBackToZero) {
  WriteSetting("WindowLeft", 28800.0f - 599);  // less than 600 twips left of the right edge
  WriteSetting("WindowTop", 16200.0f - 900);   // exactly 900 above the bottom: kept
  RestoreWindowPlacement(&window, "", 1, 1, 0);
  EXPECT_EQ(window.x(), 0);
  EXPECT_EQ(window.y(), (16200 - 900) / 15);
  WriteSetting("WindowLeft", -30.0f);
  WriteSetting("WindowTop", 16200.0f - 899);
  RestoreWindowPlacement(&window, "", 1, 1, 0);
  EXPECT_EQ(window.x(), 0);
  EXPECT_EQ(window.y(), 0);
}

TEST_F(PlacementTest, AMaximizedWindowKeepsTheNormalPlacement) {
  SaveWindowPlacement(&window, "", 0, 0);
  window.show();
  window.setWindowState(Qt::WindowMaximized);
  ASSERT_TRUE(window.windowState() & Qt::WindowMaximized);
  SaveWindowPlacement(&window, "", 0, 0);
  EXPECT_EQ(ReadSetting("WindowState", int16_t{0}), "2");
  EXPECT_EQ(ReadSetting("WindowLeft", 0.0f), "1500");  // from the normal-state save
}

TEST_F(PlacementTest, ANonNumberStopsTheRestoreWhereItIs) {
  WriteSetting("WindowLeft", 300.0f);
  WriteSetting("WindowTop", QString("oops"));
  WriteSetting("WindowWidth", 3000.0f);
  RestoreWindowPlacement(&window, "", 0, 1, 0);
  EXPECT_EQ(window.width(), 640);  // the steps after the fault were skipped
  SetErrorCatch(1);
  EXPECT_THROW(RestoreWindowPlacement(&window, "", 0, 1, 0), std::invalid_argument);
  SetErrorCatch(0);
}

TEST_F(PlacementTest, PrefixesKeepWindowsApart) {
  SaveWindowPlacement(&window, "Dlg", 0, 1);
  EXPECT_EQ(ReadSetting("DlgWindowWidth", 0.0f), QString::number(window.frameGeometry().width() * 15));
  EXPECT_EQ(ReadSetting("WindowWidth", 1.0f), "1");
  EXPECT_EQ(ReadSetting("DlgWindowState", int16_t{7}), "7");  // skipped
}

TEST(DesktopExtentTest, MeasuresTheScreensOnce) {
  SetDesktopExtent(0, 0);
  SetTwipsPerPixel(15);
  const int32_t right = DesktopExtent(0, 1);
  EXPECT_GT(right, 0);
  EXPECT_EQ(DesktopExtent(0, 0), right * 15);
  SetDesktopExtent(0, 0);
}

}  // namespace
