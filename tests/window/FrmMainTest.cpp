#include "window/FrmMain.h"

#include <QAction>
#include <QComboBox>
#include <QSettings>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

#include "audio/LoopbackSim.h"
#include "controls/UC_Buttons/UC_Buttons.h"
#include "controls/UC_Slider/UC_Slider.h"
#include "controls/UC_TextPicture/UC_TextPicture.h"
#include "support/Paths.h"
#include "support/Settings.h"
#include "tests/window/FrmMainFixture.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageBox.h"
#include "widgets/PictureBox.h"

using WaveMMIO::LoopbackBackend;
using zarin_test::FrmMainResultsTest;
using zarin_test::FrmMainTest;
using zarin_test::kMs;

namespace {

TEST_F(FrmMainTest, StartsWithTheDefaultsWhenNothingIsStored) {
  FrmMain w;
  EXPECT_EQ(w.windowTitle(), "zarin");
  EXPECT_EQ(w.m_Loaded, 1);
  EXPECT_EQ(w.SliderValue[0]->Value(), 10);
  EXPECT_EQ(w.SliderValue[1]->Value(), -30);
  EXPECT_EQ(w.TextValue[0]->Text(), "10");
  EXPECT_EQ(w.TextValue[1]->Text(), "-3.0");
  EXPECT_EQ(w.ComboFreq->currentText(), "44100");
  EXPECT_EQ(w.ComboMode->currentIndex(), 0);
  EXPECT_EQ(w.ComboMode->itemText(1), "ホワイトノイズ");
  EXPECT_EQ(w.m_OffsetDb, -6.0f);
  EXPECT_EQ(w.m_Run.DataFolder(), basic::AppFolder());
  EXPECT_EQ(w.ComboDev[0]->currentIndex(), -1);  // nothing stored: nothing selected
  EXPECT_EQ(w.ComboDev[0]->itemText(0), LoopbackBackend::kDeviceName);
  EXPECT_EQ(w.m_FFT.PointCount(), 2048);
  EXPECT_EQ(w.RecButton->ButtonChar(0), "開始");
  EXPECT_EQ(w.ClearButton->ButtonChar(0), "クリア");
  EXPECT_EQ(w.TimerRec->interval(), 5);
  EXPECT_FALSE(w.TimerRec->isActive());
  // Design positions, twips to pixels at 15 twips per pixel.
  // The spectrum area follows the window: (13830 - 2 * 105) x (7620 - 4260 - 255 - 105 - 30) twips.
  EXPECT_EQ(w.PictureFFT->geometry(), QRect(7, 284, 908, 198));
  EXPECT_EQ(w.PictureWave->geometry(), QRect(7, 165, 464, 115));
  EXPECT_EQ(w.ComboFreq->geometry(), QRect(359, 11, 114, 20));
  EXPECT_EQ(w.PictureA->PixelWidth(), 12);
}

// Pixels of a grabbed widget image whose colour is near 0x00BBGGRR `color`.
double ShareNear(QWidget* w, uint32_t color) {
  const QImage img = w->grab().toImage();
  const int r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
  int near = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb p = img.pixel(x, y);
      near += std::abs(qRed(p) - r) <= 40 && std::abs(qGreen(p) - g) <= 40 && std::abs(qBlue(p) - b) <= 40 &&
              qBlue(p) - qRed(p) >= 20;
    }
  return img.isNull() ? 0.0 : static_cast<double>(near) / (img.width() * img.height());
}

TEST_F(FrmMainTest, TheChoiceBoxesShowTheirBackgroundColour) {
  FrmMain w;
  for (QComboBox* c : {w.ComboDev[0], w.ComboDev[1], w.ComboFreq, w.ComboMode})
    EXPECT_GT(ShareNear(c, 0xE0B0B0), 0.5) << c->currentText().toStdString();
}

