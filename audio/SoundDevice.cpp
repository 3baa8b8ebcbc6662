#include "audio/SoundDevice.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <QString>

#include "audio/AnswerLimit.h"
#include "audio/LoopbackSim.h"
#include "audio/PortAudioBackend.h"
#include "audio/WaveMMIO.h"
#include "support/Settings.h"

namespace WaveMMIO {

std::string WaveErrorText(DeviceError code, Direction direction) {
  const bool out = direction == Direction::Output;
  switch (code) {
    case DeviceError::None: return {};
    case DeviceError::Unspecified: return "Unspecified error.";
    case DeviceError::BadDeviceId: return "The device identifier is out of range.";
    case DeviceError::Allocated: return "The specified resource is already allocated.";
    case DeviceError::NotOpen: return "The device is not open.";
    case DeviceError::NoDriver: return "The device was removed or has stopped working.";
    case DeviceError::NoMemory: return "Unable to allocate or lock memory.";
    case DeviceError::InvalidParameter: return "An invalid parameter was passed.";
    case DeviceError::BadFormat:
      return out ? "The output device does not support 16-bit stereo PCM at this sample rate."
                 : "The input device does not support 16-bit stereo PCM at this sample rate.";
    case DeviceError::StillPlaying: return out ? "The buffer is still playing." : "The buffer is still being recorded.";
    case DeviceError::Unprepared: return "No buffer has been queued.";
    case DeviceError::NoAnswer: {
      const std::string host = UnansweredHost();
      const auto ms = SoundSystemAnswerLimit().count();
      return "The sound system did not answer within " +
             (ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms") +
             (host.empty() ? std::string(".") : ": " + host + ".");
    }
    default: break;
  }
  const int number = static_cast<int>(code);
  if (number < 0) return PortAudioErrorText(number);
  return "Unknown error " + std::to_string(number) + ".";
}

namespace {
std::mutex g_UnansweredMutex;
std::string g_UnansweredHost;
std::atomic<int64_t> g_AnswerLimitMs{5000};
}  // namespace

std::string UnansweredHost() {
  std::lock_guard lock(g_UnansweredMutex);
  return g_UnansweredHost;
}

void SetUnansweredHost(const std::string& host) {
  std::lock_guard lock(g_UnansweredMutex);
  g_UnansweredHost = host;
}

std::chrono::milliseconds SoundSystemAnswerLimit() { return std::chrono::milliseconds(g_AnswerLimitMs.load()); }

void SetSoundSystemAnswerLimit(std::chrono::milliseconds limit) { g_AnswerLimitMs.store(limit.count()); }

NanoClock SteadyNanoClock() {
  return [] {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
}

SoundHost& SoundHost::Instance() {
  static SoundHost host;
  return host;
}

void SoundHost::SetBackends(std::vector<std::unique_ptr<SoundBackend>> backends, NanoClock clock) {
  m_Backends = std::move(backends);
  m_Clock = std::move(clock);
  m_Initialised = true;
}

void SoundHost::EnsureBackends() {
  if (m_Initialised) return;
  m_Initialised = true;
  m_Backends.push_back(std::make_unique<PortAudioBackend>());
  auto loopback = std::make_unique<LoopbackBackend>(SteadyNanoClock());
  loopback->SetDelayMs(LoopbackDelaySetting());
  m_Backends.push_back(std::move(loopback));
}

int32_t LoopbackDelaySetting() {
  bool ok = false;
  const QString text = basic::ReadSetting(QStringLiteral("LoopbackDelayMs"), int32_t{10}).trimmed();
  const double ms = text.toDouble(&ok);
  if (!ok || !std::isfinite(ms)) return 10;
  return static_cast<int32_t>(std::clamp(std::nearbyint(ms), 0.0, double{LoopbackPath::kMaxDelayMs}));
}

int SoundHost::DeviceCount(Direction direction) {
  EnsureBackends();
  int count = 0;
  for (auto& backend : m_Backends) count += backend->DeviceCount(direction);
  return count;
}

std::string SoundHost::DeviceName(Direction direction, int id) {
  EnsureBackends();
  if (id < 0) return {};
  for (auto& backend : m_Backends) {
    const int n = backend->DeviceCount(direction);
    if (id < n) return backend->DeviceName(direction, id);
    id -= n;
  }
  return {};
}

DeviceError SoundHost::Open(Direction direction, int id, int sampleRate, std::unique_ptr<SoundStream>& stream) {
  EnsureBackends();
  stream.reset();
  if (id == -1) {
    // The default device: the first backend that has one.
    for (auto& backend : m_Backends) {
      const int def = backend->DefaultDevice(direction);
      if (def >= 0) return backend->Open(direction, def, sampleRate, stream);
    }
    return DeviceError::BadDeviceId;
  }
  if (id < 0) return DeviceError::BadDeviceId;
  for (auto& backend : m_Backends) {
    const int n = backend->DeviceCount(direction);
    if (id < n) return backend->Open(direction, id, sampleRate, stream);
    id -= n;
  }
  return DeviceError::BadDeviceId;
}

}  // namespace WaveMMIO

namespace WaveMMIO {

bool SoundHost::KeepServerlessFor(const std::vector<std::string>& names) {
  const bool fresh = !m_Initialised;
  if (fresh) {
    // The serverless backends alone: the server's are not even made.
    auto loopback = std::make_unique<LoopbackBackend>(SteadyNanoClock());
    loopback->SetDelayMs(LoopbackDelaySetting());
    m_Backends.push_back(std::move(loopback));
  }
  bool all = !names.empty();
  for (const std::string& raw : names) {
    const QString name = QString::fromStdString(raw).trimmed();
    bool number = false;
    name.toDouble(&number);
    bool found = false;
    for (auto& backend : m_Backends) {
      if (backend->NeedsServer() || number || name.isEmpty()) continue;
      for (const Direction d : {Direction::Output, Direction::Input})
        for (int i = 0; i < backend->DeviceCount(d); ++i) {
          const QString mine = QString::fromStdString(backend->DeviceName(d, i)).trimmed();
          if (mine.compare(name, Qt::CaseInsensitive) == 0 || DeviceNamesMatch(mine, name)) found = true;
        }
    }
    all = all && found;
  }
  if (fresh && !all) {
    m_Backends.clear();  // the whole list after all, in its usual order
    return false;
  }
  if (fresh) m_Initialised = true;
  if (!all) return false;
  std::erase_if(m_Backends, [](const auto& backend) { return backend->NeedsServer(); });
  return true;
}

}  // namespace WaveMMIO
