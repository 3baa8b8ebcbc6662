#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "audio/WaveMMIO.h"
#include "support/FileHandle.h"

using namespace WaveMMIO;

namespace {

QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
uint32_t U32(const QByteArray& b, int at) {
  return static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8) |
         (static_cast<uint8_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24);
}
uint16_t U16(const QByteArray& b, int at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | (static_cast<uint8_t>(b[at + 1]) << 8));
}

class WavTest : public ::testing::Test {
 protected:
  QString P(const char* name) { return dir.filePath(name); }
  QTemporaryDir dir;
};

TEST_F(WavTest, PlainHeaderAndFinish) {
  const QString p = P("a.wav");
  ASSERT_EQ(WriteWavHeader(p, 0, 44100, 16, 1, 0), 1);
  const QByteArray data(2000, '\x01');
  ASSERT_EQ(basic::WriteFileAt(data.constData(), 2000, -1, 0, p, true), 1);
  ASSERT_EQ(FinishWav(p, 0, 0, false), 1);
  const QByteArray b = Bytes(p);
  ASSERT_EQ(b.size(), 2044);
  EXPECT_EQ(b.left(4), "RIFF");
  EXPECT_EQ(U32(b, 4), 2036u);
  EXPECT_EQ(b.mid(8, 8), "WAVEfmt ");
  EXPECT_EQ(U16(b, 20), 1);
  EXPECT_EQ(U32(b, 28), 88200u);
  EXPECT_EQ(U16(b, 32), 2);
  EXPECT_EQ(b.mid(36, 4), "data");
  EXPECT_EQ(U32(b, 40), 2000u);
  const WavInfo info = ReadWavInfo(p, 0);
  EXPECT_EQ(info.valid, 1);
  EXPECT_EQ(info.frames, 1000);
  EXPECT_EQ(info.dataOffset, 44);
  EXPECT_EQ(info.formatCode, 2);
  EXPECT_EQ(WavFormatName(info.formatCode), "Mono16bit");
}

TEST_F(WavTest, ExtensibleHeaderForSurround) {
  const QString p = P("s.wav");
  ASSERT_EQ(WriteWavHeader(p, 0, 48000, 24, 6, 0), 1);
  const QByteArray b = Bytes(p);
  ASSERT_EQ(b.size(), 68);
  EXPECT_EQ(U32(b, 16), 40u);
  EXPECT_EQ(U16(b, 20), 0xFFFE);
  EXPECT_EQ(U32(b, 40), 63u);
  EXPECT_EQ(b.mid(60, 4), "data");
  EXPECT_EQ(static_cast<uint8_t>(b[44]), 1);
  EXPECT_EQ(static_cast<uint8_t>(b[59]), 0x71);
  EXPECT_EQ(ReadWavInfo(p, 0).formatCode, 8);
  ASSERT_EQ(WriteWavHeader(p, 0, 48000, 16, 8, 0), 1);
  EXPECT_EQ(U32(Bytes(p), 40), 255u);
}

TEST_F(WavTest, FinishWithTrailingBytes) {
  const QString p = P("t.wav");
  WriteWavHeader(p, 0, 8000, 16, 1, 0);
  const QByteArray data(1000, '\0');
  basic::WriteFileAt(data.constData(), 1000, -1, 0, p, true);
  ASSERT_EQ(FinishWav(p, 0, 4, false), 1);
  EXPECT_EQ(U32(Bytes(p), 40), 996u);
  EXPECT_EQ(FinishWav(P("missing.wav"), 0, 0, false), 0);
  QFile small(P("small.wav"));
  ASSERT_TRUE(small.open(QIODevice::WriteOnly));
  small.write("RIFF0000WAVE");
  small.close();
  EXPECT_EQ(FinishWav(P("small.wav"), 0, 0, false), 0);  // shorter than 44 bytes: untouched
}

// Builds a file of chunks after "RIFF" size "WAVE".
QByteArray Riff(const QList<QByteArray>& chunks) {
  QByteArray body = "WAVE";
  for (const QByteArray& c : chunks) body += c;
  QByteArray out = "RIFF";
  const uint32_t size = static_cast<uint32_t>(body.size());
  out += QByteArray(reinterpret_cast<const char*>(&size), 4) + body;
  return out;
}
QByteArray Chunk(const char* id, const QByteArray& payload) {
  const uint32_t size = static_cast<uint32_t>(payload.size());
  QByteArray c = QByteArray(id, 4) + QByteArray(reinterpret_cast<const char*>(&size), 4) + payload;
  if (size & 1) c += '\0';
  return c;
}
QByteArray Fmt(uint16_t channels, uint32_t rate, uint16_t bits) {
  QByteArray f(16, '\0');
  const uint16_t tag = 1, align = static_cast<uint16_t>(bits * channels / 8);
  const uint32_t avg = rate * align;
  memcpy(f.data(), &tag, 2);
  memcpy(f.data() + 2, &channels, 2);
  memcpy(f.data() + 4, &rate, 4);
  memcpy(f.data() + 8, &avg, 4);
  memcpy(f.data() + 12, &align, 2);
  memcpy(f.data() + 14, &bits, 2);
  return f;
}

TEST_F(WavTest, TheScanStepsOverOddChunksAndRejectsOddFormats) {
  const QString p = P("odd.wav");
  QFile f(p);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(Riff(
      {Chunk("LIST", QByteArray(7, 'x')), Chunk("fmt ", Fmt(1, 48000, 16)), Chunk("data", QByteArray(960000, '\0'))}));
  f.close();
  const WavInfo info = ReadWavInfo(p, 0);
  EXPECT_EQ(info.valid, 1);
  EXPECT_EQ(info.frames, 480000);
  EXPECT_EQ(info.durationMs, 10000);
  EXPECT_EQ(info.formatCode, 2);
  EXPECT_EQ(info.dataOffset, 12 + 16 + 24 + 8);
  EXPECT_EQ(FindChunk(p, 0, "data", 0), 12 + 16 + 24);
  EXPECT_EQ(FindChunk(p, 0, "data", 1), -1);

  QFile g(P("12bit.wav"));
  ASSERT_TRUE(g.open(QIODevice::WriteOnly));
  g.write(Riff({Chunk("fmt ", Fmt(2, 48000, 12)), Chunk("data", QByteArray(100, '\0'))}));
  g.close();
  EXPECT_EQ(ReadWavInfo(P("12bit.wav"), 0).valid, 0);
  EXPECT_EQ(ReadWavInfo(P("missing.wav"), 0).valid, 0);
}

// Found by fuzzing: 75 Hz, 8-bit mono, a data chunk claiming 2.1e9 bytes.
TEST_F(WavTest, AVeryLongDurationStopsAtTheLargestValue) {
  const QString p = P("long.wav");
  QFile f(p);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray::fromBase64("Ukn4ECR9AABXQVZFZm10IBAAAAABAAEASwAAAAAAAAACAAgAZGF0YXMAAI0AjQA="));
  f.close();
  const WavInfo info = ReadWavInfo(p, 0);
  EXPECT_EQ(info.valid, 1);
  EXPECT_EQ(info.rate, 75);
  EXPECT_EQ(info.durationMs, 2147483647);
}

}  // namespace
