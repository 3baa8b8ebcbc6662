// Results in the list: saving, loading, dropping, deleting, saving elsewhere and exporting.
#include "window/FrmMain.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <algorithm>

#include "controls/UC_Buttons/UC_Buttons.h"
#include "controls/UC_ListView/UC_ListView.h"
#include "controls/UC_Slider/UC_Slider.h"
#include "controls/UC_TextPicture/UC_TextPicture.h"
#include "measurement/Export.h"
#include "measurement/ResultFiles.h"
#include "measurement/ResultNumbers.h"
#include "measurement/SideFiles.h"
#include "measurement/TestSignal.h"
#include "support/ErrorTrap.h"
#include "support/Paths.h"
#include "support/Settings.h"
#include "widgets/Dialogs.h"
#include "widgets/PictureBox.h"
#include "window/CorrectionChoice.h"
#include "window/FrmDetails.h"

using basic::ReadSetting;

QString FrmMain::SaveResult(const QString& proposed, const measurement::Result& result) {
  // The number is taken as the file is stored: a command line or another
  // window storing into the same folder meanwhile gets another one.
  measurement::StoredResult stored;
  basic::Trap([&] { stored = m_Run.StoreResult(result); });
  if (!stored.path.isEmpty()) {
    RecordCorrectionsOf(stored.path);
    // The result is kept; only its response (for 詳細 and the exports) is missing.
    if (!stored.sideFilesWritten)
      basic::CenteredMessageBox(QStringLiteral("インパルス応答を保存できませんでした。\r\n") +
                                    measurement::ImpulseWavPath(stored.path) + QStringLiteral("\r\n") + stored.error,
                                basic::vbOKOnly | basic::vbExclamation, QString(), this);
    return stored.path;
  }
  basic::CenteredMessageBox(QStringLiteral("測定結果を保存できませんでした。\r\n") + proposed,
                            basic::vbOKOnly | basic::vbCritical, QString(), this);
  return {};
}

void FrmMain::RecordCorrectionsOf(const QString& resultPath) {
  // The files the details window takes off this input device's curves.
  basic::Trap([&] {
    using window_files::CorrectionKind;
    using window_files::CorrectionSettingKey;
    const measurement::AppliedCorrections applied{
        ReadSetting(CorrectionSettingKey(CorrectionKind::Mic, InputDeviceName()), QString()),
        ReadSetting(CorrectionSettingKey(CorrectionKind::Device, InputDeviceName()), QString())};
    if (!applied.mic.isEmpty() || !applied.device.isEmpty()) measurement::RecordAppliedCorrections(resultPath, applied);
  });
}

bool FrmMain::LoadResult(const QString& path) {
  measurement::LoadedResult loaded;
  basic::Trap([&] { loaded = measurement::LoadResultFile(path); });
  if (loaded.Loaded()) {
    m_LoadedResult = std::move(loaded.result);
    m_ShowingRun = false;
    return true;
  }
  basic::CenteredMessageBox(QStringLiteral("測定結果を読み込めませんでした。\r\n") + path,
                            basic::vbOKOnly | basic::vbExclamation, QString(), this);
  return false;
}

bool FrmMain::ListHoldsPath(const QString& path) const {
  const auto same = [](const QString& a, const QString& b) {
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists()) return fa.canonicalFilePath() == fb.canonicalFilePath();
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
  };
  for (int32_t i = 0; LV && i < LV->ItemCount(); ++i)
    if (same(LV->AuxID(i, 0).toString(), path)) return true;
  return false;
}

void FrmMain::AddResultItem(const QString& path, int32_t position, int32_t temporary,
                            std::optional<int32_t> playedLevelTenthsDb) {
  basic::Trap([&] {
    // Chosen before the line is there; the lines already listed keep theirs.
    const uint32_t color = NextTraceColor();
    int32_t item = -2;
    if (position == -2) {
      LV->AddItem(1);
    } else {
      LV->InsertItem(position);
      item = position;
    }
    LV->SetAuxID(item, 0, path);
    LV->SetAuxID(item, 1, temporary);
    if (playedLevelTenthsDb) LV->SetAuxID(item, kAuxPlayedLevel, *playedLevelTenthsDb);
    LV->SetValue(item, 0, basic::SplitPath(path, 0, 0, 1, 0, 0, 0));
    LV->SetDispColor(item == -2 ? LV->ItemCount() - 1 : item, color);
    LV->Refresh();
  });
  RefreshDetails();
}

