// What is a result file: every rule on the bytes, and the careful read.
#include "measurement/ResultFileCheck.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "measurement/MeasurementRun.h"
#include "measurement/ResultFiles.h"
#include "measurement/RunSettings.h"
#include "measurement/TestSignal.h"
#include "support/ByteOrder.h"

using namespace measurement;

namespace {

std::vector<uint8_t> Dat(uint32_t rate, uint32_t frames, uint16_t tag = 1, uint16_t channels = 1, uint16_t bits = 16) {
  std::vector<uint8_t> b(44 + 2 * size_t{frames});
  std::memcpy(b.data(), "RIFF", 4);
  basic::PutLE32(b.data() + 4, 36 + 2 * frames);
  std::memcpy(b.data() + 8, "WAVEfmt ", 8);
  basic::PutLE32(b.data() + 16, 16);
  basic::PutLE16(b.data() + 20, tag);
  basic::PutLE16(b.data() + 22, channels);
  basic::PutLE32(b.data() + 24, rate);
  basic::PutLE32(b.data() + 28, rate * channels * bits / 8);
  basic::PutLE16(b.data() + 32, channels * bits / 8);
  basic::PutLE16(b.data() + 34, bits);
  std::memcpy(b.data() + 36, "data", 4);
  basic::PutLE32(b.data() + 40, 2 * frames);
  for (uint32_t i = 0; i < frames; ++i) basic::PutLE16(b.data() + 44 + 2 * i, i);
  return b;
}

std::vector<uint8_t> Fft(uint32_t rate, float level) {
  std::vector<uint8_t> b(4104);
  basic::PutLE32(b.data(), rate);
  basic::PutLE32(b.data() + 4, 1024);
  for (int k = 0; k < 1024; ++k) {
    const float v = k == 512 ? level : 0.5f * k;
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    basic::PutLE32(b.data() + 8 + 4 * k, bits);
  }
  return b;
}

TEST(ResultFileCheck, ASpectrumHoldsARunRateAndLevelsAFullScaleCaptureCanGive) {
  const auto good = ParseFftBytes(Fft(48000, 1.0f));
  ASSERT_TRUE(good);
  EXPECT_EQ(good->rate, 48000);
  EXPECT_EQ(good->spectrum[3], 1.5f);
  EXPECT_TRUE(ParseFftBytes(Fft(8000, 0.0f)));
  EXPECT_TRUE(ParseFftBytes(Fft(192000, static_cast<float>(kMaxNoiseLevel))));
  // 2048 samples of -32768 give |Re X(0)| = 2048 x 32768; no capture gives more.
  EXPECT_NEAR(kMaxNoiseLevel, 2631720.16, 0.01);
  for (const float bad :
       {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
        -std::numeric_limits<float>::infinity(), 3e38f, -1.0f, static_cast<float>(kMaxNoiseLevel * 1.00001)})
    EXPECT_FALSE(ParseFftBytes(Fft(48000, bad))) << bad;
  for (const uint32_t rate : {0u, 1u, 7999u, 192001u, 0xFFFFFFFFu})
    EXPECT_FALSE(ParseFftBytes(Fft(rate, 1.0f))) << rate;
  auto count = Fft(48000, 1.0f);
  basic::PutLE32(count.data() + 4, 1023);
  EXPECT_FALSE(ParseFftBytes(count));
  auto longer = Fft(48000, 1.0f);
  longer.push_back(0);
  EXPECT_FALSE(ParseFftBytes(longer));
  const auto whole = Fft(48000, 1.0f);
  EXPECT_FALSE(ParseFftBytes(std::span(whole).first(4103)));
}

TEST(ResultFileCheck, AnEnvelopeIsMonoSixteenBitPcmWhoseDataFitsTheFile) {
  const auto good = ParseDatBytes(Dat(48000, 100));
  ASSERT_TRUE(good);
  EXPECT_EQ(good->rate, 48000);
  ASSERT_EQ(good->envelope.size(), 100u);
  EXPECT_EQ(good->envelope[99], 99);
  EXPECT_FALSE(ParseDatBytes(Dat(1, 100)));
  EXPECT_FALSE(ParseDatBytes(Dat(200000, 100)));
  EXPECT_FALSE(ParseDatBytes(Dat(48000, 100, 3)));        // float samples
  EXPECT_FALSE(ParseDatBytes(Dat(48000, 100, 0xFFFE)));   // extensible
  EXPECT_FALSE(ParseDatBytes(Dat(48000, 100, 1, 2)));     // stereo
  EXPECT_FALSE(ParseDatBytes(Dat(48000, 100, 1, 1, 8)));  // 8-bit
  EXPECT_FALSE(ParseDatBytes(Dat(48000, 0)));             // nothing measured
  auto magic = Dat(48000, 100);
  std::memcpy(magic.data(), "RIFX", 4);
  EXPECT_FALSE(ParseDatBytes(magic));
  auto wave = Dat(48000, 100);
  std::memcpy(wave.data() + 8, "AVI ", 4);
  EXPECT_FALSE(ParseDatBytes(wave));
  // A 1,000-byte cut of a 192 kB file: the header claims what is not there.
  const auto whole = Dat(48000, 96000);
  EXPECT_FALSE(ParseDatBytes(std::span(whole).first(1000)));
  auto odd = Dat(48000, 100);
  basic::PutLE32(odd.data() + 40, 199);
  EXPECT_FALSE(ParseDatBytes(odd));
  // 8,000 Hz for 30 s is the longest a run at that rate makes.
  EXPECT_TRUE(ParseDatBytes(Dat(8000, 240000)));
  EXPECT_FALSE(ParseDatBytes(Dat(8000, 240001)));
  // A chunk before the data is stepped over; one reaching past the end is not.
  auto extra = Dat(48000, 10);
  const uint8_t list[12] = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
  extra.insert(extra.begin() + 36, std::begin(list), std::end(list));
  basic::PutLE32(extra.data() + 4, static_cast<uint32_t>(extra.size() - 8));
  EXPECT_TRUE(ParseDatBytes(extra));
  basic::PutLE32(extra.data() + 40, 100000);
  EXPECT_FALSE(ParseDatBytes(extra));
  // Two results back to back in one file (what two writers sharing a name
  // once made) are no result; a pad byte after the RIFF chunk is allowed.
  auto twice = Dat(48000, 100);
  const auto second = Dat(48000, 100);
  twice.insert(twice.end(), second.begin(), second.end());
  EXPECT_FALSE(ParseDatBytes(twice));
  auto padded = Dat(48000, 100);
  padded.push_back(0);
  EXPECT_TRUE(ParseDatBytes(padded));
  auto shortRiff = Dat(48000, 100);
  basic::PutLE32(shortRiff.data() + 4, 100);
  EXPECT_FALSE(ParseDatBytes(shortRiff));
}

class ResultReading : public ::testing::Test {
 protected:
  QString P(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
  void Put(const char* name, const std::vector<uint8_t>& bytes) {
    QFile f(P(name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  }
  QTemporaryDir dir;
};

TEST_F(ResultReading, SpecialFilesAreRefusedWithoutBeingOpened) {
  std::vector<uint8_t> bytes;
  ASSERT_EQ(mkfifo(P("pipe.dat").toLocal8Bit().constData(), 0600), 0);
  EXPECT_EQ(ReadResultBytes(P("pipe.dat"), bytes), ReadOutcome::NotRegular);  // a blocking read would hang here
  QDir(dir.path()).mkdir("01.dat");
  EXPECT_EQ(ReadResultBytes(P("01.dat"), bytes), ReadOutcome::NotRegular);
  EXPECT_EQ(ReadResultBytes(P("missing.dat"), bytes), ReadOutcome::Missing);
  EXPECT_EQ(LoadResultFile(P("pipe.dat")).outcome, LoadOutcome::Ignored);
  EXPECT_EQ(LoadResultFile(P("01.dat")).outcome, LoadOutcome::Ignored);
}

TEST_F(ResultReading, AHugeFileIsRefusedBeforeAByteIsRead) {
  QFile sparse(P("huge.dat"));
  ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
  const auto head = Dat(48000, 0);
  sparse.write(reinterpret_cast<const char*>(head.data()), 44);
  ASSERT_TRUE(sparse.resize(qint64{1} << 30));
  sparse.close();
  // The size alone decides: nothing is read.
  std::vector<uint8_t> bytes;
  EXPECT_EQ(ReadResultBytes(P("huge.dat"), bytes), ReadOutcome::TooLarge);
  EXPECT_TRUE(bytes.empty());
  // One byte over the longest run's file, and exactly it.
  Put("over.dat", std::vector<uint8_t>(static_cast<size_t>(kMaxResultFileBytes) + 1));
  EXPECT_EQ(ReadResultBytes(P("over.dat"), bytes), ReadOutcome::TooLarge);
  Put("longest.dat", Dat(192000, 192000 * 30));
  EXPECT_EQ(ReadResultBytes(P("longest.dat"), bytes), ReadOutcome::Read);
  const LoadedResult longest = LoadResultFile(P("longest.dat"));
  EXPECT_EQ(longest.outcome, LoadOutcome::Sweep);
  EXPECT_EQ(longest.result.envelope.size(), size_t{192000} * 30);
}

TEST_F(ResultReading, ABadFileGivesNoResultAtAll) {
  Put("good.fft", Fft(44100, 2.0f));
  const LoadedResult good = LoadResultFile(P("good.fft"));
  ASSERT_EQ(good.outcome, LoadOutcome::Noise);
  EXPECT_EQ(good.result.sampleRate, 44100);
  EXPECT_EQ(good.result.spectrum.values[512], 2.0f);
  EXPECT_EQ(good.result.spectrum.values[1024], good.result.spectrum.values[1023]);
  Put("bad.fft", Fft(48000, std::numeric_limits<float>::infinity()));
  const LoadedResult bad = LoadResultFile(P("bad.fft"));
  EXPECT_EQ(bad.outcome, LoadOutcome::Ignored);
  EXPECT_EQ(bad.result.sampleRate, 0);
  EXPECT_FALSE(bad.Loaded());
}

TEST(RunSettingsBounds, TheWaitBeforeCaptureIsAtMostOneSecond) {
  EXPECT_EQ(BufferDelayMs(20000, 0), 1000);
  EXPECT_EQ(BufferDelayMs(-5, 0), 0);
  EXPECT_EQ(BufferDelayMs(0, 2), 140);
  EXPECT_EQ(BufferDelayMs(0, 1000000), 1000);
  EXPECT_EQ(BufferDelayMs(250, 1), 250);
}

}  // namespace
