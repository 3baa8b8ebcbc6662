#pragma once
// The impulse response of a completed sweep, however it was made (a run of
// the program, or a recording made elsewhere): its played buffer and capture
// deconvolved at the full rate with the timing the run found.
#include <cstdint>
#include <span>

#include "audio/StereoSample.h"
#include "measurement/ImpulseResponse.h"
#include "measurement/Timing.h"

namespace measurement {

// played is the played sweep (its whole buffer), captured the capture the
// timing was found on (capture frames count from its first frame). The
// response's arrival is its own (see ResponseArrival.h). Empty when the
// timing found no sweep.
ImpulseResponse SweepResponse(std::span<const StereoSample> played, std::span<const StereoSample> captured,
                              int32_t rate, const RunTiming& timing);

}  // namespace measurement
