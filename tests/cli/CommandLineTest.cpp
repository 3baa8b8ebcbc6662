// The command line as a user runs it: the real executable, with no display
// and no platform chosen, its settings in this test's own folder.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

#include "audio/LoopbackSim.h"
#include "measurement/GraphScale.h"
#include "measurement/ImpulseResponse.h"
#include "measurement/Responses.h"
#include "measurement/SideFiles.h"
#include "measurement/TestSignal.h"
#include "support/Settings.h"
#include "support/Surface.h"
#include "tests/cli/ZarinProcess.h"

namespace {

using clitest::Outcome;

// platform: what QT_QPA_PLATFORM says (none by default); never a display.
Outcome Zarin(const QStringList& args, const QString& platform = QString()) {
  QProcessEnvironment env = clitest::WithoutDisplay();
  if (!platform.isEmpty()) env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
  return clitest::Run(QStringLiteral(ZARIN_EXE), args, env);
}

QString Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The level of the CSV's point nearest to a frequency.
double LevelNear(const QString& csv, double frequency) {
  double best = 1e300, level = NAN;
  const QStringList lines = csv.split('\n', Qt::SkipEmptyParts);
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QStringList cells = lines[i].split(',');
    if (cells.size() < 2) continue;
    const double f = cells[0].toDouble(), d = std::abs(std::log(f / frequency));
    if (d < best) {
      best = d;
      level = cells[1].toDouble();
    }
  }
  return level;
}

class CommandLineTest : public ::testing::Test {
 protected:
  QString F(const QString& name) const { return dir.filePath(name); }
  QStringList Measure(const QStringList& more) const { return clitest::SimulatorMeasure("48000", dir.path(), more); }
  QTemporaryDir dir;
};

TEST_F(CommandLineTest, DevicesListsTheSimulatorOnBothSides) {
  // A desktop's platform carried into a session without a display changes nothing.
  EXPECT_EQ(Zarin({"devices"}, "xcb").status, 0);
  const Outcome o = Zarin({"devices"});
  ASSERT_EQ(o.status, 0) << o.err.toStdString();
  const QStringList lines = o.out.split('\n', Qt::SkipEmptyParts);
  const qsizetype out = lines.indexOf(QStringLiteral("output\tLoopback simulator"));
  const qsizetype in = lines.indexOf(QStringLiteral("input\tLoopback simulator"));
  ASSERT_GE(out, 0) << o.out.toStdString();
  ASSERT_GT(in, out);
  for (qsizetype i = 0; i < lines.size(); ++i)
    EXPECT_TRUE(lines[i].startsWith(i <= out ? "output\t" : "input\t")) << lines[i].toStdString();
}

TEST_F(CommandLineTest, ASweepIsMeasuredStoredAlignedAndExported) {
  const Outcome o = Zarin(Measure({"--csv", F("sweep.csv"), "--png", F("sweep.png")}));
  ASSERT_EQ(o.status, 0) << o.err.toStdString();
  const QStringList lines = o.out.split('\n', Qt::SkipEmptyParts);
  ASSERT_GE(lines.size(), 3) << o.out.toStdString();
  EXPECT_EQ(lines[0], "result\t" + F("01.dat"));
  // The simulator's 10 ms path, from the start of playback (the simulated
  // devices tell their exact start times, however far apart they start; a
  // capture frame hears the output's frame at or before its own instant, so
  // a start between two frames reads up to a frame more; the fraction is
  // read to a quarter of a frame).
  ASSERT_GE(lines.size(), 5) << o.out.toStdString();
  ASSERT_TRUE(lines[1].startsWith("delay_frames\t"));
  EXPECT_NEAR(lines[1].section('\t', 1).toInt(), 480, 1);
  ASSERT_TRUE(lines[2].startsWith("delay_ms\t"));
  const double frameMs = 1000.0 / 48000;
  EXPECT_NEAR(lines[2].section('\t', 1).toDouble(), 10.0 + 0.5 * frameMs, 0.75 * frameMs);
  EXPECT_EQ(lines[3], "delay_reference\tplayback start");
  EXPECT_EQ(lines[4], "drift_ppm\t0.0");
  EXPECT_EQ(QFile(F("01.dat")).size(), 44 + 2 * 96000);
  const QString csv = Read(F("sweep.csv"));
  // The run left its response beside the result: the CSV has its phase.
  ASSERT_TRUE(csv.startsWith("frequency_hz,gain_db,phase_deg\n"));
  EXPECT_TRUE(measurement::HasSideFiles(F("01.dat")));
  // The cable's gain is -6 dB.
  EXPECT_NEAR(LevelNear(csv, 1000), -6.0, 0.3);
  EXPECT_EQ(QImage(F("sweep.png")).size(), QSize(1200, 600));

  // The stored file exports to the same CSV, and to a picture of the size asked.
  const Outcome e =
      Zarin({"export", F("01.dat"), "--csv", F("again.csv"), "--png", F("again.png"), "--png-size", "800x400"});
  ASSERT_EQ(e.status, 0) << e.err.toStdString();
  EXPECT_EQ(Read(F("again.csv")), csv);
  const QImage picture(F("again.png"));
  ASSERT_EQ(picture.size(), QSize(800, 400));
  basic::SetTwipsPerPixel(15);
  const int axis = basic::TwipsToPixels(255);
  const measurement::SpectrumScale scale(800, 400 - axis, 48000, -6.0f);
  const int x = scale.X(1000);
  int curve = 0;
  for (int dx : {-1, 0, 1})
    for (int y = 0; y < 400 - axis; ++y) curve += picture.pixel(x + dx, y) == qRgb(0xFF, 0x80, 0xFF);
  EXPECT_GT(curve, 0) << "no curve at the column of 1 kHz";
  // Without an output named, the CSV goes to standard output.
  const Outcome s = Zarin({"export", F("01.dat")});
  ASSERT_EQ(s.status, 0);
  EXPECT_EQ(s.out, csv);
}

