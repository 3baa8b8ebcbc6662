#include "dsp/C_FFT.h"

#include <cmath>

// Not under ThreadSanitizer: the clones' resolver runs before its runtime is up.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
#define ZARIN_FFT_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define ZARIN_FFT_CLONES
#endif

namespace {
// 2 pi to 15 significant digits: the transform's angle constant.
constexpr long double kTwoPi = 6.28318530717958L;

// One group of a stage: butterflies between [0, half) and [half, 2 half).
inline void Butterflies(double* __restrict ri, double* __restrict ii, double* __restrict rj, double* __restrict ij,
                        const double* __restrict twr, const double* __restrict twi, int32_t half) {
  for (int32_t k = 0; k < half; ++k) {
    const double wr = twr[k], wi = twi[k];
    const double tr = wr * rj[k] - wi * ij[k];
    const double ti = wr * ij[k] + wi * rj[k];
    rj[k] = ri[k] - tr;
    ij[k] = ii[k] - ti;
    ri[k] += tr;
    ii[k] += ti;
  }
}
}  // namespace

void C_FFT::Init(int32_t pNum) {
  const bool powerOfTwo = pNum >= 2 && pNum <= (1 << 20) && (pNum & (pNum - 1)) == 0;
  m_PointCount = powerOfTwo ? pNum : 0;
  const auto n = static_cast<size_t>(m_PointCount);
  m_InputBuffer.assign(n, 0.0);
  m_ReBuffer.assign(n, 0.0);
  m_ImBuffer.assign(n, 0.0);
  m_Reversed.assign(n, 0);
  m_TwiddleRe.clear();
  m_TwiddleIm.clear();
  if (n == 0) return;

  int bits = 0;
  while ((1 << bits) < m_PointCount) ++bits;  // 11 for 2048 points
  for (int32_t i = 0; i < m_PointCount; ++i) {
    int32_t v = i, r = 0;
    for (int b = 0; b < bits; ++b) {
      r = (r << 1) | (v & 1);
      v >>= 1;
    }
    m_Reversed[static_cast<size_t>(i)] = r;
  }

  // The twiddles of a stage come from the recurrence started at (1, 0); it
  // gives the same sequence in every group of the stage, so it runs once per
  // stage here, in the widest precision, instead of once per group.
  m_TwiddleRe.reserve(n - 1);
  m_TwiddleIm.reserve(n - 1);
  for (int32_t span = 2; span <= m_PointCount; span *= 2) {
    const long double theta = kTwoPi / span;
    const long double s = std::sin(theta * 0.5L);
    const long double alpha = 2.0L * s * s;
    const long double beta = std::sin(theta);
    long double wr = 1.0L, wi = 0.0L;
    for (int32_t k = 0; k < span / 2; ++k) {
      m_TwiddleRe.push_back(static_cast<double>(wr));
      m_TwiddleIm.push_back(static_cast<double>(wi));
      const long double nr = wr - (alpha * wr + beta * wi);
      const long double ni = wi - (alpha * wi - beta * wr);
      wr = nr;
      wi = ni;
    }
  }
}

// Built twice: with AVX2 where the processor has it (four butterflies per
// instruction; no fused multiply-add, so the results are the same), and plain.
ZARIN_FFT_CLONES void C_FFT::FourierTransform() {
  const int32_t n = m_PointCount;
  if (n == 0) return;
  double* __restrict re = m_ReBuffer.data();
  double* __restrict im = m_ImBuffer.data();
  const double* __restrict in = m_InputBuffer.data();
  const int32_t* __restrict rev = m_Reversed.data();
  // Permutation and the first stage together: its only twiddle is (1, 0)
  // and every imaginary part is still 0, so each butterfly is a sum and a
  // difference (the same values the general butterfly gives).
  for (int32_t s = 0; s < n; s += 2) {
    const double a = in[rev[s]], b = in[rev[s + 1]];
    re[s] = a + b;
    re[s + 1] = a - b;
    im[s] = 0.0;
    im[s + 1] = 0.0;
  }
  const double* twr = m_TwiddleRe.data() + 1;
  const double* twi = m_TwiddleIm.data() + 1;
  for (int32_t span = 4, half = 2; span <= n; half = span, span *= 2) {
    for (int32_t s = 0; s < n; s += span) Butterflies(re + s, im + s, re + s + half, im + s + half, twr, twi, half);
    twr += half;
    twi += half;
  }
}
