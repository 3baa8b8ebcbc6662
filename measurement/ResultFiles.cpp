#include "measurement/ResultFiles.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "measurement/ResultFileCheck.h"
#include "measurement/MeasurementRun.h"
#include "measurement/TestSignal.h"
#include "support/ByteOrder.h"
#include "support/CheckedFile.h"
#include "support/FileHandle.h"
#include "support/Paths.h"

namespace measurement {

QString DefaultDataFolder() { return basic::OwnFilesFolder(basic::AppFolder()); }

QByteArray ResultFileBytes(const MeasurementRun& run) {
  QByteArray bytes;
  if (run.m_Mode != kModeSweep) {
    // Rate, count and 1024 floats, little-endian.
    bytes.resize(8 + 4 * kResultBins);
    auto* p = reinterpret_cast<uint8_t*>(bytes.data());
    basic::PutLE32(p, static_cast<uint32_t>(run.m_SampleRate));
    basic::PutLE32(p + 4, kResultBins);
    for (int k = 0; k < kResultBins; ++k) {
      uint32_t bits;
      std::memcpy(&bits, &run.m_Spectrum.values[static_cast<size_t>(k)], 4);
      basic::PutLE32(p + 8 + 4 * k, bits);
    }
    return bytes;
  }
  // A mono 16-bit WAV file of the envelope.
  const int64_t n = std::clamp<int64_t>(std::min<int64_t>(run.m_TotalFrames, static_cast<int64_t>(run.m_SweepLevel.size())),
                                        0, (INT32_MAX - 44) / 2);
  bytes.resize(static_cast<qsizetype>(44 + 2 * n));
  auto* p = reinterpret_cast<uint8_t*>(bytes.data());
  const auto rate = static_cast<uint32_t>(run.m_SampleRate);
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
    basic::PutLE16(p + 44 + 2 * i, static_cast<uint16_t>(run.m_SweepLevel[static_cast<size_t>(i)]));
  return bytes;
}

bool SaveResultFile(const QString& path, const MeasurementRun& run) {
  return basic::WriteWholeFile(path, ResultFileBytes(run));
}

LoadOutcome LoadResultFile(const QString& path, MeasurementRun& run) {
  const QString ext = basic::SplitPath(path, 0, 0, 0, 0, 1, 1);
  if (ext != QLatin1String("fft") && ext != QLatin1String("dat"))
    return basic::FileExists(path) ? LoadOutcome::Ignored : LoadOutcome::Missing;
  std::vector<uint8_t> bytes;
  switch (ReadResultBytes(path, bytes)) {
    case ReadOutcome::Read: break;
    case ReadOutcome::Missing: return LoadOutcome::Missing;
    default: return LoadOutcome::Ignored;
  }
  if (ext == QLatin1String("fft")) {
    const std::optional<ResultContents> r = ParseFftBytes(bytes);
    if (!r) return LoadOutcome::Ignored;
    run.m_SampleRate = r->rate;
    for (int k = 0; k < kResultBins; ++k) run.m_Spectrum.values[static_cast<size_t>(k)] = r->spectrum[static_cast<size_t>(k)];
    // The file holds bins 0 .. 1023 and the curve runs to 1024: the last bin
    // repeats its neighbour instead of keeping a value from before the load.
    run.m_Spectrum.values[kResultBins] = run.m_Spectrum.values[kResultBins - 1];
    run.m_Mode = kModeNoise;
    return LoadOutcome::Noise;
  }
  if (ext == QLatin1String("dat")) {
    std::optional<ResultContents> r = ParseDatBytes(bytes);
    if (!r) return LoadOutcome::Ignored;
    const auto frames = static_cast<int32_t>(r->envelope.size());
    run.m_Mode = kModeSweep;
    run.m_SampleRate = r->rate;
    run.m_SweepLevelCount = frames;
    run.m_SweepLevel = std::move(r->envelope);
    MakeSweepFreqTable(run.m_Sweep, run.m_SampleRate, frames);
    return LoadOutcome::Sweep;
  }
  return LoadOutcome::Ignored;
}

}  // namespace measurement
