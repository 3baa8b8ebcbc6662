// What the window measures through the simulator: sweeps aligned by the
// path's delay, noise spectra that do not depend on the rate.
#include <QLabel>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "controls/UC_Buttons/UC_Buttons.h"
#include "measurement/TestSignal.h"
#include "support/Decibels.h"
#include "support/Logging.h"
#include "tests/window/FrmMainFixture.h"
#include "tests/window/SilentBackend.h"
#include "tests/window/UntimedBackend.h"

namespace {

using zarin_test::FrmMainResultsTest;

// Mean of the noise spectrum over 1 .. 3 kHz, in dB.
double MeanLevel13k(const FrmMain& w) {
  const int32_t rate = w.m_Run.Current().sampleRate;
  double sum = 0;
  int count = 0;
  for (int k = 1; k <= 1024; ++k) {
    const double f = k * static_cast<double>(rate) / measurement::kFftPoints;
    if (f < 1000 || f > 3000) continue;
    sum += w.m_Run.Current().spectrum.values[static_cast<size_t>(k)];
    ++count;
  }
  return count ? basic::LinToDb(sum / count) : -999;
}

TEST_F(FrmMainResultsTest, NoiseSpectraAgreeAtEveryRate) {
  FrmMain w;
  std::vector<double> levels;
  for (const char* rate : {"8000", "11025", "22050", "48000", "96000"}) {
    PickLoopbackAt(w, rate, 6, measurement::SignalMode::Noise);
    w.RecButton_ButtonClicked(0);
    ASSERT_TRUE(w.m_Run.Running()) << rate;
    TickUntilIdle(w);
    EXPECT_GT(w.m_Run.Current().spectrum.count, 60) << rate;
    levels.push_back(MeanLevel13k(w));
  }
  const auto [lo, hi] = std::minmax_element(levels.begin(), levels.end());
  EXPECT_LT(*hi - *lo, 0.5) << "8000 Hz " << levels[0] << " dB, 96000 Hz " << levels[4] << " dB";
}

TEST_F(FrmMainResultsTest, ASweepShowsThePathDelayAndLogsIt) {
  cable->SetDelayMs(250);
  FrmMain w;
  basic::SetLogError(1);  // after start-up, which reads the switch from the settings
  QStringList lines;
  const auto old = basic::SetLogObserver([&](const QString& text, int) { lines << text; });
  PickLoopbackAt(w, "48000", 2, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  basic::SetLogObserver(old);
  basic::SetLogError(0);
  ASSERT_TRUE(w.m_Run.Current().pathDelay.found);
  EXPECT_NEAR(w.m_Run.Current().pathDelay.frames, 12000, 2);
  EXPECT_EQ(w.TextDelay->text(), QStringLiteral("遅延 250.0 ms"));
  EXPECT_TRUE(w.TextDelay->toolTip().contains(QStringLiteral("12000 サンプル後に入力に届きました（再生の開始から）")))
      << w.TextDelay->toolTip().toStdString();
  // The quality sits left of the delay, both under the start button.
  EXPECT_EQ(w.TextVerdict->text(), QStringLiteral("良好"));
  EXPECT_EQ(w.TextVerdict->toolTip(), QStringLiteral("問題は見つかりませんでした。"));
  EXPECT_EQ(lines.filter(QStringLiteral("判定 ok")).size(), 1) << lines.join('\n').toStdString();
  EXPECT_EQ(w.TextVerdict->geometry().right() + 1, w.TextDelay->x());
  EXPECT_EQ(w.TextVerdict->x(), w.RecButton->x());
  EXPECT_EQ(w.TextDelay->geometry().right(), w.RecButton->geometry().right());
  EXPECT_GE(w.TextVerdict->y(), w.RecButton->geometry().bottom());
  EXPECT_GE(w.TextVerdict->width(), w.TextVerdict->fontMetrics().horizontalAdvance(QStringLiteral("良好")));
  EXPECT_TRUE(lines.filter(QStringLiteral("スウィープの遅延 1200")).size() == 1) << lines.join('\n').toStdString();
  // The curve is the cable's: -6 dB in the middle of the band.
  const double played = measurement::SignalAmplitude(-30) / std::sqrt(2.0);
  size_t i = 0;
  while (w.m_Run.Current().sweepTable.freq[i] < 1000) ++i;
  EXPECT_NEAR(basic::LinToDb(w.m_Run.Current().envelope[i] / played), -6.0, 0.2);
  // Drawing the result again from the list keeps the read-out: it is this run's.
  w.LV->SetSelectedItem(0);
  w.LV_Clicked(0, 0);
  EXPECT_EQ(w.TextDelay->text(), QStringLiteral("遅延 250.0 ms"));
  EXPECT_EQ(w.TextVerdict->text(), QStringLiteral("良好"));
  EXPECT_EQ(w.TextVerdict->toolTip(), QStringLiteral("問題は見つかりませんでした。"));
  // The next run starts with a blank read-out.
  PickLoopbackAt(w, "48000", 2, measurement::SignalMode::Noise);
  w.RecButton_ButtonClicked(0);
  EXPECT_TRUE(w.TextDelay->text().isEmpty());
  EXPECT_TRUE(w.TextVerdict->text().isEmpty());
  TickUntilIdle(w);
  EXPECT_TRUE(w.TextDelay->text().isEmpty());
  EXPECT_FALSE(w.TextVerdict->text().isEmpty());  // a noise run has its quality too
}

TEST_F(FrmMainResultsTest, AHostWithoutStreamTimesGetsACaptureStartDelayThatSaysSo) {
  std::vector<std::unique_ptr<WaveMMIO::SoundBackend>> backends;
  auto untimed = std::make_unique<zarin_test::UntimedBackend>([clock = now] { return *clock; });
  untimed->Cable().SetCaptureStartOffsetNs(-40'000'000);  // capture 40 ms ahead: 50 ms from its start
  backends.push_back(std::move(untimed));
  WaveMMIO::SoundHost::Instance().SetBackends(std::move(backends), [clock = now] { return *clock; });
  FrmMain w;
  PickLoopbackAt(w, "48000", 2, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  ASSERT_TRUE(w.m_Run.Current().pathDelay.found);
  EXPECT_EQ(w.m_Run.Current().timing.reference, measurement::DelayReference::CaptureStart);
  EXPECT_EQ(w.TextDelay->text(), QStringLiteral("遅延 50.0 ms"));
  EXPECT_TRUE(w.TextDelay->toolTip().contains(
      QStringLiteral("録音の開始から数えた遅れ（2400 サンプル）で、経路の遅延ではありません")))
      << w.TextDelay->toolTip().toStdString();
}

TEST_F(FrmMainResultsTest, SilenceBackSaysSoAndStillStoresTheResult) {
  std::vector<std::unique_ptr<WaveMMIO::SoundBackend>> backends;
  backends.push_back(std::make_unique<WaveMMIO::LoopbackBackend>([clock = now] { return *clock; }));
  backends.push_back(std::make_unique<zarin_test::SilentBackend>([clock = now] { return *clock; }));
  WaveMMIO::SoundHost::Instance().SetBackends(std::move(backends), [clock = now] { return *clock; });
  FrmMain w;
  PickLoopbackAt(w, "48000", 2, measurement::SignalMode::Sweep);
  w.ComboDev[1]->setCurrentIndex(1);  // the input hears nothing of the output
  ASSERT_EQ(w.ComboDev[1]->currentText(), "Silent input");
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  EXPECT_FALSE(w.m_Run.Current().pathDelay.found);
  EXPECT_EQ(w.m_Run.Current().pathDelay.frames, 0);
  EXPECT_EQ(w.TextDelay->text(), QStringLiteral("信号が戻りません"));
  EXPECT_EQ(w.TextVerdict->text(), QStringLiteral("不良"));
  EXPECT_TRUE(w.TextVerdict->toolTip().contains(QStringLiteral("再生した信号が入力に戻りませんでした")))
      << w.TextVerdict->toolTip().toStdString();
  EXPECT_TRUE(QFile::exists(dir.filePath("01.dat")));
  EXPECT_EQ(Names(w), QStringList{"01"});
  EXPECT_TRUE(messages.isEmpty());
}

}  // namespace
