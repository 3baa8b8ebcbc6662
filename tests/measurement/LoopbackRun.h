#pragma once
// A measurement run on the loopback simulator, the sound host's only
// backend, on a clock the test steps: the run's waits move the clock on,
// and RunToEnd() ticks it 5 ms at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "audio/LoopbackSim.h"
#include "audio/SoundDevice.h"
#include "measurement/MeasurementRun.h"

namespace measurement::testing {

constexpr int64_t kMs = 1'000'000;  // on the test's clock (ns)

// Makes the simulator (or a backend built on it), reading the clock *now,
// the sound host's only backend; returns it.
template <class Backend = WaveMMIO::LoopbackBackend>
Backend* InstallSimulator(const std::shared_ptr<int64_t>& now) {
  auto backend = std::make_unique<Backend>([clock = now] { return *clock; });
  Backend* installed = backend.get();
  std::vector<std::unique_ptr<WaveMMIO::SoundBackend>> backends;
  backends.push_back(std::move(backend));
  WaveMMIO::SoundHost::Instance().SetBackends(std::move(backends), [clock = now] { return *clock; });
  return installed;
}

class LoopbackRunTest : public ::testing::Test {
 protected:
  // Installs the simulator and gives the run `cb`, whose Wait steps the clock.
  void SetUpRun(MeasurementRun::Callbacks cb) {
    cable = InstallSimulator(now);
    cb.Wait = [this](int32_t ms) { *now += std::max(ms, 0) * kMs; };
    run.SetCallbacks(std::move(cb));
  }
  static RunRequest Request(SignalMode mode, int32_t rate, int32_t seconds) {
    RunRequest r;
    r.deviceOut = WaveMMIO::LoopbackBackend::kDeviceName;
    r.deviceIn = WaveMMIO::LoopbackBackend::kDeviceName;
    r.mode = mode;
    r.sampleRate = rate;
    r.seconds = seconds;
    return r;
  }
  // Ticks every 5 ms until the run ends (or a limit).
  void RunToEnd(int maxTicks = 100000) {
    for (int i = 0; i < maxTicks && run.Running(); ++i) {
      *now += 5 * kMs;
      run.Tick();
    }
  }

  std::shared_ptr<int64_t> now = std::make_shared<int64_t>(1'000 * kMs);
  WaveMMIO::LoopbackBackend* cable = nullptr;
  MeasurementRun run;
};

}  // namespace measurement::testing
