#include "cli/CommandLine.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <optional>

#include "cli/Command.h"
#include "cli/Help.h"
#include "cli/Outputs.h"
#include "support/Logging.h"

namespace cli {

namespace {

// Qt's remark that it made up a runtime folder (no XDG_RUNTIME_DIR, as for
// a service or in a container) is no news to a user of the command line;
// everything else Qt says still reaches stderr.
void QuietRuntimeFolderRemark(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) return;
  std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, text).toLocal8Bit().constData());
}

// The options of the window's toolkit, which the window takes as its own
// (`zarin -platform xcb`); true when the option takes a value.
std::optional<bool> WindowOption(const char* argument) {
  const char* name = argument + (std::strncmp(argument, "--", 2) == 0 ? 2 : 1);
  const char* equals = std::strchr(name, '=');
  const std::string bare = equals ? std::string(name, equals) : std::string(name);
  for (const char* valued :
       {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon", "qwindowtitle",
        "session", "display", "geometry", "name", "title", "style", "stylesheet", "qmljsdebugger", "visual"})
    if (bare == valued) return equals == nullptr;
  for (const char* plain : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
    if (bare == plain) return false;
  return std::nullopt;
}

// The name of an option as written ("--seconds=2" and "-seconds" give "seconds").
QString OptionName(const QString& argument) {
  QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
  return name.section(QLatin1Char('='), 0, 0);
}

bool TakesValue(const QString& name) {
  for (const Command& command : Commands())
    for (const QCommandLineOption& option : command.options())
      if (option.names().contains(name)) return !option.valueName().isEmpty();
  return false;
}

// The command word among the arguments: the first that is neither an
// option nor an option's value, wherever the options stand.
std::optional<QString> FindCommandWord(const QStringList& arguments) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == QLatin1String("--")) {
      if (i + 1 < arguments.size()) return arguments[i + 1];
      return std::nullopt;
    }
    if (argument.size() > 1 && argument.startsWith(QLatin1Char('-'))) {
      if (!argument.contains(QLatin1Char('=')) && TakesValue(OptionName(argument))) ++i;
      continue;
    }
    return argument;
  }
  return std::nullopt;
}

void Print(const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stdout);
  std::fflush(stdout);
}

// Reads the arguments with these options; the exit status when that
// already ends the program (help, version, a bad option).
std::optional<int> Parse(QCommandLineParser& parser, const QList<QCommandLineOption>& options, const QString& help,
                         const QString& helpHint) {
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  for (const QCommandLineOption& option : options) parser.addOption(option);
  if (!parser.parse(QCoreApplication::arguments())) {
    Complain(parser.errorText() + QStringLiteral(" (%1 lists the options)").arg(helpHint));
    return 1;
  }
  if (parser.isSet(QStringLiteral("help"))) {
    Print(help);
    return 0;
  }
  if (parser.isSet(QStringLiteral("version"))) {
    Print(QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion() +
          QLatin1Char('\n'));
    return 0;
  }
  return std::nullopt;
}

int Help(const QStringList& words) {
  if (words.size() > 1) {
    Complain(QStringLiteral("help takes one command, not \"%1\"").arg(words.join(QLatin1Char(' '))));
    return 1;
  }
  if (words.isEmpty()) {
    Print(ProgramHelp());
    return 0;
  }
  const Command* command = FindCommand(words[0]);
  if (!command) {
    Complain(QStringLiteral("no such command: %1 (zarin help lists them)").arg(words[0]));
    return 1;
  }
  Print(CommandHelp(*command));
  return 0;
}

}  // namespace

bool WantsCommandLine(int argc, char** argv) {
  // Nothing but the toolkit's own options opens the window; anything else
  // (a command, an option of one, an empty or unknown word) is for the
  // command line, which runs it or says what is wrong.
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (!argument || argument[0] != '-' || argument[1] == '\0' || std::strcmp(argument, "--") == 0) return true;
    const std::optional<bool> window = WindowOption(argument);
    if (!window) return true;
    if (*window) ++i;  // its value
  }
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

  const std::optional<QString> word = FindCommandWord(QCoreApplication::arguments());
  if (!word || *word == QLatin1String("help")) {
    QCommandLineParser parser;
    if (const auto status = Parse(parser, CommonOptions(), ProgramHelp(), QStringLiteral("zarin help"))) return *status;
    if (!word) {
      Complain(QStringLiteral("no command given (zarin help lists them)"));
      return 1;
    }
    return Help(parser.positionalArguments().mid(1));
  }
  const Command* command = FindCommand(*word);
  if (!command) {
    Complain(word->isEmpty() ? QStringLiteral("an empty command (zarin help lists them)")
                             : QStringLiteral("no such command: %1 (zarin help lists them)").arg(*word));
    return 1;
  }
  QCommandLineParser parser;
  if (const auto status = Parse(parser, command->options() + CommonOptions(), CommandHelp(*command),
                                QStringLiteral("zarin help ") + command->name))
    return *status;
  const QStringList extra = parser.positionalArguments().mid(1);
  if (extra.size() > command->maxArguments) {
    Complain(command->maxArguments == 0 ? QStringLiteral("%1 takes no arguments besides its options: %2")
                                              .arg(command->name, extra.join(QLatin1Char(' ')))
                                        : QStringLiteral("%1 takes %2 argument(s) besides its options, not %3")
                                              .arg(command->name)
                                              .arg(command->maxArguments)
                                              .arg(extra.size()));
    return 1;
  }
  return command->run(parser);
}

}  // namespace cli
