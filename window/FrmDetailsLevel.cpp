// The details window's sound pressure: the sensitivity (typed in, from the
// microphone file, or measured from a calibrator by "校正") and the live
// level read-out with A, C and Z weighting. The input is recorded through
// the engine's InputRecorder, polled by a timer.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cmath>

#include "measurement/Calibrator.h"
#include "widgets/Dialogs.h"
#include "widgets/Drawing.h"
#include "support/ErrorTrap.h"
#include "support/Settings.h"
#include "support/Surface.h"
#include "window/FrmDetails.h"

using measurement::CalibratorVerdict;

namespace {

int Px(int twips) { return basic::TwipsToPixels(twips); }

constexpr int kLevelTop = 1215, kLevelHeight = 300;

// "-36.6" with one decimal, C locale.
QString Decibels(double db) { return std::isfinite(db) ? QString::number(db, 'f', 1) : QStringLiteral("—"); }

QString Rejection(const measurement::CalibratorCheck& check) {
  switch (check.verdict) {
    case CalibratorVerdict::Accepted: return {};
    case CalibratorVerdict::TooShort: return QStringLiteral("録音が 3 秒に足りません。");
    case CalibratorVerdict::Clipped: return QStringLiteral("入力が振り切れています。入力のレベルを下げてください。");
    case CalibratorVerdict::NoTone: return QStringLiteral("校正器の音が聞こえません。");
    case CalibratorVerdict::WrongFrequency:
      return QStringLiteral("音の周波数が %1 Hz で、1 kHz から 5 % 以上離れています。").arg(check.frequency, 0, 'f', 0);
    case CalibratorVerdict::Unsteady:
      return QStringLiteral("音のレベルが %1 dB 揺れています（0.2 dB まで）。").arg(check.spreadDb, 0, 'f', 2);
  }
  return {};
}

}  // namespace

void FrmDetails::CreateLevelControls() {
  auto* name = new QLabel(QStringLiteral("感度"), this);
  auto* unit = new QLabel(QStringLiteral("dBFS = 94 dB SPL"), this);
  name->setGeometry(Px(105), Px(kLevelTop), Px(540), Px(kLevelHeight));
  unit->setObjectName(QStringLiteral("LabelSensitivityUnit"));
  name->setObjectName(QStringLiteral("LabelSensitivity"));
  TextSensitivity = new QLineEdit(this);
  TextSensitivity->setAlignment(Qt::AlignRight);
  ComboCalibrator = new QComboBox(this);
  ComboCalibrator->addItems({QStringLiteral("94 dB"), QStringLiteral("114 dB")});
  ButtonCalibrate = new QPushButton(QStringLiteral("校正"), this);
  ButtonLevel = new QPushButton(QStringLiteral("騒音計"), this);
  ButtonLevel->setCheckable(true);
  LabelLevel = new QLabel(this);
  LabelLevel->setTextFormat(Qt::PlainText);
  TimerInput = new QTimer(this);
  TimerInput->setInterval(50);
  connect(TimerInput, &QTimer::timeout, this, &FrmDetails::PollInput);
  connect(TextSensitivity, &QLineEdit::editingFinished, this, &FrmDetails::SensitivityTyped);
  connect(ButtonCalibrate, &QPushButton::clicked, this, [this] { StartCalibration(); });
  connect(ButtonLevel, &QPushButton::clicked, this, [this](bool on) {
    if (on) StartLevel();
    else StopInput();
  });
  ShowSensitivity();
}

void FrmDetails::LayoutLevelControls(int width) {
  // "感度 [-36.6] dBFS = 94 dB SPL  [94 dB] [校正]  [騒音計] A .. C .. Z .. dB SPL"
  const auto at = [&](QWidget* widget, int x, int w) {
    widget->setGeometry(Px(x), Px(kLevelTop), Px(w), Px(kLevelHeight));
  };
  at(TextSensitivity, 105 + 600, 900);
  if (auto* unit = findChild<QLabel*>(QStringLiteral("LabelSensitivityUnit"))) at(unit, 105 + 1560, 1650);
  at(ComboCalibrator, 105 + 3300, 1050);
  at(ButtonCalibrate, 105 + 4410, 900);
  at(ButtonLevel, 105 + 5610, 1050);
  // The export button takes the row's right end.
  at(LabelLevel, 105 + 6720, std::max(1500, width - 2 * 105 - 6720 - 2100 - 60));
}

void FrmDetails::ShowSensitivity() {
  if (!TextSensitivity) return;
  const std::optional<double> typed = m_Calibration.sensitivityDbfs;
  TextSensitivity->setText(typed ? Decibels(*typed) : QString());
  // Without one typed in, the microphone file's shows greyed.
  const std::optional<double> header = m_Calibration.mic ? m_Calibration.mic->sensitivityDbfs : std::nullopt;
  TextSensitivity->setPlaceholderText(header ? Decibels(*header) : QString());
  TextSensitivity->setToolTip(QStringLiteral("94 dB SPL で入力が示すレベル (dBFS)。空欄ならマイクの補正ファイルの値"));
}

