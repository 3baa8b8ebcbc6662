#pragma once
// The capture clock's drift, read from the pieces' delays (Timing.cpp finds
// them): one slope common to the whole run, each run of pieces between two
// changes of delay with its own offset.
//
// A real path's latency also wobbles: a busy sound server shifts it by a few
// frames now and then, and a piece beside a dropout reads a blend. Such
// pieces stray from any line, or lie on plateaus that a line through them
// would read as a slope. So the pieces are explained twice: by one slope, and
// by constant delays, each with the runs split where a step explains them
// better by more than the step costs (each number a model takes must bring
// its fit two sigmas closer). The slope is kept only when it wins.
#include <vector>

namespace measurement::timing {

struct DriftPoint {
  double at = 0;     // sweep sample the delay belongs to
  double delay = 0;  // frames
  double sigma = 1;  // how well the delay is known, in frames (> 0)
};

struct DriftFit {
  double slope = 0;        // capture frames per sweep sample, beyond one
  double spanned = 0;      // sweep samples the slope was read over (its runs' spans added)
  double extent = 0;       // sweep samples from the first to the last point it was read from
  bool supported = false;  // the slope explains the pieces better than steps would
};

// runs: the points of each run of pieces that agree (in sweep order, runs
// in order). The runs are split further where that brings the line closer
// to the points than the split costs; the slope is fitted over the runs of
// two points or more.
DriftFit FitDrift(std::vector<std::vector<DriftPoint>> runs);

}  // namespace measurement::timing
