#pragma once
// A sweep played through the loopback simulator on a stepped clock, with the
// capture running on past the playback as a run's does, for the timing tests.
#include <cmath>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "audio/Biquad.h"
#include "audio/LoopbackSim.h"
#include "audio/WaveDevice.h"
#include "measurement/Analysis.h"
#include "measurement/TestSignal.h"
#include "measurement/Timing.h"

namespace cable_run {

using WaveMMIO::StereoSample;

struct Cable {
  int32_t delayMs = 10;
  int32_t gapMs = 0;  // capture start minus playback start
  double driftPpm = 0;
  std::vector<std::pair<double, double>> dropouts;  // capture seconds, ms
  std::vector<std::pair<double, double>> steps;     // capture seconds, ms
};

struct Run {
  int32_t rate = 0;
  std::vector<StereoSample> play, rec;
  measurement::SweepTable table;
  std::vector<int16_t> level;
  std::optional<double> captureStart;  // frames, as the streams told them
  double amplitude = 0;
};

inline Run Through(int32_t rate, int32_t seconds, const Cable& cable) {
  Run r;
  r.rate = rate;
  const int64_t n = int64_t{rate} * seconds;
  r.play.resize(static_cast<size_t>(n));
  r.amplitude = measurement::SignalAmplitude(-30);
  measurement::GenerateSweep(r.play, rate, r.amplitude, r.table, r.level);
  r.rec.resize(static_cast<size_t>(n + measurement::CaptureTailFrames(rate, n)));
  int64_t now = 5'000'000'000;
  WaveMMIO::LoopbackBackend sim([&now] { return now; });
  sim.SetDelayMs(cable.delayMs);
  sim.SetCaptureStartOffsetNs(int64_t{cable.gapMs} * 1'000'000);
  sim.SetInputDriftPpm(cable.driftPpm);
  for (const auto& [at, ms] : cable.dropouts) sim.AddCaptureDropout(at, ms);
  for (const auto& [at, ms] : cable.steps) sim.AddLatencyStep(at, ms);
  std::unique_ptr<WaveMMIO::SoundStream> out, in;
  constexpr auto kOpened = WaveMMIO::DeviceError::None;
  if (sim.Open(WaveMMIO::Direction::Input, 0, rate, in) != kOpened ||
      sim.Open(WaveMMIO::Direction::Output, 0, rate, out) != kOpened)
    return r;
  in->Queue(r.rec.data(), static_cast<uint32_t>(r.rec.size()));
  out->Queue(r.play.data(), static_cast<uint32_t>(n));
  in->Start();
  for (int i = 0; i < 10000 && !in->Done(); ++i) now += 50'000'000;
  r.captureStart = WaveMMIO::CaptureStartFrames(in->FirstFrameTime(), out->FirstFrameTime(), rate);
  in->Close();
  out->Close();
  return r;
}

// The cable's gain at f (its two Butterworth sections, the low-pass only
// where the simulator uses it, and -6 dB).
inline double CableGain(int32_t rate, double f) {
  const double q = 1 / std::sqrt(2.0);
  const double low = rate / 2 > WaveMMIO::LoopbackPath::kLowPassMinNyquistHz
                         ? WaveMMIO::Biquad::LowPass(rate, WaveMMIO::LoopbackPath::kLowPassHz, q).MagnitudeAt(rate, f)
                         : 1.0;
  return 0.5 * WaveMMIO::Biquad::HighPass(rate, WaveMMIO::LoopbackPath::kHighPassHz, q).MagnitudeAt(rate, f) * low;
}

// What the envelope entry at sweep sample i reads on a perfectly aligned
// capture: the RMS, over its window of four periods centred on i, of the
// sweep through the cable's gain.
inline double WindowTruth(const Run& r, int64_t i) {
  const double f = r.table.freq[static_cast<size_t>(i)];
  const auto span = static_cast<int64_t>(std::nearbyint(r.rate / f * 4.0));
  double sum = 0;
  int64_t count = 0;
  for (int64_t b = std::max<int64_t>(0, i - span / 2);
       b <= i + span / 2 && b < static_cast<int64_t>(r.table.freq.size()); ++b) {
    const double g = CableGain(r.rate, r.table.freq[static_cast<size_t>(b)]);
    sum += g * g;
    ++count;
  }
  return std::sqrt(sum / std::max<int64_t>(1, count)) * r.amplitude / std::sqrt(2.0);
}

inline int64_t SampleAt(const Run& r, double f) {
  const auto it = std::lower_bound(r.table.freq.begin(), r.table.freq.end(), static_cast<float>(f));
  return it - r.table.freq.begin();
}

}  // namespace cable_run
