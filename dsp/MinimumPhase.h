#pragma once
// The group delay a minimum-phase system has for a given magnitude response.
// Electrical paths (filters, converters, amplifiers) are minimum-phase apart
// from a pure delay, so their group delay follows from the magnitude alone:
// the phase is the Hilbert transform of the log magnitude, computed here by
// folding the real cepstrum.
#include <span>
#include <vector>

// logMagnitude holds ln|H| on K + 1 bins spread evenly from 0 to the Nyquist
// frequency (K a power of two, at least 2). Returns the group delay in
// samples on the same bins; an empty vector for any other size.
std::vector<double> MinimumPhaseGroupDelay(std::span<const double> logMagnitude);
