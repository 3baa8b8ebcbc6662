// No result lost and no run left hanging: free result numbers, saves and
// loads that tell the truth, "Save As" that cannot lose a file, and runs that
// end when a device fails or stalls.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <QTimer>

#include "audio/LoopbackSim.h"
#include "controls/UC_Buttons/UC_Buttons.h"
#include "measurement/TestSignal.h"
#include "support/Paths.h"
#include "tests/window/FrmMainFixture.h"
#include "tests/window/SilentBackend.h"
#include "widgets/PictureBox.h"

namespace {

using zarin_test::FrmMainResultsTest;
using zarin_test::kMs;

QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

TEST_F(FrmMainResultsTest, NewResultsTakeFreeNumbersAndLeaveOtherFilesAlone) {
  const QString users = dir.filePath("01.dat"), dropped = dir.filePath("02.fft"), gone = dir.filePath("03.dat");
  Write(users, "a user's own file");
  Write(dropped, "dropped on the list");
  Write(gone, "dropped, then deleted outside");
  FrmMain w;
  w.LV_OLEDragDrop({dropped, gone}, 100000);
  QFile::remove(gone);  // only the list points at 03 now
  for (const measurement::SignalMode mode : {measurement::SignalMode::Sweep, measurement::SignalMode::Noise}) {
    PickLoopbackAt(w, "8000", 2, mode);
    w.RecButton_ButtonClicked(0);
    TickUntilIdle(w);
  }
  EXPECT_EQ(Bytes(users), "a user's own file");
  EXPECT_EQ(Bytes(dropped), "dropped on the list");
  EXPECT_FALSE(QFile::exists(gone));
  EXPECT_EQ(Names(w), (QStringList{"03", "02", "04", "05"}));
  EXPECT_TRUE(QFile::exists(dir.filePath("04.dat")));
  EXPECT_TRUE(QFile::exists(dir.filePath("05.fft")));
  // Closing removes only the runs' own files.
  w.close();
  EXPECT_EQ(Bytes(users), "a user's own file");
  EXPECT_EQ(Bytes(dropped), "dropped on the list");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(FrmMainResultsTest, AResultThatCannotBeWrittenIsReportedAndNotListed) {
  Write(dir.filePath("plain"), "x");
  basic::WriteSetting("DataPath", dir.filePath("plain") + "/");  // a "folder" that is a file
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Noise);
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  EXPECT_EQ(w.LV->ItemCount(), 0);
  ASSERT_EQ(questions.size(), 1);
  EXPECT_TRUE(questions[0].startsWith(QStringLiteral("測定結果を保存できませんでした。")))
      << questions[0].toStdString();
  EXPECT_FALSE(w.m_Run.Running());
}

TEST_F(FrmMainResultsTest, ALineWhoseFileIsGoneSaysSoAndLeavesThePicture) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  const QString junk = dir.filePath("junk.fft");
  Write(junk, "not a spectrum");
  w.LV_OLEDragDrop({junk}, 100000);
  ASSERT_EQ(Names(w), (QStringList{"01", "junk"}));
  const QImage before = w.PictureFFT->Image().copy();
  QFile::remove(dir.filePath("01.dat"));
  for (const int32_t item : {0, 1}) {
    w.LV->SetSelectedItem(item);
    w.LV_Clicked(0, 0);
  }
  ASSERT_EQ(questions.size(), 2);
  EXPECT_TRUE(questions[0].startsWith(QStringLiteral("測定結果を読み込めませんでした。")));
  EXPECT_TRUE(questions[1].endsWith(junk));
  EXPECT_EQ(w.PictureFFT->Image(), before);
  EXPECT_EQ(w.Shown().mode, measurement::SignalMode::Sweep);
}

class SaveAsTest : public FrmMainResultsTest {
 protected:
  void SetUp() override {
    FrmMainResultsTest::SetUp();
    QDir().mkpath(dir.filePath("saved"));
    source = dir.filePath("01.fft");
    Write(source, QByteArray(300000, 's'));
    old = basic::SetFilePresenter([this](int32_t, const QString&, const QString&, const QString&) { return pick; });
  }
  void TearDown() override {
    basic::SetFilePresenter(old);
    basic::SetCopyFault({});
    FrmMainResultsTest::TearDown();
  }
  QString source, pick;
  basic::FilePresenter old;
};

TEST_F(SaveAsTest, TheQuestionNamesTheFileThatWouldBeReplaced) {
  FrmMain w;
  w.AddResultItem(source, -2, 1);
  w.LV->SetSelectedItem(0);
  const QString target = dir.filePath("saved/mine.fft");
  Write(target, "older result");
  pick = dir.filePath("saved/mine");  // typed without the extension
  answer = basic::vbNo;
  w.MenuSave_Click();
  ASSERT_EQ(questions.size(), 1);
  EXPECT_TRUE(questions[0].startsWith(target)) << questions[0].toStdString();
  EXPECT_EQ(Bytes(target), "older result");
  answer = basic::vbYes;
  w.MenuSave_Click();
  EXPECT_EQ(Bytes(target), Bytes(source));
  EXPECT_EQ(questions.size(), 2);
}

