#include "measurement/ResultFiles.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "audio/WaveMMIO.h"
#include "measurement/MeasurementRun.h"
#include "measurement/TestSignal.h"
#include "support/ByteOrder.h"
#include "support/FileHandle.h"
#include "support/Paths.h"

namespace measurement {

QString DefaultDataFolder() { return basic::OwnFilesFolder(basic::AppFolder()); }

bool SaveResultFile(const QString& path, const MeasurementRun& run) {
  if (basic::FileExists(path)) basic::DeleteFileIfAny(path);
  if (run.m_Mode != kModeSweep) {
    // Rate, count and 1024 floats, little-endian.
    std::array<uint8_t, 8 + 4 * kResultBins> bytes{};
    basic::PutLE32(bytes.data(), static_cast<uint32_t>(run.m_SampleRate));
    basic::PutLE32(bytes.data() + 4, kResultBins);
    for (int k = 0; k < kResultBins; ++k) {
      uint32_t bits;
      std::memcpy(&bits, &run.m_Spectrum.values[static_cast<size_t>(k)], 4);
      basic::PutLE32(bytes.data() + 8 + 4 * k, bits);
    }
    basic::FileHandle h = basic::WriteFileAt(bytes.data(), 8, -1, 0, path, false);
    if (h == 0) return false;
    h = basic::WriteFileAt(bytes.data() + 8, 4 * kResultBins, -1, h, QString(), true);
    return h == 1;
  }
  basic::FileHandle h = basic::OpenFileHandle(path, basic::kOpenReadWrite);
  if (h == 0) return false;
  bool ok = WaveMMIO::WriteWavHeader(QString(), h, run.m_SampleRate, 16, 1, 0) == 1;
  const int64_t n = std::min<int64_t>(run.m_TotalFrames, static_cast<int64_t>(run.m_SweepLevel.size()));
  std::vector<uint8_t> samples(static_cast<size_t>(n) * 2);
  for (int64_t i = 0; i < n; ++i) {
    const auto v = static_cast<uint16_t>(run.m_SweepLevel[static_cast<size_t>(i)]);
    samples[static_cast<size_t>(2 * i)] = static_cast<uint8_t>(v);
    samples[static_cast<size_t>(2 * i + 1)] = static_cast<uint8_t>(v >> 8);
  }
  if (ok && !samples.empty()) ok = basic::WriteFileAt(samples.data(), static_cast<int32_t>(samples.size()), -1, h, QString(), false) == h;
  if (!ok) return false;  // the file layer has closed the handle
  ok = WaveMMIO::FinishWav(QString(), h, 0, 0) == 1;
  basic::CloseFileHandle(h);
  return ok;
}

LoadOutcome LoadResultFile(const QString& path, MeasurementRun& run) {
  if (!basic::FileExists(path)) return LoadOutcome::Missing;
  const QString ext = basic::SplitPath(path, 0, 0, 0, 0, 1, 1);
  if (ext == QLatin1String("fft")) {
    std::array<uint8_t, 8 + 4 * kResultBins> bytes{};
    if (basic::ReadFileAt(bytes.data(), 8, 0, 0, path, true) != 1) return LoadOutcome::Ignored;
    if (static_cast<int32_t>(basic::GetLE32(bytes.data() + 4)) != kResultBins) return LoadOutcome::Ignored;
    if (basic::FileSizeOfPath(path) < static_cast<int64_t>(bytes.size())) return LoadOutcome::Ignored;
    if (basic::ReadFileAt(bytes.data() + 8, 4 * kResultBins, 8, 0, path, true) != 1) return LoadOutcome::Ignored;
    run.m_SampleRate = static_cast<int32_t>(basic::GetLE32(bytes.data()));
    for (int k = 0; k < kResultBins; ++k) {
      const uint32_t bits = basic::GetLE32(bytes.data() + 8 + 4 * k);
      std::memcpy(&run.m_Spectrum.values[static_cast<size_t>(k)], &bits, 4);
    }
    // The file holds bins 0 .. 1023 and the curve runs to 1024: the last bin
    // repeats its neighbour instead of keeping a value from before the load.
    run.m_Spectrum.values[kResultBins] = run.m_Spectrum.values[kResultBins - 1];
    run.m_Mode = kModeNoise;
    return LoadOutcome::Noise;
  }
  if (ext == QLatin1String("dat")) {
    const WaveMMIO::WavInfo info = WaveMMIO::ReadWavInfo(path, 0);
    if (!info.valid || info.formatCode != 2 || info.rate <= 0) return LoadOutcome::Ignored;
    // Only what the file really holds: a header may claim more.
    const int64_t present = std::max<int64_t>(0, info.fileSize - info.dataOffset) / 2;
    const auto frames = static_cast<int32_t>(std::min<int64_t>(info.frames, present));
    if (frames <= 0) return LoadOutcome::Ignored;
    std::vector<uint8_t> bytes(static_cast<size_t>(frames) * 2);
    if (basic::ReadFileAt(bytes.data(), static_cast<int32_t>(bytes.size()), info.dataOffset, 0, path, true) != 1)
      return LoadOutcome::Ignored;
    run.m_Mode = kModeSweep;
    run.m_SampleRate = info.rate;
    run.m_SweepLevelCount = frames;
    if (static_cast<int32_t>(run.m_SweepLevel.size()) != frames) run.m_SweepLevel.assign(static_cast<size_t>(frames), 0);
    for (int32_t i = 0; i < frames; ++i)
      run.m_SweepLevel[static_cast<size_t>(i)] =
          static_cast<int16_t>(bytes[static_cast<size_t>(2 * i)] | (bytes[static_cast<size_t>(2 * i + 1)] << 8));
    MakeSweepFreqTable(run.m_Sweep, run.m_SampleRate, frames);
    return LoadOutcome::Sweep;
  }
  return LoadOutcome::Ignored;
}

}  // namespace measurement
