#pragma once
// A recording made elsewhere: the test signal played on any player while a
// phone, a field recorder or a car stereo recorded it, each on its own clock,
// started early and stopped late. The played signal is looked for over the
// whole recording, and the recording then becomes what a run makes: the
// sweep envelope or the noise spectrum, the delay and the verdict.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "audio/StereoSample.h"
#include "measurement/Analysis.h"
#include "measurement/ImpulseResponse.h"
#include "measurement/SignalMode.h"
#include "measurement/Timing.h"
#include "measurement/Verdict.h"

namespace measurement {

using WaveMMIO::StereoSample;

// True when played is the sweep a run plays at rate (at any level): the
// signal generated afresh at the played peak matches it sample by sample.
bool IsRunSweep(std::span<const StereoSample> played, int32_t rate);

// Where played frame 0 lies in captured, to about a frame: found by the
// path's response over the whole recording at a reduced rate. Nothing when
// the played signal does not stand out.
std::optional<int64_t> LocatePlayed(std::span<const StereoSample> played, std::span<const StereoSample> captured,
                                    int32_t rate);

struct RecordingAnalysis {
  SignalMode mode = SignalMode::Sweep;  // from the played signal
  int32_t rate = 0;
  int32_t playedFrames = 0;
  int32_t levelTenthsDb = 0;  // the played signal's peak in tenths of a dB of full scale
  TimingFacts timing;         // where the played signal lies in the recording
  RunTiming followed;         // a sweep's timing along the recording, from capture frame `from`
  int64_t from = 0;
  SweepTable sweep;
  std::vector<int16_t> level;  // the sweep's envelope, one entry per played frame
  ImpulseResponse response;    // a sweep's, deconvolved along the timing followed (capture frames from `from`)
  NoiseSpectrum spectrum;
  Verdict verdict;
};

// Analyses a recording of played at rate. A sweep is followed piece by piece
// from where it was found (the recorder's drift, dropouts and steps), its
// envelope read along that timing and its impulse response deconvolved
// with it, as a run's; played noise gives the mean
// spectrum of the recording while it played, one 2048-frame transform per
// twentieth of a second, as a run does.
RecordingAnalysis AnalyseRecording(std::span<const StereoSample> played, std::span<const StereoSample> captured,
                                   int32_t rate);

}  // namespace measurement
