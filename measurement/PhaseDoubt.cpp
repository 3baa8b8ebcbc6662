#include "measurement/PhaseDoubt.h"

#include <QStringList>

#include "measurement/VerdictText.h"

namespace measurement {

namespace {

QString Hz(double f) {
  return f >= 1000 ? QString::number(f / 1000, 'f', 1) + QStringLiteral(" kHz")
                   : QString::number(f, 'f', 0) + QStringLiteral(" Hz");
}

bool IsTimingEventReason(Reason r) {
  return r == Reason::Dropouts || r == Reason::TimingSteps || r == Reason::LostPieces;
}

// The frequencies where the timing moved, and what the verdict's other
// reasons did; the timing's own reasons only when its events are not known
// (they name the same dropouts, steps and lost pieces).
QStringList Parts(const SideInfo& info, QString (*words)(const VerdictReason&), QString* where) {
  QStringList hz;
  for (const SideInfo::Event& e : info.events) hz << Hz(e.hz);
  *where = hz.join(QStringLiteral(", "));
  QStringList parts;
  for (const VerdictReason& r : info.reasons)
    if (DamagesTiming(r.reason) && !(IsTimingEventReason(r.reason) && !info.events.empty())) parts << words(r);
  return parts;
}

}  // namespace

QString PhaseDoubtJa(const SideInfo& info) {
  if (info.PhaseTrusted()) return {};
  QString where;
  QStringList parts = Parts(info, &TimingDamageJa, &where);
  if (!where.isEmpty()) parts.prepend(QStringLiteral("タイミングの乱れ: ") + where);
  return QStringLiteral("位相は信頼できません (%1)").arg(parts.join(QStringLiteral("、")));
}

QString PhaseDoubt(const SideInfo& info) {
  if (info.PhaseTrusted()) return {};
  QString where;
  QStringList parts = Parts(info, &TimingDamage, &where);
  if (!where.isEmpty()) parts.prepend(QStringLiteral("timing moved at ") + where);
  return QStringLiteral("phase not to be trusted: %1").arg(parts.join(QStringLiteral("; ")));
}

}  // namespace measurement
