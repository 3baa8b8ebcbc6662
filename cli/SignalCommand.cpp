// `zarin signal`: the test signal a run plays, as a WAV file to play anywhere.
#include <QCommandLineParser>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "audio/PcmWav.h"
#include "audio/WaveMMIO.h"
#include "cli/Commands.h"
#include "cli/Outputs.h"
#include "measurement/RunSettings.h"
#include "measurement/TestSignal.h"

namespace cli {

QList<QCommandLineOption> SignalOptions() {
  QStringList rates;
  for (const int32_t rate : WaveMMIO::kSampleRates) rates << QString::number(rate);
  return {
      {QStringLiteral("mode"), QStringLiteral("sweep or noise (default: the window's last)."), QStringLiteral("mode")},
      {QStringLiteral("rate"),
       QStringLiteral("Sample rate in Hz: %1 (default: the window's last).").arg(rates.join(QStringLiteral(", "))),
       QStringLiteral("Hz")},
      {QStringLiteral("seconds"), QStringLiteral("Length, 2 to 30 (default: the window's last)."), QStringLiteral("s")},
      {QStringLiteral("level"), QStringLiteral("Level in dB, -60.0 to 0.0 (default: the window's last)."),
       QStringLiteral("dB")},
      {QStringLiteral("out"), QStringLiteral("The WAV file to write (16-bit stereo)."), QStringLiteral("file")},
  };
}

namespace {

bool Number(const QString& text, double lo, double hi, double& value) {
  bool ok = false;
  value = text.trimmed().toDouble(&ok);
  return ok && std::isfinite(value) && value >= lo && value <= hi;
}

}  // namespace

int SignalCommand(const QCommandLineParser& parser) {
  if (parser.positionalArguments().size() > 1) {
    Complain(QStringLiteral("signal takes no arguments besides its options: %1")
                 .arg(parser.positionalArguments().mid(1).join(' ')));
    return 1;
  }
  const measurement::RunSettings stored = measurement::ReadRunSettings();
  measurement::SignalMode mode = stored.mode;
  if (parser.isSet(QStringLiteral("mode"))) {
    const QString text = parser.value(QStringLiteral("mode")).trimmed().toLower();
    if (text == QLatin1String("sweep")) mode = measurement::SignalMode::Sweep;
    else if (text == QLatin1String("noise")) mode = measurement::SignalMode::Noise;
    else {
      Complain(QStringLiteral("--mode is sweep or noise, not \"%1\"").arg(parser.value(QStringLiteral("mode"))));
      return 1;
    }
  }
  double v = 0;
  int32_t rate = stored.sampleRate;
  if (parser.isSet(QStringLiteral("rate")))
    rate = Number(parser.value(QStringLiteral("rate")), 1, 1e9, v) && v == std::floor(v) ? static_cast<int32_t>(v) : 0;
  const auto& rates = WaveMMIO::kSampleRates;
  if (std::find(rates.begin(), rates.end(), rate) == rates.end()) {
    QStringList offered;
    for (const int32_t r : rates) offered << QString::number(r);
    Complain(QStringLiteral("--rate must be one of %1, not \"%2\"")
                 .arg(offered.join(QStringLiteral(", ")), parser.isSet(QStringLiteral("rate"))
                                                              ? parser.value(QStringLiteral("rate"))
                                                              : QString::number(rate)));
    return 1;
  }
  int32_t seconds = std::clamp(stored.seconds, 2, 30);
  if (parser.isSet(QStringLiteral("seconds"))) {
    if (!Number(parser.value(QStringLiteral("seconds")), 2, 30, v) || v != std::floor(v)) {
      Complain(QStringLiteral("--seconds is a whole number from 2 to 30, not \"%1\"")
                   .arg(parser.value(QStringLiteral("seconds"))));
      return 1;
    }
    seconds = static_cast<int32_t>(v);
  }
  int32_t level = std::clamp(stored.levelTenthsDb, -600, 0);
  if (parser.isSet(QStringLiteral("level"))) {
    if (!Number(parser.value(QStringLiteral("level")), -60.0, 0.0, v)) {
      Complain(QStringLiteral("--level is a number of dB from -60.0 to 0.0, not \"%1\"")
                   .arg(parser.value(QStringLiteral("level"))));
      return 1;
    }
    level = static_cast<int32_t>(std::nearbyint(v * 10));
  }
  const QString out = parser.value(QStringLiteral("out"));
  if (out.isEmpty()) {
    Complain(QStringLiteral("signal needs --out FILE.wav"));
    return 1;
  }
  if (QFileInfo(out).isDir() || !QFileInfo(QFileInfo(out).absolutePath()).isDir()) {
    Complain(QStringLiteral("cannot write the signal to %1: no such folder, or a folder").arg(out));
    return 1;
  }
  // Exactly the buffer a run fills.
  std::vector<WaveMMIO::StereoSample> play(static_cast<size_t>(rate) * static_cast<size_t>(seconds));
  const double amplitude = measurement::SignalAmplitude(level);
  if (mode == measurement::SignalMode::Sweep) {
    measurement::SweepTable table;
    std::vector<int16_t> envelope;
    measurement::GenerateSweep(play, rate, amplitude, table, envelope);
  } else {
    measurement::GenerateNoise(play, amplitude, measurement::ClockSeed());
  }
  if (!WaveMMIO::WriteStereo16Wav(out, rate, play)) {
    Complain(QStringLiteral("cannot write the signal to %1").arg(out));
    return 1;
  }
  std::printf("signal\t%s\n", QFileInfo(out).absoluteFilePath().toLocal8Bit().constData());
  return 0;
}

}  // namespace cli
