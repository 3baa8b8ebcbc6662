#pragma once
// Linear amplitude <-> decibels with the program's floor of -110 dB.
#include <cmath>

namespace basic {

// 20 log10(x) for x > 0, else -110.
inline double LinToDb(double x) { return x > 0 ? 20.0 * std::log10(x) : -110.0; }
// 10^(d / 20) for d > -110, else 0.
inline double DbToLin(double d) { return d > -110.0 ? std::pow(10.0, d / 20.0) : 0.0; }

}  // namespace basic
