#include "measurement/ResultNumbers.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

#include "support/CheckedFile.h"

namespace measurement {

namespace {

BeforeClaimHook& Hook() {
  static BeforeClaimHook hook;
  return hook;
}

QString NumberedPath(const QString& folder, int32_t n, bool sweep) {
  return folder + QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')) +
         (sweep ? QStringLiteral(".dat") : QStringLiteral(".fft"));
}

// Anything at all by that name, a link that leads nowhere included.
bool Occupied(const QString& path) {
  struct stat st {};
  return ::lstat(QFile::encodeName(path).constData(), &st) == 0 || errno != ENOENT;
}

// The folder's lock, held while a number is picked and taken. Another holder
// keeps it for a moment only, though on a busy machine that moment can be
// long; one that does not let go (a stopped process) is waited for up to
// 30 s, then the exclusive rename alone keeps a name from being taken twice.
class FolderLock {
 public:
  explicit FolderLock(const QString& folder) {
    m_Fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_Fd < 0) return;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (::flock(m_Fd, LOCK_EX | LOCK_NB) != 0) {
      if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > give_up) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  ~FolderLock() {
    if (m_Fd >= 0) ::close(m_Fd);  // closing lets go of the lock
  }

 private:
  int m_Fd = -1;
};

}  // namespace

BeforeClaimHook SetBeforeClaimHook(BeforeClaimHook hook) { return std::exchange(Hook(), std::move(hook)); }

StoredResult StoreNewResult(const QString& folder, bool sweep, const QByteArray& bytes, int32_t after,
                            const std::function<bool(const QString& path)>& taken) {
  StoredResult stored;
  basic::CheckedFile file;
  if (!file.Begin(folder) || !file.Write(bytes)) {
    stored.error = file.Error();
    return stored;
  }
  if (const BeforeClaimHook hook = Hook()) hook();  // a copy: the hook may replace itself
  const FolderLock lock(folder);
  const auto held = [&](const QString& path) { return Occupied(path) || (taken && taken(path)); };
  for (int64_t n = int64_t{after} + 1; n < INT32_MAX; ++n) {
    const auto number = static_cast<int32_t>(n);
    const QString path = NumberedPath(folder, number, sweep);
    if (held(NumberedPath(folder, number, true)) || held(NumberedPath(folder, number, false))) continue;
    switch (file.Finish(path, basic::Placement::OnlyIfFree)) {
      case basic::Commit::Done:
        stored.path = path;
        stored.number = number;
        return stored;
      case basic::Commit::Taken: continue;  // taken since it was looked at: the next one
      case basic::Commit::Failed: stored.error = file.Error(); return stored;
    }
  }
  stored.error = basic::SystemReason(ENOSPC);
  return stored;
}

}  // namespace measurement
