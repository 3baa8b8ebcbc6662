#include "audio/WaveDevice.h"

#include <cmath>

namespace WaveMMIO {

DeviceError WaveDevice::Open(int deviceId, int sampleRate) {
  Close();
  return SoundHost::Instance().Open(m_Direction, deviceId, sampleRate, m_Stream);
}

DeviceError WaveDevice::Queue(StereoSample* buffer, uint32_t frames) {
  if (!m_Stream) return DeviceError::NotOpen;
  if (!buffer || frames == 0) return DeviceError::InvalidParameter;
  return m_Stream->Queue(buffer, frames);
}

DeviceError WaveDevice::Start() { return m_Stream ? m_Stream->Start() : DeviceError::NotOpen; }

DeviceError WaveDevice::Position(int64_t& frames) const {
  frames = 0;
  return m_Stream ? m_Stream->Position(frames) : DeviceError::NotOpen;
}

bool WaveDevice::Done() const { return m_Stream && m_Stream->Done(); }
StreamFlags WaveDevice::Flags() const { return m_Stream ? m_Stream->Flags() : StreamFlags{}; }
DeviceError WaveDevice::Reset() { return m_Stream ? m_Stream->Reset() : DeviceError::NotOpen; }
DeviceError WaveDevice::Stop() { return m_Stream ? m_Stream->Stop() : DeviceError::NotOpen; }
DeviceError WaveDevice::Unprepare() { return m_Stream ? m_Stream->Unprepare() : DeviceError::NotOpen; }

StreamStartTime WaveDevice::FirstFrameTime() const { return m_Stream ? m_Stream->FirstFrameTime() : StreamStartTime{}; }

std::optional<double> CaptureStartFrames(const StreamStartTime& capture, const StreamStartTime& playback, int rate) {
  if (!capture.known || !playback.known || capture.clock != playback.clock || rate <= 0) return std::nullopt;
  const double frames = (capture.seconds - playback.seconds) * rate;
  if (!std::isfinite(frames)) return std::nullopt;
  return frames;
}

DeviceError WaveDevice::Close() {
  if (!m_Stream) return DeviceError::NotOpen;
  const DeviceError result = m_Stream->Close();
  m_Stream.reset();
  return result;
}

}  // namespace WaveMMIO
