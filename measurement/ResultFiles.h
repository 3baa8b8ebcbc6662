#pragma once
// Result files. A noise run leaves NN.fft (little-endian: rate, count 1024,
// 1024 float spectrum values; 4104 bytes); a sweep run leaves NN.dat, a mono
// 16-bit WAV file of its envelope at the run's rate.
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace measurement {

class MeasurementRun;

inline constexpr int32_t kResultBins = 1024;

// The bytes of the run's result file.
QByteArray ResultFileBytes(const MeasurementRun& run);

// Writes the run's result (noise spectrum or sweep envelope) to path,
// replacing a file that is there. False when the file could not be written.
bool SaveResultFile(const QString& path, const MeasurementRun& run);

enum class LoadOutcome { Missing, Noise, Sweep, Ignored };
// Reads a result back into the run's members (mode, rate, spectrum or
// envelope and its frequency table). Files of another kind or shape change
// nothing.
LoadOutcome LoadResultFile(const QString& path, MeasurementRun& run);

// Where results go when no folder is stored: the program's folder, or the
// per-user data folder (created) when the program may not write beside
// itself (see basic::MayWriteBesideProgram).
QString DefaultDataFolder();

}  // namespace measurement
