#include "dsp/GatedTransform.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

#include "dsp/FastFourier.h"

namespace dsp {

namespace {

using Complex = std::complex<double>;

float SampleAt(std::span<const float> x, int64_t i) {
  return i >= 0 && i < static_cast<int64_t>(x.size()) ? x[static_cast<size_t>(i)] : 0.0f;
}

size_t PaddedSize(const SpectrumWindow& w) {
  const auto length = static_cast<uint64_t>(std::max<int64_t>(2, w.before + w.after));
  return std::bit_ceil(std::max<uint64_t>(4, 2 * length));
}

// The windowed stretch, time 0 at index 0 and the part before it wrapped to the end.
std::vector<double> Windowed(std::span<const float> x, const SpectrumWindow& w, int64_t zero, size_t size) {
  std::vector<double> buffer(size);
  const auto n = static_cast<int64_t>(size);
  for (int64_t t = -w.before; t < w.after; ++t)
    buffer[static_cast<size_t>((t % n + n) % n)] += WindowWeight(w, t) * SampleAt(x, zero + t);
  return buffer;
}

// Cumulative sums treat bin k as covering [k - 1/2, k + 1/2): sums[k] is the
// total below k - 1/2.
template <typename T>
std::vector<T> RunningSums(const std::vector<T>& v) {
  std::vector<T> sums(v.size() + 1);
  for (size_t k = 0; k < v.size(); ++k) sums[k + 1] = sums[k] + v[k];
  return sums;
}

template <typename T>
T CumulativeAt(const std::vector<T>& sums, double x) {
  const double shifted = std::clamp(x + 0.5, 0.0, static_cast<double>(sums.size() - 1));
  const auto k = static_cast<size_t>(shifted);
  if (k + 1 >= sums.size()) return sums.back();
  return sums[k] + (shifted - static_cast<double>(k)) * (sums[k + 1] - sums[k]);
}

}  // namespace

double WindowWeight(const SpectrumWindow& w, int64_t t) {
  if (t < -w.before || t >= w.after) return 0.0;
  const double rise = std::max(0.0, w.riseShare * static_cast<double>(w.before));
  const double fall = std::max(0.0, w.fallShare * static_cast<double>(w.after));
  const double fromStart = static_cast<double>(t + w.before) + 0.5;
  const double toEnd = static_cast<double>(w.after - t) - 0.5;
  double weight = 1.0;
  if (fromStart < rise) weight *= std::pow(std::sin(0.5 * std::numbers::pi * fromStart / rise), 2);
  if (toEnd < fall) weight *= std::pow(std::sin(0.5 * std::numbers::pi * toEnd / fall), 2);
  return weight;
}

GatedTransform::GatedTransform(std::span<const float> x, const SpectrumWindow& window, double rate, double fraction) {
  if (!(rate > 0) || window.before < 0 || window.after <= 0) return;
  const size_t size = PaddedSize(window);
  const std::vector<double> buffer = Windowed(x, window, window.zero, size);
  m_Bins.resize(size / 2 + 1);
  if (!RealForward(buffer, m_Bins)) {
    m_Bins.clear();
    return;
  }
  m_BinHz = rate / static_cast<double>(size);
  if (fraction != 0) {
    for (size_t k = 0; k < m_Bins.size(); ++k)
      m_Bins[k] *=
          std::polar(1.0, 2 * std::numbers::pi * static_cast<double>(k) * fraction / static_cast<double>(size));
  }
  std::vector<double> power(m_Bins.size());
  for (size_t k = 0; k < m_Bins.size(); ++k) power[k] = std::norm(m_Bins[k]);
  m_PowerSums = RunningSums(power);
  m_Sums = RunningSums(m_Bins);
}

Complex GatedTransform::At(double hz) const {
  if (m_Bins.empty() || !(hz >= 0)) return 0;
  const double x = hz / m_BinHz;
  const auto k = static_cast<size_t>(x);
  if (k >= m_Bins.size() - 1) return k == m_Bins.size() - 1 && x == static_cast<double>(k) ? m_Bins[k] : 0;
  const double u = x - static_cast<double>(k);
  return (1 - u) * m_Bins[k] + u * m_Bins[k + 1];
}

double GatedTransform::BandPower(double lo, double hi) const {
  if (m_Bins.empty()) return 0;
  const double a = lo / m_BinHz, b = hi / m_BinHz;
  if (!(b - a >= 1.0)) return std::norm(At(0.5 * (lo + hi)));
  return (CumulativeAt(m_PowerSums, b) - CumulativeAt(m_PowerSums, a)) / (b - a);
}

Complex GatedTransform::BandMean(double lo, double hi) const {
  if (m_Bins.empty()) return 0;
  const double a = lo / m_BinHz, b = hi / m_BinHz;
  if (!(b - a >= 1.0)) return At(0.5 * (lo + hi));
  return (CumulativeAt(m_Sums, b) - CumulativeAt(m_Sums, a)) / (b - a);
}

std::vector<float> EnergyTimeDb(std::span<const float> x, int64_t from, int64_t to) {
  if (to <= from) return {};
  const auto length = static_cast<size_t>(to - from);
  const size_t size = std::bit_ceil(std::max<size_t>(4, 2 * length));
  FastFourier fft;
  if (!fft.Init(size)) return {};
  std::vector<Complex> a(size);
  for (size_t i = 0; i < length; ++i) a[i] = SampleAt(x, from + static_cast<int64_t>(i));
  fft.Forward(a);
  // The analytic signal: positive frequencies doubled, negative ones gone.
  for (size_t k = 1; k < size / 2; ++k) a[k] *= 2.0;
  for (size_t k = size / 2 + 1; k < size; ++k) a[k] = 0;
  fft.Inverse(a);
  double peak = 0;
  for (size_t i = 0; i < length; ++i) peak = std::max(peak, std::norm(a[i]));
  std::vector<float> out(length, -200.0f);
  if (!(peak > 0)) return out;
  for (size_t i = 0; i < length; ++i) {
    const double e = std::norm(a[i]) / peak;
    out[i] = e > 1e-20 ? static_cast<float>(10.0 * std::log10(e)) : -200.0f;
  }
  return out;
}

}  // namespace dsp
