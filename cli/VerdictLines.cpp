#include "cli/VerdictLines.h"

#include <cstdio>

#include "measurement/VerdictText.h"

namespace cli {

void PrintVerdict(const measurement::Verdict& verdict) {
  std::printf("quality\t%s\n", measurement::QualityKey(verdict.quality).toUtf8().constData());
  for (const measurement::VerdictReason& r : verdict.reasons)
    std::printf("reason\t%s\t%s\n", measurement::ReasonKey(r.reason).toUtf8().constData(),
                measurement::ReasonSentence(r).toUtf8().constData());
  std::fflush(stdout);
}

int VerdictStatus(const measurement::Verdict& verdict, bool strict) {
  return strict && verdict.quality != measurement::Quality::Good ? kNotGoodStatus : 0;
}

}  // namespace cli
