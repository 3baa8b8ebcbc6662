#include "audio/PcmWav.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "support/ByteOrder.h"

namespace WaveMMIO {

namespace {

constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagFloat = 3;
constexpr uint16_t kTagExtensible = 0xFFFE;

int16_t Clamp16(double v) { return static_cast<int16_t>(std::clamp(std::nearbyint(v), -32768.0, 32767.0)); }

// One sample at p as a 16-bit value.
int16_t Sample(const uint8_t* p, int32_t bits, bool floating) {
  if (floating) {
    const uint32_t u = basic::GetLE32(p);
    float f;
    std::memcpy(&f, &u, 4);
    return std::isfinite(f) ? Clamp16(static_cast<double>(f) * 32767.0) : int16_t{0};
  }
  switch (bits) {
    case 16: return static_cast<int16_t>(basic::GetLE16(p));
    case 24: {
      const int32_t v = static_cast<int32_t>(uint32_t{p[0]} << 8 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 24) >> 8;
      return Clamp16(v / 256.0);
    }
    default: return Clamp16(static_cast<int32_t>(basic::GetLE32(p)) / 65536.0);
  }
}

}  // namespace

bool ReadPcmWav(const QString& path, PcmAudio& audio, QString& error) {
  audio = PcmAudio{};
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = QStringLiteral("cannot be read");
    return false;
  }
  const int64_t size = file.size();
  uint8_t head[12];
  if (size < 12 || file.read(reinterpret_cast<char*>(head), 12) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0) {
    error = QStringLiteral("is not a WAV file");
    return false;
  }
  bool haveFormat = false;
  uint16_t tag = 0, channels = 0, blockAlign = 0, bits = 0;
  uint32_t rate = 0;
  int64_t dataAt = -1, dataSize = 0;
  for (int64_t at = 12; at + 8 <= size && dataAt < 0;) {
    uint8_t chunk[8];
    if (!file.seek(at) || file.read(reinterpret_cast<char*>(chunk), 8) != 8) break;
    const int64_t length = basic::GetLE32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0) {
      uint8_t f[40] = {};
      const int64_t n = std::min<int64_t>(length, 40);
      if (n < 16 || file.read(reinterpret_cast<char*>(f), n) != n) {
        error = QStringLiteral("has a broken format chunk");
        return false;
      }
      tag = static_cast<uint16_t>(basic::GetLE16(f));
      channels = static_cast<uint16_t>(basic::GetLE16(f + 2));
      rate = basic::GetLE32(f + 4);
      blockAlign = static_cast<uint16_t>(basic::GetLE16(f + 12));
      bits = static_cast<uint16_t>(basic::GetLE16(f + 14));
      if (tag == kTagExtensible) {
        if (n < 40) {
          error = QStringLiteral("has a broken format chunk");
          return false;
        }
        tag = static_cast<uint16_t>(basic::GetLE16(f + 24));  // the sub-format's first two bytes
      }
      haveFormat = true;
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      dataAt = at + 8;
      // A recorder that stopped abruptly leaves a size of 0 or one beyond the
      // file: the data then runs to the end of the file.
      const int64_t rest = size - dataAt;
      dataSize = length == 0 || length > rest ? rest : length;
    }
    at += 8 + length + (length & 1);
  }
  if (!haveFormat || dataAt < 0) {
    error = QStringLiteral("is not a WAV file (no format or no data)");
    return false;
  }
  const bool floating = tag == kTagFloat;
  const bool supported = (tag == kTagPcm && (bits == 16 || bits == 24 || bits == 32)) || (floating && bits == 32);
  if (!supported) {
    error = QStringLiteral("holds %1-bit %2 samples; 16-, 24- or 32-bit integer or 32-bit float is needed")
                .arg(bits)
                .arg(floating         ? QStringLiteral("float")
                     : tag == kTagPcm ? QStringLiteral("integer")
                                      : QStringLiteral("compressed"));
    return false;
  }
  if (channels != 1 && channels != 2) {
    error = QStringLiteral("has %1 channels; mono or stereo is needed").arg(channels);
    return false;
  }
  if (blockAlign != channels * bits / 8 || rate == 0 || rate > 1'000'000) {
    error = QStringLiteral("has a broken format chunk");
    return false;
  }
  const int64_t frames = dataSize / blockAlign;
  if (frames <= 0) {
    error = QStringLiteral("holds no sound");
    return false;
  }
  if (frames > kMaxPcmFrames) {
    error = QStringLiteral("is too long (more than 30 minutes at 192 kHz)");
    return false;
  }
  audio.rate = static_cast<int32_t>(rate);
  audio.channels = channels;
  audio.bits = bits;
  audio.floating = floating;
  audio.frames.resize(static_cast<size_t>(frames));
  const int32_t width = bits / 8;
  constexpr int64_t kBlockFrames = 1 << 16;
  std::vector<uint8_t> block(static_cast<size_t>(kBlockFrames * blockAlign));
  if (!file.seek(dataAt)) {
    error = QStringLiteral("cannot be read");
    return false;
  }
  for (int64_t done = 0; done < frames;) {
    const int64_t n = std::min(kBlockFrames, frames - done);
    const int64_t bytes = n * blockAlign;
    if (file.read(reinterpret_cast<char*>(block.data()), bytes) != bytes) {
      error = QStringLiteral("cannot be read to its end");
      audio.frames.clear();
      return false;
    }
    for (int64_t i = 0; i < n; ++i) {
      const uint8_t* p = block.data() + i * blockAlign;
      const int16_t left = Sample(p, bits, floating);
      const int16_t right = channels == 2 ? Sample(p + width, bits, floating) : left;
      audio.frames[static_cast<size_t>(done + i)] = {left, right};
    }
    done += n;
  }
  return true;
}

bool WriteStereo16Wav(const QString& path, int32_t rate, std::span<const StereoSample> frames) {
  const int64_t data = static_cast<int64_t>(frames.size()) * 4;
  if (rate <= 0 || data > 0xFFFFFFFFLL - 36) return false;
  uint8_t h[44] = {};
  std::memcpy(h, "RIFF", 4);
  basic::PutLE32(h + 4, static_cast<uint32_t>(36 + data));
  std::memcpy(h + 8, "WAVEfmt ", 8);
  basic::PutLE32(h + 16, 16);
  basic::PutLE16(h + 20, kTagPcm);
  basic::PutLE16(h + 22, 2);
  basic::PutLE32(h + 24, static_cast<uint32_t>(rate));
  basic::PutLE32(h + 28, static_cast<uint32_t>(rate) * 4);
  basic::PutLE16(h + 32, 4);
  basic::PutLE16(h + 34, 16);
  std::memcpy(h + 36, "data", 4);
  basic::PutLE32(h + 40, static_cast<uint32_t>(data));
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  bool ok = file.write(reinterpret_cast<const char*>(h), 44) == 44;
  std::vector<uint8_t> bytes(static_cast<size_t>(std::min<int64_t>(data, 1 << 20)));
  for (size_t i = 0; ok && i < frames.size();) {
    const size_t n = std::min(frames.size() - i, bytes.size() / 4);
    for (size_t j = 0; j < n; ++j) {
      basic::PutLE16(bytes.data() + 4 * j, static_cast<uint16_t>(frames[i + j].Left));
      basic::PutLE16(bytes.data() + 4 * j + 2, static_cast<uint16_t>(frames[i + j].Right));
    }
    ok = file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(4 * n)) ==
         static_cast<qint64>(4 * n);
    i += n;
  }
  if (!ok) {
    file.cancelWriting();
    file.commit();
    return false;
  }
  return file.commit();
}

}  // namespace WaveMMIO
