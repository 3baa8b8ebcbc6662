#pragma once
// The steps the run's timing is made of (Timing.cpp joins them): finding one
// piece's delay, the path's own group delay, and where a change of delay lies.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "audio/StereoSample.h"

namespace measurement::timing {

using WaveMMIO::StereoSample;

// A piece's delay is accepted when its correlation's envelope peak stands
// this far above the envelope away from the peak.
inline constexpr double kPieceClarity = 6.0;

struct PieceFound {
  bool found = false;
  double lag = 0;     // capture frame minus sweep sample at the slice's centre (group delay included)
  double centre = 0;  // the sweep sample the lag belongs to
  double clarity = 0;
  int64_t sliceFirst = 0, sliceFrames = 0;  // the sweep samples correlated
  int64_t step = 1;                         // the piece was searched at rate / step
};

// Searches sweep samples first .. first + count - 1 for their delay within
// around +- window capture frames: the played piece with half a piece more
// either side (at most kSliceFrames in all about its middle, at a rate that
// still carries its top frequency) correlated with the capture, the
// correlation kept to the piece's band (weighted by frequency, a Hann window
// across the band), and the top of its envelope found between the points.
// The envelope peaks at the path's delay plus its group delay there,
// whatever the path's gain does across the band.
PieceFound FindPiece(std::span<const StereoSample> played, std::span<const StereoSample> captured, int32_t rate,
                     std::span<const float> sweepFreq, int64_t first, int64_t count, int64_t around, int64_t window);

// The path's magnitude as ln|H| at sweep samples spread evenly in frequency,
// read as the ratio of captured to played RMS over four periods (sweep
// samples b - MagnitudeHalfWindow .. b + MagnitudeHalfWindow - 1 about the
// point's b), with the capture frame of sweep sample b at b + lagAt(b); a
// point whose lagAt is not a number is not read.
int64_t MagnitudeHalfWindow(int32_t rate, double f);
struct MagnitudePoint {
  double freq = 0;
  double logMagnitude = 0;
};
std::vector<MagnitudePoint> SampleMagnitude(std::span<const StereoSample> played,
                                            std::span<const StereoSample> captured, int32_t rate,
                                            std::span<const float> sweepFreq,
                                            const std::function<double(int64_t)>& lagAt, int points);

// The group delay (frames) of the minimum-phase path with that magnitude, on
// bins spread evenly from 0 to rate / 2; empty when too little is known.
std::vector<double> PathGroupDelay(const std::vector<MagnitudePoint>& points, int32_t rate);

// What a piece's correlation sees: the path's group delay over the slice's
// sweep samples, and the sweep sample its delay belongs to, both weighted as
// the correlation weighs the samples (by the window, the frequency weight
// and the path's gain).
struct SliceView {
  double groupDelay = 0;
  double centre = 0;
  double logMagnitude = 0;  // ln |H| over the slice, weighted alike
};
SliceView ViewSlice(const std::vector<double>& groupDelay, const std::vector<MagnitudePoint>& points, int32_t rate,
                    std::span<const float> sweepFreq, int64_t first, int64_t count);

// Where the delay changes from lag1 to lag2 between sweep samples from and to:
// the last sweep sample that still arrives at lag1 (end1, exclusive) and the
// first that arrives at lag2 (start2).
struct Change {
  int64_t end1 = 0;
  int64_t start2 = 0;
};
Change LocateChange(std::span<const StereoSample> played, std::span<const StereoSample> captured, int32_t rate,
                    std::span<const float> sweepFreq, int64_t from, int64_t to, double lag1, double lag2);

}  // namespace measurement::timing
