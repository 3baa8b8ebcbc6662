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

  // Starts a run; true when both devices run. On failure the run stays idle
  // (the failed device's error text has been shown).
  bool Start(const RunRequest& request);
  // The timer's poll.
  void Tick();
  // Ends a run at once; nothing is saved.
  void StopRun();
  // Closes both devices (safe in any state).
  void CloseDevices();
  // After a completed sweep run: finds the path's delay (m_PathDelay) and
  // computes the envelope over the capture aligned by it. Without a clear
  // delay the capture is taken as it is.
  void AnalyseSweep();

  bool Running() const { return m_Running != 0; }

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
  int32_t m_TotalFrames = 0;
  int32_t m_ChunkFrames = 0;
  int32_t m_BufferDelayMs = 0;
  int32_t m_DevOut = 0;
  int32_t m_DevIn = 0;
  int32_t m_DrawnPos = 0;
  int32_t m_CapturedFrames = 0;  // frames the capture device has reported so far
  PathDelay m_PathDelay;         // of the last completed sweep run
  int32_t m_ResultNo = 0;
  int32_t m_LevelTenthsDb = -30;
  QString m_DataPath;

  WaveMMIO::WaveDevice m_hWaveIn{WaveMMIO::Direction::Input};
  WaveMMIO::WaveDevice m_hWaveOut{WaveMMIO::Direction::Output};

 private:
  bool OpenDevices();
  void BuildSignal();

  Callbacks m_Callbacks;
  bool m_InTick = false;  // drawing lets window events run: a tick never nests
};

// The name of result number n in folder: "01.dat" for a sweep, "01.fft" otherwise.
QString ResultPath(const QString& folder, int32_t number, int32_t mode);

}  // namespace measurement
