#include "measurement/TimingPieces.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "dsp/ComplexFFT.h"
#include "dsp/MinimumPhase.h"

namespace measurement::timing {

namespace {

// At most this many (decimated) frames of a piece are correlated.
constexpr int64_t kSliceFrames = int64_t{1} << 14;
// Bins of the path's response from 0 to the Nyquist frequency.
constexpr size_t kResponseBins = 8192;

double FreqAt(std::span<const float> sweepFreq, int64_t b) {
  return b >= 0 && b < static_cast<int64_t>(sweepFreq.size()) ? static_cast<double>(sweepFreq[static_cast<size_t>(b)])
                                                              : 0.0;
}

double Left(std::span<const StereoSample> s, int64_t i) {
  return i >= 0 && i < static_cast<int64_t>(s.size()) ? static_cast<double>(s[static_cast<size_t>(i)].Left) : 0.0;
}

// Three moving averages of length m, then every m-th value: keeps what lies
// well below rate / (2 m). Both signals of a correlation go through the same
// filter, so its delay cancels.
template <typename Value>
std::vector<double> Reduce(Value value, int64_t length, int64_t m) {
  std::vector<double> a(static_cast<size_t>(length));
  for (int64_t i = 0; i < length; ++i) a[static_cast<size_t>(i)] = value(i);
  if (m <= 1) return a;
  for (int stage = 0; stage < 3; ++stage) {
    double sum = 0;
    std::vector<double> y(a.size());
    for (int64_t i = 0; i < length; ++i) {
      sum += a[static_cast<size_t>(i)];
      if (i >= m) sum -= a[static_cast<size_t>(i - m)];
      y[static_cast<size_t>(i)] = sum / static_cast<double>(m);
    }
    a.swap(y);
  }
  std::vector<double> out(static_cast<size_t>(length / m));
  for (size_t j = 0; j < out.size(); ++j) out[j] = a[j * static_cast<size_t>(m) + static_cast<size_t>(m) - 1];
  return out;
}

// What Reduce(.., m) leaves of the power at bin k of n of its output (the
// three moving averages' response squared). Both signals of a correlation
// carry it; divided out, the piece's band is weighted as the sweep weights
// it, and a coarse step does not tilt it (which would move the peak of a
// piece low in the sweep).
double ReducedPower(size_t k, size_t n, int64_t m) {
  if (m <= 1 || k == 0) return 1.0;
  const double x = std::numbers::pi * static_cast<double>(k) / static_cast<double>(n * static_cast<size_t>(m));
  const double r = std::sin(x * static_cast<double>(m)) / (static_cast<double>(m) * std::sin(x));
  return std::pow(r * r, 3);
}

// The envelope of the analytic correlation c (circular) at the fractional
// point tau: c brought down by its band's middle (cycles per point), where
// it is at least twice oversampled, and interpolated by a windowed sinc.
double EnvelopeAt(const std::vector<std::complex<double>>& c, double middle, double tau) {
  constexpr int64_t kHalf = 16;
  const auto n = static_cast<int64_t>(c.size());
  const auto base = static_cast<int64_t>(std::floor(tau));
  std::complex<double> sum = 0;
  for (int64_t i = base - kHalf + 1; i <= base + kHalf; ++i) {
    const double d = tau - static_cast<double>(i);
    const double x = std::numbers::pi * d;
    const double sinc = std::abs(d) < 1e-12 ? 1.0 : std::sin(x) / x;
    const double window = 0.42 + 0.5 * std::cos(x / kHalf) + 0.08 * std::cos(2 * x / kHalf);
    const double turn = -2 * std::numbers::pi * middle * static_cast<double>(i);
    sum += c[static_cast<size_t>(((i % n) + n) % n)] * std::polar(1.0, turn) * (sinc * window);
  }
  return std::abs(sum);
}

// The top of the envelope within a point of its largest sample.
double EnvelopePeak(const std::vector<std::complex<double>>& c, double middle, double best) {
  constexpr double kGolden = 0.6180339887498949;
  double lo = best - 1, hi = best + 1;
  double x1 = hi - kGolden * (hi - lo), x2 = lo + kGolden * (hi - lo);
  double e1 = EnvelopeAt(c, middle, x1), e2 = EnvelopeAt(c, middle, x2);
  for (int i = 0; i < 40; ++i) {
    if (e1 < e2) {
      lo = x1;
      x1 = x2;
      e1 = e2;
      x2 = lo + kGolden * (hi - lo);
      e2 = EnvelopeAt(c, middle, x2);
    } else {
      hi = x2;
      x2 = x1;
      e2 = e1;
      x1 = hi - kGolden * (hi - lo);
      e1 = EnvelopeAt(c, middle, x1);
    }
  }
  return 0.5 * (lo + hi);
}

}  // namespace

PieceFound FindPiece(std::span<const StereoSample> played, std::span<const StereoSample> captured, int32_t rate,
                     std::span<const float> sweepFreq, int64_t first, int64_t count, int64_t around, int64_t window) {
  PieceFound r;
  const auto n = static_cast<int64_t>(played.size());
  if (rate <= 0 || count < 16 || window < 1 || first < 0 || first + count > n) return r;
  // The rate the piece is searched at carries what is played up to half a
  // piece past its end.
  const double top = FreqAt(sweepFreq, std::min(n - 1, first + count + count / 2));
  int64_t m = top > 0 ? std::max<int64_t>(1, static_cast<int64_t>(std::floor(rate / (4.0 * top)))) : 1;
  if (count / m < 16) m = std::max<int64_t>(1, count / 16);
  // The piece's band: its own samples, at most half the correlated frames
  // about its middle.
  const int64_t core = std::min(count, kSliceFrames / 2 * m);
  const int64_t coreFirst = first + (count - core) / 2;
  const double fLo = FreqAt(sweepFreq, coreFirst), fHi = FreqAt(sweepFreq, coreFirst + core - 1);
  if (!(fLo > 0) || !(fHi > fLo)) return r;
  r.sliceFirst = coreFirst;
  r.sliceFrames = core;
  r.step = m;
  r.centre = static_cast<double>(coreFirst) + static_cast<double>(core - 1) / 2.0;

  // The played samples: the band's, and half as many again either side,
  // whole except for a taper over the outer half of each margin. Where the
  // band's frequencies were played the played slice is the sweep itself, so
  // its spectrum there is the sweep's: weighted in frequency below, the
  // correlation's envelope peaks at the path's delay for any tilt of its
  // magnitude across the band.
  const int64_t margin = core / 2;
  const int64_t from = std::max<int64_t>(0, coreFirst - margin);
  const int64_t to = std::min(n, coreFirst + core + margin);
  const int64_t span = (to - from) / m * m;
  const double rampLeft = static_cast<double>(std::max<int64_t>(0, coreFirst - margin / 2 - from));
  const double rampRight = static_cast<double>(std::max<int64_t>(0, from + span - (coreFirst + core + margin / 2)));
  const std::vector<double> p = Reduce(
      [&](int64_t i) {
        const auto d = static_cast<double>(i) + 0.5;
        double w = 1;
        if (d < rampLeft) w = 0.5 - 0.5 * std::cos(std::numbers::pi * d / rampLeft);
        const double fromEnd = static_cast<double>(span) - d;
        if (fromEnd < rampRight) w = std::min(w, 0.5 - 0.5 * std::cos(std::numbers::pi * fromEnd / rampRight));
        return Left(played, from + i) * w;
      },
      span, m);
  const int64_t capStart = from + around - window;
  const std::vector<double> x = Reduce([&](int64_t i) { return Left(captured, capStart + i); }, span + 2 * window, m);
  const auto lags = static_cast<int64_t>(x.size()) - static_cast<int64_t>(p.size());  // lags 0 .. lags
  if (lags < 2) return r;
  size_t nfft = 2;
  while (nfft < x.size() + 1) nfft *= 2;
  ComplexFFT fft;
  if (!fft.Init(nfft)) return r;
  std::vector<std::complex<double>> z(nfft);
  for (size_t j = 0; j < x.size(); ++j) z[j] = {j < p.size() ? p[j] : 0.0, x[j]};
  fft.Forward(z);
  // Cross-spectrum X conj(P), kept on positive frequencies only: its inverse
  // is the analytic correlation, whose magnitude is the envelope. It is
  // weighted by frequency (the sweep's power falls as 1 / f), by a Hann
  // window across the band in log frequency (a Hann window in time along
  // the sweep), and freed of the decimation's own response.
  std::vector<std::complex<double>> c(nfft);
  const double binHz = static_cast<double>(rate) / static_cast<double>(m) / static_cast<double>(nfft);
  const double bandLog = std::log(fHi / fLo);
  for (size_t k = 1; k < nfft / 2; ++k) {
    const double f = binHz * static_cast<double>(k);
    if (f <= fLo || f >= fHi) continue;
    const double u = std::log(f / fLo) / bandLog;
    const double weight =
        f * (0.5 - 0.5 * std::cos(2 * std::numbers::pi * u)) / std::max(1e-3, ReducedPower(k, nfft, m));
    const std::complex<double> a = z[k], b = std::conj(z[nfft - k]);
    const std::complex<double> pk = 0.5 * (a + b), xk = std::complex<double>(0, -0.5) * (a - b);
    c[k] = xk * std::conj(pk) * (2.0 * weight);
  }
  fft.Inverse(c);
  std::vector<double> env(static_cast<size_t>(lags + 1));
  size_t best = 0;
  for (size_t j = 0; j < env.size(); ++j) {
    env[j] = std::abs(c[j]);
    if (env[j] > env[best]) best = j;
  }
  if (!(env[best] > 0)) return r;
  // The envelope's main lobe is about two over the slice's bandwidth wide.
  const double bandwidth = std::max(1.0, fHi - fLo);
  const auto lobe = static_cast<int64_t>(std::ceil(2.0 * rate / (static_cast<double>(m) * bandwidth))) + 1;
  double sum = 0;
  int64_t outside = 0;
  for (int64_t j = 0; j <= lags; ++j) {
    if (std::llabs(j - static_cast<int64_t>(best)) <= lobe) continue;
    sum += env[static_cast<size_t>(j)] * env[static_cast<size_t>(j)];
    ++outside;
  }
  if (outside < 8) return r;
  r.clarity = env[best] / std::sqrt(sum / static_cast<double>(outside));
  r.found = r.clarity >= kPieceClarity;
  // The peak between the points: the envelope of a piece low in the sweep
  // is skewed, and a parabola through a coarse step's points would miss its
  // top by a share of the step squared.
  const double middle = 0.5 * (fLo + fHi) * static_cast<double>(m) / rate;
  const double at = EnvelopePeak(c, middle, static_cast<double>(best));
  r.lag = static_cast<double>(around - window) + at * static_cast<double>(m);
  return r;
}

int64_t MagnitudeHalfWindow(int32_t rate, double f) {
  return f > 0 ? std::max<int64_t>(32, static_cast<int64_t>(std::min(2.0 * rate / f, 1e12))) : 32;
}

std::vector<MagnitudePoint> SampleMagnitude(std::span<const StereoSample> played,
                                            std::span<const StereoSample> captured, int32_t rate,
                                            std::span<const float> sweepFreq,
                                            const std::function<double(int64_t)>& lagAt, int points) {
  std::vector<MagnitudePoint> out;
  const auto n = static_cast<int64_t>(std::min(played.size(), sweepFreq.size()));
  if (n < 2 || points < 2 || rate <= 0) return out;
  const double lo = std::max(1.0, FreqAt(sweepFreq, 0)), hi = FreqAt(sweepFreq, n - 1);
  if (!(hi > lo)) return out;
  for (int i = 0; i < points; ++i) {
    const double f = lo * std::pow(hi / lo, (i + 0.5) / points);
    const auto it = std::lower_bound(sweepFreq.begin(), sweepFreq.begin() + n, static_cast<float>(f));
    const int64_t b = it - sweepFreq.begin();
    const int64_t half = MagnitudeHalfWindow(rate, f);
    const int64_t from = std::max<int64_t>(0, b - half), to = std::min<int64_t>(n, b + half);
    const double at = lagAt(b);
    if (!std::isfinite(at) || std::abs(at) > 9e15) continue;
    const auto lag = static_cast<int64_t>(std::llround(at));
    if (from + lag < 0 || to + lag > static_cast<int64_t>(captured.size()) || to - from < 16) continue;
    double ep = 0, ex = 0;
    for (int64_t j = from; j < to; ++j) {
      const double pv = Left(played, j), xv = Left(captured, j + lag);
      ep += pv * pv;
      ex += xv * xv;
    }
    if (ep > 0 && ex > 0) out.push_back({FreqAt(sweepFreq, b), 0.5 * std::log(ex / ep)});
  }
  // A median of five steadies the readings a dropout or a click spoils.
  std::vector<MagnitudePoint> steady = out;
  for (size_t i = 2; i + 2 < out.size(); ++i) {
    double v[5];
    for (size_t j = 0; j < 5; ++j) v[j] = out[i + j - 2].logMagnitude;
    std::nth_element(v, v + 2, v + 5);
    steady[i].logMagnitude = v[2];
  }
  return steady;
}

namespace {

// ln|H| at f, read off the points (sorted by frequency) linearly in ln f.
double LogMagnitudeAt(const std::vector<MagnitudePoint>& points, double f) {
  if (points.empty()) return 0;
  if (f <= points.front().freq) return points.front().logMagnitude;
  if (f >= points.back().freq) return points.back().logMagnitude;
  const auto it =
      std::lower_bound(points.begin(), points.end(), f, [](const MagnitudePoint& p, double v) { return p.freq < v; });
  const MagnitudePoint& b = *it;
  const MagnitudePoint& a = *(it - 1);
  if (!(b.freq > a.freq)) return b.logMagnitude;
  const double t = std::log(f / a.freq) / std::log(b.freq / a.freq);
  return a.logMagnitude + t * (b.logMagnitude - a.logMagnitude);
}

}  // namespace

std::vector<double> PathGroupDelay(const std::vector<MagnitudePoint>& all, int32_t rate) {
  if (all.size() < 8 || rate <= 0) return {};
  // Readings far below the strongest at the low end are the capture's
  // noise, not the path: below the last good reading the magnitude goes on
  // as its lowest octave went (a high-pass skirt keeps falling).
  double strongest = -1e300;
  for (const MagnitudePoint& p : all) strongest = std::max(strongest, p.logMagnitude);
  constexpr double kReliable = 3.45;  // 30 dB
  size_t lo = 0;
  while (lo + 8 < all.size() && all[lo].logMagnitude < strongest - kReliable) ++lo;
  const std::vector<MagnitudePoint> points(all.begin() + static_cast<std::ptrdiff_t>(lo), all.end());
  size_t j = 0;
  while (j + 1 < points.size() && points[j].freq < 2 * points.front().freq) ++j;
  const double span = std::log(points[j].freq / points.front().freq);
  const double lowSlope =
      span > 0.1 ? std::clamp((points[j].logMagnitude - points.front().logMagnitude) / span, 0.0, 4.0) : 0.0;
  std::vector<double> logMagnitude(kResponseBins + 1);
  for (size_t k = 0; k <= kResponseBins; ++k) {
    const double f = std::max(1.0, rate / 2.0 * static_cast<double>(k) / kResponseBins);
    double v = LogMagnitudeAt(points, f);
    if (f < points.front().freq) v += lowSlope * std::log(f / points.front().freq);
    logMagnitude[k] = v;
  }
  return MinimumPhaseGroupDelay(logMagnitude);
}

SliceView ViewSlice(const std::vector<double>& groupDelay, const std::vector<MagnitudePoint>& points, int32_t rate,
                    std::span<const float> sweepFreq, int64_t first, int64_t count) {
  SliceView view;
  view.centre = static_cast<double>(first) + static_cast<double>(count - 1) / 2.0;
  if (groupDelay.size() < 2 || count <= 0 || rate <= 0) return view;
  const auto bins = static_cast<double>(groupDelay.size() - 1);
  constexpr int kSamples = 65;
  double sum = 0, weights = 0, at = 0, level = 0;
  for (int i = 0; i < kSamples; ++i) {
    const double u = (i + 0.5) / kSamples;
    const auto b = first + static_cast<int64_t>(u * static_cast<double>(count));
    const double f = FreqAt(sweepFreq, b);
    if (!(f > 0)) continue;
    const double pos = std::clamp(f / (rate / 2.0) * bins, 0.0, bins);
    const auto k = std::min(static_cast<size_t>(pos), groupDelay.size() - 2);
    const double t = pos - static_cast<double>(k);
    const double gd = groupDelay[k] * (1 - t) + groupDelay[k + 1] * t;
    const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * u);
    const double w = hann * f * std::exp(LogMagnitudeAt(points, f));
    sum += w * gd;
    at += w * static_cast<double>(b);
    level += w * LogMagnitudeAt(points, f);
    weights += w;
  }
  if (weights > 0) {
    view.groupDelay = sum / weights;
    view.centre = at / weights;
    view.logMagnitude = level / weights;
  }
  return view;
}