TEST_F(CommandLineTest, ASweepWithSideFilesExportsItsResponses) {
  ASSERT_EQ(Zarin(Measure({})).status, 0);
  // Without side files there is nothing to read the responses from.
  ASSERT_TRUE(QFile::remove(F("01.ir.wav")));
  ASSERT_TRUE(QFile::remove(F("01.json")));
  const Outcome none = Zarin({"export", F("01.dat"), "--frd", F("a.frd")});
  EXPECT_EQ(none.status, 1);
  EXPECT_TRUE(none.err.contains("01.ir.wav")) << none.err.toStdString();
  EXPECT_FALSE(QFile::exists(F("a.frd")));
  // Side files of a sweep twice as loud, 100 frames late.
  const int32_t rate = 48000;
  std::vector<measurement::StereoSample> play(96000), capture(96000 + 100);
  measurement::SweepTable table;
  std::vector<int16_t> level;
  measurement::GenerateSweep(play, rate, measurement::SignalAmplitude(-200), table, level);
  for (size_t j = 100; j < capture.size(); ++j) capture[j] = {static_cast<int16_t>(play[j - 100].Left * 2), 0};
  const auto ir = measurement::Deconvolve(play, capture, rate, measurement::SweepShapeFor(rate, 96000), {100, 0});
  ASSERT_TRUE(measurement::WriteSideFiles(F("01.dat"), ir, {QStringLiteral("good"), -200}));

  const Outcome o = Zarin({"export", F("01.dat"), "--frd", F("a.frd"), "--ir", F("a.wav"), "--distortion", F("d.csv"),
                           "--smooth", "1/6", "--points", "12"});
  ASSERT_EQ(o.status, 0) << o.err.toStdString();
  EXPECT_TRUE(o.out.isEmpty());  // no curve on standard output when files were asked for
  const QStringList frd = Read(F("a.frd")).split('\n', Qt::SkipEmptyParts);
  ASSERT_GT(frd.size(), 6);
  EXPECT_EQ(frd[0], "* program zarin");
  EXPECT_TRUE(frd.contains("* smoothing 1/6"));
  qsizetype points = 0;
  for (const QString& line : frd) {
    if (line.startsWith('*')) continue;
    ++points;
    const QStringList cells = line.split(' ');
    ASSERT_EQ(cells.size(), 3);
    const double f = cells[0].toDouble();
    if (f > 30 && f < 20000) {
      EXPECT_NEAR(cells[1].toDouble(), 6.02, 0.05) << f;
      EXPECT_NEAR(cells[2].toDouble(), 0, 1) << f;
    }
  }
  EXPECT_EQ(points, static_cast<qsizetype>(measurement::LogFrequencies(10, 24000 * (1 - 1e-6), 12).size()));
  const auto wav = measurement::ReadFloatWav(F("a.wav"));
  ASSERT_TRUE(wav.has_value());
  EXPECT_EQ(wav->samples, ir.samples);
  EXPECT_TRUE(Read(F("d.csv")).startsWith("frequency_hz,thd_percent,h2_db,h3_db,h4_db,h5_db\n"));
  EXPECT_EQ(Zarin({"export", F("01.dat"), "--frd", F("b.frd"), "--smooth", "1/5"}).status, 1);
  EXPECT_EQ(Zarin({"export", F("01.dat"), "--frd", F("b.frd"), "--points", "0"}).status, 1);
  // Smoothing with nothing to smooth is a mistake, not a quiet no-op.
  const QStringList before = QDir(dir.path()).entryList(QDir::Files);
  const QByteArray json = Read(F("01.json")).toUtf8();
  for (const QStringList& args : {QStringList{"export", F("01.dat"), "--smooth", "1/6"},
                                  QStringList{"export", F("01.dat"), "--smooth", "1/3", "--ir", F("b.wav")}}) {
    const Outcome smooth = Zarin(args);
    EXPECT_EQ(smooth.status, 1) << args.join(' ').toStdString();
    EXPECT_TRUE(smooth.err.contains("--smooth")) << smooth.err.toStdString();
    EXPECT_TRUE(smooth.out.isEmpty());
  }
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), before);
  EXPECT_EQ(Read(F("01.json")).toUtf8(), json);
  const Outcome analysed = Zarin({"analyse", "--folder", dir.path(), "--played", F("p.wav"), "--captured", F("c.wav"),
                                  "--smooth", "1/6", "--ir", F("b.wav")});
  EXPECT_EQ(analysed.status, 1);
  EXPECT_TRUE(analysed.err.contains("--smooth")) << analysed.err.toStdString();
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), before);
  EXPECT_FALSE(Read(F("a.frd")).contains("phase not")) << Read(F("a.frd")).toStdString();
  // A run whose host put silence into the capture: the header says so.
  measurement::SideInfo doubted{QStringLiteral("warning"), -200};
  doubted.reasons = {{measurement::Reason::CaptureGaps, 1}, {measurement::Reason::CaptureUnderflow}};
  ASSERT_TRUE(measurement::WriteSideFiles(F("01.dat"), ir, doubted));
  ASSERT_EQ(Zarin({"export", F("01.dat"), "--frd", F("c.frd")}).status, 0);
  EXPECT_TRUE(Read(F("c.frd")).contains("\n* phase not to be trusted: 1 capture gap; input underflow\n"))
      << Read(F("c.frd")).toStdString();
}

