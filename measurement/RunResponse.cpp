#include "measurement/RunResponse.h"

#include "measurement/ResponseArrival.h"

namespace measurement {

ImpulseResponse SweepResponse(std::span<const StereoSample> played, std::span<const StereoSample> captured,
                              int32_t rate, const RunTiming& timing) {
  if (!timing.found) return {};
  // The response is lined up by the delay of the segment the timing knows
  // best: the longest of those reaching high in the sweep (a piece's delay is
  // known the better the higher it plays: the path's own group delay,
  // which the timing takes off, is small there). The others are read
  // relative to it, whole frames apart where their clocks agree.
  double delay = timing.CaptureDelayFrames();
  const TimingSegment* best = nullptr;
  const auto playedFrames = static_cast<int64_t>(played.size());
  for (const TimingSegment& s : timing.segments) {
    if (s.end <= s.first) continue;
    const bool high = s.end >= playedFrames / 2;
    const bool bestHigh = best && best->end >= playedFrames / 2;
    if (!best || (high && !bestHigh) || (high == bestHigh && s.end - s.first > best->end - best->first)) best = &s;
  }
  if (best) delay = best->at - best->slope * static_cast<double>(best->first);
  ImpulseResponse ir = Deconvolve(played, captured, rate, SweepShapeFor(rate, playedFrames),
                                  CaptureTiming{delay, timing.driftPpm * 1e-6}, timing.segments);
  // The phase is read against the response's own arrival.
  MoveToArrival(ir);
  return ir;
}

}  // namespace measurement
