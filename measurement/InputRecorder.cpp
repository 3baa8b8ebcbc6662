#include "measurement/InputRecorder.h"

#include <algorithm>
#include <cmath>

#include "audio/WaveMMIO.h"

namespace measurement {

InputRecorder::~InputRecorder() { Close(); }

void InputRecorder::Close() {
  // Stopped and closed before the buffer may change.
  m_In.Reset();
  m_In.Unprepare();
  m_In.Close();
}

bool InputRecorder::Start(const QString& device, int32_t rate, double seconds) {
  Close();
  m_State = State::Idle;
  m_Error.clear();
  m_Frames = 0;
  m_Rate = rate;
  const double frames = std::ceil(seconds * rate);
  if (rate <= 0 || !std::isfinite(frames) || frames < 1 || frames > 30.0 * WaveMMIO::kSampleRates[0]) {
    m_Error = "no such length or rate";
    return false;
  }
  const int32_t id = WaveMMIO::FindAudioDevice(WaveMMIO::Direction::Input, device, false);
  m_Buffer.assign(static_cast<size_t>(frames), {});
  constexpr auto kNoError = WaveMMIO::DeviceError::None;
  WaveMMIO::DeviceError code = m_In.Open(id, rate);
  if (code == kNoError) code = m_In.Queue(m_Buffer.data(), static_cast<uint32_t>(m_Buffer.size()));
  if (code == kNoError) code = m_In.Start();
  if (code != kNoError) {
    m_Error = WaveMMIO::WaveErrorText(code, WaveMMIO::Direction::Input);
    if (m_Error.empty()) m_Error = "the input could not be opened";
    Close();
    return false;
  }
  m_State = State::Recording;
  return true;
}

InputRecorder::State InputRecorder::Poll() {
  if (m_State != State::Recording) return m_State;
  int64_t position = 0;
  if (m_In.Position(position) == WaveMMIO::DeviceError::None)
    m_Frames = std::clamp<int64_t>(position, 0, static_cast<int64_t>(m_Buffer.size()));
  if (m_In.Done()) {
    m_Frames = static_cast<int64_t>(m_Buffer.size());
    Close();
    m_State = State::Done;
  }
  return m_State;
}

void InputRecorder::Stop() {
  Close();
  m_State = State::Idle;
  m_Frames = 0;
}

std::span<const WaveMMIO::StereoSample> InputRecorder::Recorded() const {
  return std::span<const WaveMMIO::StereoSample>(m_Buffer).first(static_cast<size_t>(m_Frames));
}

double WeightedLevel(std::span<const WaveMMIO::StereoSample> recorded, int32_t rate, dsp::Weighting weighting) {
  if (rate <= 0) return -INFINITY;
  std::vector<float> left(recorded.size());
  for (size_t i = 0; i < recorded.size(); ++i) left[i] = static_cast<float>(recorded[i].Left / 32767.0);
  return dsp::WeightedLevelDbfs(left, rate, weighting);
}

}  // namespace measurement
