#include "measurement/Recording.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "dsp/C_FFT.h"
#include "measurement/PathDelay.h"
#include "measurement/RunResponse.h"
#include "measurement/TestSignal.h"

namespace measurement {

namespace {

constexpr int32_t kLocateRate = 8000;    // the whole-recording search runs at about this rate
constexpr double kLocateClarity = 8.0;   // the response's peak over its RMS
constexpr double kRefineSeconds = 0.05;  // the exact search starts this far ahead of the coarse answer

// The left channel as means of m frames.
std::vector<double> Reduce(std::span<const StereoSample> signal, int64_t m) {
  std::vector<double> out(signal.size() / static_cast<size_t>(m));
  for (size_t j = 0; j < out.size(); ++j) {
    double sum = 0;
    for (int64_t i = 0; i < m; ++i) sum += signal[j * static_cast<size_t>(m) + static_cast<size_t>(i)].Left;
    out[j] = sum / static_cast<double>(m);
  }
  return out;
}

}  // namespace

bool IsRunSweep(std::span<const StereoSample> played, int32_t rate) {
  if (played.empty() || rate <= 0) return false;
  int32_t peak = 0;
  for (const StereoSample s : played) peak = std::max(peak, std::abs(int32_t{s.Left}));
  if (peak == 0) return false;
  std::vector<StereoSample> sweep(played.size());
  SweepTable table;
  std::vector<int16_t> level;
  GenerateSweep(sweep, rate, peak, table, level);
  const double tolerance = 2 + 0.01 * peak;
  for (size_t i = 0; i < played.size(); ++i)
    if (std::abs(int32_t{played[i].Left} - int32_t{sweep[i].Left}) > tolerance) return false;
  return true;
}

std::optional<int64_t> LocatePlayed(std::span<const StereoSample> played, std::span<const StereoSample> captured,
                                    int32_t rate) {
  const int64_t m = std::max<int64_t>(1, rate / kLocateRate);
  const std::vector<double> p = Reduce(played, m), x = Reduce(captured, m);
  const auto np = static_cast<int64_t>(p.size()), nx = static_cast<int64_t>(x.size());
  if (np < 16 || nx < 16) return std::nullopt;
  // Lags from a quarter of the played signal before the recording's start
  // (a recorder started late) to its end.
  const int64_t early = np / 4;
  size_t size = 2;
  while (static_cast<int64_t>(size) < nx + np + early) size *= 2;
  const std::vector<double> h = RegularisedResponse(p, x, size);
  if (h.empty()) return std::nullopt;
  const auto at = [&](int64_t lag) {
    return h[static_cast<size_t>(lag >= 0 ? lag : static_cast<int64_t>(size) + lag)];
  };
  double sumSquares = 0, peak = 0;
  int64_t best = 0;
  for (int64_t lag = -early; lag < nx; ++lag) {
    const double v = at(lag);
    sumSquares += v * v;
    if (std::abs(v) > peak) {
      peak = std::abs(v);
      best = lag;
    }
  }
  const double rms = std::sqrt(sumSquares / static_cast<double>(nx + early));
  if (!(rms > 0) || peak / rms < kLocateClarity) return std::nullopt;
  return best * m;
}

RecordingAnalysis AnalyseRecording(std::span<const StereoSample> played, std::span<const StereoSample> captured,
                                   int32_t rate) {
  RecordingAnalysis out;
  out.rate = rate;
  out.playedFrames = static_cast<int32_t>(std::min<size_t>(played.size(), INT32_MAX / 4));
  played = played.first(static_cast<size_t>(out.playedFrames));
  out.mode = IsRunSweep(played, rate) ? SignalMode::Sweep : SignalMode::Noise;
  int32_t peak = 0;
  for (const StereoSample s : played) peak = std::max(peak, std::abs(int32_t{s.Left}));
  if (peak > 0) out.levelTenthsDb = static_cast<int32_t>(std::nearbyint(200 * std::log10(peak / 32767.0)));
  if (out.mode == SignalMode::Sweep) {
    MakeSweepFreqTable(out.sweep, rate, out.playedFrames);
    out.level.assign(static_cast<size_t>(out.playedFrames), 0);
  }
  const std::optional<int64_t> coarse = LocatePlayed(played, captured, rate);
  if (coarse) {
    // The run's own finders, on the stretch of the recording that starts a
    // little ahead of the coarse answer.
    out.from = std::clamp<int64_t>(*coarse - static_cast<int64_t>(kRefineSeconds * rate), 0,
                                   static_cast<int64_t>(captured.size()));
    const std::span<const StereoSample> rest = captured.subspan(static_cast<size_t>(out.from));
    if (out.mode == SignalMode::Sweep) {
      out.followed = FollowTiming(played, rest, rate, out.sweep.freq, std::nullopt);
      out.timing = TimingFactsOf(out.followed, out.playedFrames, static_cast<double>(out.from));
    } else {
      const PathDelay fine = FindPathDelay(played, rest, rate);
      if (fine.found) {
        out.timing.found = true;
        out.timing.start = static_cast<double>(out.from + fine.frames);
        out.timing.end = out.timing.start + out.playedFrames - 1;
      }
    }
  }
  const auto start = static_cast<int64_t>(std::llround(out.timing.start));
  // A sweep is read wherever its map reaches the recording: one that began
  // after the sweep did leaves the entries played before it at 0.
  const bool sweepHeard = out.mode == SignalMode::Sweep && out.timing.found && out.timing.end >= 0;
  if (sweepHeard || (out.timing.found && start >= 0 && start < static_cast<int64_t>(captured.size()))) {
    if (out.mode == SignalMode::Sweep) {
      const std::span<const StereoSample> rest = captured.subspan(static_cast<size_t>(out.from));
      AnalyseSweep(rest, rate, out.sweep.freq, out.level, out.followed);
      // What a run would have captured: on past the sweep's end by its tail,
      // not the minutes a recorder may have run on.
      const double end = out.followed.CaptureDelayFrames() +
                         static_cast<double>(out.playedFrames) * (1 + std::abs(out.followed.driftPpm) * 1e-6) +
                         static_cast<double>(std::max<int64_t>(CaptureTailFrames(rate, out.playedFrames), rate));
      const auto kept = static_cast<size_t>(std::clamp(std::ceil(end), 0.0, static_cast<double>(rest.size())));
      out.response = SweepResponse(played, rest.first(kept), rate, out.followed);
    } else {
      const std::span<const StereoSample> aligned = captured.subspan(static_cast<size_t>(start));
      // One frame per twentieth of a second while the noise played.
      C_FFT fft;
      fft.Init(kFftPoints);
      const int32_t chunk = std::max(1, static_cast<int32_t>(std::nearbyint(rate / 20.0)));
      const auto frames =
          static_cast<int32_t>(std::min<int64_t>(out.playedFrames, static_cast<int64_t>(aligned.size())));
      for (int32_t s = chunk; s + kFftPoints <= frames; s += chunk) NoiseStep(fft, aligned, frames, s, out.spectrum);
    }
  }
  out.verdict = JudgeRun(played, captured, rate, out.mode, out.timing, HostFlags{}, out.level);
  return out;
}

}  // namespace measurement
