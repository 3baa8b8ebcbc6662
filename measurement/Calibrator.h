#pragma once
// Sound pressure from a capture. A sensitivity is the level in dBFS (a
// full-scale sine reading 0 dBFS) that 94 dB SPL reads at the input; it
// comes from a microphone file's header, is typed in, or is measured from
// a calibrator: a steady 1 kHz tone of known SPL (94 or 114 dB) recorded for
// 3 s. Only the left channel of a capture takes part.
#include <cstdint>
#include <limits>
#include <span>

#include "audio/StereoSample.h"

namespace measurement {

inline constexpr double kCalibratorHz = 1000.0;
inline constexpr double kCalibratorTolerance = 0.05;  // of the frequency
inline constexpr double kCalibratorSeconds = 3.0;
inline constexpr double kCalibratorSteadyDb = 0.2;  // highest minus lowest 100 ms level
inline constexpr double kReferenceSplDb = 94.0;

enum class CalibratorVerdict {
  Accepted,
  TooShort,        // less than 3 s of capture
  Clipped,         // a sample at full scale
  NoTone,          // silence, or no single tone carrying nine tenths of the power
  WrongFrequency,  // the tone is not within 5 % of 1 kHz
  Unsteady         // its level moves by more than 0.2 dB
};

struct CalibratorCheck {
  CalibratorVerdict verdict = CalibratorVerdict::NoTone;
  double frequency = 0;                                         // Hz, of the strongest tone
  double levelDbfs = -std::numeric_limits<double>::infinity();  // the tone's level
  double spreadDb = 0;                                          // highest minus lowest level of the 100 ms stretches
  double sensitivityDbfs = 0;                                   // what 94 dB SPL reads: levelDbfs - (calibratorDb - 94)
};

// Checks the last 3 s of capture at rate as the recording of a calibrator
// that makes calibratorDb SPL.
CalibratorCheck CheckCalibrator(std::span<const WaveMMIO::StereoSample> capture, int32_t rate, double calibratorDb);

// The SPL a level in dBFS stands for at sensitivity.
inline double SplDb(double levelDbfs, double sensitivityDbfs) { return kReferenceSplDb + levelDbfs - sensitivityDbfs; }

}  // namespace measurement
