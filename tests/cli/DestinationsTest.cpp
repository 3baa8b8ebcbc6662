// Where the command line writes, and what it reads: every destination is
// checked before a device opens, special files are never replaced or read,
// and a file is a result only when it holds one.
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>

#include "tests/cli/TimedRun.h"
#include "tests/cli/ZarinProcess.h"
#include "support/ByteOrder.h"

using zarin_test::RunZarin;

namespace {

QByteArray Bytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void Put(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(f.write(bytes), bytes.size());
}

// A mono 16-bit WAV file as a sweep run stores it, with fields to spoil.
QByteArray Dat(uint32_t rate, uint32_t frames, uint16_t tag = 1, uint16_t channels = 1, uint16_t bits = 16) {
  QByteArray b(44 + 2 * static_cast<int>(frames), '\0');
  auto* p = reinterpret_cast<uint8_t*>(b.data());
  std::memcpy(p, "RIFF", 4);
  basic::PutLE32(p + 4, 36 + 2 * frames);
  std::memcpy(p + 8, "WAVEfmt ", 8);
  basic::PutLE32(p + 16, 16);
  basic::PutLE16(p + 20, tag);
  basic::PutLE16(p + 22, channels);
  basic::PutLE32(p + 24, rate);
  basic::PutLE32(p + 28, rate * channels * bits / 8);
  basic::PutLE16(p + 32, channels * bits / 8);
  basic::PutLE16(p + 34, bits);
  std::memcpy(p + 36, "data", 4);
  basic::PutLE32(p + 40, 2 * frames);
  for (uint32_t i = 0; i < frames; ++i) basic::PutLE16(p + 44 + 2 * i, 1000);
  return b;
}

QByteArray Fft(uint32_t rate, float level, uint32_t count = 1024) {
  QByteArray b(4104, '\0');
  auto* p = reinterpret_cast<uint8_t*>(b.data());
  basic::PutLE32(p, rate);
  basic::PutLE32(p + 4, count);
  uint32_t bits;
  std::memcpy(&bits, &level, 4);
  for (int k = 0; k < 1024; ++k) basic::PutLE32(p + 8 + 4 * k, k == 100 ? bits : 0x3F800000u);
  return b;
}

class Destinations : public ::testing::Test {
 protected:
  QString F(const QString& name) const { return dir.filePath(name); }
  QStringList Measure(const QStringList& more) const {
    return clitest::SimulatorMeasure("8000", dir.path(), QStringList{"--mode", "noise"} + more);
  }
  // Refused with a message before anything ran: no result file appeared.
  void ExpectRefused(const QStringList& args, const char* says) {
    const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    const zarin_test::Finished o = RunZarin(args, 60000);
    EXPECT_EQ(o.status, 1) << args.join(' ').toStdString();
    EXPECT_TRUE(o.err.contains(QString::fromUtf8(says))) << o.err.toStdString();
    EXPECT_TRUE(o.out.isEmpty()) << o.out.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot), before)
        << args.join(' ').toStdString();
  }
  QTemporaryDir dir;
};

