#pragma once
// A sweep played through the loopback simulator off line: the test steps the
// simulator's clock, so the capture is computed as fast as the machine goes
// and playback and capture start at the same instant (the capture then hears
// the played sweep exactly the cable's delay late).
#include <functional>
#include <memory>
#include <vector>

#include "audio/LoopbackSim.h"
#include "measurement/ImpulseResponse.h"
#include "measurement/TestSignal.h"

namespace measurement::testing {

struct SimulatedSweep {
  int32_t rate = 0;
  std::vector<StereoSample> play, capture;
  int64_t delayFrames = 0;  // the cable's delay, exactly

  ImpulseResponse Response() const {
    return Deconvolve(play, capture, rate, SweepShapeFor(rate, static_cast<int64_t>(play.size())),
                      {static_cast<double>(delayFrames), 0});
  }
};

// Plays a sweep of `seconds` at levelTenthsDb through a simulator that
// `setup` adjusts first (filters, nonlinearity).
inline SimulatedSweep SimulateSweep(int32_t rate, double seconds, int32_t levelTenthsDb,
                                    const std::function<void(WaveMMIO::LoopbackBackend&)>& setup = {}) {
  SimulatedSweep run;
  run.rate = rate;
  auto now = std::make_shared<int64_t>(0);
  WaveMMIO::LoopbackBackend backend([now] { return *now; }, 12345);
  if (setup) setup(backend);
  const auto frames = static_cast<size_t>(seconds * rate);
  run.play.resize(frames);
  run.capture.resize(frames);
  SweepTable table;
  std::vector<int16_t> level;
  GenerateSweep(run.play, rate, SignalAmplitude(levelTenthsDb), table, level);
  run.delayFrames = int64_t{backend.DelayMs()} * rate / 1000;
  {
    std::unique_ptr<WaveMMIO::SoundStream> in, out;
    if (backend.Open(WaveMMIO::Direction::Input, 0, rate, in) != WaveMMIO::DeviceError::None ||
        backend.Open(WaveMMIO::Direction::Output, 0, rate, out) != WaveMMIO::DeviceError::None)
      return {};
    in->Queue(run.capture.data(), static_cast<uint32_t>(frames));
    out->Queue(run.play.data(), static_cast<uint32_t>(frames));
    in->Start();
    while (!in->Done()) *now += 50'000'000;
    in->Close();
    out->Close();
  }
  return run;
}

}  // namespace measurement::testing
