#pragma once
// A sweep result's responses as text for other programs: the usual
// loudspeaker-design frequency response (FRD: `*` comment lines, then
// "frequency magnitude_db phase_deg" per line) and the distortion as CSV
// (frequency_hz,thd_percent,h2_db,h3_db,h4_db,h5_db; a harmonic beyond the
// sweep is left empty).
#include <QString>

#include "measurement/Calibration.h"
#include "measurement/ImpulseResponse.h"
#include "measurement/Responses.h"
#include "measurement/SideFiles.h"

namespace measurement {

// Points per octave of the exports unless asked otherwise.
inline constexpr int kExportPointsPerOctave = 48;

// From 10 Hz to just below half the rate, on the 1000 * 2^(k / perOctave)
// grid, with the calibration's files taken off (their dB values from the
// magnitude, their phases from the phase) and named in the header.
// A run whose phase is not to be trusted (info) says why in the header.
QString FrdText(const ImpulseResponse& ir, Smoothing smoothing, int perOctave, const QString& date,
                const Calibration& calibration = {}, const SideInfo& info = {});
// From 10 Hz to half the sweep's end (where the second harmonic ends).
QString DistortionCsvText(const ImpulseResponse& ir, Smoothing smoothing, int perOctave);

}  // namespace measurement
