#include "dsp/FastFourier.h"

#include <bit>
#include <cmath>
#include <numbers>
#include <thread>
#include <utility>

namespace dsp {

namespace {

using Complex = std::complex<double>;

constexpr int kFineBits = 10;
constexpr size_t kTableMax = size_t{1} << 14;
constexpr size_t kParallelFrom = size_t{1} << 16;

// Written out: std::complex's operator* checks for infinities and is slow.
inline Complex Mul(Complex a, Complex b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}
inline Complex MulConj(Complex a, Complex b) {  // a * conj(b)
  return {a.real() * b.real() + a.imag() * b.imag(), a.imag() * b.real() - a.real() * b.imag()};
}
inline Complex TimesMinusI(Complex a) { return {a.imag(), -a.real()}; }
inline Complex TimesI(Complex a) { return {-a.imag(), a.real()}; }

Complex Unit(long double turns) {
  const long double angle = -2.0L * std::numbers::pi_v<long double> * turns;
  return {static_cast<double>(std::cos(angle)), static_cast<double>(std::sin(angle))};
}

// Runs first() on a helper thread and second() here, or both here.
template <typename A, typename B>
void Both(bool parallel, A first, B second) {
  if (!parallel) {
    first();
    second();
    return;
  }
  std::thread helper(first);
  second();
  helper.join();
}

}  // namespace

bool FastFourier::Init(size_t size) {
  const bool ok = size >= 2 && size <= (size_t{1} << 26) && std::has_single_bit(size);
  m_Size = ok ? size : 0;
  m_Bits = ok ? std::countr_zero(size) : 0;
  m_Coarse.clear();
  m_Fine.clear();
  m_Table.clear();
  m_TableStart.assign(static_cast<size_t>(m_Bits) + 1, 0);
  if (!ok) return false;
  const size_t fine = std::min<size_t>(size, size_t{1} << kFineBits);
  m_Fine.resize(fine);
  for (size_t j = 0; j < fine; ++j) m_Fine[j] = Unit(static_cast<long double>(j) / static_cast<long double>(size));
  m_Coarse.resize(std::max<size_t>(1, size >> kFineBits));
  for (size_t j = 0; j < m_Coarse.size(); ++j)
    m_Coarse[j] = Unit(static_cast<long double>(j << kFineBits) / static_cast<long double>(size));
  for (size_t m = 4, bits = 2; m <= std::min(size, kTableMax); m *= 2, ++bits) {
    m_TableStart[bits] = m_Table.size();
    const size_t stride = size / m;
    for (size_t k = 0; k < m / 4; ++k)
      m_Table.push_back({Root(k * stride), Root(2 * k * stride), Root(3 * k * stride)});
  }
  return true;
}

Complex FastFourier::Root(size_t j) const {
  return Mul(m_Coarse[j >> kFineBits], m_Fine[j & ((size_t{1} << kFineBits) - 1)]);
}

FastFourier::Twiddle3 FastFourier::TwiddlesFor(size_t m, size_t k) const {
  if (m <= kTableMax) return m_Table[m_TableStart[static_cast<size_t>(std::countr_zero(m))] + k];
  const size_t j = k * (m_Size / m);
  return {Root(j), Root(2 * j), Root(3 * j)};
}

void FastFourier::DifStage(Complex* x, size_t m, size_t from, size_t to) const {
  const size_t q = m / 4;
  for (size_t k = from; k < to; ++k) {
    const Complex a = x[k], b = x[k + q], c = x[k + 2 * q], d = x[k + 3 * q];
    const Complex s0 = a + c, d0 = a - c, s1 = b + d, d1 = TimesMinusI(b - d);
    const Twiddle3 w = TwiddlesFor(m, k);
    x[k] = s0 + s1;
    x[k + q] = Mul(s0 - s1, w.w2);
    x[k + 2 * q] = Mul(d0 + d1, w.w1);
    x[k + 3 * q] = Mul(d0 - d1, w.w3);
  }
}

void FastFourier::DitStage(Complex* x, size_t m, size_t from, size_t to) const {
  const size_t q = m / 4;
  for (size_t k = from; k < to; ++k) {
    const Twiddle3 w = TwiddlesFor(m, k);
    const Complex b = MulConj(x[k + q], w.w2), c = MulConj(x[k + 2 * q], w.w1), d = MulConj(x[k + 3 * q], w.w3);
    const Complex a0 = x[k] + b, a1 = x[k] - b, s = c + d, t = TimesI(c - d);
    x[k] = a0 + s;
    x[k + 2 * q] = a0 - s;
    x[k + q] = a1 + t;
    x[k + 3 * q] = a1 - t;
  }
}

void FastFourier::Dif(Complex* x, size_t m, bool parallel) const {
  if (m == 2) {
    const Complex a = x[0], b = x[1];
    x[0] = a + b;
    x[1] = a - b;
    return;
  }
  const size_t q = m / 4;
  parallel = parallel && m >= kParallelFrom;
  Both(
      parallel, [&] { DifStage(x, m, 0, q / 2); }, [&] { DifStage(x, m, q / 2, q); });
  if (q == 1) return;
  Both(
      parallel,
      [&] {
        Dif(x, q, false);
        Dif(x + q, q, false);
      },
      [&] {
        Dif(x + 2 * q, q, false);
        Dif(x + 3 * q, q, false);
      });
}

void FastFourier::Dit(Complex* x, size_t m, bool parallel) const {
  if (m == 2) {
    const Complex a = x[0], b = x[1];
    x[0] = a + b;
    x[1] = a - b;
    return;
  }
  const size_t q = m / 4;
  parallel = parallel && m >= kParallelFrom;
  if (q > 1)
    Both(
        parallel,
        [&] {
          Dit(x, q, false);
          Dit(x + q, q, false);
        },
        [&] {
          Dit(x + 2 * q, q, false);
          Dit(x + 3 * q, q, false);
        });
  Both(
      parallel, [&] { DitStage(x, m, 0, q / 2); }, [&] { DitStage(x, m, q / 2, q); });
}

void FastFourier::ForwardScrambled(std::span<Complex> data) const {
  if (m_Size == 0 || data.size() != m_Size) return;
  Dif(data.data(), m_Size, m_Threads > 1 && std::thread::hardware_concurrency() > 1);
}

void FastFourier::InverseScrambled(std::span<Complex> data) const {
  if (m_Size == 0 || data.size() != m_Size) return;
  Dit(data.data(), m_Size, m_Threads > 1 && std::thread::hardware_concurrency() > 1);
  const double scale = 1.0 / static_cast<double>(m_Size);
  for (Complex& v : data) v *= scale;
}

void FastFourier::Reorder(std::span<Complex> data) const {
  for (size_t i = 1, j = 0; i < m_Size; ++i) {
    size_t bit = m_Size >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(data[i], data[j]);
  }
}

void FastFourier::Forward(std::span<Complex> data) const {
  if (m_Size == 0 || data.size() != m_Size) return;
  ForwardScrambled(data);
  Reorder(data);
}

void FastFourier::Inverse(std::span<Complex> data) const {
  if (m_Size == 0 || data.size() != m_Size) return;
  Reorder(data);
  InverseScrambled(data);
}

size_t FastFourier::MirrorPosition(size_t p) {
  if (p < 2) return p;
  const size_t top = std::bit_floor(p);
  return 3 * top - 1 - p;
}

size_t FastFourier::BinAt(size_t p) const {
  size_t k = 0;
  for (int b = 0; b < m_Bits; ++b) k |= ((p >> b) & 1) << (m_Bits - 1 - b);
  return k;
}

bool RealForward(std::span<const double> x, std::span<Complex> out) {
  const size_t n = x.size();
  if (n < 4 || !std::has_single_bit(n) || out.size() != n / 2 + 1) return false;
  const size_t half = n / 2;
  FastFourier fft;
  if (!fft.Init(half)) return false;
  std::vector<Complex> z(half);
  for (size_t j = 0; j < half; ++j) z[j] = {x[2 * j], x[2 * j + 1]};
  fft.Forward(z);
  // e^(-2 pi i k / n) from two small tables, as the transform's own twiddles.
  constexpr size_t kFine = 256;
  std::vector<Complex> fine(kFine), coarse(n / kFine + 1);
  for (size_t j = 0; j < kFine; ++j) fine[j] = Unit(static_cast<long double>(j) / static_cast<long double>(n));
  for (size_t c = 0; c < coarse.size(); ++c)
    coarse[c] = Unit(static_cast<long double>(c * kFine) / static_cast<long double>(n));
  for (size_t k = 0; k <= half; ++k) {
    const Complex zk = z[k % half], zm = std::conj(z[(half - k) % half]);
    const Complex even = 0.5 * (zk + zm), odd = Complex(0, -0.5) * (zk - zm);
    out[k] = even + Mul(Mul(coarse[k / kFine], fine[k % kFine]), odd);
  }
  return true;
}

}  // namespace dsp
