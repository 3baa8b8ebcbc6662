#include "measurement/CorrectionFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>

#include "measurement/Correction.h"

using namespace measurement;

namespace {

QString Corpus(const char* name) { return QStringLiteral(ZARIN_CORRECTION_FILES "/") + QLatin1String(name); }

CorrectionCurve Good(const char* name) {
  const CorrectionRead read = ReadCorrectionFile(Corpus(name));
  EXPECT_TRUE(read.curve.has_value()) << name << ": " << read.error;
  return read.curve.value_or(CorrectionCurve{});
}

struct Expected {
  double f, db, phase;
};

void ExpectPoints(const CorrectionCurve& curve, std::initializer_list<Expected> expected) {
  ASSERT_EQ(curve.points.size(), expected.size());
  size_t i = 0;
  for (const Expected& e : expected) {
    EXPECT_DOUBLE_EQ(curve.points[i].frequency, e.f) << i;
    EXPECT_DOUBLE_EQ(curve.points[i].db, e.db) << i;
    EXPECT_DOUBLE_EQ(curve.points[i].phaseDeg, e.phase) << i;
    ++i;
  }
}

}  // namespace

// --- The forms in common use, each from a file of the corpus ---

TEST(CorrectionCorpus, QuotedHeaderWithASensitivityLineAndTabs) {
  const CorrectionCurve c = Good("mic-sensitivity-line.txt");
  ASSERT_TRUE(c.sensitivityDbfs.has_value());
  EXPECT_DOUBLE_EQ(*c.sensitivityDbfs, -18.3);
  EXPECT_FALSE(c.hasPhase);
  ASSERT_EQ(c.points.size(), 8u);
  EXPECT_DOUBLE_EQ(c.points[0].frequency, 20.0);
  EXPECT_DOUBLE_EQ(c.points[0].db, -1.5);
  EXPECT_DOUBLE_EQ(c.points[7].frequency, 20000.0);
  EXPECT_DOUBLE_EQ(c.points[7].db, -2.0);
}

TEST(CorrectionCorpus, StarHeaderGivesTheSensitivityAndAPhaseColumnIsRead) {
  const CorrectionCurve c = Good("mic-star-header.cal");
  ASSERT_TRUE(c.sensitivityDbfs.has_value());
  EXPECT_DOUBLE_EQ(*c.sensitivityDbfs, -36.6);
  EXPECT_TRUE(c.hasPhase);
  ExpectPoints(c, {{10, -3, 12}, {100, -0.5, 2}, {1000, 0, 0}, {10000, 1.5, -20}});
}

TEST(CorrectionCorpus, CommaSeparatedWithAWordHeader) {
  const CorrectionCurve c = Good("card-commas.csv");
  EXPECT_FALSE(c.sensitivityDbfs.has_value());
  EXPECT_FALSE(c.hasPhase);
  ExpectPoints(c, {{20, -0.35, 0}, {100, -0.02, 0}, {1000, 0, 0}, {10000, -0.1, 0}, {20000, -0.8, 0}});
}

TEST(CorrectionCorpus, SemicolonsAndSemicolonComments) {
  const CorrectionCurve c = Good("semicolons.txt");
  EXPECT_TRUE(c.hasPhase);
  ExpectPoints(c, {{50, -0.25, -3.5}, {500, 0, -0.5}, {5000, -0.05, -5}});
}

TEST(CorrectionCorpus, FrdPhaseIsMadeContinuousAcrossTheTurn) {
  const CorrectionCurve c = Good("speaker.frd");
  EXPECT_TRUE(c.hasPhase);
  // 170 -> -170 is a step of +20 degrees, -150 -> 160 one of -50.
  ExpectPoints(c, {{100, 85, 170}, {200, 86, 190}, {400, 86.5, 210}, {800, 84, 160}});
}

TEST(CorrectionCorpus, HashCommentsBlankLinesSignsAndExponents) {
  const CorrectionCurve c = Good("hash-comments.txt");
  EXPECT_FALSE(c.hasPhase);
  ExpectPoints(c, {{20, 6, 0}, {100, 3, 0}, {1000, 0, 0}, {20000, -3.5, 0}});
}

TEST(CorrectionCorpus, ByteOrderMarkAndWindowsLineEnds) {
  const CorrectionCurve c = Good("windows-bom.txt");
  ExpectPoints(c, {{20, 1, 0}, {200, 2, 0}, {2000, 3, 0}});
}

