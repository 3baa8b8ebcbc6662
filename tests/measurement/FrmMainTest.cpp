#include "measurement/FrmMain.h"

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
#include "support/MessageBox.h"
#include "support/Paths.h"
#include "support/Settings.h"
#include "support/Surface.h"

using WaveMMIO::LoopbackBackend;

namespace {

constexpr int64_t kMs = 1'000'000;

class FrmMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "morvane", "zarin").clear();
    std::vector<std::unique_ptr<WaveMMIO::SoundBackend>> backends;
    backends.push_back(std::make_unique<LoopbackBackend>([clock = now] { return *clock; }));
    WaveMMIO::SoundHost::Instance().SetBackends(std::move(backends));
    basic::SetMessagePresenter([this](const QString&, const QString& text, basic::MsgIcon) { messages << text; });
  }
  void TearDown() override { basic::SetMessagePresenter({}); }

  void PickLoopbackAt(FrmMain& w, const QString& rate, int seconds, int mode) {
    w.ComboDev[0]->setCurrentIndex(0);
    w.ComboDev[1]->setCurrentIndex(0);
    w.ComboFreq->setCurrentText(rate);
    w.ComboMode->setCurrentIndex(mode);
    w.SliderValue[0]->SetValue(seconds);
  }
  void TickUntilIdle(FrmMain& w) {
    for (int i = 0; i < 10000 && w.m_Run.Running(); ++i) {
      *now += 5 * kMs;
      w.TimerRec_Timer();
    }
  }

  std::shared_ptr<int64_t> now = std::make_shared<int64_t>(5'000 * kMs);
  QStringList messages;
};

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
  EXPECT_EQ(w.m_Run.m_DataPath, basic::AppFolder());
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
  EXPECT_EQ(w.ComboFreq->geometry(), QRect(359, 11, 108, 20));
  EXPECT_EQ(w.PictureA->PixelWidth(), 12);
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
  EXPECT_EQ(w.m_Run.m_BufferDelayMs, 25);
  w.MenuRMSP3->trigger();
  EXPECT_EQ(w.m_RmsP3, 0);
  EXPECT_FALSE(w.MenuRMSP3->isChecked());
}

TEST_F(FrmMainTest, TheButtonStartsARunThatEndsByItself) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, 1);
  w.RecButton_ButtonClicked(0);
  ASSERT_TRUE(w.m_Run.Running());
  EXPECT_EQ(w.RecButton->ButtonChar(0), "停止");
  EXPECT_TRUE(w.TimerRec->isActive());
  TickUntilIdle(w);
  EXPECT_FALSE(w.m_Run.Running());
  EXPECT_EQ(w.RecButton->ButtonChar(0), "開始");
  EXPECT_FALSE(w.TimerRec->isActive());
  EXPECT_EQ(w.m_Run.m_ResultNo, 1);
  // The noise run folded frames into the spectrum on the way.
  EXPECT_GT(w.m_Run.m_Spectrum.count, 10);
  EXPECT_GT(w.m_Run.m_Spectrum.values[100], 0.0f);
}

TEST_F(FrmMainTest, ASweepRunEndsWithItsEnvelope) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, 0);
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  ASSERT_EQ(w.m_Run.m_SweepLevel.size(), 16000u);
  // -3 dB played, -6 dB through the cable: about 23197 / sqrt 2 / 2 in the middle.
  EXPECT_NEAR(w.m_Run.m_SweepLevel[8000], 23197 / std::sqrt(2.0) / 2, 600);
}

TEST_F(FrmMainTest, TheButtonStopsARunAtOnce) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, 0);
  w.RecButton_ButtonClicked(0);
  *now += 300 * kMs;
  w.TimerRec_Timer();
  w.RecButton_ButtonClicked(0);
  EXPECT_FALSE(w.m_Run.Running());
  EXPECT_FALSE(w.m_Run.m_hWaveIn.IsOpen());
  EXPECT_EQ(w.m_Run.m_ResultNo, 0);
  EXPECT_EQ(w.RecButton->ButtonChar(0), "開始");
}

TEST_F(FrmMainTest, AFailedOpenShowsTheErrorAndStaysIdle) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, 0);
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
  PickLoopbackAt(w, "8000", 2, 0);
  w.RecButton_ButtonClicked(0);
  ASSERT_TRUE(w.m_Run.m_hWaveOut.IsOpen());
  w.close();
  EXPECT_FALSE(w.m_Run.Running());
  EXPECT_FALSE(w.m_Run.m_hWaveIn.IsOpen());
  EXPECT_FALSE(w.m_Run.m_hWaveOut.IsOpen());
}

}  // namespace