bool FrmMain::IsReferenceItem(int32_t item) const { return LV && LV->AuxID(item, kAuxReference).toBool(); }

bool FrmMain::AddReferenceItem(const QString& path, int32_t position) {
  const measurement::CorrectionRead read = measurement::ReadCorrectionFile(path);
  if (!read.curve) {
    basic::CenteredMessageBox(QStringLiteral("参照曲線として読み込めませんでした。\r\n") + path +
                                  QStringLiteral("\r\n") + window_files::CorrectionFaultText(read),
                              basic::vbOKOnly | basic::vbExclamation, QString(), this);
    return false;
  }
  basic::Trap([&] {
    const uint32_t color = NextTraceColor();
    int32_t item = LV->ItemCount();
    if (position == -2) {
      LV->AddItem(1);
    } else {
      LV->InsertItem(position);
      item = position;
    }
    LV->SetAuxID(item, 0, path);
    LV->SetAuxID(item, 1, 0);  // never deleted: the file is the user's
    LV->SetAuxID(item, kAuxReference, true);
    LV->SetValue(item, 0, basic::SplitPath(path, 0, 0, 1, 0, 0, 0));
    LV->SetDispColor(item, color);
    LV->Refresh();
  });
  RefreshDetails();
  return true;
}

void FrmMain::LV_Clicked(double x, double y) {
  if (DeferIfBusy([this, x, y] { LV_Clicked(x, y); })) return;
  basic::Trap([&] {
    if (m_Run.Running() || LV->ItemCount() == 0) return;
    // A reference curve is shown in the details window; the picture stays.
    if (IsReferenceItem(LV->SelectedItem())) return;
    basic::SetMousePointer(basic::vbHourglass);
    if (!LoadResult(LV->AuxID(LV->SelectedItem(), 0).toString())) {
      basic::SetMousePointer(basic::vbDefault);
      return;  // the picture stays as it was
    }
    DrawFreqScale(PictureScale);
    DrawSpectrum(0, 1, 1, static_cast<int32_t>(LV->DispColor(LV->SelectedItem())), 0);
    ShowDelayReadoutOf(LV->AuxID(LV->SelectedItem(), 0).toString());
    basic::SetMousePointer(basic::vbDefault);
  });
  basic::SetMousePointer(basic::vbDefault);
}

void FrmMain::ShowDelayReadoutOf(const QString& result) {
  const bool own = !m_DelayReadout.result.isEmpty() && result == m_DelayReadout.result;
  TextDelay->setText(own ? m_DelayReadout.text : QString());
  TextDelay->setToolTip(own ? m_DelayReadout.toolTip : QString());
  if (own) TextDelay->setPalette(m_DelayReadout.palette);
  TextVerdict->setText(own ? m_DelayReadout.verdictText : QString());
  TextVerdict->setToolTip(own ? m_DelayReadout.verdictToolTip : QString());
  if (own) TextVerdict->setPalette(m_DelayReadout.verdictPalette);
}

void FrmMain::LV_RightClicked(double, double y) {
  // The menu acts on the line under the pointer: one that is not selected
  // becomes the selection first; below the last line nothing is pointed at.
  const int32_t item = LV->LineAt(y);
  if (item >= 0 && !LV->IsSelected(item)) {
    LV->UnSelectAll();
    LV->SetSelectedItem(item);
    LV->ReDraw();
  }
  for (QAction* action : {MenuDelete, MenuSave, MenuExportCsv, MenuSavePicture, MenuDetails})
    action->setEnabled(item >= 0);
  // A reference curve has no result to export.
  for (QAction* action : {MenuExportCsv, MenuSavePicture}) action->setEnabled(item >= 0 && !IsReferenceItem(item));
  MenuLV->popup(QCursor::pos());
}

void FrmMain::LV_OLEDragDrop(const QStringList& paths, double y) {
  if (DeferIfBusy([this, paths, y] { LV_OLEDragDrop(paths, y); })) return;
  basic::Trap([&] {
    const int32_t position = LV->YsItem(y);
    basic::SetMousePointer(basic::vbHourglass);
    for (const QString& path : paths) {
      basic::DoEvents();
      if (window_files::IsReferenceFileName(path)) AddReferenceItem(path, position);
      else AddResultItem(path, position, 0);
    }
    LV->ReDraw();
    LV->SetVbarParm();
    basic::SetMousePointer(basic::vbDefault);
  });
  basic::SetMousePointer(basic::vbDefault);
}

