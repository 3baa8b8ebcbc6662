#pragma once
// The sound device layer: one small interface for "list the devices of a
// direction" and "open device id for a direction at a rate", with one
// implementation per source of devices (PortAudio, the loopback simulator).
//
// A stream plays or records exactly one caller-owned buffer of 16-bit stereo
// frames. The layer never copies the buffer away, resizes or frees it, and
// does not touch it once Reset, Unprepare or Close has returned. Progress is
// published as a frame position and a done flag.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "audio/StereoSample.h"

namespace WaveMMIO {

enum class Direction : int { Output = 0, Input = 1 };

// Nanoseconds from an arbitrary but fixed origin, never going back. Devices
// and the run take one so that tests can step time themselves.
using NanoClock = std::function<int64_t()>;
NanoClock SteadyNanoClock();

// What a device call answers: None is success. PortAudio's own error codes
// (negative) pass through unchanged as values of their own; WaveErrorText has
// a text for all of them.
enum class DeviceError : int {
  None = 0,
  Unspecified = 1,
  BadDeviceId = 2,
  Allocated = 4,
  NotOpen = 5,
  NoDriver = 6,
  NoMemory = 7,
  InvalidParameter = 11,
  BadFormat = 32,
  StillPlaying = 33,
  Unprepared = 34,
  NoAnswer = 64,  // the sound system did not answer within its time limit
};

// The host that last did not answer in time ("ALSA device \"pulse\", PulseAudio
// server ..."), for the text of DeviceError::NoAnswer; empty while all answered.
std::string UnansweredHost();
void SetUnansweredHost(const std::string& host);

// The text for a device call's answer (empty for None).
std::string WaveErrorText(DeviceError code, Direction direction);

// When a stream's first frame was played (output) or captured (input), in
// seconds on a clock that all streams of one backend share; clock names that
// clock, so that only times on the same one are compared. Hosts that do not
// tell leave known false.
struct StreamStartTime {
  bool known = false;
  double seconds = 0;
  const void* clock = nullptr;
};

// What the host reported about a stream's data while it ran: lost or
// inserted frames (PortAudio's callback status flags).
struct StreamFlags {
  bool reported = false;   // the host reports such things at all
  bool overflow = false;   // input: captured data dropped; output: data for playback discarded
  bool underflow = false;  // input: silence given for missing data; output: a gap inserted
};

class SoundStream {
 public:
  virtual ~SoundStream() = default;  // closes; the buffer is no longer touched
  // Hands over the one buffer. Playback starts at once; capture waits for Start.
  virtual DeviceError Queue(StereoSample* buffer, uint32_t frames) = 0;
  // Starts capture (input only).
  virtual DeviceError Start() = 0;
  // Frames played or captured since the start.
  virtual DeviceError Position(int64_t& frames) = 0;
  // True once the whole buffer has been played or filled, or after Reset.
  virtual bool Done() = 0;
  // What the host reported since the buffer was queued.
  virtual StreamFlags Flags() { return {}; }
  // Stops at once and marks the buffer done.
  virtual DeviceError Reset() = 0;
  // Stops capture (input) with the buffer as far as it got.
  virtual DeviceError Stop() = 0;
  // Forgets the buffer; fails with DeviceError::StillPlaying while it is in use.
  virtual DeviceError Unprepare() = 0;
  virtual DeviceError Close() = 0;
  // The time of the buffer's first frame, once the host has told it.
  virtual StreamStartTime FirstFrameTime() { return {}; }
};

class SoundBackend {
 public:
  virtual ~SoundBackend() = default;
  virtual int DeviceCount(Direction direction) = 0;
  virtual std::string DeviceName(Direction direction, int index) = 0;
  // The backend's default device of a direction, or -1 when it has none.
  virtual int DefaultDevice(Direction direction) = 0;
  virtual DeviceError Open(Direction direction, int index, int sampleRate, std::unique_ptr<SoundStream>& stream) = 0;
  // True when listing or opening may wait for a sound server.
  virtual bool NeedsServer() const { return false; }
};

// The process-wide list of devices: each backend's devices in turn, so a
// device id is the position in that concatenation. By default PortAudio's
// devices come first and the loopback simulator's after them.
class SoundHost {
 public:
  static SoundHost& Instance();

  // Replaces the backends and the clock they run on (tests; streams already
  // open stay valid). An empty clock is real time.
  void SetBackends(std::vector<std::unique_ptr<SoundBackend>> backends, NanoClock clock = {});
  // The time the devices run on, for whoever watches them.
  int64_t Now() const { return m_Clock ? m_Clock() : SteadyNanoClock()(); }

  int DeviceCount(Direction direction);
  // Display name of a device id; empty when out of range.
  std::string DeviceName(Direction direction, int id);
  // Opens device id (-1: the default device) at a rate.
  DeviceError Open(Direction direction, int id, int sampleRate, std::unique_ptr<SoundStream>& stream);

  // When every name given names (exactly, or as DeviceNamesMatch allows) a
  // device of a backend that needs no sound server, the backends that do are
  // left out of this process's list, so that nothing waits for a server;
  // true then. Numbers and other names keep the whole list (false).
  bool KeepServerlessFor(const std::vector<std::string>& names);

 private:
  SoundHost() = default;
  void EnsureBackends();
  bool m_Initialised = false;
  std::vector<std::unique_ptr<SoundBackend>> m_Backends;
  NanoClock m_Clock;
};

}  // namespace WaveMMIO
