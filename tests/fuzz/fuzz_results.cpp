// Arbitrary bytes as a WAV file and as both kinds of result file. Built only
// with -DZARIN_FUZZ=ON and clang (libFuzzer); not part of the test run.
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstddef>
#include <cstdint>

#include "audio/WaveMMIO.h"
#include "measurement/ResultFiles.h"

namespace {

QString Write(const char* name, const uint8_t* data, size_t size) {
  static const QString dir = QDir::tempPath() + QStringLiteral("/zarin-fuzz-%1").arg(getpid());
  QDir().mkpath(dir);
  const QString path = dir + QLatin1Char('/') + QLatin1String(name);
  QFile f(path);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
    f.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString wav = Write("in.wav", data, size);
  const WaveMMIO::WavInfo info = WaveMMIO::ReadWavInfo(wav, 0);
  (void)info;
  WaveMMIO::FindChunk(wav, 0, "data", 0);
  measurement::LoadResultFile(Write("in.dat", data, size));
  measurement::LoadResultFile(Write("in.fft", data, size));
  return 0;
}
