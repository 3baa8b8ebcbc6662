#pragma once
// A backend with fixed device names and no sound, for the lookup rules.
#include <memory>
#include <string>
#include <vector>

#include "audio/LoopbackSim.h"
#include "audio/SoundDevice.h"

namespace zarin_test {

class FakeBackend : public WaveMMIO::SoundBackend {
 public:
  FakeBackend(std::vector<std::string> outputs, std::vector<std::string> inputs, int defaultDevice = -1)
      : m_Names{std::move(outputs), std::move(inputs)}, m_Default(defaultDevice) {}
  int DeviceCount(WaveMMIO::Direction d) override { return static_cast<int>(Names(d).size()); }
  std::string DeviceName(WaveMMIO::Direction d, int i) override {
    return i >= 0 && i < DeviceCount(d) ? Names(d)[static_cast<size_t>(i)] : std::string();
  }
  int DefaultDevice(WaveMMIO::Direction) override { return m_Default; }
  WaveMMIO::DeviceError Open(WaveMMIO::Direction, int, int, std::unique_ptr<WaveMMIO::SoundStream>&) override {
    return WaveMMIO::DeviceError::NoDriver;
  }

 private:
  std::vector<std::string>& Names(WaveMMIO::Direction d) { return m_Names[static_cast<int>(d)]; }
  std::vector<std::string> m_Names[2];
  int m_Default;
};

// Installs backends in the process-wide device list for one test.
inline void UseBackends(std::unique_ptr<WaveMMIO::SoundBackend> a, std::unique_ptr<WaveMMIO::SoundBackend> b = {}) {
  std::vector<std::unique_ptr<WaveMMIO::SoundBackend>> list;
  list.push_back(std::move(a));
  if (b) list.push_back(std::move(b));
  WaveMMIO::SoundHost::Instance().SetBackends(std::move(list));
}

// The devices a machine with a numbered USB codec lists, three each way,
// and the loopback simulator after them.
inline void UseCodecDevices() {
  UseBackends(std::make_unique<FakeBackend>(
                  std::vector<std::string>{"Speakers (2- USB Audio CODEC)", "Realtek Digital Output", "2- Line Out"},
                  std::vector<std::string>{"Mic (1- X)", "2- USB Audio CODEC", "Line In"}),
              std::make_unique<WaveMMIO::LoopbackBackend>([] { return int64_t{0}; }));
}

}  // namespace zarin_test
