#pragma once
// A sweep result's side files, beside its NN.dat: NN.ir.wav, the impulse
// response as a 32-bit float mono WAV at the run's rate (from before the
// furthest harmonic to a second after the linear response), and NN.json,
// what the response needs besides (where it arrives, the sweep, the
// timing, the verdict, the played level and the run's noise). Both are
// written whole or not at all; a result without them works as before.
#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "measurement/ImpulseResponse.h"

namespace measurement {

// NN.ir.wav and NN.json for a result file NN.dat (any path ending in .dat).
QString ImpulseWavPath(const QString& datPath);
QString SideJsonPath(const QString& datPath);

// What NN.json carries besides the response itself.
struct SideInfo {
  QString verdict;            // the run's verdict, as the program words it
  int32_t levelTenthsDb = 0;  // the played level
};

// A 32-bit float mono WAV of samples at rate; false when it cannot be written.
bool WriteFloatWav(const QString& path, std::span<const float> samples, int32_t rate);
// Reads a file WriteFloatWav wrote (any mono 32-bit float WAV); nullopt otherwise.
struct FloatWav {
  int32_t rate = 0;
  std::vector<float> samples;
};
std::optional<FloatWav> ReadFloatWav(const QString& path);

// Writes both side files of datPath; false (and neither left behind) on failure.
bool WriteSideFiles(const QString& datPath, const ImpulseResponse& ir, const SideInfo& info);
// Reads them back; nullopt when either is missing or not what WriteSideFiles writes.
std::optional<ImpulseResponse> ReadSideFiles(const QString& datPath, SideInfo* info = nullptr);

// The correction files applied to the result (empty: none of that kind),
// recorded under "corrections" in NN.json: an NN.json there keeps all else
// it holds, and one is made for a result without. The raw NN.ir.wav stays as
// measured. False when NN.json cannot be written.
struct AppliedCorrections {
  QString mic;
  QString device;
  bool operator==(const AppliedCorrections&) const = default;
};
bool RecordAppliedCorrections(const QString& datPath, const AppliedCorrections& applied);
// What NN.json records as applied (both empty when nothing is recorded).
AppliedCorrections ReadAppliedCorrections(const QString& datPath);

}  // namespace measurement
