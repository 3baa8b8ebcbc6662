#include "audio/LoopbackSim.h"

#include <algorithm>
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
constexpr int64_t kChunkFrames = 512;  // input frames computed per step

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

// The shared state of the two simulated devices and the cable between them.
class LoopbackWire {
 public:
  LoopbackWire(NanoClock clock, uint64_t seed) : m_Clock(std::move(clock)), m_Rng(seed), m_Ring(kRingFrames) {}

  std::mutex m_Mutex;
  bool m_Unplugged = false;
  int64_t m_DelayNs = LoopbackPath::kDelayNs;
  int64_t m_CaptureOffsetNs = 0;
  double m_DriftPpm = 0;
  struct Fault {
    bool dropout = false;  // else a latency step
    double atSeconds = 0;
    double ms = 0;
  };
  std::vector<Fault> m_Faults;
  bool m_CustomPath = false;
  std::vector<Biquad> m_PathFilters;
  double m_A2 = 0, m_A3 = 0;
  double m_GainDb = LoopbackPath::kGainDb;
  double m_NoiseDbfs = LoopbackPath::kNoiseDbfs;

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
    double driftPpm = 0;
    std::vector<Biquad> custom[2];
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
    in.driftPpm = m_DriftPpm;
    const double rate = in.rate;
    const double q = 1.0 / std::sqrt(2.0);
    for (int c = 0; c < 2; ++c) {
      in.highPass[c] = Biquad::HighPass(rate, LoopbackPath::kHighPassHz, q);
      in.lowPass[c] = Biquad::LowPass(rate, LoopbackPath::kLowPassHz, q);
    }
    in.useLowPass = rate / 2 > LoopbackPath::kLowPassMinNyquistHz;
    for (int c = 0; c < 2; ++c) {
      in.custom[c] = m_PathFilters;
      for (Biquad& f : in.custom[c]) f.ClearState();
    }
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
  // Frames lost before input frame j, and the delay added by then.
  void FaultsAt(int64_t j, int64_t& lost, int64_t& extraNs) const {
    lost = 0;
    extraNs = 0;
    for (const Fault& f : m_Faults) {
      if (static_cast<int64_t>(std::llround(f.atSeconds * in.rate)) > j) continue;
      if (f.dropout) lost += static_cast<int64_t>(std::llround(f.ms * in.rate / 1000.0));
      else extraNs += static_cast<int64_t>(std::llround(f.ms * 1e6));
    }
  }

  // Output frame heard by input frame j: the one played the cable's delay before it.
  int64_t SourceFrame(int64_t j) const {
    int64_t lost = 0, extraNs = 0;
    FaultsAt(j, lost, extraNs);
    const __int128 rin = in.rate, rout = m_WireRate;
    const __int128 offsetNs = static_cast<__int128>(in.startNs) - m_WireStartNs - m_WireDelayNs - extraNs;
    return FloorDiv(offsetNs * rin * rout + static_cast<__int128>(j + lost) * kNsPerSecond * rout,
                    static_cast<__int128>(kNsPerSecond) * rin);
  }

  // The same with the input's clock drifting: a fractional output frame.
  double SourcePosition(int64_t j) const {
    int64_t lost = 0, extraNs = 0;
    FaultsAt(j, lost, extraNs);
    const double offsetS = static_cast<double>(in.startNs - m_WireStartNs - m_WireDelayNs - extraNs) * 1e-9;
    return (offsetS + static_cast<double>(j + lost) / (in.rate * (1.0 + in.driftPpm * 1e-6))) * m_WireRate;
  }

  // The cable's signal at a fractional output frame: a Kaiser-windowed sinc
  // over kTaps frames, read from a table of kPhases phases.
  StereoSample ReadWireAt(double position) const {
    const double base = std::floor(position);
    const auto k0 = static_cast<int64_t>(base);
    const double phase = (position - base) * kPhases;
    const auto ph = std::min<int64_t>(kPhases - 1, static_cast<int64_t>(phase));
    const double t = phase - static_cast<double>(ph);
    const double* a = &m_Kernel[static_cast<size_t>(ph) * kTaps];
    const double* b = &m_Kernel[static_cast<size_t>(ph + 1) * kTaps];
    double l = 0, r = 0;
    for (int64_t i = 0; i < kTaps; ++i) {
      const StereoSample s = ReadWire(k0 - kTaps / 2 + 1 + i);
      const double w = a[i] * (1 - t) + b[i] * t;
      l += w * s.Left;
      r += w * s.Right;
    }
    const auto clip = [](double v) { return static_cast<int16_t>(std::clamp(std::nearbyint(v), -32768.0, 32767.0)); };
    return {clip(l), clip(r)};
  }

