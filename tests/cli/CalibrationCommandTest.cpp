// Exports mean one thing: the path's gain re the played signal, whatever
// the window's marker or level, and corrected by the files given.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "measurement/Correction.h"
#include "measurement/CorrectionFile.h"
#include "support/Settings.h"
#include "tests/cli/ZarinProcess.h"

using clitest::Outcome;
using clitest::Zarin;

namespace {

QString Read(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void Write(const QString& path, const QByteArray& text) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text);
}

// The CSV's rows: frequency -> (gain, spl or NaN).
struct Row {
  double gain, spl;
};
std::map<double, Row> Rows(const QString& csv) {
  std::map<double, Row> rows;
  const QStringList lines = csv.split('\n', Qt::SkipEmptyParts);
  const qsizetype spl = lines.isEmpty() ? -1 : lines[0].split(',').indexOf(QStringLiteral("spl_db"));
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QStringList cells = lines[i].split(',');
    rows[cells[0].toDouble()] = {cells.value(1).toDouble(), spl > 0 ? cells.value(spl).toDouble() : NAN};
  }
  return rows;
}

class CalibrationCommand : public ::testing::Test {
 protected:
  QString F(const QString& name) const { return dir.filePath(name); }
  QStringList Measure(const QStringList& more) const { return clitest::SimulatorMeasure("48000", dir.path(), more); }
  // Measures once and returns the result file's path.
  QString MeasureSweep(const QString& level = "-3", const QString& seconds = "2") {
    const Outcome o = Zarin(Measure({"--level", level, "--seconds", seconds}));
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    return o.out.section('\n', 0, 0).section('\t', 1);
  }
  QString Export(const QStringList& args) {
    const Outcome o = Zarin(QStringList{"export"} + args);
    EXPECT_EQ(o.status, 0) << args.join(' ').toStdString() << ": " << o.err.toStdString();
    return o.out;
  }
  QTemporaryDir dir;
};

}  // namespace

TEST_F(CalibrationCommand, TheCsvGivesTheGainOfThePathAtAnyPlayedLevel) {
  for (const QString level : {"-3", "-20"}) {
    const Outcome o = Zarin(Measure({"--level", level, "--csv", F("sweep.csv")}));
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    const QString csv = Read(F("sweep.csv"));
    // A sweep run leaves its response beside the result: the CSV has its phase.
    ASSERT_TRUE(csv.startsWith("frequency_hz,gain_db,phase_deg\n")) << csv.left(40).toStdString();
    // The simulator's cable is -6.0 dB between its corners.
    for (const auto& [f, row] : Rows(csv))
      if (f > 700 && f < 1500) EXPECT_NEAR(row.gain, -6.0, 0.03) << level.toStdString() << " dB, " << f << " Hz";
  }
}

TEST_F(CalibrationCommand, TheMarkerAndTheLevelSliderChangeNoExportedNumber) {
  const QString result = MeasureSweep("-10");
  basic::WriteSetting(QStringLiteral("Offsetdb"), -6.0f);
  basic::WriteSetting(QStringLiteral("PlayLevel"), -3.0f);
  const QString before = Export({result, "--level", "-10"});
  ASSERT_EQ(Zarin({"export", result, "--level", "-10", "--png", F("before.png")}).status, 0);
  // The marker dragged (as in the window) and the level slider moved.
  basic::WriteSetting(QStringLiteral("Offsetdb"), -8.8f);
  basic::WriteSetting(QStringLiteral("PlayLevel"), -42.0f);
  EXPECT_EQ(Export({result, "--level", "-10"}), before);
  ASSERT_EQ(Zarin({"export", result, "--level", "-10", "--png", F("after.png")}).status, 0);
  EXPECT_EQ(QImage(F("after.png")), QImage(F("before.png")));
}

TEST_F(CalibrationCommand, AResultWithoutItsLevelIsTakenAtTheDefaultUnlessTold) {
  const QString result = MeasureSweep("-20");
  const auto told = Rows(Export({result, "--level", "-20"}));
  // Its NN.json records the level it was played at.
  const auto recorded = Rows(Export({result}));
  ASSERT_EQ(told.size(), recorded.size());
  for (const auto& [f, row] : told) EXPECT_NEAR(recorded.at(f).gain, row.gain, 0.0051) << f;
  // The result file alone: the default level, unless told.
  ASSERT_TRUE(QFile::remove(QString(result).replace(".dat", ".json")));
  const auto assumed = Rows(Export({result}));
  ASSERT_EQ(told.size(), assumed.size());
  for (const auto& [f, row] : told) EXPECT_NEAR(assumed.at(f).gain - row.gain, -17.0, 0.0051) << f;
  EXPECT_EQ(Zarin({"export", result, "--level", "loud"}).status, 1);
  EXPECT_EQ(Zarin({"export", result, "--level", "-61"}).status, 1);
}

