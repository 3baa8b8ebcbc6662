#include "audio/LoopbackSim.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <random>
#include <vector>

#include "audio/Biquad.h"

namespace WaveMMIO {

namespace {

constexpr int64_t kNsPerSecond = 1'000'000'000;
// Wire history: more than the longest delay at the highest rate.
constexpr int64_t kRingFrames = 1 << 18;
static_assert(kRingFrames > int64_t{LoopbackPath::kMaxDelayMs} * LoopbackPath::kMaxRate / 1000 + 1024);
constexpr int64_t kChunkFrames = 512;      // input frames computed per step

int64_t FloorDiv(__int128 num, __int128 den) {
  __int128 q = num / den;
  if ((num % den != 0) && ((num < 0) != (den < 0))) --q;
  return static_cast<int64_t>(q);
}

// Frames whose slot has fully elapsed between start and now, at most total.
int64_t FramesElapsed(int64_t startNs, int64_t nowNs, int rate, int64_t total) {
  if (nowNs <= startNs) return 0;
  const int64_t n = FloorDiv(static_cast<__int128>(nowNs - startNs) * rate, kNsPerSecond);
  return std::min(n, total);
}

}  // namespace

NanoClock SteadyNanoClock() {
  return [] {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
}

// The shared state of the two simulated devices and the cable between them.
class LoopbackWire {
 public:
  LoopbackWire(NanoClock clock, uint64_t seed) : m_Clock(std::move(clock)), m_Rng(seed), m_Ring(kRingFrames) {}

  std::mutex m_Mutex;
  bool m_Unplugged = false;
  int64_t m_DelayNs = LoopbackPath::kDelayNs;
  int64_t m_CaptureOffsetNs = 0;

  struct Output {
    bool open = false;
    int rate = 0;
    StereoSample* buffer = nullptr;
    int64_t frames = 0;
    bool playing = false;
    int64_t startNs = 0;
    bool done = false;
  } out;

  struct Input {
    bool open = false;
    int rate = 0;
    StereoSample* buffer = nullptr;
    int64_t frames = 0;
    bool capturing = false;
    int64_t startNs = 0;
    int64_t pos = 0;  // frames written into the buffer
    bool done = false;
    Biquad highPass[2];
    Biquad lowPass[2];
    bool useLowPass = false;
  } in;

  int64_t Now() { return m_Clock(); }

  // Brings both devices up to the clock.
  void Advance() {
    const int64_t now = Now();
    AdvanceInput(now);
    if (out.playing && !out.done && FramesElapsed(out.startNs, now, out.rate, out.frames) >= out.frames)
      out.done = true;
  }

  int64_t OutputPosition() {
    if (!out.playing && !out.done) return 0;
    return out.playing ? FramesElapsed(out.startNs, Now(), out.rate, out.frames) : m_WireLimit;
  }

  void StartOutput(StereoSample* buffer, int64_t frames) {
    out.buffer = buffer;
    out.frames = frames;
    out.playing = true;
    out.done = false;
    out.startNs = Now();
    // A new playback: the cable carries this buffer from now on.
    m_WireValid = true;
    m_WireStartNs = out.startNs;
    m_WireRate = out.rate;
    m_WireDelayNs = m_DelayNs;
    m_WireLimit = frames;
    m_RingEnd = 0;
  }

  // Stops playback now; what is already on the cable still arrives.
  void StopOutput() {
    if (out.playing) {
      Advance();
      const int64_t played = FramesElapsed(out.startNs, Now(), out.rate, out.frames);
      PushOutputUpTo(played);
      m_WireLimit = played;
      out.playing = false;
    }
    out.done = out.buffer != nullptr;
  }

  void DetachOutputBuffer() {
    StopOutput();
    out.buffer = nullptr;
  }

  void StartInput() {
    in.capturing = true;
    in.done = false;
    in.pos = 0;
    in.startNs = Now() + m_CaptureOffsetNs;
    const double rate = in.rate;
    const double q = 1.0 / std::sqrt(2.0);
    for (int c = 0; c < 2; ++c) {
      in.highPass[c] = Biquad::HighPass(rate, LoopbackPath::kHighPassHz, q);
      in.lowPass[c] = Biquad::LowPass(rate, LoopbackPath::kLowPassHz, q);
    }
    in.useLowPass = rate / 2 > LoopbackPath::kLowPassMinNyquistHz;
  }

  void StopInput() {
    if (in.capturing) {
      AdvanceInput(Now());
      in.capturing = false;
    }
    in.done = in.buffer != nullptr;
  }

  void DetachInputBuffer() {
    StopInput();
    in.buffer = nullptr;
  }

 private:
  // Output frame heard by input frame j: the one played the cable's delay before it.
  int64_t SourceFrame(int64_t j) const {
    const __int128 rin = in.rate, rout = m_WireRate;
    const __int128 offsetNs = static_cast<__int128>(in.startNs) - m_WireStartNs - m_WireDelayNs;
    return FloorDiv(offsetNs * rin * rout + static_cast<__int128>(j) * kNsPerSecond * rout,
                    static_cast<__int128>(kNsPerSecond) * rin);
  }

  // Copies played frames from the output buffer onto the cable up to (not
  // including) frame k.
  void PushOutputUpTo(int64_t k) {
    if (!out.buffer) return;
    k = std::min(k, out.frames);
    int64_t from = std::max(m_RingEnd, k - kRingFrames);
    for (; from < k; ++from) m_Ring[static_cast<size_t>(from & (kRingFrames - 1))] = out.buffer[from];
    m_RingEnd = std::max(m_RingEnd, k);
  }

  StereoSample ReadWire(int64_t k) const {
    if (!m_WireValid || k < 0 || k >= m_WireLimit || k >= m_RingEnd || k < m_RingEnd - kRingFrames) return {};
    return m_Ring[static_cast<size_t>(k & (kRingFrames - 1))];
  }

  void AdvanceInput(int64_t now) {
    if (!in.capturing || !in.buffer) return;
    const int64_t target = FramesElapsed(in.startNs, now, in.rate, in.frames);
    const double gain = std::pow(10.0, LoopbackPath::kGainDb / 20.0);
    const double sigma = 32768.0 * std::pow(10.0, LoopbackPath::kNoiseDbfs / 20.0);
    while (in.pos < target) {
      const int64_t end = std::min(target, in.pos + kChunkFrames);
      if (m_WireValid && out.playing) PushOutputUpTo(SourceFrame(end - 1) + 1);
      for (int64_t j = in.pos; j < end; ++j) {
        const StereoSample src = ReadWire(m_WireValid ? SourceFrame(j) : -1);
        const double x[2] = {static_cast<double>(src.Left), static_cast<double>(src.Right)};
        int16_t y[2];
        for (int c = 0; c < 2; ++c) {
          double v = in.highPass[c].Process(x[c]);
          if (in.useLowPass) v = in.lowPass[c].Process(v);
          v = v * gain + m_Noise(m_Rng) * sigma;
          y[c] = static_cast<int16_t>(std::clamp(std::nearbyint(v), -32768.0, 32767.0));
        }
        in.buffer[j] = StereoSample{y[0], y[1]};
      }
      in.pos = end;
    }
    if (in.pos >= in.frames) {
      in.capturing = false;
      in.done = true;
    }
  }

  NanoClock m_Clock;
  std::mt19937_64 m_Rng;
  std::normal_distribution<double> m_Noise{0.0, 1.0};
  std::vector<StereoSample> m_Ring;
  int64_t m_RingEnd = 0;
  bool m_WireValid = false;
  int64_t m_WireStartNs = 0;
  int m_WireRate = 0;
  int64_t m_WireDelayNs = 0;
  int64_t m_WireLimit = 0;
};

namespace {

class LoopbackStream : public SoundStream {
 public:
  LoopbackStream(std::shared_ptr<LoopbackWire> wire, Direction direction)
      : m_Wire(std::move(wire)), m_Direction(direction) {}
  ~LoopbackStream() override { Close(); }

  int Queue(StereoSample* buffer, uint32_t frames) override {
    std::lock_guard lock(m_Wire->m_Mutex);
    if (!m_Open) return MMSYSERR_INVALHANDLE;
    if (m_Wire->m_Unplugged) return MMSYSERR_NODRIVER;
    if (IsOutput()) {
      if (m_Wire->out.playing) return WAVERR_STILLPLAYING;
      m_Wire->StartOutput(buffer, frames);
    } else {
      if (m_Wire->in.capturing) return WAVERR_STILLPLAYING;
      m_Wire->in.buffer = buffer;
      m_Wire->in.frames = frames;
      m_Wire->in.pos = 0;
      m_Wire->in.done = false;
    }
    return MMSYSERR_NOERROR;
  }

  int Start() override {
    std::lock_guard lock(m_Wire->m_Mutex);
    if (!m_Open) return MMSYSERR_INVALHANDLE;
    if (m_Wire->m_Unplugged) return MMSYSERR_NODRIVER;
    if (IsOutput()) return MMSYSERR_NOERROR;  // playback started when the buffer was queued
    if (!m_Wire->in.buffer) return WAVERR_UNPREPARED;
    if (!m_Wire->in.capturing && !m_Wire->in.done) m_Wire->StartInput();
    return MMSYSERR_NOERROR;
  }

  int Position(int64_t& frames) override {
    std::lock_guard lock(m_Wire->m_Mutex);
    frames = 0;
    if (!m_Open) return MMSYSERR_INVALHANDLE;
    if (m_Wire->m_Unplugged) return MMSYSERR_NODRIVER;
    m_Wire->Advance();
    frames = IsOutput() ? m_Wire->OutputPosition() : m_Wire->in.pos;
    return MMSYSERR_NOERROR;
  }

  bool Done() override {
    std::lock_guard lock(m_Wire->m_Mutex);
    if (!m_Open || m_Wire->m_Unplugged) return false;
    m_Wire->Advance();
    return IsOutput() ? m_Wire->out.done : m_Wire->in.done;
  }

  int Reset() override {
    std::lock_guard lock(m_Wire->m_Mutex);
    if (!m_Open) return MMSYSERR_INVALHANDLE;
    if (IsOutput()) m_Wire->StopOutput();
    else m_Wire->StopInput();
    return MMSYSERR_NOERROR;
  }

  int Stop() override { return Reset(); }

  int Unprepare() override {
    std::lock_guard lock(m_Wire->m_Mutex);
    if (!m_Open) return MMSYSERR_INVALHANDLE;
    if (IsOutput()) {
      if (m_Wire->out.playing) {
        m_Wire->Advance();
        if (!m_Wire->out.done) return WAVERR_STILLPLAYING;
      }
      m_Wire->DetachOutputBuffer();
    } else {
      if (m_Wire->in.capturing) return WAVERR_STILLPLAYING;
      m_Wire->DetachInputBuffer();
    }
    return MMSYSERR_NOERROR;
  }

  int Close() override {
    if (!m_Wire) return MMSYSERR_INVALHANDLE;
    std::lock_guard lock(m_Wire->m_Mutex);
    if (!m_Open) return MMSYSERR_INVALHANDLE;
    m_Open = false;
    if (IsOutput()) {
      m_Wire->DetachOutputBuffer();
      m_Wire->out = LoopbackWire::Output{};
    } else {
      m_Wire->DetachInputBuffer();
      m_Wire->in.open = false;
      m_Wire->in.done = false;
    }
    return MMSYSERR_NOERROR;
  }

 private:
  bool IsOutput() const { return m_Direction == Direction::Output; }
  std::shared_ptr<LoopbackWire> m_Wire;
  Direction m_Direction;
  bool m_Open = true;
};

}  // namespace

LoopbackBackend::LoopbackBackend(NanoClock clock, uint64_t noiseSeed)
    : m_Wire(std::make_shared<LoopbackWire>(std::move(clock), noiseSeed)) {}

LoopbackBackend::~LoopbackBackend() = default;

int LoopbackBackend::DeviceCount(Direction) { return 1; }

std::string LoopbackBackend::DeviceName(Direction, int index) { return index == 0 ? kDeviceName : std::string(); }

int LoopbackBackend::DefaultDevice(Direction) { return 0; }

int LoopbackBackend::Open(Direction direction, int index, int sampleRate, std::unique_ptr<SoundStream>& stream) {
  stream.reset();
  std::lock_guard lock(m_Wire->m_Mutex);
  if (m_Wire->m_Unplugged) return MMSYSERR_NODRIVER;
  if (index != 0) return MMSYSERR_BADDEVICEID;
  if (sampleRate < LoopbackPath::kMinRate || sampleRate > LoopbackPath::kMaxRate) return WAVERR_BADFORMAT;
  if (direction == Direction::Output) {
    if (m_Wire->out.open) return MMSYSERR_ALLOCATED;
    m_Wire->out = LoopbackWire::Output{};
    m_Wire->out.open = true;
    m_Wire->out.rate = sampleRate;
  } else {
    if (m_Wire->in.open) return MMSYSERR_ALLOCATED;
    m_Wire->in = LoopbackWire::Input{};
    m_Wire->in.open = true;
    m_Wire->in.rate = sampleRate;
  }
  stream = std::make_unique<LoopbackStream>(m_Wire, direction);
  return MMSYSERR_NOERROR;
}

void LoopbackBackend::SetDelayMs(int32_t ms) {
  std::lock_guard lock(m_Wire->m_Mutex);
  m_Wire->m_DelayNs = int64_t{std::clamp(ms, 0, LoopbackPath::kMaxDelayMs)} * 1'000'000;
}

int32_t LoopbackBackend::DelayMs() const {
  std::lock_guard lock(m_Wire->m_Mutex);
  return static_cast<int32_t>(m_Wire->m_DelayNs / 1'000'000);
}

void LoopbackBackend::SetCaptureStartOffsetNs(int64_t ns) {
  std::lock_guard lock(m_Wire->m_Mutex);
  m_Wire->m_CaptureOffsetNs = ns;
}

void LoopbackBackend::Unplug() {
  std::lock_guard lock(m_Wire->m_Mutex);
  // Let go of both buffers before anything else can happen.
  m_Wire->DetachOutputBuffer();
  m_Wire->DetachInputBuffer();
  m_Wire->m_Unplugged = true;
}

}  // namespace WaveMMIO
