#pragma once
// The level meter's scale: 256 steps with their levels in dB. Positions along
// a bar come from this table, which spreads -20 dB .. +10 dB over most of the
// bar. Step 207 is 0 dB.
#include <array>
#include <cstdint>

struct MeterStep {
  float Level;  // DbToLin(Db)
  float Db;
};

inline constexpr int MeterZeroIndex = 207;

// The table, built on first use.
const std::array<MeterStep, 256>& MeterScale();
void BuildMeterScale();

// The (fractional, with interpolation) step 0 .. 255 of a level in dB.
float DbToMeterPos(float db, bool interpolate);
