#pragma once
// The options that calibrate an export: --mic-cal, --device-cal and
// --sensitivity, taken by `measure`, `analyse` and `export`.
#include <QCommandLineOption>
#include <QList>

#include "measurement/Calibration.h"

class QCommandLineParser;

namespace cli {

QList<QCommandLineOption> CalibrationOptions();

// Reads the files (keeping their absolute paths) and the sensitivity;
// false (after saying why, naming the file and the line) when one cannot be
// used.
bool ReadCalibrationOptions(const QCommandLineParser& parser, measurement::Calibration& calibration);

// Records the calibration's files in the result's NN.json (when it has
// files; with onlyBesideSideFile, only when the result has an NN.json
// already). A file that cannot be written is said, and is no failure.
void RecordCorrections(const QString& resultPath, const measurement::Calibration& calibration, bool onlyBesideSideFile);

}  // namespace cli
