// The window's results share their folder with anyone else storing there:
// a command line running at the same moment, folders and links with
// result names. Each result keeps its own number; closing removes only
// what the window itself wrote.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

#include "measurement/ResultNumbers.h"
#include "tests/window/FrmMainFixture.h"

namespace zarin_test {
namespace {

QByteArray Contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class FrmMainResultNumbers : public FrmMainResultsTest {
 protected:
  void TearDown() override {
    measurement::SetBeforeClaimHook({});
    FrmMainResultsTest::TearDown();
  }
};

TEST_F(FrmMainResultNumbers, ACommandLineRunTakingTheSameNumberKeepsItsResult) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Noise);
  QString printed;
  // Just as the window is about to take number 01, a command line takes it.
  measurement::SetBeforeClaimHook([&] {
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(QString::fromLatin1(name));
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(ZARIN_EXE),
              {"measure", "--output-device", "Loopback simulator", "--input-device", "Loopback simulator", "--rate",
               "8000", "--seconds", "2", "--mode", "sweep", "--folder", dir.path()});
    ASSERT_TRUE(cli.waitForFinished(120000));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    printed = QString::fromLocal8Bit(cli.readAllStandardOutput()).section('\n', 0, 0);
  });
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  EXPECT_EQ(printed, "result\t" + dir.filePath("01.dat"));
  ASSERT_EQ(Names(w), QStringList{"02"});
  EXPECT_EQ(w.LV->AuxID(0, 0).toString(), dir.filePath("02.fft"));
  EXPECT_EQ(QFile(dir.filePath("02.fft")).size(), 4104);
  const QByteArray theirs = Contents(dir.filePath("01.dat"));
  EXPECT_EQ(theirs.size(), 44 + 2 * 16000);
  w.close();
  EXPECT_FALSE(QFile::exists(dir.filePath("02.fft")));  // the window's own result goes
  EXPECT_EQ(Contents(dir.filePath("01.dat")), theirs);  // the command line's stays
}

TEST_F(FrmMainResultNumbers, FoldersAndLinksWithResultNamesAreSteppedOver) {
  QDir(dir.path()).mkdir("01.dat");
  ASSERT_EQ(
      symlink(dir.filePath("elsewhere").toLocal8Bit().constData(), dir.filePath("02.fft").toLocal8Bit().constData()),
      0);
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
  ASSERT_EQ(Names(w), QStringList{"03"});
  EXPECT_EQ(QFile(dir.filePath("03.dat")).size(), 44 + 2 * 16000);
  EXPECT_FALSE(QFile::exists(dir.filePath("elsewhere")));
  w.close();
  EXPECT_TRUE(QFileInfo(dir.filePath("01.dat")).isDir());
  EXPECT_TRUE(QFileInfo(dir.filePath("02.fft")).isSymLink());
  EXPECT_FALSE(QFile::exists(dir.filePath("03.dat")));
}

}  // namespace
}  // namespace zarin_test
