#include "support/Logging.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace basic;

namespace {

class LoggingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldFolder = LogFolder();
    SetLogFolder(dir.path() + "/log");
  }
  void TearDown() override {
    SetLogFolder(oldFolder);
    SetLogError(0);
    SetErrorCatch(0);
  }
  QString File(const QString& ext) const { return dir.path() + "/log/zarin - " + ComputerName() + ext; }
  static QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QTemporaryDir dir;
  QString oldFolder;
};

TEST_F(LoggingTest, NothingIsWrittenWhileLoggingIsOff) {
  WriteLogLine("quiet", true);
  WriteLogLine("quiet", false);
  EXPECT_FALSE(QDir(dir.path() + "/log").exists());
}

TEST_F(LoggingTest, LinesGoToLogOrErrWithATimestamp) {
  SetLogError(1);
  WriteLogLine("デバイス", false);
  WriteLogLine("broken", true);
  WriteLogLine("second", false);
  const QString log = QString::fromUtf8(Read(File(".log")));
  const QRegularExpression line(
      R"(^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d デバイス\r\n\d{4}/\d\d/\d\d \d\d:\d\d:\d\d second\r\n$)");
  EXPECT_TRUE(line.match(log).hasMatch()) << log.toStdString();
  EXPECT_TRUE(Read(File(".err")).endsWith(" broken\r\n"));
}

TEST_F(LoggingTest, ForceWritesEvenWhenOff) {
  WriteLogLine("forced", false, true);
  EXPECT_TRUE(Read(File(".log")).endsWith(" forced\r\n"));
}

TEST_F(LoggingTest, SizeLimitDeletesOrKeepsTheOldFile) {
  SetLogError(1);
  QDir().mkpath(dir.path() + "/log");
  const auto fill = [&](qint64 size) {
    QFile f(File(".log"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_TRUE(f.resize(size));
  };
  fill(kLogSizeLimit);  // exactly at the limit: appended to
  WriteLogLine("kept", false);
  EXPECT_GT(QFile(File(".log")).size(), kLogSizeLimit);

  fill(kLogSizeLimit + 1);  // one byte more: deleted first
  WriteLogLine("fresh", false);
  EXPECT_LT(QFile(File(".log")).size(), 100);

  SetErrorCatch(1);  // with error catching on it is kept under a numbered name
  fill(kLogSizeLimit + 1);
  WriteLogLine("fresh", false);
  EXPECT_LT(QFile(File(".log")).size(), 100);
  const QString kept = dir.path() + "/log/zarin - " + ComputerName() + "001.log";
  EXPECT_EQ(QFile(kept).size(), kLogSizeLimit + 1);
}

TEST(Timestamp, FormatsOfEveryOption) {
  const QDateTime at(QDate(2023, 2, 28), QTime(9, 7, 5, 250));
  EXPECT_EQ(FormatTimestampAt(at), "2023/02/28 09:07:05");
  EXPECT_EQ(FormatTimestampAt(at, 0, 0, 0, 7), "2023/02/28 09:07:05.250");
  EXPECT_EQ(FormatTimestampAt(at, 0, 0, 2, 3), "2023-02-28 09_07_05");
  EXPECT_EQ(FormatTimestampAt(at, 0, 0, 1, 7),
            "2023022809070525"
            "0");
  EXPECT_EQ(FormatTimestampAt(at, 0, 0, 0, 1, 0, 1), "23/02/28");
  EXPECT_EQ(FormatTimestampAt(at, 0, 0, 0, 1, 0, 2), "/02/28");
  EXPECT_EQ(FormatTimestampAt(at, 0, 1, 0, 1), "2023/03/01");
  EXPECT_EQ(FormatTimestampAt(at, 0, 0, 0, 2, 2), "23:59:59");
  EXPECT_EQ(FormatTimestampAt(at, 3723, 0, 0, 2, 3), "01:02:03");
  EXPECT_EQ(FormatTimestampAt(at, 0, 0, 0, 2, 9), "00:00:00");
  // Before the given start of day: a late hour of the previous day.
  EXPECT_EQ(FormatTimestampAt(at, 36000, 0, 0, 3), "2023/02/27 33:07:05");
  // An offset past midnight moves the date.
  EXPECT_EQ(FormatTimestampAt(QDateTime(QDate(2023, 2, 28), QTime(23, 59, 0)), 0, 0, 0, 3, 0, 0, 120.0f),
            "2023/03/01 00:01:00");
  EXPECT_EQ(FormatTimestampAt(QDateTime(QDate(2023, 3, 1), QTime(0, 0, 30)), 0, 0, 0, 3, 0, 0, -60.0f),
            "2023/02/28 23:59:30");
  EXPECT_EQ(FormatTimestampAt(QDateTime(QDate(2023, 3, 1), QTime(0, 0, 30, 999)), 0, 0, 0, 4), ".999");
}

TEST(ComputerNameTest, IsTheHostNameAndStays) {
  const QString name = ComputerName();
  EXPECT_FALSE(name.isEmpty());
  EXPECT_EQ(ComputerName(), name);
}

}  // namespace
