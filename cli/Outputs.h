#pragma once
// What both `measure` and `export` write besides the result file: the curve
// as CSV and the spectrum picture as PNG.
#include <QCommandLineOption>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>

class QCommandLineParser;

namespace measurement {
struct Calibration;
struct Result;
}  // namespace measurement

namespace cli {

struct OutputRequest {
  QString csvPath;  // empty: none
  QString pngPath;  // empty: none
  QSize pngSize;
  bool csvToStdout = false;  // --csv -
};

// --csv, --png and --png-size.
QList<QCommandLineOption> OutputOptions();
// Reads --csv, --png and --png-size; false (after saying why) on a bad value
// or a destination that cannot be written: each must be a regular file or
// nothing, in a folder that takes new files, with a name that fits; the two
// must differ and the picture's name end in .png. "--csv -" is standard output.
bool ReadOutputOptions(const QCommandLineParser& parser, OutputRequest& request);
// The files the request writes (standard output aside).
QStringList Destinations(const OutputRequest& request);
// False (after saying why) when two destinations are one file, or one could
// become a run's result or its side files in resultFolder ("07.fft",
// "07.ir.wav"), or is the file source (or, for a result, one of its side
// files).
bool KeepsClearOfResults(const QStringList& destinations, const QString& resultFolder);
bool KeepsClearOf(const QStringList& destinations, const QString& source, bool sourceIsResult = true);

// Writes what was asked for from the result, with the calibration applied;
// false (after saying why) when something could not be written. An empty
// CSV path with csvToStdout writes the CSV on standard output.
bool WriteOutputs(const measurement::Result& result, const measurement::Calibration& calibration, uint32_t color,
                  const OutputRequest& request, bool csvToStdout = false);

// "zarin: " + text, on standard error.
void Complain(const QString& text);

// The colour of the first result in the window's list, used for pictures.
inline constexpr uint32_t kFirstTraceColor = 0xFF80FF;

}  // namespace cli