TEST_F(FrmMainTest, StoredSettingsComeBackAndBadOnesAreSkipped) {
  basic::WriteSetting("PlayLevel", -12.5f);
  basic::WriteSetting("PlaySec", int16_t{30});
  basic::WriteSetting("CheckMode", int32_t{7});
  basic::WriteSetting("nFreq", int32_t{12345});
  basic::WriteSetting("RMSP3mon", int32_t{1});
  basic::WriteSetting("DeviceIn", QString(LoopbackBackend::kDeviceName));
  basic::WriteSetting("BufferDelayMS", int16_t{25});
  FrmMain w;
  EXPECT_EQ(w.SliderValue[1]->Value(), -125);
  EXPECT_EQ(w.TextValue[1]->Text(), "-12.5");
  EXPECT_EQ(w.SliderValue[0]->Value(), 30);
  EXPECT_EQ(w.ComboMode->currentIndex(), -1);
  EXPECT_EQ(w.ComboFreq->currentIndex(), -1);
  EXPECT_EQ(w.m_RmsP3, 1);
  EXPECT_TRUE(w.MenuRMSP3->isChecked());
  EXPECT_EQ(w.ComboDev[1]->currentIndex(), 0);
  EXPECT_EQ(w.m_Run.BufferDelayMs(), 25);
  w.MenuRMSP3->trigger();
  EXPECT_EQ(w.m_RmsP3, 0);
  EXPECT_FALSE(w.MenuRMSP3->isChecked());
}

TEST_F(FrmMainResultsTest, TheButtonStartsARunThatEndsByItself) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Noise);
  w.RecButton_ButtonClicked(0);
  ASSERT_TRUE(w.m_Run.Running());
  EXPECT_EQ(w.RecButton->ButtonChar(0), "停止");
  EXPECT_TRUE(w.TimerRec->isActive());
  TickUntilIdle(w);
  EXPECT_FALSE(w.m_Run.Running());
  EXPECT_EQ(w.RecButton->ButtonChar(0), "開始");
  EXPECT_FALSE(w.TimerRec->isActive());
  EXPECT_EQ(w.m_Run.ResultNumber(), 1);
  // The noise run folded frames into the spectrum on the way.
  EXPECT_GT(w.m_Run.Current().spectrum.count, 10);
  EXPECT_GT(w.m_Run.Current().spectrum.values[100], 0.0f);
}

TEST_F(FrmMainResultsTest, ASweepRunEndsWithItsEnvelope) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  ASSERT_EQ(w.m_Run.Current().envelope.size(), 16000u);
  // -3 dB played, -6 dB through the cable: about 23197 / sqrt 2 / 2 in the middle.
  EXPECT_NEAR(w.m_Run.Current().envelope[8000], 23197 / std::sqrt(2.0) / 2, 600);
}

TEST_F(FrmMainTest, TheButtonStopsARunAtOnce) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  *now += 300 * kMs;
  w.TimerRec_Timer();
  w.RecButton_ButtonClicked(0);
  EXPECT_FALSE(w.m_Run.Running());
  EXPECT_FALSE(w.m_Run.CaptureDevice().IsOpen());
  EXPECT_EQ(w.m_Run.ResultNumber(), 0);
  EXPECT_EQ(w.RecButton->ButtonChar(0), "開始");
}

TEST_F(FrmMainTest, AFailedOpenShowsTheErrorAndStaysIdle) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Sweep);
  w.ComboFreq->addItem("4000");  // a rate the simulator refuses
  w.ComboFreq->setCurrentText("4000");
  w.RecButton_ButtonClicked(0);
  EXPECT_FALSE(w.m_Run.Running());
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(w.RecButton->ButtonChar(0), "開始");
  EXPECT_EQ(basic::MousePointer(), basic::vbDefault);
}

TEST_F(FrmMainTest, ClosingDuringARunClosesTheDevicesFirst) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  ASSERT_TRUE(w.m_Run.PlaybackDevice().IsOpen());
  w.close();
  EXPECT_FALSE(w.m_Run.Running());
  EXPECT_FALSE(w.m_Run.CaptureDevice().IsOpen());
  EXPECT_FALSE(w.m_Run.PlaybackDevice().IsOpen());
}

}  // namespace

#include <QFile>
#include <QTemporaryDir>

#include "controls/UC_ListView/UC_ListView.h"

namespace {

TEST_F(FrmMainResultsTest, RunsBecomeListItemsAndClosingRemovesTheirFiles) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Noise);
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  ASSERT_EQ(Names(w), (QStringList{"01", "02"}));
  EXPECT_TRUE(QFile::exists(dir.filePath("01.fft")));
  EXPECT_EQ(QFile(dir.filePath("01.fft")).size(), 4104);
  EXPECT_TRUE(QFile::exists(dir.filePath("02.dat")));
  EXPECT_EQ(w.LV->DispColor(1), 0xFF8080u);
  const QString dropped = Touch("kept.fft");
  w.LV_OLEDragDrop({dropped}, 100000);
  ASSERT_EQ(w.LV->ItemCount(), 3);

  // Clicking the noise result loads it back and draws it in its colour.
  w.LV->SetSelectedItem(0);
  w.LV_Clicked(0, 0);
  EXPECT_EQ(w.Shown().mode, measurement::SignalMode::Noise);

  answer = basic::vbNo;
  w.close();
  EXPECT_TRUE(QFile::exists(dir.filePath("01.fft")));  // "No" keeps everything
  answer = basic::vbYes;
  w.close();
  EXPECT_EQ(questions.size(), 2);
  EXPECT_EQ(questions[0], QStringLiteral("終了しますか？"));
  EXPECT_FALSE(QFile::exists(dir.filePath("01.fft")));
  EXPECT_FALSE(QFile::exists(dir.filePath("02.dat")));
  EXPECT_TRUE(QFile::exists(dropped));
  EXPECT_EQ(basic::ReadSetting("CheckMode", int32_t{9}), "1");  // the noise result loaded last
  EXPECT_EQ(basic::ReadSetting("PlaySec", int16_t{9}), "2");
}

