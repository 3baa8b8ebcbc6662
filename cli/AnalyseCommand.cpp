// `zarin analyse`: a recording made elsewhere of the signal `zarin signal`
// wrote, turned into the result a run would have stored.
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

#include "audio/PcmWav.h"
#include "audio/WaveMMIO.h"
#include "cli/CalibrationOptions.h"
#include "cli/Commands.h"
#include "cli/Outputs.h"
#include "cli/ResponseOutputs.h"
#include "cli/VerdictLines.h"
#include "measurement/MeasurementRun.h"
#include "measurement/Recording.h"
#include "measurement/ResultFiles.h"
#include "measurement/RunSettings.h"
#include "measurement/TestSignal.h"
#include "support/Paths.h"

namespace cli {

QList<QCommandLineOption> AnalyseOptions() {
  return QList<QCommandLineOption>{
             {QStringLiteral("played"), QStringLiteral("The WAV file that was played (as `zarin signal` wrote it)."),
              QStringLiteral("file")},
             {QStringLiteral("captured"),
              QStringLiteral("The recording: mono or stereo, 16-, 24- or 32-bit integer or 32-bit float WAV at the "
                             "played rate, started before the signal and stopped after it."),
              QStringLiteral("file")},
             {QStringLiteral("folder"), QStringLiteral("Where the result file goes (default: the data folder)."),
              QStringLiteral("dir")},
             {QStringLiteral("strict"),
              QStringLiteral("Exit with status 3 unless the quality is ok (the result is still stored).")},
         } +
         OutputOptions() + CalibrationOptions() + ResponseOptions();
}

namespace {

bool ReadSound(const char* option, const QString& path, WaveMMIO::PcmAudio& audio) {
  if (path.isEmpty()) {
    Complain(QStringLiteral("analyse needs --%1 FILE.wav").arg(QLatin1String(option)));
    return false;
  }
  if (!QFileInfo(path).isFile()) {
    Complain(QStringLiteral("no file %1 (--%2)").arg(path, QLatin1String(option)));
    return false;
  }
  QString error;
  if (!WaveMMIO::ReadPcmWav(path, audio, error)) {
    Complain(QStringLiteral("%1 (--%2) %3").arg(path, QLatin1String(option), error));
    return false;
  }
  return true;
}

}  // namespace

int AnalyseCommand(const QCommandLineParser& parser) {
  if (parser.positionalArguments().size() > 1) {
    Complain(QStringLiteral("analyse takes no arguments besides its options: %1")
                 .arg(parser.positionalArguments().mid(1).join(' ')));
    return 1;
  }
  const measurement::RunSettings stored = measurement::ReadRunSettings();
  QString folder = parser.isSet(QStringLiteral("folder")) ? parser.value(QStringLiteral("folder")) : stored.dataPath;
  if (!QFileInfo(folder).isDir()) {
    Complain(QStringLiteral("no folder %1 for the result").arg(folder));
    return 1;
  }
  if (!QFileInfo(folder).isWritable()) {
    Complain(QStringLiteral("cannot write the result into %1").arg(folder));
    return 1;
  }
  OutputRequest outputs;
  measurement::Calibration calibration;
  if (!ReadOutputOptions(parser, outputs) || !ReadCalibrationOptions(parser, calibration) ||
      !CheckResponseOptions(parser))
    return 1;
  // Nothing written may land on the recordings read or on the result to come.
  const QStringList destinations = Destinations(outputs) + ResponseDestinations(parser);
  if (!KeepsClearOfResults(destinations, folder) ||
      !KeepsClearOf(destinations, parser.value(QStringLiteral("played")), false) ||
      !KeepsClearOf(destinations, parser.value(QStringLiteral("captured")), false))
    return 1;
  WaveMMIO::PcmAudio played, captured;
  if (!ReadSound("played", parser.value(QStringLiteral("played")), played)) return 1;
  if (!ReadSound("captured", parser.value(QStringLiteral("captured")), captured)) return 1;
  const auto& rates = WaveMMIO::kSampleRates;
  if (std::find(rates.begin(), rates.end(), played.rate) == rates.end()) {
    Complain(QStringLiteral("the played file's rate, %1 Hz, is not one zarin plays (zarin signal writes one)")
                 .arg(played.rate));
    return 1;
  }
  if (captured.rate != played.rate) {
    Complain(QStringLiteral("the recording is at %1 Hz, the played file at %2 Hz: record at the played rate")
                 .arg(captured.rate)
                 .arg(played.rate));
    return 1;
  }
  if (static_cast<int64_t>(played.frames.size()) < played.rate / 2 ||
      static_cast<int64_t>(played.frames.size()) > int64_t{INT32_MAX / 4}) {
    Complain(QStringLiteral("the played file is too short or too long for a measurement"));
    return 1;
  }

  const measurement::RecordingAnalysis analysis =
      measurement::AnalyseRecording(played.frames, captured.frames, played.rate);
  // What a run would have measured, stored under the folder's next number.
  measurement::Result result;
  result.mode = analysis.mode;
  result.sampleRate = analysis.rate;
  result.envelope = analysis.level;
  result.sweepTable = analysis.sweep;
  result.spectrum = analysis.spectrum;
  result.timing = analysis.followed;
  result.pathDelay.found = analysis.timing.found;
  if (analysis.timing.found)
    result.pathDelay.frames = static_cast<int32_t>(std::clamp(std::nearbyint(analysis.timing.start), -2e9, 2e9));
  result.levelTenthsDb = analysis.levelTenthsDb;
  result.verdict = analysis.verdict;
  result.response = analysis.response;
  measurement::MeasurementRun numbering;  // no device: it only numbers and stores the result
  numbering.SetDataFolder(
      basic::EnsureTrailingSeparator(QDir::toNativeSeparators(QFileInfo(folder).absoluteFilePath()), 0));
  const measurement::StoredResult saved = numbering.StoreResult(result);
  if (saved.path.isEmpty()) {
    Complain(QStringLiteral("cannot write the result into %1: %2").arg(folder, saved.error));
    return 1;
  }
  const QString path = saved.path;
  RecordCorrections(path, calibration, true);
  // A result whose response could not be written beside it is still
  // reported and exported, but the analysis did not leave all it should have.
  const bool sideFilesFailed = !saved.sideFilesWritten;
  if (sideFilesFailed)
    Complain(QStringLiteral("cannot write the impulse response beside %1: %2")
                 .arg(QDir::toNativeSeparators(path), saved.error));
  std::printf("result\t%s\n", QDir::toNativeSeparators(path).toLocal8Bit().constData());
  std::printf("mode\t%s\n", analysis.mode == measurement::SignalMode::Sweep ? "sweep" : "noise");
  if (analysis.timing.found) {
    // Where the played signal starts in the recording: the recorder's start is the only reference.
    std::printf("delay_frames\t%.0f\n", analysis.timing.start);
    std::printf("delay_ms\t%.3f\n", 1000.0 * analysis.timing.start / analysis.rate);
    std::printf("delay_reference\tcapture start\n");
    if (analysis.mode == measurement::SignalMode::Sweep) {
      std::printf("drift_ppm\t%.1f\n", analysis.followed.driftPpm);
      for (const measurement::TimingEvent& e : analysis.followed.events)
        std::printf("timing_event\t%s\t%.3f s\t%.1f ms\n", measurement::TimingEventName(e.kind), e.timeS, e.sizeMs);
    }
  } else {
    std::printf("delay\tnot found\n");
    Complain(QStringLiteral("the played signal was not found in the recording"));
  }
  PrintVerdict(analysis.verdict);
  std::fflush(stdout);
  if (!WriteOutputs(result, calibration, kFirstTraceColor, outputs)) return 1;
  if (WantsResponses(parser) && !WriteResponses(parser, path, calibration)) return 1;
  if (sideFilesFailed) return 1;
  return VerdictStatus(analysis.verdict, parser.isSet(QStringLiteral("strict")));
}

}  // namespace cli
