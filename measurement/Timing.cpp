#include "measurement/Timing.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

#include "measurement/PathDelay.h"
#include "measurement/TimingDrift.h"
#include "measurement/TimingPieces.h"

namespace measurement {

namespace {

// The sweep is followed in this many pieces.
constexpr int64_t kPieces = 16;
// A piece's delay is looked for this far either side of the whole run's.
constexpr double kPieceWindowSeconds = 0.15;
// Two pieces agree when their delays differ by less than this plus their
// group delays: the path's group delay, read from its magnitude, is only
// known so well where it is large (at the low corner of a high-pass).
constexpr double kAgreeSeconds = 0.001;
// Points the path's magnitude is read at, to know its group delay.
constexpr int kMagnitudePoints = 512;
// The clock's drift is read from the pieces whose delay is known best:
// searched at no less than rate / kDriftStep, below kDriftTop of the rate,
// and within kDriftBelow of the strongest piece's gain. The path's group
// delay, taken from its magnitude, is known to a fraction of a frame in its
// pass band; in a stop band (on a low-pass skirt, near a capture's noise)
// it is not, and an error of a frame there reads as ppm of drift.
constexpr int64_t kDriftStep = 64;
constexpr double kDriftTop = 0.45;
constexpr double kDriftBelow = 2.3;  // 20 dB in ln |H|
// A drift that moves the delay by less than this many frames across the
// pieces it is read from is not told apart from the path's own group delay
// (known to a fraction of a frame), and reads 0.
constexpr double kLeastDriftFrames = 2.0;
// The path's group delay is read from its magnitude, which a capture that
// began after the sweep did has only from some frequency up: below it the
// magnitude is guessed, and the group delay read near it (where it is large,
// as above a high-pass corner) is known only to a share of itself. Then the
// pieces whose group delay is larger than this neither tell the drift nor,
// while a run has others, its offset.
constexpr double kSureGroupDelaySeconds = 1e-4;
// The pieces the drift is read from reach over at least this share of the
// sweep, or no drift is read: a slope over a short stretch (a capture that
// began late, a run broken up by changes) is the pieces' own error, not the
// clock's.
constexpr double kLeastDriftSpan = 0.15;

double FrequencyOf(std::span<const float> sweepFreq, int64_t b) {
  return b >= 0 && b < static_cast<int64_t>(sweepFreq.size()) ? sweepFreq[static_cast<size_t>(b)] : 0.0;
}

struct Piece {
  TimingPiece out;
  timing::PieceFound found;
  double groupDelay = 0;    // the path's own, which the raw lag includes
  double logMagnitude = 0;  // ln |H| over the piece
  double Delay() const { return found.lag - groupDelay; }
};

}  // namespace

std::optional<double> RunTiming::CapturePosition(int64_t b) const {
  const auto it = std::upper_bound(segments.begin(), segments.end(), b,
                                   [](int64_t v, const TimingSegment& s) { return v < s.first; });
  if (it == segments.begin()) return std::nullopt;
  const TimingSegment& s = *(it - 1);
  if (b >= s.end) return std::nullopt;
  return s.at + s.slope * static_cast<double>(b - s.first);
}

int64_t RunTiming::CaptureFrame(int64_t b) const {
  const std::optional<double> c = CapturePosition(b);
  if (!c || !std::isfinite(*c)) return -1;
  const double r = std::nearbyint(*c);
  return r >= 0 && r < 9.0e18 ? static_cast<int64_t>(r) : -1;
}

RunTiming RunTiming::Fixed(double delay, int64_t count) {
  RunTiming t;
  t.found = true;
  t.delayFrames = delay;
  if (count > 0) t.segments.push_back({0, count, delay, 1.0});
  return t;
}

int64_t CaptureTailFrames(int32_t rate, int64_t playedFrames) { return DelaySearchFrames(rate, playedFrames); }

const char* DelayReferenceName(DelayReference reference) {
  return reference == DelayReference::PlaybackStart ? "playback start" : "capture start";
}

const char* TimingEventName(TimingEventKind kind) {
  switch (kind) {
    case TimingEventKind::Dropout: return "dropout";
    case TimingEventKind::Step: return "step";
    case TimingEventKind::LostPiece: return "lost piece";
  }
  return "";
}

namespace {

// heardFrom .. heardTo - 1: the capture frames that were recorded.
RunTiming FollowFromStart(std::span<const StereoSample> played, std::span<const StereoSample> captured, int32_t rate,
                          std::span<const float> sweepFreq, std::optional<double> captureStartFrames, int64_t heardFrom,
                          int64_t heardTo);

}  // namespace

RunTiming FollowTiming(std::span<const StereoSample> played, std::span<const StereoSample> captured, int32_t rate,
                       std::span<const float> sweepFreq, std::optional<double> captureStartFrames) {
  // A capture that started well before or after the playback (a wait set
  // between the two) is looked at as though it had started with it: the
  // delays searched for are then the path's own, whatever the wait.
  const int64_t shift = captureStartFrames && std::isfinite(*captureStartFrames)
                            ? std::llround(std::clamp(*captureStartFrames, -9e15, 9e15))
                            : 0;
  const auto size = static_cast<int64_t>(captured.size());
  if (shift == 0 || std::abs(shift) >= size)
    return FollowFromStart(played, captured, rate, sweepFreq, captureStartFrames, 0, size);
  // Capture frame c is playback frame c + shift: aligned[c + shift] = captured[c].
  std::vector<StereoSample> aligned(static_cast<size_t>(size + std::max<int64_t>(shift, 0)));
  for (int64_t c = std::max<int64_t>(0, -shift); c < size; ++c)
    aligned[static_cast<size_t>(c + shift)] = captured[static_cast<size_t>(c)];
  RunTiming t = FollowFromStart(played, aligned, rate, sweepFreq, *captureStartFrames - static_cast<double>(shift),
                                std::max<int64_t>(shift, 0), size + shift);
  // Back to frames of the capture as it was recorded.
  t.captureStartFrames = captureStartFrames;
  for (TimingSegment& segment : t.segments) segment.at -= static_cast<double>(shift);
  for (TimingPiece& piece : t.pieces) piece.delay -= static_cast<double>(shift);
  return t;
}

namespace {

RunTiming FollowFromStart(std::span<const StereoSample> played, std::span<const StereoSample> captured, int32_t rate,
                          std::span<const float> sweepFreq, std::optional<double> captureStartFrames, int64_t heardFrom,
                          int64_t heardTo) {
  const auto n = static_cast<int64_t>(played.size());
  const double start = captureStartFrames.value_or(0.0);
  const PathDelay global = FindPathDelay(played, captured, rate, sweepFreq);
  RunTiming t = RunTiming::Fixed(global.found ? global.frames : 0, n);
  t.found = global.found;
  t.clarity = global.clarity;
  t.captureStartFrames = captureStartFrames;
  t.reference = captureStartFrames ? DelayReference::PlaybackStart : DelayReference::CaptureStart;
  t.delayFrames = (global.found ? global.frames : 0) + start;
  if (!global.found || static_cast<int64_t>(sweepFreq.size()) < n || n < kPieces * 64 || rate <= 0) return t;

  // Each piece on its own, near the whole run's delay.
  const int64_t window = std::max<int64_t>(
      1, std::min<int64_t>(DelaySearchFrames(rate, n), static_cast<int64_t>(kPieceWindowSeconds * rate)));
  std::vector<Piece> pieces(static_cast<size_t>(kPieces));
  for (int64_t p = 0; p < kPieces; ++p) {
    Piece& piece = pieces[static_cast<size_t>(p)];
    piece.out.first = n * p / kPieces;
    piece.out.count = n * (p + 1) / kPieces - piece.out.first;
    const auto begin = played.begin() + piece.out.first;
    if (std::all_of(begin, begin + piece.out.count, [](const StereoSample& s) { return s.Left == 0; })) {
      piece.out.use = PieceUse::Silent;
      continue;
    }
    // A piece played before the capture began, or arriving after it ended,
    // was never recorded (in part): what it would read is a blend. Its
    // search takes in half a piece more either side.
    const int64_t arrives = piece.out.first + global.frames;
    const int64_t reach = piece.out.count / 2;
    if (arrives - reach < heardFrom || arrives + piece.out.count + reach > heardTo) {
      piece.out.use = PieceUse::Unheard;
      continue;
    }
    piece.found =
        timing::FindPiece(played, captured, rate, sweepFreq, piece.out.first, piece.out.count, global.frames, window);
    piece.out.centre = piece.found.centre;
    piece.out.clarity = piece.found.clarity;
    piece.out.use = piece.found.found ? PieceUse::Used : PieceUse::NoSignal;
  }
  const auto used = [&](size_t i) { return pieces[i].out.use == PieceUse::Used; };
  const auto neighbour = [&](size_t i, int dir) -> std::optional<size_t> {
    for (auto j = static_cast<int64_t>(i) + dir; j >= 0 && j < kPieces; j += dir)
      if (used(static_cast<size_t>(j))) return static_cast<size_t>(j);
    return std::nullopt;
  };

  // The path's own group delay, from its magnitude read along the sweep
  // aligned by the raw piece delays (nearest piece).
  const auto rawLagAt = [&](int64_t b) {
    double best = global.frames, distance = 1e300;
    for (const Piece& piece : pieces) {
      if (piece.out.use != PieceUse::Used) continue;
      const double d = std::abs(piece.found.centre - static_cast<double>(b));
      if (d < distance) {
        distance = d;
        best = piece.found.lag;
      }
    }
    return best;
  };
  // Only what was recorded: a reading that takes in frames from before the
  // capture began would read the path too weak there.
  const auto recorded = static_cast<int64_t>(captured.size());
  const int64_t heardStart = std::clamp<int64_t>(heardFrom, 0, recorded);
  const int64_t heardLength = std::clamp<int64_t>(heardTo, heardStart, recorded) - heardStart;
  // Reads the path's magnitude with the capture frame of sweep sample b at
  // b + lagAt(b) (not a number: no reading there), and each used piece's
  // group delay and delay from it.
  const auto readGroupDelays = [&](const std::function<double(int64_t)>& lagAt) {
    const std::vector<timing::MagnitudePoint> magnitude = timing::SampleMagnitude(
        played, captured.subspan(static_cast<size_t>(heardStart), static_cast<size_t>(heardLength)), rate, sweepFreq,
        [&](int64_t b) { return lagAt(b) - static_cast<double>(heardStart); }, kMagnitudePoints);
    const std::vector<double> groupDelay = timing::PathGroupDelay(magnitude, rate);
    for (Piece& piece : pieces) {
      if (piece.out.use != PieceUse::Used) continue;
      const timing::SliceView view =
          timing::ViewSlice(groupDelay, magnitude, rate, sweepFreq, piece.found.sliceFirst, piece.found.sliceFrames);
      piece.groupDelay = view.groupDelay;
      piece.logMagnitude = view.logMagnitude;
      piece.found.centre = view.centre;
      piece.out.centre = view.centre;
      piece.out.delay = piece.Delay();
    }
  };
  readGroupDelays(rawLagAt);
  const auto tolerance = [&](size_t a, size_t b) {
    return kAgreeSeconds * rate + std::abs(pieces[a].groupDelay) + std::abs(pieces[b].groupDelay) +
           0.25 * static_cast<double>(pieces[a].found.step + pieces[b].found.step);
  };
  const auto agree = [&](size_t a, size_t b) {
    return std::abs(pieces[a].Delay() - pieces[b].Delay()) <= tolerance(a, b);
  };

  // A piece that agrees with neither neighbour is left out: an outlier, or
  // a piece that straddles a change and read a blend of both sides.
  std::vector<size_t> outliers;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (!used(i)) continue;
    const auto before = neighbour(i, -1), after = neighbour(i, +1);
    if (before && after && !agree(i, *before) && !agree(i, *after)) outliers.push_back(i);
  }
  for (const size_t i : outliers) pieces[i].out.use = PieceUse::Disagrees;

