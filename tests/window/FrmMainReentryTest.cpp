// Clicks that arrive at the awkward moments: while a run completes (it stops,
// is analysed, saved and listed, and drawing lets window events through) and
// while a run starts (the wait between playback and capture). They are posted
// to the event queue so that they reach the window exactly there.
#include <QCoreApplication>
#include <QDir>
#include <gtest/gtest.h>

#include <cmath>

#include "controls/UC_Buttons/UC_Buttons.h"
#include "measurement/ResultFiles.h"
#include "measurement/TestSignal.h"
#include "tests/window/FrmMainFixture.h"
#include "widgets/PictureBox.h"

namespace {

using zarin_test::FrmMainResultsTest;
using zarin_test::kMs;

class ReentryTest : public FrmMainResultsTest {
 protected:
  // A press of the start/stop button, as the user's click delivers it.
  static void PostStartClick(FrmMain& w) {
    QMetaObject::invokeMethod(
        w.RecButton, [&w] { emit w.RecButton->ButtonClicked(0); }, Qt::QueuedConnection);
  }
  // A press made as soon as the button reads text: while it does not, the
  // press waits for the next pass of window events.
  static void PostClickOnceItReads(FrmMain& w, const QString& text) {
    QMetaObject::invokeMethod(
        w.RecButton,
        [&w, text] {
          if (w.RecButton->ButtonChar(0) == text) emit w.RecButton->ButtonClicked(0);
          else PostClickOnceItReads(w, text);
        },
        Qt::QueuedConnection);
  }
  static void PostListClick(FrmMain& w, int32_t item) {
    QMetaObject::invokeMethod(
        w.LV,
        [&w, item] {
          w.LV->SetSelectedItem(item);
          emit w.LV->Clicked(0, 0);
        },
        Qt::QueuedConnection);
  }
  static void PostClose(FrmMain& w) {
    QMetaObject::invokeMethod(
        &w, [&w] { w.close(); }, Qt::QueuedConnection);
  }
  // Ticks until both buffers are done: the next tick completes the run.
  void TickUntilComplete(FrmMain& w) {
    for (int i = 0; i < 10000; ++i) {
      *now += 5 * kMs;
      if (w.m_Run.CaptureDevice().Done() && w.m_Run.PlaybackDevice().Done()) break;
      w.TimerRec_Timer();
    }
    ASSERT_TRUE(w.m_Run.Running());
  }
  static void RunPostedEvents() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  // A noise result at 22050 Hz on the list, dropped from outside.
  QString DropNoiseResult(FrmMain& w) {
    measurement::Result other;
    other.mode = measurement::SignalMode::Noise;
    other.sampleRate = 22050;
    other.spectrum.values.fill(100.0f);
    const QString path = dir.filePath("other.fft");
    EXPECT_TRUE(measurement::SaveResultFile(path, other));
    w.LV_OLEDragDrop({path}, 100000);
    return path;
  }
  // What a stored result holds.
  static measurement::Result Load(const QString& path) {
    measurement::LoadedResult r = measurement::LoadResultFile(path);
    EXPECT_EQ(r.outcome, path.endsWith(".dat") ? measurement::LoadOutcome::Sweep : measurement::LoadOutcome::Noise);
    return std::move(r.result);
  }
  // The cable passes the -3 dB sweep 6 dB down.
  static constexpr double kSweepMiddle = 23197 / 1.4142135623730951 / 2;
};

TEST_F(ReentryTest, AResultFromTheListIsShownWithoutTouchingTheRun) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  const std::vector<int16_t> envelope = w.m_Run.Current().envelope;
  DropNoiseResult(w);
  ASSERT_EQ(Names(w), (QStringList{"01", "other"}));
  w.LV->SetSelectedItem(1);
  w.LV_Clicked(0, 0);
  // The window shows the noise result at its rate ...
  EXPECT_EQ(w.Shown().mode, measurement::SignalMode::Noise);
  EXPECT_EQ(w.Shown().sampleRate, 22050);
  const uint32_t line = w.LV->DispColor(1);
  int ink = 0;
  for (int y = 0; y < w.PictureFFT->PixelHeight(); ++y)
    for (int x = 0; x < w.PictureFFT->PixelWidth(); ++x) ink += w.PictureFFT->Pixel(x, y) == line;
  EXPECT_GT(ink, 100);
  // ... while the run keeps what it measured, its devices closed.
  EXPECT_EQ(w.m_Run.Current().mode, measurement::SignalMode::Sweep);
  EXPECT_EQ(w.m_Run.Current().sampleRate, 8000);
  EXPECT_EQ(w.m_Run.Current().envelope, envelope);
  EXPECT_FALSE(w.m_Run.CaptureDevice().IsOpen());
  EXPECT_FALSE(w.m_Run.PlaybackDevice().IsOpen());
  // The next run is shown again from its start.
  PickLoopbackAt(w, "11025", 2, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  EXPECT_EQ(w.Shown().sampleRate, 11025);
  EXPECT_EQ(w.Shown().mode, measurement::SignalMode::Sweep);
  TickUntilIdle(w);
}

TEST_F(ReentryTest, AStartClickWhileARunCompletesWaitsUntilItsResultIsSaved) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  TickUntilComplete(w);
  // The user has picked noise at 48 kHz for the next run and presses "開始"
  // just as this one completes.
  w.ComboMode->setCurrentIndex(static_cast<int>(measurement::SignalMode::Noise));
  w.ComboFreq->setCurrentText("48000");
  PostClickOnceItReads(w, QStringLiteral("開始"));
  w.TimerRec_Timer();
  ASSERT_EQ(Names(w), QStringList{"01"});
  const measurement::Result saved = Load(dir.filePath("01.dat"));
  EXPECT_EQ(saved.sampleRate, 8000);
  ASSERT_EQ(saved.envelope.size(), 16000u);
  EXPECT_NEAR(saved.envelope[8000], kSweepMiddle, 600);
  EXPECT_FALSE(QFile::exists(dir.filePath("01.fft")));
  // Then the click starts the next run, with its own mode and rate.
  RunPostedEvents();
  ASSERT_TRUE(w.m_Run.Running());
  EXPECT_EQ(w.Shown().mode, measurement::SignalMode::Noise);
  EXPECT_EQ(w.Shown().sampleRate, 48000);
  TickUntilIdle(w);
  EXPECT_EQ(Names(w), (QStringList{"01", "02"}));
  EXPECT_EQ(Load(dir.filePath("02.fft")).sampleRate, 48000);
  EXPECT_EQ(Load(dir.filePath("01.dat")).envelope, saved.envelope);
}

