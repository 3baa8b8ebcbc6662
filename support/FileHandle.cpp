#include "support/FileHandle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace basic {

namespace {

// Handles are file descriptors moved clear of 0 and 1.
constexpr int64_t kHandleBias = 16;

int FdOf(FileHandle handle) {
  if (handle < kHandleBias || handle > kHandleBias + INT32_MAX) return -1;
  return static_cast<int>(handle - kHandleBias);
}

}  // namespace

FileHandle OpenFileHandle(const QString& path, int mode, int32_t) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case kOpenRead: flags |= O_RDONLY; break;
    case kOpenWrite: flags |= O_WRONLY | O_CREAT; break;
    case kOpenReadWrite: flags |= O_RDWR | O_CREAT; break;
    default: return 0;
  }
  if (path.isEmpty()) return 0;
  const QByteArray native = path.toLocal8Bit();
  int fd;
  do {
    fd = ::open(native.constData(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return 0;
  struct stat st {};
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return 0;
  }
  return kHandleBias + fd;
}

void CloseFileHandle(FileHandle& handle) {
  const int fd = FdOf(handle);
  if (fd >= 0) ::close(fd);
  handle = 0;
}

void SplitOffset(int64_t offset, int32_t& high, int32_t& low) {
  high = static_cast<int32_t>(offset / 4294967296LL);
  low = ToSigned32(offset % 4294967296LL);
}

int SeekFileTo(FileHandle handle, int64_t offset) {
  const int fd = FdOf(handle);
  if (fd < 0 || offset < 0) return -1;
  int32_t high = 0, low = 0;
  SplitOffset(offset, high, low);
  const int64_t target = static_cast<int64_t>(high) * 4294967296LL + ToUnsigned32(low);
  return ::lseek(fd, static_cast<off_t>(target), SEEK_SET) == static_cast<off_t>(target) ? 0 : -1;
}

FileHandle ReadFileAt(void* buffer, int32_t count, int64_t offset, FileHandle handle, const QString& path,
                      bool closeWhenDone) {
  const bool given = handle != 0;
  FileHandle inUse = given ? handle : OpenFileHandle(path, kOpenRead);
  if (inUse == 0) return 0;
  if (count == 0 && !given && !closeWhenDone) return inUse;  // open for reading only
  const auto fail = [&] {
    CloseFileHandle(inUse);
    return FileHandle{0};
  };
  if (count < 0 || (count > 0 && !buffer)) return fail();
  if (SeekFileTo(inUse, offset) != 0) return fail();
  auto* bytes = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(FdOf(inUse), bytes + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail();
    if (n == 0) break;  // end of file: what was there has been read
    done += n;
  }
  if (!closeWhenDone) return inUse;
  CloseFileHandle(inUse);
  return 1;
}

FileHandle WriteFileAt(const void* buffer, int32_t count, int64_t offset, FileHandle handle, const QString& path,
                       bool closeWhenDone) {
  FileHandle inUse = handle != 0 ? handle : OpenFileHandle(path, kOpenReadWrite);
  if (inUse == 0) return 0;
  const auto fail = [&] {
    CloseFileHandle(inUse);
    return FileHandle{0};
  };
  if (count < 0 || (count > 0 && !buffer)) return fail();
  if (offset == -1) {
    ::lseek(FdOf(inUse), 0, SEEK_END);  // a failure here leaves the position where it is
  } else if (SeekFileTo(inUse, offset) != 0) {
    return fail();
  }
  const auto* bytes = static_cast<const char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(FdOf(inUse), bytes + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail();
    done += n;
  }
  if (!closeWhenDone) return inUse;
  CloseFileHandle(inUse);
  return 1;
}

int64_t FileSizeOfHandle(FileHandle handle) {
  const int fd = FdOf(handle);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

int64_t FileSizeOfPath(const QString& path) {
  FileHandle h = OpenFileHandle(path, kOpenRead);
  if (h == 0) return 0;
  const int64_t size = FileSizeOfHandle(h);
  CloseFileHandle(h);
  return size;
}

int32_t ToSigned32(int64_t value) {
  if (value < 0) return 0;
  if (value > 4294967295LL) return -1;
  return static_cast<int32_t>(static_cast<uint32_t>(value));
}

int64_t ToUnsigned32(int32_t value) { return static_cast<int64_t>(static_cast<uint32_t>(value)); }

}  // namespace basic
