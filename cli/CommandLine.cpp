#include "cli/CommandLine.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>

#include "cli/Commands.h"
#include "cli/Outputs.h"
#include "support/Logging.h"

namespace cli {

namespace {

QString Description() {
  return QStringLiteral(
      "Measures an audio path: plays a sweep or white noise on an output while it records an input.\n"
      "Without a command the window opens.\n\n"
      "Commands:\n"
      "  devices                 list the output and input devices\n"
      "  measure [options]       one run, stored as a result file (.dat or .fft)\n"
      "  export RESULT [options] a result file as CSV (on standard output by default) or PNG\n\n"
      "`zarin <command> --help` lists a command's options.");
}

// Qt's remark that it made up a runtime folder (no XDG_RUNTIME_DIR, as for
// a service or in a container) is no news to a user of the command line;
// everything else Qt says still reaches stderr.
void QuietRuntimeFolderRemark(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
  std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, text).toLocal8Bit().constData());
}

}  // namespace

bool WantsCommandLine(int argc, char** argv) {
  if (argc < 2 || !argv[1] || argv[1][0] == '\0') return false;
  // A word is a command (an unknown one is refused there); options other
  // than help and version are Qt's own, for the window.
  if (argv[1][0] != '-') return true;
  for (const char* option : {"--help", "-h", "--help-all", "--version", "-v"})
    if (std::strcmp(argv[1], option) == 0) return true;
  return false;
}

int Run(int argc, char** argv) {
  // Pictures and fonts need a GUI application, never a display: whatever
  // platform the desktop names, the commands draw off screen.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(QuietRuntimeFolderRemark);
  QGuiApplication app(argc, argv);
  QGuiApplication::setOrganizationName(QStringLiteral("morvane"));
  QGuiApplication::setApplicationName(QStringLiteral("zarin"));
  QGuiApplication::setApplicationVersion(QStringLiteral(ZARIN_VERSION));
  basic::InitDiagnosticSwitches();

  QCommandLineParser parser;
  parser.setApplicationDescription(Description());
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("devices, measure or export"));
  parser.parse(QCoreApplication::arguments());  // once to find the command, then with its options
  const QString command = parser.positionalArguments().value(0);
  if (command == QLatin1String("measure")) {
    AddMeasureOptions(parser);
    AddOutputOptions(parser);
  } else if (command == QLatin1String("export")) {
    parser.addPositionalArgument(QStringLiteral("result"), QStringLiteral("a .dat or .fft result file"),
                                 QStringLiteral("export RESULT"));
    AddOutputOptions(parser);
  }
  parser.process(app);  // --help, --version and unknown options end here
  const QStringList positional = parser.positionalArguments();
  if (command == QLatin1String("devices")) {
    if (positional.size() > 1) {
      Complain(QStringLiteral("devices takes no arguments"));
      return 1;
    }
    return DevicesCommand();
  }
  if (command == QLatin1String("measure")) {
    if (positional.size() > 1) {
      Complain(QStringLiteral("measure takes no arguments besides its options: %1").arg(positional.mid(1).join(' ')));
      return 1;
    }
    return MeasureCommand(parser);
  }
  if (command == QLatin1String("export")) return ExportCommand(parser);
  Complain(command.isEmpty() ? QStringLiteral("no command given (devices, measure or export)")
                             : QStringLiteral("no such command: %1").arg(command));
  return 1;
}

}  // namespace cli
