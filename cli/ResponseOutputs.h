#pragma once
// What `export` and `analyse` write from a sweep result's side files: the frequency
// response as FRD text, the impulse response as a float WAV and the
// distortion as CSV.
#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

#include "measurement/Calibration.h"

class QCommandLineParser;

namespace cli {

// --frd, --ir, --distortion, --smooth and --points.
QList<QCommandLineOption> ResponseOptions();
// Whether any of --frd, --ir and --distortion was given.
bool WantsResponses(const QCommandLineParser& parser);
// The files --frd, --ir and --distortion name.
QStringList ResponseDestinations(const QCommandLineParser& parser);
// Whether --smooth and --points are as they should be; false after saying why.
bool CheckResponseOptions(const QCommandLineParser& parser);
// Writes what was asked for from the side files of the result at path, the
// FRD with the calibration's files taken off; false (after saying why) when
// the options are wrong, the side files are missing or a file cannot be
// written.
bool WriteResponses(const QCommandLineParser& parser, const QString& resultPath,
                    const measurement::Calibration& calibration);

}  // namespace cli
