#pragma once
// Why the phase read from a run's response is not to be trusted, in words
// for the details window and for exports: where the timing stepped or
// dropped, and what else moved frames along the run.
#include <QString>

#include "measurement/SideFiles.h"

namespace measurement {

// "位相は信頼できません (タイミングの乱れ: 1.2 kHz, 310 Hz、信号途中の欠け 2 か所)";
// empty when the phase is trusted.
QString PhaseDoubtJa(const SideInfo& info);
// "phase not to be trusted: timing moved at 1.2 kHz, 310 Hz; 2 capture gaps";
// empty when the phase is trusted.
QString PhaseDoubt(const SideInfo& info);

}  // namespace measurement
