#pragma once
// One measurement run: play the test signal on one device while recording
// another, one buffer each for the whole run, polled by a timer, stopping by
// itself when both buffers are done or at once on request. No widget lives
// here: the window hands in what it wants done through callbacks.
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "audio/StereoSample.h"
#include "audio/WaveDevice.h"
#include "measurement/Analysis.h"
#include "measurement/PathDelay.h"
#include "measurement/Timing.h"
#include "measurement/Result.h"
#include "measurement/ResultNumbers.h"
#include "measurement/Verdict.h"

namespace measurement {

// What a start takes from the window's controls or the command line.
struct RunRequest {
  QString deviceOut;  // the selected names (empty: no selection)
  QString deviceIn;
  SignalMode mode = SignalMode::Sweep;  // another number plays silence (see SignalMode)
  int32_t sampleRate = 44100;
  int32_t seconds = 10;
  int32_t levelTenthsDb = -30;
};

// The run keeps its buffers, devices and progress to itself. What it has
// measured is its Result (Current()): the mode and rate from the start on,
// the live preview of the sweep envelope or the running noise spectrum
// while it runs, the analysed envelope and path delay after AnalyseSweep.
// Front ends read that, the buffers through read-only views, and set only
// the data folder and the wait between playback and capture.
class MeasurementRun {
 public:
  struct Callbacks {
    // The run's mode and rate are set (Current()), before the devices open:
    // the frequency axis follows.
    std::function<void()> RateChanged;
    // New frames first .. last of the capture are ready (meter, waveform,
    // spectrum). In a sweep run the envelope's preview for them is already
    // in Current().envelope.
    std::function<void(int32_t first, int32_t last)> StretchReady;
    // The run ended (by itself or on request): the idle look comes back.
    std::function<void()> Stopped;
    // A sweep run completed: the front end calls AnalyseSweep (and draws).
    std::function<void()> SweepCompleted;
    // A run completed: its result belongs at path (the file is the front
    // end's to write, see SaveResultFile).
    std::function<void(const QString& path, const Result& result)> ResultReady;
    // True when something else already points at path (a line of the
    // results list); such a number is not given to a new result.
    std::function<bool(const QString& path)> PathTaken;
    // Waits between the start of playback and the start of capture, letting
    // window events run (a value <= 0 only lets them run once).
    std::function<void(int32_t ms)> Wait;
  };

  MeasurementRun();
  explicit MeasurementRun(Callbacks callbacks);
  ~MeasurementRun();
  MeasurementRun(const MeasurementRun&) = delete;
  MeasurementRun& operator=(const MeasurementRun&) = delete;

  void SetCallbacks(Callbacks callbacks) { m_Callbacks = std::move(callbacks); }
  // The clock the stall watch reads; by default the device list's clock.
  void SetClock(WaveMMIO::NanoClock clock) { m_Clock = std::move(clock); }

  // Where results are numbered and go (with a trailing separator).
  void SetDataFolder(const QString& folder) { m_DataPath = folder; }
  const QString& DataFolder() const { return m_DataPath; }
  // The wait between the start of playback and the start of capture, in
  // sweep mode only (ms; <= 0 only lets window events run once).
  void SetBufferDelayMs(int32_t ms) { m_BufferDelayMs = ms; }
  int32_t BufferDelayMs() const { return m_BufferDelayMs; }

  // A device that makes no progress for this long, or does not finish this
  // long after the run should have ended, has failed.
  static constexpr int64_t kStallNs = 5'000'000'000;

  // Starts a run; true when both devices run. On failure the run stays idle
  // and the failed device's error text has been shown; a device that failed
  // after the buffers were handed over has closed both. The mode and rate
  // are the run's (Current()) even when the start fails.
  bool Start(const RunRequest& request);
  // The timer's poll. A device call that fails, or a device that stalls,
  // ends the run with the device's error text; nothing is saved.
  void Tick();
  // Ends a run at once; nothing is saved.
  void StopRun();
  // Closes both devices (safe in any state).
  void CloseDevices();
  // After a completed sweep run: follows the run's timing (Current().timing,
  // and pathDelay from it) and computes the envelope over the capture paired
  // with the sweep by it. Without a clear delay the capture is taken as it is.
  void AnalyseSweep();

  bool Running() const { return m_Running; }

  // What the run has measured so far (see the class comment).
  const Result& Current() const { return m_Result; }

