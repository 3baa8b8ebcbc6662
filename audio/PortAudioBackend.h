#pragma once
// Real sound devices through PortAudio: the devices of the default host API,
// the output list being those with output channels and the input list those
// with input channels, in PortAudio's order.
#include <memory>
#include <string>
#include <vector>

#include "audio/SoundDevice.h"

namespace WaveMMIO {

class PortAudioLibrary;

class PortAudioBackend : public SoundBackend {
 public:
  PortAudioBackend();
  ~PortAudioBackend() override;

  // False when PortAudio could not start or its server did not answer
  // (then there are no devices). PortAudio starts on the first call that
  // needs it, not with the backend.
  bool Available();

  int DeviceCount(Direction direction) override;
  std::string DeviceName(Direction direction, int index) override;
  int DefaultDevice(Direction direction) override;
  DeviceError Open(Direction direction, int index, int sampleRate, std::unique_ptr<SoundStream>& stream) override;
  bool NeedsServer() const override { return true; }

 private:
  // Starts PortAudio and lists its devices, once; false when it cannot.
  bool EnsureListed();

  std::shared_ptr<PortAudioLibrary> m_Library;
  bool m_Listed = false;
  std::vector<int> m_Devices[2];  // PortAudio device indexes per direction
  std::vector<std::string> m_Names[2];
};

// PortAudio's text for one of its error codes.
std::string PortAudioErrorText(int code);

// ", PulseAudio server <where>" for the server the ALSA plug-in reaches,
// when the environment names one; else empty.
std::string SoundServerNote();

}  // namespace WaveMMIO
