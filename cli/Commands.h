#pragma once
// The three commands, each given the parser with its options already read.
class QCommandLineParser;

namespace cli {

void AddMeasureOptions(QCommandLineParser& parser);

int DevicesCommand();
int MeasureCommand(const QCommandLineParser& parser);
int ExportCommand(const QCommandLineParser& parser);

}  // namespace cli
