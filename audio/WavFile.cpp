// RIFF/WAVE headers, chunk search and format facts.
#include <QString>
#include <array>
#include <cmath>
#include <cstring>

#include "audio/WaveMMIO.h"
#include "support/ByteOrder.h"
#include "support/FileHandle.h"
#include "support/Paths.h"

namespace WaveMMIO {

namespace {

using basic::FileHandle;

// Opens the path when no handle was given, and closes what it opened.
class Using {
 public:
  Using(const QString& path, int64_t handle, int mode) : m_Own(handle == 0) {
    m_Handle = m_Own ? basic::OpenFileHandle(path, mode) : handle;
  }
  ~Using() {
    if (m_Own) basic::CloseFileHandle(m_Handle);
  }
  FileHandle Get() const { return m_Handle; }
  // The file layer closes a handle whose read or write failed.
  void Lost() { m_Handle = 0; }

 private:
  bool m_Own;
  FileHandle m_Handle = 0;
};

// Reads count bytes at offset, which must lie inside the file.
bool ReadAt(Using& file, int64_t offset, void* buffer, int32_t count, int64_t fileSize) {
  if (file.Get() == 0 || offset < 0 || offset + count > fileSize) return false;
  if (basic::ReadFileAt(buffer, count, offset, file.Get(), QString(), false) == file.Get()) return true;
  file.Lost();
  return false;
}

bool WriteAt(Using& file, const void* buffer, int32_t count, int64_t offset) {
  if (file.Get() == 0) return false;
  if (basic::WriteFileAt(buffer, count, offset, file.Get(), QString(), false) == file.Get()) return true;
  file.Lost();
  return false;
}

}  // namespace

int32_t WavFormatCode(int32_t channels, int32_t bits) {
  struct Row {
    int32_t channels, bits;
  };
  static constexpr Row kCodes[10] = {{1, 8},  {2, 8},  {1, 16}, {2, 16}, {1, 24},
                                     {2, 24}, {6, 16}, {8, 16}, {6, 24}, {8, 24}};
  for (int32_t i = 0; i < 10; ++i)
    if (kCodes[i].channels == channels && kCodes[i].bits == bits) return i;
  return -1;
}

QString WavFormatName(int32_t code) {
  static const char* const kNames[10] = {
      "Mono8bit",    "Stereo8bit",         "Mono16bit",          "Stereo16bit",        "Mono24bit",
      "Stereo24bit", "Surround 5.1 16bit", "Surround 7.1 16bit", "Surround 5.1 24bit", "Surround 7.1 24bit"};
  return code >= 0 && code < 10 ? QString::fromLatin1(kNames[code]) : QString();
}

int WriteWavHeader(const QString& path, int64_t handle, int32_t rate, int32_t bits, int32_t channels,
                   int32_t dataSize) {
  const bool extensible = channels == 6 || channels == 8;
  std::array<uint8_t, 68> h{};
  const uint32_t blockAlign = static_cast<uint32_t>(bits * channels / 8);
  std::memcpy(h.data(), "RIFF", 4);
  basic::PutLE32(h.data() + 4, static_cast<uint32_t>(dataSize) + (extensible ? 60 : 36));
  std::memcpy(h.data() + 8, "WAVEfmt ", 8);
  basic::PutLE32(h.data() + 16, extensible ? 40 : 16);
  basic::PutLE16(h.data() + 20, extensible ? 0xFFFE : 1);
  basic::PutLE16(h.data() + 22, static_cast<uint32_t>(channels));
  basic::PutLE32(h.data() + 24, static_cast<uint32_t>(rate));
  basic::PutLE32(h.data() + 28, static_cast<uint32_t>(rate) * blockAlign);
  basic::PutLE16(h.data() + 32, blockAlign);
  basic::PutLE16(h.data() + 34, static_cast<uint32_t>(bits));
  size_t n = 36;
  if (extensible) {
    basic::PutLE16(h.data() + 36, 22);
    basic::PutLE16(h.data() + 38, static_cast<uint32_t>(bits));
    basic::PutLE32(h.data() + 40, channels == 6 ? 63 : 255);
    static constexpr uint8_t kPcm[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    std::memcpy(h.data() + 44, kPcm, 16);
    n = 60;
  }
  std::memcpy(h.data() + n, "data", 4);
  basic::PutLE32(h.data() + n + 4, static_cast<uint32_t>(dataSize));
  if (handle == 0) basic::DeleteFileIfAny(path);
  Using file(path, handle, basic::kOpenReadWrite);
  if (file.Get() == 0) return 0;
  // Written at the end of the file: on an empty file the header starts at 0.
  return WriteAt(file, h.data(), static_cast<int32_t>(n + 8), -1) ? 1 : 0;
}

int64_t FindChunk(const QString& path, int64_t handle, const char identifier[4], int32_t occurrence) {
  Using file(path, handle, basic::kOpenRead);
  if (file.Get() == 0) return -1;
  const int64_t size = basic::FileSizeOfHandle(file.Get());
  int64_t o = 12;
  int32_t seen = 0;
  for (;;) {
    uint8_t id[4];
    if (!ReadAt(file, o, id, 4, size)) return -1;
    if (std::memcmp(id, identifier, 4) == 0) {
      if (seen == occurrence) return o;
      ++seen;
    }
    uint8_t sz[4];
    if (!ReadAt(file, o + 4, sz, 4, size)) return -1;
    const uint32_t s = basic::GetLE32(sz);
    if (s == 0) return -1;
    o += 8 + int64_t{s} + (s & 1);
  }
}

int FinishWav(const QString& path, int64_t handle, int32_t trailing, bool riffOnly) {
  Using file(path, handle, basic::kOpenReadWrite);
  if (file.Get() == 0) return 0;
  const int64_t size = basic::FileSizeOfHandle(file.Get());
  if (size < 44 || size > 4294967295LL) return 0;
  uint8_t v[4];
  basic::PutLE32(v, static_cast<uint32_t>(size - 8));
  if (!WriteAt(file, v, 4, 4)) return 0;
  if (riffOnly) return 1;
  const int64_t o = FindChunk(QString(), file.Get(), "data", 0);
  if (o < 36) return 0;
  basic::PutLE32(v, static_cast<uint32_t>(size - (o + 8) - trailing));
  return WriteAt(file, v, 4, o + 4) ? 1 : 0;
}

WavInfo ReadWavInfo(const QString& path, int64_t handle) {
  WavInfo info;
  Using file(path, handle, basic::kOpenRead);
  if (file.Get() == 0) return info;
  info.fileSize = basic::FileSizeOfHandle(file.Get());
  int64_t o = 12;
  bool fmt = false, data = false;
  for (;;) {
    uint8_t id[4];
    if (!ReadAt(file, o, id, 4, info.fileSize)) return info;
    if (std::memcmp(id, "fmt ", 4) == 0) {
      uint8_t f[16];
      if (!ReadAt(file, o + 8, f, 16, info.fileSize)) return info;
      info.formatTag = static_cast<int32_t>(basic::GetLE16(f));
      info.channels = static_cast<int16_t>(basic::GetLE16(f + 2));
      info.rate = static_cast<int32_t>(basic::GetLE32(f + 4));
      info.bits = static_cast<int16_t>(basic::GetLE16(f + 14));
      info.blockAlign = info.bits * info.channels / 8;
      info.formatCode = WavFormatCode(info.channels, info.bits);
      if (info.formatCode < 0) return info;
      fmt = true;
    } else if (std::memcmp(id, "data", 4) == 0) {
      uint8_t sz[4];
      if (!ReadAt(file, o + 4, sz, 4, info.fileSize)) return info;
      info.dataOffset = static_cast<int32_t>(std::min<int64_t>(o + 8, INT32_MAX));
      info.dataSize = basic::GetLE32(sz);
      data = true;
    }
    if (fmt && data) {
      const int64_t frames = info.blockAlign > 0 ? info.dataSize / info.blockAlign : 0;
      info.frames = static_cast<int32_t>(std::min<int64_t>(frames, 2147483647));
      // A low rate with many frames lasts longer than a 32-bit count of
      // milliseconds can say: the duration stops at its largest value.
      const double ms = info.rate > 0 ? static_cast<double>(info.frames) / info.rate * 1000.0 : 0.0;
      info.durationMs = static_cast<int32_t>(std::min(std::nearbyint(ms), 2147483647.0));
      info.valid = 1;
      return info;
    }
    uint8_t sz[4];
    if (!ReadAt(file, o + 4, sz, 4, info.fileSize)) return info;
    const uint32_t s = basic::GetLE32(sz);
    o += 8 + int64_t{s} + (s & 1);
  }
}

}  // namespace WaveMMIO
