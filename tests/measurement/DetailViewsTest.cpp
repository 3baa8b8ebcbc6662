// The details window's views of results: smoothing against its formula,
// reading and keeping results, and what each tab holds for old results.
#include "measurement/DetailViews.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

#include "measurement/Correction.h"
#include "measurement/Result.h"
#include "measurement/ResultFiles.h"
#include "measurement/SideFiles.h"
#include "measurement/TestSignal.h"
#include "tests/measurement/SimulatedSweep.h"

using namespace measurement;

namespace {

std::vector<CurvePoint> Points(int perOctave, double from, double to, double db) {
  std::vector<CurvePoint> p;
  for (int j = 0;; ++j) {
    const double f = from * std::exp2(static_cast<double>(j) / perOctave);
    if (f > to) break;
    p.push_back({f, db});
  }
  return p;
}

// A sweep result whose envelope is `level` everywhere but `dip` within
// +-1/12 octave of 1 kHz.
QString WriteSweep(const QString& path, int32_t rate, int16_t level, int16_t dip) {
  Result run;
  run.mode = SignalMode::Sweep;
  run.sampleRate = rate;
  SweepTable table;
  MakeSweepFreqTable(table, rate, 2 * rate);
  run.envelope.resize(static_cast<size_t>(2 * rate));
  for (size_t i = 0; i < run.envelope.size(); ++i) {
    const double octaves = std::abs(std::log2(table.freq[i] / 1000.0));
    run.envelope[i] = octaves < 1.0 / 12 ? dip : level;
  }
  EXPECT_TRUE(SaveResultFile(path, run));
  return path;
}

TEST(SmoothOctaveTest, NoSmoothingAndAFlatCurveStayAsTheyAre) {
  const std::vector<CurvePoint> flat = Points(48, 20, 20000, -6);
  const std::vector<CurvePoint> same = SmoothOctave(flat, 0);
  ASSERT_EQ(same.size(), flat.size());
  for (size_t i = 0; i < flat.size(); ++i) EXPECT_EQ(same[i].levelDb, -6);
  for (const CurvePoint& p : SmoothOctave(flat, 3)) EXPECT_NEAR(p.levelDb, -6, 1e-9);
}

TEST(SmoothOctaveTest, APeakSpreadsAsThePowerMeanOverItsWindow) {
  // 48 points per octave: a 1/6-octave window (+-1/12 octave) holds the
  // point and 4 on each side, 9 in all.
  std::vector<CurvePoint> p = Points(48, 100, 10000, 0);
  const size_t peak = 48 * 3;  // 800 Hz
  p[peak].levelDb = 20;
  const std::vector<CurvePoint> s = SmoothOctave(p, 6);
  const double inside = 10 * std::log10((100.0 + 8.0) / 9.0);
  for (size_t i = peak - 4; i <= peak + 4; ++i) EXPECT_NEAR(s[i].levelDb, inside, 1e-9) << i;
  EXPECT_NEAR(s[peak - 5].levelDb, 0, 1e-9);
  EXPECT_NEAR(s[peak + 5].levelDb, 0, 1e-9);
  EXPECT_EQ(s[peak].frequency, p[peak].frequency);
}

TEST(SmoothOctaveTest, AtTheEndsOnlyThePointsThereCount) {
  std::vector<CurvePoint> p = Points(48, 100, 1000, 0);
  p.front().levelDb = 10;
  const std::vector<CurvePoint> s = SmoothOctave(p, 6);
  EXPECT_NEAR(s.front().levelDb, 10 * std::log10((10.0 + 4.0) / 5.0), 1e-9);  // itself and 4 above
}

TEST(DetailLabelsTest, TabsAndSmoothingsReadAsTheWindowShowsThem) {
  EXPECT_EQ(DetailTabLabel(DetailTab::Magnitude), "周波数特性");
  EXPECT_EQ(DetailTabLabel(DetailTab::Phase), "位相");
  EXPECT_EQ(DetailTabLabel(DetailTab::GroupDelay), "群遅延");
  EXPECT_EQ(DetailTabLabel(DetailTab::Impulse), "インパルス応答");
  EXPECT_EQ(DetailTabLabel(DetailTab::Distortion), "歪み");
  QStringList s;
  for (int i = 0; i < kSmoothingCount; ++i) s << SmoothingLabel(static_cast<ViewSmoothing>(i));
  EXPECT_EQ(s, (QStringList{"なし", "1/48", "1/24", "1/12", "1/6", "1/3"}));
}

class DetailResultsTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
};

