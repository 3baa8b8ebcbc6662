#pragma once
// The loopback simulator as a host that does not tell when its streams'
// first frames were played and captured (as some sound hosts do not).
#include <memory>
#include <string>

#include "audio/LoopbackSim.h"
#include "audio/SoundDevice.h"

namespace zarin_test {

class UntimedStream : public WaveMMIO::SoundStream {
 public:
  explicit UntimedStream(std::unique_ptr<WaveMMIO::SoundStream> inner) : m_Inner(std::move(inner)) {}
  WaveMMIO::DeviceError Queue(WaveMMIO::StereoSample* buffer, uint32_t frames) override {
    return m_Inner->Queue(buffer, frames);
  }
  WaveMMIO::DeviceError Start() override { return m_Inner->Start(); }
  WaveMMIO::DeviceError Position(int64_t& frames) override { return m_Inner->Position(frames); }
  bool Done() override { return m_Inner->Done(); }
  WaveMMIO::DeviceError Reset() override { return m_Inner->Reset(); }
  WaveMMIO::DeviceError Stop() override { return m_Inner->Stop(); }
  WaveMMIO::DeviceError Unprepare() override { return m_Inner->Unprepare(); }
  WaveMMIO::DeviceError Close() override { return m_Inner->Close(); }

 private:
  std::unique_ptr<WaveMMIO::SoundStream> m_Inner;
};

class UntimedBackend : public WaveMMIO::SoundBackend {
 public:
  explicit UntimedBackend(WaveMMIO::NanoClock clock) : m_Loopback(std::move(clock)) {}
  WaveMMIO::LoopbackBackend& Cable() { return m_Loopback; }
  int DeviceCount(WaveMMIO::Direction d) override { return m_Loopback.DeviceCount(d); }
  std::string DeviceName(WaveMMIO::Direction d, int i) override { return m_Loopback.DeviceName(d, i); }
  int DefaultDevice(WaveMMIO::Direction d) override { return m_Loopback.DefaultDevice(d); }
  WaveMMIO::DeviceError Open(WaveMMIO::Direction d, int i, int rate,
                             std::unique_ptr<WaveMMIO::SoundStream>& stream) override {
    std::unique_ptr<WaveMMIO::SoundStream> inner;
    const WaveMMIO::DeviceError r = m_Loopback.Open(d, i, rate, inner);
    if (r == WaveMMIO::DeviceError::None) stream = std::make_unique<UntimedStream>(std::move(inner));
    return r;
  }

 private:
  WaveMMIO::LoopbackBackend m_Loopback;
};

}  // namespace zarin_test