TEST_F(SaveAsTest, ACopyThatFailsPartWayLeavesTheTargetAsItWas) {
  FrmMain w;
  w.AddResultItem(source, -2, 1);
  w.LV->SetSelectedItem(0);
  const QString target = dir.filePath("saved/mine.fft");
  Write(target, "older result");
  Write(target + ".part", "the user's own .part file");
  basic::SetCopyFault([](int64_t copied) { return copied > 100000; });
  pick = target;
  w.MenuSave_Click();
  EXPECT_EQ(Bytes(target), "older result");
  EXPECT_EQ(Bytes(target + ".part"), "the user's own .part file");
  EXPECT_EQ(QDir(dir.filePath("saved")).entryList(QDir::Files | QDir::Hidden).size(), 2);  // no leftovers
  ASSERT_EQ(questions.size(), 2);  // replace? yes; then the failure
  EXPECT_TRUE(questions[1].startsWith(QStringLiteral("保存できませんでした。")));
  EXPECT_EQ(Bytes(source), QByteArray(300000, 's'));
}

class DeviceFailureTest : public FrmMainResultsTest {
 protected:
  // A second run through a fresh simulator completes.
  void ASecondRunCompletes(FrmMain& w) {
    std::vector<std::unique_ptr<WaveMMIO::SoundBackend>> backends;
    backends.push_back(std::make_unique<WaveMMIO::LoopbackBackend>([clock = now] { return *clock; }));
    WaveMMIO::SoundHost::Instance().SetBackends(std::move(backends), [clock = now] { return *clock; });
    PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Noise);
    w.RecButton_ButtonClicked(0);
    ASSERT_TRUE(w.m_Run.Running());
    TickUntilIdle(w);
    EXPECT_EQ(Names(w), QStringList{"01"});
  }
  // Ticks every 5 ms until the run ends; the simulated time it took.
  int64_t TicksToEnd(FrmMain& w) {
    const int64_t start = *now;
    for (int i = 0; i < 100000 && w.m_Run.Running(); ++i) {
      *now += 5 * kMs;
      w.TimerRec_Timer();
    }
    return *now - start;
  }
};

TEST_F(DeviceFailureTest, AnUnpluggedDeviceEndsTheRunAtOnce) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 10, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  for (int i = 0; i < 100; ++i) {
    *now += 5 * kMs;
    w.TimerRec_Timer();
  }
  cable->Unplug();
  EXPECT_LE(TicksToEnd(w), 5 * kMs);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0].toStdString(),
            WaveMMIO::WaveErrorText(WaveMMIO::DeviceError::NoDriver, WaveMMIO::Direction::Input));
  EXPECT_EQ(w.RecButton->ButtonChar(0), "開始");
  EXPECT_FALSE(w.TimerRec->isActive());
  EXPECT_EQ(w.LV->ItemCount(), 0);
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
  ASecondRunCompletes(w);
}

TEST_F(DeviceFailureTest, ACaptureThatStopsMovingEndsTheRunAfterFiveSeconds) {
  zarin_test::SilentFaults faults;
  faults.captureStopsAt = 4000;  // half a second into a 10 s run at 8 kHz
  std::vector<std::unique_ptr<WaveMMIO::SoundBackend>> backends;
  backends.push_back(std::make_unique<zarin_test::SilentBackend>([clock = now] { return *clock; }, faults));
  WaveMMIO::SoundHost::Instance().SetBackends(std::move(backends), [clock = now] { return *clock; });
  FrmMain w;
  PickLoopbackAt(w, "8000", 10, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  ASSERT_TRUE(w.m_Run.Running());
  const int64_t took = TicksToEnd(w);
  EXPECT_GE(took, 5500 * kMs);  // the stall began at 0.5 s
  EXPECT_LE(took, 5510 * kMs);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0].toStdString(),
            WaveMMIO::WaveErrorText(WaveMMIO::DeviceError::NoDriver, WaveMMIO::Direction::Input));
  EXPECT_EQ(w.LV->ItemCount(), 0);
  ASecondRunCompletes(w);
}

TEST_F(DeviceFailureTest, AnOutputThatNeverFinishesEndsTheRunFiveSecondsLate) {
  zarin_test::SilentFaults faults;
  faults.outputNeverDone = true;
  std::vector<std::unique_ptr<WaveMMIO::SoundBackend>> backends;
  backends.push_back(std::make_unique<zarin_test::SilentBackend>([clock = now] { return *clock; }, faults));
  WaveMMIO::SoundHost::Instance().SetBackends(std::move(backends), [clock = now] { return *clock; });
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Noise);
  w.RecButton_ButtonClicked(0);
  const int64_t took = TicksToEnd(w);
  // The capture runs on past the 2 s of playback by the delay search range
  // (a quarter of the run): the run should have ended at 2.5 s.
  EXPECT_GE(took, 7500 * kMs);
  EXPECT_LE(took, 7510 * kMs);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0].toStdString(),
            WaveMMIO::WaveErrorText(WaveMMIO::DeviceError::NoDriver, WaveMMIO::Direction::Output));
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
  ASecondRunCompletes(w);
}

}  // namespace
