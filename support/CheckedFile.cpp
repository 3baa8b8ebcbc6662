#include "support/CheckedFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace basic {

namespace {

// Writes go out in blocks of at most this size, each checked.
constexpr int64_t kBlock = int64_t{1} << 16;

WriteFault& Fault() {
  static WriteFault fault;
  return fault;
}

int Injected(WriteStage stage, int64_t written) { return Fault() ? Fault()(stage, written) : 0; }

QByteArray Native(const QString& path) { return QFile::encodeName(path); }

// The mode a new file gets: what the process's umask leaves of rw-rw-rw-.
mode_t NewFileMode() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (status.open(QIODevice::ReadOnly)) {
    for (const QByteArray& line : status.readAll().split('\n')) {
      if (!line.startsWith("Umask:")) continue;
      bool ok = false;
      const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
      if (ok) return static_cast<mode_t>(0666 & ~mask);
    }
  }
  return 0644;
}

// Where a write of path lands: the target of a link, else path itself.
QString Destination(const QString& path) {
  const QFileInfo info(path);
  if (!info.isSymLink()) return path;
  const QString target = info.canonicalFilePath();
  return target.isEmpty() ? path : target;
}

}  // namespace

WriteFault SetWriteFault(WriteFault fault) { return std::exchange(Fault(), std::move(fault)); }

QString SystemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

bool CanReplace(const QString& path, QString* reason) {
  const auto refuse = [&](const QString& why) {
    if (reason) *reason = why;
    return false;
  };
  if (path.isEmpty()) return refuse(SystemReason(ENOENT));
  const QByteArray native = Native(path);
  struct stat st {};
  if (::lstat(native.constData(), &st) != 0) return errno == ENOENT ? true : refuse(SystemReason(errno));
  if (S_ISLNK(st.st_mode) && ::stat(native.constData(), &st) != 0) return refuse(QStringLiteral("a link to nothing"));
  if (S_ISDIR(st.st_mode)) return refuse(SystemReason(EISDIR));
  if (!S_ISREG(st.st_mode)) return refuse(QStringLiteral("not a regular file"));
  return true;
}

CheckedFile::~CheckedFile() { Cancel(); }

bool CheckedFile::Fail(int error) {
  m_Spoilt = true;
  m_Error = SystemReason(error);
  return false;
}

bool CheckedFile::Begin(const QString& folder) {
  Cancel();
  m_Error.clear();
  m_Spoilt = false;
  m_Closed = false;
  m_Written = 0;
  m_Folder = folder.isEmpty() ? QStringLiteral(".") : folder;
  // A short private name: it fits wherever the destination's name fits.
  QByteArray name = Native(m_Folder);
  if (!name.endsWith('/')) name += '/';
  name += ".zarin-XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return Fail(errno);
  m_Fd = fd;
  m_TempPath = name;
  if (::fchmod(m_Fd, NewFileMode()) != 0) return Fail(errno);
  return true;
}

