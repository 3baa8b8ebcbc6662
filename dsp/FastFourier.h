#pragma once
// A complex FFT of any power-of-two size from 2 to 2^26 in double
// precision, for the long transforms of a whole run (2^23 points for 30 s at
// 192 kHz) and the shorter ones of the responses computed from it.
//
// Forward: X(k) = sum x(n) e^(-2 pi i k n / N); inverse: the conjugate
// transform divided by N, so that Inverse(Forward(x)) == x.
//
// The work is radix-4 decimation in frequency (forward) and in time
// (inverse), recursive so that each sub-transform stays in the cache once it
// fits. The forward transform naturally leaves its bins in bit-reversed order
// and the inverse takes them so; the *Scrambled calls skip the reordering for
// work done bin by bin between the two (a deconvolution), the plain calls
// reorder. Transforms of 2^16 points or more use two threads when the
// machine has them. Nothing is allocated by a transform.
#include <complex>
#include <cstddef>
#include <span>
#include <vector>

namespace dsp {

class FastFourier {
 public:
  // Sizes the transform; false (and an empty engine) unless size is a power
  // of two from 2 to 2^26.
  bool Init(size_t size);
  size_t Size() const { return m_Size; }
  // At most this many threads per transform (1 or 2; default 2).
  void SetThreads(int threads) { m_Threads = threads >= 2 ? 2 : 1; }

  // data.size() must equal Size(), else nothing happens.
  void Forward(std::span<std::complex<double>> data) const;
  void Inverse(std::span<std::complex<double>> data) const;
  // Natural order in, bit-reversed bins out.
  void ForwardScrambled(std::span<std::complex<double>> data) const;
  // Bit-reversed bins in, natural order out.
  void InverseScrambled(std::span<std::complex<double>> data) const;

  // In bit-reversed order, where the bin paired with the one at position p
  // lies: bin k and bin (N - k) mod N swap places within each block
  // [2^m, 2^(m+1)) of positions, and positions 0 and 1 (bins 0 and N/2) pair
  // with themselves.
  static size_t MirrorPosition(size_t p);
  // The bin held at position p of a scrambled transform of this size.
  size_t BinAt(size_t p) const;

 private:
  struct Twiddle3 {
    std::complex<double> w1, w2, w3;
  };
  std::complex<double> Root(size_t j) const;  // e^(-2 pi i j / N), j < N
  void Dif(std::complex<double>* a, size_t m, bool parallel) const;
  void Dit(std::complex<double>* a, size_t m, bool parallel) const;
  void DifStage(std::complex<double>* a, size_t m, size_t from, size_t to) const;
  void DitStage(std::complex<double>* a, size_t m, size_t from, size_t to) const;
  Twiddle3 TwiddlesFor(size_t m, size_t k) const;
  void Reorder(std::span<std::complex<double>> data) const;

  size_t m_Size = 0;
  int m_Bits = 0;
  int m_Threads = 2;
  // e^(-2 pi i j / N) = coarse[j >> kFineBits] * fine[j & (2^kFineBits - 1)].
  std::vector<std::complex<double>> m_Coarse, m_Fine;
  // For the sizes m <= kTableMax: (w^k, w^2k, w^3k) of w = e^(-2 pi i / m),
  // k < m / 4, one run per m, m_TableStart[log2 m] where it begins.
  std::vector<Twiddle3> m_Table;
  std::vector<size_t> m_TableStart;
};

// The spectrum of real samples: bins 0 .. N/2 of the forward transform of x
// (x.size() = N, a power of two of at least 4) into out (N/2 + 1 bins), with
// one complex transform of N/2 points. False when the sizes do not fit.
bool RealForward(std::span<const double> x, std::span<std::complex<double>> out);

}  // namespace dsp