TEST_F(FrmMainResultsTest, AfterTheOnlyResultWasDeletedTheNextOneIsNotSelected) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Noise);
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  ASSERT_EQ(w.LV->ItemCount(), 1);
  w.LV->SetSelectedItem(0);  // as a click on it does
  w.MenuDelete_Click();
  ASSERT_EQ(w.LV->ItemCount(), 0);
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  ASSERT_EQ(w.LV->ItemCount(), 1);
  EXPECT_EQ(w.LV->IsSelected(0), 0);
  EXPECT_EQ(w.LV->SelectedItem(), -1);
}

TEST_F(FrmMainResultsTest, DroppedFilesLandReversedAtTheDropRow) {
  FrmMain w;
  w.LV_OLEDragDrop({Touch("a.fft"), Touch("b.fft"), Touch("c.fft")}, 100000);
  EXPECT_EQ(Names(w), (QStringList{"c", "b", "a"}));
  // Each file takes the next colour as it arrives, and keeps it.
  EXPECT_EQ(w.LV->DispColor(0), 0xFFFF80u);
  EXPECT_EQ(w.LV->DispColor(2), 0xFF80FFu);
  EXPECT_EQ(w.LV->AuxID(0, 1).toInt(), 0);
  w.LV->SetSelectedItem(0);
  w.MenuDelete_Click();
  EXPECT_EQ(Names(w), (QStringList{"b", "a"}));
  EXPECT_EQ(w.LV->DispColor(0), 0xFF8080u);
  EXPECT_TRUE(QFile::exists(dir.filePath("c.fft")));  // dropped files only leave the list
  // The next file takes the colour the deleted one left free.
  w.LV_OLEDragDrop({Touch("d.fft")}, 0);
  EXPECT_EQ(Names(w), (QStringList{"d", "b", "a"}));
  EXPECT_EQ(w.LV->DispColor(0), 0xFFFF80u);
  EXPECT_EQ(w.LV->DispColor(1), 0xFF8080u);
  EXPECT_EQ(w.LV->DispColor(2), 0xFF80FFu);
}

TEST_F(FrmMainResultsTest, SaveAsAddsTheExtensionAndNeverDeletesTheSource) {
  FrmMain w;
  QFile src(dir.filePath("01.fft"));
  ASSERT_TRUE(src.open(QIODevice::WriteOnly));
  src.write("spectrum");
  src.close();
  w.AddResultItem(src.fileName(), -2, 1);
  w.LV->SetSelectedItem(0);
  QDir().mkpath(dir.filePath("saved"));
  QString pick = dir.filePath("saved/mine");
  const auto old =
      basic::SetFilePresenter([&](int32_t, const QString&, const QString&, const QString&) { return pick; });
  w.MenuSave_Click();
  EXPECT_TRUE(QFile::exists(dir.filePath("saved/mine.fft")));
  EXPECT_EQ(basic::ReadSetting("SaveFolder", QString()), dir.filePath("saved") + "/");
  pick = src.fileName();  // onto itself
  w.MenuSave_Click();
  ASSERT_TRUE(src.open(QIODevice::ReadOnly));
  EXPECT_EQ(src.readAll(), "spectrum");
  basic::SetFilePresenter(old);
}

}  // namespace

#include <QCoreApplication>
#include <QMouseEvent>
#include <QProcess>

namespace {

void Click(QWidget* w, QPoint at) {
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(w, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), QPointF(w->mapToGlobal(at)), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &release);
}

// Ink of one colour in a picture.
int Ink(const basic::PictureBox* pic, uint32_t color) {
  int n = 0;
  for (int y = 0; y < pic->PixelHeight(); ++y)
    for (int x = 0; x < pic->PixelWidth(); ++x) n += pic->Pixel(x, y) == color;
  return n;
}

