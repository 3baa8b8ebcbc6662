#include <QCommandLineParser>
#include <cmath>
#include <optional>

#include "cli/CalibrationOptions.h"
#include "cli/Commands.h"
#include "cli/Outputs.h"
#include "cli/ResponseOutputs.h"
#include "measurement/ResultFiles.h"
#include "measurement/SideFiles.h"
#include "measurement/Calibration.h"

namespace cli {

QList<QCommandLineOption> ExportOptions() {
  return QList<QCommandLineOption>{{QStringLiteral("level"),
                                    QStringLiteral("The level the result was played at, in dB from -60.0 to 0.0 "
                                                   "(default: as the sweep's NN.json records it, else -3.0)."),
                                    QStringLiteral("dB")}} +
         OutputOptions() + CalibrationOptions() + ResponseOptions();
}

int ExportCommand(const QCommandLineParser& parser) {
  const QStringList positional = parser.positionalArguments();
  if (positional.size() != 2) {
    Complain(QStringLiteral("export wants exactly one result file"));
    return 1;
  }
  const QString path = positional[1];
  OutputRequest request;
  measurement::Calibration calibration;
  if (!ReadOutputOptions(parser, request) ||
      !KeepsClearOf(Destinations(request) + ResponseDestinations(parser), path) ||
      !ReadCalibrationOptions(parser, calibration) || !CheckResponseOptions(parser))
    return 1;
  std::optional<int32_t> levelTenthsDb;
  if (parser.isSet(QStringLiteral("level"))) {
    bool ok = false;
    const double v = parser.value(QStringLiteral("level")).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < -60.0 || v > 0.0) {
      Complain(QStringLiteral("--level is a number of dB from -60.0 to 0.0, not \"%1\"")
                   .arg(parser.value(QStringLiteral("level"))));
      return 1;
    }
    levelTenthsDb = static_cast<int32_t>(std::nearbyint(v * 10));
  }
  measurement::LoadedResult loaded = measurement::LoadResultFile(path);
  switch (loaded.outcome) {
    case measurement::LoadOutcome::Missing:
      Complain(QStringLiteral("cannot read %1: no such file").arg(path));
      return 1;
    case measurement::LoadOutcome::Ignored:
      Complain(QStringLiteral("cannot read %1: not a result file (a .fft spectrum or a mono 16-bit .dat envelope)")
                   .arg(path));
      return 1;
    default: break;
  }
  // The level it was played at: given, or as the sweep's NN.json records it.
  if (!levelTenthsDb) levelTenthsDb = measurement::ReadPlayedLevel(path);
  if (levelTenthsDb) loaded.result.levelTenthsDb = *levelTenthsDb;
  RecordCorrections(path, calibration, true);
  const bool responses = WantsResponses(parser);
  if (responses && !WriteResponses(parser, path, calibration)) return 1;
  const bool toStdout = request.csvToStdout || (request.csvPath.isEmpty() && request.pngPath.isEmpty() && !responses);
  // A sweep's response beside it gives the CSV its phase.
  if (!request.csvPath.isEmpty() || toStdout) measurement::ReadSideFilesInto(loaded.result, path);
  return WriteOutputs(loaded.result, calibration, kFirstTraceColor, request, toStdout) ? 0 : 1;
}

}  // namespace cli
