#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "support/Logging.h"

namespace {

// The sound server's socket and cookie are found through the user's config
// folder; name them explicitly before that folder is moved away.
void PinSoundServer() {
  const QString config = qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME") ? QDir::homePath() + "/.config"
                                                                        : qEnvironmentVariable("XDG_CONFIG_HOME");
  if (qEnvironmentVariableIsEmpty("PULSE_COOKIE") && QFileInfo::exists(config + "/pulse/cookie"))
    qputenv("PULSE_COOKIE", (config + "/pulse/cookie").toLocal8Bit());
  if (!qEnvironmentVariableIsEmpty("PULSE_SERVER")) return;
  QStringList candidates;
  if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) candidates << qEnvironmentVariable("XDG_RUNTIME_DIR") + "/pulse";
  for (const QFileInfo& link : QDir(config + "/pulse").entryInfoList({"*-runtime"}, QDir::System | QDir::AllEntries))
    candidates << link.canonicalFilePath();
  for (const QString& dir : candidates) {
    if (QFileInfo::exists(dir + "/native")) {
      qputenv("PULSE_SERVER", ("unix:" + dir + "/native").toLocal8Bit());
      return;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  PinSoundServer();
  // Tests never touch the real user's settings or logs: the per-user config,
  // data and cache folders point into a temporary directory that goes away
  // afterwards. HOME and the runtime folder stay, so that the sound server
  // can still be found.
  QTemporaryDir home;
  if (!home.isValid()) return 2;
  const QByteArray root = home.path().toLocal8Bit();
  qputenv("XDG_CONFIG_HOME", root + "/config");
  qputenv("XDG_DATA_HOME", root + "/data");
  qputenv("XDG_CACHE_HOME", root + "/cache");
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path() + "/config");
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path() + "/config");

  QApplication app(argc, argv);
  basic::SetLogFolder(home.path() + "/log");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
