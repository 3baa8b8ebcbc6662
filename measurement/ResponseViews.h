#pragma once
// What the details window shows of a result that carries its impulse
// response: the frequency response (gain re the played signal), excess
// phase and group delay read every 1/48 octave across the sweep, the impulse
// and its energy-time curve, and the harmonic distortion against the run's
// noise floor. Each reading is made on first use and kept per smoothing.
#include <QString>
#include <cstdint>
#include <map>
#include <vector>

#include "measurement/PlotView.h"
#include "measurement/Responses.h"

namespace measurement {

// Points per octave of the frequency views and of the distortion view.
inline constexpr int kResponsePointsPerOctave = 48;
inline constexpr int kDistortionPointsPerOctave = 12;

// The colours of the distortion view's curves: H2 .. H5, THD, noise floor.
inline constexpr uint32_t kHarmonicColors[4] = {0x3030D0, 0xD07020, 0x20A020, 0x0090E0};
inline constexpr uint32_t kThdColor = 0x000000;
inline constexpr uint32_t kNoiseFloorColor = 0x909090;

class ResponseViews {
 public:
  explicit ResponseViews(ImpulseResponse ir);

  const ImpulseResponse& Response() const { return m_Ir; }
  // The frequencies read: the sweep's band, below 0.95 of half the rate.
  double LowHz() const;
  double HighHz() const;

  const std::vector<ResponsePoint>& Points(Smoothing smoothing);
  const std::vector<DistortionPoint>& Harmonics(Smoothing smoothing);

  PlotCurve MagnitudeCurve(Smoothing smoothing, const QString& name, uint32_t color);
  PlotCurve PhaseCurve(Smoothing smoothing, const QString& name, uint32_t color);
  PlotCurve GroupDelayCurve(Smoothing smoothing, const QString& name, uint32_t color);
  // Two panes: the impulse (its peak scaled to 1) from 2 ms before the
  // arrival to 20 ms after, and the energy-time curve (dB re its peak) from
  // 10 ms before to as far as the response is kept, up to 1 s.
  std::vector<PlotView> ImpulseViews(const QString& name, uint32_t color);
  // H2 .. H5 and THD (dB re the fundamental) and the noise floor against the
  // fundamental's frequency, up to half the sweep's end.
  PlotView DistortionView(Smoothing smoothing);

 private:
  ImpulseResponse m_Ir;
  std::map<Smoothing, std::vector<ResponsePoint>> m_Points;
  std::map<Smoothing, std::vector<DistortionPoint>> m_Harmonics;
};

}  // namespace measurement
