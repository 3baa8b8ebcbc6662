#include <cstdio>

#include "audio/SoundDevice.h"
#include "cli/Commands.h"

namespace cli {

int DevicesCommand() {
  auto& host = WaveMMIO::SoundHost::Instance();
  for (const auto& [direction, label] : {std::pair{WaveMMIO::Direction::Output, "output"},
                                         std::pair{WaveMMIO::Direction::Input, "input"}}) {
    for (int id = 0; id < host.DeviceCount(direction); ++id)
      std::printf("%s\t%s\n", label, host.DeviceName(direction, id).c_str());
  }
  std::fflush(stdout);
  return 0;
}

}  // namespace cli
