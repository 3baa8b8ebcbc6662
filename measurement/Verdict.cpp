#include "measurement/Verdict.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "dsp/ComplexFFT.h"
#include "measurement/TestSignal.h"
#include "measurement/Timing.h"

namespace measurement {

namespace {

constexpr double kFullScale = 32767.0;
// Capture that may still hold the signal: a little before its arrival (a
// converter's filters ring ahead), more after its end (the path's decay).
constexpr double kGuardBeforeSeconds = 0.002;
constexpr double kGuardAfterSeconds = 0.1;
constexpr int64_t kMaxTransform = 8192;
constexpr int64_t kMaxSegments = 256;  // per stretch, spread evenly over it

int64_t FloorPowerOfTwo(int64_t n) {
  int64_t p = 1;
  while (p * 2 <= n) p *= 2;
  return n >= 1 ? p : 0;
}

struct Stretch {
  int64_t from = 0, to = 0;  // [from, to)
  int64_t Length() const { return std::max<int64_t>(0, to - from); }
};

// The mean power spectrum of a signal's stretches: Hann-windowed transforms
// of size frames (the mean of each removed), half overlapping.
class PowerSpectrum {
 public:
  explicit PowerSpectrum(int64_t size) : m_Size(size), m_Power(static_cast<size_t>(size / 2 + 1), 0.0) {
    m_Fft.Init(static_cast<size_t>(size));
    m_Window.resize(static_cast<size_t>(size));
    for (int64_t i = 0; i < size; ++i)
      m_Window[static_cast<size_t>(i)] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / size);
  }

  // Adds the segments that fit into the stretch (none when it is shorter).
  void Add(std::span<const StereoSample> signal, Stretch s) {
    s.from = std::max<int64_t>(s.from, 0);
    s.to = std::min<int64_t>(s.to, static_cast<int64_t>(signal.size()));
    if (s.Length() < m_Size) return;
    const int64_t hop = m_Size / 2;
    const int64_t count = std::min<int64_t>((s.Length() - m_Size) / hop + 1, kMaxSegments);
    const int64_t room = s.Length() - m_Size;
    std::vector<std::complex<double>> z(static_cast<size_t>(m_Size));
    for (int64_t segment = 0; segment < count; ++segment) {
      const int64_t first = s.from + (count > 1 ? room * segment / (count - 1) : 0);
      double mean = 0;
      for (int64_t i = 0; i < m_Size; ++i) mean += signal[static_cast<size_t>(first + i)].Left;
      mean /= static_cast<double>(m_Size);
      for (int64_t i = 0; i < m_Size; ++i)
        z[static_cast<size_t>(i)] =
            (signal[static_cast<size_t>(first + i)].Left - mean) * m_Window[static_cast<size_t>(i)];
      m_Fft.Forward(z);
      for (size_t k = 0; k < m_Power.size(); ++k) m_Power[k] += std::norm(z[k]);
      ++m_Segments;
    }
  }

  bool Empty() const { return m_Segments == 0; }

  // The mean power of the bins whose frequency lies in [low, high); the bin
  // nearest the band's centre when none does.
  double Band(double low, double high, int32_t rate) const {
    if (m_Segments == 0) return 0;
    const double binHz = static_cast<double>(rate) / static_cast<double>(m_Size);
    const auto last = static_cast<int64_t>(m_Power.size()) - 1;
    int64_t lo = std::max<int64_t>(1, static_cast<int64_t>(std::ceil(low / binHz)));
    int64_t hi = std::min<int64_t>(last, static_cast<int64_t>(std::ceil(high / binHz)) - 1);
    if (lo > hi) lo = hi = std::clamp<int64_t>(std::llround(std::sqrt(low * high) / binHz), 1, last);
    double sum = 0;
    for (int64_t k = lo; k <= hi; ++k) sum += m_Power[static_cast<size_t>(k)];
    return sum / static_cast<double>(m_Segments);
  }

