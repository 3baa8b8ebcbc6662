#include <QRegularExpression>
#include <cmath>
#include <limits>

#include "audio/WaveMMIO.h"
#include "support/Logging.h"
#include "support/Report.h"

namespace WaveMMIO {

namespace {

QString DisplayName(Direction direction, int id) {
  return QString::fromStdString(SoundHost::Instance().DeviceName(direction, id)).trimmed();
}

// Removes every occurrence of "n- " for n = 1..4 when the text holds "(n- ".
void DropBracketedPrefixes(QString& s) {
  for (int n = 1; n <= 4; ++n) {
    const QString tag = QString::number(n) + QStringLiteral("- ");
    if (s.contains(QLatin1Char('(') + tag, Qt::CaseInsensitive)) s.remove(tag, Qt::CaseInsensitive);
  }
}

// For a text longer than 4 characters: removes "n- " (n = 1..4) everywhere
// when the text starts with it, then trims.
void DropLeadingPrefixes(QString& s) {
  if (s.size() <= 4) return;
  for (int n = 1; n <= 4; ++n) {
    const QString tag = QString::number(n) + QStringLiteral("- ");
    if (s.left(3) == tag) s.remove(tag);
  }
  s = s.trimmed();
}

// A name typed as a whole number ("3", " 2 "): a device id. Other numbers
// ("1.5", "1e10") are names like any text.
bool ReadsAsId(const QString& s, int64_t& value) {
  static const QRegularExpression digits(QStringLiteral("^[+-]?[0-9]{1,18}$"));
  if (!digits.match(s).hasMatch()) return false;
  bool ok = false;
  value = s.toLongLong(&ok);
  return ok;
}

}  // namespace

int32_t FindAudioDevice(Direction direction, const QString& name, bool showMessage) {
  const QString s = name.trimmed().toLower();
  if (s.isEmpty()) return 0;
  int64_t number = 0;
  if (ReadsAsId(s, number)) {
    // An id names a device only when there is one with that number.
    if (number >= 0 && number < SoundHost::Instance().DeviceCount(direction)) return static_cast<int32_t>(number);
    basic::WriteLogLine(QStringLiteral("この番号のデバイスはありません ") + name, false);
    return kNoSuchDeviceId;
  }
  const int count = SoundHost::Instance().DeviceCount(direction);
  if (count <= 0) return 0;
  QStringList names;
  for (int id = 0; id < count; ++id) names << DisplayName(direction, id).toLower();
  for (int id = 0; id < count; ++id)
    if (names[id] == s) return id;
  for (int id = 0; id < count; ++id)
    if (DeviceNamesMatch(names[id], s)) return id;

  const QString text = QStringLiteral("この名前のデバイスを検出できませんでした");
  if (showMessage)
    basic::PlainMessage(basic::AppTitle(), text + QStringLiteral("\r\n") + name, basic::MsgIcon::Critical);
  basic::WriteLogLine(text + QLatin1Char(' ') + name, false);
  return -1;
}

bool DeviceNamesMatch(const QString& a, const QString& b) {
  QString x = a.toLower();
  QString y = b.toLower();
  DropBracketedPrefixes(x);
  DropBracketedPrefixes(y);
  if (x == y) return true;
  DropLeadingPrefixes(x);
  DropLeadingPrefixes(y);
  return x == y;
}

bool CheckWaveResult(DeviceError code, Direction direction, bool logOnly) {
  if (code == DeviceError::None) return false;
  const QString text = QString::fromStdString(WaveErrorText(code, direction)).left(kErrorTextChars);
  if (logOnly) basic::WriteLogLine(text, true);
  else basic::PlainMessage(basic::AppTitle(), text, basic::MsgIcon::None);
  return true;
}

}  // namespace WaveMMIO
