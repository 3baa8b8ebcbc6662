// The commands in the order help lists them.
#include <QStringList>

#include "cli/Command.h"
#include "cli/Commands.h"
#include "cli/Outputs.h"

namespace cli {

const QList<Command>& Commands() {
  static const QList<Command> commands = {
      {QStringLiteral("devices"), QString(), QStringLiteral("list the output and input devices"),
       QStringLiteral("Lists the output devices, then the input devices, one a line: \"output\" or\n"
                      "\"input\", a tab and the device's name (with --ids, its id between them).\n"
                      "Either a name or an id names the device for `zarin measure`."),
       0, DevicesOptions, DevicesCommand},
      {QStringLiteral("measure"), QString(), QStringLiteral("one run, stored as a result file (.dat or .fft)"),
       QStringLiteral("Plays a sweep or white noise on an output while it records an input, and stores\n"
                      "the run as a result file in the data folder (or --folder): NN.dat for a sweep,\n"
                      "NN.fft for noise, with the next free number NN. Prints the file's path and,\n"
                      "for a sweep, the path delay found, then the run's quality (ok, warning or\n"
                      "bad) and the reasons for it. Options left out take the values the window\n"
                      "last used. The CSV (frequency_hz,gain_db) and the picture give the\n"
                      "path's gain in dB re the played signal: 0 dB passes it unchanged, whatever\n"
                      "the window's 0 dB marker or level; --mic-cal and --device-cal take a\n"
                      "microphone's and a sound card's response off it."),
       0, MeasureOptions, MeasureCommand},
      {QStringLiteral("export"), QStringLiteral("RESULT"),
       QStringLiteral("a result file as CSV (on standard output by default) or PNG"),
       QStringLiteral("Writes the curve of a result file (.dat or .fft) as CSV, and its picture as\n"
                      "PNG. Without --csv or --png the CSV goes to standard output. Both give the\n"
                      "path's gain in dB re the played signal (frequency_hz,gain_db): 0 dB passes\n"
                      "it unchanged, whatever the window's 0 dB marker or level. A result file does\n"
                      "not record the level it was played at: --level says it (default -3.0).\n"
                      "--mic-cal and --device-cal take a microphone's and a sound card's response\n"
                      "off the curve; a sensitivity adds spl_db. A sweep result with its side files\n"
                      "(NN.ir.wav, NN.json) also gives its frequency response (--frd), impulse\n"
                      "response (--ir) and distortion (--distortion)."),
       1, ExportOptions, ExportCommand},
      {QStringLiteral("signal"), QString(), QStringLiteral("the test signal as a WAV file, to play on any player"),
       QStringLiteral("Writes exactly what a run plays, as 16-bit stereo WAV, for a path measured with\n"
                      "a separate player or recorder (see analyse). Options left out take the values\n"
                      "the window last used."),
       0, SignalOptions, SignalCommand},
      {QStringLiteral("analyse"), QString(),
       QStringLiteral("a recording made elsewhere of that signal, stored as a result"),
       QStringLiteral("Finds the played file (as `zarin signal` wrote it) in a recording of it made\n"
                      "elsewhere (mono or stereo WAV at the played rate, 16/24/32-bit integer or\n"
                      "32-bit float, started before the signal and stopped after it) and stores the\n"
                      "result a run would have stored, printing its path, the delay and the\n"
                      "quality as measure does."),
       0, AnalyseOptions, AnalyseCommand},
  };
  return commands;
}

const Command* FindCommand(const QString& name) {
  for (const Command& command : Commands())
    if (command.name == name) return &command;
  return nullptr;
}

}  // namespace cli