 private:
  int64_t m_Size;
  ComplexFFT m_Fft;
  std::vector<double> m_Window;
  std::vector<double> m_Power;
  int64_t m_Segments = 0;
};

// The capture before the signal arrived (after any exact silence a device
// starts with) and after it ended.
std::vector<Stretch> NoiseStretches(std::span<const StereoSample> captured, int32_t rate, const TimingFacts& t) {
  const auto n = static_cast<int64_t>(captured.size());
  int64_t lead = 0;
  while (lead < n && captured[static_cast<size_t>(lead)].Left == 0) ++lead;
  const auto before = static_cast<int64_t>(std::floor(t.start - kGuardBeforeSeconds * rate));
  const auto after = static_cast<int64_t>(std::ceil(t.end + kGuardAfterSeconds * rate)) + 1;
  return {Stretch{lead, std::min(before, n)}, Stretch{std::max<int64_t>(after, 0), n}};
}

// Where the signal lies in the capture, with the guards around it; all of
// the capture when the signal was not found.
Stretch SignalStretch(std::span<const StereoSample> captured, int32_t rate, const TimingFacts& t) {
  const auto n = static_cast<int64_t>(captured.size());
  if (!t.found) return {0, n};
  const auto from = static_cast<int64_t>(std::floor(t.start - kGuardBeforeSeconds * rate));
  const auto to = static_cast<int64_t>(std::ceil(t.end + kGuardAfterSeconds * rate)) + 1;
  return {std::clamp<int64_t>(from, 0, n), std::clamp<int64_t>(to, 0, n)};
}

void JudgeLevels(std::span<const StereoSample> captured, Stretch s, Verdict& v) {
  int32_t peak = 0;
  int64_t clipped = 0;
  for (int64_t i = s.from; i < s.to; ++i) {
    const int32_t x = std::abs(int32_t{captured[static_cast<size_t>(i)].Left});
    peak = std::max(peak, x);
    if (x >= 32767) ++clipped;
  }
  if (clipped > 0) {
    v.reasons.push_back({Reason::Clipped, static_cast<double>(clipped)});
  } else if (peak > 0) {
    const double headroom = 20 * std::log10(kFullScale / peak);
    if (headroom < kMinHeadroomDb) v.reasons.push_back({Reason::LowHeadroom, headroom});
  }
}

// Signal over noise in each third of the band: the power the capture holds
// in that third while the signal is there (for a sweep: while it passes
// through that third), less the noise's, over the noise's.
void JudgeNoise(std::span<const StereoSample> played, std::span<const StereoSample> captured, int32_t rate,
                SignalMode mode, const TimingFacts& t, Verdict& v) {
  const std::vector<Stretch> quiet = NoiseStretches(captured, rate, t);
  int64_t longest = 0;
  for (const Stretch& s : quiet) longest = std::max(longest, s.Length());
  const double top = rate / 2.0;
  const double ratio = std::cbrt(top / kBandLowHz);
  const double edges[4] = {kBandLowHz, kBandLowHz * ratio, kBandLowHz * ratio * ratio, top};
  // Where the signal lies in the capture, per third.
  const auto frames = static_cast<double>(played.size());
  const double span = frames > 1 ? (t.end - t.start) / (frames - 1) : 0;
  Stretch signal[3];
  for (int j = 0; j < 3; ++j) {
    if (mode == SignalMode::Sweep) {
      signal[j] = {static_cast<int64_t>(std::ceil(t.start + span * std::floor(frames * j / 3))),
                   static_cast<int64_t>(std::floor(t.start + span * (std::floor(frames * (j + 1) / 3) - 1))) + 1};
    } else {
      signal[j] = {static_cast<int64_t>(std::ceil(t.start)), static_cast<int64_t>(std::floor(t.end)) + 1};
    }
    signal[j].from = std::clamp<int64_t>(signal[j].from, 0, static_cast<int64_t>(captured.size()));
    signal[j].to = std::clamp<int64_t>(signal[j].to, signal[j].from, static_cast<int64_t>(captured.size()));
  }
  int64_t shortestSignal = INT64_MAX;
  for (const Stretch& s : signal) shortestSignal = std::min(shortestSignal, s.Length());
  const int64_t size = FloorPowerOfTwo(std::min({kMaxTransform, int64_t{rate} / 8, longest, shortestSignal}));
  if (size < kMinNoiseFrames) {
    if (longest < kMinNoiseFrames && shortestSignal >= kMinNoiseFrames)
      v.reasons.push_back({Reason::NoiseUnmeasured, static_cast<double>(longest)});
    return;
  }
  // Noise can only add to what a stretch holds (the path's decay, a knock):
  // each band takes the quieter of the two stretches.
  std::vector<PowerSpectrum> noise;
  for (const Stretch& s : quiet) {
    PowerSpectrum p(size);
    p.Add(captured, s);
    if (!p.Empty()) noise.push_back(std::move(p));
  }
  for (int j = 0; j < 3; ++j) {
    PowerSpectrum p(size);
    p.Add(captured, signal[j]);
    double n = INFINITY;
    for (const PowerSpectrum& q : noise) n = std::min(n, q.Band(edges[j], edges[j + 1], rate));
    if (!(n > 0)) continue;  // exact silence: no noise to speak of
    const double s = p.Band(edges[j], edges[j + 1], rate) - n;
    const double snr = s > 0 ? 10 * std::log10(s / n) : -INFINITY;
    if (snr < kMinSnrDb) v.reasons.push_back({Reason::LowSnr, std::max(snr, -99.0), edges[j], edges[j + 1]});
  }
}

}  // namespace