  // Runs of agreeing pieces; between two runs the delay changed.
  std::vector<std::vector<size_t>> groups;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (!used(i)) continue;
    if (groups.empty() || !agree(groups.back().back(), i)) groups.emplace_back();
    groups.back().push_back(i);
  }
  if (groups.empty()) {
    t.pieces.clear();
    for (const Piece& piece : pieces) t.pieces.push_back(piece.out);
    return t;
  }

  // Where each change lies.
  std::vector<timing::Change> changes;
  for (size_t g = 0; g + 1 < groups.size(); ++g) {
    const Piece& a = pieces[groups[g].back()];
    const Piece& b = pieces[groups[g + 1].front()];
    const auto from = static_cast<int64_t>(a.found.centre), to = static_cast<int64_t>(b.found.centre) + 1;
    changes.push_back(timing::LocateChange(played, captured, rate, sweepFreq, from, to, a.found.lag, b.found.lag));
  }
  // A piece whose band reaches across a change read a blend of both sides,
  // close to the side it mostly heard: it agrees, but it is not exact.
  const auto straddles = [&](const Piece& piece) {
    const int64_t from = piece.found.sliceFirst, to = from + piece.found.sliceFrames;
    return std::any_of(changes.begin(), changes.end(),
                       [&](const timing::Change& c) { return c.start2 > from && c.end1 < to; });
  };

