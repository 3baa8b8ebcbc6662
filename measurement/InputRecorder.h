#pragma once
// A stretch of the input recorded on its own, outside a run: the
// calibrator's tone for the sensitivity, and short blocks for the live
// level read-out. The device is opened, polled and closed as a run does
// it; the buffer it fills is the recorder's and is neither moved nor freed
// before the device is closed.
#include <QString>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "audio/StereoSample.h"
#include "audio/WaveDevice.h"
#include "dsp/Weighting.h"
#include "measurement/Calibrator.h"

namespace measurement {

class InputRecorder {
 public:
  enum class State { Idle, Recording, Done };

  InputRecorder() = default;
  ~InputRecorder();
  InputRecorder(const InputRecorder&) = delete;
  InputRecorder& operator=(const InputRecorder&) = delete;

  // Opens the input device called device (a name or a number, as a run
  // takes it) at rate and records seconds of it; false, with the device's
  // error in Error(), when it cannot be opened or started.
  bool Start(const QString& device, int32_t rate, double seconds);
  // Looks at the device: Recording until the buffer is full, then Done
  // (the device closed).
  State Poll();
  State Current() const { return m_State; }
  // Stops and closes; what was recorded is dropped.
  void Stop();

  int32_t Rate() const { return m_Rate; }
  // The frames recorded (the whole buffer once Done).
  std::span<const WaveMMIO::StereoSample> Recorded() const;
  const std::string& Error() const { return m_Error; }

 private:
  void Close();
  WaveMMIO::WaveDevice m_In{WaveMMIO::Direction::Input};
  std::vector<WaveMMIO::StereoSample> m_Buffer;
  int64_t m_Frames = 0;
  int32_t m_Rate = 0;
  State m_State = State::Idle;
  std::string m_Error;
};

// The seconds the calibrator is recorded for: the check's 3 s after half a
// second for the tone and the input to settle.
inline constexpr double kCalibratorRecordSeconds = kCalibratorSeconds + 0.5;
// The blocks of the live level read-out.
inline constexpr double kLevelBlockSeconds = 0.5;

// The left channel's weighted level (dBFS) of a recording.
double WeightedLevel(std::span<const WaveMMIO::StereoSample> recorded, int32_t rate, dsp::Weighting weighting);

}  // namespace measurement
