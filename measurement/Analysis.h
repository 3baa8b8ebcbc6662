#pragma once
// The two ways a run becomes a frequency-response curve, on plain buffers:
//  - noise: each timer tick transforms 2048 captured samples and folds
//    |Re X(k)| / 25.5 of bins 0 .. 1024 into a running mean;
//  - sweep: after the run a sliding RMS whose window is four periods of the
//    sweep frequency turns the capture into an envelope, one value per sample.
// Only the left channel takes part.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "audio/StereoSample.h"

class C_FFT;

namespace measurement {

using WaveMMIO::StereoSample;

inline constexpr int kFftPoints = 2048;
inline constexpr int kSpectrumBins = 1025;        // bins 0 .. 1024 are computed
inline constexpr double kSpectrumDivisor = 25.5;  // |Re X(k)| / 25.5

// The running mean of noise magnitudes and how many frames it holds.
struct NoiseSpectrum {
  std::array<float, kFftPoints> values{};
  int32_t count = 0;
  void Clear() {
    values.fill(0.0f);
    count = 0;
  }
};

// Folds the 2048 frames of the capture that start at frame start into the
// mean. Only frames already captured are read: the frame is analysed when it
// lies wholly below capturedFrames (and inside capture); otherwise nothing
// changes and the result is false.
bool NoiseStep(C_FFT& fft, std::span<const StereoSample> capture, int32_t capturedFrames, int32_t start,
               NoiseSpectrum& spectrum);

// The instantaneous frequency of a logarithmic sweep from 10 Hz towards
// rate / 2, for each of count samples, with the (rate, count) it was made for.
struct SweepTable {
  std::vector<float> freq;  // m_SweepFreq
  int32_t keyRate = 0;      // SweepTableKey
  int32_t keyCount = 0;
};

// Frequency of sample i of a sweep of count samples at rate.
float SweepFrequency(int32_t rate, int32_t count, int32_t i);
// Fills the table unless it already holds (rate, count); true when it was filled.
bool MakeSweepFreqTable(SweepTable& table, int32_t rate, int32_t count);

// The sweep envelope: the RMS over L + 1 samples (L = four periods at the
// sweep frequency) written at the window's centre, clamped to 32767.
// Capture frame b + delay belongs to sweep sample b: the RMS runs over the
// capture aligned that way, the window follows the sweep sample's frequency,
// and entries the aligned capture does not reach (and those past the last
// centre) keep their value. Reads at most totalFrames frames of capture and
// of sweepFreq; writes at most level.size() entries.
void AnalyseSweep(std::span<const StereoSample> capture, int32_t totalFrames, int32_t rate,
                  std::span<const float> sweepFreq, std::span<int16_t> level, int32_t delay = 0);

struct RunTiming;

// The same envelope with sweep sample b read from the capture frame the
// run's timing gives it (drift and steps followed). Sweep samples the timing
// has no frame for (under a dropout, or outside the capture) break the
// window: their entries, and those of the window that starts again after
// them, are set to 0. Entries before the first centre keep their value.
void AnalyseSweep(std::span<const StereoSample> capture, int32_t rate, std::span<const float> sweepFreq,
                  std::span<int16_t> level, const RunTiming& timing);

}  // namespace measurement
