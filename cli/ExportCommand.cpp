#include <QCommandLineParser>

#include "cli/Commands.h"
#include "cli/Outputs.h"
#include "measurement/MeasurementRun.h"
#include "measurement/ResultFiles.h"
#include "measurement/RunSettings.h"

namespace cli {

int ExportCommand(const QCommandLineParser& parser) {
  const QStringList positional = parser.positionalArguments();
  if (positional.size() != 2) {
    Complain(QStringLiteral("export wants exactly one result file"));
    return 1;
  }
  const QString path = positional[1];
  OutputRequest request;
  if (!ReadOutputOptions(parser, request)) return 1;
  measurement::MeasurementRun state;
  switch (measurement::LoadResultFile(path, state)) {
    case measurement::LoadOutcome::Missing:
      Complain(QStringLiteral("cannot read %1: no such file").arg(path));
      return 1;
    case measurement::LoadOutcome::Ignored:
      Complain(QStringLiteral("cannot read %1: not a result file (a .fft spectrum or a mono 16-bit .dat envelope)")
                   .arg(path));
      return 1;
    default:
      break;
  }
  const float offsetDb = measurement::ReadRunSettings().offsetDb;
  const bool toStdout = request.csvPath.isEmpty() && request.pngPath.isEmpty();
  return WriteOutputs(state, offsetDb, kFirstTraceColor, request, toStdout) ? 0 : 1;
}

}  // namespace cli
