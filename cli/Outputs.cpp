#include "cli/Outputs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <climits>
#include <cstdio>

#include "measurement/Export.h"
#include "measurement/Result.h"
#include "measurement/SideFiles.h"
#include "support/CheckedFile.h"

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

QString Absolute(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

// The same file: the same path, or (both there) the same file on disk.
bool SameFile(const QString& a, const QString& b) {
  if (Absolute(a) == Absolute(b)) return true;
  struct stat sa {
  }, sb{};
  return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0 &&
         sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Whether path leads to the very file standard output writes to
// (/dev/stdout, /proc/self/fd/1, or the file the shell sent it to): such a
// destination is written as standard output, never replaced by a new file.
bool IsStandardOutput(const QString& path) {
  struct stat out {
  }, named{};
  return !path.isEmpty() && ::fstat(STDOUT_FILENO, &out) == 0 &&
         ::stat(QFile::encodeName(path).constData(), &named) == 0 && out.st_dev == named.st_dev &&
         out.st_ino == named.st_ino;
}

// A file to be written needs a name that fits, a folder that is there and
// takes new files, and nothing in its place but a regular file it may replace.
bool CanWrite(const QString& option, const QString& path, const char* what) {
  const auto refuse = [&](const QString& why) {
    Complain(QStringLiteral("cannot write the %1 to %2: %3").arg(QLatin1String(what), path, why));
    return false;
  };
  if (path.isEmpty()) {
    Complain(QStringLiteral("--%1 needs a file name").arg(option));
    return false;
  }
  QString why;
  if (!basic::CanReplace(path, &why)) return refuse(why);
  const QFileInfo info(path);
  const QString folder = info.absolutePath();
  if (!QFileInfo(folder).isDir()) return refuse(QStringLiteral("no such folder"));
  const QByteArray nativeFolder = QFile::encodeName(folder);
  const long nameMax = ::pathconf(nativeFolder.constData(), _PC_NAME_MAX);
  if (QFile::encodeName(info.fileName()).size() > (nameMax > 0 ? nameMax : NAME_MAX) ||
      QFile::encodeName(info.absoluteFilePath()).size() >= PATH_MAX)
    return refuse(basic::SystemReason(ENAMETOOLONG));
  if (::access(nativeFolder.constData(), W_OK | X_OK) != 0) return refuse(basic::SystemReason(errno));
  if (info.exists() && ::access(QFile::encodeName(path).constData(), W_OK) != 0)
    return refuse(basic::SystemReason(errno));
  return true;
}

}  // namespace

bool ReadOutputOptions(const QCommandLineParser& parser, OutputRequest& request) {
  request.csvPath = parser.value(QStringLiteral("csv"));
  request.pngPath = parser.value(QStringLiteral("png"));
  request.pngSize = measurement::ParsePictureSize(parser.value(QStringLiteral("png-size")));
  if (parser.isSet(QStringLiteral("png-size")) && !parser.isSet(QStringLiteral("png"))) {
    Complain(QStringLiteral("--png-size is the size of the --png picture: give --png too"));
    return false;
  }
  if (!request.pngSize.isValid()) {
    Complain(QStringLiteral("--png-size wants WxH, each from 64 to 8192, not \"%1\"")
                 .arg(parser.value(QStringLiteral("png-size"))));
    return false;
  }
  request.csvToStdout = parser.isSet(QStringLiteral("csv")) &&
                        (request.csvPath == QLatin1String("-") || IsStandardOutput(request.csvPath));
  if (request.csvToStdout) request.csvPath.clear();
  if (parser.isSet(QStringLiteral("csv")) && !request.csvToStdout &&
      !CanWrite(QStringLiteral("csv"), request.csvPath, "CSV"))
    return false;
  if (parser.isSet(QStringLiteral("png"))) {
    if (!request.pngPath.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) {
      Complain(QStringLiteral("--png wants a file name ending in .png, not \"%1\"").arg(request.pngPath));
      return false;
    }
    if (IsStandardOutput(request.pngPath)) {
      Complain(QStringLiteral("--png %1 is standard output; the picture needs a file of its own").arg(request.pngPath));
      return false;
    }
    if (!CanWrite(QStringLiteral("png"), request.pngPath, "picture")) return false;
  }
  if (!request.csvPath.isEmpty() && !request.pngPath.isEmpty() && SameFile(request.csvPath, request.pngPath)) {
    Complain(QStringLiteral("--csv and --png name the same file: %1").arg(request.csvPath));
    return false;
  }
  return true;
}

QStringList Destinations(const OutputRequest& request) {
  QStringList paths;
  for (const QString& path : {request.csvPath, request.pngPath})
    if (!path.isEmpty()) paths << path;
  return paths;
}

namespace {

bool Distinct(const QStringList& destinations) {
  for (qsizetype i = 0; i < destinations.size(); ++i)
    for (qsizetype j = i + 1; j < destinations.size(); ++j)
      if (SameFile(destinations[i], destinations[j])) {
        Complain(QStringLiteral("two outputs name the same file: %1").arg(destinations[i]));
        return false;
      }
  return true;
}

}  // namespace

bool KeepsClearOfResults(const QStringList& destinations, const QString& resultFolder) {
  static const QRegularExpression resultName(QStringLiteral("^[0-9]+\\.(dat|fft|ir\\.wav|json)$"),
                                             QRegularExpression::CaseInsensitiveOption);
  const QString folder = QFileInfo(resultFolder).canonicalFilePath();
  for (const QString& path : destinations) {
    const QFileInfo info(path);
    if (QFileInfo(info.absolutePath()).canonicalFilePath() == folder && resultName.match(info.fileName()).hasMatch()) {
      Complain(QStringLiteral("%1 is where the run's own result may go; name another file").arg(path));
      return false;
    }
  }
  return Distinct(destinations);
}

bool KeepsClearOf(const QStringList& destinations, const QString& source, bool sourceIsResult) {
  for (const QString& path : destinations) {
    if (SameFile(path, source)) {
      Complain(QStringLiteral("%1 is a file being read; name another file").arg(path));
      return false;
    }
    if (sourceIsResult &&
        (SameFile(path, measurement::ImpulseWavPath(source)) || SameFile(path, measurement::SideJsonPath(source)))) {
      Complain(QStringLiteral("%1 is a side file of the result being read; name another file").arg(path));
      return false;
    }
  }
  return Distinct(destinations);
}

bool WriteOutputs(const measurement::Result& result, const measurement::Calibration& calibration, uint32_t color,
                  const OutputRequest& request, bool csvToStdout) {
  bool ok = true;
  QString why;
  if (!request.csvPath.isEmpty() || csvToStdout || request.csvToStdout) {
    const QString csv = measurement::ResultCsv(result, calibration);
    if (request.csvPath.isEmpty()) {
      if (!basic::WriteToStandardOutput(csv.toUtf8(), &why)) {
        Complain(QStringLiteral("cannot write the CSV to standard output: %1").arg(why));
        ok = false;
      }
    } else if (!measurement::WriteTextFile(request.csvPath, csv, &why)) {
      Complain(QStringLiteral("cannot write the CSV to %1: %2").arg(request.csvPath, why));
      ok = false;
    }
  }
  if (!request.pngPath.isEmpty()) {
    const QImage picture = measurement::SpectrumPicture(result, calibration, color, request.pngSize);
    if (!measurement::WriteImageFile(request.pngPath, picture, &why)) {
      Complain(QStringLiteral("cannot write the picture to %1: %2").arg(request.pngPath, why));
      ok = false;
    }
  }
  return ok;
}

}  // namespace cli
