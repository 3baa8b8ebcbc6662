#pragma once
// The run's timing: where each played sweep sample lies in the capture.
//
// A path is more than one fixed delay. The capture device may run on its own
// clock (a USB microphone, a separate recorder: drift), lose frames
// (dropouts), or a sound server may change its latency part-way (steps). The
// sweep is therefore followed piece by piece: each piece's delay is found on
// its own, the pieces are joined into a map from sweep sample to capture
// frame, and what the map shows (drift, steps, lost pieces) is reported.
//
// Positions are in frames. "Capture frame" counts from the capture's first
// frame; "sweep sample" from the played buffer's first frame. The capture may
// be longer than the playback (it runs on past the end by the delay search
// range, or it is a recording made elsewhere).
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audio/StereoSample.h"

namespace measurement {

using WaveMMIO::StereoSample;

// What the reported delay is measured from.
enum class DelayReference {
  // From the sample leaving the program to its arrival in the capture: the
  // host told when each stream's first frame was played and captured.
  PlaybackStart,
  // Only against the capture's first frame: the host gave no stream times.
  CaptureStart,
};

// Why a piece does or does not take part in the map.
enum class PieceUse {
  Used,
  NoSignal,   // the played piece did not come back (no clear peak)
  Disagrees,  // its delay agrees with neither neighbour (an outlier)
  Silent,     // the played piece itself is silent (nothing to look for)
  Unheard,    // played before the capture began or heard after it ended
};

struct TimingPiece {
  int64_t first = 0;   // first sweep sample of the piece
  int64_t count = 0;   // sweep samples in the piece
  double centre = 0;   // the sweep sample its delay belongs to
  double delay = 0;    // capture frame minus sweep sample there (capture start reference)
  double clarity = 0;  // its peak over the RMS of its correlation
  PieceUse use = PieceUse::NoSignal;
};

enum class TimingEventKind {
  Dropout,    // the capture lost frames: later sound arrives earlier (size < 0)
  Step,       // the path's latency grew (size > 0), as when a server's buffer grows
  LostPiece,  // a piece of the sweep did not come back
};

struct TimingEvent {
  TimingEventKind kind = TimingEventKind::Step;
  int64_t sweepSample = 0;  // where along the sweep it happened
  double timeS = 0;         // the same, in seconds from the sweep's start
  double sizeMs = 0;        // how far the delay moved (dropout: negative); a lost piece: its length
};

// One stretch of sweep samples whose capture positions follow one line.
struct TimingSegment {
  int64_t first = 0;  // sweep samples first .. end - 1
  int64_t end = 0;
  double at = 0;     // capture position of sweep sample `first`
  double slope = 1;  // capture frames per sweep sample
};

struct RunTiming {
  bool found = false;  // the sweep came back at all
  // The path's delay at the sweep's first sample, in frames at the run's
  // rate: from playback start when reference is PlaybackStart, from the
  // capture's first frame otherwise (fractional).
  double delayFrames = 0;
  DelayReference reference = DelayReference::CaptureStart;
  // Capture start minus playback start, in frames, when the host told it.
  std::optional<double> captureStartFrames;
  double driftPpm = 0;  // the capture clock against the playback's (> 0: capture faster)
  double clarity = 0;   // the whole run's correlation peak over its RMS
  std::vector<TimingPiece> pieces;
  std::vector<TimingEvent> events;
  // The map, in sweep-sample order; sweep samples outside every segment
  // (under a dropout, or a piece that never came back at the ends) have no
  // capture position.
  std::vector<TimingSegment> segments;

  // The capture position of sweep sample b, interpolated; nullopt where the
  // map has none.
  std::optional<double> CapturePosition(int64_t b) const;
  // The nearest capture frame for sweep sample b, or -1 where there is none.
  int64_t CaptureFrame(int64_t b) const;
  // Where the sweep's first sample lies in the capture, in capture frames
  // (delayFrames counted from the capture's first frame).
  double CaptureDelayFrames() const {
    return delayFrames - (reference == DelayReference::PlaybackStart ? captureStartFrames.value_or(0.0) : 0.0);
  }
  // The delay in milliseconds (delayFrames at rate).
  double DelayMs(int32_t rate) const { return rate > 0 ? 1000.0 * delayFrames / rate : 0.0; }
  // A plain map for a capture aligned by one fixed delay over count sweep
  // samples (capture frame = sweep sample + delay).
  static RunTiming Fixed(double delay, int64_t count);
};

// The capture runs on past the end of playback by this many frames, so that
// the last sweep sample is captured for any delay the finder can find.
int64_t CaptureTailFrames(int32_t rate, int64_t playedFrames);

// Follows the timing of a sweep run. played is the played buffer (left
// channel used), captured the capture (it may be longer), sweepFreq each
// played sample's instantaneous frequency (weights the search as the
// whole-run finder does; empty: unweighted). captureStartFrames is the
// capture's start minus the playback's start in frames, when the host told
// it; the reported delay is then from playback start.
RunTiming FollowTiming(std::span<const StereoSample> played, std::span<const StereoSample> captured, int32_t rate,
                       std::span<const float> sweepFreq, std::optional<double> captureStartFrames);

// Texts for the command line and the log.
const char* DelayReferenceName(DelayReference reference);  // "playback start" / "capture start"
const char* TimingEventName(TimingEventKind kind);         // "dropout" / "step" / "lost piece"

}  // namespace measurement
