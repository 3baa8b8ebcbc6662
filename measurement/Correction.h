#pragma once
// A correction file's value at any frequency: linear in dB (and in degrees)
// over the logarithm of the frequency between the file's points, the end
// values held below the first point and above the last.
#include "measurement/CorrectionFile.h"

namespace measurement {

// The file's dB value at frequency (Hz); the first point's below or at it,
// and for a frequency that is not a positive number.
double CorrectionDbAt(const CorrectionCurve& curve, double frequency);

// The file's phase (degrees, continuous along the file) at frequency; 0 for
// a file without phase.
double CorrectionPhaseAt(const CorrectionCurve& curve, double frequency);

// Phase folded into (-180, 180].
double WrapPhaseDeg(double degrees);

}  // namespace measurement
