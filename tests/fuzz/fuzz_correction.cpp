// Arbitrary bytes as a correction file: the reader, and every value the
// curve it accepts gives between and beyond its points. Built only with
// -DZARIN_FUZZ=ON and clang (libFuzzer); not part of the test run.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "measurement/Correction.h"
#include "measurement/CorrectionFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const measurement::CorrectionRead read =
      measurement::ParseCorrection(std::string_view(reinterpret_cast<const char*>(data), size));
  if (read.curve.has_value() == !read.error.empty()) std::abort();  // a curve or a reason, never both
  if (!read.curve) return 0;
  const measurement::CorrectionCurve& curve = *read.curve;
  if (curve.points.size() < 2) std::abort();
  for (size_t i = 0; i < curve.points.size(); ++i) {
    const measurement::CorrectionPoint& p = curve.points[i];
    if (!(p.frequency > 0) || !std::isfinite(p.db) || !std::isfinite(p.phaseDeg)) std::abort();
    if (i > 0 && !(p.frequency > curve.points[i - 1].frequency)) std::abort();
    const double at = measurement::CorrectionDbAt(curve, p.frequency);
    if (at != p.db) std::abort();
    if (i > 0) {
      const double mid = std::sqrt(p.frequency) * std::sqrt(curve.points[i - 1].frequency);
      const double v = measurement::CorrectionDbAt(curve, mid);
      const double lo = std::fmin(p.db, curve.points[i - 1].db), hi = std::fmax(p.db, curve.points[i - 1].db);
      if (!(v >= lo - 1e-9 * (1 + std::fabs(lo)) && v <= hi + 1e-9 * (1 + std::fabs(hi)))) std::abort();
      if (!std::isfinite(measurement::CorrectionPhaseAt(curve, mid))) std::abort();
    }
  }
  return 0;
}
