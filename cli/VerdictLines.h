#pragma once
// A run's verdict on standard output: "quality<TAB>ok|warning|bad" and one
// "reason<TAB>key<TAB>what was found and what to do" line per reason; and
// the exit status --strict asks for.
#include "measurement/Verdict.h"

namespace cli {

// The status a command exits with under --strict when all else went well.
inline constexpr int kNotGoodStatus = 3;

void PrintVerdict(const measurement::Verdict& verdict);

// 0, or kNotGoodStatus when strict and the verdict is not good.
int VerdictStatus(const measurement::Verdict& verdict, bool strict);

}  // namespace cli
