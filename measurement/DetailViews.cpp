#include "measurement/DetailViews.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

#include "measurement/Calibrator.h"
#include "measurement/Correction.h"
#include "measurement/PhaseDoubt.h"
#include "measurement/ResultFiles.h"
#include "measurement/SideFiles.h"
#include "measurement/TestSignal.h"
#include "measurement/VerdictText.h"

namespace measurement {

QString DetailTabLabel(DetailTab tab) {
  switch (tab) {
    case DetailTab::Magnitude: return QStringLiteral("周波数特性");
    case DetailTab::Phase: return QStringLiteral("位相");
    case DetailTab::GroupDelay: return QStringLiteral("群遅延");
    case DetailTab::Impulse: return QStringLiteral("インパルス応答");
    case DetailTab::Distortion: return QStringLiteral("歪み");
  }
  return {};
}

int SmoothingDenominator(ViewSmoothing smoothing) {
  switch (smoothing) {
    case ViewSmoothing::None: return 0;
    case ViewSmoothing::Octave48: return 48;
    case ViewSmoothing::Octave24: return 24;
    case ViewSmoothing::Octave12: return 12;
    case ViewSmoothing::Octave6: return 6;
    case ViewSmoothing::Octave3: return 3;
  }
  return 0;
}

QString SmoothingLabel(ViewSmoothing smoothing) {
  const int n = SmoothingDenominator(smoothing);
  return n == 0 ? QStringLiteral("なし") : QStringLiteral("1/%1").arg(n);
}

std::vector<CurvePoint> SmoothOctave(std::span<const CurvePoint> points, int denominator) {
  std::vector<CurvePoint> out(points.begin(), points.end());
  if (denominator <= 0 || points.empty()) return out;
  // Prefix sums of power make each window's mean one subtraction.
  std::vector<double> sum(points.size() + 1, 0.0);
  for (size_t i = 0; i < points.size(); ++i) sum[i + 1] = sum[i] + std::pow(10.0, points[i].levelDb / 10.0);
  // Points on the window's edge belong to it whatever the rounding.
  const double half = std::exp2(0.5 / denominator) * (1 + 1e-9);
  size_t lo = 0, hi = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    const double f = points[i].frequency;
    while (lo < i && points[lo].frequency < f / half) ++lo;
    if (hi < i + 1) hi = i + 1;
    while (hi < points.size() && points[hi].frequency <= f * half) ++hi;
    const double mean = (sum[hi] - sum[lo]) / static_cast<double>(hi - lo);
    out[i].levelDb = mean > 0 ? 10.0 * std::log10(mean) : points[i].levelDb;
  }
  return out;
}

std::shared_ptr<ResultDetails> ResultDetails::Read(const QString& path, float offsetDb) {
  auto details = std::make_shared<ResultDetails>();
  details->m_Path = path;
  const LoadedResult loaded = LoadResultFile(path);
  if (!loaded.Loaded()) return details;
  details->m_Readable = true;
  details->m_Sweep = loaded.outcome == LoadOutcome::Sweep;
  details->m_Rate = loaded.result.sampleRate;
  details->m_Envelope = ResultCurve(loaded.result, offsetDb);
  // ResultCurve gives gain - (full scale's gain) - offset, and a gain plus
  // the played level is the captured level: the played level drops out.
  details->m_CaptureOffsetDb = offsetDb + (details->m_Sweep ? SweepGainDb(32767.0, 0.0) : NoiseGainDb(32767.0, 0.0));
  // A sweep made since the side files exist carries its response beside it.
  SideInfo info;
  if (details->m_Sweep)
    if (std::optional<ImpulseResponse> ir = ReadSideFiles(path, &info)) {
      details->AttachResponse(std::move(*ir));
      details->m_Verdict = info.verdict;
      details->m_PhaseDoubt = PhaseDoubtJa(info);
      if (!info.delayReference.isEmpty()) {
        details->m_RunDelayMs = info.delayMs;
        details->m_RunDriftPpm = info.driftPpm;
      }
      details->m_PlayedLevelDb = info.levelTenthsDb / 10.0;
    }
  return details;
}

