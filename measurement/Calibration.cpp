#include "measurement/Calibration.h"

#include "measurement/Calibrator.h"
#include "measurement/Correction.h"

namespace measurement {

std::optional<double> Calibration::Sensitivity() const {
  if (sensitivityDbfs) return sensitivityDbfs;
  if (mic) return mic->sensitivityDbfs;
  return std::nullopt;
}

double CorrectionDb(const Calibration& calibration, double frequency) {
  double db = 0;
  if (calibration.mic) db += CorrectionDbAt(*calibration.mic, frequency);
  if (calibration.device) db += CorrectionDbAt(*calibration.device, frequency);
  return db;
}

double CorrectionPhaseDeg(const Calibration& calibration, double frequency) {
  double degrees = 0;
  if (calibration.mic) degrees += CorrectionPhaseAt(*calibration.mic, frequency);
  if (calibration.device) degrees += CorrectionPhaseAt(*calibration.device, frequency);
  return degrees;
}

std::vector<GainPoint> Corrected(std::vector<GainPoint> points, const Calibration& calibration) {
  for (GainPoint& p : points) p.gainDb -= CorrectionDb(calibration, p.frequency);
  return points;
}

std::vector<CurveRow> ExportRows(const std::vector<GainPoint>& gain, double playedLevelDb,
                                 const Calibration& calibration) {
  const std::optional<double> sensitivity = calibration.Sensitivity();
  std::vector<CurveRow> rows;
  rows.reserve(gain.size());
  for (const GainPoint& p : Corrected(gain, calibration)) {
    CurveRow row{p.frequency, p.gainDb, std::nullopt};
    if (sensitivity) row.splDb = SplDb(p.gainDb + playedLevelDb, *sensitivity);
    rows.push_back(row);
  }
  return rows;
}

QString RowsCsv(const std::vector<CurveRow>& rows) {
  const bool spl = !rows.empty() && rows.front().splDb.has_value();
  const bool phase = !rows.empty() && rows.front().phaseDeg.has_value();
  QString text = QStringLiteral("frequency_hz,gain_db");
  if (spl) text += QStringLiteral(",spl_db");
  if (phase) text += QStringLiteral(",phase_deg");
  text += QLatin1Char('\n');
  for (const CurveRow& r : rows) {
    text += QString::number(r.frequency, 'f', 3) + QLatin1Char(',') + QString::number(r.gainDb, 'f', 2);
    if (spl) text += QLatin1Char(',') + QString::number(r.splDb.value_or(0.0), 'f', 2);
    if (phase) text += QLatin1Char(',') + QString::number(r.phaseDeg.value_or(0.0), 'f', 2);
    text += QLatin1Char('\n');
  }
  return text;
}

}  // namespace measurement