TEST(CorrectionCorpus, DescendingFrequencyNamesTheLine) {
  const CorrectionRead r = ReadCorrectionFile(Corpus("descending.txt"));
  EXPECT_FALSE(r.curve);
  EXPECT_EQ(r.fault, CorrectionFault::NotRising);
  EXPECT_EQ(r.errorLine, 4);
  EXPECT_EQ(r.error, "line 4: the frequency 100 Hz is not above 200 Hz on line 3; the frequencies must rise");
}

TEST(CorrectionCorpus, OnePointIsTooFew) {
  const CorrectionRead r = ReadCorrectionFile(Corpus("one-point.txt"));
  EXPECT_FALSE(r.curve);
  EXPECT_EQ(r.fault, CorrectionFault::TooFewPoints);
  EXPECT_EQ(r.error, "a correction file needs at least two points (frequency and dB), this one has 1");
}

TEST(CorrectionCorpus, AFrequencyWithoutItsLevelNamesTheLine) {
  const CorrectionRead r = ReadCorrectionFile(Corpus("no-db.txt"));
  EXPECT_FALSE(r.curve);
  EXPECT_EQ(r.fault, CorrectionFault::NoDb);
  EXPECT_EQ(r.errorLine, 2);
  EXPECT_EQ(r.error, "line 2: the frequency 200 Hz has no dB value after it");
}

TEST(CorrectionCorpus, MissingFileAndFolderAreSaidApart) {
  EXPECT_EQ(ReadCorrectionFile(Corpus("no-such-file.txt")).fault, CorrectionFault::Missing);
  EXPECT_EQ(ReadCorrectionFile(QStringLiteral(ZARIN_CORRECTION_FILES)).fault, CorrectionFault::Unreadable);
}

// --- Lines and numbers ---

TEST(CorrectionText, EveryLineEndAndMixedEndsCountLinesAlike) {
  for (const char* end : {"\n", "\r\n", "\r"}) {
    const std::string e = end;
    const std::string text = "* head" + e + "10 0" + e + e + "5 1" + e;
    const CorrectionRead r = ParseCorrection(text);
    EXPECT_EQ(r.errorLine, 4) << "line end " << static_cast<int>(end[0]);
  }
  // A last line without an end is read.
  const CorrectionRead r = ParseCorrection("10 1\r\n20 2");
  ASSERT_TRUE(r.curve);
  EXPECT_EQ(r.curve->points.size(), 2u);
}

TEST(CorrectionText, ALineWhoseFirstFieldIsNotWhollyANumberIsAComment) {
  const CorrectionRead r = ParseCorrection("2024-01-05 calibrated\n100Hz is the corner\nHz dB\n10 1\n20 2\n");
  ASSERT_TRUE(r.curve) << r.error;
  EXPECT_EQ(r.curve->points.size(), 2u);
  EXPECT_FALSE(r.curve->sensitivityDbfs);
}

TEST(CorrectionText, MarkedLinesAreCommentsEvenWithNumbers) {
  for (const char mark : {'*', ';', '#', '"'}) {
    const std::string text = std::string(1, mark) + "5 100\n  " + std::string(1, mark) + " 7 7\n10 1\n20 2\n";
    const CorrectionRead r = ParseCorrection(text);
    ASSERT_TRUE(r.curve) << mark;
    EXPECT_DOUBLE_EQ(r.curve->points.front().frequency, 10.0) << mark;
  }
}

TEST(CorrectionText, SeparatorsMayRepeatAndMix) {
  const CorrectionRead r = ParseCorrection("10 ,\t; 1 ;, 5\n20,,2,,6\n");
  ASSERT_TRUE(r.curve) << r.error;
  EXPECT_TRUE(r.curve->hasPhase);
  EXPECT_DOUBLE_EQ(r.curve->points[1].db, 2.0);
  EXPECT_DOUBLE_EQ(r.curve->points[1].phaseDeg, 6.0);
}

TEST(CorrectionText, PhaseCountsOnlyWhenEveryPointHasOne) {
  const CorrectionRead r = ParseCorrection("10 1 5\n20 2\n40 3 7\n");
  ASSERT_TRUE(r.curve);
  EXPECT_FALSE(r.curve->hasPhase);
  for (const CorrectionPoint& p : r.curve->points) EXPECT_EQ(p.phaseDeg, 0.0);
  // A word after the level is not a phase.
  const CorrectionRead words = ParseCorrection("10 1 dB\n20 2 dB\n");
  ASSERT_TRUE(words.curve);
  EXPECT_FALSE(words.curve->hasPhase);
}

