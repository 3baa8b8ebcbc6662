#include "measurement/ImpulseResponse.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <complex>
#include <numbers>
#include <thread>

#include "dsp/FastFourier.h"
#include "measurement/AlignedCapture.h"
#include "measurement/TestSignal.h"

namespace measurement {

namespace {

using Complex = std::complex<double>;

// The deconvolution's floor inside the swept band and outside it, relative
// to the strongest bin of the played signal. Inside, the floor is far below
// the sweep's weakest bin (the sweep's spectrum falls by f2/f1 over the band:
// 40 dB at 192 kHz), so the division is exact to 1e-4 dB; outside, it is of
// the order of the strongest bin, so what the sweep did not excite is
// suppressed instead of divided up. The floor moves between the two over an
// octave or two beyond each end of the band.
constexpr double kFloorInside = 1e-10;
constexpr double kFloorOutside = 1.0;

// Room kept before the furthest harmonic, as a share of the gap to the next.
constexpr double kLeadMargin = 0.5;

struct ReverseTable {
  std::array<uint8_t, 256> bytes{};
  constexpr ReverseTable() {
    for (unsigned i = 0; i < 256; ++i) {
      unsigned r = 0;
      for (unsigned b = 0; b < 8; ++b) r |= ((i >> b) & 1u) << (7 - b);
      bytes[i] = static_cast<uint8_t>(r);
    }
  }
  uint32_t Reverse32(uint32_t v) const {
    return (uint32_t{bytes[v & 0xFF]} << 24) | (uint32_t{bytes[(v >> 8) & 0xFF]} << 16) |
           (uint32_t{bytes[(v >> 16) & 0xFF]} << 8) | uint32_t{bytes[v >> 24]};
  }
};
constexpr ReverseTable kReverse;

// The floor at frequency f for the band [f1, f2]: inside down to f1 / 4 (the
// sweep's abrupt start still carries sound below f1), then smoothly over
// three octaves to the outside value; above f2 over the octave after it.
// The suppression is real (of no phase), so its own response spreads either
// side of the arrival; kept this far down, what the analysis window cuts of
// it stays under 0.01 dB at 2 f1.
double Floor(double f, double f1, double f2) {
  if (f >= f1 / 4 && f <= f2) return kFloorInside;
  double outside = 0;  // 0 inside the band, 1 beyond the transition
  if (f < f1 / 4) outside = f <= f1 / 32 ? 1.0 : std::log2(f1 / 4 / f) / 3;
  else if (f > f2) outside = f >= 2 * f2 ? 1.0 : std::log2(f / f2);
  const double s = 0.5 - 0.5 * std::cos(std::numbers::pi * outside);
  return kFloorInside * std::pow(kFloorOutside / kFloorInside, s);
}

// The noise spectrum is read from stretches of this length (about 0.1 s),
// at most this many spread over the whole deconvolution.
constexpr double kNoiseStretchSeconds = 0.1;
constexpr int kNoiseStretches = 64;
constexpr int kNoisePerOctave = 24;

// The noise spectrum of the circular response h (N samples, the linear
// response arriving at index shift): stretches clear of every response
// (from the furthest harmonic's to a second after the linear one) are
// transformed, and each frequency takes only the stretches that hold the
// capture's noise at it. The sweep plays frequency f at t(f) = L ln(f/f1),
// so capture frame c shows up at f at index c - t(f) rate: a stretch
// [a, b) holds f's noise when the capture covered [a + t(f), b + t(f)).
ResponseNoise ReadNoise(const std::vector<Complex>& h, int64_t shift, int64_t before, int64_t capturedFrames,
                        int32_t rate, const SweepShape& sweep) {
  ResponseNoise result;
  const auto n = static_cast<int64_t>(h.size());
  const auto length = static_cast<int64_t>(std::bit_ceil(static_cast<uint64_t>(kNoiseStretchSeconds * rate)));
  if (length < 16 || 4 * length > n) return result;
  const size_t bins = static_cast<size_t>(length / 2 + 1);
  std::vector<double> sum(bins, 0.0), count(bins, 0.0);
  std::vector<double> window(static_cast<size_t>(length)), x(static_cast<size_t>(length));
  double weight = 0;
  for (int64_t i = 0; i < length; ++i) {
    const double w =
        std::pow(std::sin(std::numbers::pi * (static_cast<double>(i) + 0.5) / static_cast<double>(length)), 2);
    window[static_cast<size_t>(i)] = w;
    weight += w * w;
  }
  const double L = sweep.RateConstant();
  const double binHz = static_cast<double>(rate) / static_cast<double>(length);
  // Where in capture frames each bin's frequency was played.
  std::vector<double> playedAt(bins, 0.0);
  for (size_t k = 0; k < bins; ++k) {
    const double f = static_cast<double>(k) * binHz;
    playedAt[k] = f > sweep.f1Hz ? L * std::log(f / sweep.f1Hz) * rate : 0.0;
  }
  const int64_t busyFrom = shift - before, busyTo = shift + rate;  // the responses
  std::vector<Complex> spectrum(bins);
  for (int s = 0; s < kNoiseStretches; ++s) {
    // Signed indices over the whole circle, -N/2 .. N/2.
    const int64_t a = -n / 2 + (n - length) * s / (kNoiseStretches - 1), b = a + length;
    if (a < busyTo && b > busyFrom) continue;
    for (int64_t i = 0; i < length; ++i)
      x[static_cast<size_t>(i)] = window[static_cast<size_t>(i)] * h[static_cast<size_t>(((a + i) % n + n) % n)].real();
    if (!dsp::RealForward(x, spectrum)) return result;
    for (size_t k = 1; k < bins; ++k) {
      const double c = playedAt[k];
      if (static_cast<double>(a) + c < 0 || static_cast<double>(b) + c > static_cast<double>(capturedFrames)) continue;
      sum[k] += std::norm(spectrum[k]) / weight;
      count[k] += 1;
    }
  }
  // On a fractional-octave grid over the swept band, each point the mean of
  // the bins about it that some stretch covered (the nearest such bin when
  // the band is narrower than a bin).
  for (double f = sweep.f1Hz; f <= sweep.f2Hz * (1 + 1e-9); f *= std::exp2(1.0 / kNoisePerOctave)) {
    const double lo = f * std::exp2(-0.5 / kNoisePerOctave), hi = f * std::exp2(0.5 / kNoisePerOctave);
    double total = 0, used = 0;
    for (auto k = static_cast<size_t>(std::ceil(lo / binHz)); k < bins && static_cast<double>(k) * binHz <= hi; ++k)
      if (count[k] > 0) {
        total += sum[k] / count[k];
        used += 1;
      }
    if (used == 0) {
      const auto centre = static_cast<int64_t>(std::llround(f / binHz));
      for (int64_t d = 0; d < static_cast<int64_t>(bins) && used == 0; ++d)
        for (const int64_t k : {centre - d, centre + d})
          if (k >= 1 && k < static_cast<int64_t>(bins) && count[static_cast<size_t>(k)] > 0 && used == 0) {
            total = sum[static_cast<size_t>(k)] / count[static_cast<size_t>(k)];
            used = 1;
          }
    }
    if (used == 0) continue;
    result.hz.push_back(f);
    result.density.push_back(total / used);
  }
  return result;
}

// Runs part(begin, end) over [0, n), the second half on a helper thread
// when the machine has two cores and n is large; parts never share an index.
template <typename Part>
void InTwo(size_t n, Part part) {
  if (n < (size_t{1} << 16) || std::thread::hardware_concurrency() < 2) {
    part(size_t{0}, n);
    return;
  }
  std::thread helper([&] { part(n / 2, n); });
  part(size_t{0}, n / 2);
  helper.join();
}

}  // namespace

double ResponseNoise::At(double f) const {
  if (Empty()) return 0;
  if (f <= hz.front()) return density.front();
  if (f >= hz.back()) return density.back();
  const auto it = std::upper_bound(hz.begin(), hz.end(), f);
  const auto j = static_cast<size_t>(it - hz.begin());
  const double u = (f - hz[j - 1]) / (hz[j] - hz[j - 1]);
  return (1 - u) * density[j - 1] + u * density[j];
}

double ResponseNoise::Mean() const {
  if (Empty()) return 0;
  if (hz.size() == 1) return density.front();
  double area = 0;
  for (size_t j = 1; j < hz.size(); ++j) area += 0.5 * (density[j - 1] + density[j]) * (hz[j] - hz[j - 1]);
  return area / (hz.back() - hz.front());
}

double SweepShape::RateConstant() const {
  return f1Hz > 0 && f2Hz > f1Hz && seconds > 0 ? seconds / std::log(f2Hz / f1Hz) : 0.0;
}

double SweepShape::HarmonicLead(int n) const {
  return n >= 1 ? RateConstant() * std::log(static_cast<double>(n)) : 0.0;
}

SweepShape SweepShapeFor(int32_t rate, int64_t frames) {
  if (rate <= 0 || frames <= 0) return {};
  return {kSweepStartHz, SweepEndHz(rate), static_cast<double>(frames) / rate};
}

ImpulseResponse Deconvolve(std::span<const StereoSample> played, std::span<const StereoSample> captured, int32_t rate,
                           const SweepShape& sweep, const CaptureTiming& timing,
                           std::span<const TimingSegment> segments) {
  ImpulseResponse result;
  const auto frames = static_cast<int64_t>(std::max(played.size(), captured.size()));
  const double lead = sweep.HarmonicLead(kMaxHarmonic);
  if (rate <= 0 || played.size() < 16 || captured.size() < 16 || !(lead > 0) || !std::isfinite(timing.delayFrames) ||
      std::abs(timing.delayFrames) > static_cast<double>(frames) || !(std::abs(timing.drift) < 0.01))
    return result;
  const double gap = sweep.HarmonicLead(kMaxHarmonic + 1) - lead;
  const auto before = static_cast<int64_t>(std::ceil((lead + kLeadMargin * gap) * rate));
  // The peak stands a little past the place the timing gives (a fraction of
  // a frame, a path's own lag, an arrival moved later): room for it keeps a
  // whole second after it.
  const auto after = static_cast<int64_t>(std::ceil((kKeptAfterSeconds + kPeakRoomSeconds) * rate));
  const int64_t shift = std::llround(timing.delayFrames);
  const uint64_t need = static_cast<uint64_t>(frames + before + after + std::abs(shift));
  if (need > (uint64_t{1} << 26)) return result;
  const size_t n = std::bit_ceil(need);
  dsp::FastFourier fft;
  if (!fft.Init(n)) return result;

  // Both real signals in one transform: played in the real part, capture in the imaginary.
  std::vector<Complex> z(n);
  std::array<bool, 2> playedSound{}, capturedSound{};
  const AlignedCapture aligned(captured, timing.delayFrames, timing.drift, segments);
  InTwo(static_cast<size_t>(frames), [&](size_t begin, size_t end) {
    const size_t part = begin == 0 ? 0 : 1;
    for (size_t j = begin; j < end; ++j) {
      const auto b = static_cast<int64_t>(j);
      const double p = j < played.size() && aligned.Heard(b) ? played[j].Left : 0.0;
      const double x = aligned.At(b);
      playedSound[part] = playedSound[part] || p != 0;
      capturedSound[part] = capturedSound[part] || x != 0;
      z[j] = {p, x};
    }
  });
  if (!(playedSound[0] || playedSound[1]) || !(capturedSound[0] || capturedSound[1])) return result;
  fft.ForwardScrambled(z);

  // Bins k and N - k sit at mirrored places of each block of the scrambled
  // order; their sum and difference part the two spectra.
  const auto split = [&](size_t p, Complex& pk, Complex& xk) {
    const Complex a = z[p], b = std::conj(z[dsp::FastFourier::MirrorPosition(p)]);
    pk = 0.5 * (a + b);
    xk = Complex(0, -0.5) * (a - b);
  };
  std::array<double, 2> strongestOf{};
  InTwo(n, [&](size_t begin, size_t end) {
    double most = 0;
    for (size_t p = begin; p < end; ++p) {
      Complex pk, xk;
      split(p, pk, xk);
      most = std::max(most, std::norm(pk));
    }
    strongestOf[begin == 0 ? 0 : 1] = most;
  });
  const double strongest = std::max(strongestOf[0], strongestOf[1]);
  if (!(strongest > 0)) return result;
  const int bits = std::countr_zero(n);
  const double binHz = static_cast<double>(rate) / static_cast<double>(n);
  // Each pair is done by the part holding its lower place; pairs never share a bin.
  InTwo(n, [&](size_t begin, size_t end) {
    for (size_t p = begin; p < end; ++p) {
      const size_t mirror = dsp::FastFourier::MirrorPosition(p);
      if (mirror < p) continue;
      Complex pk, xk;
      split(p, pk, xk);
      // Either bin of the pair gives the frequency; the lower is the positive one.
      const size_t k = kReverse.Reverse32(static_cast<uint32_t>(p)) >> (32 - bits);
      const double floor = strongest * Floor(static_cast<double>(std::min(k, n - k)) * binHz, sweep.f1Hz, sweep.f2Hz);
      Complex h = xk * std::conj(pk) / (std::norm(pk) + floor);
      if (mirror == p) h = h.real();  // bins 0 and N/2 of a real response are real
      z[p] = h;
      z[mirror] = std::conj(h);
    }
  });
  fft.InverseScrambled(z);

  result.rate = rate;
  result.sweep = sweep;
  result.timing = timing;
  result.origin = before;
  result.fraction = timing.delayFrames - static_cast<double>(shift);
  result.noise = ReadNoise(z, shift, before, static_cast<int64_t>(captured.size()), rate, sweep);
  result.samples.resize(static_cast<size_t>(before + after));
  const auto size = static_cast<int64_t>(n);
  for (int64_t i = 0; i < before + after; ++i) {
    const int64_t lag = ((shift - before + i) % size + size) % size;
    result.samples[static_cast<size_t>(i)] = static_cast<float>(z[static_cast<size_t>(lag)].real());
  }
  return result;
}

}  // namespace measurement
