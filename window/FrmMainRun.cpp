// A run as the window shows it: start and stop, the timer, the meter, waveform and spectrum.
#include "window/FrmMain.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "controls/UC_Buttons/UC_Buttons.h"
#include "controls/UC_ListView/UC_ListView.h"
#include "controls/UC_Slider/UC_Slider.h"
#include "controls/UC_TextPicture/UC_TextPicture.h"
#include "measurement/Analysis.h"
#include "measurement/Graphs.h"
#include "measurement/PathDelay.h"
#include "measurement/TestSignal.h"
#include "measurement/VerdictText.h"
#include "support/Decibels.h"
#include "support/ErrorTrap.h"
#include "support/Logging.h"
#include "widgets/Drawing.h"
#include "widgets/PictureBox.h"

using basic::PictureBox;

void FrmMain::RecButton_ButtonClicked(int) {
  // A second press while the run starts is not taken for a stop. One during
  // a tick (a completing run among them) acts once the tick is over, as what
  // the button read when it was pressed: "停止" pressed as the run ends
  // stops nothing more, "開始" starts the next run.
  if (m_Starting) return;
  const bool stop = m_Run.Running();
  if (DeferIfBusy([this, stop] {
        if (stop == m_Run.Running()) RecButton_ButtonClicked(0);
      }))
    return;
  basic::Trap([&] {
    if (m_Run.Running()) {
      m_Run.StopRun();
      return;
    }
    basic::DeferredActions::Step step(m_Deferred);
    m_Starting = true;
    struct Started {
      bool& flag;
      ~Started() { flag = false; }
    } started{m_Starting};
    basic::SetMousePointer(basic::vbHourglass);
    measurement::RunRequest request;
    request.deviceOut = ComboDev[0]->currentIndex() >= 0 ? ComboDev[0]->currentText() : QString();
    request.deviceIn = ComboDev[1]->currentIndex() >= 0 ? ComboDev[1]->currentText() : QString();
    request.mode = static_cast<measurement::SignalMode>(ComboMode->currentIndex());
    request.sampleRate = ComboFreq->currentText().toInt();
    request.seconds = SliderValue[0]->Value();
    request.levelTenthsDb = SliderValue[1]->Value();
    ClearRunReadouts();
    m_DelayReadout = {};
    const bool ok = m_Run.Start(request);
    if (ok) {
      m_VU.ResetVU(-1);
      TimerRec->start();
      RecButton->SetButtonChar(0, QStringLiteral("停止"));
      RecButton->DrawAll();
    }
    basic::SetMousePointer(basic::vbDefault);
  });
  basic::SetMousePointer(basic::vbDefault);
}

bool FrmMain::DeferIfBusy(std::function<void()> again) {
  if (!m_Deferred.Busy()) return false;
  m_Deferred.RunOrDefer(std::move(again));
  return true;
}

void FrmMain::TimerRec_Timer() {
  basic::DeferredActions::Step step(m_Deferred);
  basic::Trap([&] { m_Run.Tick(); });
}

void FrmMain::OnRunStopped() {
  RecButton->SetButtonState(0, 0);
  TimerRec->stop();
  PictureWave->Cls();
  m_VU.ResetVU(-1);
  RecButton->SetButtonChar(0, QStringLiteral("開始"));
  RecButton->DrawAll();
}

void FrmMain::ClearButton_ButtonClicked(int) {
  basic::Trap([&] { DrawSpectrum(0, 0, 0, 0, 1); });
}

void FrmMain::DrawVU(int32_t first, int32_t last) {
  basic::Trap([&] {
    basic::DoEvents();
    if (!m_Run.Running()) return;
    const measurement::StretchLevels levels =
        measurement::MeasureStretch(m_Run.Played(), m_Run.Captured(), first, last);
    for (int i = 0; i < 2 && m_Run.Running(); ++i) {
      const double rms = m_RmsP3 ? levels.rms[i] * 1.412538 : levels.rms[i];
      const auto peak = static_cast<float>(basic::LinToDb(levels.peak[i] / 32767.0));
      const auto level = static_cast<float>(basic::LinToDb(rms / 32767.0));
      m_VU.DrawVU(i, level, peak, measurement::MeterText(level), 99);
    }
  });
}

void FrmMain::DrawWave(int32_t first, int32_t last) {
  basic::Trap([&] {
    if (m_Run.Running()) measurement::DrawWaveOn(*PictureWave, m_Run.Played(), m_Run.Captured(), first, last);
  });
}

void FrmMain::DrawSpectrum(int32_t start, int32_t fromFile, int32_t overlay, int32_t color, int32_t gridOnly) {
  basic::Trap([&] {
    basic::DoEvents();
    if (!overlay) {
      measurement::DrawSpectrumGrid(*PictureFFT, m_OffsetDb, TextFreq->geometry());
      if (gridOnly) return;
    }
    const uint32_t curve = color != 0 ? static_cast<uint32_t>(color) : NextTraceColor();
    const measurement::Result& shown = Shown();
    if (shown.mode == measurement::SignalMode::Noise && !fromFile) {
      // A frame that no longer fits into the capture adds nothing, but the
      // mean so far stays on screen (the end of a run would blank it).
      const bool folded = m_ShowingRun && m_Run.FoldNoiseFrame(m_FFT, start);
      if (!folded && shown.spectrum.count == 0) return;
    }
    measurement::DrawResultCurve(*PictureFFT, shown, m_ShowingRun && m_Run.Running(), m_OffsetDb, curve);
    if (overlay) PictureFFT->Refresh();
  });
}

