#pragma once
// What makes a file a result file, checked on its bytes before anything of
// it is used, and the careful read that gets those bytes.
//  - NN.fft: 4104 bytes, little-endian: a rate a run can use, the count
//    1024, then 1024 float levels, each finite, not negative and no larger
//    than a full-scale capture gives (2048 x 32768 / 25.5, and a millionth
//    for the transform's rounding).
//  - NN.dat: RIFF/WAVE, a PCM format chunk (tag 1) for one channel of 16-bit
//    samples at a rate a run can use, and a data chunk that lies wholly
//    inside the file and holds at most 30 s of samples.
// A file larger than the longest run makes is refused before it is read;
// anything but a regular file is refused without being opened for reading.
#include <QString>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace measurement {

inline constexpr int32_t kResultMinRate = 8000;
inline constexpr int32_t kResultMaxRate = 192000;
inline constexpr int32_t kResultMaxSeconds = 30;
inline constexpr int32_t kFftFileCount = 1024;
inline constexpr int64_t kFftFileBytes = 8 + 4 * int64_t{kFftFileCount};
inline constexpr int64_t kDatHeaderBytes = 44;
// The longest run's envelope: 30 s at 192 kHz, 16-bit mono, with its header.
inline constexpr int64_t kMaxResultFileBytes = kDatHeaderBytes + int64_t{kResultMaxSeconds} * kResultMaxRate * 2;
// The largest level a noise run can store: every sample of a frame at full scale.
inline constexpr double kMaxNoiseLevel = 2048.0 * 32768.0 / 25.5;

// A result's contents as its file holds them.
struct ResultContents {
  int32_t rate = 0;
  bool noise = false;
  std::vector<float> spectrum;    // noise: kFftFileCount levels
  std::vector<int16_t> envelope;  // sweep: one value per sample
};

std::optional<ResultContents> ParseFftBytes(std::span<const uint8_t> bytes);
std::optional<ResultContents> ParseDatBytes(std::span<const uint8_t> bytes);

enum class ReadOutcome { Read, Missing, NotRegular, TooLarge, Unreadable };

// Reads a whole result file, at most kMaxResultFileBytes.
ReadOutcome ReadResultBytes(const QString& path, std::vector<uint8_t>& bytes);
// Reads a whole regular file of at most maxBytes; anything else (a FIFO, a
// device, a folder, a larger file) is refused before a byte is read.
ReadOutcome ReadRegularFile(const QString& path, int64_t maxBytes, std::vector<uint8_t>& bytes);

}  // namespace measurement
