#include "measurement/PathDelay.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "dsp/ComplexFFT.h"

namespace measurement {

namespace {

// The coarse search runs at about this rate; the final step looks at every
// frame around its answer.
constexpr int32_t kCoarseRate = 8000;
// Frames the final step correlates, spread over the run in this many pieces.
constexpr int64_t kFineFrames = int64_t{1} << 17;
constexpr int64_t kFinePieces = 64;
// Deconvolution floor, relative to the strongest bin of the played signal.
constexpr double kFloor = 1e-4;

// The left channel through a three-stage cascaded integrator-comb filter
// (three moving sums of length m) and kept every m-th frame. Integer sums are
// exact; unsigned wrap-around leaves the combs' result exact too.
std::vector<double> Decimate(std::span<const StereoSample> signal, int64_t frames, int64_t m) {
  const int64_t n = frames / m;
  std::vector<double> out(static_cast<size_t>(n));
  uint64_t i1 = 0, i2 = 0, i3 = 0, c1 = 0, c2 = 0, c3 = 0;
  int64_t phase = 0, j = 0;
  for (int64_t b = 0; b < n * m; ++b) {
    i1 += static_cast<uint64_t>(static_cast<int64_t>(signal[static_cast<size_t>(b)].Left));
    i2 += i1;
    i3 += i2;
    if (++phase < m) continue;
    phase = 0;
    const uint64_t d1 = i3 - c1;
    c1 = i3;
    const uint64_t d2 = d1 - c2;
    c2 = d1;
    const uint64_t d3 = d2 - c3;
    c3 = d2;
    out[static_cast<size_t>(j++)] = static_cast<double>(static_cast<int64_t>(d3));
  }
  return out;
}

struct Coarse {
  bool found = false;
  double lag = 0;  // in decimated frames, with a fraction from the peak's shape
  double sign = 1;
  double clarity = 0;
};

// The path's impulse response at the decimated rate over lags -window ..
// window, and its main peak.
Coarse CoarseDelay(const std::vector<double>& p, const std::vector<double>& x, int64_t window) {
  Coarse result;
  const auto n = static_cast<int64_t>(p.size());
  const auto nx = static_cast<int64_t>(x.size());
  // Exact silence on either side leaves nothing to compare (and only the
  // transform's rounding to deconvolve).
  const auto silent = [](const std::vector<double>& v) {
    return std::all_of(v.begin(), v.end(), [](double s) { return s == 0; });
  };
  if (silent(p) || silent(x)) return result;
  size_t size = 2;
  while (static_cast<int64_t>(size) < std::max(n, nx) + window + 1) size *= 2;
  const std::vector<double> z = RegularisedResponse(p, x, size);
  if (z.empty()) return result;
  const auto at = [&](int64_t lag) {
    return z[static_cast<size_t>(lag >= 0 ? lag : static_cast<int64_t>(size) + lag)];
  };
  double sumSquares = 0, peak = 0;
  int64_t best = 0;
  for (int64_t lag = -window; lag <= window; ++lag) {
    const double v = at(lag);
    sumSquares += v * v;
    if (std::abs(v) > peak) {
      peak = std::abs(v);
      best = lag;
    }
  }
  const double rms = std::sqrt(sumSquares / static_cast<double>(2 * window + 1));
  if (!(rms > 0)) return result;
  result.clarity = peak / rms;
  result.found = result.clarity >= kDelayClarity;
  result.sign = at(best) < 0 ? -1 : 1;
  result.lag = static_cast<double>(best);
  if (best > -window && best < window) {
    // The vertex of the parabola through the peak and its neighbours.
    const double a = result.sign * at(best - 1), b = result.sign * at(best), c = result.sign * at(best + 1);
    const double curve = a - 2 * b + c;
    if (curve < 0) result.lag += std::clamp(0.5 * (a - c) / curve, -0.5, 0.5);
  }
  return result;
}

// The whole-frame step: the played signal (weighted by the sweep's
// frequency, which whitens a logarithmic sweep) correlated with the capture
// at every lag from lo to hi, over pieces spread across the run.
int64_t FineDelay(std::span<const StereoSample> played, std::span<const StereoSample> captured, int64_t frames,
                  int64_t captureFrames, std::span<const float> sweepFreq, int64_t lo, int64_t hi, double sign) {
  const int64_t pieces = frames <= kFineFrames ? 1 : kFinePieces;
  const int64_t length = frames <= kFineFrames ? frames : kFineFrames / kFinePieces;
  std::vector<double> score(static_cast<size_t>(hi - lo + 1), 0.0);
  std::vector<double> weighted(static_cast<size_t>(length));
  for (int64_t piece = 0; piece < pieces; ++piece) {
    const int64_t start = pieces == 1 ? 0 : (frames - length) * piece / (pieces - 1);
    for (int64_t i = 0; i < length; ++i) {
      const auto b = static_cast<size_t>(start + i);
      const double w = b < sweepFreq.size() && sweepFreq[b] > 0 ? sweepFreq[b] : 1.0;
      weighted[static_cast<size_t>(i)] = played[b].Left * w;
    }
    for (int64_t lag = lo; lag <= hi; ++lag) {
      // Only capture frames inside the run take part.
      const int64_t first = std::max<int64_t>(0, -(start + lag));
      const int64_t last = std::min<int64_t>(length, captureFrames - (start + lag));
      double sum = 0;
      for (int64_t i = first; i < last; ++i)
        sum += weighted[static_cast<size_t>(i)] * captured[static_cast<size_t>(start + lag + i)].Left;
      score[static_cast<size_t>(lag - lo)] += sum;
    }
  }
  int64_t best = lo;
  for (int64_t lag = lo; lag <= hi; ++lag)
    if (sign * score[static_cast<size_t>(lag - lo)] > sign * score[static_cast<size_t>(best - lo)]) best = lag;
  return best;
}

}  // namespace

std::vector<double> RegularisedResponse(std::span<const double> p, std::span<const double> x, size_t size) {
  const auto n = static_cast<int64_t>(p.size()), nx = static_cast<int64_t>(x.size());
  ComplexFFT fft;
  if (size < static_cast<size_t>(std::max(n, nx)) || !fft.Init(size)) return {};
  // Both real signals in one transform: played in the real part, capture in the imaginary.
  std::vector<std::complex<double>> z(size);
  for (int64_t j = 0; j < std::max(n, nx); ++j)
    z[static_cast<size_t>(j)] = {j < n ? p[static_cast<size_t>(j)] : 0.0, j < nx ? x[static_cast<size_t>(j)] : 0.0};
  fft.Forward(z);
  const auto spectra = [&](size_t k, std::complex<double>& pk, std::complex<double>& xk) {
    const std::complex<double> a = z[k], b = std::conj(z[(size - k) % size]);
    pk = 0.5 * (a + b);
    xk = std::complex<double>(0, -0.5) * (a - b);
  };
  double strongest = 0;
  for (size_t k = 0; k <= size / 2; ++k) {
    std::complex<double> pk, xk;
    spectra(k, pk, xk);
    strongest = std::max(strongest, std::norm(pk));
  }
  if (!(strongest > 0)) return {};
  const double floor = kFloor * strongest;
  // H = X conj(P) / (|P|^2 + floor); a real response has H(N - k) = conj(H(k)).
  std::vector<std::complex<double>> h(size);
  for (size_t k = 0; k <= size / 2; ++k) {
    std::complex<double> pk, xk;
    spectra(k, pk, xk);
    h[k] = xk * std::conj(pk) / (std::norm(pk) + floor);
    if (k != 0 && k != size / 2) h[size - k] = std::conj(h[k]);
  }
  fft.Inverse(h);
  std::vector<double> real(size);
  for (size_t k = 0; k < size; ++k) real[k] = h[k].real();
  return real;
}

int32_t DelaySearchFrames(int32_t rate, int64_t frames) {
  if (rate <= 0 || frames <= 0) return 0;
  const double seconds = std::min(1.2, static_cast<double>(frames) / rate / 4.0);
  return static_cast<int32_t>(std::floor(seconds * rate));
}

PathDelay FindPathDelay(std::span<const StereoSample> played, std::span<const StereoSample> captured, int32_t rate,
                        std::span<const float> sweepFreq) {
  PathDelay result;
  const auto frames = static_cast<int64_t>(std::min(played.size(), captured.size()));
  const int64_t search = DelaySearchFrames(rate, frames);
  // A capture that runs on past the playback is read that far.
  const int64_t captureFrames = std::min(static_cast<int64_t>(captured.size()), frames + search);
  const int64_t m = std::max<int64_t>(1, rate / kCoarseRate);
  if (search / m < 2 || frames / m < 4) return result;
  const Coarse coarse = CoarseDelay(Decimate(played, frames, m), Decimate(captured, captureFrames, m), search / m);
  result.clarity = coarse.clarity;
  if (!coarse.found) return result;
  result.found = true;
  const auto centre = static_cast<int64_t>(std::llround(coarse.lag * static_cast<double>(m)));
  if (m == 1) {
    result.frames = static_cast<int32_t>(centre);
    return result;
  }
  const int64_t lo = std::max(-search, centre - m - 2), hi = std::min(search, centre + m + 2);
  result.frames =
      static_cast<int32_t>(FineDelay(played, captured, frames, captureFrames, sweepFreq, lo, hi, coarse.sign));
  return result;
}

}  // namespace measurement
