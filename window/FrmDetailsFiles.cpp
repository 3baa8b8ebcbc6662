// The details window's files: the microphone's and the sound card's
// correction files, remembered per input device, and reference curves.
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <cmath>

#include "measurement/Correction.h"
#include "widgets/Dialogs.h"
#include "widgets/Drawing.h"
#include "support/ErrorTrap.h"
#include "support/Settings.h"
#include "support/Surface.h"
#include "window/FrmDetails.h"

using window_files::CorrectionKind;

namespace {

int Px(int twips) { return basic::TwipsToPixels(twips); }

constexpr int kFilesTop = 870, kFilesHeight = 300;

QString KindName(CorrectionKind kind) {
  return kind == CorrectionKind::Mic ? QStringLiteral("マイク") : QStringLiteral("サウンドカード");
}

}  // namespace

void FrmDetails::CreateFileControls() {
  ButtonMic = new QPushButton(QStringLiteral("マイク補正..."), this);
  ButtonMicOff = new QPushButton(QStringLiteral("解除"), this);
  LabelMic = new QLabel(this);
  ButtonDevice = new QPushButton(QStringLiteral("サウンドカード補正..."), this);
  ButtonDeviceOff = new QPushButton(QStringLiteral("解除"), this);
  LabelDevice = new QLabel(this);
  ButtonReference = new QPushButton(QStringLiteral("参照曲線を開く..."), this);
  for (QLabel* label : {LabelMic, LabelDevice}) label->setTextFormat(Qt::PlainText);
  connect(ButtonMic, &QPushButton::clicked, this, [this] { ChooseCorrection(CorrectionKind::Mic); });
  connect(ButtonDevice, &QPushButton::clicked, this, [this] { ChooseCorrection(CorrectionKind::Device); });
  connect(ButtonMicOff, &QPushButton::clicked, this, [this] { SetCorrectionFile(CorrectionKind::Mic, QString()); });
  connect(ButtonDeviceOff, &QPushButton::clicked, this,
          [this] { SetCorrectionFile(CorrectionKind::Device, QString()); });
  connect(ButtonReference, &QPushButton::clicked, this, [this] { ChooseReference(); });
  ShowCorrectionNames();
}

void FrmDetails::LayoutFileControls(int width) {
  // One row: each file's button, its name and the button that takes it
  // off; the reference button at the right. The names share what is left.
  constexpr int kMicButton = 1650, kDeviceButton = 2400, kReferenceButton = 2100, kOff = 600, kGap = 60;
  const int fixed = 2 * 105 + kMicButton + kDeviceButton + kReferenceButton + 2 * kOff + 8 * kGap + 240;
  const int nameWidth = std::clamp((width - fixed) / 2, 900, 3600);
  int x = 105;
  const auto place = [&](QWidget* widget, int w) {
    widget->setGeometry(Px(x), Px(kFilesTop), Px(w), Px(kFilesHeight));
    x += w + kGap;
  };
  place(ButtonMic, kMicButton);
  place(LabelMic, nameWidth);
  place(ButtonMicOff, kOff);
  x += 240;
  place(ButtonDevice, kDeviceButton);
  place(LabelDevice, nameWidth);
  place(ButtonDeviceOff, kOff);
  ButtonReference->setGeometry(Px(std::max(x + kGap, width - 105 - kReferenceButton)), Px(kFilesTop),
                               Px(kReferenceButton), Px(kFilesHeight));
}

void FrmDetails::ShowCorrectionNames() {
  const auto show = [](QLabel* label, QPushButton* off, const QString& path, bool set) {
    label->setText(set ? QFileInfo(path).fileName() : QStringLiteral("なし"));
    label->setToolTip(set ? path : QString());
    off->setEnabled(set);
  };
  show(LabelMic, ButtonMicOff, m_Calibration.micPath, m_Calibration.mic.has_value());
  show(LabelDevice, ButtonDeviceOff, m_Calibration.devicePath, m_Calibration.device.has_value());
}

void FrmDetails::SetInputDevice(const QString& name) {
  basic::Trap([&] {
    if (m_InputDeviceSet && name == m_InputDevice) return;
    m_InputDevice = name;
    m_InputDeviceSet = true;
    m_Calibration.mic.reset(), m_Calibration.micPath.clear();
    m_Calibration.device.reset(), m_Calibration.devicePath.clear();
    for (const CorrectionKind kind : {CorrectionKind::Mic, CorrectionKind::Device}) {
      const QString path = basic::ReadSetting(window_files::CorrectionSettingKey(kind, name), QString());
      if (path.isEmpty()) continue;
      measurement::CorrectionRead read = measurement::ReadCorrectionFile(path);
      if (!read.curve) continue;
      (kind == CorrectionKind::Mic ? m_Calibration.mic : m_Calibration.device) = std::move(read.curve);
      (kind == CorrectionKind::Mic ? m_Calibration.micPath : m_Calibration.devicePath) = path;
    }
    bool ok = false;
    const double typed = basic::ReadSetting(window_files::SensitivitySettingKey(name), QString()).toDouble(&ok);
    m_Calibration.sensitivityDbfs = ok && std::isfinite(typed) ? std::optional<double>(typed) : std::nullopt;
    StopInput();
    ShowCorrectionNames();
    ShowSensitivity();
    Redraw();
  });
}