TEST_F(ReentryTest, AStopClickAsTheRunEndsStartsNothing) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  TickUntilComplete(w);
  ASSERT_EQ(w.RecButton->ButtonChar(0), QStringLiteral("停止"));
  PostStartClick(w);  // pressed while the button still reads "停止"
  w.TimerRec_Timer();
  RunPostedEvents();
  EXPECT_FALSE(w.m_Run.Running());
  EXPECT_EQ(w.RecButton->ButtonChar(0), QStringLiteral("開始"));
  ASSERT_EQ(Names(w), QStringList{"01"});
  EXPECT_EQ(Load(dir.filePath("01.dat")).sampleRate, 8000);
}

TEST_F(ReentryTest, AListClickWhileARunCompletesShowsThatResultAfterwards) {
  FrmMain w;
  DropNoiseResult(w);
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  TickUntilComplete(w);
  PostListClick(w, 0);
  w.TimerRec_Timer();
  // The finished sweep is saved as itself...
  ASSERT_EQ(Names(w), (QStringList{"other", "01"}));
  const measurement::Result saved = Load(dir.filePath("01.dat"));
  EXPECT_EQ(saved.sampleRate, 8000);
  ASSERT_EQ(saved.envelope.size(), 16000u);
  EXPECT_NEAR(saved.envelope[8000], kSweepMiddle, 600);
  // ...and then the clicked result is loaded.
  RunPostedEvents();
  EXPECT_EQ(w.Shown().mode, measurement::SignalMode::Noise);
  EXPECT_EQ(w.Shown().sampleRate, 22050);
}

