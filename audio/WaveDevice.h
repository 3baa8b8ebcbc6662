#pragma once
// A handle on one open playback or capture device, as the measurement run
// holds it. Every call is safe on a handle that was never opened (it answers
// DeviceError::NotOpen), so a close sequence can run whatever state a failed
// start left behind.
#include <cstdint>
#include <memory>
#include <optional>

#include "audio/SoundDevice.h"

namespace WaveMMIO {

class WaveDevice {
 public:
  explicit WaveDevice(Direction direction) : m_Direction(direction) {}
  ~WaveDevice() { Close(); }
  WaveDevice(const WaveDevice&) = delete;
  WaveDevice& operator=(const WaveDevice&) = delete;

  Direction GetDirection() const { return m_Direction; }
  bool IsOpen() const { return m_Stream != nullptr; }

  // Opens device id (-1: the default device) for 16-bit stereo PCM at a rate.
  // A handle that is still open is closed first.
  DeviceError Open(int deviceId, int sampleRate);
  // Queues the one buffer (prepare and add or write); playback starts here.
  DeviceError Queue(StereoSample* buffer, uint32_t frames);
  // Starts capture.
  DeviceError Start();
  // Frames since the start of capture (or of playback).
  DeviceError Position(int64_t& frames) const;
  // The buffer's "done" flag.
  bool Done() const;
  // The host's overflow and underflow reports since the buffer was queued.
  StreamFlags Flags() const;
  DeviceError Reset();
  DeviceError Stop();
  DeviceError Unprepare();
  DeviceError Close();
  // When the buffer's first frame was played or captured (see StreamStartTime).
  StreamStartTime FirstFrameTime() const;

 private:
  Direction m_Direction;
  std::unique_ptr<SoundStream> m_Stream;
};

// The capture's first frame minus the playback's, in frames at rate, when
// both streams told their times on the same clock.
std::optional<double> CaptureStartFrames(const StreamStartTime& capture, const StreamStartTime& playback, int rate);

}  // namespace WaveMMIO
