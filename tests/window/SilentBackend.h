#pragma once
// A pair of devices in (injected) time with nothing between them: what is
// played goes nowhere and the input records exact silence. Faults can be
// scripted: a capture that stops moving at some frame, an output that never
// reports done.
#include <algorithm>
#include <memory>
#include <string>

#include "audio/LoopbackSim.h"
#include "audio/SoundDevice.h"

namespace zarin_test {

struct SilentFaults {
  int64_t captureStopsAt = -1;  // frames; -1: never
  bool outputNeverDone = false;
};

class SilentStream : public WaveMMIO::SoundStream {
 public:
  SilentStream(WaveMMIO::NanoClock clock, int rate, bool input, SilentFaults faults)
      : m_Clock(std::move(clock)), m_Rate(rate), m_Input(input), m_Faults(faults) {}
  WaveMMIO::DeviceError Queue(WaveMMIO::StereoSample* buffer, uint32_t frames) override {
    m_Buffer = buffer;
    m_Frames = frames;
    if (!m_Input) m_Start = m_Clock();
    return WaveMMIO::DeviceError::None;
  }
  WaveMMIO::DeviceError Start() override {
    if (m_Input) m_Start = m_Clock();
    return WaveMMIO::DeviceError::None;
  }
  WaveMMIO::DeviceError Position(int64_t& frames) override {
    frames = Elapsed();
    if (m_Buffer) std::fill(m_Buffer, m_Buffer + frames, WaveMMIO::StereoSample{});
    return WaveMMIO::DeviceError::None;
  }
  bool Done() override {
    if (!m_Input && m_Faults.outputNeverDone) return false;
    return m_Stopped || (m_Start >= 0 && m_Buffer && Elapsed() >= m_Frames);
  }
  WaveMMIO::DeviceError Reset() override {
    m_Stopped = true;
    return WaveMMIO::DeviceError::None;
  }
  WaveMMIO::DeviceError Stop() override { return Reset(); }
  WaveMMIO::DeviceError Unprepare() override {
    m_Buffer = nullptr;
    return WaveMMIO::DeviceError::None;
  }
  WaveMMIO::DeviceError Close() override { return Unprepare(); }

 private:
  int64_t Elapsed() const {
    if (m_Start < 0) return 0;
    int64_t n = std::min<int64_t>(m_Frames, (m_Clock() - m_Start) * m_Rate / 1'000'000'000);
    if (m_Input && m_Faults.captureStopsAt >= 0) n = std::min(n, m_Faults.captureStopsAt);
    return n;
  }
  WaveMMIO::NanoClock m_Clock;
  int m_Rate;
  bool m_Input;
  SilentFaults m_Faults;
  WaveMMIO::StereoSample* m_Buffer = nullptr;
  int64_t m_Frames = 0;
  int64_t m_Start = -1;
  bool m_Stopped = false;
};

class SilentBackend : public WaveMMIO::SoundBackend {
 public:
  explicit SilentBackend(WaveMMIO::NanoClock clock, SilentFaults faults = {})
      : m_Clock(std::move(clock)), m_Faults(faults) {}
  int DeviceCount(WaveMMIO::Direction) override { return 1; }
  std::string DeviceName(WaveMMIO::Direction d, int) override {
    return d == WaveMMIO::Direction::Input ? "Silent input" : "Silent output";
  }
  int DefaultDevice(WaveMMIO::Direction) override { return 0; }
  WaveMMIO::DeviceError Open(WaveMMIO::Direction d, int, int rate,
                             std::unique_ptr<WaveMMIO::SoundStream>& stream) override {
    stream = std::make_unique<SilentStream>(m_Clock, rate, d == WaveMMIO::Direction::Input, m_Faults);
    return WaveMMIO::DeviceError::None;
  }

 private:
  WaveMMIO::NanoClock m_Clock;
  SilentFaults m_Faults;
};

}  // namespace zarin_test
