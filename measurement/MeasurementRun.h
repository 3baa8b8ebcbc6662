#pragma once
// One measurement run: play the test signal on one device while recording
// another, one buffer each for the whole run, polled by a timer, stopping by
// itself when both buffers are done or at once on request. No widget lives
// here: the window hands in what it wants done through callbacks.
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "audio/StereoSample.h"
#include "audio/WaveDevice.h"
#include "measurement/Analysis.h"
#include "measurement/PathDelay.h"
#include "measurement/Timing.h"

namespace measurement {

// What a start takes from the window's controls.
struct RunRequest {
  QString deviceOut;  // the selected names (empty: no selection)
  QString deviceIn;
  int32_t mode = 0;  // 0 sweep, 1 white noise
  int32_t sampleRate = 44100;
  int32_t seconds = 10;
  int32_t levelTenthsDb = -30;
};

class MeasurementRun {
 public:
  struct Callbacks {
    // The frequency axis for the run's rate (before the devices open).
    std::function<void()> RateChanged;
    // New frames first .. last of the capture are ready (meter, waveform, spectrum).
    std::function<void(int32_t first, int32_t last)> StretchReady;
    // The run ended (by itself or on request): the idle look comes back.
    std::function<void()> Stopped;
    // A sweep run completed: the front end calls AnalyseSweep (and draws).
    std::function<void()> SweepCompleted;
    // A run completed and its result belongs at path.
    std::function<void(const QString& path)> ResultReady;
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

  // A device that makes no progress for this long, or does not finish this
  // long after the run should have ended, has failed.
  static constexpr int64_t kStallNs = 5'000'000'000;

  // Starts a run; true when both devices run. On failure the run stays idle
  // and the failed device's error text has been shown; a device that failed
  // after the buffers were handed over has closed both.
  bool Start(const RunRequest& request);
  // The timer's poll. A device call that fails, or a device that stalls,
  // ends the run with the device's error text; nothing is saved.
  void Tick();
  // Ends a run at once; nothing is saved.
  void StopRun();
  // Closes both devices (safe in any state).
  void CloseDevices();
  // After a completed sweep run: follows the run's timing (m_Timing, and
  // m_PathDelay from it) and computes the envelope over the capture paired
  // with the sweep by it. Without a clear delay the capture is taken as it is.
  void AnalyseSweep();

  bool Running() const { return m_Running != 0; }

  // The noise frame a stretch ending at frame last brings: the newest whole
  // one, ending at that frame (its start; negative while fewer than 2048
  // frames are in).
  static int32_t NoiseFrameStart(int32_t last) { return last - kFftPoints + 1; }

  // Adds the noise frame that begins at start to m_Spectrum's mean when all
  // of it has been captured; false (nothing added) otherwise.
  bool FoldNoiseFrame(C_FFT& fft, int32_t start) {
    return NoiseStep(fft, m_RecBuf, m_CapturedFrames, start, m_Spectrum);
  }

  // The path the next result takes: the next number after the last one
  // whose ".dat" and ".fft" files are both absent from the data folder and
  // not taken (PathTaken). Advances m_ResultNo.
  QString NextResultPath();

  // --- Run state, read by the window's drawing and result code ---
  // The buffers come first: they must outlive the devices that hold them.
  std::vector<WaveMMIO::StereoSample> m_PlayBuf;
  std::vector<WaveMMIO::StereoSample> m_RecBuf;
  NoiseSpectrum m_Spectrum;          // running mean and m_SpectrumCount
  SweepTable m_Sweep;                // m_SweepFreq and SweepTableKey
  std::vector<int16_t> m_SweepLevel;
  int32_t m_SweepLevelCount = 0;

  int32_t m_Running = 0;
  int32_t m_Mode = 0;
  int16_t m_Channels = 2;
  int16_t m_BitsPerSample = 16;
  int32_t m_SampleRate = 0;
  int32_t m_BlockAlign = 4;
  int32_t m_TotalFrames = 0;     // frames played
  int32_t m_CaptureFrames = 0;   // frames captured: on past the playback by the delay search range
  int32_t m_ChunkFrames = 0;
  int32_t m_BufferDelayMs = 0;
  int32_t m_DevOut = 0;
  int32_t m_DevIn = 0;
  int32_t m_DrawnPos = 0;
  int32_t m_CapturedFrames = 0;  // frames the capture device has reported so far
  PathDelay m_PathDelay;         // of the last completed sweep run (at sweep sample 0, whole frames)
  RunTiming m_Timing;            // of the last completed sweep run
  // The capture's first frame minus the playback's, in frames, when the
  // devices told their start times (read as both finish).
  std::optional<double> m_CaptureStart;
  int32_t m_ResultNo = 0;
  int32_t m_LevelTenthsDb = -30;
  QString m_DataPath;

  WaveMMIO::WaveDevice m_hWaveIn{WaveMMIO::Direction::Input};
  WaveMMIO::WaveDevice m_hWaveOut{WaveMMIO::Direction::Output};

 private:
  bool OpenDevices();
  void BuildSignal();
  // Ends the run because a device failed: closes both, shows the error.
  void Fail(int code, int output);
  // The device error or stall this tick found, if any (returns false then).
  bool CheckDevices(int64_t capturePos);

  Callbacks m_Callbacks;
  WaveMMIO::NanoClock m_Clock;
  int64_t Now() const;
  bool m_InTick = false;      // drawing lets window events run: a tick never nests
  int64_t m_LastPos = -1;     // capture position at the last progress
  int64_t m_ProgressNs = 0;   // when the capture last moved on
  int64_t m_EndNs = 0;        // when both buffers should be done
};

// The name of result number n in folder: "01.dat" for a sweep, "01.fft" otherwise.
QString ResultPath(const QString& folder, int32_t number, int32_t mode);

}  // namespace measurement
