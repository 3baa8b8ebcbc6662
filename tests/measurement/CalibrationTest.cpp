#include "measurement/Calibration.h"

#include <gtest/gtest.h>

#include <cmath>

#include "measurement/Correction.h"

using namespace measurement;

namespace {

CorrectionCurve Parsed(const char* text) {
  const CorrectionRead r = ParseCorrection(text);
  EXPECT_TRUE(r.curve) << r.error;
  return r.curve.value_or(CorrectionCurve{});
}

std::vector<GainPoint> Flat(std::initializer_list<double> frequencies, double db) {
  std::vector<GainPoint> points;
  for (const double f : frequencies) points.push_back({f, db});
  return points;
}

}  // namespace

TEST(Calibration, AFileMovesTheCurveByItsValueAtThePointsAndMidway) {
  Calibration c;
  c.mic = Parsed("* a microphone\n20 -1.5\n200 0.5\n2000 0\n20000 3.25\n");
  const double mid1 = std::sqrt(20.0 * 200.0), mid2 = std::sqrt(2000.0 * 20000.0);
  const auto out = Corrected(Flat({20, 200, 2000, 20000, mid1, mid2, 10, 40000}, -6.0), c);
  const double expected[] = {-1.5, 0.5, 0.0, 3.25, -0.5, 1.625, -1.5, 3.25};
  ASSERT_EQ(out.size(), 8u);
  for (size_t i = 0; i < out.size(); ++i) EXPECT_NEAR(out[i].gainDb, -6.0 - expected[i], 1e-9) << out[i].frequency;
}

TEST(Calibration, MicrophoneAndSoundCardBothComeOff) {
  Calibration c;
  c.mic = Parsed("100 1\n1000 1\n");
  c.device = Parsed("100 -0.25\n1000 0.75\n");
  const auto out = Corrected(Flat({100, 1000}, 0.0), c);
  EXPECT_NEAR(out[0].gainDb, -0.75, 1e-12);
  EXPECT_NEAR(out[1].gainDb, -1.75, 1e-12);
  EXPECT_TRUE(c.Corrects());
  EXPECT_FALSE(Calibration{}.Corrects());
  // Nothing applied: the curve as it was.
  EXPECT_EQ(Corrected(Flat({100}, -3.0), Calibration{})[0].gainDb, -3.0);
}

TEST(Calibration, ATypedSensitivityWinsOverTheMicrophoneFiles) {
  Calibration c;
  EXPECT_FALSE(c.Sensitivity());
  c.mic = Parsed("*1000Hz -36.6\n100 0\n1000 0\n");
  EXPECT_EQ(c.Sensitivity(), -36.6);
  c.sensitivityDbfs = -30.0;
  EXPECT_EQ(c.Sensitivity(), -30.0);
}

TEST(Calibration, RowsCarrySoundPressureOnlyWithASensitivity) {
  Calibration c;
  const auto gain = Flat({1000}, -6.0);
  auto rows = ExportRows(gain, -20.0, c);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_FALSE(rows[0].splDb);
  EXPECT_EQ(RowsCsv(rows), "frequency_hz,gain_db\n1000.000,-6.00\n");
  // A sine at -20 dB through -6 dB reads -26 dBFS: with 94 dB SPL reading
  // -36 dBFS it stands for 104 dB SPL.
  c.sensitivityDbfs = -36.0;
  rows = ExportRows(gain, -20.0, c);
  ASSERT_TRUE(rows[0].splDb);
  EXPECT_NEAR(*rows[0].splDb, 104.0, 1e-12);
  EXPECT_EQ(RowsCsv(rows), "frequency_hz,gain_db,spl_db\n1000.000,-6.00,104.00\n");
  // The microphone's deviation at the point comes off both.
  c.mic = Parsed("100 2\n10000 2\n");
  rows = ExportRows(gain, -20.0, c);
  EXPECT_NEAR(rows[0].gainDb, -8.0, 1e-12);
  EXPECT_NEAR(*rows[0].splDb, 102.0, 1e-12);
  EXPECT_EQ(RowsCsv({}), "frequency_hz,gain_db\n");
}

TEST(Calibration, AnExportedCurveReadsBackAsACorrectionFile) {
  // A loopback's CSV is a sound-card file: its header line is a comment.
  const std::vector<GainPoint> loopback = {{20, -3.1}, {200, -0.2}, {2000, -0.05}, {20000, -1.7}};
  const QString csv = RowsCsv(ExportRows(loopback, -3.0, Calibration{}));
  const CorrectionRead read = ParseCorrection(csv.toStdString());
  ASSERT_TRUE(read.curve) << read.error;
  Calibration c;
  c.device = read.curve;
  for (const GainPoint& p : Corrected(loopback, c)) EXPECT_NEAR(p.gainDb, 0.0, 0.005) << p.frequency;
}
