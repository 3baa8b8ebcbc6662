#pragma once
// A verdict in words: the window's Japanese read-out and tooltip, and the
// command line's keys and English sentences.
#include <QString>
#include <optional>

#include "measurement/Verdict.h"

namespace measurement {

// "良好", "注意", "不良".
QString QualityWord(Quality quality);
// "ok", "warning", "bad".
QString QualityKey(Quality quality);

// "no_signal", "clipped", "low_snr", ...: one word per reason.
QString ReasonKey(Reason reason);
// The reason a key names; nothing for a key no reason has.
std::optional<Reason> ReasonOfKey(const QString& key);
// What the reason found and what to do about it, in English / in Japanese.
QString ReasonSentence(const VerdictReason& reason);
QString ReasonSentenceJa(const VerdictReason& reason);

// What a reason that damages the timing (DamagesTiming) did to the run, in
// a few words for a note, in English / in Japanese: "2 capture gaps",
// "入力アンダーフロー". Empty for any other reason.
QString TimingDamage(const VerdictReason& reason);
QString TimingDamageJa(const VerdictReason& reason);

// The window's tooltip: one line per reason, or that nothing was found.
QString VerdictTooltip(const Verdict& verdict);

}  // namespace measurement