void FrmMain::MenuDelete_Click() {
  if (DeferIfBusy([this] { MenuDelete_Click(); })) return;
  basic::Trap([&] {
    if (LV->ItemCount() < 1) return;
    for (int32_t i = LV->ItemCount() - 1; i >= 0; --i) {
      if (!LV->IsSelected(i)) continue;
      const QString path = LV->AuxID(i, 0).toString();
      if (LV->AuxID(i, 1).toInt() != 0) measurement::DeleteResultFiles(path);
      if (path == m_DelayReadout.result) m_DelayReadout.result.clear();
      LV->DeleteItem(i);
    }
    LV->SetVbarParm();
    LV->ReDraw();
  });
  RefreshDetails();
}

QString FrmMain::AskSaveTarget(const QString& filter, const QString& extension, const QString& initialName,
                               const QString& source) {
  // The dialog does not ask about replacing: the extension may still change
  // the name, and the question is asked of the final one.
  QString target =
      basic::FileDialog(this, 1, filter, ReadSetting(QStringLiteral("SaveFolder"), m_Run.DataFolder()), initialName, 0);
  if (target.isEmpty()) return {};
  target = basic::EnsureExtension(target, extension);
  if (!source.isEmpty() && QFileInfo(target).canonicalFilePath() == QFileInfo(source).canonicalFilePath()) return {};
  if (basic::FileExists(target) &&
      basic::CenteredMessageBox(target + QStringLiteral(" は既にあります。\r\n置き換えますか？"),
                                basic::vbYesNo | basic::vbExclamation, QString(), this) != basic::vbYes)
    return {};
  return target;
}

void FrmMain::RememberSaveFolder(const QString& target) {
  basic::WriteSetting(QStringLiteral("SaveFolder"), basic::SplitPath(target, 1, 1, 0, 0, 0, 0));
}

void FrmMain::CannotSave(const QString& target) {
  basic::CenteredMessageBox(QStringLiteral("保存できませんでした。\r\n") + target, basic::vbOKOnly | basic::vbCritical,
                            QString(), this);
}

void FrmMain::MenuSave_Click() {
  if (DeferIfBusy([this] { MenuSave_Click(); })) return;
  basic::Trap([&] {
    if (LV->ItemCount() < 1) return;
    basic::SetMousePointer(basic::vbHourglass);
    for (int32_t i = 0; i < LV->ItemCount(); ++i) {
      if (!LV->IsSelected(i)) continue;
      const QString source = LV->AuxID(i, 0).toString();
      const QString extension = basic::SplitPath(source, 0, 0, 0, 0, 1, 0);
      // Saving a result onto its own file leaves it as it is (and is not a
      // replacement to ask about).
      const QString target = AskSaveTarget(QStringLiteral("測定結果|*"), extension, QString(), source);
      if (target.isEmpty()) continue;
      if (!basic::CopyFileTo(source, target, 0)) {
        CannotSave(target);
        continue;
      }
      // A sweep's response goes along (and a replaced result's goes).
      if (measurement::IsSweepResultPath(source) || measurement::IsSweepResultPath(target)) {
        QString why;
        if (!measurement::CopySideFiles(source, target, &why)) {
          CannotSave(measurement::ImpulseWavPath(target) + QStringLiteral("\r\n") + why);
          continue;
        }
      }
      RememberSaveFolder(target);
    }
    basic::SetMousePointer(basic::vbDefault);
  });
  basic::SetMousePointer(basic::vbDefault);
}

void FrmMain::MenuExportCsv_Click() {
  if (DeferIfBusy([this] { MenuExportCsv_Click(); })) return;
  ExportSelected(false);
}

void FrmMain::MenuSavePicture_Click() {
  if (DeferIfBusy([this] { MenuSavePicture_Click(); })) return;
  ExportSelected(true);
}