namespace {

// How well the capture at sweep sample b + lag matches the played samples
// from .. to - 1, from 0 (unrelated) to 1: the correlation's magnitude with
// its quadrature (a quarter period later), over both signals' energy.
double MatchScore(std::span<const StereoSample> played, std::span<const StereoSample> captured, int64_t from,
                  int64_t to, int64_t lag, int64_t quarter) {
  double d0 = 0, d1 = 0, ep = 0, ex = 0;
  for (int64_t b = from; b < to; ++b) {
    const double p = Left(played, b), x0 = Left(captured, b + lag), x1 = Left(captured, b + lag + quarter);
    d0 += p * x0;
    d1 += p * x1;
    ep += p * p;
    ex += 0.5 * (x0 * x0 + x1 * x1);
  }
  return ep > 0 && ex > 0 ? std::sqrt((d0 * d0 + d1 * d1) / (ep * ex)) : 0.0;
}

}  // namespace

Change LocateChange(std::span<const StereoSample> played, std::span<const StereoSample> captured, int32_t rate,
                    std::span<const float> sweepFreq, int64_t from, int64_t to, double lag1, double lag2) {
  from = std::max<int64_t>(0, from);
  to = std::min<int64_t>(to, static_cast<int64_t>(played.size()));
  const int64_t middle = from + (to - from) / 2;
  Change change{middle, middle};
  if (to - from < 2 || rate <= 0) return change;
  const auto l1 = static_cast<int64_t>(std::llround(lag1)), l2 = static_cast<int64_t>(std::llround(lag2));
  struct Window {
    int64_t from, to;
    double s1, s2;
  };
  // A sweep shifted by the change in delay still resembles itself, a little
  // higher or lower: a window tells the two delays apart once the
  // difference in frequency has turned the phase a whole cycle across it.
  const double sweepRate = from + 1 < static_cast<int64_t>(sweepFreq.size()) && FreqAt(sweepFreq, from) > 0
                               ? std::log(FreqAt(sweepFreq, to - 1) / FreqAt(sweepFreq, from)) /
                                     static_cast<double>(std::max<int64_t>(1, to - 1 - from))
                               : 0.0;
  const double shift = std::max(1.0, std::abs(lag2 - lag1));
  std::vector<Window> windows;
  for (int64_t x = from; x < to;) {
    const double f = FreqAt(sweepFreq, x);
    const double apart = f * sweepRate * shift;  // Hz between the two candidates
    const double cycle = apart > 0 ? rate / apart : static_cast<double>(to - from);
    const int64_t w = f > 0 ? std::clamp<int64_t>(static_cast<int64_t>(std::max(4.0 * rate / f, cycle)), 64,
                                                  std::max<int64_t>(64, (to - from) / 4))
                            : 256;
    const int64_t end = std::min(to, x + w);
    const int64_t quarter = f > 0 ? std::max<int64_t>(1, std::llround(rate / (4.0 * f))) : 1;
    windows.push_back(
        {x, end, MatchScore(played, captured, x, end, l1, quarter), MatchScore(played, captured, x, end, l2, quarter)});
    x += std::max<int64_t>(1, w / 2);
  }
  // The first window that matches the later delay better, and around it the
  // last window still clearly at the earlier delay and the first clearly at
  // the later one.
  size_t cross = windows.size();
  for (size_t i = 0; i < windows.size(); ++i)
    if (windows[i].s2 > windows[i].s1 && windows[i].s2 >= 0.5) {
      cross = i;
      break;
    }
  if (cross == windows.size()) return change;
  int64_t end1 = windows[cross].from;
  for (size_t i = cross; i-- > 0;)
    if (windows[i].s1 >= 0.5 && windows[i].s1 > windows[i].s2) {
      end1 = windows[i].to;
      break;
    }
  const int64_t start2 = windows[cross].from;
  change.end1 = std::min(end1, start2);
  change.start2 = start2;
  return change;
}

}  // namespace measurement::timing