void ResultDetails::AttachResponse(ImpulseResponse ir) {
  m_Response = ir.Empty() ? nullptr : std::make_shared<ResponseViews>(std::move(ir));
}

const std::vector<CurvePoint>& ResultDetails::Magnitude(ViewSmoothing smoothing) {
  const int n = SmoothingDenominator(smoothing);
  if (n == 0) return m_Envelope;
  auto it = m_Smoothed.find(n);
  if (it == m_Smoothed.end()) it = m_Smoothed.emplace(n, SmoothOctave(m_Envelope, n)).first;
  return it->second;
}

std::shared_ptr<ResultDetails> DetailCache::Get(const QString& path, float offsetDb) {
  const QFileInfo info(path);
  const int64_t size = info.exists() ? info.size() : -1;
  const int64_t modified = info.exists() ? info.lastModified().toMSecsSinceEpoch() : 0;
  auto it = m_Entries.find(path);
  if (it != m_Entries.end() && it->second.size == size && it->second.modified == modified &&
      it->second.offsetDb == offsetDb)
    return it->second.details;
  Entry entry{size, modified, offsetDb, ResultDetails::Read(path, offsetDb)};
  m_Entries[path] = entry;
  return entry.details;
}

ReferenceCurve ReferenceFromCorrection(const QString& name, uint32_t color, const CorrectionCurve& curve) {
  ReferenceCurve r{name, color, {}};
  r.points.reserve(curve.points.size());
  for (const CorrectionPoint& p : curve.points) r.points.push_back({p.frequency, p.db});
  return r;
}

QString MissingResponseNote(const ResultDetails& details) {
  if (!details.Readable()) return QStringLiteral("この測定結果は読み込めませんでした。");
  return QStringLiteral(
      "この測定結果には周波数特性しかありません。\n"
      "位相・群遅延・インパルス応答・歪みを見るには、スウィープで新しく測定してください。");
}

