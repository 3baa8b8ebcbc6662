#include "audio/WaveDevice.h"

#include <cmath>

namespace WaveMMIO {

int WaveDevice::Open(int deviceId, int sampleRate) {
  Close();
  return SoundHost::Instance().Open(m_Direction, deviceId, sampleRate, m_Stream);
}

int WaveDevice::Queue(StereoSample* buffer, uint32_t frames) {
  if (!m_Stream) return MMSYSERR_INVALHANDLE;
  if (!buffer || frames == 0) return MMSYSERR_INVALPARAM;
  return m_Stream->Queue(buffer, frames);
}

int WaveDevice::Start() { return m_Stream ? m_Stream->Start() : MMSYSERR_INVALHANDLE; }

int WaveDevice::Position(int64_t& frames) const {
  frames = 0;
  return m_Stream ? m_Stream->Position(frames) : MMSYSERR_INVALHANDLE;
}

bool WaveDevice::Done() const { return m_Stream && m_Stream->Done(); }
StreamFlags WaveDevice::Flags() const { return m_Stream ? m_Stream->Flags() : StreamFlags{}; }
int WaveDevice::Reset() { return m_Stream ? m_Stream->Reset() : MMSYSERR_INVALHANDLE; }
int WaveDevice::Stop() { return m_Stream ? m_Stream->Stop() : MMSYSERR_INVALHANDLE; }
int WaveDevice::Unprepare() { return m_Stream ? m_Stream->Unprepare() : MMSYSERR_INVALHANDLE; }

StreamStartTime WaveDevice::FirstFrameTime() const { return m_Stream ? m_Stream->FirstFrameTime() : StreamStartTime{}; }

std::optional<double> CaptureStartFrames(const StreamStartTime& capture, const StreamStartTime& playback, int rate) {
  if (!capture.known || !playback.known || capture.clock != playback.clock || rate <= 0) return std::nullopt;
  const double frames = (capture.seconds - playback.seconds) * rate;
  if (!std::isfinite(frames)) return std::nullopt;
  return frames;
}

int WaveDevice::Close() {
  if (!m_Stream) return MMSYSERR_INVALHANDLE;
  const int result = m_Stream->Close();
  m_Stream.reset();
  return result;
}

}  // namespace WaveMMIO