bool FrmDetails::SetCorrectionFile(CorrectionKind kind, const QString& path) {
  bool taken = false;
  basic::Trap([&] {
    std::optional<measurement::CorrectionCurve> curve;
    if (!path.isEmpty()) {
      measurement::CorrectionRead read = measurement::ReadCorrectionFile(path);
      if (!read.curve) {
        basic::CenteredMessageBox(KindName(kind) + QStringLiteral("の補正ファイルとして読み込めませんでした。\r\n") +
                                      path + QStringLiteral("\r\n") + window_files::CorrectionFaultText(read),
                                  basic::vbOKOnly | basic::vbExclamation, QString(), this);
        return;
      }
      curve = std::move(read.curve);
    }
    (kind == CorrectionKind::Mic ? m_Calibration.mic : m_Calibration.device) = std::move(curve);
    (kind == CorrectionKind::Mic ? m_Calibration.micPath : m_Calibration.devicePath) = path;
    basic::WriteSetting(window_files::CorrectionSettingKey(kind, m_InputDevice), path);
    taken = true;
    ShowCorrectionNames();
    ShowSensitivity();  // a microphone file may bring one
    Redraw();
  });
  return taken;
}

void FrmDetails::ChooseCorrection(CorrectionKind kind) {
  const QString current = kind == CorrectionKind::Mic ? m_Calibration.micPath : m_Calibration.devicePath;
  const QString folder = current.isEmpty() ? basic::ReadSetting(QStringLiteral("CorrectionFolder"), QString())
                                           : QFileInfo(current).absolutePath();
  const QString path = basic::FileDialog(this, 0, window_files::CorrectionFileFilter(), folder, QString(), 0);
  if (path.isEmpty()) return;
  if (SetCorrectionFile(kind, path))
    basic::WriteSetting(QStringLiteral("CorrectionFolder"), QFileInfo(path).absolutePath());
}

bool FrmDetails::OpenReference(const QString& path) {
  bool taken = false;
  basic::Trap([&] {
    const measurement::CorrectionRead read = measurement::ReadCorrectionFile(path);
    if (!read.curve) {
      basic::CenteredMessageBox(QStringLiteral("参照曲線として読み込めませんでした。\r\n") + path +
                                    QStringLiteral("\r\n") + window_files::CorrectionFaultText(read),
                                basic::vbOKOnly | basic::vbExclamation, QString(), this);
      return;
    }
    taken = true;
    m_ShowWhenListed.insert(path);
    emit ReferenceOpened(path);
  });
  return taken;
}

void FrmDetails::ChooseReference() {
  const QString path =
      basic::FileDialog(this, 0, window_files::CorrectionFileFilter(),
                        basic::ReadSetting(QStringLiteral("CorrectionFolder"), QString()), QString(), 0);
  if (path.isEmpty()) return;
  if (OpenReference(path)) basic::WriteSetting(QStringLiteral("CorrectionFolder"), QFileInfo(path).absolutePath());
}

const measurement::CorrectionCurve* FrmDetails::ReferenceCurveOf(const QString& path) {
  const QFileInfo info(path);
  const int64_t size = info.exists() ? info.size() : -1;
  const int64_t modified = info.exists() ? info.lastModified().toMSecsSinceEpoch() : 0;
  auto it = m_ReferenceFiles.find(path);
  if (it == m_ReferenceFiles.end() || it->second.size != size || it->second.modified != modified)
    it = m_ReferenceFiles
             .insert_or_assign(path, ReferenceFile{size, modified, measurement::ReadCorrectionFile(path).curve})
             .first;
  return it->second.curve ? &*it->second.curve : nullptr;
}

std::vector<measurement::ReferenceCurve> FrmDetails::ShownReferences() {
  std::vector<measurement::ReferenceCurve> references = m_References;
  for (size_t i = 0; i < m_Results.size(); ++i) {
    const Entry& e = m_Results[i];
    if (!e.reference || !IsShown(static_cast<int>(i))) continue;
    if (const measurement::CorrectionCurve* curve = ReferenceCurveOf(e.path))
      references.push_back(measurement::ReferenceFromCorrection(e.name, e.color, *curve));
  }
  return references;
}
