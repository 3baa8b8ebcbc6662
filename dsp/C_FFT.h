#pragma once
// Discrete Fourier transform of a block of real samples: iterative radix-2
// decimation in time, no scaling, twiddles turning in the positive direction
// (so the real parts are those of the usual forward transform and the
// imaginary parts carry the opposite sign). Values go in and out one call per
// sample and per bin; nothing is allocated after Init.
#include <cstddef>
#include <cstdint>
#include <vector>

class C_FFT {
 public:
  // Sizes the transform. Powers of two from 2 to 2^20 are accepted (the
  // program uses 2048); any other size leaves the engine empty, so that every
  // write is ignored and every read gives 0.
  void Init(int32_t pNum);
  int32_t PointCount() const { return m_PointCount; }

  // Sample Index of the next transform; indices outside 0 .. N-1 are ignored.
  void SetRealIn(int32_t index, double value) {
    if (index >= 0 && index < m_PointCount) m_InputBuffer[static_cast<size_t>(index)] = value;
  }
  // Real part of bin Index of the last transform; 0 outside 0 .. N-1.
  double RealOut(int32_t index) const {
    return index >= 0 && index < m_PointCount ? m_ReBuffer[static_cast<size_t>(index)] : 0.0;
  }

  void FourierTransform();

 private:
  int32_t m_PointCount = 0;
  std::vector<double> m_InputBuffer, m_ReBuffer, m_ImBuffer;
  std::vector<int32_t> m_Reversed;  // bit-reversed index of each index
  // Twiddles per stage (H values each, N - 1 in all), real and imaginary apart.
  std::vector<double> m_TwiddleRe, m_TwiddleIm;
};
