#include "dsp/MeterScale.h"

#include <cmath>

#include "support/Decibels.h"

namespace {

std::array<MeterStep, 256> g_Scale{};
bool g_Built = false;

}  // namespace

void BuildMeterScale() {
  struct Segment {
    int first, last;
    double start, step;
  };
  static constexpr Segment kSegments[] = {
      {0, 1, -99.9, 0},          {2, 2, -96, 0},           {3, 10, -90, 5},          {11, 22, -50, 5.0 / 6},
      {23, 42, -40, 0.5},        {43, 78, -30, 5.0 / 18},  {79, 104, -20, 5.0 / 26}, {105, 142, -15, 5.0 / 38},
      {143, 178, -10, 5.0 / 36}, {179, 206, -5, 5.0 / 28}, {207, 230, 0, 5.0 / 24},  {231, 255, 5, 5.0 / 24},
  };
  for (const Segment& s : kSegments) {
    for (int i = s.first; i <= s.last; ++i) {
      const auto db = static_cast<float>((i - s.first) * s.step + s.start);
      g_Scale[static_cast<size_t>(i)] = {static_cast<float>(basic::DbToLin(db)), db};
    }
  }
  g_Built = true;
}

const std::array<MeterStep, 256>& MeterScale() {
  if (!g_Built) BuildMeterScale();
  return g_Scale;
}

float DbToMeterPos(float d, bool interpolate) {
  const auto& t = MeterScale();
  if (!(d > t[0].Db)) return 0.0f;
  if (d >= t[255].Db) return 255.0f;
  int i = 1;
  while (i < 255 && t[static_cast<size_t>(i)].Db < d) ++i;
  const float lo = t[static_cast<size_t>(i - 1)].Db, hi = t[static_cast<size_t>(i)].Db;
  if (interpolate) return static_cast<float>(i - 1) + (d - lo) / (hi - lo);
  return std::abs(d - lo) > std::abs(d - hi) ? static_cast<float>(i) : static_cast<float>(i - 1);
}