TEST_F(DetailResultsTest, ASweepResultReadsAsTheCurveTheCsvExportGives) {
  const QString path = WriteSweep(dir.filePath("01.dat"), 8000, 10000, 1000);
  const auto d = ResultDetails::Read(path, -6.0f);
  ASSERT_TRUE(d->Readable());
  EXPECT_TRUE(d->IsSweep());
  EXPECT_EQ(d->SampleRate(), 8000);
  EXPECT_FALSE(d->HasResponse());
  const LoadedResult state = LoadResultFile(path);
  ASSERT_EQ(state.outcome, LoadOutcome::Sweep);
  const std::vector<CurvePoint> truth = ResultCurve(state.result, -6.0f);
  const std::vector<CurvePoint>& m = d->Magnitude(ViewSmoothing::None);
  ASSERT_EQ(m.size(), truth.size());
  for (size_t i = 0; i < m.size(); ++i) EXPECT_EQ(m[i].levelDb, truth[i].levelDb);
  // The flat part reads 20 log10(10000 / 32767) + 6 on the main window's grid.
  EXPECT_NEAR(m.front().levelDb, 20 * std::log10(10000 / 32767.0) + 6, 1e-9);
}

TEST_F(DetailResultsTest, SmoothingFillsTheDipAndIsComputedOnce) {
  const QString path = WriteSweep(dir.filePath("01.dat"), 8000, 10000, 1000);
  const auto d = ResultDetails::Read(path, 0.0f);
  const auto at1k = [](const std::vector<CurvePoint>& c) {
    double best = 1e9, v = 0;
    for (const CurvePoint& p : c)
      if (std::abs(std::log2(p.frequency / 1000)) < best) best = std::abs(std::log2(p.frequency / 1000)), v = p.levelDb;
    return v;
  };
  const double flat = 20 * std::log10(10000 / 32767.0);
  EXPECT_NEAR(at1k(d->Magnitude(ViewSmoothing::None)), flat - 20, 0.5);
  const double third = at1k(d->Magnitude(ViewSmoothing::Octave3));
  EXPECT_GT(third, flat - 6);  // a 1/6-octave dip in a 1/3-octave window
  EXPECT_LT(third, flat - 1);
  EXPECT_EQ(&d->Magnitude(ViewSmoothing::Octave3), &d->Magnitude(ViewSmoothing::Octave3));
}

TEST_F(DetailResultsTest, TheCacheKeepsAResultUntilItsFileChanges) {
  const QString path = WriteSweep(dir.filePath("01.dat"), 8000, 10000, 10000);
  DetailCache cache;
  const auto first = cache.Get(path, -6.0f);
  EXPECT_EQ(cache.Get(path, -6.0f), first);
  EXPECT_NE(cache.Get(path, 0.0f), first);  // another grid: read again
  const auto second = cache.Get(path, 0.0f);
  // A longer file in its place.
  Result run;
  run.mode = SignalMode::Sweep;
  run.sampleRate = 8000;
  run.envelope.assign(static_cast<size_t>(3 * 8000), 500);
  ASSERT_TRUE(SaveResultFile(path, run));
  EXPECT_NE(cache.Get(path, 0.0f), second);
  EXPECT_EQ(cache.Size(), 1u);
}

