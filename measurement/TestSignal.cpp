#include "measurement/TestSignal.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>

#include "support/Decibels.h"

namespace measurement {

namespace {

// 2 pi as the sweep's phase step uses it.
constexpr double kTwoPi = 6.28318530717958;
// The frequency is recomputed from the formula this often and carried by a
// wide-precision ratio in between, so that a sweep costs little more than
// its sines.
constexpr int32_t kExactEvery = 4096;

int16_t Nearest16(double v) { return static_cast<int16_t>(std::nearbyint(v)); }

// Below this many samples a signal is computed on the calling thread alone.
constexpr size_t kSplitFrom = 1 << 16;

// Runs part(0, begin, end) and part(1, begin, end) over the two halves of
// [0, n), the second half on a helper thread. Each sample's value does not
// depend on which thread computes it.
template <typename Part>
void InTwoHalves(size_t n, Part part) {
  if (n < kSplitFrom || std::thread::hardware_concurrency() < 2) {
    part(0, size_t{0}, n);
    return;
  }
  const size_t mid = n / 2;
  std::thread helper([&] { part(1, mid, n); });
  part(0, size_t{0}, mid);
  helper.join();
}

}  // namespace

double SignalAmplitude(int32_t levelTenthsDb) { return basic::DbToLin(levelTenthsDb / 10.0) * 32767.0; }

void FillSweepFrequencies(std::span<float> freq, int32_t rate) {
  const auto n = static_cast<int64_t>(freq.size());
  if (n == 0 || rate <= 0) return;
  const double nyquist = rate / 2.0;
  const double k = basic::LinToDb(kSweepStartHz / nyquist) / static_cast<double>(n);
  const long double ratio = std::pow(10.0L, -static_cast<long double>(k) / 20.0L);
  for (int64_t start = 0; start < n; start += kExactEvery) {
    long double f = basic::DbToLin(static_cast<double>(n - start) * k) * nyquist;
    const int64_t end = std::min(n, start + kExactEvery);
    freq[static_cast<size_t>(start)] = static_cast<float>(static_cast<double>(f));
    for (int64_t i = start + 1; i < end; ++i) {
      f *= ratio;
      freq[static_cast<size_t>(i)] = static_cast<float>(static_cast<double>(f));
    }
  }
}

void GenerateSweep(std::span<StereoSample> play, int32_t rate, double amplitude, SweepTable& table,
                   std::vector<int16_t>& level) {
  const auto n = static_cast<int32_t>(play.size());
  table.freq.assign(static_cast<size_t>(n), 0.0f);
  FillSweepFrequencies(table.freq, rate);
  table.keyRate = rate;
  table.keyCount = n;
  level.assign(static_cast<size_t>(n), 0);
  const double step = kTwoPi / rate;
  const float* freq = table.freq.data();
  InTwoHalves(play.size(), [&](int, size_t begin, size_t end) {
    // The phase is accumulated from sample 0 in the same order whichever
    // half is computed, so both halves see exactly the phases of one pass.
    double phase = 0;
    for (size_t i = 0; i < begin; ++i) phase += freq[i] * step;
    for (size_t i = begin; i < end; ++i) {
      phase += freq[i] * step;
      const int16_t s = Nearest16(std::sin(phase) * amplitude);
      play[i] = {s, s};
    }
  });
}

void GenerateNoise(std::span<StereoSample> play, double amplitude, uint64_t seed) {
  InTwoHalves(play.size(), [&](int part, size_t begin, size_t end) {
    // One generator per half, seeded once; every sample draws its own r.
    std::mt19937_64 rng(seed + 0x9E3779B97F4A7C15ULL * static_cast<uint64_t>(part));
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    for (size_t i = begin; i < end; ++i) {
      const double r = uniform(rng);
      const int16_t s = Nearest16(std::sin(r * static_cast<double>(i)) * amplitude);
      play[i] = {s, s};
    }
  });
}

uint64_t ClockSeed() {
  static std::atomic<uint64_t> calls{0};
  const auto now = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                   static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  // Two runs within one clock tick still differ.
  return now ^ (0x9E3779B97F4A7C15ULL * ++calls);
}

}  // namespace measurement