bool CheckedFile::Write(const void* bytes, int64_t count) {
  if (m_Fd < 0 || m_Spoilt || m_Closed) return Fail(EBADF);
  if (count < 0 || (count > 0 && !bytes)) return Fail(EINVAL);
  const auto* p = static_cast<const char*>(bytes);
  int64_t done = 0;
  while (done < count) {
    if (const int e = Injected(WriteStage::Write, m_Written)) return Fail(e);
    const ssize_t n = ::write(m_Fd, p + done, static_cast<size_t>(std::min(count - done, kBlock)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(errno);
    if (n == 0) return Fail(EIO);
    done += n;
    m_Written += n;
  }
  return true;
}

bool CheckedFile::Close() {
  if (m_Closed) return !m_Spoilt;
  if (m_Fd < 0) return Fail(EBADF);
  int e = Injected(WriteStage::Sync, m_Written);
  if (e == 0 && ::fsync(m_Fd) != 0) e = errno;
  int closeError = Injected(WriteStage::Close, m_Written);
  if (::close(m_Fd) != 0 && closeError == 0) closeError = errno;
  m_Fd = -1;
  m_Closed = true;
  if (e != 0) return Fail(e);
  if (closeError != 0) return Fail(closeError);
  return !m_Spoilt;
}

Commit CheckedFile::Finish(const QString& path, Placement placement) {
  if (m_TempPath.isEmpty() || m_Spoilt || !Close()) {
    if (m_Error.isEmpty()) m_Error = SystemReason(EBADF);
    Cancel();
    return Commit::Failed;
  }
  const QByteArray target = Native(placement == Placement::Replace ? Destination(path) : path);
  if (placement == Placement::OnlyIfFree) {
    if (::renameat2(AT_FDCWD, m_TempPath.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0) {
      m_TempPath.clear();
      return Commit::Done;
    }
    int e = errno;
    if (e == EINVAL || e == ENOSYS || e == ENOTSUP) {
      // A file system without the exclusive rename: a hard link is exclusive too.
      if (::link(m_TempPath.constData(), target.constData()) == 0) {
        Cancel();  // the private name goes, the linked one stays
        return Commit::Done;
      }
      e = errno;
    }
    if (e == EEXIST) return Commit::Taken;
    m_Error = SystemReason(e);
    Cancel();
    return Commit::Failed;
  }
  QString why;
  if (!CanReplace(QString::fromLocal8Bit(target), &why)) {
    m_Error = why;
    Cancel();
    return Commit::Failed;
  }
  // An existing file keeps its permissions.
  struct stat st {};
  if (::stat(target.constData(), &st) == 0) ::chmod(m_TempPath.constData(), st.st_mode & 07777);
  if (::rename(m_TempPath.constData(), target.constData()) != 0) {
    m_Error = SystemReason(errno);
    Cancel();
    return Commit::Failed;
  }
  m_TempPath.clear();
  return Commit::Done;
}

void CheckedFile::Cancel() {
  if (m_Fd >= 0) {
    ::close(m_Fd);
    m_Fd = -1;
  }
  if (!m_TempPath.isEmpty()) {
    ::unlink(m_TempPath.constData());
    m_TempPath.clear();
  }
  m_Closed = true;
}

bool WriteWholeFile(const QString& path, const QByteArray& bytes, QString* reason) {
  const auto fail = [&](const QString& why) {
    if (reason) *reason = why;
    return false;
  };
  QString why;
  if (!CanReplace(path, &why)) return fail(why);
  const QString target = Destination(path);
  CheckedFile file;
  if (!file.Begin(QFileInfo(target).absolutePath()) || !file.Write(bytes) ||
      file.Finish(target, Placement::Replace) != Commit::Done)
    return fail(file.Error());
  return true;
}

bool AppendToFile(const QString& path, const QByteArray& bytes, QString* reason) {
  const auto fail = [&](int error) {
    if (reason) *reason = SystemReason(error);
    return false;
  };
  int fd;
  do {
    fd = ::open(Native(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return fail(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    if (reason) *reason = QStringLiteral("not a regular file");
    return false;
  }
  const off_t before = st.st_size;
  int64_t done = 0;
  int error = 0;
  while (done < bytes.size()) {
    if ((error = Injected(WriteStage::Write, done)) != 0) break;
    const ssize_t n =
        ::write(fd, bytes.constData() + done, static_cast<size_t>(std::min<int64_t>(bytes.size() - done, kBlock)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : EIO;
      break;
    }
    done += n;
  }
  if (error != 0 && ::ftruncate(fd, before) != 0) {
    // The half line stays; the failure is still reported.
  }
  if (::close(fd) != 0 && error == 0) error = errno;
  return error == 0 ? true : fail(error);
}

bool WriteToStandardOutput(const QByteArray& bytes, QString* reason) {
  std::fflush(stdout);  // what stdio holds goes first
  int64_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(STDOUT_FILENO, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (reason) *reason = SystemReason(n < 0 ? errno : EIO);
      return false;
    }
    done += n;
  }
  return true;
}

}  // namespace basic
