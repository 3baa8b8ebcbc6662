#pragma once
// Whole WAV files of sound, as a recording made elsewhere arrives and as a
// test signal leaves for another player: read into 16-bit frames (mono or
// stereo, 16-, 24- or 32-bit integer or 32-bit float samples), written as
// 16-bit stereo. Nothing read from a file is trusted: every size is checked
// against the file's own length.
#include <QString>
#include <cstdint>
#include <span>
#include <vector>

#include "audio/StereoSample.h"

namespace WaveMMIO {

struct PcmAudio {
  int32_t rate = 0;
  int32_t channels = 0;   // in the file
  int32_t bits = 0;       // in the file
  bool floating = false;  // 32-bit float samples
  // The sound as 16-bit frames: a mono file's one channel on both sides.
  // Integer samples are rounded to 16 bits, float samples scaled by 32767
  // and clamped to full scale.
  std::vector<StereoSample> frames;
};

// The most frames read from one file (30 minutes at 192 kHz).
inline constexpr int64_t kMaxPcmFrames = int64_t{192000} * 60 * 30;

// Reads a whole file; false with a sentence in error (naming no path) when
// it is not a WAV file of a kind described above, or cannot be read.
bool ReadPcmWav(const QString& path, PcmAudio& audio, QString& error);

// Writes 16-bit stereo PCM at rate, replacing a file there only once the new
// one is complete; false when it could not be written.
bool WriteStereo16Wav(const QString& path, int32_t rate, std::span<const StereoSample> frames);

}  // namespace WaveMMIO
