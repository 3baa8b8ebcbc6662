#include "measurement/TimingDrift.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>

namespace measurement::timing {

namespace {

using Runs = std::vector<std::vector<DriftPoint>>;

// What one more number in a model (the slope, an offset after a step) must
// bring: its fit must come this much closer to the pieces, in weighted
// squared error (two sigmas).
constexpr double kPenalty = 4.0;

double Weight(const DriftPoint& p) {
  const double sigma = std::isfinite(p.sigma) && p.sigma > 1e-6 ? p.sigma : 1e-6;
  return 1.0 / (sigma * sigma);
}

struct RunMean {
  double at = 0, delay = 0;
};

RunMean MeanOf(const std::vector<DriftPoint>& run) {
  double w = 0, at = 0, delay = 0;
  for (const DriftPoint& p : run) {
    w += Weight(p);
    at += Weight(p) * p.at;
    delay += Weight(p) * p.delay;
  }
  return w > 0 ? RunMean{at / w, delay / w} : RunMean{};
}

struct Line {
  double slope = 0;
  double spanned = 0;
  double from = 1e300, to = -1e300;  // the first and last point of its runs of two or more
  double error = 0;                  // weighted squared distance of the points from it
};

// A common slope (the given one, or the best), each run its own offset.
// A run of one point fits any line and tells nothing.
Line FitLine(const Runs& runs, std::optional<double> slope) {
  Line line;
  double sxy = 0, sxx = 0;
  for (const auto& run : runs) {
    if (run.size() < 2) continue;
    const RunMean m = MeanOf(run);
    double lo = run.front().at, hi = run.front().at;
    for (const DriftPoint& p : run) {
      sxy += Weight(p) * (p.at - m.at) * (p.delay - m.delay);
      sxx += Weight(p) * (p.at - m.at) * (p.at - m.at);
      lo = std::min(lo, p.at);
      hi = std::max(hi, p.at);
    }
    line.spanned += hi - lo;
    line.from = std::min(line.from, lo);
    line.to = std::max(line.to, hi);
  }
  line.slope = slope ? *slope : (sxx > 0 ? sxy / sxx : 0.0);
  for (const auto& run : runs) {
    if (run.size() < 2) continue;
    const RunMean m = MeanOf(run);
    for (const DriftPoint& p : run) {
      const double r = p.delay - m.delay - line.slope * (p.at - m.at);
      line.error += Weight(p) * r * r;
    }
  }
  return line;
}

Runs SplitAt(const Runs& runs, size_t r, size_t k) {
  Runs out(runs.begin(), runs.begin() + static_cast<std::ptrdiff_t>(r));
  out.emplace_back(runs[r].begin(), runs[r].begin() + static_cast<std::ptrdiff_t>(k));
  out.emplace_back(runs[r].begin() + static_cast<std::ptrdiff_t>(k), runs[r].end());
  out.insert(out.end(), runs.begin() + static_cast<std::ptrdiff_t>(r) + 1, runs.end());
  return out;
}

struct Model {
  Runs runs;
  Line line;
  double score = 0;  // its error and what its numbers cost
};

// The runs split, one step at a time where it helps most, while a split
// brings more than it costs; with the best slope or none.
Model Best(Runs runs, bool sloped) {
  const auto fit = [&](const Runs& r) { return FitLine(r, sloped ? std::nullopt : std::optional<double>(0.0)); };
  Model m{std::move(runs), {}, 0};
  m.line = fit(m.runs);
  int splits = 0;
  for (;;) {
    Runs best;
    Line bestLine;
    for (size_t r = 0; r < m.runs.size(); ++r)
      for (size_t k = 1; k < m.runs[r].size(); ++k) {
        Runs candidate = SplitAt(m.runs, r, k);
        const Line line = fit(candidate);
        if (best.empty() || line.error < bestLine.error) {
          best = std::move(candidate);
          bestLine = line;
        }
      }
    if (best.empty() || m.line.error - bestLine.error <= kPenalty) break;
    m.runs = std::move(best);
    m.line = bestLine;
    ++splits;
  }
  m.score = m.line.error + kPenalty * (splits + (sloped ? 1 : 0));
  return m;
}

}  // namespace

DriftFit FitDrift(Runs runs) {
  std::erase_if(runs, [](const std::vector<DriftPoint>& run) { return run.empty(); });
  const Model sloped = Best(runs, true);
  const Model flat = Best(std::move(runs), false);
  DriftFit fit;
  fit.slope = sloped.line.slope;
  fit.spanned = sloped.line.spanned;
  fit.extent = sloped.line.to > sloped.line.from ? sloped.line.to - sloped.line.from : 0.0;
  fit.supported = sloped.score < flat.score;
  return fit;
}

}  // namespace measurement::timing
