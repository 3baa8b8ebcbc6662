#pragma once
// The help texts: the program's (its commands and common options) and each
// command's own (its usage line, what it does and its options).
#include <QCommandLineOption>
#include <QList>
#include <QString>

namespace cli {

struct Command;

// -h/--help and -v/--version, which every command takes.
QList<QCommandLineOption> CommonOptions();

QString ProgramHelp();
QString CommandHelp(const Command& command);

}  // namespace cli
