#include "support/Logging.h"

#include <QFile>
#include <QSysInfo>
#include <algorithm>
#include <cmath>
#include <utility>

#include "support/CheckedFile.h"
#include "support/FileHandle.h"
#include "support/Paths.h"
#include "support/Settings.h"

namespace basic {

namespace {

int g_LogError = 0;
int g_ErrorCatch = 0;

QString& LogFolderOverride() {
  static QString folder;
  return folder;
}

QString& ComputerNameCache() {
  static QString name;
  return name;
}

LogObserver& Observer() {
  static LogObserver observer;
  return observer;
}

QString Two(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }

}  // namespace

int LogError() { return g_LogError; }
void SetLogError(int on) { g_LogError = on; }
int ErrorCatch() { return g_ErrorCatch; }
void SetErrorCatch(int on) { g_ErrorCatch = on; }

void InitDiagnosticSwitches() {
  g_LogError = ReadSetting(QStringLiteral("LogError"), int32_t{0}).toInt();
  g_ErrorCatch = ReadSetting(QStringLiteral("ErrorCatch"), int32_t{0}).toInt();
  if (g_ErrorCatch == 0 && FileExists(AppFolder() + QStringLiteral("ec.txt"))) g_ErrorCatch = 1;
}

QString LogFolder() {
  if (!LogFolderOverride().isEmpty()) return LogFolderOverride();
  // An installed program does not write beside itself: the log then goes to the user's data folder.
  return OwnFilesFolder(AppFolder()) + QStringLiteral("log");
}

void SetLogFolder(const QString& folder) { LogFolderOverride() = folder; }

void WriteLogLine(const QString& text, bool isError, bool force) {
  if (!force && !g_LogError) return;
  const QString ext = isError ? QStringLiteral(".err") : QStringLiteral(".log");
  const QString name = QStringLiteral("zarin - ") + ComputerName();
  const QString folder = LogFolder();
  if (!FolderExists(folder) && !MakeFolder(folder)) return;
  const QString file = EnsureTrailingSeparator(folder, 0) + name + ext;
  if (FileSizeOfPath(file) > kLogSizeLimit) {
    if (g_ErrorCatch) MoveFileRetry(file, UniqueFileName(file, 1, 1, 3, 1), 1);
    else DeleteFileIfAny(file);
  }
  const QByteArray line = (FormatTimestamp() + QLatin1Char(' ') + text + QStringLiteral("\r\n")).toUtf8();
  if (!AppendToFile(file, line)) return;
  if (Observer()) Observer()(text, isError);
}

QString FormatTimestamp(int32_t seconds, int32_t dayOffset, int32_t separatorStyle, int32_t parts, int32_t timeSource,
                        int32_t yearStyle, float secondsOffset) {
  return FormatTimestampAt(QDateTime::currentDateTime(), seconds, dayOffset, separatorStyle, parts, timeSource,
                           yearStyle, secondsOffset);
}

QString FormatTimestampAt(const QDateTime& now, int32_t seconds, int32_t dayOffset, int32_t separatorStyle,
                          int32_t parts, int32_t timeSource, int32_t yearStyle, float secondsOffset) {
  if (parts == 0) parts = 3;
  QDate day = now.date();
  double t = now.time().msecsSinceStartOfDay() / 1000.0;
  t = std::clamp(t, 0.0, 86399.999);
  t += secondsOffset;
  if (t >= 86400) {
    t -= 86400;
    day = day.addDays(1);
  } else if (t < 0) {
    t += 86400;
    day = day.addDays(-1);
  }
  day = day.addDays(dayOffset);

  int64_t whole = 0;
  int ms = 0;
  switch (timeSource) {
    case 0:
      whole = static_cast<int64_t>(std::floor(t));
      // Never "1000": a fraction that rounds up to a whole second shows 999.
      ms = std::min(999, static_cast<int>(std::nearbyint((t - static_cast<double>(whole)) * 1000)));
      break;
    case 2: whole = 23 * 3600 + 59 * 60 + 59; break;
    case 3: whole = seconds; break;
    default: whole = 0; break;
  }
  int64_t h = whole / 3600, m = (whole % 3600) / 60, s = whole % 60;
  if (h * 3600 + m * 60 + s < seconds) {
    h += 24;
    day = day.addDays(-1);
  }

  QString ds, dts, ts, mss;
  if (separatorStyle == 0) {
    ds = QStringLiteral("/"), dts = QStringLiteral(" "), ts = QStringLiteral(":"), mss = QStringLiteral(".");
  } else if (separatorStyle == 2) {
    ds = QStringLiteral("-"), dts = QStringLiteral(" "), ts = QStringLiteral("_"), mss = QStringLiteral("_");
  }

  QString text;
  if (parts & 1) {
    QString year = QStringLiteral("%1").arg(day.year(), 4, 10, QLatin1Char('0'));
    if (yearStyle == 1) year = year.right(2);
    if (yearStyle == 2) year.clear();
    text += year + ds + Two(day.month()) + ds + Two(day.day());
  }
  if (parts & 2) {
    if (!text.isEmpty()) text += dts;
    text += Two(static_cast<int>(h)) + ts + Two(static_cast<int>(m)) + ts + Two(static_cast<int>(s));
  }
  if (parts & 4) text += mss + QStringLiteral("%1").arg(ms, 3, 10, QLatin1Char('0'));
  return text;
}

QString ComputerName() {
  QString& cache = ComputerNameCache();
  if (cache.isEmpty()) {
    QString name = QSysInfo::machineHostName();
    const int nul = name.indexOf(QChar(0));
    if (nul >= 0) name.truncate(nul);
    cache = name.left(255);
  }
  return cache;
}

LogObserver SetLogObserver(LogObserver observer) { return std::exchange(Observer(), std::move(observer)); }

}  // namespace basic