void FrmDetails::SetSensitivity(std::optional<double> dbfs) {
  m_Calibration.sensitivityDbfs = dbfs;
  // Kept to a thousandth: a measured sensitivity read back after a restart
  // is the one measured, not the one shown.
  basic::WriteSetting(window_files::SensitivitySettingKey(m_InputDevice),
                      dbfs && std::isfinite(*dbfs) ? QString::number(*dbfs, 'f', 3) : QString());
  ShowSensitivity();
  Redraw();
}

void FrmDetails::SensitivityTyped() {
  const QString text = TextSensitivity->text().trimmed();
  if (text.isEmpty()) {
    if (m_Calibration.sensitivityDbfs) SetSensitivity(std::nullopt);
    return;
  }
  bool ok = false;
  const double v = QString(text).replace(QChar(0x2212), QLatin1Char('-')).toDouble(&ok);
  if (!ok || !std::isfinite(v) || v < -200 || v > 0) {
    basic::CenteredMessageBox(QStringLiteral("感度は -200 から 0 までの dBFS の数で入れてください。\r\n") + text,
                              basic::vbOKOnly | basic::vbExclamation, QString(), this);
    ShowSensitivity();
    return;
  }
  if (!m_Calibration.sensitivityDbfs || Decibels(*m_Calibration.sensitivityDbfs) != Decibels(v)) SetSensitivity(v);
}

bool FrmDetails::StartInput(double seconds) {
  StopInput();
  if (!m_Recorder.Start(m_InputDevice, kInputRate, seconds)) {
    basic::CenteredMessageBox(QStringLiteral("入力デバイスを開けませんでした。\r\n") + m_InputDevice +
                                  QStringLiteral("\r\n") + QString::fromStdString(m_Recorder.Error()),
                              basic::vbOKOnly | basic::vbCritical, QString(), this);
    return false;
  }
  TimerInput->start();
  return true;
}

bool FrmDetails::StartCalibration() {
  bool started = false;
  basic::Trap([&] {
    if (!StartInput(measurement::kCalibratorRecordSeconds)) return;
    m_InputTask = InputTask::Calibrate;
    ButtonCalibrate->setEnabled(false);
    ButtonLevel->setChecked(false);
    LabelLevel->setText(QStringLiteral("校正器の音を録音しています..."));
    started = true;
  });
  return started;
}

bool FrmDetails::StartLevel() {
  bool started = false;
  basic::Trap([&] {
    if (!StartInput(measurement::kLevelBlockSeconds)) {
      ButtonLevel->setChecked(false);
      return;
    }
    m_InputTask = InputTask::Level;
    ButtonLevel->setChecked(true);
    started = true;
  });
  return started;
}

void FrmDetails::StopInput() {
  if (TimerInput) TimerInput->stop();
  m_Recorder.Stop();
  const bool wasCalibrating = m_InputTask == InputTask::Calibrate;
  m_InputTask = InputTask::None;
  if (ButtonCalibrate) ButtonCalibrate->setEnabled(true);
  if (ButtonLevel) ButtonLevel->setChecked(false);
  if (wasCalibrating && LabelLevel) LabelLevel->clear();
}

void FrmDetails::PollInput() {
  basic::Trap([&] {
    if (m_InputTask == InputTask::None || m_Recorder.Poll() != measurement::InputRecorder::State::Done) return;
    if (m_InputTask == InputTask::Calibrate) CalibrationDone();
    else LevelBlockDone();
  });
}

void FrmDetails::CalibrationDone() {
  const double calibratorDb = ComboCalibrator->currentIndex() == 1 ? 114.0 : 94.0;
  const measurement::CalibratorCheck check =
      measurement::CheckCalibrator(m_Recorder.Recorded(), m_Recorder.Rate(), calibratorDb);
  StopInput();
  if (check.verdict != CalibratorVerdict::Accepted) {
    basic::CenteredMessageBox(QStringLiteral("校正できませんでした。感度は変わりません。\r\n") + Rejection(check),
                              basic::vbOKOnly | basic::vbExclamation, QString(), this);
    return;
  }
  SetSensitivity(check.sensitivityDbfs);
  LabelLevel->setText(QStringLiteral("校正: %1 Hz, %2 dBFS = %3 dB SPL")
                          .arg(check.frequency, 0, 'f', 0)
                          .arg(Decibels(check.levelDbfs))
                          .arg(calibratorDb, 0, 'f', 0));
}

void FrmDetails::LevelBlockDone() {
  const std::optional<double> sensitivity = m_Calibration.Sensitivity();
  QStringList parts;
  for (const auto& [weighting, name] :
       {std::pair{dsp::Weighting::A, "A"}, std::pair{dsp::Weighting::C, "C"}, std::pair{dsp::Weighting::Z, "Z"}}) {
    const double dbfs = measurement::WeightedLevel(m_Recorder.Recorded(), m_Recorder.Rate(), weighting);
    parts << QLatin1String(name) + QLatin1Char(' ') +
                 Decibels(sensitivity ? measurement::SplDb(dbfs, *sensitivity) : dbfs);
  }
  LabelLevel->setText(parts.join(QStringLiteral("  ")) +
                      (sensitivity ? QStringLiteral(" dB SPL") : QStringLiteral(" dBFS")));
  // The next block.
  if (!m_Recorder.Start(m_InputDevice, kInputRate, measurement::kLevelBlockSeconds)) StopInput();
}
