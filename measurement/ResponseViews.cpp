#include "measurement/ResponseViews.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace measurement {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

PlotCurve Named(const QString& name, uint32_t color, ValueUnit unit) {
  PlotCurve c;
  c.name = name;
  c.color = color;
  c.unit = unit;
  return c;
}

// One value of each point into c, a gap where the response is at its floor.
PlotCurve PointCurve(const std::vector<ResponsePoint>& points, double ResponsePoint::*value, PlotCurve c) {
  for (const ResponsePoint& p : points) {
    c.x.push_back(p.hz);
    c.y.push_back(p.gainDb > -199 ? p.*value : kNaN);
  }
  return c;
}

}  // namespace

ResponseViews::ResponseViews(ImpulseResponse ir) : m_Ir(std::move(ir)) {}

double ResponseViews::LowHz() const { return std::max(10.0, m_Ir.sweep.f1Hz); }

double ResponseViews::HighHz() const {
  const double top = 0.95 * m_Ir.rate / 2.0;
  return m_Ir.sweep.f2Hz > 0 ? std::min(m_Ir.sweep.f2Hz, top) : top;
}

const std::vector<ResponsePoint>& ResponseViews::Points(Smoothing smoothing) {
  auto it = m_Points.find(smoothing);
  if (it == m_Points.end()) {
    const std::vector<double> hz = LogFrequencies(LowHz(), HighHz(), kResponsePointsPerOctave);
    ResponseOptions options;
    options.smoothing = smoothing;
    it = m_Points.emplace(smoothing, FrequencyResponse(m_Ir, hz, options)).first;
  }
  return it->second;
}

const std::vector<DistortionPoint>& ResponseViews::Harmonics(Smoothing smoothing) {
  auto it = m_Harmonics.find(smoothing);
  if (it == m_Harmonics.end()) {
    const double top = std::min(HighHz(), m_Ir.sweep.f2Hz / 2);
    const std::vector<double> hz = LogFrequencies(LowHz(), top, kDistortionPointsPerOctave);
    it = m_Harmonics.emplace(smoothing, Distortion(m_Ir, hz, smoothing)).first;
  }
  return it->second;
}

PlotCurve ResponseViews::MagnitudeCurve(Smoothing smoothing, const QString& name, uint32_t color) {
  return PointCurve(Points(smoothing), &ResponsePoint::gainDb, Named(name, color, ValueUnit::Decibel));
}

PlotCurve ResponseViews::PhaseCurve(Smoothing smoothing, const QString& name, uint32_t color) {
  PlotCurve c = Named(name, color, ValueUnit::Degree);
  double last = kNaN;
  for (const ResponsePoint& p : Points(smoothing)) {
    // A wrap from +180 to -180 is no line across the picture.
    if (std::isfinite(last) && std::abs(p.phaseDeg - last) > 180) {
      c.x.push_back(p.hz);
      c.y.push_back(kNaN);
    }
    c.x.push_back(p.hz);
    c.y.push_back(p.gainDb > -199 ? p.phaseDeg : kNaN);
    last = p.phaseDeg;
  }
  return c;
}

PlotCurve ResponseViews::GroupDelayCurve(Smoothing smoothing, const QString& name, uint32_t color) {
  return PointCurve(Points(smoothing), &ResponsePoint::groupDelayMs, Named(name, color, ValueUnit::Millisecond));
}

std::vector<PlotView> ResponseViews::ImpulseViews(const QString& name, uint32_t color) {
  PlotView impulse;
  impulse.xAxis = PlotAxis::Time;
  impulse.xMin = -2, impulse.xMax = 20;
  impulse.yMin = -1.1, impulse.yMax = 1.1;
  impulse.yUnit = ValueUnit::Linear;
  impulse.title = QStringLiteral("インパルス応答");
  PlotView etc;
  etc.xAxis = PlotAxis::Time;
  etc.xMin = -10;
  etc.yMin = -100, etc.yMax = 0;
  etc.yUnit = ValueUnit::Decibel;
  etc.title = QStringLiteral("エネルギー時間曲線 (dB)");
  if (m_Ir.Empty()) return {impulse, etc};
  const double msPerFrame = 1000.0 / m_Ir.rate;
  const auto frames = [&](double ms) { return static_cast<int64_t>(std::llround(ms / msPerFrame)); };

  PlotCurve wave = Named(name, color, ValueUnit::Linear);
  double peak = 0;
  for (int64_t t = frames(impulse.xMin); t <= frames(impulse.xMax); ++t)
    peak = std::max(peak, std::abs(static_cast<double>(m_Ir.At(t))));
  for (int64_t t = frames(impulse.xMin); t <= frames(impulse.xMax); ++t) {
    wave.x.push_back(t * msPerFrame);
    wave.y.push_back(peak > 0 ? m_Ir.At(t) / peak : 0.0);
  }
  impulse.curves.push_back(std::move(wave));

  const int64_t from = frames(etc.xMin), to = std::min<int64_t>(m_Ir.End(), m_Ir.rate);
  etc.xMax = std::max(10.0, to * msPerFrame);
  PlotCurve energy = Named(name, color, ValueUnit::Decibel);
  const std::vector<float> db = EnergyTime(m_Ir, from, to);
  for (size_t i = 0; i < db.size(); ++i) {
    energy.x.push_back((from + static_cast<int64_t>(i)) * msPerFrame);
    energy.y.push_back(db[i]);
  }
  etc.curves.push_back(std::move(energy));
  return {impulse, etc};
}

PlotView ResponseViews::DistortionView(Smoothing smoothing) {
  PlotView view;
  view.xAxis = PlotAxis::LogFrequency;
  view.xMin = 10;
  view.xMax = std::max(20.0, std::min(HighHz(), m_Ir.sweep.f2Hz / 2));
  view.yMin = -120, view.yMax = 0;
  view.yUnit = ValueUnit::Decibel;
  view.title = QStringLiteral("歪み (dB, 基本波に対して)");
  view.legend = true;  // which line is which harmonic, and which the noise
  std::vector<PlotCurve> harmonics;
  for (int n = kFirstReportedHarmonic; n <= kLastReportedHarmonic; ++n)
    harmonics.push_back(
        Named(QStringLiteral("H%1").arg(n), kHarmonicColors[n - kFirstReportedHarmonic], ValueUnit::Decibel));
  PlotCurve thd = Named(QStringLiteral("THD"), kThdColor, ValueUnit::PercentFromDb);
  PlotCurve floor = Named(QStringLiteral("ノイズ"), kNoiseFloorColor, ValueUnit::Decibel);
  for (const DistortionPoint& p : Harmonics(smoothing)) {
    for (size_t k = 0; k < harmonics.size() && k < p.harmonicDb.size(); ++k) {
      harmonics[k].x.push_back(p.hz);
      harmonics[k].y.push_back(p.harmonicDb[k] ? *p.harmonicDb[k] : kNaN);
    }
    thd.x.push_back(p.hz);
    thd.y.push_back(p.thdPercent > 0 ? 20 * std::log10(p.thdPercent / 100) : kNaN);
    floor.x.push_back(p.hz);
    floor.y.push_back(p.noiseFloorDb);
  }
  view.curves.push_back(std::move(floor));
  for (PlotCurve& h : harmonics) view.curves.push_back(std::move(h));
  view.curves.push_back(std::move(thd));
  return view;
}

}  // namespace measurement
