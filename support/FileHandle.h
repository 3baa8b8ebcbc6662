#pragma once
// Byte-level file access at 64-bit offsets. A read or write either takes an
// open handle or opens the file itself, and either leaves the handle open and
// returns it (so further calls can chain on it) or closes it and returns 1.
// Handle values are never 0 (no handle) or 1 (the "closed, success" result).
#include <QString>
#include <cmath>
#include <cstdint>
#include <type_traits>

namespace basic {

using FileHandle = int64_t;

// Open modes. None truncates an existing file; others may read and write it too.
enum FileOpenMode : int {
  kOpenRead = 0,       // fails when the file does not exist
  kOpenWrite = 1,      // created when missing
  kOpenReadWrite = 2,  // created when missing
};

// A handle, or 0 when the open fails or the mode is unknown. The flags are
// accepted for the callers' sake and have no effect here.
FileHandle OpenFileHandle(const QString& path, int mode, int32_t flags = 0);
// Closes a non-zero handle and sets the variable to 0.
void CloseFileHandle(FileHandle& handle);

// Reads count bytes at offset. With handle 0 the path is opened for reading;
// with count 0, handle 0 and closeWhenDone off it only opens. Returns the
// handle in use (closeWhenDone off), 1 (closed after success) or 0. On a
// failed seek or read the handle in use is closed, even one passed in.
// Reaching the end of the file early is not a failure.
FileHandle ReadFileAt(void* buffer, int32_t count, int64_t offset, FileHandle handle, const QString& path,
                      bool closeWhenDone);
// Writes count bytes at offset (-1: at the end). With handle 0 the path is
// opened for reading and writing, created when missing. Results as ReadFileAt.
FileHandle WriteFileAt(const void* buffer, int32_t count, int64_t offset, FileHandle handle, const QString& path,
                       bool closeWhenDone);

// Moves to offset from the start: 0, or -1 on failure.
int SeekFileTo(FileHandle handle, int64_t offset);
// The two halves a 64-bit offset is moved with: high = offset / 2^32 and the
// remainder as its signed 32-bit pattern.
void SplitOffset(int64_t offset, int32_t& high, int32_t& low);

// Size in bytes, or -1 on failure.
int64_t FileSizeOfHandle(FileHandle handle);
// Size in bytes; 0 when the file cannot be opened, -1 when its size cannot be read.
int64_t FileSizeOfPath(const QString& path);

// 0 .. 4294967295: the signed 32-bit integer with the same bits; below 0: 0; above: -1.
int32_t ToSigned32(int64_t value);
// The unsigned value of a signed 32-bit pattern.
int64_t ToUnsigned32(int32_t value);

// 1 when the integer part (the largest integer not above the value) is odd.
template <typename T>
int IsOddNumber(T value) {
  if constexpr (std::is_integral_v<T>) {
    return value % 2 != 0 ? 1 : 0;
  } else {
    const long double f = std::floor(static_cast<long double>(value));
    if (!std::isfinite(f)) return 0;
    return std::fmod(f, 2.0L) != 0 ? 1 : 0;
  }
}

}  // namespace basic
