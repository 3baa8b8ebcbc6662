#include <unistd.h>

#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <optional>

#include "audio/WaveMMIO.h"
#include "cli/CalibrationOptions.h"
#include "cli/Commands.h"
#include "cli/Outputs.h"
#include "cli/ProgressLine.h"
#include "cli/VerdictLines.h"
#include "dsp/C_FFT.h"
#include "measurement/Analysis.h"
#include "measurement/MeasurementRun.h"
#include "measurement/ResultFiles.h"
#include "measurement/ResultNumbers.h"
#include "measurement/RunSettings.h"
#include "measurement/TestSignal.h"
#include "support/CheckedFile.h"
#include "support/Paths.h"

namespace cli {

QList<QCommandLineOption> MeasureOptions() {
  QList<QCommandLineOption> options;
  const auto add = [&](const char* name, const char* help, const char* value) {
    options.append({QString::fromLatin1(name), QString::fromLatin1(help), QString::fromLatin1(value)});
  };
  add("output-device",
      "The output to play on, by name or id as `zarin devices --ids` lists it (default: the window's last).", "device");
  add("input-device",
      "The input to record, by name or id as `zarin devices --ids` lists it (default: the window's last).", "device");
  add("mode", "sweep or noise (default: the window's last).", "mode");
  QStringList rates;
  for (const int32_t rate : WaveMMIO::kSampleRates) rates << QString::number(rate);
  options.append(
      {QStringLiteral("rate"),
       QStringLiteral("Sample rate in Hz: %1 (default: the window's last).").arg(rates.join(QStringLiteral(", "))),
       QStringLiteral("Hz")});
  add("seconds", "Length of the run, 2 to 30 (default: the window's last).", "s");
  add("level", "Playback level in dB, -60.0 to 0.0 (default: the window's last).", "dB");
  add("folder", "Where the result file goes (default: the data folder).", "dir");
  options.append({QStringLiteral("strict"),
                  QStringLiteral("Exit with status 3 unless the run's quality is ok (the result is still stored).")});
  return options + OutputOptions() + CalibrationOptions();
}

namespace {

bool Number(const QString& text, double lo, double hi, double& value) {
  bool ok = false;
  value = text.trimmed().toDouble(&ok);
  return ok && std::isfinite(value) && value >= lo && value <= hi;
}

struct Plan {
  measurement::RunRequest request;
  QString folder;
  measurement::Calibration calibration;
  int32_t bufferDelayMs = 0;
  OutputRequest outputs;
};

// Every option checked before anything runs or is written.
bool MakePlan(const QCommandLineParser& parser, Plan& plan) {
  const measurement::RunSettings stored = measurement::ReadRunSettings();
  plan.bufferDelayMs = stored.bufferDelayMs;
  measurement::RunRequest& r = plan.request;
  r.deviceOut =
      parser.isSet(QStringLiteral("output-device")) ? parser.value(QStringLiteral("output-device")) : stored.deviceOut;
  r.deviceIn =
      parser.isSet(QStringLiteral("input-device")) ? parser.value(QStringLiteral("input-device")) : stored.deviceIn;
  // A run on devices that need no sound server never waits for one.
  WaveMMIO::SoundHost::Instance().KeepServerlessFor({r.deviceOut.toStdString(), r.deviceIn.toStdString()});
  using WaveMMIO::Direction;
  for (const auto& [name, direction] :
       {std::pair{r.deviceOut, Direction::Output}, std::pair{r.deviceIn, Direction::Input}}) {
    const char* side = direction == Direction::Input ? "input" : "output";
    if (name.trimmed().isEmpty()) {
      Complain(QStringLiteral("no %1 device given (--%1-device) and none stored").arg(QLatin1String(side)));
      return false;
    }
    // A name that is a number is a device id, as in the window.
    const int32_t id = WaveMMIO::FindAudioDevice(direction, name, false);
    // Ids count the devices of every host: with one host silent the list is
    // short, and an id would name another device than the user meant.
    bool numeric = false;
    name.trimmed().toLongLong(&numeric);
    if (numeric && !WaveMMIO::UnansweredHost().empty()) {
      Complain(QString::fromStdString(WaveMMIO::WaveErrorText(WaveMMIO::DeviceError::NoAnswer, direction)));
      return false;
    }
    if (id < 0 || id >= WaveMMIO::SoundHost::Instance().DeviceCount(direction)) {
      if (!WaveMMIO::UnansweredHost().empty()) {
        Complain(QString::fromStdString(WaveMMIO::WaveErrorText(WaveMMIO::DeviceError::NoAnswer, direction)));
        return false;
      }
      Complain(QStringLiteral("no %1 device named \"%2\" (zarin devices lists them)").arg(QLatin1String(side), name));
      return false;
    }
  }
  r.mode = stored.mode;
  if (parser.isSet(QStringLiteral("mode"))) {
    const QString mode = parser.value(QStringLiteral("mode")).trimmed().toLower();
    if (mode == QLatin1String("sweep")) r.mode = measurement::SignalMode::Sweep;
    else if (mode == QLatin1String("noise")) r.mode = measurement::SignalMode::Noise;
    else {
      Complain(QStringLiteral("--mode is sweep or noise, not \"%1\"").arg(parser.value(QStringLiteral("mode"))));
      return false;
    }
  }
  double v = 0;
  r.sampleRate = stored.sampleRate;
  if (parser.isSet(QStringLiteral("rate"))) {
    const QString text = parser.value(QStringLiteral("rate"));
    if (!Number(text, 1, 1e9, v) || v != std::floor(v)) v = 0;
    r.sampleRate = static_cast<int32_t>(v);
  }
  const auto& rates = WaveMMIO::kSampleRates;
  if (std::find(rates.begin(), rates.end(), r.sampleRate) == rates.end()) {
    QStringList offered;
    for (const int32_t rate : rates) offered << QString::number(rate);
    Complain(QStringLiteral("--rate must be one of %1, not \"%2\"")
                 .arg(offered.join(QStringLiteral(", ")), parser.isSet(QStringLiteral("rate"))
                                                              ? parser.value(QStringLiteral("rate"))
                                                              : QString::number(r.sampleRate)));
    return false;
  }
  r.seconds = std::clamp(stored.seconds, 2, 30);
  if (parser.isSet(QStringLiteral("seconds"))) {
    if (!Number(parser.value(QStringLiteral("seconds")), 2, 30, v) || v != std::floor(v)) {
      Complain(QStringLiteral("--seconds is a whole number from 2 to 30, not \"%1\"")
                   .arg(parser.value(QStringLiteral("seconds"))));
      return false;
    }
    r.seconds = static_cast<int32_t>(v);
  }
  r.levelTenthsDb = std::clamp(stored.levelTenthsDb, -600, 0);
  if (parser.isSet(QStringLiteral("level"))) {
    if (!Number(parser.value(QStringLiteral("level")), -60.0, 0.0, v)) {
      Complain(QStringLiteral("--level is a number of dB from -60.0 to 0.0, not \"%1\"")
                   .arg(parser.value(QStringLiteral("level"))));
      return false;
    }
    r.levelTenthsDb = static_cast<int32_t>(std::nearbyint(v * 10));
  }
  plan.folder = parser.isSet(QStringLiteral("folder")) ? parser.value(QStringLiteral("folder")) : stored.dataPath;
  if (!QFileInfo(plan.folder).isDir()) {
    Complain(QStringLiteral("no folder %1 for the result").arg(plan.folder));
    return false;
  }
  if (::access(QFile::encodeName(plan.folder).constData(), W_OK | X_OK) != 0) {
    Complain(QStringLiteral("cannot write the result into %1: %2").arg(plan.folder, basic::SystemReason(errno)));
    return false;
  }
  plan.folder = basic::EnsureTrailingSeparator(QDir::toNativeSeparators(QFileInfo(plan.folder).absoluteFilePath()), 0);
  return ReadOutputOptions(parser, plan.outputs) && KeepsClearOfResults(Destinations(plan.outputs), plan.folder) &&
         ReadCalibrationOptions(parser, plan.calibration);
}

}  // namespace

int MeasureCommand(const QCommandLineParser& parser) {
  Plan plan;
  if (!MakePlan(parser, plan)) return 1;

  measurement::MeasurementRun run;
  run.SetDataFolder(plan.folder);
  run.SetBufferDelayMs(plan.bufferDelayMs);
  QString saved;
  bool saveFailed = false;
  bool sideFilesFailed = false;
  std::optional<ProgressLine> progress;  // on a terminal only
  if (isatty(STDERR_FILENO) != 0) progress.emplace();
  measurement::MeasurementRun::Callbacks cb;
  cb.SweepCompleted = [&] { run.AnalyseSweep(); };
  cb.ResultReady = [&](const QString&, const measurement::Result& result) {
    // The number is taken as the file is stored: another run storing into
    // the same folder meanwhile gets another one.
    const measurement::StoredResult stored = run.StoreResult(result);
    if (!stored.path.isEmpty()) {
      saved = stored.path;
      RecordCorrections(saved, plan.calibration, false);
      if (!stored.sideFilesWritten) {
        // The result stays; only its response is missing.
        sideFilesFailed = true;
        if (progress) progress->End();
        Complain(QStringLiteral("cannot write the impulse response beside %1: %2")
                     .arg(QDir::toNativeSeparators(saved), stored.error));
      }
    } else {
      saveFailed = true;
      if (progress) progress->End();
      Complain(QStringLiteral("cannot write the result into %1: %2").arg(plan.folder, stored.error));
    }
  };
  C_FFT fft;
  fft.Init(measurement::kFftPoints);
  cb.StretchReady = [&](int32_t, int32_t last) {
    // A noise run's spectrum is the mean of one frame per stretch, as in the window.
    if (run.Current().mode == measurement::SignalMode::Noise)
      run.FoldNoiseFrame(fft, measurement::MeasurementRun::NoiseFrameStart(last));
    if (progress)
      progress->Show(QStringLiteral("measuring %1 / %2 s")
                         .arg((last + 1.0) / run.Current().sampleRate, 0, 'f', 1)
                         .arg(plan.request.seconds));
  };
  run.SetCallbacks(cb);
  if (!run.Start(plan.request)) return 1;  // the device's error is on stderr

  // Polled as the window's timer does.
  QEventLoop loop;
  QTimer timer;
  timer.setInterval(5);
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    run.Tick();
    if (!run.Running()) loop.quit();
  });
  timer.start();
  loop.exec();
  if (progress) progress->End();
  if (saved.isEmpty() || saveFailed) return 1;  // a device failed (said on stderr) or the file could not be written

  std::printf("result\t%s\n", QDir::toNativeSeparators(saved).toLocal8Bit().constData());
  const measurement::Result& result = run.Current();
  if (result.mode == measurement::SignalMode::Sweep) {
    const measurement::RunTiming& t = result.timing;
    if (t.found) {
      // The path's delay: from the sample leaving the program where the
      // devices told their start times, else only from the capture's start.
      std::printf("delay_frames\t%d\n", result.pathDelay.frames);
      std::printf("delay_ms\t%.3f\n", t.DelayMs(result.sampleRate));
      std::printf("delay_reference\t%s\n", measurement::DelayReferenceName(t.reference));
      std::printf("drift_ppm\t%.1f\n", t.driftPpm);
      for (const measurement::TimingEvent& e : t.events)
        std::printf("timing_event\t%s\t%.3f s\t%.1f ms\n", measurement::TimingEventName(e.kind), e.timeS, e.sizeMs);
    } else {
      std::printf("delay\tnot found\n");
      Complain(QStringLiteral("the played sweep did not come back on the input; the curve is not aligned"));
    }
  }
  PrintVerdict(result.verdict);
  std::fflush(stdout);
  if (!WriteOutputs(result, plan.calibration, kFirstTraceColor, plan.outputs)) return 1;
  // A result whose response could not be written beside it is still
  // reported and exported, but the run did not leave all it should have.
  if (sideFilesFailed) return 1;
  return VerdictStatus(result.verdict, parser.isSet(QStringLiteral("strict")));
}

}  // namespace cli
