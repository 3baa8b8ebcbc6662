#include "audio/PcmWav.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "support/ByteOrder.h"

using WaveMMIO::PcmAudio;
using WaveMMIO::StereoSample;

namespace {

// A WAV file's bytes: a format chunk (plain, or extensible with the given
// sub-format tag), any chunk before the data, and the data.
std::vector<uint8_t> Wav(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                         const std::vector<uint8_t>& data, bool extensible = false,
                         uint32_t declaredData = UINT32_MAX) {
  std::vector<uint8_t> b(12);
  std::memcpy(b.data(), "RIFF", 4);
  std::memcpy(b.data() + 8, "WAVE", 4);
  const auto chunk = [&](const char* id, const std::vector<uint8_t>& body, uint32_t declared) {
    const size_t at = b.size();
    b.resize(at + 8);
    std::memcpy(b.data() + at, id, 4);
    basic::PutLE32(b.data() + at + 4, declared);
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1) b.push_back(0);
  };
  std::vector<uint8_t> fmt(extensible ? 40 : 16);
  basic::PutLE16(fmt.data(), extensible ? 0xFFFE : tag);
  basic::PutLE16(fmt.data() + 2, channels);
  basic::PutLE32(fmt.data() + 4, rate);
  basic::PutLE32(fmt.data() + 8, rate * channels * bits / 8);
  basic::PutLE16(fmt.data() + 12, channels * bits / 8);
  basic::PutLE16(fmt.data() + 14, bits);
  if (extensible) {
    basic::PutLE16(fmt.data() + 16, 22);
    basic::PutLE16(fmt.data() + 18, bits);
    basic::PutLE16(fmt.data() + 24, tag);
  }
  chunk("fmt ", fmt, static_cast<uint32_t>(fmt.size()));
  chunk("LIST", {'I', 'N', 'F', 'O', 'x'}, 5);  // an odd-sized chunk before the data
  chunk("data", data, declaredData == UINT32_MAX ? static_cast<uint32_t>(data.size()) : declaredData);
  basic::PutLE32(b.data() + 4, static_cast<uint32_t>(b.size() - 8));
  return b;
}

class PcmWavTest : public ::testing::Test {
 protected:
  QString Write(const std::vector<uint8_t>& bytes) {
    const QString path = dir.filePath(QStringLiteral("f%1.wav").arg(++count));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path;
  }
  bool Read(const std::vector<uint8_t>& bytes, PcmAudio& audio, QString& error) {
    return WaveMMIO::ReadPcmWav(Write(bytes), audio, error);
  }
  QTemporaryDir dir;
  int count = 0;
};

}  // namespace

TEST_F(PcmWavTest, SixteenBitStereoRoundTrips) {
  const std::vector<StereoSample> frames = {{0, 1}, {-32768, 32767}, {1234, -4321}};
  const QString path = dir.filePath("s.wav");
  ASSERT_TRUE(WaveMMIO::WriteStereo16Wav(path, 44100, frames));
  EXPECT_EQ(QFile(path).size(), 44 + 12);
  PcmAudio audio;
  QString error;
  ASSERT_TRUE(WaveMMIO::ReadPcmWav(path, audio, error)) << error.toStdString();
  EXPECT_EQ(audio.rate, 44100);
  EXPECT_EQ(audio.channels, 2);
  EXPECT_EQ(audio.bits, 16);
  ASSERT_EQ(audio.frames.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(audio.frames[i].Left, frames[i].Left);
    EXPECT_EQ(audio.frames[i].Right, frames[i].Right);
  }
  EXPECT_FALSE(WaveMMIO::WriteStereo16Wav(dir.filePath("none/s.wav"), 44100, frames));
}

