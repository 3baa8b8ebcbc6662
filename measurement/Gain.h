#pragma once
// What a result says about the measured path, in dB relative to the played
// signal: 0 dB is a path that passes the signal unchanged. This is the one
// scale every export uses; the window's grid and 0 dB marker (an offset for
// the eye), the level slider's present position and the screen do not
// enter it.
//
// The played signal has the peak amplitude A = SignalAmplitude(level), a
// full-scale sine being 0 dB:
//  - a sweep is a sine of amplitude A; through a path of gain g its
//    envelope (a sliding RMS over whole periods) is g A / sqrt 2;
//  - the noise's samples are sin(r i) A with r uniform, an RMS of A / sqrt 2
//    and independent from sample to sample. The real part of each bin of a
//    2048-point transform of such noise through the path is Gaussian with an
//    RMS of g (A / sqrt 2) sqrt(2048 / 2), so its mean magnitude is
//    g (A / sqrt 2) sqrt(2048 / pi); the spectrum holds that divided by 25.5.
#include <cstdint>
#include <span>
#include <vector>

namespace measurement {

struct GainPoint {
  double frequency;  // Hz
  double gainDb;     // of the path, re the played signal
};

// The gain a sweep envelope value (0 .. 32767) stands for, the sweep played
// at playedLevelDb; -110 dB less the level's for nothing measured.
double SweepGainDb(double envelope, double playedLevelDb);
// The gain a noise spectrum value (the mean of |Re X(k)| / 25.5) stands for.
double NoiseGainDb(double spectrumValue, double playedLevelDb);

// Noise: bins 1 .. 1023 of the spectrum at k * rate / 2048.
std::vector<GainPoint> NoiseGainCurve(std::span<const float> spectrum, int32_t sampleRate, double playedLevelDb);

// Sweep: every 1/24 octave from the sweep's first frequency up to its last,
// each the mean of the envelope over +-1/48 octave; points with no envelope
// there (nothing measured) are left out. Reads at most count entries of
// level and freq.
std::vector<GainPoint> SweepGainCurve(std::span<const int16_t> level, std::span<const float> freq, int64_t count,
                                      double playedLevelDb);

}  // namespace measurement