TEST_F(DetailResultsTest, NoiseResultsAndUnreadableFilesStillOpen) {
  Result run;
  run.mode = SignalMode::Noise;
  run.sampleRate = 48000;
  run.spectrum.values.fill(3276.7f);
  ASSERT_TRUE(SaveResultFile(dir.filePath("02.fft"), run));
  const auto noise = ResultDetails::Read(dir.filePath("02.fft"), 0.0f);
  ASSERT_TRUE(noise->Readable());
  EXPECT_FALSE(noise->IsSweep());
  ASSERT_EQ(noise->Magnitude(ViewSmoothing::None).size(), 1023u);
  EXPECT_NEAR(noise->Magnitude(ViewSmoothing::Octave6)[500].levelDb, -20, 1e-4);

  QFile junk(dir.filePath("03.dat"));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("not a result");
  junk.close();
  const auto bad = ResultDetails::Read(junk.fileName(), 0.0f);
  EXPECT_FALSE(bad->Readable());
  EXPECT_TRUE(bad->Magnitude(ViewSmoothing::Octave3).empty());
  const std::vector<PlotView> v = BuildDetailViews(DetailTab::Magnitude, ViewSmoothing::None, {{"03", 0xFF, bad}});
  ASSERT_EQ(v.size(), 1u);
  EXPECT_TRUE(v[0].curves.empty());
  EXPECT_TRUE(v[0].note.contains("読み込めません")) << v[0].note.toStdString();
}

TEST_F(DetailResultsTest, TheMagnitudeOverlaysEveryShownResultWithTheOpenedOneOnTop) {
  const auto a = ResultDetails::Read(WriteSweep(dir.filePath("01.dat"), 8000, 10000, 10000), 0.0f);
  const auto b = ResultDetails::Read(WriteSweep(dir.filePath("02.dat"), 16000, 3000, 3000), 0.0f);
  const std::vector<ReferenceCurve> refs = {{"mic", 0x123456, Points(12, 20, 4000, -3)}};
  const std::vector<PlotView> v =
      BuildDetailViews(DetailTab::Magnitude, ViewSmoothing::Octave6, {{"01", 0xFF80FF, a}, {"02", 0x80FF80, b}}, refs);
  ASSERT_EQ(v.size(), 1u);
  ASSERT_EQ(v[0].curves.size(), 3u);
  EXPECT_EQ(v[0].curves[0].color, 0x123456u);
  EXPECT_EQ(v[0].curves[1].color, 0x80FF80u);
  EXPECT_EQ(v[0].curves[2].color, 0xFF80FFu);  // the opened result, last and wider
  EXPECT_EQ(v[0].curves[2].name, "01");
  EXPECT_GT(v[0].curves[2].width, v[0].curves[1].width);
  EXPECT_EQ(v[0].xMax, 8000);  // the highest Nyquist among them
  // The range holds both levels (-10.3 and -20.8 dB) with room.
  EXPECT_GE(v[0].yMax, 20 * std::log10(10000 / 32767.0));
  EXPECT_LE(v[0].yMin, 20 * std::log10(3000 / 32767.0));
  EXPECT_EQ(std::fmod(v[0].yMax, 5.0), 0.0);
  EXPECT_TRUE(v[0].note.isEmpty());
}

TEST_F(DetailResultsTest, CorrectionsComeOffTheResultsButNotOffTheReferences) {
  const auto a = ResultDetails::Read(WriteSweep(dir.filePath("01.dat"), 8000, 10000, 10000), 0.0f);
  // A microphone reading 3 dB high at 100 Hz rising to 9 dB at 1 kHz (linear
  // over log frequency between), and a sound card 1 dB low everywhere.
  CorrectionCurve mic, card;
  mic.points = {{100, 3, 0}, {1000, 9, 0}};
  card.points = {{10, -1, 0}, {20000, -1, 0}};
  const ReferenceCurve target = ReferenceFromCorrection("target", 0x00AA00, mic);
  ASSERT_EQ(target.points.size(), 2u);
  EXPECT_EQ(target.points[1].frequency, 1000);
  EXPECT_EQ(target.points[1].levelDb, 9);
  Calibration calibration;
  calibration.mic = mic;
  calibration.device = card;
  const std::vector<PlotView> v =
      BuildDetailViews(DetailTab::Magnitude, ViewSmoothing::None, {{"01", 0xFF80FF, a}}, {target}, calibration);
  ASSERT_EQ(v[0].curves.size(), 2u);
  const double flat = 20 * std::log10(10000 / 32767.0);
  const PlotCurve& result = v[0].curves[1];
  EXPECT_NEAR(CurveValueAt(result, 50), flat - 3 + 1, 1e-6);                  // below the file: its first value
  EXPECT_NEAR(CurveValueAt(result, 316.22776601683796), flat - 6 + 1, 0.05);  // half-way in log f
  EXPECT_NEAR(CurveValueAt(result, 2000), flat - 9 + 1, 1e-6);
  EXPECT_EQ(v[0].curves[0].y, (std::vector<double>{3, 9}));  // the reference as it is
}

