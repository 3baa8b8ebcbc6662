#include "support/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QStandardPaths>
#include <QStringList>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "support/CheckedFile.h"
#include "support/Surface.h"

namespace basic {

namespace {

bool IsHttp(const QString& path) { return path.size() > 3 && path.left(4).toLower() == QLatin1String("http"); }

QChar SeparatorFor(const QString& path) { return IsHttp(path) ? QLatin1Char('/') : PathSeparator(); }

struct Parts {
  QString folder, name, base, dot, ext;
};

Parts Cut(const QString& path) {
  Parts p;
  const int slash = path.lastIndexOf(PathSeparator());
  p.folder = slash >= 0 ? path.left(slash) : QString();
  p.name = slash >= 0 ? path.mid(slash + 1) : path;
  const int dot = p.name.lastIndexOf(QLatin1Char('.'));
  if (dot >= 0) {
    p.base = p.name.left(dot);
    p.dot = QStringLiteral(".");
    p.ext = p.name.mid(dot + 1);
  } else {
    p.base = p.name;
  }
  return p;
}

RetryWait& RetryWaitFn() {
  static RetryWait wait;
  return wait;
}

}  // namespace

QChar PathSeparator() { return QDir::separator(); }

QString AppFolder() {
  QString dir;
  if (QCoreApplication::instance()) {
    dir = QCoreApplication::applicationDirPath();
  } else {
    dir = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    dir = QFileInfo(dir).absolutePath();
  }
  return EnsureTrailingSeparator(QDir::toNativeSeparators(dir), 0);
}

QString SystemFolder() {
  // The folder the system's shared libraries live in.
  const QString libs = QLibraryInfo::path(QLibraryInfo::LibrariesPath);
  return EnsureTrailingSeparator(QDir::toNativeSeparators(libs.left(260)), 0);
}

int MayWriteBesideProgram(const QString& programFolder) {
  const QString folder = QDir::cleanPath(QDir::fromNativeSeparators(programFolder));
  const QFileInfo info(folder);
  if (!info.isDir() || !info.isWritable()) return 0;
  // A build tree: CMake's cache lies in the folder or the one above it.
  const QDir here(folder);
  for (const QString& cache :
       {here.filePath(QStringLiteral("CMakeCache.txt")), here.filePath(QStringLiteral("../CMakeCache.txt"))})
    if (QFileInfo(cache).isFile()) return 1;
  return 0;
}

QString OwnFilesFolder(const QString& programFolder) {
  if (MayWriteBesideProgram(programFolder)) return EnsureTrailingSeparator(programFolder, 0);
  const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
  QDir().mkpath(data);
  return EnsureTrailingSeparator(QDir::toNativeSeparators(data), 0);
}

int FileExists(const QString& path) {
  const QString p = path.trimmed();
  if (p.isEmpty()) return 0;
  const QFileInfo info(p);
  return info.exists() && !info.isDir() ? 1 : 0;
}

int FolderExists(const QString& path) {
  if (path.isEmpty()) return 0;
  const QString p = EnsureTrailingSeparator(path, 1);
  if (p.isEmpty()) return 0;
  return QFileInfo(p).isDir() ? 1 : 0;
}

int MakeFolder(const QString& path) {
  const QString p = EnsureTrailingSeparator(path, 1);
  if (p.isEmpty()) return 0;
  return QDir().mkdir(p) ? 1 : 0;
}

QString EnsureTrailingSeparator(const QString& path, int remove) {
  if (path.trimmed().isEmpty()) return {};
  const QChar sep = SeparatorFor(path);
  const bool ends = path.endsWith(sep);
  if (remove) return ends ? path.left(path.size() - 1) : path;
  return ends ? path : path + sep;
}

int IsReservedDeviceName(const QString& path) {
  static const QStringList names = [] {
    QStringList n{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"), QStringLiteral("NUL"),
                  QStringLiteral("CLOCK$")};
    for (int i = 0; i <= 9; ++i) n << QStringLiteral("COM%1").arg(i) << QStringLiteral("LPT%1").arg(i);
    return n;
  }();
  return names.contains(Cut(path).base.toUpper()) ? 1 : 0;
}

int DeleteFileIfAny(const QString& path) {
  if (path.isEmpty()) return 1;
  const QByteArray native = path.toLocal8Bit();
  struct stat st {};
  if (::lstat(native.constData(), &st) != 0) return 1;  // nothing there
  if (IsReservedDeviceName(path)) return 1;
  if (S_ISDIR(st.st_mode)) return 0;
  // A read-only file loses its protection first.
  if ((st.st_mode & S_IWUSR) == 0) ::chmod(native.constData(), st.st_mode | S_IWUSR);
  return ::unlink(native.constData()) == 0 ? 1 : 0;
}

int RenameFile(const QString& oldPath, const QString& newPath) {
  if (oldPath.isEmpty() || newPath.isEmpty()) return 0;
  if (QFileInfo(oldPath).isDir()) return QDir().rename(oldPath, newPath) ? 1 : 0;
  // A move does not replace an existing file.
  if (QFileInfo::exists(newPath) || QFileInfo(newPath).isSymLink()) return 0;
  return QFile::rename(oldPath, newPath) ? 1 : 0;
}

int MoveFileRetry(const QString& source, const QString& target, int replace) {
  if (IsReservedDeviceName(source) || IsReservedDeviceName(target)) return 0;
  if (replace) DeleteFileIfAny(target);
  for (int attempt = 1; attempt <= 10; ++attempt) {
    if (RenameFile(source, target)) return 1;
    if (attempt < 10) {
      if (RetryWaitFn()) RetryWaitFn()(10 * attempt);
      else WaitMs(10 * attempt, 0);
    }
  }
  return 0;
}

RetryWait SetRetryWait(RetryWait wait) { return std::exchange(RetryWaitFn(), std::move(wait)); }

namespace {
CopyFault& CopyFaultFn() {
  static CopyFault fault;
  return fault;
}
}  // namespace

CopyFault SetCopyFault(CopyFault fault) { return std::exchange(CopyFaultFn(), std::move(fault)); }

int CopyFileTo(const QString& source, const QString& target, int deleteTargetFirst) {
  if (source.isEmpty() || target.isEmpty()) return 0;
  if (!QFileInfo(source).isFile()) return 0;
  // Copying a file onto itself must not delete it first: it is already there.
  if (QFileInfo(source).canonicalFilePath() == QFileInfo(target).canonicalFilePath()) return 1;
  if (!CanReplace(target)) return 0;
  if (deleteTargetFirst && FileExists(target) && !DeleteFileIfAny(target)) return 0;
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly)) return 0;
  // The copy is a new file beside the target that takes its place only once
  // every byte is written and on disk; anything short of that is removed and
  // the target stays as it was.
  const QFileInfo to(target);
  const QString destination = to.isSymLink() ? to.canonicalFilePath() : target;
  CheckedFile out;
  if (!out.Begin(QFileInfo(destination).absolutePath())) return 0;
  std::vector<char> block(size_t{1} << 16);
  int64_t copied = 0;
  for (;;) {
    const qint64 n = in.read(block.data(), static_cast<qint64>(block.size()));
    if (n == 0) break;
    if (n < 0 || (CopyFaultFn() && CopyFaultFn()(copied)) || !out.Write(block.data(), n)) return 0;
    copied += n;
  }
  return out.Finish(destination, Placement::Replace) == Commit::Done ? 1 : 0;
}

