#include "measurement/MeasurementRun.h"

#include <algorithm>
#include <cmath>

#include "audio/WaveMMIO.h"
#include "measurement/Graphs.h"
#include "measurement/PathDelay.h"
#include "measurement/ResultFiles.h"
#include "measurement/RunResponse.h"
#include "measurement/SideFiles.h"
#include "measurement/TestSignal.h"
#include "support/Paths.h"

namespace measurement {

using WaveMMIO::CheckWaveResult;
using WaveMMIO::FindAudioDevice;

MeasurementRun::MeasurementRun() = default;

MeasurementRun::MeasurementRun(Callbacks callbacks) : m_Callbacks(std::move(callbacks)) {}

MeasurementRun::~MeasurementRun() { CloseDevices(); }

QString ResultPath(const QString& folder, int32_t number, SignalMode mode) {
  return folder + QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0')) +
         (mode == SignalMode::Sweep ? QStringLiteral(".dat") : QStringLiteral(".fft"));
}

QString MeasurementRun::NextResultPath() {
  const auto taken = [&](const QString& path) {
    return basic::FileExists(path) || (m_Callbacks.PathTaken && m_Callbacks.PathTaken(path));
  };
  int32_t n = m_ResultNo;
  do {
    ++n;
  } while (n < INT32_MAX && (taken(ResultPath(m_DataPath, n, SignalMode::Sweep)) ||
                             taken(ResultPath(m_DataPath, n, SignalMode::Noise))));
  m_ResultNo = n;
  return ResultPath(m_DataPath, n, m_Result.mode);
}

StoredResult MeasurementRun::StoreResult(const Result& result) {
  StoredResult stored = StoreNewResult(m_DataPath, result.mode == SignalMode::Sweep, ResultFileBytes(result),
                                       std::max(m_ResultNo - 1, 0), m_Callbacks.PathTaken);
  if (stored.path.isEmpty()) return stored;
  m_ResultNo = stored.number;
  // The result is stored: whatever happens to its side files, it stays.
  if (result.mode == SignalMode::Sweep) stored.sideFilesWritten = StoreSideFiles(stored.path, result, &stored.error);
  return stored;
}

bool MeasurementRun::Start(const RunRequest& request) {
  m_DevOut = FindAudioDevice(WaveMMIO::Direction::Output, request.deviceOut, false);
  m_DevIn = FindAudioDevice(WaveMMIO::Direction::Input, request.deviceIn, false);
  m_Result.mode = request.mode;
  CloseDevices();  // whatever a failed start left open
  m_Result.pathDelay = PathDelay{};
  m_Result.timing = RunTiming{};
  m_Result.response = ImpulseResponse{};
  m_CaptureStart.reset();
  m_HostFlags = HostFlags{};
  m_Result.verdict = Verdict{};
  m_Result.spectrum.count = 0;
  m_Result.sampleRate = request.sampleRate;
  if (m_Callbacks.RateChanged) m_Callbacks.RateChanged();
  const int32_t rate = m_Result.sampleRate;
  const int64_t frames = static_cast<int64_t>(rate) * request.seconds;
  if (rate <= 0 || frames <= 0 || frames > INT32_MAX / 4) return false;
  m_TotalFrames = static_cast<int32_t>(frames);
  m_CaptureFrames = static_cast<int32_t>(frames + CaptureTailFrames(rate, frames));
  m_ChunkFrames = static_cast<int32_t>(std::nearbyint(rate / 20.0));
  m_Result.spectrum.values.fill(0.0f);
  m_Result.levelTenthsDb = request.levelTenthsDb;
  if (!OpenDevices()) return false;
  m_Running = true;
  return true;
}

void MeasurementRun::BuildSignal() {
  const double amplitude = SignalAmplitude(m_Result.levelTenthsDb);
  if (m_Result.mode == SignalMode::Sweep) {
    GenerateSweep(m_PlayBuf, m_Result.sampleRate, amplitude, m_Result.sweepTable, m_Result.envelope);
  } else if (m_Result.mode == SignalMode::Noise) {
    GenerateNoise(m_PlayBuf, amplitude, ClockSeed());
  }
  // Any other mode: the buffer stays silent.
}

bool MeasurementRun::OpenDevices() {
  m_DrawnPos = 0;
  m_CapturedFrames = 0;
  // The devices are closed, so the buffers may be replaced now.
  const auto n = static_cast<size_t>(m_TotalFrames);
  m_RecBuf.assign(static_cast<size_t>(m_CaptureFrames), {});
  m_PlayBuf.assign(n, {});
  BuildSignal();

  // A device that does not open shows its error and the start ends there
  // (an input already open stays so until the next close). A failure once
  // sound has been handed over also closes both devices, so that nothing
  // plays on behind the error.
  using WaveMMIO::Direction;
  const auto failed = [&](WaveMMIO::DeviceError result, Direction direction, bool close) {
    if (result == WaveMMIO::DeviceError::None) return false;
    if (close) CloseDevices();
    CheckWaveResult(result, direction, false);
    return true;
  };
  if (failed(m_hWaveIn.Open(m_DevIn, m_Result.sampleRate), Direction::Input, false)) return false;
  if (failed(m_hWaveIn.Queue(m_RecBuf.data(), static_cast<uint32_t>(m_RecBuf.size())), Direction::Input, true))
    return false;
  if (failed(m_hWaveOut.Open(m_DevOut, m_Result.sampleRate), Direction::Output, false)) return false;
  if (failed(m_hWaveOut.Queue(m_PlayBuf.data(), static_cast<uint32_t>(n)), Direction::Output, true))
    return false;  // playback starts

  if (m_Result.mode == SignalMode::Sweep) {
    if (m_Callbacks.Wait) m_Callbacks.Wait(m_BufferDelayMs);
    else basic::WaitMs(m_BufferDelayMs, 0);
  }
  if (failed(m_hWaveIn.Start(), Direction::Input, true)) return false;
  const int64_t now = Now();
  m_LastPos = -1;
  m_ProgressNs = now;
  m_EndNs = now + static_cast<int64_t>(static_cast<double>(m_CaptureFrames) / m_Result.sampleRate * 1e9);
  return true;
}

int64_t MeasurementRun::Now() const { return m_Clock ? m_Clock() : WaveMMIO::SoundHost::Instance().Now(); }

void MeasurementRun::Fail(WaveMMIO::DeviceError code, WaveMMIO::Direction direction) {
  StopRun();
  CheckWaveResult(code, direction, false);
}

bool MeasurementRun::CheckDevices(int64_t capturePos) {
  int64_t outPos = 0;
  const WaveMMIO::DeviceError outResult = m_hWaveOut.Position(outPos);
  if (outResult != WaveMMIO::DeviceError::None) {
    Fail(outResult, WaveMMIO::Direction::Output);
    return true;
  }
  const int64_t now = Now();
  if (capturePos != m_LastPos) {
    m_LastPos = capturePos;
    m_ProgressNs = now;
  }
  const bool inDone = m_hWaveIn.Done(), outDone = m_hWaveOut.Done();
  // A capture that stopped moving, or a buffer that never comes back.
  if ((!inDone && capturePos < m_CaptureFrames && now - m_ProgressNs >= kStallNs) ||
      (now - m_EndNs >= kStallNs && !(inDone && outDone))) {
    Fail(WaveMMIO::DeviceError::NoDriver, inDone ? WaveMMIO::Direction::Output : WaveMMIO::Direction::Input);
    return true;
  }
  return false;
}

void MeasurementRun::Tick() {
  if (!m_Running || m_InTick) return;
  m_InTick = true;
  struct Leave {
    bool& flag;
    ~Leave() { flag = false; }
  } leave{m_InTick};
  if (m_hWaveIn.Done() && m_hWaveOut.Done()) {
    // Frames that arrived since the last stretch still reach the meter and
    // graphs, so that every frame from 1 to N - 1 is shown once.
    m_CapturedFrames = m_TotalFrames;
    if (m_DrawnPos < m_TotalFrames - 1) HandOn(m_DrawnPos + 1, m_TotalFrames - 1);
    // The devices' start times, read before they close.
    m_CaptureStart =
        WaveMMIO::CaptureStartFrames(m_hWaveIn.FirstFrameTime(), m_hWaveOut.FirstFrameTime(), m_Result.sampleRate);
    const WaveMMIO::StreamFlags in = m_hWaveIn.Flags(), out = m_hWaveOut.Flags();
    m_HostFlags = {in.reported || out.reported, in.overflow, in.underflow, out.underflow, out.overflow};
    StopRun();
    if (m_Result.mode == SignalMode::Sweep && m_Callbacks.SweepCompleted) m_Callbacks.SweepCompleted();
    Judge();
    const QString path = NextResultPath();
    if (m_Callbacks.ResultReady) m_Callbacks.ResultReady(path, m_Result);
    return;
  }
  int64_t pos = 0;
  const WaveMMIO::DeviceError inResult = m_hWaveIn.Position(pos);
  if (inResult != WaveMMIO::DeviceError::None) {
    Fail(inResult, WaveMMIO::Direction::Input);
    return;
  }
  if (CheckDevices(pos)) return;
  // The device reports how many frames it has written: frames 0 .. pos - 1
  // are in the buffer, and nothing from pos on is read while it writes.
  pos = std::min<int64_t>(pos, m_TotalFrames);
  if (pos - 1 > static_cast<int64_t>(m_DrawnPos) + m_ChunkFrames) {
    m_CapturedFrames = static_cast<int32_t>(pos);
    HandOn(m_DrawnPos + 1, static_cast<int32_t>(pos - 1));
  }
}

void MeasurementRun::HandOn(int32_t first, int32_t last) {
  if (m_Result.mode == SignalMode::Sweep) PreviewEnvelope(first, last);
  if (m_Callbacks.StretchReady) m_Callbacks.StretchReady(first, last);
  m_DrawnPos = last;
}

void MeasurementRun::PreviewEnvelope(int32_t first, int32_t last) {
  const StretchLevels levels = MeasureStretch(m_PlayBuf, m_RecBuf, first, last);
  const auto value = static_cast<int16_t>(std::min(std::nearbyint(levels.rms[1]), 32767.0));
  const int64_t end = std::min<int64_t>(last, static_cast<int64_t>(m_Result.envelope.size()) - 1);
  for (int64_t j = std::max(first, 0); j <= end; ++j) m_Result.envelope[static_cast<size_t>(j)] = value;
}

void MeasurementRun::AnalyseSweep() {
  Result& r = m_Result;
  const auto played = std::span<const WaveMMIO::StereoSample>(m_PlayBuf).first(
      std::min(m_PlayBuf.size(), static_cast<size_t>(std::max(m_TotalFrames, 0))));
  r.timing = FollowTiming(played, m_RecBuf, r.sampleRate, r.sweepTable.freq, m_CaptureStart);
  r.pathDelay = PathDelay{};
  r.pathDelay.found = r.timing.found;
  r.pathDelay.clarity = r.timing.clarity;
  if (r.timing.found)
    r.pathDelay.frames = static_cast<int32_t>(std::clamp(std::nearbyint(r.timing.delayFrames), -2e9, 2e9));
  // Without a clear delay the capture is taken as it is.
  const RunTiming pairing = r.timing.found ? r.timing : RunTiming::Fixed(0, static_cast<int64_t>(r.envelope.size()));
  measurement::AnalyseSweep(m_RecBuf, r.sampleRate, r.sweepTable.freq, r.envelope, pairing);
  r.response = SweepResponse(played, m_RecBuf, r.sampleRate, r.timing);
}

void MeasurementRun::Judge() {
  Result& r = m_Result;
  TimingFacts timing;
  if (r.mode == SignalMode::Sweep) {
    timing = TimingFactsOf(r.timing, m_TotalFrames);
  } else {
    // A noise run's delay is found the same way as a sweep's whole-run one;
    // only the verdict uses it.
    const PathDelay d = FindPathDelay(m_PlayBuf, m_RecBuf, r.sampleRate);
    timing.found = d.found;
    timing.start = d.frames;
    timing.end = static_cast<double>(d.frames) + m_TotalFrames - 1;
  }
  r.verdict = JudgeRun(m_PlayBuf, m_RecBuf, r.sampleRate, r.mode, timing, m_HostFlags,
                       r.mode == SignalMode::Sweep ? std::span<const int16_t>(r.envelope) : std::span<const int16_t>());
}

void MeasurementRun::StopRun() {
  CloseDevices();
  if (m_Callbacks.Stopped) m_Callbacks.Stopped();
}

void MeasurementRun::CloseDevices() {
  m_Running = false;
  m_hWaveIn.Reset();
  m_hWaveIn.Stop();
  m_hWaveIn.Unprepare();
  m_hWaveIn.Close();
  m_hWaveOut.Unprepare();
  m_hWaveOut.Reset();
  m_hWaveOut.Close();
}

}  // namespace measurement
