#include "cli/ResponseOutputs.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QFileInfo>

#include "cli/Outputs.h"
#include "measurement/ResponseExport.h"
#include "measurement/SideFiles.h"
#include "support/CheckedFile.h"

namespace cli {

namespace {

const QString kFrd = QStringLiteral("frd"), kIr = QStringLiteral("ir"), kDistortion = QStringLiteral("distortion"),
              kSmooth = QStringLiteral("smooth"), kPoints = QStringLiteral("points");

bool WriteText(const QString& path, const QString& text, const char* what) {
  QString reason;
  if (!basic::WriteWholeFile(path, text.toUtf8(), &reason)) {
    Complain(QStringLiteral("cannot write the %1 to %2: %3").arg(QLatin1String(what), path, reason));
    return false;
  }
  return true;
}

}  // namespace

QList<QCommandLineOption> ResponseOptions() {
  return {
      {kFrd,
       QStringLiteral("Write the frequency response as FRD text to <file> (--mic-cal and --device-cal taken off)."),
       QStringLiteral("file")},
      {kIr, QStringLiteral("Write the impulse response as a 32-bit float WAV to <file>."), QStringLiteral("file")},
      {kDistortion, QStringLiteral("Write THD and H2..H5 as CSV to <file>."), QStringLiteral("file")},
      {kSmooth, QStringLiteral("Smoothing of the FRD and distortion: none, 1/48, 1/24, 1/12, 1/6 or 1/3."),
       QStringLiteral("fraction"), QStringLiteral("none")},
      {kPoints, QStringLiteral("Points per octave of the FRD and distortion (default 48)."), QStringLiteral("n"),
       QString::number(measurement::kExportPointsPerOctave)},
  };
}

bool WantsResponses(const QCommandLineParser& parser) {
  return parser.isSet(kFrd) || parser.isSet(kIr) || parser.isSet(kDistortion);
}

QStringList ResponseDestinations(const QCommandLineParser& parser) {
  QStringList paths;
  for (const QString& option : {kFrd, kIr, kDistortion})
    if (parser.isSet(option)) paths << parser.value(option);
  return paths;
}

bool CheckResponseOptions(const QCommandLineParser& parser) {
  if (parser.isSet(kSmooth) && !parser.isSet(kFrd) && !parser.isSet(kDistortion)) {
    Complain(QStringLiteral("--smooth smooths the FRD and the distortion CSV: give --frd or --distortion with it"));
    return false;
  }
  if (!measurement::ParseSmoothing(parser.value(kSmooth).toStdString())) {
    Complain(
        QStringLiteral("--smooth takes none, 1/48, 1/24, 1/12, 1/6 or 1/3, not \"%1\"").arg(parser.value(kSmooth)));
    return false;
  }
  bool ok = false;
  const int points = parser.value(kPoints).toInt(&ok);
  if (!ok || points < 1 || points > 1000) {
    Complain(QStringLiteral("--points takes a whole number from 1 to 1000, not \"%1\"").arg(parser.value(kPoints)));
    return false;
  }
  return true;
}

bool WriteResponses(const QCommandLineParser& parser, const QString& resultPath,
                    const measurement::Calibration& calibration) {
  if (!CheckResponseOptions(parser)) return false;
  const measurement::Smoothing smoothing =
      measurement::ParseSmoothing(parser.value(kSmooth).toStdString()).value_or(measurement::Smoothing::None);
  const int points = parser.value(kPoints).toInt();
  measurement::SideInfo info;
  const auto ir = measurement::ReadSideFiles(resultPath, &info);
  if (!ir) {
    Complain(QStringLiteral("%1 has no impulse response beside it (%2 and %3)")
                 .arg(resultPath, QFileInfo(measurement::ImpulseWavPath(resultPath)).fileName(),
                      QFileInfo(measurement::SideJsonPath(resultPath)).fileName()));
    return false;
  }
  bool written = true;
  if (parser.isSet(kFrd)) {
    const QString date = QDateTime::currentDateTime().toString(Qt::ISODate);
    written =
        WriteText(parser.value(kFrd), measurement::FrdText(*ir, smoothing, points, date, calibration, info), "FRD") &&
        written;
  }
  if (parser.isSet(kIr) && !measurement::WriteFloatWav(parser.value(kIr), ir->samples, ir->rate)) {
    Complain(QStringLiteral("cannot write the impulse response to %1").arg(parser.value(kIr)));
    written = false;
  }
  if (parser.isSet(kDistortion))
    written = WriteText(parser.value(kDistortion), measurement::DistortionCsvText(*ir, smoothing, points),
                        "distortion CSV") &&
              written;
  return written;
}

}  // namespace cli
