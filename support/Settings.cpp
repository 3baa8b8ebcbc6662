#include "support/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QTemporaryDir>
#include <charconv>

#include "support/CheckedFile.h"
#include "support/Paths.h"

namespace basic {

namespace {

const QString kCompany = QStringLiteral("morvane");
const QString kTitle = QStringLiteral("zarin");
const QString kEmptyMark = QStringLiteral("***");
constexpr int kRegistryReadBytes = 256;
constexpr int kIniReadChars = 255;

// The organisation and application a registry key path names:
// "Software\<company>\<application>".
void SplitKeyPath(const QString& keyPath, QString& org, QString& app) {
  QString path = keyPath;
  path.replace(QLatin1Char('/'), QLatin1Char('\\'));
  const QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
  org = parts.size() >= 2 ? parts[parts.size() - 2] : kCompany;
  app = parts.isEmpty() ? kTitle : parts.last();
}

// Stores one value in the INI file at path, through the checked writer: the
// file with the new value is laid out by Qt's own INI writer in a scratch
// folder beside it, read back and compared with every value it must hold,
// and only then takes the old file's place. A full disk or any other failure
// leaves the old file as it was (Qt's writer alone would put a cut file in
// its place and call that success). Other processes storing settings at the
// same time wait on Qt's own lock file.
bool StoreIniValue(const QString& path, const QString& key, const QString& text) {
  const QString folder = QFileInfo(path).absolutePath();
  if (!QDir().mkpath(folder)) return false;
  QLockFile lock(path + QStringLiteral(".lock"));
  if (!lock.tryLock(5000)) return false;
  QMap<QString, QVariant> values;
  {
    const QSettings old(path, QSettings::IniFormat);
    for (const QString& k : old.allKeys()) values.insert(k, old.value(k));
  }
  values.insert(key, text);
  QTemporaryDir scratch(folder + QStringLiteral("/.zarin-settings-XXXXXX"));
  if (!scratch.isValid()) return false;
  const QString draft = scratch.filePath(QStringLiteral("draft.ini"));
  {
    QSettings out(draft, QSettings::IniFormat);
    for (auto it = values.cbegin(); it != values.cend(); ++it) out.setValue(it.key(), it.value());
    out.sync();
    if (out.status() != QSettings::NoError) return false;
  }
  {
    const QSettings check(draft, QSettings::IniFormat);
    if (check.status() != QSettings::NoError || check.allKeys().size() != values.size()) return false;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
      if (check.value(it.key()) != it.value()) return false;
  }
  QFile laidOut(draft);
  if (!laidOut.open(QIODevice::ReadOnly)) return false;
  return WriteWholeFile(path, laidOut.readAll());
}

}  // namespace

QString SettingText(const SettingValue& value) {
  struct Visitor {
    QString operator()(int16_t v) const { return QString::number(v); }
    QString operator()(int32_t v) const { return QString::number(v); }
    QString operator()(float v) const {
      // The shortest text that reads back as the same float, without exponent.
      char buf[64];
      const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
      return r.ec == std::errc() ? QString::fromLatin1(buf, static_cast<int>(r.ptr - buf)) : QString::number(v);
    }
    QString operator()(const QString& v) const { return v; }
  };
  return std::visit(Visitor{}, value);
}

QString StripAtNul(const QString& text) {
  QString t = text;
  const int nul = t.indexOf(QChar(0));
  if (nul >= 0) t.truncate(nul);
  while (!t.isEmpty() && t.back() == QChar(0)) t.chop(1);
  return t;
}

SettingStore ResolveSettingStore(const QString& fileName, int mode) {
  if (!fileName.isEmpty()) {
    const QString ini = AppFolder() + fileName + QStringLiteral(".ini");
    if (FileExists(ini)) return {2, ini};
    return {1, fileName};
  }
  if (mode == 1) {
    const QString ini = AppFolder() + kTitle + QStringLiteral(".ini");
    if (FileExists(ini)) return {2, ini};
  }
  return {1, kTitle};
}

QString ReadRegistryText(const QString& valueName, const SettingValue& defaultValue, const QString& appName, int,
                         const QString& keyPath) {
  QString result = SettingText(defaultValue);
  QString org = kCompany, app = appName.isEmpty() ? kTitle : appName;
  if (!keyPath.isEmpty()) SplitKeyPath(keyPath, org, app);
  const QSettings store(QSettings::NativeFormat, QSettings::UserScope, org, app);
  const QVariant v = store.value(valueName);
  if (v.isValid()) {
    const QString text = v.toString();
    // The value is read into a fixed buffer: a longer one does not read at all.
    if (text.toLocal8Bit().size() <= kRegistryReadBytes) result = StripAtNul(text).trimmed();
  }
  if (result == kEmptyMark) result.clear();
  return result;
}

int WriteRegistryText(const QString& valueName, const SettingValue& value, const QString& appName, int,
                      const QString& keyPath) {
  QString org = kCompany, app = appName.isEmpty() ? kTitle : appName;
  if (!keyPath.isEmpty()) SplitKeyPath(keyPath, org, app);
  QString text = SettingText(value);
  if (text.isEmpty()) text = kEmptyMark;
  const QString path = QSettings(QSettings::NativeFormat, QSettings::UserScope, org, app).fileName();
  return StoreIniValue(path, valueName, text) ? 1 : 0;
}

QString ReadIniText(const QString& key, const SettingValue& defaultValue, const QString& iniPath,
                    const QString& section, int writeBack) {
  const QString path = iniPath.isEmpty() ? AppFolder() + kTitle + QStringLiteral(".ini") : iniPath;
  const QString group = section.isEmpty() ? QStringLiteral("conf") : section;
  QString text;
  bool missing = false;
  {
    const QSettings ini(path, QSettings::IniFormat);
    const QVariant v = ini.value(group + QLatin1Char('/') + key);
    missing = !v.isValid();
    if (!missing) text = StripAtNul(v.toString().left(kIniReadChars));
  }
  if (missing) {
    text = SettingText(defaultValue);
    if (writeBack == 1) WriteIniText(key, defaultValue, path, group);
  }
  if (text == kEmptyMark) text.clear();
  return text;
}

void WriteIniText(const QString& key, const SettingValue& value, const QString& iniPath, const QString& section) {
  const QString path = iniPath.isEmpty() ? AppFolder() + kTitle + QStringLiteral(".ini") : iniPath;
  const QString group = section.isEmpty() ? QStringLiteral("conf") : section;
  QString text = SettingText(value);
  if (text.isEmpty()) text = kEmptyMark;
  StoreIniValue(path, group + QLatin1Char('/') + key, text);
}

QString ReadSetting(const QString& key, const SettingValue& defaultValue, int mode, const QString& fileName) {
  const SettingStore store = ResolveSettingStore(fileName, mode);
  if (store.backend == 2) return ReadIniText(key, defaultValue, store.nameOrPath, QString(), 1);
  return ReadRegistryText(key, defaultValue, store.nameOrPath);
}

void WriteSetting(const QString& key, const SettingValue& value, int mode, const QString& fileName) {
  const SettingStore store = ResolveSettingStore(fileName, mode);
  if (store.backend == 2) WriteIniText(key, value, store.nameOrPath);
  else WriteRegistryText(key, value, store.nameOrPath);
}

}  // namespace basic