TEST_F(CommandLineTest, AMeasuredSweepLeavesTheCablesResponseBesideItsResult) {
  const Outcome o = Zarin(Measure({"--level", "-3"}));
  ASSERT_EQ(o.status, 0) << o.err.toStdString();
  measurement::SideInfo info;
  const auto ir = measurement::ReadSideFiles(F("01.dat"), &info);
  ASSERT_TRUE(ir.has_value());
  EXPECT_NEAR(info.delayMs, 10.0, 0.05);
  EXPECT_EQ(info.levelTenthsDb, -30);
  // The cable: a 2nd-order Butterworth high-pass at 100 Hz, -6 dB. (Run on
  // the wall clock, the simulator's capture wanders by a fraction of a frame
  // along the run, which blurs the response above a few kHz.)
  for (const auto& p : measurement::FrequencyResponse(*ir, measurement::LogFrequencies(30, 3000, 6))) {
    const double w = p.hz / 100, truth = 20 * std::log10(0.5 * w * w / std::sqrt(1 + std::pow(w, 4)));
    EXPECT_NEAR(p.gainDb, truth, 0.1) << p.hz;
  }
}

TEST_F(CommandLineTest, AResponseThatCannotBeWrittenKeepsTheResultAndSaysSo) {
  // Something that is no file stands where the response would go.
  ASSERT_TRUE(QDir(dir.path()).mkdir("01.ir.wav"));
  const Outcome o = Zarin(Measure({"--csv", F("sweep.csv")}));
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.out.startsWith("result\t" + F("01.dat") + "\n")) << o.out.toStdString();
  EXPECT_TRUE(o.err.contains("cannot write the impulse response beside")) << o.err.toStdString();
  EXPECT_EQ(QFile(F("01.dat")).size(), 44 + 2 * 96000);
  EXPECT_FALSE(QFile::exists(F("01.json")));
  // The CSV is still written.
  EXPECT_TRUE(Read(F("sweep.csv")).startsWith("frequency_hz,gain_db"));
}

