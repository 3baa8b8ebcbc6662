#include "cli/Help.h"

#include <QStringList>
#include <algorithm>

#include "cli/Command.h"

namespace cli {

namespace {

constexpr qsizetype kLineWidth = 79;

// Two-column lines, the second column starting where the widest first one
// ends and its words wrapped within the line width.
QString Table(const QList<std::pair<QString, QString>>& rows) {
  qsizetype width = 0;
  for (const auto& row : rows) width = std::max(width, row.first.size());
  const qsizetype indent = 2 + width + 2;
  QString text;
  for (const auto& [left, right] : rows) {
    QString line = QStringLiteral("  ") + left.leftJustified(width + 2);
    bool first = true;
    for (const QString& word : right.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
      if (!first && line.size() + 1 + word.size() > kLineWidth) {
        text += line + QLatin1Char('\n');
        line = QString(indent, QLatin1Char(' '));
        first = true;
      }
      if (!first) line += QLatin1Char(' ');
      line += word;
      first = false;
    }
    text += line + QLatin1Char('\n');
  }
  return text;
}

QString OptionsTable(const QList<QCommandLineOption>& options) {
  QList<std::pair<QString, QString>> rows;
  for (const QCommandLineOption& option : options) {
    QStringList names;
    for (const QString& name : option.names())
      names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString left = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty()) left += QStringLiteral(" <") + option.valueName() + QLatin1Char('>');
    rows.append({left, option.description()});
  }
  return Table(rows);
}

}  // namespace

QList<QCommandLineOption> CommonOptions() {
  return {QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("This help.")),
          QCommandLineOption({QStringLiteral("v"), QStringLiteral("version")},
                             QStringLiteral("The program's name and version."))};
}

QString ProgramHelp() {
  QList<std::pair<QString, QString>> commands;
  for (const Command& command : Commands()) commands.append({command.name, command.summary});
  commands.append({QStringLiteral("help"), QStringLiteral("this text, or a command's help (zarin help COMMAND)")});
  return QStringLiteral(
             "Usage: zarin [COMMAND] [options]\n\n"
             "Measures an audio path: plays a sweep or white noise on an output while it\n"
             "records an input. Without a command the window opens.\n\n"
             "Commands:\n") +
         Table(commands) + QStringLiteral("\nOptions:\n") + OptionsTable(CommonOptions()) +
         QStringLiteral("\n`zarin help COMMAND` or `zarin COMMAND --help` shows a command's usage and options.\n");
}

QString CommandHelp(const Command& command) {
  QString usage = QStringLiteral("Usage: zarin ") + command.name;
  if (!command.arguments.isEmpty()) usage += QLatin1Char(' ') + command.arguments;
  usage += QStringLiteral(" [options]\n\n");
  return usage + command.description + QStringLiteral("\n\nOptions:\n") +
         OptionsTable(command.options() + CommonOptions());
}

}  // namespace cli