void FrmMain::ExportSelected(bool picture) {
  basic::Trap([&] {
    for (int32_t i = 0; i < LV->ItemCount(); ++i) {
      if (!LV->IsSelected(i) || IsReferenceItem(i)) continue;
      const QString source = LV->AuxID(i, 0).toString();
      // Read into a state of its own: what the window shows stays as it is.
      measurement::LoadedResult loaded = measurement::LoadResultFile(source);
      if (!loaded.Loaded()) {
        basic::CenteredMessageBox(QStringLiteral("測定結果を読み込めませんでした。\r\n") + source,
                                  basic::vbOKOnly | basic::vbExclamation, QString(), this);
        continue;
      }
      const QString extension = picture ? QStringLiteral("png") : QStringLiteral("csv");
      const QString name = basic::SplitPath(source, 0, 0, 1, 0, 0, 0) + QLatin1Char('.') + extension;
      const QString target =
          AskSaveTarget(picture ? QStringLiteral("画像|*.png") : QStringLiteral("CSV|*.csv"), extension, name);
      if (target.isEmpty()) continue;
      basic::SetMousePointer(basic::vbHourglass);
      // A result made here knows the level it was played at; a sweep's
      // NN.json records it too.
      const QVariant level = LV->AuxID(i, kAuxPlayedLevel);
      if (level.isValid()) loaded.result.levelTenthsDb = level.toInt();
      else if (const auto recorded = measurement::ReadPlayedLevel(source)) loaded.result.levelTenthsDb = *recorded;
      if (!picture) measurement::ReadSideFilesInto(loaded.result, source);
      const bool written = picture ? measurement::WriteImageFile(
                                         target, measurement::SpectrumPicture(loaded.result, {}, LV->DispColor(i),
                                                                              measurement::kDefaultPictureSize))
                                   : measurement::WriteTextFile(target, measurement::ResultCsv(loaded.result));
      basic::SetMousePointer(basic::vbDefault);
      if (written) RememberSaveFolder(target);
      else CannotSave(target);
    }
  });
  basic::SetMousePointer(basic::vbDefault);
}

void FrmMain::MenuDetails_Click() {
  if (DeferIfBusy([this] { MenuDetails_Click(); })) return;
  basic::Trap([&] {
    for (int32_t i = 0; i < LV->ItemCount(); ++i)
      if (LV->IsSelected(i)) {
        OpenDetails(i);
        return;
      }
  });
}

void FrmMain::LV_DblClicked() {
  if (DeferIfBusy([this] { LV_DblClicked(); })) return;
  basic::Trap([&] {
    if (LV->SelectedItem() >= 0 && LV->SelectedItem() < LV->ItemCount()) OpenDetails(LV->SelectedItem());
  });
}

namespace {

std::vector<FrmDetails::Entry> ListEntries(const UC_ListView& list) {
  std::vector<FrmDetails::Entry> entries;
  for (int32_t i = 0; i < list.ItemCount(); ++i)
    entries.push_back({list.AuxID(i, 0).toString(), list.Value(i, 0).toString(), list.DispColor(i),
                       list.AuxID(i, FrmMain::kAuxReference).toBool()});
  return entries;
}

}  // namespace

void FrmMain::OpenDetails(int32_t item) {
  basic::SetMousePointer(basic::vbHourglass);
  basic::Trap([&] {
    if (!m_Details) {
      m_Details = new FrmDetails(this);
      // A little below and right of the main window's corner, whole on its screen.
      QRect place(frameGeometry().topLeft() + QPoint(40, 40), m_Details->size());
      if (const QScreen* s = screen()) {
        const QRect room = s->availableGeometry();
        place.moveRight(std::min(place.right(), room.right()));
        place.moveBottom(std::min(place.bottom(), room.bottom()));
        place.moveLeft(std::max(place.left(), room.left()));
        place.moveTop(std::max(place.top(), room.top()));
      }
      m_Details->move(place.topLeft());
      connect(m_Details, &FrmDetails::ReferenceOpened, this,
              [this](const QString& path) { AddReferenceItem(path, -2); });
    }
    m_Details->SetInputDevice(InputDeviceName());
    m_Details->SetResults(ListEntries(*LV), item, m_OffsetDb);
    // A window left minimised comes back, or the user would see nothing happen.
    m_Details->setWindowState(m_Details->windowState() & ~Qt::WindowMinimized);
    m_Details->show();
    m_Details->raise();
    m_Details->activateWindow();
  });
  basic::SetMousePointer(basic::vbDefault);
}

QString FrmMain::InputDeviceName() const {
  return ComboDev[1] && ComboDev[1]->currentIndex() >= 0 ? ComboDev[1]->currentText() : QString();
}

void FrmMain::RefreshDetails() {
  basic::Trap([&] {
    if (!m_Details || !m_Details->isVisible()) return;
    m_Details->SetInputDevice(InputDeviceName());
    // The result the window shows stays its first, wherever it now is.
    const std::vector<FrmDetails::Entry> entries = ListEntries(*LV);
    int primary = -1;
    for (size_t i = 0; i < entries.size(); ++i)
      if (entries[i].path == m_Details->PrimaryPath()) primary = static_cast<int>(i);
    m_Details->SetResults(entries, primary, m_OffsetDb);
  });
}
