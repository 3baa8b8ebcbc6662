#include "measurement/ResultFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "audio/WaveMMIO.h"
#include "measurement/TestSignal.h"

using namespace measurement;

namespace {

QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class ResultFilesTest : public ::testing::Test {
 protected:
  QString P(const char* name) { return dir.filePath(name); }
  QTemporaryDir dir;
  Result run;
};

TEST_F(ResultFilesTest, ANoiseResultIs4104Bytes) {
  run.mode = SignalMode::Noise;
  run.sampleRate = 44100;
  for (int k = 0; k < 1025; ++k) run.spectrum.values[static_cast<size_t>(k)] = static_cast<float>(k) * 0.5f;
  ASSERT_TRUE(SaveResultFile(P("01.fft"), run));
  const QByteArray b = Bytes(P("01.fft"));
  ASSERT_EQ(b.size(), 4104);
  EXPECT_EQ(b.left(8), QByteArray("\x44\xAC\x00\x00\x00\x04\x00\x00", 8));
  const LoadedResult loaded = LoadResultFile(P("01.fft"));
  ASSERT_EQ(loaded.outcome, LoadOutcome::Noise);
  const Result& other = loaded.result;
  EXPECT_EQ(other.sampleRate, 44100);
  EXPECT_EQ(other.mode, SignalMode::Noise);
  for (int k = 0; k < 1024; ++k) ASSERT_EQ(other.spectrum.values[static_cast<size_t>(k)], k * 0.5f) << k;
  EXPECT_EQ(other.spectrum.values[1024], 511.5f);  // the curve's last bin repeats its neighbour
}

TEST_F(ResultFilesTest, ASweepResultIsAMonoWav) {
  run.mode = SignalMode::Sweep;
  run.sampleRate = 48000;
  run.envelope.assign(480000, 1234);
  ASSERT_TRUE(SaveResultFile(P("02.dat"), run));
  const QByteArray b = Bytes(P("02.dat"));
  ASSERT_EQ(b.size(), 44 + 960000);
  const auto u32 = [&](int at) { return *reinterpret_cast<const uint32_t*>(b.constData() + at); };
  EXPECT_EQ(u32(4), 960036u);
  EXPECT_EQ(u32(40), 960000u);
}

TEST_F(ResultFilesTest, LoadingASweepSetsTheRateAndItsTable) {
  run.mode = SignalMode::Sweep;
  run.sampleRate = 22050;
  run.envelope.assign(44100, 777);
  run.envelope[44099] = -5;  // the last sample, and its sign, come back too
  ASSERT_TRUE(SaveResultFile(P("03.dat"), run));
  const LoadedResult loaded = LoadResultFile(P("03.dat"));
  ASSERT_EQ(loaded.outcome, LoadOutcome::Sweep);
  const Result& other = loaded.result;
  EXPECT_EQ(other.sampleRate, 22050);
  EXPECT_EQ(other.mode, SignalMode::Sweep);
  EXPECT_EQ(other.envelope, run.envelope);
  EXPECT_EQ(other.sweepTable.keyRate, 22050);
  EXPECT_EQ(other.sweepTable.keyCount, 44100);
  ASSERT_EQ(other.sweepTable.freq.size(), 44100u);
  EXPECT_EQ(other.sweepTable.freq[0], 10.0f);
}

TEST_F(ResultFilesTest, FilesOfTheWrongShapeAreNotResults) {
  const auto outcome = [](const QString& path) {
    const LoadedResult loaded = LoadResultFile(path);
    // Nothing of a file that is not a result comes back.
    if (!loaded.Loaded()) {
      EXPECT_EQ(loaded.result.sampleRate, 0) << path.toStdString();
      EXPECT_TRUE(loaded.result.envelope.empty()) << path.toStdString();
    }
    return loaded.outcome;
  };
  EXPECT_EQ(outcome(P("missing.fft")), LoadOutcome::Missing);
  QFile f(P("bad.fft"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray("\x44\xAC\x00\x00\x00\x02\x00\x00", 8) + QByteArray(4096, '\0'));
  f.close();
  EXPECT_EQ(outcome(P("bad.fft")), LoadOutcome::Ignored);
  WaveMMIO::WriteWavHeader(P("stereo.dat"), 0, 44100, 16, 2, 0);
  QFile s(P("stereo.dat"));
  ASSERT_TRUE(s.open(QIODevice::Append));
  s.write(QByteArray(400, '\0'));
  s.close();
  WaveMMIO::FinishWav(P("stereo.dat"), 0, 0, false);
  EXPECT_EQ(outcome(P("stereo.dat")), LoadOutcome::Ignored);
  EXPECT_EQ(outcome(P("x.txt")), LoadOutcome::Missing);
}

TEST_F(ResultFilesTest, AHeaderClaimingMoreThanTheFileHoldsIsNoResult) {
  // A header that claims nearly 2^31 frames over 10 real ones: a cut file,
  // whose curve would be a fragment taken for the whole.
  WaveMMIO::WriteWavHeader(P("liar.dat"), 0, 48000, 16, 1, 0x7FFFFFF0);
  QFile f(P("liar.dat"));
  ASSERT_TRUE(f.open(QIODevice::Append));
  f.write(QByteArray(20, '\x01'));
  f.close();
  EXPECT_EQ(LoadResultFile(P("liar.dat")).outcome, LoadOutcome::Ignored);
  // No data bytes at all: ignored.
  WaveMMIO::WriteWavHeader(P("empty.dat"), 0, 48000, 16, 1, 1000);
  EXPECT_EQ(LoadResultFile(P("empty.dat")).outcome, LoadOutcome::Ignored);
}

}  // namespace
