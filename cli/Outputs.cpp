#include "cli/Outputs.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <cstdio>

#include "measurement/Export.h"
#include "measurement/MeasurementRun.h"

namespace cli {

void Complain(const QString& text) {
  std::fprintf(stderr, "zarin: %s\n", text.toLocal8Bit().constData());
  std::fflush(stderr);
}

QList<QCommandLineOption> OutputOptions() {
  return {{QStringLiteral("csv"),
           QStringLiteral("Write the curve as CSV to <file>: frequency_hz,gain_db (and spl_db with a sensitivity)."),
           QStringLiteral("file")},
          {QStringLiteral("png"), QStringLiteral("Write the curve's picture as PNG to <file>; its grid reads gain_db."),
           QStringLiteral("file")},
          {QStringLiteral("png-size"), QStringLiteral("Size of the picture (default 1200x600)."), QStringLiteral("WxH"),
           QStringLiteral("1200x600")}};
}

namespace {
// A file to be written needs a name, and a folder that is there.
bool CanWrite(const QString& option, const QString& path, const char* what) {
  if (path.isEmpty()) {
    Complain(QStringLiteral("--%1 needs a file name").arg(option));
    return false;
  }
  const QFileInfo info(path);
  if (info.isDir()) {
    Complain(QStringLiteral("cannot write the %1 to %2: that is a folder").arg(QLatin1String(what), path));
    return false;
  }
  if (!QFileInfo(info.absolutePath()).isDir()) {
    Complain(QStringLiteral("cannot write the %1 to %2: no such folder").arg(QLatin1String(what), path));
    return false;
  }
  return true;
}
}  // namespace

bool ReadOutputOptions(const QCommandLineParser& parser, OutputRequest& request) {
  request.csvPath = parser.value(QStringLiteral("csv"));
  request.pngPath = parser.value(QStringLiteral("png"));
  request.pngSize = measurement::ParsePictureSize(parser.value(QStringLiteral("png-size")));
  if (!request.pngSize.isValid()) {
    Complain(QStringLiteral("--png-size wants WxH, each from 64 to 8192, not \"%1\"")
                 .arg(parser.value(QStringLiteral("png-size"))));
    return false;
  }
  if (parser.isSet(QStringLiteral("csv")) && !CanWrite(QStringLiteral("csv"), request.csvPath, "CSV")) return false;
  if (parser.isSet(QStringLiteral("png")) && !CanWrite(QStringLiteral("png"), request.pngPath, "picture")) return false;
  return true;
}

bool WriteOutputs(const measurement::MeasurementRun& state, const measurement::Calibration& calibration,
                  uint32_t color, const OutputRequest& request, bool csvToStdout) {
  bool ok = true;
  if (!request.csvPath.isEmpty() || csvToStdout) {
    const QString csv = measurement::ResultCsv(state, calibration);
    if (request.csvPath.isEmpty()) {
      std::fputs(csv.toUtf8().constData(), stdout);
      std::fflush(stdout);
    } else if (!measurement::WriteTextFile(request.csvPath, csv)) {
      Complain(QStringLiteral("cannot write the CSV to %1").arg(request.csvPath));
      ok = false;
    }
  }
  if (!request.pngPath.isEmpty()) {
    const QImage picture = measurement::SpectrumPicture(state, calibration, color, request.pngSize);
    if (!measurement::WriteImageFile(request.pngPath, picture)) {
      Complain(QStringLiteral("cannot write the picture to %1").arg(request.pngPath));
      ok = false;
    }
  }
  return ok;
}

}  // namespace cli
