#pragma once
// A pair of devices in real (injected) time with nothing between them: what
// is played goes nowhere and the input records exact silence.
#include <algorithm>
#include <memory>
#include <string>

#include "audio/LoopbackSim.h"
#include "audio/SoundDevice.h"

namespace zarin_test {

class SilentStream : public WaveMMIO::SoundStream {
 public:
  SilentStream(WaveMMIO::NanoClock clock, int rate, bool input) : m_Clock(std::move(clock)), m_Rate(rate), m_Input(input) {}
  int Queue(WaveMMIO::StereoSample* buffer, uint32_t frames) override {
    m_Buffer = buffer;
    m_Frames = frames;
    if (!m_Input) m_Start = m_Clock();
    return 0;
  }
  int Start() override {
    if (m_Input) m_Start = m_Clock();
    return 0;
  }
  int Position(int64_t& frames) override {
    frames = Elapsed();
    if (m_Buffer) std::fill(m_Buffer, m_Buffer + frames, WaveMMIO::StereoSample{});
    return 0;
  }
  bool Done() override { return m_Stopped || (m_Start >= 0 && m_Buffer && Elapsed() >= m_Frames); }
  int Reset() override {
    m_Stopped = true;
    return 0;
  }
  int Stop() override { return Reset(); }
  int Unprepare() override {
    m_Buffer = nullptr;
    return 0;
  }
  int Close() override { return Unprepare(); }

 private:
  int64_t Elapsed() const {
    if (m_Start < 0) return 0;
    return std::min<int64_t>(m_Frames, (m_Clock() - m_Start) * m_Rate / 1'000'000'000);
  }
  WaveMMIO::NanoClock m_Clock;
  int m_Rate;
  bool m_Input;
  WaveMMIO::StereoSample* m_Buffer = nullptr;
  int64_t m_Frames = 0;
  int64_t m_Start = -1;
  bool m_Stopped = false;
};

class SilentBackend : public WaveMMIO::SoundBackend {
 public:
  explicit SilentBackend(WaveMMIO::NanoClock clock) : m_Clock(std::move(clock)) {}
  int DeviceCount(WaveMMIO::Direction) override { return 1; }
  std::string DeviceName(WaveMMIO::Direction d, int) override {
    return d == WaveMMIO::Direction::Input ? "Silent input" : "Silent output";
  }
  int DefaultDevice(WaveMMIO::Direction) override { return 0; }
  int Open(WaveMMIO::Direction d, int, int rate, std::unique_ptr<WaveMMIO::SoundStream>& stream) override {
    stream = std::make_unique<SilentStream>(m_Clock, rate, d == WaveMMIO::Direction::Input);
    return 0;
  }

 private:
  WaveMMIO::NanoClock m_Clock;
};

}  // namespace zarin_test
