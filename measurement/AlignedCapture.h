#pragma once
// The capture lined up with the played sweep for the deconvolution: sample
// j of it is the capture where the timing says the path delivered played
// frame j - delay (so that the response stays delay frames late, and the
// fraction of a frame in the delay stays in the response's phase).
//
// A single delay needs no more than the capture itself. A drifting clock,
// or a timing followed piece by piece across a dropout or a latency step,
// reads the capture between its frames, by a windowed sinc that is flat to
// 0.9 of the Nyquist frequency. Played frames the timing has no capture
// position for (under a dropout, across a step) are left out of both sides:
// neither the played sweep nor the capture holds them.
#include <cstdint>
#include <span>
#include <vector>

#include "audio/StereoSample.h"
#include "dsp/SincInterpolator.h"
#include "measurement/Timing.h"

namespace measurement {

using WaveMMIO::StereoSample;

class AlignedCapture {
 public:
  // captured's left channel; played frame b heard at capture frame
  // delay + b (1 + drift), or, when segments are given, at their lines
  // (capture frames, as RunTiming's segments), the first segment's line
  // carried on before the sweep and the last one's after it.
  AlignedCapture(std::span<const StereoSample> captured, double delay, double drift,
                 std::span<const TimingSegment> segments = {});

  // Sample j of the lined-up capture (0 where no frame was heard).
  double At(int64_t j) const;
  // Whether played frame b takes part (the timing has a capture position for it).
  bool Heard(int64_t b) const;

 private:
  struct Line {
    int64_t first = 0, end = 0;  // the played frames it holds
    int64_t anchor = 0;          // a played frame on it,
    double at = 0, slope = 1;    // its capture position, and capture frames per played frame
    int64_t shift = 0;           // a whole-frame shift that reads the same
    bool whole = false;
  };
  const Line* LineFor(int64_t b) const;

  std::span<const StereoSample> m_Captured;
  double m_Delay = 0;
  std::vector<Line> m_Lines;
  std::vector<float> m_Left;  // the capture's left channel, when it is read between frames
  dsp::SincInterpolator m_Sinc;
};

}  // namespace measurement
