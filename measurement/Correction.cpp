#include "measurement/Correction.h"

#include <algorithm>
#include <cmath>

namespace measurement {

namespace {

template <typename Value>
double Interpolate(const CorrectionCurve& curve, double frequency, Value value) {
  const std::vector<CorrectionPoint>& p = curve.points;
  if (p.empty()) return 0;
  if (!(frequency > p.front().frequency)) return value(p.front());
  if (!(frequency < p.back().frequency)) return value(p.back());
  // The first point above frequency; the one before it is at or below.
  const auto above = std::upper_bound(p.begin(), p.end(), frequency,
                                      [](double f, const CorrectionPoint& q) { return f < q.frequency; });
  const CorrectionPoint& hi = *above;
  const CorrectionPoint& lo = *(above - 1);
  // Logarithms apart: the ratio of far-apart frequencies would overflow.
  const double low = std::log(lo.frequency);
  const double t = std::clamp((std::log(frequency) - low) / (std::log(hi.frequency) - low), 0.0, 1.0);
  return value(lo) + t * (value(hi) - value(lo));
}

}  // namespace

double CorrectionDbAt(const CorrectionCurve& curve, double frequency) {
  return Interpolate(curve, frequency, [](const CorrectionPoint& q) { return q.db; });
}

double CorrectionPhaseAt(const CorrectionCurve& curve, double frequency) {
  if (!curve.hasPhase) return 0;
  return Interpolate(curve, frequency, [](const CorrectionPoint& q) { return q.phaseDeg; });
}

double WrapPhaseDeg(double degrees) {
  if (!std::isfinite(degrees)) return 0;
  double w = std::fmod(degrees, 360.0);
  if (w > 180.0) w -= 360.0;
  if (w <= -180.0) w += 360.0;
  return w;
}

}  // namespace measurement