TEST_F(CommandLineTest, ANoiseRunGivesASpectrumFileAndItsCsv) {
  const Outcome o = Zarin(Measure({"--mode", "noise", "--csv", F("noise.csv")}));
  ASSERT_EQ(o.status, 0) << o.err.toStdString();
  EXPECT_TRUE(o.out.startsWith("result\t" + F("01.fft") + "\nquality\t")) << o.out.toStdString();
  EXPECT_EQ(QFile(F("01.fft")).size(), 4104);
  const QStringList lines = Read(F("noise.csv")).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 1 + 1023);
  EXPECT_EQ(lines[1].section(',', 0, 0), "23.438");  // bin 1 at 48000 / 2048 Hz
  EXPECT_EQ(lines.last().section(',', 0, 0), "23976.563");
  // The cable passes the noise 6 dB down.
  double sum = 0;
  int bins = 0;
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const double f = lines[i].section(',', 0, 0).toDouble();
    if (f < 1000 || f > 3000) continue;
    sum += std::pow(10.0, lines[i].section(',', 1, 1).toDouble() / 20);
    ++bins;
  }
  ASSERT_GT(bins, 0);
  EXPECT_NEAR(20 * std::log10(sum / bins), -6.0, 0.5);
  // And the stored spectrum exports to the same CSV.
  const Outcome e = Zarin({"export", F("01.fft")});
  ASSERT_EQ(e.status, 0);
  EXPECT_EQ(e.out, Read(F("noise.csv")));
  // A second run takes the next free number.
  ASSERT_EQ(Zarin(Measure({"--mode", "noise"})).status, 0);
  EXPECT_TRUE(QFile::exists(F("02.fft")));
}

TEST_F(CommandLineTest, BadNamesValuesAndFilesEndWithAMessageAndWriteNothing) {
  const QList<QStringList> bad = {Measure({"--output-device", "No such device"}),
                                  Measure({"--rate", "12345"}),
                                  Measure({"--rate", "fast"}),
                                  Measure({"--seconds", "1"}),
                                  Measure({"--seconds", "2.5"}),
                                  Measure({"--level", "3"}),
                                  Measure({"--mode", "pink"}),
                                  Measure({"--png", F("p.png"), "--png-size", "10x10"}),
                                  Measure({"--csv", F("missing/c.csv")}),
                                  Measure({"--csv", ""}),
                                  Measure({"--csv", dir.path()}),
                                  Measure({"--input-device", "7"}),
                                  Measure({"--no-such-option"}),
                                  QStringList{"measure", "--folder", F("nowhere"), "--output-device",
                                              "Loopback simulator", "--input-device", "Loopback simulator"},
                                  QStringList{"export", F("missing.dat"), "--csv", F("x.csv")},
                                  QStringList{"export"},
                                  QStringList{"sweep-it"}};
  QFile junk(F("junk.fft"));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("no spectrum here");
  junk.close();
  QList<QStringList> all = bad;
  all.append(QStringList{"export", F("junk.fft"), "--csv", F("x.csv")});
  for (const QStringList& args : all) {
    const Outcome o = Zarin(args);
    EXPECT_EQ(o.status, 1) << args.join(' ').toStdString();
    EXPECT_FALSE(o.err.trimmed().isEmpty()) << args.join(' ').toStdString();
    EXPECT_TRUE(o.out.isEmpty()) << args.join(' ').toStdString();
  }
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"junk.fft"});
}

TEST_F(CommandLineTest, HelpAndVersion) {
  const Outcome help = Zarin({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.contains("measure")) << help.out.toStdString();
  const Outcome measureHelp = Zarin({"measure", "--help"});
  EXPECT_EQ(measureHelp.status, 0);
  EXPECT_TRUE(measureHelp.out.contains("--output-device")) << measureHelp.out.toStdString();
  const Outcome version = Zarin({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(version.out.startsWith("zarin ")) << version.out.toStdString();
}

}  // namespace
