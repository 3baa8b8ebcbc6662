// The drift read from the pieces' delays: a slope only where the pieces show
// one, not where a path's latency moved by a few frames now and then.
#include "measurement/TimingDrift.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace measurement::timing;

namespace {

// Sixteen pieces 30000 sweep samples apart, each known to a third of a
// frame; at each of steps (piece index, frames) the delay moves from there on.
std::vector<DriftPoint> Pieces(double ppm, const std::vector<std::pair<int, double>>& steps) {
  std::vector<DriftPoint> points;
  for (int i = 0; i < 16; ++i) {
    const double at = 15000.0 + 30000.0 * i;
    double delay = 480 + ppm * 1e-6 * at;
    for (const auto& [from, frames] : steps) delay += i >= from ? frames : 0.0;
    points.push_back({at, delay, 0.33});
  }
  return points;
}

// What the timing reports: no drift unless the fit is supported and moves
// the delay by 2 frames or more across what it was read from.
double ReportedPpm(const DriftFit& fit) {
  return fit.supported && std::abs(fit.slope) * fit.spanned >= 2 ? fit.slope * 1e6 : 0.0;
}

TEST(DriftFitTest, AClockDriftIsReadFromTheLineThePiecesLieOn) {
  for (const double ppm : {50.0, -50.0, 300.0}) {
    const DriftFit fit = FitDrift({Pieces(ppm, {})});
    EXPECT_TRUE(fit.supported) << ppm;
    EXPECT_NEAR(fit.slope * 1e6, ppm, 1e-6) << ppm;
    EXPECT_NEAR(fit.extent, 450000, 1e-6);
  }
}

TEST(DriftFitTest, LatencyThatMovedByAFewFramesReadsNoDrift) {
  // One clock: the delay rose and fell by a few frames, never drifting.
  for (const auto& steps :
       std::vector<std::vector<std::pair<int, double>>>{{{4, 3}, {9, -3}},
                                                        {{3, 2}, {6, 3}, {12, 4}},  // only upward: a staircase
                                                        {{2, 5}, {5, -2}, {13, -2}},
                                                        {{8, 4}}}) {
    const DriftFit fit = FitDrift({Pieces(0, steps)});
    EXPECT_EQ(ReportedPpm(fit), 0.0) << "slope " << fit.slope * 1e6 << " ppm, first step at " << steps[0].first;
  }
}

TEST(DriftFitTest, ADriftIsReadPastTheStepsOfAWobblingLatency) {
  for (const double ppm : {50.0, -50.0}) {
    const DriftFit fit = FitDrift({Pieces(ppm, {{2, 5}, {5, -2}, {13, -2}})});
    EXPECT_NEAR(ReportedPpm(fit), ppm, 0.5);
  }
}

TEST(DriftFitTest, APieceThatStraysDoesNotTiltTheLine) {
  // The top piece of a path whose magnitude droops without the group delay
  // a minimum-phase path would have reads 7 frames early.
  std::vector<DriftPoint> points = Pieces(100, {});
  points.back().delay -= 7;
  EXPECT_NEAR(ReportedPpm(FitDrift({points})), 100, 0.5);
  // One that read a blend beside a dropout, 8 frames late, well known.
  points = Pieces(0, {});
  points[9].delay += 8;
  points[9].sigma = 0.2;
  EXPECT_EQ(ReportedPpm(FitDrift({points})), 0.0);
}

TEST(DriftFitTest, RunsBetweenChangesShareTheSlopeButNotTheOffset) {
  std::vector<DriftPoint> all = Pieces(-50, {});
  std::vector<DriftPoint> first(all.begin(), all.begin() + 8), second(all.begin() + 8, all.end());
  for (DriftPoint& p : second) p.delay += 960;  // a 20 ms step between them
  const DriftFit fit = FitDrift({first, second, {}});
  EXPECT_TRUE(fit.supported);
  EXPECT_NEAR(fit.slope * 1e6, -50, 1e-6);
  EXPECT_NEAR(fit.spanned, 2 * 210000.0, 1e-6);
}

TEST(DriftFitTest, TooFewPiecesTellNoDrift) {
  EXPECT_FALSE(FitDrift({}).supported);
  EXPECT_FALSE(FitDrift({{{1000, 480, 0.3}}}).supported);
  // Two pieces fit any line: no better than a step between them.
  EXPECT_FALSE(FitDrift({{{1000, 480, 0.3}, {31000, 490, 0.3}}}).supported);
}

}  // namespace
