#pragma once
// The window's rate and device combo boxes, filled from the device list.
#include <QString>
#include <cstdint>

#include "audio/SoundDevice.h"

class QComboBox;

namespace WaveMMIO {

// Fills combo with the offered rates within [lowest, highest] (0 = no limit)
// and selects the item equal to rateToSelect (none when it is not offered).
void FillRateCombo(QComboBox* combo, int32_t rateToSelect, int32_t lowest, int32_t highest);

// Fills combo with the device names of a direction and selects the stored
// one: exactly, else leniently, else item 0 when fallBackToFirst is set, else
// nothing.
void ListAudioDevices(QComboBox* combo, Direction direction, const QString& storedName, bool fallBackToFirst);

}  // namespace WaveMMIO
