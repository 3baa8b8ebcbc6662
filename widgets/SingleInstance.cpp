#include "widgets/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>

namespace basic {

SingleInstance::SingleInstance() = default;
SingleInstance::~SingleInstance() = default;

bool SingleInstance::Acquire() {
  if (m_Lock && m_Lock->isLocked()) return true;
  const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("morvane"),
                           QStringLiteral("zarin"));
  const QString folder = QFileInfo(settings.fileName()).absolutePath();
  QDir().mkpath(folder);
  m_Lock = std::make_unique<QLockFile>(folder + QStringLiteral("/zarin.lock"));
  // A lock whose owner is gone is stale at once; a live owner keeps it.
  m_Lock->setStaleLockTime(0);
  return m_Lock->tryLock(0);
}

}  // namespace basic
