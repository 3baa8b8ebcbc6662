#pragma once
// The loopback simulator: one output and one input device joined by a
// simulated cable, so that a measurement can run on any machine.
//
// What is played on the output reaches the input through a fixed path:
// a delay (10 ms unless set otherwise), a 2nd-order Butterworth high-pass at 100 Hz, a 2nd-order
// Butterworth low-pass at 10 kHz (only when the rate's Nyquist frequency is
// above 12 kHz), a gain of -6 dB, and independent white noise of -80 dBFS RMS
// on each channel. Time comes from a clock, real time by default; tests hand
// in a clock they step. Samples are computed on demand, whenever a stream is
// asked for its position or done flag, on the caller's thread.
//
// Each stream tells the exact time of its first frame (FirstFrameTime), so a
// run can read the path's delay from the start of playback. For tests the
// cable can also misbehave: the input's clock may run fast or slow (the
// capture is the played signal resampled), the input may lose frames, and
// the delay may grow part-way.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "audio/Biquad.h"
#include "audio/SoundDevice.h"

namespace WaveMMIO {

struct LoopbackPath {
  static constexpr int64_t kDelayNs = 10'000'000;  // the default delay
  static constexpr int32_t kMaxDelayMs = 1000;
  static constexpr double kHighPassHz = 100.0;
  static constexpr double kLowPassHz = 10'000.0;
  static constexpr double kLowPassMinNyquistHz = 12'000.0;
  static constexpr double kGainDb = -6.0;
  static constexpr double kNoiseDbfs = -80.0;
  static constexpr int kMinRate = 8000;
  static constexpr int kMaxRate = 192000;
};

// The "LoopbackDelayMs" setting (default 10), clamped to 0 .. kMaxDelayMs.
int32_t LoopbackDelaySetting();

class LoopbackWire;

class LoopbackBackend : public SoundBackend {
 public:
  static constexpr const char* kDeviceName = "Loopback simulator";

  explicit LoopbackBackend(NanoClock clock, uint64_t noiseSeed = 0x5A4152494EULL);
  ~LoopbackBackend() override;

  int DeviceCount(Direction direction) override;
  std::string DeviceName(Direction direction, int index) override;
  int DefaultDevice(Direction direction) override;
  DeviceError Open(Direction direction, int index, int sampleRate, std::unique_ptr<SoundStream>& stream) override;

  // The cable's delay, clamped to 0 .. kMaxDelayMs; applies from the next playback.
  void SetDelayMs(int32_t ms);
  int32_t DelayMs() const;
  // Where the capture's frame 0 lies against the moment capture starts: a
  // negative offset makes capture begin that much earlier, as devices whose
  // capture runs ahead of the start call do (tests).
  void SetCaptureStartOffsetNs(int64_t ns);
  // The input's clock runs this many parts per million faster (> 0) or
  // slower than the output's; applies from the next capture.
  void SetInputDriftPpm(double ppm);
  // At atSeconds of capture time (from the capture's first frame) the input
  // loses ms milliseconds of frames: what would have come next is skipped.
  void AddCaptureDropout(double atSeconds, double ms);
  // From atSeconds of capture time on, the cable's delay is ms longer.
  void AddLatencyStep(double atSeconds, double ms);
  // Forgets the drift, dropouts and latency steps.
  void ClearFaults();
  // Tests: the cable's filters, run in order on each channel in place of
  // the high-pass and low-pass (an empty list leaves only the gain and the
  // noise); applies from the next capture.
  void SetPathFilters(std::vector<Biquad> sections);
  // Tests: a memoryless nonlinearity at the cable's start, on the played
  // sample as a fraction of full scale: y = x + a2 x^2 + a3 x^3.
  void SetNonlinearity(double a2, double a3);
  // The cable's gain (kGainDb unless set) and its noise in dBFS RMS
  // (kNoiseDbfs unless set); apply from the next computed frame (tests).
  void SetGainDb(double db);
  void SetNoiseDbfs(double dbfs);

  // Simulates the device being unplugged: open streams let go of their
  // buffers and answer DeviceError::NoDriver from then on; new opens fail.
  void Unplug();

 private:
  std::shared_ptr<LoopbackWire> m_Wire;
};

}  // namespace WaveMMIO
