#pragma once
// What an export applies to a result's gain curve: a microphone file and a
// sound-card file (each describes its device, so its value is subtracted)
// and a sensitivity that turns the curve into sound pressure.
#include <QString>
#include <optional>
#include <vector>

#include "measurement/CorrectionFile.h"
#include "measurement/Gain.h"

namespace measurement {

struct Calibration {
  std::optional<CorrectionCurve> mic;
  QString micPath;  // as given, for the record of what was applied
  std::optional<CorrectionCurve> device;
  QString devicePath;
  std::optional<double> sensitivityDbfs;  // typed in; else the microphone file's

  bool Corrects() const { return mic.has_value() || device.has_value(); }
  // The sensitivity in force: the one typed in, else the microphone file's.
  std::optional<double> Sensitivity() const;
};

// What the files take off at frequency: the sum of both files' dB values,
// and of their phases (degrees; a file without phase adds none).
double CorrectionDb(const Calibration& calibration, double frequency);
double CorrectionPhaseDeg(const Calibration& calibration, double frequency);

// The curve with both files' values at each point's frequency subtracted.
std::vector<GainPoint> Corrected(std::vector<GainPoint> points, const Calibration& calibration);

// A curve point with the sound pressure it stands for.
struct CurveRow {
  double frequency;
  double gainDb;
  std::optional<double> splDb;
  std::optional<double> phaseDeg;  // a sweep's excess phase, where its response is known
};

// The rows of an export: the corrected gain and, with a sensitivity, the
// SPL that the played signal (a sine at playedLevelDb) makes at the
// microphone through the corrected path: 94 + gain + level - sensitivity.
std::vector<CurveRow> ExportRows(const std::vector<GainPoint>& gain, double playedLevelDb,
                                 const Calibration& calibration);

// "frequency_hz,gain_db" (and ",spl_db", then ",phase_deg", when the rows
// have them), one line a row, C locale numbers.
QString RowsCsv(const std::vector<CurveRow>& rows);

}  // namespace measurement
