#pragma once
// How late the played signal arrives in the capture. A real path never
// starts capturing exactly when the sound leaves: converters, a sound server,
// a speaker and a microphone add their delay, and the capture's own start
// moves from run to run. The delay is read off the run's two buffers: the
// capture deconvolved by the played signal is the path's impulse response,
// whose main peak sits at the delay.
#include <cstdint>
#include <span>
#include <vector>

#include "audio/StereoSample.h"

namespace measurement {

using WaveMMIO::StereoSample;

struct PathDelay {
  bool found = false;  // a clear main peak stood out
  int32_t frames = 0;  // played sample b arrives at capture frame b + frames (either sign)
  double clarity = 0;  // the main peak over the RMS of the response in the search window
};

// The main peak must stand this far above the response's RMS; noise alone
// stays near 5 over the windows searched.
inline constexpr double kDelayClarity = 8.0;

// How far either way the delay is looked for: 1.2 s, or a quarter of a run
// shorter than 4.8 s.
int32_t DelaySearchFrames(int32_t rate, int64_t frames);

// Finds the delay between the left channels of played and captured. The run
// is the played buffer; a capture may run on past it (by the search range at
// most is read), so that a late path's last samples still take part. sweepFreq, when it covers the played signal,
// gives the instantaneous frequency of each played sample: the final
// whole-frame step weights a sweep by it so that every frequency counts alike.
// The regularised response of x to p over a circular transform of size
// points (a power of two, at least as long as either): the real part of the
// inverse of X conj(P) / (|P|^2 + 1e-4 max|P|^2), lag L at index L mod size.
// Empty when p carries nothing or no transform of that size can be made.
std::vector<double> RegularisedResponse(std::span<const double> p, std::span<const double> x, size_t size);

PathDelay FindPathDelay(std::span<const StereoSample> played, std::span<const StereoSample> captured, int32_t rate,
                        std::span<const float> sweepFreq = {});

}  // namespace measurement
