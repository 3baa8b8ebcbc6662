#pragma once
// A command of the command line: its name, what its help says, its options
// and the function that runs it. A new command is one entry in the table
// (CommandTable.cpp) and a file of its own; its help follows from the entry.
#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <functional>

class QCommandLineParser;

namespace cli {

struct Command {
  QString name;
  QString arguments;     // what follows "zarin NAME" in its usage line besides [options], e.g. "RESULT"
  QString summary;       // its line in the list of commands
  QString description;   // the text its own help starts with (lines of at most 79 characters)
  int maxArguments = 0;  // words it takes besides its name and options
  std::function<QList<QCommandLineOption>()> options;
  // Runs it; the parser holds its options, the command's name first among the positional arguments.
  std::function<int(const QCommandLineParser&)> run;
};

// Every command, in the order help lists them.
const QList<Command>& Commands();
// The command of that name, or null.
const Command* FindCommand(const QString& name);

}  // namespace cli
