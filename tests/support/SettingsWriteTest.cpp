// Settings are written like every other file: checked, whole or not at all.
#include <QDir>
#include <QFile>
#include <QSettings>
#include <cerrno>
#include <gtest/gtest.h>

#include "support/CheckedFile.h"
#include "support/Settings.h"

using namespace basic;

namespace {

class SettingsWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "morvane", "zarin").clear();
    path = QSettings(QSettings::NativeFormat, QSettings::UserScope, "morvane", "zarin").fileName();
  }
  void TearDown() override { SetWriteFault({}); }
  QByteArray Contents() const {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }
  QString path;
};

TEST_F(SettingsWriteTest, EveryValueReadsBackAsWrittenAtOnce) {
  const QStringList texts = {"a,b",     "\"quoted\"", "x=y; z # w", "C:\\path\\to", "Ｈｉ 測定 デバイス",
                             "[group]", "%percent%",  "line",       "1.5"};
  for (qsizetype i = 0; i < texts.size(); ++i) WriteSetting(QStringLiteral("Key%1").arg(i), texts[i]);
  for (qsizetype i = 0; i < texts.size(); ++i)
    EXPECT_EQ(ReadSetting(QStringLiteral("Key%1").arg(i), QString()), texts[i]);
  // Values of one length replaced over and over: each read sees the last.
  for (int i = 0; i < 60; ++i) {
    WriteSetting("Offsetdb", QStringLiteral("-%1.5").arg(i % 10));
    ASSERT_EQ(ReadSetting("Offsetdb", QString()), QStringLiteral("-%1.5").arg(i % 10)) << i;
  }
  // Nothing is left beside the settings file but Qt's lock.
  const QStringList left =
      QDir(QFileInfo(path).absolutePath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  for (const QString& name : left) EXPECT_TRUE(name == "zarin.conf" || name.endsWith(".lock")) << name.toStdString();
}

TEST_F(SettingsWriteTest, AFullDiskLeavesTheStoredSettingsWhole) {
  WriteSetting("DeviceOut", QStringLiteral("speakers"));
  WriteSetting("nFreq", int32_t{48000});
  const QByteArray before = Contents();
  for (const WriteStage stage : {WriteStage::Write, WriteStage::Sync, WriteStage::Close}) {
    SetWriteFault([stage](WriteStage at, int64_t) { return at == stage ? ENOSPC : 0; });
    EXPECT_EQ(WriteRegistryText("DeviceOut", QStringLiteral("headphones")), 0) << static_cast<int>(stage);
    SetWriteFault({});
    EXPECT_EQ(Contents(), before);
    EXPECT_EQ(ReadSetting("DeviceOut", QString()), "speakers");
    EXPECT_EQ(ReadSetting("nFreq", int32_t{0}), "48000");
  }
  EXPECT_EQ(WriteRegistryText("DeviceOut", QStringLiteral("headphones")), 1);
  EXPECT_EQ(ReadSetting("DeviceOut", QString()), "headphones");
}

}  // namespace