TEST_F(DetailResultsTest, WithASensitivityTheMagnitudeIsTheCapturedSoundPressure) {
  // A sweep envelope of 10000 is a sine of peak 10000 * sqrt 2 at the input,
  // whatever the grid's offset and the level it was played at.
  const QString path = WriteSweep(dir.filePath("01.dat"), 8000, 10000, 10000);
  const double capturedDbfs = 20 * std::log10(10000 * std::sqrt(2.0) / 32767);
  CorrectionCurve mic;
  mic.points = {{20, 2, 0}, {20000, 2, 0}};
  mic.sensitivityDbfs = -30;
  Calibration calibration;
  calibration.mic = mic;
  for (const float offset : {0.0f, -8.8f}) {
    const auto a = ResultDetails::Read(path, offset);
    const std::vector<PlotView> v =
        BuildDetailViews(DetailTab::Magnitude, ViewSmoothing::None, {{"01", 0xFF80FF, a}}, {}, calibration);
    ASSERT_EQ(v[0].curves.size(), 1u);
    EXPECT_EQ(v[0].title, QStringLiteral("周波数特性 (dB SPL)"));
    EXPECT_NEAR(CurveValueAt(v[0].curves[0], 1000), 94 + capturedDbfs - 2 - (-30), 1e-6) << offset;
    // A sensitivity typed in wins over the file's.
    calibration.sensitivityDbfs = -40;
    EXPECT_NEAR(
        CurveValueAt(
            BuildDetailViews(DetailTab::Magnitude, ViewSmoothing::None, {{"01", 0, a}}, {}, calibration)[0].curves[0],
            1000),
        94 + capturedDbfs - 2 + 40, 1e-6);
    calibration.sensitivityDbfs.reset();
  }
  // A response that does not know its played level is left out, and said.
  const auto b = ResultDetails::Read(path, 0.0f);
  b->AttachResponse(measurement::testing::SimulateSweep(8000, 2.0, -30).Response());
  const PlotView v = BuildDetailViews(DetailTab::Magnitude, ViewSmoothing::None, {{"01", 0, b}}, {}, calibration)[0];
  EXPECT_TRUE(v.curves.empty());
  EXPECT_TRUE(v.note.contains("dB SPL")) << v.note.toStdString();
}

TEST_F(DetailResultsTest, AFileWithPhaseTakesItsPhaseOffThePhaseView) {
  const auto a = ResultDetails::Read(WriteSweep(dir.filePath("01.dat"), 8000, 10000, 10000), 0.0f);
  a->AttachResponse(measurement::testing::SimulateSweep(8000, 2.0, -30).Response());
  const PlotCurve raw = BuildDetailViews(DetailTab::Phase, ViewSmoothing::None, {{"01", 0, a}})[0].curves.at(0);
  // A microphone turning the phase by 100 degrees at 10 Hz, 160 at 10 kHz.
  CorrectionCurve mic;
  mic.points = {{10, 0, 100}, {10000, 0, 160}};
  mic.hasPhase = true;
  Calibration calibration;
  calibration.mic = mic;
  const PlotCurve corrected =
      BuildDetailViews(DetailTab::Phase, ViewSmoothing::None, {{"01", 0, a}}, {}, calibration)[0].curves.at(0);
  int checked = 0;
  double last = NAN;
  for (size_t k = 0; k < corrected.x.size(); ++k) {
    const double y = corrected.y[k];
    if (!std::isfinite(y)) {
      last = NAN;
      continue;
    }
    EXPECT_GT(y, -180 - 1e-9);
    EXPECT_LE(y, 180 + 1e-9);
    // Every stretch between gaps is continuous: a wrap is a gap, not a line.
    if (std::isfinite(last)) EXPECT_LT(std::abs(y - last), 180) << corrected.x[k];
    last = y;
    const double before = CurveValueAt(raw, corrected.x[k]);
    if (!std::isfinite(before)) continue;
    const double turn = 100 + 60 * std::log10(corrected.x[k] / 10) / 3;
    EXPECT_NEAR(WrapPhaseDeg(y - (before - turn)), 0, 1e-6) << corrected.x[k];
    ++checked;
  }
  EXPECT_GT(checked, 300);
  // A file without phase leaves the phase as measured.
  calibration.mic->hasPhase = false;
  const PlotCurve same =
      BuildDetailViews(DetailTab::Phase, ViewSmoothing::None, {{"01", 0, a}}, {}, calibration)[0].curves.at(0);
  ASSERT_EQ(same.y.size(), raw.y.size());
  for (size_t k = 0; k < raw.y.size(); ++k)
    if (std::isfinite(raw.y[k])) EXPECT_EQ(same.y[k], raw.y[k]);
}

