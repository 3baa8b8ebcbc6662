#include "measurement/ResultFileCheck.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "support/ByteOrder.h"

namespace measurement {

namespace {

bool RunRate(uint32_t rate) { return rate >= kResultMinRate && rate <= kResultMaxRate; }

bool Tag(std::span<const uint8_t> bytes, size_t at, const char (&tag)[5]) {
  return at + 4 <= bytes.size() && std::memcmp(bytes.data() + at, tag, 4) == 0;
}

uint32_t Le32(std::span<const uint8_t> bytes, size_t at) { return basic::GetLE32(bytes.data() + at); }
uint32_t Le16(std::span<const uint8_t> bytes, size_t at) { return basic::GetLE16(bytes.data() + at); }

}  // namespace

std::optional<ResultContents> ParseFftBytes(std::span<const uint8_t> bytes) {
  if (static_cast<int64_t>(bytes.size()) != kFftFileBytes) return std::nullopt;
  const uint32_t rate = Le32(bytes, 0);
  if (!RunRate(rate) || Le32(bytes, 4) != static_cast<uint32_t>(kFftFileCount)) return std::nullopt;
  ResultContents r;
  r.noise = true;
  r.rate = static_cast<int32_t>(rate);
  r.spectrum.resize(kFftFileCount);
  for (size_t k = 0; k < r.spectrum.size(); ++k) {
    const uint32_t bits = Le32(bytes, 8 + 4 * k);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    // The transform's rounding may carry a full-scale bin a hair past the bound.
    if (!std::isfinite(v) || v < 0.0f || v > kMaxNoiseLevel * (1 + 1e-6)) return std::nullopt;
    r.spectrum[k] = v;
  }
  return r;
}

std::optional<ResultContents> ParseDatBytes(std::span<const uint8_t> bytes) {
  if (!Tag(bytes, 0, "RIFF") || !Tag(bytes, 8, "WAVE")) return std::nullopt;
  // The RIFF chunk is the whole file (a pad byte aside): a file that goes on
  // past it holds something else too, such as a second result written after
  // the first, and is no result.
  const uint64_t size = uint64_t{Le32(bytes, 4)} + 8;
  if (size != bytes.size() && size + 1 != bytes.size()) return std::nullopt;
  bool format = false;
  uint32_t rate = 0;
  for (uint64_t at = 12; at + 8 <= size;) {
    const uint32_t length = Le32(bytes, at + 4);
    const uint64_t body = at + 8;
    if (body + length > size) return std::nullopt;  // a chunk reaching past the end
    if (Tag(bytes, at, "fmt ")) {
      if (length < 16) return std::nullopt;
      const uint32_t tag = Le16(bytes, body), channels = Le16(bytes, body + 2), bits = Le16(bytes, body + 14),
                     align = Le16(bytes, body + 12);
      rate = Le32(bytes, body + 4);
      if (tag != 1 || channels != 1 || bits != 16 || align != 2 || !RunRate(rate)) return std::nullopt;
      format = true;
    } else if (Tag(bytes, at, "data")) {
      if (!format || length == 0 || length % 2 != 0) return std::nullopt;
      const uint64_t frames = length / 2;
      if (frames > uint64_t{kResultMaxSeconds} * rate) return std::nullopt;
      ResultContents r;
      r.rate = static_cast<int32_t>(rate);
      r.envelope.resize(frames);
      for (uint64_t i = 0; i < frames; ++i) r.envelope[i] = static_cast<int16_t>(Le16(bytes, body + 2 * i));
      return r;
    }
    at = body + length + (length & 1);
  }
  return std::nullopt;
}

ReadOutcome ReadResultBytes(const QString& path, std::vector<uint8_t>& bytes) {
  return ReadRegularFile(path, kMaxResultFileBytes, bytes);
}

ReadOutcome ReadRegularFile(const QString& path, int64_t maxBytes, std::vector<uint8_t>& bytes) {
  bytes.clear();
  const QByteArray native = QFile::encodeName(path);
  struct stat st {};
  // A link is followed; what it leads to must be a regular file.
  if (path.isEmpty() || ::stat(native.constData(), &st) != 0)
    return errno == ENOENT || path.isEmpty() ? ReadOutcome::Missing : ReadOutcome::Unreadable;
  if (!S_ISREG(st.st_mode)) return ReadOutcome::NotRegular;
  if (st.st_size > maxBytes) return ReadOutcome::TooLarge;
  // Whatever took the file's place since is looked at again before a read:
  // a FIFO opened without blocking is seen for what it is.
  int fd;
  do {
    fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return ReadOutcome::Unreadable;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  if (::fstat(fd, &st) != 0) return ReadOutcome::Unreadable;
  if (!S_ISREG(st.st_mode)) return ReadOutcome::NotRegular;
  if (st.st_size > maxBytes) return ReadOutcome::TooLarge;
  // One byte more than the limit: a file that grew meanwhile is seen too.
  bytes.resize(static_cast<size_t>(st.st_size) + 1);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      bytes.clear();
      return ReadOutcome::Unreadable;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  if (static_cast<int64_t>(done) > maxBytes) {
    bytes.clear();
    return ReadOutcome::TooLarge;
  }
  bytes.resize(done);
  return ReadOutcome::Read;
}

}  // namespace measurement
