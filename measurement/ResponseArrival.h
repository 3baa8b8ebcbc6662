#pragma once
// Where a deconvolved response arrives, read from the response itself.
//
// The run's timing places the sweep in the capture to a fraction of a frame,
// but the phase shown is read against the arrival: a fiftieth of a frame
// off turns the phase at 10 kHz by 3 degrees at 48 kHz. Electrical paths
// (filters, converters, amplifiers) are minimum-phase apart from a pure
// delay, so the arrival is the delay that leaves the response no excess
// group delay: the response's group delay less that of the minimum-phase
// response of the same magnitude, averaged where the response is well
// above its noise and weighted towards high frequencies, where an all-pass
// part of a path (a crossover) has least delay of its own.
#include <optional>

#include "measurement/ImpulseResponse.h"

namespace measurement {

// The arrival in frames from the response's whole-frame origin (what
// ImpulseResponse::fraction would be); nothing when too little of the
// response stands above its noise to tell.
std::optional<double> ResponseArrival(const ImpulseResponse& ir);

// Moves ir's arrival to the one ResponseArrival finds (the origin by whole
// frames, the fraction and timing.delayFrames with it); the samples stay.
// False, and ir unchanged, when none was found or it lies further than
// kArrivalReachSeconds from where the timing put it.
inline constexpr double kArrivalReachSeconds = 0.001;
bool MoveToArrival(ImpulseResponse& ir);

}  // namespace measurement
