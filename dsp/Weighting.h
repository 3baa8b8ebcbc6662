#pragma once
// The frequency weightings of sound level meters (IEC 61672-1): A, C and Z,
// from the standard's analytic form with its four pole frequencies,
// normalised to 0 dB at 1 kHz; and the weighted level of a block of samples.
#include <cstdint>
#include <span>

namespace dsp {

enum class Weighting { A, C, Z };

// The pole frequencies of the analytic form (Hz).
inline constexpr double kWeightingF1 = 20.598997;
inline constexpr double kWeightingF2 = 107.65265;
inline constexpr double kWeightingF3 = 737.86223;
inline constexpr double kWeightingF4 = 12194.217;

// The weighting's gain in dB at frequency (Hz); 0 for Z. At or below 0 Hz
// the A and C weightings pass nothing: -infinity.
double WeightingDb(Weighting weighting, double frequency);

// The same as a linear amplitude factor (0 at 0 Hz for A and C).
double WeightingGain(Weighting weighting, double frequency);

// The weighted RMS level of samples (full scale = 1.0) in dBFS, a
// full-scale sine reading 0 dBFS: the block is Hann-windowed, transformed,
// each bin weighted, and the power summed (Parseval). -infinity for silence
// or an empty block; sampleRate must be positive. The weighting is taken
// over the window's main lobe (4 / duration Hz wide): a 1 s block reads a
// 63 Hz tone within 0.01 dB of the curve, a 0.3 s block within 0.02 dB.
double WeightedLevelDbfs(std::span<const float> samples, int32_t sampleRate, Weighting weighting);

}  // namespace dsp
