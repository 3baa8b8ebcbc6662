#pragma once
// The per-user settings store. Every setting is one text value under
// morvane/zarin (the registry on Windows, ~/.config/morvane/zarin.conf on
// Linux); an INI file beside the program can stand in for it. Values are
// read with a typed default, whose text is returned when nothing is stored;
// the empty text is stored as "***" so that it differs from "never written".
#include <QString>
#include <cstdint>
#include <variant>

namespace basic {

// A value as the callers hand it over: 16-bit or 32-bit integer, 32-bit float or text.
using SettingValue = std::variant<int16_t, int32_t, float, QString>;

// The text a value is stored as: plain decimals, the shortest float text with ".".
QString SettingText(const SettingValue& value);

// Cuts a text before its first NUL character.
QString StripAtNul(const QString& text);

// Where settings go: the registry (store 1, with an application name) or an
// INI file (store 2, with its path).
struct SettingStore {
  int backend = 1;
  QString nameOrPath;
};
SettingStore ResolveSettingStore(const QString& fileName, int mode);

QString ReadSetting(const QString& key, const SettingValue& defaultValue, int mode = 0,
                    const QString& fileName = QString());
void WriteSetting(const QString& key, const SettingValue& value, int mode = 0, const QString& fileName = QString());

// The back ends. An empty application name means "zarin"; an empty key path
// means Software\morvane\<application>.
QString ReadRegistryText(const QString& valueName, const SettingValue& defaultValue, const QString& appName = QString(),
                         int root = 0, const QString& keyPath = QString());
int WriteRegistryText(const QString& valueName, const SettingValue& value, const QString& appName = QString(),
                      int root = 0, const QString& keyPath = QString());
// An empty INI path means the program's folder + "zarin.ini"; an empty section means "conf".
QString ReadIniText(const QString& key, const SettingValue& defaultValue, const QString& iniPath,
                    const QString& section = QString(), int writeBack = 0);
void WriteIniText(const QString& key, const SettingValue& value, const QString& iniPath,
                  const QString& section = QString());

}  // namespace basic
