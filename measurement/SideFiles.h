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
#include "measurement/Result.h"

namespace measurement {

// NN.ir.wav and NN.json for a result file NN.dat (any path ending in .dat).
QString ImpulseWavPath(const QString& datPath);
QString SideJsonPath(const QString& datPath);

// What NN.json carries besides the response itself.
struct SideInfo {
  QString verdict;            // the run's verdict, as the program words it
  int32_t levelTenthsDb = 0;  // the played level
  // The run's delay as it reported it (from playback start where the devices
  // told their start times, else from the capture's start) and its drift.
  double delayMs = 0;
  QString delayReference;  // "playback start" / "capture start"; empty: not known
  double driftPpm = 0;
  // The timing's steps, dropouts and lost pieces, each at the frequency the
  // sweep played then. The response is pieced together along them: its
  // magnitude away from them holds, its phase (which rests on how exactly
  // each piece's delay is known) is not to be trusted.
  struct Event {
    QString kind;  // "dropout", "step", "lost piece"
    double timeS = 0;
    double sizeMs = 0;
    double hz = 0;
  };
  std::vector<Event> events;
  // The verdict's reasons (NN.json's "verdict_reasons"; none in a file
  // written before it kept them).
  std::vector<VerdictReason> reasons;
  // The phase holds when nothing moved the run's timing: no event above
  // and no reason that damages timing (gaps in the capture, the host's
  // overflows and underflows) even where the timing saw no event.
  bool PhaseTrusted() const;
};

// A 32-bit float mono WAV of samples at rate; false when it cannot be written.
bool WriteFloatWav(const QString& path, std::span<const float> samples, int32_t rate, QString* reason = nullptr);
// Reads a file WriteFloatWav wrote (any mono 32-bit float WAV); nullopt otherwise.
struct FloatWav {
  int32_t rate = 0;
  std::vector<float> samples;
};
std::optional<FloatWav> ReadFloatWav(const QString& path);

// Writes both side files of datPath; false (and neither left behind, with
// the system's reason) on failure.
bool WriteSideFiles(const QString& datPath, const ImpulseResponse& ir, const SideInfo& info, QString* reason = nullptr);
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

// What NN.json says of a run's result.
SideInfo SideInfoOf(const Result& result);

// The side files of a sweep result just stored at datPath: its response
// with SideInfoOf(result), or, for a result without one, nothing there (side
// files a former result of that name left are removed). False, with the
// reason, when the response could not be written.
bool StoreSideFiles(const QString& datPath, const Result& result, QString* reason = nullptr);

// Whether datPath has both side files beside it (regular files).
bool HasSideFiles(const QString& datPath);
// Removes datPath's side files (the regular files there only).
void RemoveSideFiles(const QString& datPath);
// Gives toDat the side files of fromDat: a copy of each one fromDat has, and
// none of those it lacks (a copy of a result without a response must not
// take another's). False, with the reason, when a copy failed; neither is
// then left at toDat.
bool CopySideFiles(const QString& fromDat, const QString& toDat, QString* reason = nullptr);

// Whether path names a sweep result (NN.dat: one that may have side files).
bool IsSweepResultPath(const QString& path);
// Deletes a result file and, for a sweep result, its side files.
void DeleteResultFiles(const QString& path);

// The level a sweep was played at, in tenths of a dB, as its NN.json
// records it (nothing without one, or with a level no run can play).
std::optional<int32_t> ReadPlayedLevel(const QString& datPath);

// Reads datPath's side files into result.response (left empty without them).
void ReadSideFilesInto(Result& result, const QString& datPath);

}  // namespace measurement