TEST_F(CalibrationCommand, ACorrectionMovesTheCurveByItsValueAtItsPointsAndMidway) {
  const QString result = MeasureSweep();
  const auto plain = Rows(Export({result, "--level", "-3"}));
  Write(F("mic.txt"), "\"a microphone\"\n100 1.5\n1000 -0.5\n10000 2.25\n");
  const auto corrected = Rows(Export({result, "--level", "-3", "--mic-cal", F("mic.txt")}));
  const measurement::CorrectionCurve mic = *measurement::ReadCorrectionFile(F("mic.txt")).curve;
  ASSERT_EQ(plain.size(), corrected.size());
  int near = 0;
  for (const auto& [f, row] : plain) {
    // The CSV holds two decimals: each value is within 0.005 of the truth.
    EXPECT_NEAR(row.gain - corrected.at(f).gain, measurement::CorrectionDbAt(mic, f), 0.0101) << f;
    // Points on or midway between the file's own (on a log axis).
    for (const double at : {100.0, 1000.0, 10000.0, std::sqrt(1e5), std::sqrt(1e7)})
      near += std::abs(std::log2(f / at)) < 1 / 48.0;
  }
  EXPECT_GE(near, 5);
}

TEST_F(CalibrationCommand, ALoopbacksOwnCsvAsTheSoundCardFileLeavesZero) {
  // Played loud, whatever level the settings hold from before: the card's
  // file is measured well clear of the cable's noise.
  const Outcome first = Zarin(Measure({"--level", "-3", "--csv", F("card.csv")}));
  ASSERT_EQ(first.status, 0) << first.err.toStdString();
  const QString result = first.out.section('\n', 0, 0).section('\t', 1);
  // The same result corrected by its own CSV: nothing is left but the
  // CSV's rounding to hundredths.
  const auto same = Rows(Export({result, "--device-cal", F("card.csv")}));
  ASSERT_GT(same.size(), 200u);
  // The CSV's frequencies are rounded to thousandths of a hertz too: where
  // the curve is steep (at a gap a busy machine left in the capture), the
  // file read 0.0005 Hz off adds its slope times that.
  const auto card = Rows(Read(F("card.csv")));
  ASSERT_EQ(card.size(), same.size());
  for (auto it = card.begin(); it != card.end(); ++it) {
    double slope = 0;  // dB per Hz to the neighbours
    const auto to = [&](std::map<double, Row>::const_iterator other) {
      slope = std::max(slope, std::abs(other->second.gain - it->second.gain) / (std::abs(other->first - it->first)));
    };
    if (it != card.begin()) to(std::prev(it));
    if (std::next(it) != card.end()) to(std::next(it));
    const auto exported = same.lower_bound(it->first - 0.001);
    ASSERT_TRUE(exported != same.end() && std::abs(exported->first - it->first) < 0.001) << it->first;
    ASSERT_NEAR(exported->second.gain, 0.0, 0.0101 + 0.0005 * slope) << it->first;
  }
  // A second run through the same card, at another level, corrected by the
  // first: what is left is how far two runs differ (each starts its capture
  // a little differently on a busy machine).
  const Outcome second = Zarin(Measure({"--level", "-20", "--device-cal", F("card.csv"), "--csv", F("flat.csv")}));
  ASSERT_EQ(second.status, 0) << second.err.toStdString();
  const auto rows = Rows(Read(F("flat.csv")));
  ASSERT_GT(rows.size(), 200u);
  for (const auto& [f, row] : rows)
    if (f >= 20 && f <= 0.9 * 24000) EXPECT_NEAR(row.gain, 0.0, 0.15) << f;
}

// The rows of an FRD file: frequency -> (dB, degrees).
std::map<double, std::pair<double, double>> FrdRows(const QString& text) {
  std::map<double, std::pair<double, double>> rows;
  for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) {
    if (line.startsWith('*')) continue;
    const QStringList f = line.split(' ');
    rows[f.value(0).toDouble()] = {f.value(1).toDouble(), f.value(2).toDouble()};
  }
  return rows;
}

TEST_F(CalibrationCommand, ALoopbacksOwnFrdAsTheSoundCardFileLeavesZero) {
  // Sweeps long enough that the cable's noise moves no point by 0.05 dB.
  const QString first = MeasureSweep("-3", "4");
  Export({first, "--frd", F("card.frd")});
  // A second run through the same card, its FRD corrected by the first's:
  // flat up to 0.9 x Nyquist, and in phase but for the two runs' delays
  // read a fraction of a frame apart. The file is named as a user in its
  // folder names it, and recorded in full.
  const QString second = MeasureSweep("-3", "4");
  const Outcome o =
      clitest::Run(QStringLiteral(ZARIN_EXE), {"export", second, "--device-cal", "card.frd", "--frd", "flat.frd"},
                   clitest::WithoutDisplay(), dir.path());
  ASSERT_EQ(o.status, 0) << o.err.toStdString();
  const auto rows = FrdRows(Read(F("flat.frd")));
  ASSERT_GT(rows.size(), 400u);
  int checked = 0;
  for (const auto& [f, row] : rows) {
    if (f < 20 || f > 0.9 * 24000) continue;
    EXPECT_NEAR(row.first, 0.0, 0.05) << f;
    EXPECT_NEAR(row.second, 0.0, 1.0 + 360.0 * f * 0.25 / 48000) << f;
    ++checked;
  }
  EXPECT_GT(checked, 400);
  EXPECT_TRUE(Read(F("flat.frd")).contains(F("card.frd")));
  const QString json = second.left(second.size() - 4) + ".json";
  EXPECT_TRUE(Read(json).contains("\"" + F("card.frd") + "\"")) << Read(json).toStdString();
}

