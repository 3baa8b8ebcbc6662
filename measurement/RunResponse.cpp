#include "measurement/RunResponse.h"

namespace measurement {

ImpulseResponse SweepResponse(std::span<const StereoSample> played, std::span<const StereoSample> captured,
                              int32_t rate, const RunTiming& timing) {
  if (!timing.found) return {};
  return Deconvolve(played, captured, rate, SweepShapeFor(rate, static_cast<int64_t>(played.size())),
                    CaptureTiming{timing.CaptureDelayFrames(), timing.driftPpm * 1e-6});
}

}  // namespace measurement
