#pragma once
// The stored settings a run starts from, as the window reads them at
// start-up: the devices, rate, mode, length, level, data folder, the dB grid's
// offset and the wait between playback and capture. The command line starts
// from the same values.
#include <QString>
#include <cstdint>

#include "measurement/SignalMode.h"

namespace measurement {

struct RunSettings {
  QString deviceOut;                    // "DeviceOut"
  QString deviceIn;                     // "DeviceIn"
  int32_t sampleRate = 44100;           // "nFreq"
  SignalMode mode = SignalMode::Sweep;  // "CheckMode": 1 noise, any other value a sweep
  int32_t seconds = 10;                 // "PlaySec"
  int32_t levelTenthsDb = -30;          // "PlayLevel" (dB) x 10
  float offsetDb = -6.0f;               // "Offsetdb"
  int32_t bufferDelayMs = 0;            // "BufferDelayMS", or 70 x the error-catch switch
  QString dataPath;                     // "DataPath", or the default data folder
};

// Values that are not numbers keep their defaults.
RunSettings ReadRunSettings();

// The wait between playback and capture: a stored, non-zero value decides,
// otherwise the error-catch switch does (70 ms per step of it); either way
// 0 .. 1000 ms.
inline constexpr int32_t kMaxBufferDelayMs = 1000;
int32_t BufferDelayMs(int32_t stored, int32_t errorCatch);

}  // namespace measurement