  // The magnitude again, now that the damage is known. A stretch of the
  // sweep that did not come back (a lost piece, an outlier, where the delay
  // changed) reads as a deep notch, and the minimum-phase group delay of a
  // notch reaches far along the band: every piece's delay, and the drift
  // read from them, would carry it. Those stretches are left out (the
  // readings either side bridge them), and each reading takes its own run's
  // lag.
  const Piece& lastUsedPiece = pieces[groups.back().back()];
  const int64_t usedFrom = pieces[groups.front().front()].out.first;
  const int64_t usedTo = lastUsedPiece.out.first + lastUsedPiece.out.count;
  const auto heard = [&](int64_t x) {
    if (x < usedFrom || x >= usedTo) return true;
    auto p = static_cast<size_t>(std::clamp<int64_t>(x * kPieces / n, 0, kPieces - 1));
    while (p > 0 && pieces[p].out.first > x) --p;
    while (p + 1 < pieces.size() && pieces[p + 1].out.first <= x) ++p;
    return pieces[p].out.use == PieceUse::Used;
  };
  readGroupDelays([&](int64_t b) {
    constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    const double f = FrequencyOf(sweepFreq, b);
    const int64_t half = timing::MagnitudeHalfWindow(rate, f);
    if (!heard(b - half) || !heard(b) || !heard(b + half - 1)) return kNone;
    size_t g = 0;
    for (const timing::Change& c : changes) {
      if (b + half > c.end1 && b - half < c.start2) return kNone;
      if (c.start2 <= b) ++g;
    }
    double lag = kNone, distance = 1e300;
    for (const size_t i : groups[std::min(g, groups.size() - 1)]) {
      const double d = std::abs(pieces[i].found.centre - static_cast<double>(b));
      if (d < distance) {
        distance = d;
        lag = pieces[i].found.lag;
      }
    }
    return lag;
  });

