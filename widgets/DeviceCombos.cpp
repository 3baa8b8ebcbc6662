#include "widgets/DeviceCombos.h"

#include <QComboBox>

#include "audio/WaveMMIO.h"

namespace WaveMMIO {

void FillRateCombo(QComboBox* combo, int32_t rateToSelect, int32_t lowest, int32_t highest) {
  if (!combo) return;
  combo->clear();
  for (const int32_t r : kSampleRates)
    if ((r >= lowest || lowest == 0) && (r <= highest || highest == 0)) combo->addItem(QString::number(r));
  combo->setCurrentIndex(combo->findText(QString::number(rateToSelect), Qt::MatchExactly));
}

void ListAudioDevices(QComboBox* combo, Direction direction, const QString& storedName, bool fallBackToFirst) {
  if (!combo) return;
  combo->clear();
  const int count = SoundHost::Instance().DeviceCount(direction);
  if (count <= 0) return;
  for (int id = 0; id < count; ++id)
    combo->addItem(QString::fromStdString(SoundHost::Instance().DeviceName(direction, id)).trimmed());

  const QString s = storedName.trimmed().toLower();
  if (s.isEmpty()) {
    combo->setCurrentIndex(fallBackToFirst ? 0 : -1);
    return;
  }
  for (int i = 0; i < combo->count(); ++i) {
    if (combo->itemText(i).toLower() == s) {
      combo->setCurrentIndex(i);
      return;
    }
  }
  for (int i = 0; i < combo->count(); ++i) {
    if (DeviceNamesMatch(combo->itemText(i), s)) {
      combo->setCurrentIndex(i);
      return;
    }
  }
  combo->setCurrentIndex(fallBackToFirst ? 0 : -1);
}

}  // namespace WaveMMIO
