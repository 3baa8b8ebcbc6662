#pragma once
// What a measurement is, apart from how it was made: the value a run
// produces and a result file holds, and what result files, export, graphs,
// the window and the command line take. A plain aggregate: reading it needs
// no run and no device.
#include <cstdint>
#include <vector>

#include "measurement/Analysis.h"
#include "measurement/ImpulseResponse.h"
#include "measurement/PathDelay.h"
#include "measurement/SignalMode.h"
#include "measurement/Timing.h"
#include "measurement/Verdict.h"

namespace measurement {

struct Result {
  SignalMode mode = SignalMode::Sweep;
  int32_t sampleRate = 0;

  // Sweep: the envelope, one value (0 .. 32767) per played sample, and the
  // sweep's instantaneous frequency for each of those samples.
  std::vector<int16_t> envelope;
  SweepTable sweepTable;

  // Noise: the running mean of the spectrum (bins 0 .. 1024) and how many
  // frames it holds.
  NoiseSpectrum spectrum;

  // What a sweep run learnt about its path: the delay the capture was
  // aligned by (not found for a loaded result or a noise run), and the
  // timing along the run it follows (delay at the start of playback, drift,
  // steps and dropouts).
  PathDelay pathDelay;
  RunTiming timing;
  // The playback level of the run, in tenths of a dB.
  int32_t levelTenthsDb = -30;

  // Whether the run can be trusted, judged when it completed (good with no
  // reasons for a loaded result or before a run ends).
  Verdict verdict;

  // A sweep run's impulse response at its full rate, deconvolved with the
  // timing above; empty when the sweep did not come back, for a noise run
  // and for a result read from its file alone (its side files hold it).
  ImpulseResponse response;
};

}  // namespace measurement