// The whole program through the simulator: stored settings name the
// loopback devices and 2 s runs; clicks start a sweep and a noise run.
TEST_F(FrmMainResultsTest, ASweepAndANoiseRunEndToEnd) {
  basic::WriteSetting("DeviceOut", QString(LoopbackBackend::kDeviceName));
  basic::WriteSetting("DeviceIn", QString(LoopbackBackend::kDeviceName));
  basic::WriteSetting("PlaySec", int16_t{2});
  basic::WriteSetting("nFreq", int32_t{48000});
  FrmMain w;
  w.show();
  ASSERT_EQ(w.ComboDev[0]->currentText(), LoopbackBackend::kDeviceName);
  for (int mode : {0, 1}) {
    w.ComboMode->setCurrentIndex(mode);
    Click(w.RecButton->PictureButton(), {50, 10});
    ASSERT_TRUE(w.m_Run.Running()) << mode;
    TickUntilIdle(w);
    // The run's curve in the colour its list line gets.
    EXPECT_GT(Ink(w.PictureFFT, w.m_TraceColors[static_cast<size_t>(mode)]), 100) << mode;
  }
  ASSERT_EQ(Names(w), (QStringList{"01", "02"}));
  EXPECT_EQ(QFile(dir.filePath("01.dat")).size(), 44 + 2 * 96000);
  EXPECT_EQ(QFile(dir.filePath("02.fft")).size(), 4104);
  EXPECT_EQ(w.LV->DispColor(0), w.m_TraceColors[0]);
  EXPECT_EQ(w.LV->DispColor(1), w.m_TraceColors[1]);
  // Both curves at once: the sweep drawn over the live noise result.
  w.LV->SetSelectedItem(0);
  w.LV_Clicked(0, 0);
  EXPECT_GT(Ink(w.PictureFFT, w.m_TraceColors[0]), 100);
  w.grab().save(QCoreApplication::applicationDirPath() + "/../zarin-after-two-runs.png");

  w.close();
  EXPECT_FALSE(QFile::exists(dir.filePath("01.dat")));
  EXPECT_FALSE(QFile::exists(dir.filePath("02.fft")));
  EXPECT_EQ(basic::ReadSetting("nFreq", int32_t{0}), "48000");
  EXPECT_EQ(basic::ReadSetting("PlayLevel", 0.0f), "-3.0");
  EXPECT_EQ(basic::ReadSetting("Offsetdb", 0.0f), "-6.0");
  EXPECT_EQ(basic::ReadSetting("DeviceOut", QString()), LoopbackBackend::kDeviceName);
}

TEST_F(FrmMainTest, ANarrowWindowKeepsItsLayout) {
  FrmMain w;
  w.show();
  const QRect before = w.PictureFFT->geometry();
  w.resize(basic::TwipsToPixels(6960 + 1999) - (w.frameGeometry().width() - w.width()), w.height());
  EXPECT_EQ(w.PictureFFT->geometry(), before);
  w.resize(basic::TwipsToPixels(13830 + 1500), w.height());
  EXPECT_GT(w.PictureFFT->width(), before.width());
}

TEST_F(FrmMainTest, ASecondInstanceEndsAtOnce) {
  FrmMain first;
  ASSERT_FALSE(first.AnotherInstance());
  FrmMain second;
  EXPECT_TRUE(second.AnotherInstance());
  EXPECT_EQ(second.m_Loaded, 0);
#ifdef ZARIN_EXE
  // The program itself: exit status 0, while this process holds the lock.
  QProcess p;
  p.setProgram(QStringLiteral(ZARIN_EXE));
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  p.setProcessEnvironment(env);
  p.start();
  ASSERT_TRUE(p.waitForFinished(20000));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 0);
#endif
}

}  // namespace

#include <QWheelEvent>

namespace {

TEST_F(FrmMainResultsTest, TheWheelScrollsTheList) {
  FrmMain w;
  w.show();
  QStringList files;
  for (int i = 0; i < 40; ++i) files << Touch(QStringLiteral("r%1.fft").arg(i));
  w.LV_OLEDragDrop(files, 0);
  ASSERT_TRUE(w.LV->VBarVisible());
  const QPoint over = w.LV->geometry().center();
  QWheelEvent wheel(QPointF(over), QPointF(w.mapToGlobal(over)), QPoint(), QPoint(0, -240), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(&w, &wheel);
  EXPECT_EQ(w.LV->TopItem(), 6);  // two notches, three rows each
}

}  // namespace
