#include "cli/CalibrationOptions.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <cmath>

#include "cli/Outputs.h"
#include "measurement/SideFiles.h"

namespace cli {

QList<QCommandLineOption> CalibrationOptions() {
  return {{QStringLiteral("mic-cal"),
           QStringLiteral("Take the microphone's response in <file> (frequency and dB a line) off the curve; "
                          "its sensitivity line, if any, adds spl_db."),
           QStringLiteral("file")},
          {QStringLiteral("device-cal"),
           QStringLiteral("Take the sound card's response in <file> (a loopback's CSV or FRD will do) off the "
                          "curve."),
           QStringLiteral("file")},
          {QStringLiteral("sensitivity"),
           QStringLiteral("The level in dBFS that 94 dB SPL reads (a full-scale sine is 0 dBFS); adds spl_db "
                          "to the CSV."),
           QStringLiteral("dBFS")}};
}

namespace {

bool ReadFile(const QCommandLineParser& parser, const QString& option, const char* what,
              std::optional<measurement::CorrectionCurve>& curve, QString& path) {
  if (!parser.isSet(option)) return true;
  path = parser.value(option);
  if (path.isEmpty()) {
    Complain(QStringLiteral("--%1 needs a file name").arg(option));
    return false;
  }
  const measurement::CorrectionRead read = measurement::ReadCorrectionFile(path);
  if (!read.curve) {
    Complain(QStringLiteral("cannot use %1 as the %2 file: %3")
                 .arg(path, QLatin1String(what), QString::fromStdString(read.error)));
    return false;
  }
  curve = read.curve;
  // Recorded as a path that still names the file from another folder.
  path = QFileInfo(path).absoluteFilePath();
  return true;
}

}  // namespace

bool ReadCalibrationOptions(const QCommandLineParser& parser, measurement::Calibration& calibration) {
  if (!ReadFile(parser, QStringLiteral("mic-cal"), "microphone", calibration.mic, calibration.micPath)) return false;
  if (!ReadFile(parser, QStringLiteral("device-cal"), "sound card", calibration.device, calibration.devicePath))
    return false;
  if (parser.isSet(QStringLiteral("sensitivity"))) {
    bool ok = false;
    const double v = parser.value(QStringLiteral("sensitivity")).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < -200 || v > 60) {
      Complain(QStringLiteral("--sensitivity is a level in dBFS from -200 to 60, not \"%1\"")
                   .arg(parser.value(QStringLiteral("sensitivity"))));
      return false;
    }
    calibration.sensitivityDbfs = v;
  }
  return true;
}

void RecordCorrections(const QString& resultPath, const measurement::Calibration& calibration,
                       bool onlyBesideSideFile) {
  if (!calibration.Corrects() || resultPath.isEmpty()) return;
  if (onlyBesideSideFile && !QFile::exists(measurement::SideJsonPath(resultPath))) return;
  if (!measurement::RecordAppliedCorrections(resultPath, {calibration.micPath, calibration.devicePath}))
    Complain(QStringLiteral("cannot record the correction files in %1").arg(measurement::SideJsonPath(resultPath)));
}

}  // namespace cli