TEST_F(PcmWavTest, WiderAndFloatSamplesBecomeSixteenBits) {
  PcmAudio a;
  QString error;
  // 24-bit mono: 0x123456 is 4660.3 in 16 bits, -1 rounds to 0, the most negative stays so.
  ASSERT_TRUE(Read(Wav(1, 1, 48000, 24, {0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80}), a, error));
  ASSERT_EQ(a.frames.size(), 3u);
  EXPECT_EQ(a.frames[0].Left, 4660);
  EXPECT_EQ(a.frames[0].Right, 4660);  // mono on both sides
  EXPECT_EQ(a.frames[1].Left, 0);
  EXPECT_EQ(a.frames[2].Left, -32768);
  // 32-bit integer stereo.
  std::vector<uint8_t> d(8);
  basic::PutLE32(d.data(), 0x7FFFFFFF);
  basic::PutLE32(d.data() + 4, static_cast<uint32_t>(-65536 * 100));
  ASSERT_TRUE(Read(Wav(1, 2, 96000, 32, d), a, error));
  EXPECT_EQ(a.frames[0].Left, 32767);
  EXPECT_EQ(a.frames[0].Right, -100);
  // 32-bit float, plain and extensible: 0.5, beyond full scale, not a number.
  std::vector<uint8_t> f(12);
  const float values[3] = {0.5f, -1.5f, NAN};
  for (int i = 0; i < 3; ++i) {
    uint32_t u;
    std::memcpy(&u, &values[i], 4);
    basic::PutLE32(f.data() + 4 * i, u);
  }
  for (const bool extensible : {false, true}) {
    ASSERT_TRUE(Read(Wav(3, 1, 44100, 32, f, extensible), a, error)) << error.toStdString();
    EXPECT_TRUE(a.floating);
    ASSERT_EQ(a.frames.size(), 3u);
    EXPECT_EQ(a.frames[0].Left, 16384);  // 0.5 * 32767, rounded half to even
    EXPECT_EQ(a.frames[1].Left, -32768);
    EXPECT_EQ(a.frames[2].Left, 0);
  }
}

TEST_F(PcmWavTest, ARecordingCutShortRunsToTheEndOfTheFile) {
  PcmAudio a;
  QString error;
  const std::vector<uint8_t> data = {1, 0, 2, 0, 3, 0, 4, 0};
  for (const uint32_t declared : {0u, 4000u}) {
    ASSERT_TRUE(Read(Wav(1, 1, 8000, 16, data, false, declared), a, error)) << declared;
    ASSERT_EQ(a.frames.size(), 4u) << declared;
    EXPECT_EQ(a.frames[3].Left, 4);
  }
}

TEST_F(PcmWavTest, BadFilesAreRefusedWithAReason) {
  PcmAudio a;
  QString error;
  const std::vector<uint8_t> two = {0, 0, 0, 0};
  const struct {
    std::vector<uint8_t> bytes;
    const char* says;
  } cases[] = {
      {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '}, "not a WAV"},
      {{}, "not a WAV"},
      {Wav(1, 1, 8000, 8, two), "8-bit"},
      {Wav(2, 1, 8000, 4, two), "compressed"},
      {Wav(3, 1, 8000, 64, std::vector<uint8_t>(16)), "64-bit float"},
      {Wav(1, 3, 8000, 16, std::vector<uint8_t>(6)), "3 channels"},
      {Wav(1, 1, 8000, 16, {}), "no sound"},
      {Wav(1, 1, 0, 16, two), "broken format"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(Read(c.bytes, a, error)) << c.says;
    EXPECT_TRUE(error.contains(QLatin1String(c.says))) << error.toStdString() << " / " << c.says;
    EXPECT_TRUE(a.frames.empty());
  }
  // A format chunk whose block size disagrees with its samples.
  std::vector<uint8_t> odd = Wav(1, 2, 8000, 16, two);
  basic::PutLE16(odd.data() + 12 + 8 + 12, 3);
  EXPECT_FALSE(Read(odd, a, error));
  // No data chunk at all, and a chunk claiming more than the file holds.
  std::vector<uint8_t> cut = Wav(1, 1, 8000, 16, two);
  cut.resize(12 + 8 + 16);
  EXPECT_FALSE(Read(cut, a, error));
  basic::PutLE32(cut.data() + 16, 0xFFFFFFF0u);
  EXPECT_FALSE(Read(cut, a, error));
  EXPECT_FALSE(WaveMMIO::ReadPcmWav(dir.filePath("missing.wav"), a, error));
}