TEST(CorrectionText, NotANumberInfinityAndHexAreNotNumbers) {
  EXPECT_EQ(ParseCorrection("10 nan\n20 1\n").fault, CorrectionFault::NoDb);
  EXPECT_EQ(ParseCorrection("10 inf\n20 1\n").fault, CorrectionFault::NoDb);
  EXPECT_EQ(ParseCorrection("10 1e999\n20 1\n").fault, CorrectionFault::NoDb);
  EXPECT_EQ(ParseCorrection("10 0x10\n20 1\n").fault, CorrectionFault::NoDb);
  EXPECT_EQ(ParseCorrection("10 +-1\n20 1\n").fault, CorrectionFault::NoDb);
  // "inf 1" starts with no number: a comment.
  const CorrectionRead r = ParseCorrection("inf 1\nnan 2\n10 1\n20 2\n");
  ASSERT_TRUE(r.curve);
  EXPECT_EQ(r.curve->points.size(), 2u);
}

TEST(CorrectionText, ZeroHertzIsSkippedAndBelowZeroRefused) {
  const CorrectionRead r = ParseCorrection("0 -60\n10 1\n20 2\n");
  ASSERT_TRUE(r.curve);
  EXPECT_DOUBLE_EQ(r.curve->points.front().frequency, 10.0);
  const CorrectionRead below = ParseCorrection("10 1\n-20 2\n");
  EXPECT_EQ(below.fault, CorrectionFault::BadNumber);
  EXPECT_EQ(below.errorLine, 2);
}

TEST(CorrectionText, ARepeatedFrequencyIsNotRising) {
  const CorrectionRead r = ParseCorrection("10 1\n10 2\n");
  EXPECT_EQ(r.fault, CorrectionFault::NotRising);
  EXPECT_EQ(r.errorLine, 2);
}

TEST(CorrectionText, AbsurdLevelsAreRefusedAndAbsurdPhasesDropped) {
  EXPECT_EQ(ParseCorrection("10 1\n20 1e6\n").fault, CorrectionFault::BadNumber);
  const CorrectionRead r = ParseCorrection("10 1 1e300\n20 2 -1e300\n");
  ASSERT_TRUE(r.curve);
  EXPECT_FALSE(r.curve->hasPhase);
}

TEST(CorrectionText, EmptyTextAndOnlyAMarkHaveNoPoints) {
  EXPECT_EQ(ParseCorrection("").fault, CorrectionFault::TooFewPoints);
  EXPECT_EQ(ParseCorrection("\xEF\xBB\xBF").fault, CorrectionFault::TooFewPoints);
  EXPECT_EQ(ParseCorrection("\xEF\xBB").fault, CorrectionFault::TooFewPoints);
}

TEST(CorrectionText, SensitivityForms) {
  const auto sens = [](const std::string& header) {
    return ParseCorrection(header + "\n10 1\n20 2\n").curve.value_or(CorrectionCurve{}).sensitivityDbfs;
  };
  EXPECT_EQ(sens("Sensitivity -36.6"), -36.6);
  EXPECT_EQ(sens("SENSITIVITY: -20.5 dBFS"), -20.5);
  EXPECT_EQ(sens("# sensitivity=-12"), -12.0);
  EXPECT_EQ(sens("*1000Hz -36.6"), -36.6);
  EXPECT_EQ(sens("* 1000 Hz\t-30.25"), -30.25);
  EXPECT_EQ(sens("1000Hz;-31"), -31.0);
  // Other frequencies, or no value, say nothing about the sensitivity.
  EXPECT_FALSE(sens("*500Hz -36.6"));
  EXPECT_FALSE(sens("*1000Hz"));
  EXPECT_FALSE(sens("Sensitivity unknown"));
  // The first line that gives one counts.
  EXPECT_EQ(sens("Sensitivity -1\nSensitivity -2"), -1.0);
}

TEST(CorrectionText, ATenMegabyteFileIsReadWhole) {
  std::string text = "* a dense file\r\n";
  int64_t n = 0;
  while (text.size() < 10u * 1024 * 1024) {
    ++n;
    text += std::to_string(n) + ".5\t" + std::to_string(n % 7) + ".25;" + std::to_string(-(n % 90)) + "\r\n";
  }
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("dense.txt"));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text.data(), static_cast<qint64>(text.size()));
  f.close();
  const CorrectionRead r = ReadCorrectionFile(path);
  ASSERT_TRUE(r.curve) << r.error;
  ASSERT_EQ(static_cast<int64_t>(r.curve->points.size()), n);
  EXPECT_DOUBLE_EQ(r.curve->points.back().frequency, static_cast<double>(n) + 0.5);
  EXPECT_DOUBLE_EQ(r.curve->points.back().db, static_cast<double>(n % 7) + 0.25);
  EXPECT_TRUE(r.curve->hasPhase);
}

