#include "measurement/RunSettings.h"

#include <algorithm>
#include <cmath>

#include "measurement/ResultFiles.h"
#include "support/Logging.h"
#include "support/Settings.h"

namespace measurement {

namespace {

// A stored number, or fallback when the text is none.
double Stored(const QString& key, const basic::SettingValue& fallback, double otherwise) {
  bool ok = false;
  const double v = basic::ReadSetting(key, fallback).trimmed().toDouble(&ok);
  return ok && std::isfinite(v) ? v : otherwise;
}

int32_t Whole(double v) { return static_cast<int32_t>(std::nearbyint(std::clamp(v, -2e9, 2e9))); }

}  // namespace

int32_t BufferDelayMs(int32_t stored, int32_t errorCatch) {
  const int64_t ms = stored != 0 ? int64_t{stored} : int64_t{70} * errorCatch;
  return static_cast<int32_t>(std::clamp<int64_t>(ms, 0, kMaxBufferDelayMs));
}

RunSettings ReadRunSettings() {
  RunSettings s;
  s.deviceOut = basic::ReadSetting(QStringLiteral("DeviceOut"), QString());
  s.deviceIn = basic::ReadSetting(QStringLiteral("DeviceIn"), QString());
  s.sampleRate = Whole(Stored(QStringLiteral("nFreq"), int32_t{44100}, 44100));
  s.mode = Whole(Stored(QStringLiteral("CheckMode"), int32_t{0}, 0)) == static_cast<int32_t>(SignalMode::Noise)
               ? SignalMode::Noise
               : SignalMode::Sweep;
  s.seconds = Whole(Stored(QStringLiteral("PlaySec"), int16_t{10}, 10));
  s.levelTenthsDb = Whole(Stored(QStringLiteral("PlayLevel"), -3.0f, -3.0) * 10);
  s.offsetDb = static_cast<float>(Stored(QStringLiteral("Offsetdb"), -6.0f, -6.0));
  s.bufferDelayMs = BufferDelayMs(Whole(Stored(QStringLiteral("BufferDelayMS"), int16_t{0}, 0)), basic::ErrorCatch());
  s.dataPath = basic::ReadSetting(QStringLiteral("DataPath"), DefaultDataFolder());
  return s;
}

}  // namespace measurement