TimingFacts TimingFactsOf(const RunTiming& timing, int64_t playedFrames, double offset) {
  TimingFacts f;
  f.found = timing.found && !timing.segments.empty() && playedFrames > 0;
  if (!f.found) return f;
  // The ends of the map, carried on along their segments where a lost piece
  // leaves the first or last samples without a position.
  const TimingSegment& first = timing.segments.front();
  const TimingSegment& last = timing.segments.back();
  f.start = offset + first.at - first.slope * static_cast<double>(first.first);
  f.end = offset + last.at + last.slope * static_cast<double>(playedFrames - 1 - last.first);
  f.driftPpm = timing.driftPpm;
  for (const TimingEvent& e : timing.events) {
    switch (e.kind) {
      case TimingEventKind::Dropout: ++f.dropouts; break;
      case TimingEventKind::Step: ++f.steps; break;
      case TimingEventKind::LostPiece: ++f.lostPieces; break;
    }
  }
  return f;
}

bool Verdict::Has(Reason r) const {
  return std::any_of(reasons.begin(), reasons.end(), [r](const VerdictReason& x) { return x.reason == r; });
}

Quality SeverityOf(const VerdictReason& reason) {
  switch (reason.reason) {
    case Reason::NoSignal:
    case Reason::Clipped: return Quality::Bad;
    case Reason::LowSnr: return reason.value < kBadSnrDb ? Quality::Bad : Quality::Warning;
    default: return Quality::Warning;
  }
}

bool DamagesTiming(Reason reason) {
  switch (reason) {
    case Reason::Dropouts:
    case Reason::TimingSteps:
    case Reason::LostPieces:
    case Reason::CaptureGaps:
    case Reason::CaptureOverflow:
    case Reason::CaptureUnderflow:
    case Reason::PlaybackUnderflow:
    case Reason::PlaybackOverflow: return true;
    case Reason::NoSignal:
    case Reason::Clipped:
    case Reason::LowHeadroom:
    case Reason::LowSnr:
    case Reason::NoiseUnmeasured:
    case Reason::Drift:
    case Reason::CaptureLate: return false;  // what was heard is timed right; only the start is missing
  }
  return false;
}

