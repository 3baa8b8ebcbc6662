#include "support/Settings.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/Logging.h"
#include "support/Paths.h"

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

}  // namespace