  // The run's length and its buffers. The capture holds frames
  // 0 .. CapturedFrames() - 1 so far; nothing beyond is read while the
  // device writes. The views stay valid until the next start.
  int32_t TotalFrames() const { return m_TotalFrames; }      // played
  int32_t CaptureFrames() const { return m_CaptureFrames; }  // to capture: past the playback's end
  int32_t ChunkFrames() const { return m_ChunkFrames; }      // a stretch is longer than this
  int32_t CapturedFrames() const { return m_CapturedFrames; }
  std::span<const WaveMMIO::StereoSample> Played() const { return m_PlayBuf; }
  std::span<const WaveMMIO::StereoSample> Captured() const { return m_RecBuf; }
  // The capture's first frame minus the playback's, in frames, when the
  // devices of the last completed run told their start times.
  std::optional<double> CaptureStart() const { return m_CaptureStart; }
  // What the sound host reported during the last completed run.
  const HostFlags& HostReport() const { return m_HostFlags; }
  // The devices, to look at (open, done, position).
  const WaveMMIO::WaveDevice& CaptureDevice() const { return m_hWaveIn; }
  const WaveMMIO::WaveDevice& PlaybackDevice() const { return m_hWaveOut; }

  // The noise frame a stretch ending at frame last brings: the newest whole
  // one, ending at that frame (its start; negative while fewer than 2048
  // frames are in).
  static int32_t NoiseFrameStart(int32_t last) { return last - kFftPoints + 1; }

  // Adds the noise frame that begins at start to the spectrum's mean when all
  // of it has been captured; false (nothing added) otherwise.
  bool FoldNoiseFrame(C_FFT& fft, int32_t start) {
    return NoiseStep(fft, m_RecBuf, m_CapturedFrames, start, m_Result.spectrum);
  }

  // The path the next result takes: the next number after the last one
  // whose ".dat" and ".fft" files are both absent from the data folder and
  // not taken (PathTaken). Advances the result number.
  QString NextResultPath();
  // Stores result as a new file in the data folder under the first free
  // number from the one NextResultPath gave on (another window or command
  // line storing there meanwhile takes its own); that number becomes the
  // run's. The stored path, or empty with the system's reason.
  StoredResult StoreResult(const Result& result);
  // The number of the last result handed out (0: none yet).
  int32_t ResultNumber() const { return m_ResultNo; }

 private:
  bool OpenDevices();
  void BuildSignal();
  // The sweep envelope's live preview: the capture's RMS over the stretch
  // for each of its frames.
  void PreviewEnvelope(int32_t first, int32_t last);
  void HandOn(int32_t first, int32_t last);
  // Judges the completed run (after a sweep's analysis) into Current().verdict.
  void Judge();
  // Ends the run because a device failed: closes both, shows the error.
  void Fail(WaveMMIO::DeviceError code, WaveMMIO::Direction direction);
  // The device error or stall this tick found, if any (returns false then).
  bool CheckDevices(int64_t capturePos);
  int64_t Now() const;

  // The buffers come first: they must outlive the devices that hold them.
  std::vector<WaveMMIO::StereoSample> m_PlayBuf;
  std::vector<WaveMMIO::StereoSample> m_RecBuf;
  Result m_Result;

  bool m_Running = false;
  int32_t m_TotalFrames = 0;    // frames played
  int32_t m_CaptureFrames = 0;  // frames captured: on past the playback by the delay search range
  int32_t m_ChunkFrames = 0;
  int32_t m_BufferDelayMs = 0;
  int32_t m_DevOut = 0;
  int32_t m_DevIn = 0;
  int32_t m_DrawnPos = 0;
  int32_t m_CapturedFrames = 0;  // frames the capture device has reported so far
  // The capture's first frame minus the playback's, in frames, when the
  // devices told their start times (read as both finish).
  std::optional<double> m_CaptureStart;
  HostFlags m_HostFlags;  // what the host reported during the last completed run
  int32_t m_ResultNo = 0;
  QString m_DataPath;

  WaveMMIO::WaveDevice m_hWaveIn{WaveMMIO::Direction::Input};
  WaveMMIO::WaveDevice m_hWaveOut{WaveMMIO::Direction::Output};

  Callbacks m_Callbacks;
  WaveMMIO::NanoClock m_Clock;
  bool m_InTick = false;     // drawing lets window events run: a tick never nests
  int64_t m_LastPos = -1;    // capture position at the last progress
  int64_t m_ProgressNs = 0;  // when the capture last moved on
  int64_t m_EndNs = 0;       // when both buffers should be done
};

// The name of result number n in folder: "01.dat" for a sweep, "01.fft" otherwise.
QString ResultPath(const QString& folder, int32_t number, SignalMode mode);

}  // namespace measurement
