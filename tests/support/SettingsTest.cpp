#include "support/Settings.h"
#include "support/WindowPlacement.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

#include "support/Logging.h"
#include "support/Paths.h"
#include "support/PictureBox.h"

using namespace basic;

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { QSettings(QSettings::NativeFormat, QSettings::UserScope, "morvane", "zarin").clear(); }
};

TEST_F(SettingsTest, TheStoreIsTheTestsOwn) {
  const QSettings s(QSettings::NativeFormat, QSettings::UserScope, "morvane", "zarin");
  EXPECT_FALSE(s.fileName().startsWith(qEnvironmentVariable("HOME") + "/.config")) << s.fileName().toStdString();
  EXPECT_TRUE(s.fileName().endsWith("morvane/zarin.conf"));
}

TEST_F(SettingsTest, DefaultsReadAsTheirText) {
  EXPECT_EQ(ReadSetting("PlaySec", int16_t{10}), "10");
  EXPECT_EQ(ReadSetting("PlayLevel", -3.0f), "-3");
  EXPECT_EQ(ReadSetting("Ratio", 0.1f), "0.1");
  EXPECT_EQ(ReadSetting("nFreq", int32_t{44100}), "44100");
  EXPECT_EQ(ReadSetting("DeviceOut", QString("x")), "x");
}

TEST_F(SettingsTest, EmptyTextIsStoredAsThreeStars) {
  WriteSetting("DeviceIn", QString());
  const QSettings raw(QSettings::NativeFormat, QSettings::UserScope, "morvane", "zarin");
  EXPECT_EQ(raw.value("DeviceIn").toString(), "***");
  EXPECT_EQ(ReadSetting("DeviceIn", QString("default")), "");
}

TEST_F(SettingsTest, ValuesAreTrimmedCutAtNulAndLimited) {
  {
    QSettings raw(QSettings::NativeFormat, QSettings::UserScope, "morvane", "zarin");
    raw.setValue("Padded", "  USB Audio  ");
    raw.setValue("Nul", QString("abc") + QChar(0) + "def");
    raw.setValue("Long", QString(257, 'x'));
    raw.setValue("Fits", QString(256, 'y'));
  }
  EXPECT_EQ(ReadSetting("Padded", QString()), "USB Audio");
  EXPECT_EQ(ReadSetting("Nul", QString()), "abc");
  EXPECT_EQ(ReadSetting("Long", QString("dflt")), "dflt");  // too long to read
  EXPECT_EQ(ReadSetting("Fits", QString()), QString(256, 'y'));
  WriteSetting("PlayLevel", -12.5f);
  WriteSetting("PlaySec", int16_t{30});
  EXPECT_EQ(ReadSetting("PlayLevel", 0.0f), "-12.5");
  EXPECT_EQ(ReadSetting("PlaySec", int16_t{10}), "30");
}

TEST_F(SettingsTest, StoreSelection) {
  EXPECT_EQ(ResolveSettingStore("", 0).backend, 1);
  EXPECT_EQ(ResolveSettingStore("", 0).nameOrPath, "zarin");
  EXPECT_EQ(ResolveSettingStore("", 1).backend, 1);  // no zarin.ini beside the program
  const SettingStore other = ResolveSettingStore("otherapp", 0);
  EXPECT_EQ(other.backend, 1);
  EXPECT_EQ(other.nameOrPath, "otherapp");
}

TEST_F(SettingsTest, IniBackEndWritesMissingValuesBack) {
  QTemporaryDir dir;
  const QString ini = dir.path() + "/test.ini";
  EXPECT_EQ(ReadIniText("PlaySec", int16_t{10}, ini, QString(), 1), "10");
  {
    const QSettings raw(ini, QSettings::IniFormat);
    EXPECT_EQ(raw.value("conf/PlaySec").toString(), "10");
  }
  EXPECT_EQ(ReadIniText("Other", int16_t{5}, ini, QString(), 0), "5");
  EXPECT_FALSE(QSettings(ini, QSettings::IniFormat).contains("conf/Other"));
  WriteIniText("Empty", QString(), ini);
  EXPECT_EQ(ReadIniText("Empty", QString("d"), ini, QString(), 1), "");
  EXPECT_EQ(QSettings(ini, QSettings::IniFormat).value("conf/Empty").toString(), "***");
}

TEST_F(SettingsTest, DiagnosticSwitchesComeFromTheSettings) {
  WriteSetting("LogError", int32_t{1});
  WriteSetting("ErrorCatch", int32_t{0});
  InitDiagnosticSwitches();
  EXPECT_EQ(LogError(), 1);
  EXPECT_EQ(ErrorCatch(), FileExists(AppFolder() + "ec.txt"));
  SetLogError(0);
  SetErrorCatch(0);
}

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
