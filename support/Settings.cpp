#include "support/Settings.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>
#include <charconv>
#include <stdexcept>

#include "support/Logging.h"
#include "support/Paths.h"
#include "support/Surface.h"

namespace basic {

namespace {

const QString kCompany = QStringLiteral("morvane");
const QString kTitle = QStringLiteral("zarin");
const QString kEmptyMark = QStringLiteral("***");
constexpr int kRegistryReadBytes = 256;
constexpr int kIniReadChars = 255;

int32_t g_DesktopRight = 0;
int32_t g_DesktopBottom = 0;

// The organisation and application a registry key path names:
// "Software\<company>\<application>".
void SplitKeyPath(const QString& keyPath, QString& org, QString& app) {
  QString path = keyPath;
  path.replace(QLatin1Char('/'), QLatin1Char('\\'));
  const QStringList parts = path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
  org = parts.size() >= 2 ? parts[parts.size() - 2] : kCompany;
  app = parts.isEmpty() ? kTitle : parts.last();
}

// A stored number that does not read as one is a fault of the caller's conversion.
int32_t ToInt32(const QString& text) {
  bool ok = false;
  const double v = text.trimmed().toDouble(&ok);
  if (!ok || !(v >= INT32_MIN && v <= INT32_MAX)) throw std::invalid_argument("not a number: " + text.toStdString());
  return static_cast<int32_t>(std::nearbyint(v));
}

float ToFloat(const QString& text) {
  bool ok = false;
  const float v = text.trimmed().toFloat(&ok);
  if (!ok) throw std::invalid_argument("not a number: " + text.toStdString());
  return v;
}

int StateOf(const QWidget* w) {
  if (w->windowState() & Qt::WindowMinimized) return 1;
  if (w->windowState() & Qt::WindowMaximized) return 2;
  return 0;
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
  QSettings store(QSettings::NativeFormat, QSettings::UserScope, org, app);
  store.setValue(valueName, text);
  store.sync();  // on disk before the program can end
  return store.status() == QSettings::NoError ? 1 : 0;
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
  QSettings ini(path, QSettings::IniFormat);
  ini.setValue(group + QLatin1Char('/') + key, text);
  ini.sync();
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

int32_t DesktopExtent(int axis, int inPixels) {
  if (g_DesktopRight <= 0 && qGuiApp) {
    for (const QScreen* screen : QGuiApplication::screens()) {
      const QRect r = screen->geometry();
      g_DesktopRight = std::max(g_DesktopRight, r.x() + r.width());
      g_DesktopBottom = std::max(g_DesktopBottom, r.y() + r.height());
    }
  }
  const int32_t px = axis == 0 ? g_DesktopRight : g_DesktopBottom;
  return inPixels ? px : px * TwipsPerPixel();
}

void SetDesktopExtent(int32_t right, int32_t bottom) {
  g_DesktopRight = right;
  g_DesktopBottom = bottom;
}

void SaveWindowPlacement(QWidget* window, const QString& prefix, int skipSize, int skipState) {
  if (!window) return;
  const int tpp = TwipsPerPixel();
  const int state = StateOf(window);
  if (state == 0) {
    const QRect frame = window->frameGeometry();
    WriteSetting(prefix + QStringLiteral("WindowLeft"), static_cast<float>(frame.x() * tpp));
    WriteSetting(prefix + QStringLiteral("WindowTop"), static_cast<float>(frame.y() * tpp));
    if (!skipSize) {
      WriteSetting(prefix + QStringLiteral("WindowHeight"), static_cast<float>(frame.height() * tpp));
      WriteSetting(prefix + QStringLiteral("WindowWidth"), static_cast<float>(frame.width() * tpp));
    }
  }
  if (!skipState) WriteSetting(prefix + QStringLiteral("WindowState"), static_cast<int16_t>(state));
}

void RestoreWindowPlacement(QWidget* window, const QString& prefix, int skipSize, int skipState, int skipPosition) {
  if (!window) return;
  const int tpp = TwipsPerPixel();
  try {
    if (StateOf(window) == 0) {
      const QRect frame = window->frameGeometry();
      // The frame around the client area, to turn an outer size into a client size.
      const int extraW = frame.width() - window->width(), extraH = frame.height() - window->height();
      if (!skipPosition) {
        int32_t left = ToInt32(ReadSetting(prefix + QStringLiteral("WindowLeft"), int32_t{frame.x() * tpp}));
        int32_t top = ToInt32(ReadSetting(prefix + QStringLiteral("WindowTop"), int32_t{frame.y() * tpp}));
        // A window left on a screen that is gone comes back on the desktop.
        if (left < 0 || left > DesktopExtent(0, 0) - 600) left = 0;
        if (top < 0 || top > DesktopExtent(1, 0) - 900) top = 0;
        window->move(left / tpp, window->y());
        window->move(window->x(), top / tpp);
      }
      if (!skipSize) {
        const float h = ToFloat(ReadSetting(prefix + QStringLiteral("WindowHeight"),
                                            static_cast<float>(window->frameGeometry().height() * tpp)));
        window->resize(window->width(), std::max(1, static_cast<int>(std::nearbyint(h / tpp)) - extraH));
        const float w = ToFloat(ReadSetting(prefix + QStringLiteral("WindowWidth"),
                                            static_cast<float>(window->frameGeometry().width() * tpp)));
        window->resize(std::max(1, static_cast<int>(std::nearbyint(w / tpp)) - extraW), window->height());
      }
    }
    if (!skipState) {
      const int state = ToInt32(ReadSetting(prefix + QStringLiteral("WindowState"), int16_t(StateOf(window))));
      Qt::WindowStates s = window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
      if (state == 1) s |= Qt::WindowMinimized;
      if (state == 2) s |= Qt::WindowMaximized;
      window->setWindowState(s);
    }
  } catch (const std::invalid_argument&) {
    // A stored value that is not a number: the window keeps what it has so far.
    if (ErrorCatch()) throw;
  }
}

}  // namespace basic
