#include "window/CorrectionChoice.h"

#include <QFileInfo>

namespace window_files {

namespace {

// Hex of the name's UTF-8: a key of plain letters and digits, whatever the name.
QString Encoded(const QString& device) { return QString::fromLatin1(device.toUtf8().toHex()); }

}  // namespace

QString CorrectionSettingKey(CorrectionKind kind, const QString& device) {
  return (kind == CorrectionKind::Mic ? QStringLiteral("MicCal_") : QStringLiteral("DeviceCal_")) + Encoded(device);
}

QString SensitivitySettingKey(const QString& device) { return QStringLiteral("Sensitivity_") + Encoded(device); }

bool IsReferenceFileName(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  return suffix == QLatin1String("frd") || suffix == QLatin1String("txt") || suffix == QLatin1String("cal") ||
         suffix == QLatin1String("csv");
}

QString CorrectionFaultText(const measurement::CorrectionRead& read) {
  using measurement::CorrectionFault;
  QString why;
  switch (read.fault) {
    case CorrectionFault::None: return {};
    case CorrectionFault::Missing: why = QStringLiteral("ファイルがありません。"); break;
    case CorrectionFault::Unreadable: why = QStringLiteral("ファイルを読めません。"); break;
    case CorrectionFault::TooLarge: why = QStringLiteral("ファイルが大きすぎます。"); break;
    case CorrectionFault::NoDb: why = QStringLiteral("周波数の後に dB の値がありません。"); break;
    case CorrectionFault::BadNumber: why = QStringLiteral("周波数か dB の値が範囲外です。"); break;
    case CorrectionFault::NotRising: why = QStringLiteral("周波数が前の行より高くありません。"); break;
    case CorrectionFault::TooFewPoints:
      why = QStringLiteral("周波数と dB の行が 2 行以上ありません（補正ファイルの形式ではありません）。");
      break;
  }
  if (read.errorLine > 0) why = QStringLiteral("%1 行目: ").arg(read.errorLine) + why;
  return why;
}

QString CorrectionFileFilter() { return QStringLiteral("補正ファイル|*.frd;*.txt;*.cal;*.csv|すべてのファイル|*"); }

}  // namespace window_files
