// The details views of a result with its impulse response, from a sweep
// through the loopback simulator (a 2nd-order Butterworth high-pass at
// 100 Hz and low-pass at 10 kHz, -6 dB, a 10 ms delay): what each tab holds,
// against the path's known response.
#include "measurement/ResponseViews.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

#include "measurement/DetailViews.h"
#include "measurement/MeasurementRun.h"
#include "measurement/ResultFiles.h"
#include "measurement/SideFiles.h"
#include "measurement/VerdictText.h"
#include "tests/measurement/SimulatedSweep.h"

using namespace measurement;

namespace {

// The simulator's path in dB at f (analogue Butterworth magnitudes).
double PathDb(double f) {
  const double hp = std::pow(f / 100.0, 2) / std::sqrt(1 + std::pow(f / 100.0, 4));
  const double lp = 1 / std::sqrt(1 + std::pow(f / 10000.0, 4));
  return 20 * std::log10(hp * lp * 0.5);
}

class ResponseViewsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sweep = new measurement::testing::SimulatedSweep(measurement::testing::SimulateSweep(48000, 2.0, -30));
  }
  static void TearDownTestSuite() {
    delete sweep;
    sweep = nullptr;
  }
  static measurement::testing::SimulatedSweep* sweep;
};
measurement::testing::SimulatedSweep* ResponseViewsTest::sweep = nullptr;

TEST_F(ResponseViewsTest, TheFrequencyResponseReadsThePathAndIsKeptPerSmoothing) {
  ResponseViews views(sweep->Response());
  const PlotCurve m = views.MagnitudeCurve(Smoothing::None, "01", 0xFF80FF);
  EXPECT_EQ(m.color, 0xFF80FFu);
  ASSERT_GT(m.x.size(), 400u);  // 1/48 octave over ~11 octaves
  EXPECT_NEAR(std::log2(m.x[1] / m.x[0]), 1.0 / 48, 1e-9);
  for (const double f : {100.0, 1000.0, 5000.0}) EXPECT_NEAR(CurveValueAt(m, f), PathDb(f), 0.2) << f;
  EXPECT_LE(m.x.back(), 0.95 * 24000);
  EXPECT_EQ(&views.Points(Smoothing::Octave6), &views.Points(Smoothing::Octave6));
  EXPECT_NE(&views.Points(Smoothing::Octave6), &views.Points(Smoothing::None));
}

TEST_F(ResponseViewsTest, PhaseBreaksAtItsWrapAndGroupDelayIsInMilliseconds) {
  ResponseViews views(sweep->Response());
  const PlotCurve p = views.PhaseCurve(Smoothing::None, "01", 1);
  EXPECT_EQ(p.unit, ValueUnit::Degree);
  double last = NAN;
  for (const double v : p.y) {
    if (std::isfinite(v) && std::isfinite(last)) EXPECT_LE(std::abs(v - last), 180);
    last = v;
  }
  // The high-pass leads by 90° at its corner: the excess phase there.
  EXPECT_NEAR(CurveValueAt(p, 100), 90, 10);
  const PlotCurve g = views.GroupDelayCurve(Smoothing::None, "01", 1);
  EXPECT_EQ(g.unit, ValueUnit::Millisecond);
  // A 2nd-order Butterworth high-pass at 100 Hz delays 1 kHz by well under a
  // millisecond, and 30 Hz by more than one.
  EXPECT_LT(std::abs(CurveValueAt(g, 1000)), 0.5);
  EXPECT_GT(CurveValueAt(g, 30), 1.0);
}