TEST(CorrectionText, AFileOverTheLimitIsRefusedUnread) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("huge.txt"));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_TRUE(f.resize(kMaxCorrectionFileBytes + 1));  // sparse: no disk used
  f.close();
  EXPECT_EQ(ReadCorrectionFile(path).fault, CorrectionFault::TooLarge);
}

// --- Values between the points ---

namespace {
CorrectionCurve Curve(std::initializer_list<CorrectionPoint> points, bool phase = false) {
  CorrectionCurve c;
  c.points = points;
  c.hasPhase = phase;
  return c;
}
}  // namespace

TEST(CorrectionValues, ExactAtThePointsAndLinearInLogFrequency) {
  const CorrectionCurve c = Curve({{100, -2, 0}, {1000, 4, 0}, {4000, 1, 0}});
  EXPECT_DOUBLE_EQ(CorrectionDbAt(c, 100), -2);
  EXPECT_DOUBLE_EQ(CorrectionDbAt(c, 1000), 4);
  EXPECT_DOUBLE_EQ(CorrectionDbAt(c, 4000), 1);
  // Midway on a log axis is the geometric mean; a decade's tenth is a tenth of the way.
  EXPECT_NEAR(CorrectionDbAt(c, std::sqrt(100.0 * 1000.0)), 1.0, 1e-12);
  EXPECT_NEAR(CorrectionDbAt(c, 100 * std::pow(10.0, 0.1)), -2 + 0.6, 1e-12);
  EXPECT_NEAR(CorrectionDbAt(c, 2000), 2.5, 1e-12);  // one octave of two
}

TEST(CorrectionValues, FrequenciesFarApartStayBetweenTheirValues) {
  // The ratio of these frequencies is beyond a double.
  const CorrectionRead r = ParseCorrection("1e-320 20 2\n1e+308 1\n");
  ASSERT_TRUE(r.curve);
  for (const double f : {1e-300, 1e-6, 1.0, 1e300}) {
    const double v = CorrectionDbAt(*r.curve, f);
    EXPECT_GE(v, 1.0) << f;
    EXPECT_LE(v, 20.0) << f;
  }
  EXPECT_NEAR(CorrectionDbAt(*r.curve, std::sqrt(1e-320) * std::sqrt(1e308)), 10.5, 1e-9);
}

TEST(CorrectionValues, EndsAreHeld) {
  const CorrectionCurve c = Curve({{100, -2, 0}, {1000, 4, 0}});
  EXPECT_EQ(CorrectionDbAt(c, 1), -2);
  EXPECT_EQ(CorrectionDbAt(c, 99.999), -2);
  EXPECT_EQ(CorrectionDbAt(c, 1e6), 4);
  EXPECT_EQ(CorrectionDbAt(c, 0), -2);
  EXPECT_EQ(CorrectionDbAt(c, -5), -2);
  EXPECT_EQ(CorrectionDbAt(c, std::nan("")), -2);
  EXPECT_EQ(CorrectionDbAt(CorrectionCurve{}, 100), 0);
}

TEST(CorrectionValues, PhaseIsInterpolatedLikeTheLevelAndFoldedOnRequest) {
  const CorrectionRead r = ParseCorrection("100 0 170\n400 0 -170\n");
  ASSERT_TRUE(r.curve);
  // Continuous: 170 to 190, so 180 midway (not 0).
  EXPECT_NEAR(CorrectionPhaseAt(*r.curve, 200), 180.0, 1e-9);
  EXPECT_NEAR(WrapPhaseDeg(CorrectionPhaseAt(*r.curve, 400)), -170.0, 1e-9);
  EXPECT_EQ(CorrectionPhaseAt(Curve({{100, 1, 30}, {200, 1, 60}}, false), 150), 0.0);
  EXPECT_DOUBLE_EQ(WrapPhaseDeg(540), 180);
  EXPECT_DOUBLE_EQ(WrapPhaseDeg(-180), 180);
  EXPECT_DOUBLE_EQ(WrapPhaseDeg(-190), 170);
  EXPECT_DOUBLE_EQ(WrapPhaseDeg(725), 5);
}
