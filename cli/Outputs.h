#pragma once
// What both `measure` and `export` write besides the result file: the curve
// as CSV and the spectrum picture as PNG.
#include <QCommandLineOption>
#include <QList>
#include <QSize>
#include <QString>
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
// False (after saying why) when a destination could become a run's result
// in resultFolder ("07.fft"), or is the file source.
bool KeepsClearOfResults(const OutputRequest& request, const QString& resultFolder);
bool KeepsClearOf(const OutputRequest& request, const QString& source);

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
