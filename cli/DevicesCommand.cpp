#include <QCommandLineParser>
#include <cstdio>

#include "audio/SoundDevice.h"
#include "cli/Commands.h"
#include "cli/Outputs.h"

namespace cli {

QList<QCommandLineOption> DevicesOptions() {
  return {{QStringLiteral("ids"),
           QStringLiteral("Also each device's id, which names it for `zarin measure` as its name does.")}};
}

int DevicesCommand(const QCommandLineParser& parser) {
  const bool ids = parser.isSet(QStringLiteral("ids"));
  auto& host = WaveMMIO::SoundHost::Instance();
  for (const auto& [direction, label] :
       {std::pair{WaveMMIO::Direction::Output, "output"}, std::pair{WaveMMIO::Direction::Input, "input"}}) {
    for (int id = 0; id < host.DeviceCount(direction); ++id) {
      if (ids) std::printf("%s\t%d\t%s\n", label, id, host.DeviceName(direction, id).c_str());
      else std::printf("%s\t%s\n", label, host.DeviceName(direction, id).c_str());
    }
  }
  std::fflush(stdout);
  if (!WaveMMIO::UnansweredHost().empty()) {
    Complain(
        QString::fromStdString(WaveMMIO::WaveErrorText(WaveMMIO::DeviceError::NoAnswer, WaveMMIO::Direction::Output)));
    return 1;
  }
  return 0;
}

}  // namespace cli
