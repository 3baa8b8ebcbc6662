#pragma once
// The sound devices as the program names them: the sample-rate list, device
// lookup by (leniently matched) name and the texts of failed device calls;
// and the WAV files. (The window's device and rate combo boxes are filled by
// widgets/DeviceCombos.h.)
#include <QString>
#include <array>
#include <cstdint>

#include "audio/SoundDevice.h"
#include "audio/StereoSample.h"

namespace WaveMMIO {

// Sample rates offered, in the order they are listed.
inline constexpr std::array<int32_t, 12> kSampleRates = {192000, 96000, 88200, 48000, 44100, 32000,
                                                         24000,  22050, 16000, 12000, 11025, 8000};

// Longest error text handed on (the text buffer holds 200 characters with its terminator).
inline constexpr int kErrorTextChars = 199;

// The id a whole number gets when no device has it: opening it fails (it is
// never the default device, as -1 is).
inline constexpr int32_t kNoSuchDeviceId = -2;

// The device id for a name: 0 for an empty name; for a whole number, that
// id when such a device exists (else kNoSuchDeviceId); else the first exact
// then lenient match; -1 (and a log line, and with showMessage a message box)
// when nothing matches.
int32_t FindAudioDevice(Direction direction, const QString& name, bool showMessage);

// True when the two names name the same device, allowing for a numbering
// prefix such as "2- " that the system adds or drops.
bool DeviceNamesMatch(const QString& a, const QString& b);

// True when code reports an error; the error text is then logged (logOnly) or
// shown in a message box.
bool CheckWaveResult(DeviceError code, Direction direction, bool logOnly);

// ---- RIFF/WAVE files, through the file-handle layer. Each operation works
// on handle when it is not 0, else opens path itself and closes it again. ----

// What ReadWavInfo finds in a file.
struct WavInfo {
  int32_t valid = 0;   // 1: "fmt " and "data" found and the format is one of the ten codes
  int32_t frames = 0;  // data size / block align, at most 2147483647
  int32_t rate = 0;
  int16_t bits = 0;
  int16_t channels = 0;
  int32_t blockAlign = 0;  // bits * channels / 8
  int32_t dataOffset = 0;  // first data byte
  int64_t dataSize = 0;
  int64_t fileSize = 0;
  int32_t formatCode = -1;
  int32_t durationMs = 0;
  int32_t formatTag = 0;
};

// The format code (0 .. 9) of a channel and bit count, or -1 when unsupported.
int32_t WavFormatCode(int32_t channels, int32_t bits);
// "Mono16bit" and the other names of the ten codes; empty for others.
QString WavFormatName(int32_t code);

// Writes the header (extensible for 6 or 8 channels) at the end of the file.
int WriteWavHeader(const QString& path, int64_t handle, int32_t rate, int32_t bits, int32_t channels, int32_t dataSize);
// Sets the RIFF size (and unless riffOnly the data size, less trailing bytes) from the file length.
int FinishWav(const QString& path, int64_t handle, int32_t trailing, bool riffOnly);
// Offset of the occurrence-th chunk with that identifier ("data" etc.), or -1.
int64_t FindChunk(const QString& path, int64_t handle, const char identifier[4], int32_t occurrence);
WavInfo ReadWavInfo(const QString& path, int64_t handle);

}  // namespace WaveMMIO
