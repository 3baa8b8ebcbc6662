#include "support/ErrorTrap.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace basic;

namespace {

class ErrorTrapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldFolder = LogFolder();
    SetLogFolder(dir.path() + "/log");
    SetLogObserver([this](const QString& text, int isError) { lines.emplace_back(text, isError); });
  }
  void TearDown() override {
    SetLogObserver({});
    SetLogFolder(oldFolder);
    SetLogError(0);
    SetErrorCatch(0);
  }
  QByteArray ErrorLog() const {
    QFile f(dir.path() + "/log/zarin - " + ComputerName() + ".err");
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QTemporaryDir dir;
  QString oldFolder;
  std::vector<std::pair<QString, int>> lines;
};

TEST_F(ErrorTrapTest, WithTheLogOnTheFaultsTextGoesToTheErrorLog) {
  SetLogError(1);
  bool after = false;
  Trap([&] {
    throw std::runtime_error("データフォルダがありません: /nowhere");
    after = true;
  });
  EXPECT_FALSE(after);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].first, QStringLiteral("データフォルダがありません: /nowhere"));
  EXPECT_EQ(lines[0].second, 1);
  EXPECT_TRUE(ErrorLog().trimmed().endsWith(QStringLiteral(" データフォルダがありません: /nowhere").toUtf8()))
      << ErrorLog().toStdString();
}

TEST_F(ErrorTrapTest, WithTheLogOffTheFaultEndsQuietly) {
  Trap([] { throw std::out_of_range("index 7"); });
  EXPECT_TRUE(lines.empty());
  EXPECT_FALSE(QDir(dir.path() + "/log").exists());
}

TEST_F(ErrorTrapTest, ABodyThatSucceedsWritesNothing) {
  SetLogError(1);
  int ran = 0;
  Trap([&] { ++ran; });
  EXPECT_EQ(ran, 1);
  EXPECT_TRUE(lines.empty());
}

TEST_F(ErrorTrapTest, WithErrorCatchOnTheFaultReachesTheCaller) {
  SetLogError(1);
  SetErrorCatch(1);
  EXPECT_THROW(Trap([] { throw std::invalid_argument("oops"); }), std::invalid_argument);
  EXPECT_TRUE(lines.empty());  // the caller decides what to do with it
}

}  // namespace