QString SplitPath(const QString& path, int folder, int separator, int baseName, int dot, int extension,
                  int letterCase) {
  if (path.isEmpty()) return {};
  const Parts p = Cut(path);
  QString r;
  if (folder) r += p.folder;
  if (separator) r += PathSeparator();
  if (baseName) r += p.base;
  if (dot) r += p.dot;
  if (extension) r += p.ext;
  if (letterCase == 1) return r.toLower();
  if (letterCase == 2) return r.toUpper();
  return r;
}

QString EnsureExtension(const QString& path, const QString& extension) {
  QString ext = extension.trimmed();
  if (path.isEmpty()) return {};
  if (ext.isEmpty()) return path;
  if (!ext.startsWith(QLatin1Char('.'))) ext.prepend(QLatin1Char('.'));
  if (path.right(ext.size()).compare(ext, Qt::CaseInsensitive) == 0) return path;
  return path + ext.toLower();
}

QString UniqueFileName(const QString& path, int keepFolder, int keepExtension, int32_t digits, int alwaysNumber) {
  if (!alwaysNumber && !FileExists(path))
    return SplitPath(path, keepFolder, keepFolder, 1, keepExtension, keepExtension, 0);
  const QString folder = SplitPath(path, 1, 1, 0, 0, 0, 0);
  const QString base = SplitPath(path, 0, 0, 1, 0, 0, 0);
  const QString dotExt = SplitPath(path, 0, 0, 0, 1, 1, 0);
  const int width = digits > 0 ? digits : 0;
  QString counter;
  for (int64_t n = 1;; ++n) {
    counter = QStringLiteral("%1").arg(n, width, 10, QLatin1Char('0'));
    if (!FileExists(folder + base + counter + dotExt)) break;
  }
  QString r = base + counter;
  if (keepFolder) r.prepend(folder);
  if (keepExtension) r += dotExt;
  return r;
}

void WaitMs(int32_t waitMs, int32_t sleepMs) {
  if (waitMs <= 0) {
    DoEvents();
    return;
  }
  // A monotonic clock: the wait neither ends early nor runs on when the time
  // of day jumps (midnight, clock changes).
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() <= waitMs) {
    DoEvents();
    if (sleepMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
    else std::this_thread::yield();
  }
}

}  // namespace basic