  // One clock for the whole run: a common slope, each run its own offset.
  const auto weight = [&](const Piece& piece) {
    const double sigma = 0.01 * static_cast<double>(piece.found.step) + 0.1 * std::abs(piece.groupDelay) + 0.2;
    return 1.0 / (sigma * sigma);
  };
  double strongest = -1e300;
  for (const Piece& piece : pieces)
    if (piece.out.use == PieceUse::Used) strongest = std::max(strongest, piece.logMagnitude);
  const bool lowUnheard = pieces.front().out.use == PieceUse::Unheard;
  const auto sure = [&](const Piece& piece) {
    return !lowUnheard || std::abs(piece.groupDelay) <= kSureGroupDelaySeconds * rate;
  };
  const auto forDrift = [&](const Piece& piece) {
    return piece.found.step <= kDriftStep && piece.logMagnitude >= strongest - kDriftBelow && !straddles(piece) &&
           sure(piece) &&
           FrequencyOf(sweepFreq, piece.found.sliceFirst + piece.found.sliceFrames - 1) <= kDriftTop * rate;
  };
  std::vector<std::vector<timing::DriftPoint>> runs;
  for (const auto& group : groups) {
    runs.emplace_back();
    for (const size_t i : group)
      if (forDrift(pieces[i]))
        runs.back().push_back({pieces[i].found.centre, pieces[i].Delay(), 1.0 / std::sqrt(weight(pieces[i]))});
  }
  const timing::DriftFit drift = timing::FitDrift(runs);
  double slope = drift.supported && drift.extent >= kLeastDriftSpan * static_cast<double>(n) ? drift.slope : 0.0;
  if (std::abs(slope) * drift.spanned < kLeastDriftFrames) slope = 0;
  t.driftPpm = slope * 1e6;
  // A drifting capture hears the sweep a little higher or lower, which on a
  // logarithmic sweep looks like a shift of slope / (its rise in ln f per
  // sample): every piece reads that much late.
  const double rise = std::log(FrequencyOf(sweepFreq, n - 1) / FrequencyOf(sweepFreq, 0)) / static_cast<double>(n - 1);
  const double doppler = rise > 0 && std::isfinite(rise) ? slope / rise : 0.0;
  // Each run's offset under that slope, from its pieces that heard one side
  // of every change and whose group delay is known well, where it has such.
  std::vector<double> offsets;
  for (const auto& group : groups) {
    const auto good = [&](size_t i, bool whole, bool known) {
      return (!whole || !straddles(pieces[i])) && (!known || sure(pieces[i]));
    };
    const bool whole = std::any_of(group.begin(), group.end(), [&](size_t i) { return good(i, true, false); });
    const bool known = std::any_of(group.begin(), group.end(), [&](size_t i) { return good(i, whole, true); });
    double w = 0, sum = 0;
    for (const size_t i : group) {
      if (!good(i, whole, known)) continue;
      w += weight(pieces[i]);
      sum += weight(pieces[i]) * (pieces[i].Delay() - slope * pieces[i].found.centre);
    }
    offsets.push_back(sum / w - doppler);
  }

