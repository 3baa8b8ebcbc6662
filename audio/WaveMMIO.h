#pragma once
// The window's view of the sound devices: the sample-rate list, the device
// combo boxes, device lookup by (leniently matched) name and the texts of
// failed device calls.
#include <QString>
#include <array>
#include <cstdint>

#include "audio/SoundDevice.h"
#include "audio/StereoSample.h"

class QComboBox;

namespace WaveMMIO {

// Sample rates offered, in the order they are listed.
inline constexpr std::array<int32_t, 12> kSampleRates = {192000, 96000, 88200, 48000, 44100, 32000,
                                                          24000,  22050, 16000, 12000, 11025, 8000};

// Longest error text handed on (the text buffer holds 200 characters with its terminator).
inline constexpr int kErrorTextChars = 199;

// Fills combo with the offered rates within [lowest, highest] (0 = no limit)
// and selects the item equal to rateToSelect (none when it is not offered).
void FillRateCombo(QComboBox* combo, int32_t rateToSelect, int32_t lowest, int32_t highest);

// Fills combo with the device names of a direction (input 1, output 0) and
// selects the stored one: exactly, else leniently, else item 0 when
// fallBackToFirst is set, else nothing.
void ListAudioDevices(QComboBox* combo, int input, const QString& storedName, int fallBackToFirst);

// The device id for a name: 0 for an empty name, the number for a numeric
// name, else the first exact then lenient match; -1 (and a log line, and a
// message box when show is 1) when nothing matches.
int32_t FindAudioDevice(int input, const QString& name, int show);

// 1 when the two names name the same device, allowing for a numbering
// prefix such as "2- " that the system adds or drops.
int DeviceNamesMatch(const QString& a, const QString& b);

// 1 when code reports an error; the error text is then logged (logOnly) or
// shown in a message box.
int CheckWaveResult(int32_t code, int output, int logOnly);

}  // namespace WaveMMIO