namespace {

PlotCurve CurveOf(const std::vector<CurvePoint>& points, const QString& name, uint32_t color) {
  PlotCurve curve;
  curve.name = name;
  curve.color = color;
  curve.x.reserve(points.size());
  curve.y.reserve(points.size());
  for (const CurvePoint& p : points) {
    curve.x.push_back(p.frequency);
    curve.y.push_back(p.levelDb);
  }
  return curve;
}

// A dB range in steps of 5 that holds the curves' values, at least 30 dB and
// at most 90 dB tall (the lowest values give way).
void FitDecibels(PlotView& view) {
  double lo = INFINITY, hi = -INFINITY;
  for (const PlotCurve& c : view.curves)
    for (size_t i = 0; i < c.x.size() && i < c.y.size(); ++i) {
      if (c.x[i] < view.xMin || c.x[i] > view.xMax || !std::isfinite(c.y[i])) continue;
      lo = std::min(lo, c.y[i]);
      hi = std::max(hi, c.y[i]);
    }
  if (!std::isfinite(lo)) {
    view.yMin = -60, view.yMax = 10;
    return;
  }
  view.yMax = std::ceil((hi + 3) / 5) * 5;
  view.yMin = std::floor((lo - 1) / 5) * 5;
  view.yMin = std::clamp(view.yMin, view.yMax - 90, view.yMax - 30);
}

double TopFrequency(const std::vector<DetailSeries>& shown, const std::vector<ReferenceCurve>& references) {
  double top = 0;
  for (const DetailSeries& s : shown)
    if (s.details && s.details->Readable()) top = std::max(top, s.details->SampleRate() / 2.0);
  if (top <= 0)
    for (const ReferenceCurve& r : references)
      if (!r.points.empty()) top = std::max(top, r.points.back().frequency);
  return top > 20 ? top : 24000;
}

PlotView MagnitudeView(ViewSmoothing smoothing, const std::vector<DetailSeries>& shown,
                       const std::vector<ReferenceCurve>& references, const Calibration& calibration) {
  PlotView view;
  view.xAxis = PlotAxis::LogFrequency;
  view.xMin = 10;
  view.xMax = TopFrequency(shown, references);
  view.yUnit = ValueUnit::Decibel;
  const std::optional<double> sensitivity = calibration.Sensitivity();
  view.title =
      DetailTabLabel(DetailTab::Magnitude) + (sensitivity ? QStringLiteral(" (dB SPL)") : QStringLiteral(" (dB)"));
  for (const ReferenceCurve& r : references) view.curves.push_back(CurveOf(SmoothOctave(r.points, 0), r.name, r.color));
  // The result the window was opened for is drawn last, over the others.
  bool leftOut = false;
  for (size_t i = shown.size(); i-- > 0;) {
    const DetailSeries& s = shown[i];
    if (!s.details || !s.details->Readable()) continue;
    // Sound pressure needs the gain and the level the run played at.
    // Sound pressure from a response needs the level the run played at.
    const std::optional<double> played = s.details->PlayedLevelDb();
    if (sensitivity && s.details->Response() && !played) {
      leftOut = true;
      continue;
    }
    PlotCurve curve = s.details->Response() ? s.details->Response()->MagnitudeCurve(smoothing, s.name, s.color)
                                            : CurveOf(s.details->Magnitude(smoothing), s.name, s.color);
    if (calibration.Corrects()) {
      std::vector<GainPoint> gain(curve.x.size());
      for (size_t k = 0; k < curve.x.size(); ++k) gain[k] = {curve.x[k], curve.y[k]};
      gain = Corrected(std::move(gain), calibration);
      for (size_t k = 0; k < curve.x.size() && k < gain.size(); ++k) curve.y[k] = gain[k].gainDb;
    }
    if (sensitivity) {
      const double toDbfs = s.details->Response() ? *played : s.details->CaptureOffsetDb();
      for (double& y : curve.y) y = SplDb(y + toDbfs, *sensitivity);
    }
    curve.width = i == 0 ? 2 : 1;
    view.curves.push_back(std::move(curve));
  }
  FitDecibels(view);
  if (leftOut && view.curves.size() == references.size())
    view.note = QStringLiteral("再生レベルの分からない結果は dB SPL で表示できません。");
  if (!shown.empty() && shown.front().details && !shown.front().details->Readable())
    view.note = MissingResponseNote(*shown.front().details);
  return view;
}

// The phase with the files' phase (where they have one) taken off, folded
// back into (-180, 180] with a gap wherever it wraps.
void CorrectPhase(PlotCurve& curve, const Calibration& calibration) {
  const bool mic = calibration.mic && calibration.mic->hasPhase;
  const bool device = calibration.device && calibration.device->hasPhase;
  if (!mic && !device) return;
  std::vector<double> x, y;
  x.reserve(curve.x.size());
  y.reserve(curve.y.size());
  double last = NAN;
  for (size_t i = 0; i < curve.x.size() && i < curve.y.size(); ++i) {
    if (!std::isfinite(curve.y[i])) {
      // The old wraps' gaps go; a result's own gaps (nothing measured) stay.
      if (i + 1 < curve.x.size() && curve.x[i + 1] == curve.x[i]) continue;
      x.push_back(curve.x[i]), y.push_back(NAN), last = NAN;
      continue;
    }
    double v = curve.y[i];
    if (mic) v -= CorrectionPhaseAt(*calibration.mic, curve.x[i]);
    if (device) v -= CorrectionPhaseAt(*calibration.device, curve.x[i]);
    v = WrapPhaseDeg(v);
    if (std::isfinite(last) && std::abs(v - last) > 180) x.push_back(curve.x[i]), y.push_back(NAN);
    x.push_back(curve.x[i]), y.push_back(v), last = v;
  }
  curve.x = std::move(x);
  curve.y = std::move(y);
}

// A millisecond range in whole steps holding the curves (at least 2 ms).
void FitMilliseconds(PlotView& view) {
  double lo = INFINITY, hi = -INFINITY;
  for (const PlotCurve& c : view.curves)
    for (const double v : c.y)
      if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
  if (!std::isfinite(lo)) return;
  view.yMin = std::floor(lo) - 1;
  view.yMax = std::max(std::ceil(hi) + 1, view.yMin + 2);
}

// A view that only says what is missing, on the axes the tab would have.
PlotView EmptyView(DetailTab tab, const std::vector<DetailSeries>& shown) {
  PlotView view;
  view.title = DetailTabLabel(tab);
  switch (tab) {
    case DetailTab::Phase:
      view.yMin = -180, view.yMax = 180, view.yUnit = ValueUnit::Degree;
      view.title += QStringLiteral(" (°)");
      break;
    case DetailTab::GroupDelay:
      view.yMin = -1, view.yMax = 10, view.yUnit = ValueUnit::Millisecond;
      view.title += QStringLiteral(" (ms)");
      break;
    case DetailTab::Impulse:
      view.xAxis = PlotAxis::Time;
      view.xMin = -5, view.xMax = 50;
      view.yMin = -1, view.yMax = 1, view.yUnit = ValueUnit::Linear;
      break;
    case DetailTab::Distortion:
      view.yMin = -120, view.yMax = 0, view.yUnit = ValueUnit::Decibel;
      view.title += QStringLiteral(" (dB)");
      break;
    case DetailTab::Magnitude: break;
  }
  view.xMax = view.xAxis == PlotAxis::Time ? view.xMax : TopFrequency(shown, {});
  if (!shown.empty() && shown.front().details) view.note = MissingResponseNote(*shown.front().details);
  return view;
}

}  // namespace

