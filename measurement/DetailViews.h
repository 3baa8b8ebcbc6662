#pragma once
// What the details window shows of results, as plot views: the frequency
// response of each shown result in its colour, and (for results that carry
// a response of their own) phase, group delay, the impulse with its
// energy-time curve and the harmonic distortion. A result is read once and
// what is computed from it is kept per smoothing, so that switching views or
// smoothing costs no second read.
//
// Reference curves (read from files elsewhere) take part like results,
// in their own colours, on the frequency views.
#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "measurement/Calibration.h"
#include "measurement/CorrectionFile.h"
#include "measurement/Export.h"
#include "measurement/PlotView.h"
#include "measurement/ResponseViews.h"

namespace measurement {

enum class DetailTab { Magnitude, Phase, GroupDelay, Impulse, Distortion };
inline constexpr int kDetailTabCount = 5;
// "周波数特性", "位相", "群遅延", "インパルス応答", "歪み".
QString DetailTabLabel(DetailTab tab);

using ViewSmoothing = Smoothing;
inline constexpr int kSmoothingCount = 6;
// 0 (none), 48, 24, 12, 6, 3: the smoothing spans 1/N octave.
int SmoothingDenominator(ViewSmoothing smoothing);
// "なし", "1/48", ... "1/3".
QString SmoothingLabel(ViewSmoothing smoothing);

// Fractional-octave smoothing of a magnitude curve (points rising in
// frequency): each point becomes the power mean of the points within
// +-1/(2N) octave of it. N = 0 leaves the curve as it is.
std::vector<CurvePoint> SmoothOctave(std::span<const CurvePoint> points, int denominator);

// One result, as read from its file.
class ResultDetails {
 public:
  // Reads the result file at path (".dat" or ".fft") with the level offset
  // the main window's grid uses; unreadable files give readable() false.
  static std::shared_ptr<ResultDetails> Read(const QString& path, float offsetDb);

  const QString& Path() const { return m_Path; }
  bool Readable() const { return m_Readable; }
  bool IsSweep() const { return m_Sweep; }
  int32_t SampleRate() const { return m_Rate; }
  // Phase, group delay, impulse and distortion need the run's impulse
  // response, which a new sweep keeps beside its result; without it only
  // the magnitude can be shown.
  bool HasResponse() const { return m_Response != nullptr; }
  void AttachResponse(ImpulseResponse ir);
  ResponseViews* Response() const { return m_Response.get(); }
  // The run's verdict, as its side file words it (empty without one).
  const QString& Verdict() const { return m_Verdict; }
  // Why the phase read from the response is not to be trusted (where the
  // run's timing stepped, dropped or lost the sweep, and what else moved its
  // frames), in the window's words; empty when it is.
  const QString& PhaseDoubt() const { return m_PhaseDoubt; }
  // The run's delay (ms) and drift (ppm) as the run reported them and its
  // side file records them; unknown without one, or when no delay was found.
  std::optional<double> RunDelayMs() const { return m_RunDelayMs; }
  std::optional<double> RunDriftPpm() const { return m_RunDriftPpm; }
  // The level the run played at (dB re full scale), as its side file
  // records it; unknown without one.
  std::optional<double> PlayedLevelDb() const { return m_PlayedLevelDb; }
  void SetPlayedLevelDb(std::optional<double> db) { m_PlayedLevelDb = db; }
  // What turns the magnitude read from the file (on the main window's
  // grid) into the level the input captured, in dBFS (a full-scale sine
  // reading 0 dBFS): that needs no played level.
  double CaptureOffsetDb() const { return m_CaptureOffsetDb; }
  // The magnitude (dB on the main window's grid) with the smoothing asked
  // for, computed on first use and kept.
  const std::vector<CurvePoint>& Magnitude(ViewSmoothing smoothing);

 private:
  QString m_Path;
  bool m_Readable = false;
  bool m_Sweep = false;
  int32_t m_Rate = 0;
  std::vector<CurvePoint> m_Envelope;
  std::map<int, std::vector<CurvePoint>> m_Smoothed;
  std::shared_ptr<ResponseViews> m_Response;
  QString m_Verdict;
  QString m_PhaseDoubt;
  std::optional<double> m_RunDelayMs, m_RunDriftPpm;
  std::optional<double> m_PlayedLevelDb;
  double m_CaptureOffsetDb = 0;
};

// Results read before, by path; a file changed since is read again.
class DetailCache {
 public:
  std::shared_ptr<ResultDetails> Get(const QString& path, float offsetDb);
  void Clear() { m_Entries.clear(); }
  size_t Size() const { return m_Entries.size(); }

 private:
  struct Entry {
    int64_t size = -1;
    int64_t modified = 0;
    float offsetDb = 0;
    std::shared_ptr<ResultDetails> details;
  };
  std::map<QString, Entry> m_Entries;
};

// A shown result: its name and colour in the results list.
struct DetailSeries {
  QString name;
  uint32_t color = 0;
  std::shared_ptr<ResultDetails> details;
};

// A curve from a file (a reference response), drawn in its own colour.
struct ReferenceCurve {
  QString name;
  uint32_t color = 0;
  std::vector<CurvePoint> points;
};

// A correction file (a microphone's or a sound card's response, or a
// target) as a reference curve in a colour.
ReferenceCurve ReferenceFromCorrection(const QString& name, uint32_t color, const CorrectionCurve& curve);

// The note shown where a result has nothing for a view.
QString MissingResponseNote(const ResultDetails& details);

// The views of a tab for the shown results: the first is the one the window
// was opened for; the frequency response overlays all of them (and the
// references), the other tabs show what each result has. The calibration's
// files (a microphone's, a sound card's response) are taken off the
// results' frequency responses and, where they have phase, their phase;
// not off the references. With a sensitivity the frequency response is
// the sound pressure at the microphone (dB SPL); a result whose response
// does not know the level it was played at is left out of that view.
std::vector<PlotView> BuildDetailViews(DetailTab tab, ViewSmoothing smoothing, const std::vector<DetailSeries>& shown,
                                       const std::vector<ReferenceCurve>& references = {},
                                       const Calibration& calibration = {});

// The read-out of the run: its verdict, delay and drift, or what is missing.
QString DetailSummary(const ResultDetails& details);

}  // namespace measurement