  const auto offsetOf = [&](size_t g) { return offsets[g]; };

  // The map: each run's line from where the previous change ends to where the next begins.
  t.segments.clear();
  t.events.clear();
  int64_t segmentFirst = 0;
  for (size_t g = 0; g < groups.size(); ++g) {
    int64_t segmentEnd = n, nextFirst = n;
    if (g + 1 < groups.size()) {
      const timing::Change& change = changes[g];
      const double size = offsetOf(g + 1) - offsetOf(g);
      segmentEnd = change.end1;
      nextFirst =
          size < 0 ? std::max(change.start2, std::min<int64_t>(n, change.end1 + std::llround(-size))) : change.start2;
      nextFirst = std::max(nextFirst, segmentEnd);
      TimingEvent event;
      event.kind = size < 0 ? TimingEventKind::Dropout : TimingEventKind::Step;
      event.sweepSample = change.end1;
      event.timeS = static_cast<double>(change.end1) / rate;
      event.sizeMs = 1000.0 * size / rate;
      t.events.push_back(event);
    }
    const double offset = offsetOf(g);
    if (segmentEnd > segmentFirst)
      t.segments.push_back(
          {segmentFirst, segmentEnd, offset + (1.0 + slope) * static_cast<double>(segmentFirst), 1.0 + slope});
    segmentFirst = nextFirst;
  }

  // Pieces inside the sweep's answered band that never came back.
  const auto firstUsed = groups.front().front(), lastUsed = groups.back().back();
  for (size_t i = firstUsed; i <= lastUsed; ++i) {
    if (pieces[i].out.use != PieceUse::NoSignal) continue;
    TimingEvent event;
    event.kind = TimingEventKind::LostPiece;
    event.sweepSample = pieces[i].out.first;
    event.timeS = static_cast<double>(pieces[i].out.first) / rate;
    event.sizeMs = 1000.0 * static_cast<double>(pieces[i].out.count) / rate;
    t.events.push_back(event);
  }
  std::sort(t.events.begin(), t.events.end(),
            [](const TimingEvent& a, const TimingEvent& b) { return a.sweepSample < b.sweepSample; });
  for (const Piece& piece : pieces) t.pieces.push_back(piece.out);
  t.delayFrames = offsetOf(0) + start;
  return t;
}

}  // namespace

}  // namespace measurement