TEST_F(CalibrationCommand, ASensitivityAddsSoundPressure) {
  const QString result = MeasureSweep();
  Write(F("mic.cal"), "*1000Hz -36.6\n20 0\n20000 0\n");
  const auto fromFile = Rows(Export({result, "--level", "-3", "--mic-cal", F("mic.cal")}));
  for (const auto& [f, row] : fromFile) ASSERT_NEAR(row.spl, 94 + row.gain - 3 + 36.6, 0.0101) << f;
  // Typed in, it wins over the file's.
  const auto typed = Rows(Export({result, "--level", "-3", "--mic-cal", F("mic.cal"), "--sensitivity", "-30"}));
  for (const auto& [f, row] : typed) ASSERT_NEAR(row.spl, 94 + row.gain - 3 + 30, 0.0101) << f;
  const auto alone = Rows(Export({result, "--level", "-3", "--sensitivity", "-30"}));
  EXPECT_NEAR(alone.begin()->second.spl, 94 + alone.begin()->second.gain - 3 + 30, 0.0101);
}

TEST_F(CalibrationCommand, AFileThatIsNotACorrectionSaysWhyAndWritesNothing) {
  const QString result = MeasureSweep();
  Write(F("down.txt"), "20 0\n200 1\n100 2\n");
  const Outcome o = Zarin({"export", result, "--device-cal", F("down.txt"), "--csv", F("x.csv")});
  EXPECT_EQ(o.status, 1);
  EXPECT_TRUE(o.err.contains(F("down.txt"))) << o.err.toStdString();
  EXPECT_TRUE(o.err.contains("line 3")) << o.err.toStdString();
  EXPECT_FALSE(QFile::exists(F("x.csv")));
  for (const QStringList& bad :
       {QStringList{"--mic-cal", F("none.txt")}, QStringList{"--mic-cal", ""}, QStringList{"--sensitivity", "loud"}}) {
    const Outcome b = Zarin(QStringList{"export", result} + bad);
    EXPECT_EQ(b.status, 1) << bad.join(' ').toStdString();
    EXPECT_TRUE(b.out.isEmpty());
  }
  // A measure with a bad file runs nothing.
  const Outcome m = Zarin(Measure({"--mic-cal", F("down.txt")}));
  EXPECT_EQ(m.status, 1);
  EXPECT_FALSE(QFile::exists(F("02.dat")));
}

TEST_F(CalibrationCommand, TheResultsSideFileRecordsTheFilesApplied) {
  Write(F("mic.txt"), "20 1\n20000 1\n");
  Write(F("card.frd"), "20 -1 0\n20000 -1 0\n");
  const Outcome o = Zarin(Measure({"--level", "-3", "--mic-cal", F("mic.txt"), "--csv", F("a.csv")}));
  ASSERT_EQ(o.status, 0) << o.err.toStdString();
  const QString result = o.out.section('\n', 0, 0).section('\t', 1);
  const QString json = result.left(result.size() - 4) + ".json";
  EXPECT_TRUE(Read(json).contains(F("mic.txt"))) << Read(json).toStdString();
  EXPECT_FALSE(Read(json).contains("card.frd"));
  // An export with other files records those.
  Export({result, "--device-cal", F("card.frd"), "--csv", F("b.csv")});
  EXPECT_TRUE(Read(json).contains(F("card.frd")));
  EXPECT_FALSE(Read(json).contains(F("mic.txt")));
  // A measure without files records none.
  const QString plain = MeasureSweep();
  EXPECT_FALSE(Read(plain.left(plain.size() - 4) + ".json").contains("corrections"));
}

TEST_F(CalibrationCommand, HelpSaysWhatTheNumbersAre) {
  for (const char* command : {"measure", "analyse", "export"}) {
    const Outcome o = Zarin({command, "--help"});
    EXPECT_TRUE(o.out.contains("gain_db")) << command;
    EXPECT_TRUE(o.out.contains("--mic-cal")) << command;
    EXPECT_TRUE(o.out.contains("--device-cal")) << command;
  }
}