void FrmMain::DrawFreqScale(PictureBox* picture) {
  basic::Trap([&] {
    if (picture) measurement::DrawFreqScaleOn(*picture, Shown().sampleRate);
  });
}

void FrmMain::DrawLabels() {
  basic::Trap([&] {
    basic::PaintBackground(*m_Background, 14);
    m_Background->SetForeColor(0);
    const struct {
      QWidget* control;
      const char* caption;
    } captions[] = {{ComboDev[0], "出力"}, {ComboDev[1], "入力"},        {ComboFreq, "周波数"},
                    {ComboMode, "モード"}, {SliderValue[0], "計測秒数"}, {SliderValue[1], "レベル"}};
    for (const auto& c : captions) basic::PrintCaption(*m_Background, *c.control, QString::fromUtf8(c.caption), 0);
    DrawFreqScale(PictureScale);
  });
}

void FrmMain::AnalyseSweep() {
  basic::SetMousePointer(basic::vbHourglass);
  m_Run.AnalyseSweep();
  ShowPathDelay();
  DrawSpectrum(0, 0, 0, 0, 0);
  basic::SetMousePointer(basic::vbDefault);
}

void FrmMain::ClearRunReadouts() {
  for (QLabel* label : {TextDelay, TextVerdict}) {
    label->clear();
    label->setToolTip(QString());
  }
}

void FrmMain::ShowVerdict(const measurement::Verdict& v) {
  basic::Trap([&] {
    TextVerdict->setText(measurement::QualityWord(v.quality));
    TextVerdict->setToolTip(measurement::VerdictTooltip(v));
    QPalette palette = TextVerdict->palette();
    static const QColor kColors[] = {QColor(0, 0x60, 0), QColor(0x90, 0x60, 0), QColor(0x80, 0, 0)};
    palette.setColor(QPalette::WindowText, kColors[static_cast<int>(v.quality)]);
    TextVerdict->setPalette(palette);
    QStringList keys;
    for (const measurement::VerdictReason& r : v.reasons) keys << measurement::ReasonKey(r.reason);
    basic::WriteLogLine(
        QStringLiteral("判定 %1 %2").arg(measurement::QualityKey(v.quality), keys.join(QLatin1Char(' '))), false);
  });
}

void FrmMain::ShowPathDelay() {
  basic::Trap([&] {
    const measurement::Result& result = m_Run.Current();
    const measurement::PathDelay& d = result.pathDelay;
    const int32_t rate = result.sampleRate;
    QPalette palette = TextDelay->palette();
    if (d.found) {
      const measurement::RunTiming& t = result.timing;
      const double ms = t.DelayMs(rate);
      const bool fromPlayback = t.reference == measurement::DelayReference::PlaybackStart;
      TextDelay->setText(QStringLiteral("遅延 %1 ms").arg(ms, 0, 'f', 1));
      QString tip =
          fromPlayback
              ? QStringLiteral(
                    "出力した信号は %1 サンプル後に入力に届きました（再生の開始から）。曲線はこの遅れを揃えて求めました。")
                    .arg(d.frames)
              : QStringLiteral(
                    "この装置は再生と録音の開始時刻を知らせないため、この値は録音の開始から数えた遅れ（%1 サンプル）で、経路の遅延ではありません。曲線はこの遅れを揃えて求めました。")
                    .arg(d.frames);
      if (t.driftPpm != 0)
        tip += QStringLiteral("\n入力のクロックは出力と %1 ppm ずれていました（曲線では補正済み）。")
                   .arg(t.driftPpm, 0, 'f', 1);
      for (const measurement::TimingEvent& e : t.events)
        tip += QStringLiteral("\n%1 秒: %2")
                   .arg(e.timeS, 0, 'f', 2)
                   .arg(e.kind == measurement::TimingEventKind::Dropout
                            ? QStringLiteral("録音が %1 ms 欠けました").arg(-e.sizeMs, 0, 'f', 1)
                        : e.kind == measurement::TimingEventKind::Step
                            ? QStringLiteral("遅延が %1 ms 増えました").arg(e.sizeMs, 0, 'f', 1)
                            : QStringLiteral("%1 ms の間、信号が戻りませんでした").arg(e.sizeMs, 0, 'f', 0));
      TextDelay->setToolTip(tip);
      palette.setColor(QPalette::WindowText, Qt::black);
      basic::WriteLogLine(
          QStringLiteral("スウィープの遅延 %1 サンプル (%2 ms, %3, ピーク比 %4, ドリフト %5 ppm, 事象 %6)")
              .arg(d.frames)
              .arg(ms, 0, 'f', 1)
              .arg(QString::fromLatin1(measurement::DelayReferenceName(t.reference)))
              .arg(d.clarity, 0, 'f', 1)
              .arg(t.driftPpm, 0, 'f', 1)
              .arg(t.events.size()),
          false);
    } else {
      TextDelay->setText(QStringLiteral("信号が戻りません"));
      const double searchMs =
          rate > 0 ? 1000.0 * measurement::DelaySearchFrames(rate, m_Run.TotalFrames()) / rate : 0.0;
      TextDelay->setToolTip(QStringLiteral("再生した信号が入力に見つかりませんでした（前後 %1 ms の範囲で探しました）。"
                                           "接続と入力を確かめてください。曲線は時間を揃えずに求めました。")
                                .arg(searchMs, 0, 'f', 0));
      palette.setColor(QPalette::WindowText, QColor(0x80, 0, 0));
      basic::WriteLogLine(
          QStringLiteral("スウィープの信号が入力に検出されませんでした (ピーク比 %1)").arg(d.clarity, 0, 'f', 1),
          false);
    }
    TextDelay->setPalette(palette);
  });
}
