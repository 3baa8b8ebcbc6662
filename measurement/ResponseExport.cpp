#include "measurement/ResponseExport.h"

#include <QStringList>
#include <cmath>

#include "measurement/Correction.h"
#include "measurement/PhaseDoubt.h"

namespace measurement {

namespace {

constexpr double kLowestHz = 10.0;

QString Number(double v, int decimals) { return QString::number(v, 'f', decimals); }

}  // namespace

QString FrdText(const ImpulseResponse& ir, Smoothing smoothing, int perOctave, const QString& date,
                const Calibration& calibration, const SideInfo& info) {
  QStringList lines;
  const double rate = ir.rate;
  lines << QStringLiteral("* program zarin");
  lines << QStringLiteral("* date %1").arg(date);
  lines << QStringLiteral("* rate %1 Hz").arg(ir.rate);
  // Two different delays: the run's (what it reports, from where its
  // reference says) and the response's arrival in the capture's frames,
  // which the phase is read against.
  if (!info.delayReference.isEmpty())
    lines << QStringLiteral("* delay %1 ms (from the start of %2)")
                 .arg(Number(info.delayMs, 3))
                 .arg(info.delayReference == QLatin1String("capture start") ? QStringLiteral("capture")
                                                                            : QStringLiteral("playback"));
  lines << QStringLiteral("* arrival %1 ms (%2 frames from the start of capture; the phase is read against it)")
               .arg(Number(rate > 0 ? ir.timing.delayFrames / rate * 1000.0 : 0.0, 4))
               .arg(Number(ir.timing.delayFrames, 2));
  lines << QStringLiteral("* smoothing %1")
               .arg(QString::fromLatin1(SmoothingName(smoothing).data(),
                                        static_cast<qsizetype>(SmoothingName(smoothing).size())));
  if (calibration.mic) lines << QStringLiteral("* microphone file %1, taken off").arg(calibration.micPath);
  if (calibration.device) lines << QStringLiteral("* sound card file %1, taken off").arg(calibration.devicePath);
  if (const QString doubt = PhaseDoubt(info); !doubt.isEmpty()) lines << QStringLiteral("* ") + doubt;
  lines << QStringLiteral("* frequency_hz magnitude_db phase_deg");
  if (!ir.Empty()) {
    const auto hz = LogFrequencies(kLowestHz, rate / 2 * (1 - 1e-6), perOctave);
    ResponseOptions options;
    options.smoothing = smoothing;
    for (const ResponsePoint& p : FrequencyResponse(ir, hz, options)) {
      const double db = p.gainDb - CorrectionDb(calibration, p.hz);
      const double phase = WrapPhaseDeg(p.phaseDeg - CorrectionPhaseDeg(calibration, p.hz));
      lines << QStringLiteral("%1 %2 %3").arg(Number(p.hz, 4), Number(db, 4), Number(phase, 3));
    }
  }
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString DistortionCsvText(const ImpulseResponse& ir, Smoothing smoothing, int perOctave) {
  QStringList lines;
  lines << QStringLiteral("frequency_hz,thd_percent,h2_db,h3_db,h4_db,h5_db");
  if (!ir.Empty()) {
    const auto hz = LogFrequencies(kLowestHz, ir.sweep.f2Hz / 2 * (1 - 1e-6), perOctave);
    for (const DistortionPoint& p : Distortion(ir, hz, smoothing)) {
      QString line = Number(p.hz, 4) + QLatin1Char(',') + Number(p.thdPercent, 6);
      for (const auto& h : p.harmonicDb) line += QLatin1Char(',') + (h ? Number(*h, 4) : QString());
      lines << line;
    }
  }
  return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

}  // namespace measurement
