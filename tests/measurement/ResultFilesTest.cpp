#include "measurement/ResultFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "audio/WaveMMIO.h"
#include "measurement/MeasurementRun.h"
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
  MeasurementRun run;
};

TEST_F(ResultFilesTest, ANoiseResultIs4104Bytes) {
  run.m_Mode = kModeNoise;
  run.m_SampleRate = 44100;
  for (int k = 0; k < 1025; ++k) run.m_Spectrum.values[static_cast<size_t>(k)] = static_cast<float>(k) * 0.5f;
  ASSERT_TRUE(SaveResultFile(P("01.fft"), run));
  const QByteArray b = Bytes(P("01.fft"));
  ASSERT_EQ(b.size(), 4104);
  EXPECT_EQ(b.left(8), QByteArray("\x44\xAC\x00\x00\x00\x04\x00\x00", 8));
  MeasurementRun other;
  other.m_Spectrum.values[1024] = 99;
  ASSERT_EQ(LoadResultFile(P("01.fft"), other), LoadOutcome::Noise);
  EXPECT_EQ(other.m_SampleRate, 44100);
  EXPECT_EQ(other.m_Mode, kModeNoise);
  EXPECT_EQ(other.m_Spectrum.values[1023], 511.5f);
  EXPECT_EQ(other.m_Spectrum.values[1024], 511.5f);  // no stale value at the last bin
}

TEST_F(ResultFilesTest, ASweepResultIsAMonoWav) {
  run.m_Mode = kModeSweep;
  run.m_SampleRate = 48000;
  run.m_TotalFrames = 480000;
  run.m_SweepLevel.assign(480000, 1234);
  ASSERT_TRUE(SaveResultFile(P("02.dat"), run));
  const QByteArray b = Bytes(P("02.dat"));
  ASSERT_EQ(b.size(), 44 + 960000);
  const auto u32 = [&](int at) { return *reinterpret_cast<const uint32_t*>(b.constData() + at); };
  EXPECT_EQ(u32(4), 960036u);
  EXPECT_EQ(u32(40), 960000u);
}

TEST_F(ResultFilesTest, LoadingASweepSetsTheRateAndItsTable) {
  run.m_Mode = kModeSweep;
  run.m_SampleRate = 22050;
  run.m_TotalFrames = 44100;
  run.m_SweepLevel.assign(44100, 777);
  ASSERT_TRUE(SaveResultFile(P("03.dat"), run));
  MeasurementRun other;
  other.m_Mode = kModeNoise;
  ASSERT_EQ(LoadResultFile(P("03.dat"), other), LoadOutcome::Sweep);
  EXPECT_EQ(other.m_SampleRate, 22050);
  EXPECT_EQ(other.m_Mode, kModeSweep);
  EXPECT_EQ(other.m_SweepLevelCount, 44100);
  EXPECT_EQ(other.m_SweepLevel[100], 777);
  EXPECT_EQ(other.m_Sweep.keyRate, 22050);
  EXPECT_EQ(other.m_Sweep.freq[0], 10.0f);
}

TEST_F(ResultFilesTest, FilesOfTheWrongShapeChangeNothing) {
  MeasurementRun other;
  other.m_SampleRate = 8000;
  EXPECT_EQ(LoadResultFile(P("missing.fft"), other), LoadOutcome::Missing);
  QFile f(P("bad.fft"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray("\x44\xAC\x00\x00\x00\x02\x00\x00", 8) + QByteArray(4096, '\0'));
  f.close();
  EXPECT_EQ(LoadResultFile(P("bad.fft"), other), LoadOutcome::Ignored);
  WaveMMIO::WriteWavHeader(P("stereo.dat"), 0, 44100, 16, 2, 0);
  QFile s(P("stereo.dat"));
  ASSERT_TRUE(s.open(QIODevice::Append));
  s.write(QByteArray(400, '\0'));
  s.close();
  WaveMMIO::FinishWav(P("stereo.dat"), 0, 0, 0);
  EXPECT_EQ(LoadResultFile(P("stereo.dat"), other), LoadOutcome::Ignored);
  EXPECT_EQ(other.m_SampleRate, 8000);
  EXPECT_EQ(LoadResultFile(P("x.txt"), other), LoadOutcome::Missing);
}

TEST_F(ResultFilesTest, AHeaderClaimingMoreThanTheFileHoldsIsNoResult) {
  // A header that claims nearly 2^31 frames over 10 real ones: a cut file,
  // whose curve would be a fragment taken for the whole.
  WaveMMIO::WriteWavHeader(P("liar.dat"), 0, 48000, 16, 1, 0x7FFFFFF0);
  QFile f(P("liar.dat"));
  ASSERT_TRUE(f.open(QIODevice::Append));
  f.write(QByteArray(20, '\x01'));
  f.close();
  MeasurementRun other;
  EXPECT_EQ(LoadResultFile(P("liar.dat"), other), LoadOutcome::Ignored);
  EXPECT_EQ(other.m_SweepLevelCount, 0);
  // No data bytes at all: ignored.
  WaveMMIO::WriteWavHeader(P("empty.dat"), 0, 48000, 16, 1, 1000);
  EXPECT_EQ(LoadResultFile(P("empty.dat"), other), LoadOutcome::Ignored);
}

}  // namespace
