#pragma once
// Whether a run can be trusted, judged from what the run itself shows: did
// the played signal come back, did the capture clip or come close to it, how
// far the signal stood above the noise the capture holds before the sound
// arrived and after it ended (in each third of the band), what the timing
// found along the run (dropouts, steps, lost pieces, clock drift), and what
// the sound host reported about lost or inserted data.
#include <cstdint>
#include <span>
#include <vector>

#include "audio/StereoSample.h"
#include "measurement/SignalMode.h"

namespace measurement {

using WaveMMIO::StereoSample;

enum class Quality { Good, Warning, Bad };

enum class Reason {
  NoSignal,           // the played signal was not found in the capture
  Clipped,            // value: capture samples at full scale
  LowHeadroom,        // value: dB between the capture's peak and full scale
  LowSnr,             // value: dB of signal over noise in low .. high Hz
  NoiseUnmeasured,    // value: frames of capture without the signal (too few to measure)
  Dropouts,           // value: how many stretches of capture were lost
  TimingSteps,        // value: how many times the path's delay jumped
  LostPieces,         // value: how many pieces of the sweep did not come back
  CaptureGaps,        // value: how many stretches inside the signal were silent or left the curve without points
  Drift,              // value: ppm the capture clock ran apart from playback's (corrected)
  CaptureOverflow,    // the host dropped captured data
  CaptureUnderflow,   // the host filled the capture with silence
  PlaybackUnderflow,  // the host inserted a gap into playback
  PlaybackOverflow,   // the host discarded data for playback
  CaptureLate,        // value: ms of the signal played before the capture began
};

struct VerdictReason {
  Reason reason = Reason::NoSignal;
  double value = 0;
  double low = 0;   // Hz, for LowSnr
  double high = 0;  // Hz, for LowSnr
  bool operator==(const VerdictReason&) const = default;
};

struct Verdict {
  Quality quality = Quality::Good;
  std::vector<VerdictReason> reasons;
  bool Has(Reason r) const;
};

// What the sound host reported during the run (PortAudio's callback status
// flags). reported is false for a host that says nothing of the kind.
struct HostFlags {
  bool reported = false;
  bool inputOverflow = false;
  bool inputUnderflow = false;
  bool outputUnderflow = false;
  bool outputOverflow = false;
};

struct RunTiming;

// What the run's timing found about where the played signal lies in the capture.
struct TimingFacts {
  bool found = false;  // the played signal came back
  double start = 0;    // capture frame where played frame 0 arrived
  double end = 0;      // capture frame where the last played frame arrived
  double driftPpm = 0;
  int32_t dropouts = 0;
  int32_t steps = 0;
  int32_t lostPieces = 0;
};

// The facts of a followed timing over playedFrames sweep samples; offset is
// added to its capture positions (the capture it saw began there).
TimingFacts TimingFactsOf(const RunTiming& timing, int64_t playedFrames, double offset = 0);

inline constexpr double kMinSnrDb = 40.0;        // under this in any third: a warning
inline constexpr double kBadSnrDb = 20.0;        // under this: bad
inline constexpr double kMinHeadroomDb = 6.0;    // a capture peak closer to full scale: a warning
inline constexpr double kMaxDriftPpm = 10.0;     // more drift: a warning (the curve follows it)
inline constexpr int32_t kMinNoiseFrames = 256;  // least capture without signal to measure its noise
inline constexpr double kLateFrames = 1.0;       // a signal arriving this far before the capture began: late

// The lowest frequency of the played signals' band; the band runs from here
// to half the rate and is judged in three parts of equal width on a log scale.
inline constexpr double kBandLowHz = 10.0;

// Judges a run from the left channels of what was played and captured at
// rate (mode: the signal mode), with what the
// timing and the host found, and for a sweep its envelope (one entry per
// played frame, 0 where it has no level) when it has been computed.
Verdict JudgeRun(std::span<const StereoSample> played, std::span<const StereoSample> captured, int32_t rate,
                 SignalMode mode, const TimingFacts& timing, const HostFlags& flags,
                 std::span<const int16_t> envelope = {});

// Gaps inside a run's signal that nothing else explains: stretches of the
// capture between the signal's arrival and its end that are exact silence
// (a host that filled what it lost with zeros) for at least
// kMinGapSeconds, with signal on both sides; and stretches of a sweep's
// envelope without a level between its first and last levels, or over more
// than kMinGapSeconds at its end, beyond the dropouts and lost pieces the
// timing reported (each leaves one). The larger of the two counts.
int32_t CountGaps(std::span<const StereoSample> captured, int32_t rate, const TimingFacts& timing,
                  std::span<const int16_t> envelope);
inline constexpr double kMinGapSeconds = 0.001;

// The severity each reason carries on its own (LowSnr: by its value).
Quality SeverityOf(const VerdictReason& reason);

// Whether a reason tells of frames lost, inserted or moved along the run:
// the timing's dropouts, steps and lost pieces, gaps in the capture, and
// the host's overflows and underflows. A response read across them keeps
// its magnitude, but its phase rests on where each piece lies, and a piece
// a frame off turns it by degrees.
bool DamagesTiming(Reason reason);

}  // namespace measurement
