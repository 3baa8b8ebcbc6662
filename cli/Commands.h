#pragma once
// The commands, each given the parser with its options already read, and
// the options each adds to the common ones.
#include <QCommandLineOption>
#include <QList>

class QCommandLineParser;

namespace cli {

QList<QCommandLineOption> DevicesOptions();
QList<QCommandLineOption> MeasureOptions();
QList<QCommandLineOption> ExportOptions();

int DevicesCommand(const QCommandLineParser& parser);
int MeasureCommand(const QCommandLineParser& parser);
int ExportCommand(const QCommandLineParser& parser);

// `zarin signal` and `zarin analyse`.
QList<QCommandLineOption> SignalOptions();
QList<QCommandLineOption> AnalyseOptions();
int SignalCommand(const QCommandLineParser& parser);
int AnalyseCommand(const QCommandLineParser& parser);

}  // namespace cli