TEST_F(DetailResultsTest, OtherTabsOfAnOldResultSayThatANewSweepIsNeeded) {
  const auto a = ResultDetails::Read(WriteSweep(dir.filePath("01.dat"), 8000, 10000, 10000), 0.0f);
  for (const DetailTab tab : {DetailTab::Phase, DetailTab::GroupDelay, DetailTab::Impulse, DetailTab::Distortion}) {
    const std::vector<PlotView> v = BuildDetailViews(tab, ViewSmoothing::None, {{"01", 0xFF80FF, a}});
    ASSERT_FALSE(v.empty());
    EXPECT_TRUE(v[0].curves.empty());
    EXPECT_TRUE(v[0].note.contains("スウィープで新しく測定")) << v[0].note.toStdString();
  }
  EXPECT_EQ(BuildDetailViews(DetailTab::Impulse, ViewSmoothing::None, {{"01", 0, a}})[0].xAxis, PlotAxis::Time);
  EXPECT_TRUE(DetailSummary(*a).contains("スウィープ"));
}

}  // namespace

TEST_F(DetailResultsTest, ARunWhoseTimingSteppedSaysItsPhaseIsNotToBeTrusted) {
  const QString path = WriteSweep(dir.filePath("01.dat"), 8000, 10000, 10000);
  const ImpulseResponse ir = measurement::testing::SimulateSweep(8000, 2.0, -30).Response();
  SideInfo info;
  info.verdict = QStringLiteral("注意");
  ASSERT_TRUE(WriteSideFiles(path, ir, info));
  const auto clean = ResultDetails::Read(path, 0.0f);
  ASSERT_TRUE(clean->HasResponse());
  EXPECT_FALSE(DetailSummary(*clean).contains("位相は信頼できません")) << DetailSummary(*clean).toStdString();
  info.events = {{QStringLiteral("step"), 1.2, 40.0, 1234.0}, {QStringLiteral("dropout"), 1.5, -20.0, 310.0}};
  ASSERT_TRUE(WriteSideFiles(path, ir, info));
  SideInfo back;
  ASSERT_TRUE(ReadSideFiles(path, &back).has_value());
  ASSERT_EQ(back.events.size(), 2u);
  EXPECT_EQ(back.events[1].kind, QStringLiteral("dropout"));
  EXPECT_DOUBLE_EQ(back.events[0].hz, 1234.0);
  EXPECT_FALSE(back.PhaseTrusted());
  const QString summary = DetailSummary(*ResultDetails::Read(path, 0.0f));
  EXPECT_TRUE(summary.contains("位相は信頼できません (タイミングの乱れ: 1.2 kHz, 310 Hz)")) << summary.toStdString();
  // A run whose host filled the capture with silence, with no timing event.
  info.events.clear();
  info.reasons = {{Reason::CaptureGaps, 2}, {Reason::CaptureUnderflow}};
  ASSERT_TRUE(WriteSideFiles(path, ir, info));
  const QString gaps = DetailSummary(*ResultDetails::Read(path, 0.0f));
  EXPECT_TRUE(gaps.endsWith("  位相は信頼できません (信号途中の欠け 2 か所、入力アンダーフロー)"))
      << gaps.toStdString();
}
