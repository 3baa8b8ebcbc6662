#include "measurement/ResultFiles.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "measurement/ResultFileCheck.h"
#include "measurement/TestSignal.h"
#include "support/ByteOrder.h"
#include "support/CheckedFile.h"
#include "support/FileHandle.h"
#include "support/Paths.h"

namespace measurement {

QString DefaultDataFolder() { return basic::OwnFilesFolder(basic::AppFolder()); }

QByteArray ResultFileBytes(const Result& result) {
  QByteArray bytes;
  if (result.mode != SignalMode::Sweep) {
    // Rate, count and 1024 floats, little-endian.
    bytes.resize(8 + 4 * kResultBins);
    auto* p = reinterpret_cast<uint8_t*>(bytes.data());
    basic::PutLE32(p, static_cast<uint32_t>(result.sampleRate));
    basic::PutLE32(p + 4, kResultBins);
    for (int k = 0; k < kResultBins; ++k) {
      uint32_t bits;
      std::memcpy(&bits, &result.spectrum.values[static_cast<size_t>(k)], 4);
      basic::PutLE32(p + 8 + 4 * k, bits);
    }
    return bytes;
  }
  // A mono 16-bit WAV file of the envelope.
  const int64_t n = std::clamp<int64_t>(static_cast<int64_t>(result.envelope.size()), 0, (INT32_MAX - 44) / 2);
  bytes.resize(static_cast<qsizetype>(44 + 2 * n));
  auto* p = reinterpret_cast<uint8_t*>(bytes.data());
  const auto rate = static_cast<uint32_t>(result.sampleRate);
  const auto dataBytes = static_cast<uint32_t>(2 * n);
  std::memcpy(p, "RIFF", 4);
  basic::PutLE32(p + 4, 36 + dataBytes);
  std::memcpy(p + 8, "WAVEfmt ", 8);
  basic::PutLE32(p + 16, 16);
  basic::PutLE16(p + 20, 1);
  basic::PutLE16(p + 22, 1);
  basic::PutLE32(p + 24, rate);
  basic::PutLE32(p + 28, rate * 2);
  basic::PutLE16(p + 32, 2);
  basic::PutLE16(p + 34, 16);
  std::memcpy(p + 36, "data", 4);
  basic::PutLE32(p + 40, dataBytes);
  for (int64_t i = 0; i < n; ++i)
    basic::PutLE16(p + 44 + 2 * i, static_cast<uint16_t>(result.envelope[static_cast<size_t>(i)]));
  return bytes;
}

bool SaveResultFile(const QString& path, const Result& result) {
  return basic::WriteWholeFile(path, ResultFileBytes(result));
}

LoadedResult LoadResultFile(const QString& path) {
  LoadedResult loaded;
  Result& r = loaded.result;
  const auto outcome = [&](LoadOutcome o) {
    loaded.outcome = o;
    if (!loaded.Loaded()) r = Result{};
    return std::move(loaded);
  };
  const QString ext = basic::SplitPath(path, 0, 0, 0, 0, 1, 1);
  if (ext != QLatin1String("fft") && ext != QLatin1String("dat"))
    return outcome(basic::FileExists(path) ? LoadOutcome::Ignored : LoadOutcome::Missing);
  std::vector<uint8_t> bytes;
  switch (ReadResultBytes(path, bytes)) {
    case ReadOutcome::Read: break;
    case ReadOutcome::Missing: return outcome(LoadOutcome::Missing);
    default: return outcome(LoadOutcome::Ignored);
  }
  if (ext == QLatin1String("fft")) {
    const std::optional<ResultContents> c = ParseFftBytes(bytes);
    if (!c) return outcome(LoadOutcome::Ignored);
    r.sampleRate = c->rate;
    for (int k = 0; k < kResultBins; ++k)
      r.spectrum.values[static_cast<size_t>(k)] = c->spectrum[static_cast<size_t>(k)];
    // The file holds bins 0 .. 1023 and the curve runs to 1024: the last bin
    // repeats its neighbour.
    r.spectrum.values[kResultBins] = r.spectrum.values[kResultBins - 1];
    r.mode = SignalMode::Noise;
    return outcome(LoadOutcome::Noise);
  }
  if (ext == QLatin1String("dat")) {
    std::optional<ResultContents> c = ParseDatBytes(bytes);
    if (!c) return outcome(LoadOutcome::Ignored);
    const auto frames = static_cast<int32_t>(c->envelope.size());
    r.mode = SignalMode::Sweep;
    r.sampleRate = c->rate;
    r.envelope = std::move(c->envelope);
    MakeSweepFreqTable(r.sweepTable, r.sampleRate, frames);
    return outcome(LoadOutcome::Sweep);
  }
  return outcome(LoadOutcome::Ignored);
}

}  // namespace measurement
