#pragma once
// Correction files: the plain text form in which microphones, sound cards,
// loudspeaker data sheets and target curves come. One point a line:
//
//   frequency_hz  db  [phase_deg]
//
// with the fields separated by spaces, tabs, commas or semicolons (more
// fields after the third are ignored). A line is a comment when, after
// leading spaces, it starts with '*', ';', '#' or '"', or when its first
// field is not a number. A comment of the form "Sensitivity -36.6" (any
// case, ':' or '=' allowed) or "*1000Hz -36.6" gives the sensitivity: the
// level in dBFS (a full-scale sine reading 0 dBFS) that 94 dB SPL reads.
// Frequencies must rise from line to line and there must be at least two
// points. LF, CRLF and CR line ends and a UTF-8 byte-order mark are taken.
// FRD files (frequency, magnitude in dB, phase in degrees, '*' comments) are
// of this form.
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace measurement {

struct CorrectionPoint {
  double frequency = 0;  // Hz, > 0
  double db = 0;
  double phaseDeg = 0;  // unwrapped along the file (0 when the file has none)
};

struct CorrectionCurve {
  std::vector<CorrectionPoint> points;  // frequencies strictly rising, at least two
  bool hasPhase = false;                // every point had a phase field
  std::optional<double> sensitivityDbfs;
};

enum class CorrectionFault {
  None,
  Missing,      // no such file
  Unreadable,   // could not be opened or read
  TooLarge,     // over kMaxCorrectionFileBytes
  NoDb,         // a line starts with a frequency but has no dB value after it
  BadNumber,    // a frequency below 0 Hz, or a level beyond +-1000 dB
  NotRising,    // a frequency not above the one before it
  TooFewPoints  // fewer than two points
};

struct CorrectionRead {
  std::optional<CorrectionCurve> curve;  // empty when the text is not a correction file
  CorrectionFault fault = CorrectionFault::None;
  std::string error;      // why not, in English, naming the line where there is one
  int64_t errorLine = 0;  // 1-based; 0 when no single line is at fault
};

// Reads the text of a correction file.
CorrectionRead ParseCorrection(std::string_view text);

// Files larger than this are refused without being read.
inline constexpr int64_t kMaxCorrectionFileBytes = 64 * 1024 * 1024;

// Reads the correction file at path; the error names the file's problem
// (missing, unreadable, too large, or what ParseCorrection found).
CorrectionRead ReadCorrectionFile(const QString& path);

}  // namespace measurement