TEST_F(ResponseViewsTest, TheImpulsePeaksAtItsArrivalAndTheEnergyCurveFollowsIt) {
  ResponseViews views(sweep->Response());
  const std::vector<PlotView> v = views.ImpulseViews("01", 0x80FF80);
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v[0].xAxis, PlotAxis::Time);
  ASSERT_EQ(v[0].curves.size(), 1u);
  const PlotCurve& wave = v[0].curves[0];
  size_t at = 0;
  for (size_t i = 0; i < wave.y.size(); ++i)
    if (std::abs(wave.y[i]) > std::abs(wave.y[at])) at = i;
  EXPECT_DOUBLE_EQ(std::abs(wave.y[at]), 1.0);
  EXPECT_LT(std::abs(wave.x[at]), 0.1);  // ms from the arrival
  ASSERT_EQ(v[1].curves.size(), 1u);
  const PlotCurve& etc = v[1].curves[0];
  EXPECT_EQ(etc.color, 0x80FF80u);
  EXPECT_NEAR(*std::max_element(etc.y.begin(), etc.y.end()), 0.0, 1e-3);
  EXPECT_LT(CurveValueAt(etc, 500), -60);  // long after: the run's noise
}

TEST_F(ResponseViewsTest, DistortionShowsTheHarmonicsThdAndTheNoiseFloor) {
  ResponseViews views(sweep->Response());
  const PlotView v = views.DistortionView(Smoothing::Octave12);
  QStringList names;
  for (const PlotCurve& c : v.curves) names << c.name;
  EXPECT_EQ(names, (QStringList{"ノイズ", "H2", "H3", "H4", "H5", "THD"}));
  EXPECT_EQ(v.curves[1].color, kHarmonicColors[0]);
  EXPECT_EQ(v.curves[5].unit, ValueUnit::PercentFromDb);
  EXPECT_LE(v.xMax, views.Response().sweep.f2Hz / 2);
  // H5 is read only below a fifth of the sweep's end.
  for (size_t i = 0; i < v.curves[4].x.size(); ++i)
    if (v.curves[4].x[i] * 5 >= views.Response().sweep.f2Hz) EXPECT_TRUE(std::isnan(v.curves[4].y[i]));
}

TEST_F(ResponseViewsTest, AResultWithItsResponseFillsEveryTab) {
  QTemporaryDir dir;
  Result run;
  run.mode = SignalMode::Sweep;
  run.sampleRate = 48000;
  run.envelope.assign(96000, 10000);
  ASSERT_TRUE(SaveResultFile(dir.filePath("01.dat"), run));
  // Without side files: the envelope only.
  EXPECT_FALSE(ResultDetails::Read(dir.filePath("01.dat"), 0.0f)->HasResponse());
  // With them: the response read back from beside the result.
  // The side file as a run writes it: the verdict's key, the delay the run
  // reported (from the playback's start, not where the capture holds the
  // response) and its drift.
  ASSERT_TRUE(WriteSideFiles(dir.filePath("01.dat"), sweep->Response(),
                             {QualityKey(Quality::Good), -30, 10.25, QStringLiteral("playback start"), 1.5, {}}));
  const auto d = ResultDetails::Read(dir.filePath("01.dat"), 0.0f);
  ASSERT_TRUE(d->HasResponse());
  EXPECT_TRUE(DetailSummary(*d).contains("判定 良好")) << DetailSummary(*d).toStdString();
  EXPECT_TRUE(DetailSummary(*d).contains("遅延 10.25 ms")) << DetailSummary(*d).toStdString();
  EXPECT_TRUE(DetailSummary(*d).contains("ドリフト 1.5 ppm")) << DetailSummary(*d).toStdString();
  for (int tab = 0; tab < kDetailTabCount; ++tab) {
    const std::vector<PlotView> v =
        BuildDetailViews(static_cast<DetailTab>(tab), Smoothing::None, {{"01", 0x123456, d}});
    ASSERT_FALSE(v.empty()) << tab;
    EXPECT_TRUE(v[0].note.isEmpty()) << tab;
    EXPECT_FALSE(v[0].curves.empty()) << tab;
  }
  // The magnitude is the response's gain, not the envelope's level.
  const PlotView m = BuildDetailViews(DetailTab::Magnitude, Smoothing::None, {{"01", 0x123456, d}})[0];
  EXPECT_NEAR(CurveValueAt(m.curves.back(), 1000), PathDb(1000), 0.2);
}

}  // namespace