TEST_F(Destinations, SpecialFilesAreNeverReplaced) {
  ASSERT_EQ(mkfifo(F("pipe").toLocal8Bit().constData(), 0600), 0);
  ExpectRefused(Measure({"--csv", F("pipe")}), "not a regular file");
  ExpectRefused({"export", F("nothing.dat"), "--csv", "/dev/null"}, "not a regular file");
  struct stat st {};
  ASSERT_EQ(stat(F("pipe").toLocal8Bit().constData(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  ASSERT_EQ(symlink(F("gone").toLocal8Bit().constData(), F("dangling.csv").toLocal8Bit().constData()), 0);
  ExpectRefused(Measure({"--csv", F("dangling.csv")}), "link to nothing");
  EXPECT_FALSE(QFile::exists(F("gone")));
}

TEST_F(Destinations, EveryDestinationIsCheckedBeforeTheRun) {
  QDir(dir.path()).mkdir("ro");
  ASSERT_EQ(chmod(F("ro").toLocal8Bit().constData(), 0555), 0);
  if (access(F("ro").toLocal8Bit().constData(), W_OK) != 0)  // root writes anywhere
    ExpectRefused(Measure({"--csv", F("ro/c.csv")}), "ro/c.csv");
  ExpectRefused(Measure({"--csv", F(QString(300, 'c'))}), "File name too long");
  ExpectRefused(Measure({"--csv", F("01.fft")}), "run's own result");
  ExpectRefused(Measure({"--csv", F("7.DAT")}), "run's own result");
  ExpectRefused(Measure({"--csv", F("same.png"), "--png", F("same.png")}), "same file");
  ExpectRefused(Measure({"--png", F("picture.jpg")}), "ending in .png");
  ExpectRefused(Measure({"--png-size", "800x400"}), "--png");
  Put(F("r.fft"), Fft(48000, 1.0f));
  ExpectRefused({"export", F("r.fft"), "--csv", F("r.fft")}, "being read");
  EXPECT_EQ(Bytes(F("r.fft")), Fft(48000, 1.0f));
}

// What a sweep result is made of (the result, its response and its record)
// is never an output's destination, nor are the recordings analysed.
TEST_F(Destinations, NoOutputLandsOnAResultItsSideFilesOrTheRecordings) {
  const zarin_test::Finished run = RunZarin(clitest::SimulatorMeasure("8000", dir.path(), {"--mode", "sweep"}), 120000);
  ASSERT_EQ(run.status, 0) << run.err.toStdString();
  QByteArray kept[3];
  const QString files[3] = {F("01.dat"), F("01.ir.wav"), F("01.json")};
  for (int i = 0; i < 3; ++i) kept[i] = Bytes(files[i]);
  ASSERT_FALSE(kept[1].isEmpty());
  ExpectRefused({"export", F("01.dat"), "--frd", F("01.dat")}, "being read");
  ExpectRefused({"export", F("01.dat"), "--distortion", F("01.json")}, "side file");
  ExpectRefused({"export", F("01.dat"), "--ir", F("01.ir.wav")}, "side file");
  ExpectRefused({"export", F("01.dat"), "--csv", F("01.json")}, "side file");
  ExpectRefused({"export", F("01.dat"), "--frd", F("out.txt"), "--distortion", F("out.txt")}, "same file");
  ExpectRefused(Measure({"--csv", F("02.json")}), "run's own result");
  ExpectRefused(Measure({"--csv", F("03.IR.wav")}), "run's own result");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Bytes(files[i]), kept[i]) << files[i].toStdString();
  Put(F("played.wav"), "RIFF");
  Put(F("take.wav"), "RIFF");
  const QStringList analyse{"analyse",     "--played", F("played.wav"), "--captured",
                            F("take.wav"), "--folder", dir.path()};
  ExpectRefused(analyse + QStringList{"--ir", F("take.wav")}, "being read");
  ExpectRefused(analyse + QStringList{"--csv", F("played.wav")}, "being read");
  ExpectRefused(analyse + QStringList{"--frd", F("02.dat")}, "run's own result");
  ExpectRefused(analyse + QStringList{"--distortion", F("02.json")}, "run's own result");
  EXPECT_EQ(Bytes(F("take.wav")), QByteArray("RIFF"));
}

TEST_F(Destinations, ADashSendsTheCsvToStandardOutput) {
  Put(F("r.fft"), Fft(48000, 1.0f));
  const zarin_test::Finished o = RunZarin({"export", F("r.fft"), "--csv", "-", "--png", F("r.png")});
  ASSERT_EQ(o.status, 0) << o.err.toStdString();
  EXPECT_TRUE(o.out.startsWith("frequency_hz,")) << o.out.left(80).toStdString();
  EXPECT_FALSE(QFile::exists(F("-")));
  EXPECT_TRUE(QFile::exists(F("r.png")));
}

// Standard output sent to a file by the shell, and named as the CSV's
// destination: the CSV is appended to it, never put in a new file in its
// place (which would drop what was written there before).
TEST_F(Destinations, StandardOutputByAnyNameIsWrittenToNotReplaced) {
  Put(F("r.fft"), Fft(48000, 1.0f));
  for (const QString& name : {QStringLiteral("/dev/stdout"), QStringLiteral("/proc/self/fd/1"), F("log.txt")}) {
    Put(F("log.txt"), "kept line\n");
    struct stat before {
    }, after{};
    ASSERT_EQ(::stat(QFile::encodeName(F("log.txt")).constData(), &before), 0);
    QProcess p;
    p.setStandardOutputFile(F("log.txt"), QIODevice::Append);
    p.start(QStringLiteral(ZARIN_EXE), {"export", F("r.fft"), "--csv", name});
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << name.toStdString() << p.readAllStandardError().toStdString();
    ASSERT_EQ(::stat(QFile::encodeName(F("log.txt")).constData(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino) << name.toStdString();
    const QByteArray text = Bytes(F("log.txt"));
    EXPECT_TRUE(text.startsWith("kept line\nfrequency_hz,")) << name.toStdString() << text.left(60).toStdString();
  }
  // A picture is no text to mix into standard output.
  QProcess p;
  p.setStandardOutputFile(F("pic.png"));
  p.start(QStringLiteral(ZARIN_EXE), {"export", F("r.fft"), "--png", F("pic.png")});
  ASSERT_TRUE(p.waitForFinished(120000));
  EXPECT_EQ(p.exitCode(), 1);
  EXPECT_TRUE(p.readAllStandardError().contains("standard output"));
}

TEST_F(Destinations, NumericDeviceIdsAreExactIntegers) {
  for (const char* id : {"99999999999", "1e10", "-0.4", "0.6", "-1"})
    ExpectRefused(Measure({"--output-device", id}), "no output device");
}

TEST_F(Destinations, BadResultFilesAreNotResultFiles) {
  const QByteArray good = Dat(48000, 96000);
  QByteArray noMagic = good;
  noMagic.replace(0, 4, "JUNK");
  struct Case {
    const char* name;
    QByteArray bytes;
  };
  const std::vector<Case> corpus = {
      {"rate0.fft", Fft(0, 1.0f)},
      {"nan.fft", Fft(48000, std::numeric_limits<float>::quiet_NaN())},
      {"inf.fft", Fft(48000, std::numeric_limits<float>::infinity())},
      {"minusinf.fft", Fft(48000, -std::numeric_limits<float>::infinity())},
      {"huge.fft", Fft(48000, 3e38f)},
      {"negative.fft", Fft(48000, -1.0f)},
      {"count.fft", Fft(48000, 1.0f, 1023)},
      {"long.fft", Fft(48000, 1.0f) + QByteArray(4, '\0')},
      {"rate1.dat", Dat(1, 100)},
      {"magic.dat", noMagic},
      {"float.dat", Dat(48000, 100, 3)},
      {"stereo.dat", Dat(48000, 100, 1, 2)},
      {"cut.dat", good.left(1000)},
      {"empty.dat", QByteArray()},
  };
  for (const Case& c : corpus) {
    Put(F(c.name), c.bytes);
    const zarin_test::Finished o = RunZarin({"export", F(c.name), "--csv", F("out.csv")});
    EXPECT_EQ(o.status, 1) << c.name;
    EXPECT_TRUE(o.err.contains("not a result file")) << c.name << ": " << o.err.toStdString();
    EXPECT_FALSE(QFile::exists(F("out.csv"))) << c.name;
  }
  // The good ones they were made from are.
  Put(F("good.dat"), good);
  EXPECT_EQ(RunZarin({"export", F("good.dat"), "--csv", F("out.csv")}).status, 0);
  Put(F("good.fft"), Fft(48000, 1.0f));
  EXPECT_EQ(RunZarin({"export", F("good.fft"), "--csv", F("out.csv")}).status, 0);
}

TEST_F(Destinations, SpecialAndHugeFilesAreRefusedWithoutBeingRead) {
  ASSERT_EQ(mkfifo(F("pipe.dat").toLocal8Bit().constData(), 0600), 0);
  // A FIFO nobody writes: reading it would wait forever.
  zarin_test::Finished o = RunZarin({"export", F("pipe.dat")}, 30000);
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.err.contains("not a result file")) << o.err.toStdString();
  QFile sparse(F("huge.dat"));
  ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
  const QByteArray head = Dat(48000, 0);
  sparse.write(head);
  ASSERT_TRUE(sparse.resize(qint64{1} << 30));
  sparse.close();
  o = RunZarin({"export", F("huge.dat")}, 30000);
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.err.contains("not a result file")) << o.err.toStdString();
}

}  // namespace
