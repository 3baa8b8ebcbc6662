#pragma once
// The path's impulse response from a sweep run, at the run's full rate: the
// capture divided by the played sweep in the frequency domain. The sweep is
// exponential (its frequency f1 * (f2/f1)^(t/T) over T seconds), so a path's
// harmonic distortion of order n turns up as its own response L ln n before
// the linear one, L = T / ln(f2 / f1); the response kept reaches back past the
// ninth harmonic's and on at least a second past the linear one's peak.
#include <cstdint>
#include <span>
#include <vector>

#include "audio/StereoSample.h"
#include "measurement/Timing.h"

namespace measurement {

using WaveMMIO::StereoSample;

// How the capture lines up with what was played: played frame b is heard at
// capture frame delayFrames + b * (1 + drift). A single delay (drift 0) or a
// piecewise timing's overall delay and drift both fit.
struct CaptureTiming {
  double delayFrames = 0;
  double drift = 0;  // relative: 1e-6 is one part per million
};

// The exponential sweep the run played.
struct SweepShape {
  double f1Hz = 0;
  double f2Hz = 0;
  double seconds = 0;
  // L = T / ln(f2 / f1), in seconds; 0 for a shape that is no sweep.
  double RateConstant() const;
  // How long before the linear response harmonic n arrives: L ln n seconds.
  double HarmonicLead(int n) const;
};

// The run's noise as it stands in the response, against frequency: the
// power per sample at each frequency (noise of variance s^2 in every sample
// has s^2 at every frequency), so that a stretch of the response windowed
// by w holds noise of mean |X(f)|^2 = density(f) * sum of w^2. It is read
// from wherever in the deconvolution the capture's noise at that frequency
// lies and no response does.
struct ResponseNoise {
  std::vector<double> hz;       // rising
  std::vector<double> density;  // one per frequency
  bool Empty() const { return hz.empty() || hz.size() != density.size(); }
  // Between the frequencies by interpolation, the nearest end beyond them; 0 when empty.
  double At(double f) const;
  // The mean over the frequencies from the first to the last, by frequency (not octave).
  double Mean() const;
};

// The highest harmonic whose response is kept.
inline constexpr int kMaxHarmonic = 9;

struct ImpulseResponse {
  int32_t rate = 0;
  SweepShape sweep;
  CaptureTiming timing;
  // samples[origin + t] is the response t frames after the linear response's
  // arrival, i.e. t frames after round(timing.delayFrames); what is left of
  // the delay (below a frame) is fraction = delayFrames - round(delayFrames).
  std::vector<float> samples;
  int64_t origin = 0;
  double fraction = 0;
  ResponseNoise noise;

  bool Empty() const { return samples.empty() || rate <= 0; }
  // Seconds <-> frames from the origin.
  double Seconds(int64_t frames) const { return rate > 0 ? static_cast<double>(frames) / rate : 0; }
  // The response at t frames from the origin; 0 outside what is kept.
  float At(int64_t t) const {
    const int64_t i = origin + t;
    return i >= 0 && i < static_cast<int64_t>(samples.size()) ? samples[static_cast<size_t>(i)] : 0.0f;
  }
  // Frames from the origin of harmonic n's arrival (negative).
  double HarmonicFrames(int n) const { return -sweep.HarmonicLead(n) * rate; }
  // Frames from the origin to the end of what is kept.
  int64_t End() const { return static_cast<int64_t>(samples.size()) - origin; }
};

// Seconds kept after the linear response's peak, and the room kept for the
// peak past the place the run's timing gives.
inline constexpr double kKeptAfterSeconds = 1.0;
inline constexpr double kPeakRoomSeconds = 0.005;

// The sweep GenerateSweep plays over frames at rate.
SweepShape SweepShapeFor(int32_t rate, int64_t frames);

// Deconvolves the left channel of captured by that of played (the played
// sweep, shape as given; the capture may run on after it):
// H = X conj(P) / (|P|^2 + e), with e tiny inside the swept band and large
// outside it, so that only what the sweep excited is kept. The capture is
// read where timing places each played frame or, when segments are given
// (a timing followed piece by piece, in capture frames), where they do;
// played frames they give no place (under a dropout, across a step) are
// left out of both signals. Uses two threads for long runs. An empty
// response when the buffers are empty or silent.
ImpulseResponse Deconvolve(std::span<const StereoSample> played, std::span<const StereoSample> captured, int32_t rate,
                           const SweepShape& sweep, const CaptureTiming& timing,
                           std::span<const TimingSegment> segments = {});

}  // namespace measurement