TEST_F(ReentryTest, AListClickWhileARunStartsDoesNotChangeThatRun) {
  FrmMain w;
  DropNoiseResult(w);
  w.m_Run.SetBufferDelayMs(30);  // the start waits, letting window events through
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Sweep);
  PostListClick(w, 0);
  w.RecButton_ButtonClicked(0);
  ASSERT_TRUE(w.m_Run.Running());
  RunPostedEvents();  // the kept click finds a run going and is not taken
  EXPECT_EQ(w.Shown().mode, measurement::SignalMode::Sweep);
  EXPECT_EQ(w.Shown().sampleRate, 8000);
  TickUntilIdle(w);
  ASSERT_EQ(Names(w), (QStringList{"other", "01"}));
  const measurement::Result saved = Load(dir.filePath("01.dat"));
  EXPECT_EQ(saved.sampleRate, 8000);
  ASSERT_EQ(saved.envelope.size(), 16000u);
  EXPECT_NEAR(saved.envelope[8000], kSweepMiddle, 600);
}

TEST_F(ReentryTest, ASecondStartClickWhileARunStartsIsNotAStop) {
  FrmMain w;
  w.m_Run.SetBufferDelayMs(30);
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Sweep);
  PostStartClick(w);
  w.RecButton_ButtonClicked(0);
  RunPostedEvents();
  EXPECT_TRUE(w.m_Run.Running());
  TickUntilIdle(w);
  EXPECT_EQ(Names(w), QStringList{"01"});
}

TEST_F(ReentryTest, ClosingWhileARunCompletesKeepsWhatWasSaved) {
  FrmMain w;
  const QString dropped = DropNoiseResult(w);
  const QString kept = dir.filePath("kept.dat");
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  TickUntilComplete(w);
  PostClose(w);
  w.TimerRec_Timer();
  EXPECT_TRUE(questions.isEmpty());  // the question waits for the result to be listed
  ASSERT_EQ(Names(w), (QStringList{"other", "01"}));
  // Saved elsewhere before the close: survives it.
  const auto old =
      basic::SetFilePresenter([&](int32_t, const QString&, const QString&, const QString&) { return kept; });
  w.LV->SetSelectedItem(1);
  w.MenuSave_Click();
  basic::SetFilePresenter(old);
  RunPostedEvents();
  ASSERT_EQ(questions, QStringList{QStringLiteral("終了しますか？")});
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(w.m_Run.CaptureDevice().IsOpen());
  EXPECT_FALSE(w.m_Run.PlaybackDevice().IsOpen());
  EXPECT_TRUE(QFile::exists(dropped));
  EXPECT_TRUE(QFile::exists(kept));
  EXPECT_FALSE(QFile::exists(dir.filePath("01.dat")));  // the run's own file goes at close, as always
  // The copy kept its response beside it; nothing else is left behind.
  EXPECT_TRUE(QFile::exists(dir.filePath("kept.ir.wav")));
  EXPECT_TRUE(QFile::exists(dir.filePath("kept.json")));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 4);
}

TEST_F(ReentryTest, ClosingWhileARunStartsClosesItsDevices) {
  FrmMain w;
  w.show();
  w.m_Run.SetBufferDelayMs(30);
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Sweep);
  PostClose(w);
  w.RecButton_ButtonClicked(0);
  RunPostedEvents();
  EXPECT_EQ(questions, QStringList{QStringLiteral("終了しますか？")});
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(w.m_Run.Running());
  EXPECT_FALSE(w.m_Run.CaptureDevice().IsOpen());
  EXPECT_FALSE(w.m_Run.PlaybackDevice().IsOpen());
  EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

}  // namespace