  static constexpr int64_t kTaps = 64;
  static constexpr int64_t kPhases = 512;
  // Tap i of phase p weighs frame floor(x) - kTaps / 2 + 1 + i for x = floor(x) + p / kPhases.
  static std::vector<double> MakeKernel() {
    std::vector<double> kernel(static_cast<size_t>((kPhases + 1) * kTaps));
    const auto bessel = [](double x) {
      double sum = 1, term = 1;
      for (int k = 1; k < 40; ++k) {
        term *= (x / (2 * k)) * (x / (2 * k));
        sum += term;
      }
      return sum;
    };
    constexpr double kBeta = 9.0;
    const double pi = 3.14159265358979323846;
    for (int64_t p = 0; p <= kPhases; ++p) {
      const double frac = static_cast<double>(p) / kPhases;
      double sum = 0;
      for (int64_t i = 0; i < kTaps; ++i) {
        const double x = static_cast<double>(i - kTaps / 2 + 1) - frac;
        const double u = x / (kTaps / 2.0);
        const double window = std::abs(u) < 1 ? bessel(kBeta * std::sqrt(1 - u * u)) / bessel(kBeta) : 0.0;
        const double sinc = x == 0 ? 1.0 : std::sin(pi * x) / (pi * x);
        kernel[static_cast<size_t>(p * kTaps + i)] = sinc * window;
        sum += sinc * window;
      }
      for (int64_t i = 0; i < kTaps; ++i) kernel[static_cast<size_t>(p * kTaps + i)] /= sum;
    }
    return kernel;
  }
  const std::vector<double> m_Kernel = MakeKernel();

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
    const double gain = std::pow(10.0, m_GainDb / 20.0);
    const double sigma = 32768.0 * std::pow(10.0, m_NoiseDbfs / 20.0);
    while (in.pos < target) {
      const int64_t end = std::min(target, in.pos + kChunkFrames);
      const bool drift = in.driftPpm != 0;
      if (m_WireValid && out.playing)
        PushOutputUpTo(drift ? static_cast<int64_t>(std::ceil(SourcePosition(end - 1))) + kTaps
                             : SourceFrame(end - 1) + 1);
      for (int64_t j = in.pos; j < end; ++j) {
        const StereoSample src = !m_WireValid ? StereoSample{}
                                 : drift      ? ReadWireAt(SourcePosition(j))
                                              : ReadWire(SourceFrame(j));
        const double x[2] = {static_cast<double>(src.Left), static_cast<double>(src.Right)};
        int16_t y[2];
        for (int c = 0; c < 2; ++c) {
          double v = x[c];
          if (m_A2 != 0 || m_A3 != 0) {
            const double u = v / 32768.0;
            v = (u + m_A2 * u * u + m_A3 * u * u * u) * 32768.0;
          }
          if (m_CustomPath) {
            for (Biquad& f : in.custom[c]) v = f.Process(v);
          } else {
            v = in.highPass[c].Process(v);
            if (in.useLowPass) v = in.lowPass[c].Process(v);
          }
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

  DeviceError Queue(StereoSample* buffer, uint32_t frames) override {
    std::lock_guard lock(m_Wire->m_Mutex);
    if (!m_Open) return DeviceError::NotOpen;
    if (m_Wire->m_Unplugged) return DeviceError::NoDriver;
    if (IsOutput()) {
      if (m_Wire->out.playing) return DeviceError::StillPlaying;
      m_Wire->StartOutput(buffer, frames);
    } else {
      if (m_Wire->in.capturing) return DeviceError::StillPlaying;
      m_Wire->in.buffer = buffer;
      m_Wire->in.frames = frames;
      m_Wire->in.pos = 0;
      m_Wire->in.done = false;
    }
    return DeviceError::None;
  }

  DeviceError Start() override {
    std::lock_guard lock(m_Wire->m_Mutex);
    if (!m_Open) return DeviceError::NotOpen;
    if (m_Wire->m_Unplugged) return DeviceError::NoDriver;
    if (IsOutput()) return DeviceError::None;  // playback started when the buffer was queued
    if (!m_Wire->in.buffer) return DeviceError::Unprepared;
    if (!m_Wire->in.capturing && !m_Wire->in.done) m_Wire->StartInput();
    return DeviceError::None;
  }

  DeviceError Position(int64_t& frames) override {
    std::lock_guard lock(m_Wire->m_Mutex);
    frames = 0;
    if (!m_Open) return DeviceError::NotOpen;
    if (m_Wire->m_Unplugged) return DeviceError::NoDriver;
    m_Wire->Advance();
    frames = IsOutput() ? m_Wire->OutputPosition() : m_Wire->in.pos;
    return DeviceError::None;
  }

  bool Done() override {
    std::lock_guard lock(m_Wire->m_Mutex);
    if (!m_Open || m_Wire->m_Unplugged) return false;
    m_Wire->Advance();
    return IsOutput() ? m_Wire->out.done : m_Wire->in.done;
  }

  DeviceError Reset() override {
    std::lock_guard lock(m_Wire->m_Mutex);
    if (!m_Open) return DeviceError::NotOpen;
    if (IsOutput()) m_Wire->StopOutput();
    else m_Wire->StopInput();
    return DeviceError::None;
  }

  DeviceError Stop() override { return Reset(); }

  DeviceError Unprepare() override {
    std::lock_guard lock(m_Wire->m_Mutex);
    if (!m_Open) return DeviceError::NotOpen;
    if (IsOutput()) {
      if (m_Wire->out.playing) {
        m_Wire->Advance();
        if (!m_Wire->out.done) return DeviceError::StillPlaying;
      }
      m_Wire->DetachOutputBuffer();
    } else {
      if (m_Wire->in.capturing) return DeviceError::StillPlaying;
      m_Wire->DetachInputBuffer();
    }
    return DeviceError::None;
  }

  StreamStartTime FirstFrameTime() override {
    std::lock_guard lock(m_Wire->m_Mutex);
    StreamStartTime t;
    if (!m_Open) return t;
    const bool started =
        IsOutput() ? (m_Wire->out.playing || m_Wire->out.done) : (m_Wire->in.capturing || m_Wire->in.done);
    if (!started) return t;
    t.known = true;
    t.seconds = static_cast<double>(IsOutput() ? m_Wire->out.startNs : m_Wire->in.startNs) * 1e-9;
    t.clock = m_Wire.get();
    return t;
  }

  DeviceError Close() override {
    if (!m_Wire) return DeviceError::NotOpen;
    std::lock_guard lock(m_Wire->m_Mutex);
    if (!m_Open) return DeviceError::NotOpen;
    m_Open = false;
    if (IsOutput()) {
      m_Wire->DetachOutputBuffer();
      m_Wire->out = LoopbackWire::Output{};
    } else {
      m_Wire->DetachInputBuffer();
      m_Wire->in.open = false;
      m_Wire->in.done = false;
    }
    return DeviceError::None;
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

DeviceError LoopbackBackend::Open(Direction direction, int index, int sampleRate,
                                  std::unique_ptr<SoundStream>& stream) {
  stream.reset();
  std::lock_guard lock(m_Wire->m_Mutex);
  if (m_Wire->m_Unplugged) return DeviceError::NoDriver;
  if (index != 0) return DeviceError::BadDeviceId;
  if (sampleRate < LoopbackPath::kMinRate || sampleRate > LoopbackPath::kMaxRate) return DeviceError::BadFormat;
  if (direction == Direction::Output) {
    if (m_Wire->out.open) return DeviceError::Allocated;
    m_Wire->out = LoopbackWire::Output{};
    m_Wire->out.open = true;
    m_Wire->out.rate = sampleRate;
  } else {
    if (m_Wire->in.open) return DeviceError::Allocated;
    m_Wire->in = LoopbackWire::Input{};
    m_Wire->in.open = true;
    m_Wire->in.rate = sampleRate;
  }
  stream = std::make_unique<LoopbackStream>(m_Wire, direction);
  return DeviceError::None;
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

void LoopbackBackend::SetInputDriftPpm(double ppm) {
  std::lock_guard lock(m_Wire->m_Mutex);
  m_Wire->m_DriftPpm = std::isfinite(ppm) ? std::clamp(ppm, -10000.0, 10000.0) : 0.0;
}

void LoopbackBackend::AddCaptureDropout(double atSeconds, double ms) {
  std::lock_guard lock(m_Wire->m_Mutex);
  if (std::isfinite(atSeconds) && std::isfinite(ms) && ms > 0) m_Wire->m_Faults.push_back({true, atSeconds, ms});
}

void LoopbackBackend::AddLatencyStep(double atSeconds, double ms) {
  std::lock_guard lock(m_Wire->m_Mutex);
  // The cable remembers kRingFrames: a step may not reach back further.
  if (std::isfinite(atSeconds) && std::isfinite(ms) && ms > 0 && ms <= 250)
    m_Wire->m_Faults.push_back({false, atSeconds, ms});
}

void LoopbackBackend::ClearFaults() {
  std::lock_guard lock(m_Wire->m_Mutex);
  m_Wire->m_DriftPpm = 0;
  m_Wire->m_Faults.clear();
}

void LoopbackBackend::SetPathFilters(std::vector<Biquad> sections) {
  std::lock_guard lock(m_Wire->m_Mutex);
  m_Wire->m_CustomPath = true;
  m_Wire->m_PathFilters = std::move(sections);
}

void LoopbackBackend::SetNonlinearity(double a2, double a3) {
  std::lock_guard lock(m_Wire->m_Mutex);
  m_Wire->m_A2 = a2;
  m_Wire->m_A3 = a3;
}

void LoopbackBackend::SetGainDb(double db) {
  std::lock_guard lock(m_Wire->m_Mutex);
  m_Wire->m_GainDb = db;
}

void LoopbackBackend::SetNoiseDbfs(double dbfs) {
  std::lock_guard lock(m_Wire->m_Mutex);
  m_Wire->m_NoiseDbfs = dbfs;
}

void LoopbackBackend::Unplug() {
  std::lock_guard lock(m_Wire->m_Mutex);
  // Let go of both buffers before anything else can happen.
  m_Wire->DetachOutputBuffer();
  m_Wire->DetachInputBuffer();
  m_Wire->m_Unplugged = true;
}

}  // namespace WaveMMIO