std::vector<PlotView> BuildDetailViews(DetailTab tab, ViewSmoothing smoothing, const std::vector<DetailSeries>& shown,
                                       const std::vector<ReferenceCurve>& references, const Calibration& calibration) {
  if (tab == DetailTab::Magnitude) return {MagnitudeView(smoothing, shown, references, calibration)};
  ResponseViews* primary = !shown.empty() && shown.front().details ? shown.front().details->Response() : nullptr;
  if (!primary) return {EmptyView(tab, shown)};
  if (tab == DetailTab::Impulse) return primary->ImpulseViews(shown.front().name, shown.front().color);
  if (tab == DetailTab::Distortion) return {primary->DistortionView(smoothing)};
  // Phase and group delay: every shown result that has them, the opened one on top.
  PlotView view = EmptyView(tab, shown);
  view.note.clear();
  for (size_t i = shown.size(); i-- > 0;) {
    ResponseViews* r = shown[i].details ? shown[i].details->Response() : nullptr;
    if (!r) continue;
    PlotCurve curve = tab == DetailTab::Phase ? r->PhaseCurve(smoothing, shown[i].name, shown[i].color)
                                              : r->GroupDelayCurve(smoothing, shown[i].name, shown[i].color);
    if (tab == DetailTab::Phase) CorrectPhase(curve, calibration);
    curve.width = i == 0 ? 2 : 1;
    view.curves.push_back(std::move(curve));
  }
  if (tab == DetailTab::GroupDelay) FitMilliseconds(view);
  return {view};
}

QString DetailSummary(const ResultDetails& details) {
  if (!details.Readable()) return QStringLiteral("読み込めません");
  const QString kind = details.IsSweep() ? QStringLiteral("スウィープ") : QStringLiteral("ホワイトノイズ");
  QString delay = QStringLiteral("—"), drift = QStringLiteral("—");
  QString verdict = details.Verdict().isEmpty() ? QStringLiteral("—") : details.Verdict();
  for (const Quality q : {Quality::Good, Quality::Warning, Quality::Bad})
    if (verdict == QualityKey(q)) verdict = QualityWord(q);
  // The delay and drift the run reported, as the main window shows them.
  if (details.RunDelayMs()) delay = QString::number(*details.RunDelayMs(), 'f', 2) + QStringLiteral(" ms");
  if (details.RunDriftPpm()) drift = QString::number(*details.RunDriftPpm(), 'f', 1) + QStringLiteral(" ppm");
  QString summary = QStringLiteral("%1  %2 Hz  判定 %3  遅延 %4  ドリフト %5")
                        .arg(kind)
                        .arg(details.SampleRate())
                        .arg(verdict, delay, drift);
  if (!details.PhaseDoubt().isEmpty()) summary += QStringLiteral("  ") + details.PhaseDoubt();
  return summary;
}

}  // namespace measurement
