#pragma once
// What a sweep run's impulse response shows: the magnitude (gain in dB re
// the played signal) and excess phase (the run's delay removed), group
// delay, the energy-time curve, and harmonic distortion H2..H5 with THD
// against the noise floor of the same run. Pure functions of an
// ImpulseResponse; every curve is read at the frequencies the caller asks.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "measurement/ImpulseResponse.h"

namespace measurement {

enum class Smoothing { None, Octave48, Octave24, Octave12, Octave6, Octave3 };

// The band a smoothed point averages over, in octaves (1/48 .. 1/3; 0 for None).
double OctaveFraction(Smoothing smoothing);
// "none", "1/48", "1/24", "1/12", "1/6", "1/3"; and back (nullopt for anything else).
std::string_view SmoothingName(Smoothing smoothing);
std::optional<Smoothing> ParseSmoothing(std::string_view name);

// How much of the response after its arrival a frequency sees:
// frequency-dependent (cycles > 0), cycles / f seconds within [minSeconds,
// maxSeconds], so that each frequency sees the same number of its periods
// and high frequencies far less of the run's noise; fixed (cycles 0), the
// same maxSeconds at every frequency.
struct ResponseWindow {
  double maxSeconds = 0.5;
  double minSeconds = 0.005;
  double cycles = 50;
};

struct ResponseOptions {
  Smoothing smoothing = Smoothing::None;
  ResponseWindow window;
};

struct ResponsePoint {
  double hz = 0;
  double gainDb = 0;        // 20 log10 |H|; -200 where |H| is 0
  double phaseDeg = 0;      // excess phase, (-180, 180]
  double groupDelayMs = 0;  // of the excess phase
};

// Frequencies from lo to hi (both included when they fall on the grid)
// perOctave to an octave, on the grid 1000 * 2^(k / perOctave).
std::vector<double> LogFrequencies(double lo, double hi, int perOctave);

// The linear response at each frequency of hz (0 < f < rate / 2).
std::vector<ResponsePoint> FrequencyResponse(const ImpulseResponse& ir, std::span<const double> hz,
                                             const ResponseOptions& options = {});

// The response's peak over the RMS of its noise, in dB; 0 when there is no
// response or no noise.
double PeakToNoiseDb(const ImpulseResponse& ir);

// The energy-time curve from `from` to `to` frames about the origin, dB re its peak.
std::vector<float> EnergyTime(const ImpulseResponse& ir, int64_t from, int64_t to);

// Where harmonic n's response is read: [begin, end) frames from the origin,
// half-way to its neighbours' and at most kHarmonicReach either side.
struct FrameSpan {
  int64_t begin = 0;
  int64_t end = 0;
};
inline constexpr double kHarmonicReachSeconds = 0.1;
FrameSpan HarmonicSpan(const ImpulseResponse& ir, int n);

// The harmonics a distortion point reports.
inline constexpr int kFirstReportedHarmonic = 2;
inline constexpr int kLastReportedHarmonic = 5;

struct DistortionPoint {
  double hz = 0;  // the fundamental
  // H2..H5 in dB re the fundamental; nullopt where n * hz is beyond the sweep.
  std::array<std::optional<double>, kLastReportedHarmonic - kFirstReportedHarmonic + 1> harmonicDb;
  // 100 * sqrt(sum of H2..H9 power) / fundamental, over the harmonics inside
  // the sweep that stand above the level the run's noise alone reaches in
  // their own band; 0 when none does.
  double thdPercent = 0;
  // The level, in dB re the fundamental, that the run's noise alone reaches
  // (one time in a million) in the highest reported harmonic's band at this
  // point: a harmonic above it is the path's, one below it may be noise.
  double noiseFloorDb = 0;
};

// Distortion with the fundamental at each frequency of hz, up to the
// sweep's end / 2. The smoothing averages each harmonic's power over its
// band (none: single bins, between them by interpolation).
std::vector<DistortionPoint> Distortion(const ImpulseResponse& ir, std::span<const double> hz,
                                        Smoothing smoothing = Smoothing::Octave12);

}  // namespace measurement
