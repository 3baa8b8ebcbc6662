// The details window's export: the opened result's response as the FRD
// text loudspeaker-design programs read, its impulse response as a 32-bit
// float WAV, or its distortion as CSV, with the smoothing chosen here and
// the correction files in force, as `zarin export` writes them.
#include <QDateTime>
#include <QFileInfo>
#include <QPushButton>

#include "measurement/ResponseExport.h"
#include "measurement/SideFiles.h"
#include "support/CheckedFile.h"
#include "support/ErrorTrap.h"
#include "widgets/Dialogs.h"
#include "window/FrmDetails.h"

namespace {

void Say(QWidget* owner, const QString& text) {
  basic::CenteredMessageBox(text, basic::vbOKOnly | basic::vbExclamation, QString(), owner);
}

}  // namespace

void FrmDetails::CreateExportControls() {
  ButtonExport = new QPushButton(QStringLiteral("書き出し..."), this);
  ButtonExport->setToolTip(
      QStringLiteral("周波数特性 (FRD)、インパルス応答 (WAV) または歪み (CSV) をファイルに書き出します"));
  ButtonExport->setEnabled(false);
  connect(ButtonExport, &QPushButton::clicked, this, [this] { ChooseExport(); });
}

void FrmDetails::ChooseExport() {
  const QString source = PrimaryPath();
  if (source.isEmpty()) return;
  QString target = basic::FileDialog(
      this, 1, QStringLiteral("周波数特性 (FRD)|*.frd|インパルス応答 (WAV)|*.wav|歪み (CSV)|*.csv"),
      QFileInfo(source).absolutePath(), QFileInfo(source).completeBaseName() + QStringLiteral(".frd"));
  if (target.isEmpty()) return;
  if (QFileInfo(target).suffix().isEmpty()) target += QStringLiteral(".frd");
  ExportResponse(target);
}

bool FrmDetails::ExportResponse(const QString& target) {
  bool written = false;
  basic::Trap([&] {
    const QString source = PrimaryPath();
    const std::shared_ptr<measurement::ResultDetails> details =
        source.isEmpty() ? nullptr : m_Cache.Get(source, m_OffsetDb);
    const measurement::ResponseViews* response = details ? details->Response() : nullptr;
    if (!response) {
      Say(this, QStringLiteral("この測定結果には書き出せる応答がありません。スウィープで新しく測定してください。"));
      return;
    }
    // The result's own files stay as they are.
    const QString where = QFileInfo(target).absoluteFilePath();
    for (const QString& own : {source, measurement::ImpulseWavPath(source), measurement::SideJsonPath(source)})
      if (QFileInfo(own).absoluteFilePath() == where) {
        Say(this, QStringLiteral("測定結果のファイルには書き出せません。別の名前を選んでください。\r\n") + target);
        return;
      }
    const measurement::ImpulseResponse& ir = response->Response();
    const QString suffix = QFileInfo(target).suffix().toLower();
    QString reason;
    if (suffix == QLatin1String("wav")) {
      written = measurement::WriteFloatWav(target, ir.samples, ir.rate, &reason);
    } else {
      const QString text =
          suffix == QLatin1String("csv")
              ? measurement::DistortionCsvText(ir, m_Smoothing, measurement::kExportPointsPerOctave)
              : measurement::FrdText(ir, m_Smoothing, measurement::kExportPointsPerOctave,
                                     QDateTime::currentDateTime().toString(Qt::ISODate), m_Calibration);
      written = basic::WriteWholeFile(target, text.toUtf8(), &reason);
    }
    if (!written) Say(this, QStringLiteral("書き出せませんでした。\r\n") + target + QStringLiteral("\r\n") + reason);
  });
  return written;
}
