#pragma once
// Result files. A noise run leaves NN.fft (little-endian: rate, count 1024,
// 1024 float spectrum values; 4104 bytes); a sweep run leaves NN.dat, a mono
// 16-bit WAV file of its envelope at the run's rate.
#include <QByteArray>
#include <QString>
#include <cstdint>

#include "measurement/Result.h"

namespace measurement {

inline constexpr int32_t kResultBins = 1024;

// The bytes of a result's file.
QByteArray ResultFileBytes(const Result& result);

// Writes a result (a sweep's envelope, or else the noise spectrum) to path,
// replacing a file that is there. False when the file could not be written.
bool SaveResultFile(const QString& path, const Result& result);

enum class LoadOutcome { Missing, Noise, Sweep, Ignored };
struct LoadedResult {
  LoadOutcome outcome = LoadOutcome::Missing;
  // Mode, rate, and the spectrum or the envelope with its frequency table;
  // a default Result unless the outcome is Noise or Sweep.
  Result result;
  bool Loaded() const { return outcome == LoadOutcome::Noise || outcome == LoadOutcome::Sweep; }
};
// Reads a result file; files of another kind or shape are Ignored.
LoadedResult LoadResultFile(const QString& path);

// Where results go when no folder is stored: the program's folder, or the
// per-user data folder (created) when the program may not write beside
// itself (see basic::MayWriteBesideProgram).
QString DefaultDataFolder();

}  // namespace measurement