int32_t CountGaps(std::span<const StereoSample> captured, int32_t rate, const TimingFacts& timing,
                  std::span<const int16_t> envelope) {
  if (!timing.found || rate <= 0) return 0;
  // Runs of exact zeros in the capture, with signal before and after them.
  const auto n = static_cast<int64_t>(captured.size());
  const int64_t from = std::clamp<int64_t>(static_cast<int64_t>(std::ceil(timing.start)), 0, n);
  const int64_t to = std::clamp<int64_t>(static_cast<int64_t>(std::floor(timing.end)) + 1, from, n);
  const int64_t least = std::max<int64_t>(16, static_cast<int64_t>(std::ceil(kMinGapSeconds * rate)));
  int32_t silent = 0;
  int64_t run = 0;
  bool heard = false;  // a non-zero sample came before the run
  for (int64_t i = from; i < to; ++i) {
    if (captured[static_cast<size_t>(i)].Left == 0) {
      ++run;
      continue;
    }
    if (heard && run >= least) ++silent;
    heard = true;
    run = 0;
  }
  // Stretches of the envelope without a level, inside its levels.
  int32_t holes = 0;
  const auto firstLevel = std::find_if(envelope.begin(), envelope.end(), [](int16_t v) { return v > 0; });
  const auto lastLevel = std::find_if(envelope.rbegin(), envelope.rend(), [](int16_t v) { return v > 0; });
  if (firstLevel != envelope.end()) {
    const auto end = lastLevel.base();
    for (auto it = firstLevel; it != end; ++it)
      if (*it <= 0 && *(it - 1) > 0) ++holes;
    // The sweep's top without a level: the capture ended before it came
    // back, or the path does not carry it. The last few entries (under half
    // a window at the top) have none in any run.
    if (envelope.end() - end > least) ++holes;
  }
  const int32_t unexplained = std::max(0, holes - timing.dropouts - timing.lostPieces);
  return std::max(silent, unexplained);
}

Verdict JudgeRun(std::span<const StereoSample> played, std::span<const StereoSample> captured, int32_t rate,
                 SignalMode mode, const TimingFacts& timing, const HostFlags& flags,
                 std::span<const int16_t> envelope) {
  Verdict v;
  if (!timing.found || rate <= 0 || played.empty() || captured.empty()) v.reasons.push_back({Reason::NoSignal});
  if (rate > 0) JudgeLevels(captured, SignalStretch(captured, rate, timing), v);
  if (timing.found && rate > 0 && !played.empty()) {
    JudgeNoise(played, captured, rate, mode, timing, v);
    if (timing.dropouts > 0) v.reasons.push_back({Reason::Dropouts, static_cast<double>(timing.dropouts)});
    if (timing.steps > 0) v.reasons.push_back({Reason::TimingSteps, static_cast<double>(timing.steps)});
    if (timing.lostPieces > 0) v.reasons.push_back({Reason::LostPieces, static_cast<double>(timing.lostPieces)});
    const int32_t gaps = CountGaps(captured, rate, timing, envelope);
    if (gaps > 0) v.reasons.push_back({Reason::CaptureGaps, static_cast<double>(gaps)});
    if (std::abs(timing.driftPpm) > kMaxDriftPpm) v.reasons.push_back({Reason::Drift, timing.driftPpm});
    // The signal's start arrived before the capture's first frame: what
    // was played until the capture began is missing from the result.
    if (timing.start < -kLateFrames) v.reasons.push_back({Reason::CaptureLate, -1000.0 * timing.start / rate});
  }
  if (flags.reported) {
    if (flags.inputOverflow) v.reasons.push_back({Reason::CaptureOverflow});
    if (flags.inputUnderflow) v.reasons.push_back({Reason::CaptureUnderflow});
    if (flags.outputUnderflow) v.reasons.push_back({Reason::PlaybackUnderflow});
    if (flags.outputOverflow) v.reasons.push_back({Reason::PlaybackOverflow});
  }
  for (const VerdictReason& r : v.reasons) v.quality = std::max(v.quality, SeverityOf(r));
  return v;
}

}  // namespace measurement
