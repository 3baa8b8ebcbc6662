#pragma once
// The test signal, written into the whole playback buffer before a run:
// a logarithmic sine sweep from 10 Hz towards half the sample rate
// (SignalMode::Sweep), white noise (SignalMode::Noise), or silence (any other
// mode number). Both channels carry the same sample.
#include <cstdint>
#include <span>
#include <vector>

#include "audio/StereoSample.h"
#include "measurement/Analysis.h"
#include "measurement/Result.h"

namespace measurement {

// The sweep's frequency runs exponentially from kSweepStartHz at its first
// sample towards SweepEndHz(rate), which it would reach one sample after its
// last.
inline constexpr double kSweepStartHz = 10.0;
inline double SweepEndHz(int32_t rate) { return rate / 2.0; }

// Peak amplitude for a level in tenths of a dB: DbToLin(level / 10) * 32767.
double SignalAmplitude(int32_t levelTenthsDb);

// Fills freq with the sweep's instantaneous frequency for each of its
// freq.size() samples at rate: (R/2) * DbToLin((n - i) * LinToDb(10 / (R/2)) / n),
// as 32-bit floats, 10 Hz exactly at i = 0.
void FillSweepFrequencies(std::span<float> freq, int32_t rate);

// The sweep: fills table (keyed (rate, n)) and play, and sizes level to n zeros.
void GenerateSweep(std::span<StereoSample> play, int32_t rate, double amplitude, SweepTable& table,
                   std::vector<int16_t>& level);

// White noise: sample i is nearest(sin(r_i * i) * A) with an independent
// uniform r_i in [0, 1) for every sample, from generators seeded once per call.
void GenerateNoise(std::span<StereoSample> play, double amplitude, uint64_t seed);

// A seed from the clock, different for each call.
uint64_t ClockSeed();

}  // namespace measurement
