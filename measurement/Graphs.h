#pragma once
// What the window draws besides the meter: the spectrum picture (dB grid and
// response curves), the frequency axis under it, the waveform of the newest
// stretch, and the texts of the frequency read-out and the meter. Everything
// is drawn from plain data onto a picture.
#include <QRect>
#include <QString>
#include <cstdint>
#include <span>
#include <vector>

#include "audio/StereoSample.h"
#include "measurement/Analysis.h"
#include "measurement/Result.h"

namespace basic {
class Surface;
}

namespace measurement {

inline constexpr uint32_t kGridColor = 0x505050;
inline constexpr uint32_t kZeroLineColor = 0x303080;  // dark red

// Clears the picture and draws the nine dB lines with their labels; the "0"
// line comes last, in dark red. A label sits beside its line, always whole
// inside the picture and clear of `keepClear` (pixels), where a control such
// as the frequency read-out stands on the picture.
void DrawSpectrumGrid(basic::Surface& picture, float offsetDb, const QRect& keepClear = {});
// For pictures saved as files: lines and labels every 6 dB below "-6" (-12,
// -18, ...) while each label has a line of text to itself.
void DrawLowGridLines(basic::Surface& picture, float offsetDb);

// The running mean of a noise run, one point per pixel column.
void DrawNoiseCurve(basic::Surface& picture, const NoiseSpectrum& spectrum, int32_t sampleRate, float offsetDb,
                    uint32_t color);

// A sweep envelope over its frequency table. While running only every
// (rate / 100)-th point is used. Zero levels are no measurement: they are
// left out of the columns' means, and the curve runs on past them.
void DrawSweepCurve(basic::Surface& picture, std::span<const int16_t> level, std::span<const float> freq, int32_t count,
                    int32_t sampleRate, bool running, float offsetDb, uint32_t color);

// The curve of a result: its noise spectrum or its sweep envelope (a result
// of another mode draws nothing). running: a run is still filling it.
void DrawResultCurve(basic::Surface& picture, const Result& result, bool running, float offsetDb, uint32_t color);

struct ScaleLabel {
  double x;  // twips
  QString text;
};
// The 24 labels "|10" ... "|400k" of a frequency axis widthPx pixels wide,
// placed in twips at tpp twips per pixel.
std::vector<ScaleLabel> FreqScaleLabels(int32_t sampleRate, int32_t widthPx, int32_t tpp);
void DrawFreqScaleOn(basic::Surface& picture, int32_t sampleRate);

// The peak envelopes of frames first .. last of the played (upper trace)
// and captured (lower trace) signals across the picture's width.
void DrawWaveOn(basic::Surface& picture, std::span<const WaveMMIO::StereoSample> play,
                std::span<const WaveMMIO::StereoSample> capture, int32_t first, int32_t last);

// "1.5kHz" above 1000 Hz, else "523Hz".
QString FrequencyReadout(float frequency);

// The level offset that puts the 0 dB line at referenceY (twips) on a
// picture scaleHeight twips high.
float OffsetForReference(double referenceY, double scaleHeight);

// Peak and RMS of the left channel of both signals over first .. last.
struct StretchLevels {
  int32_t peak[2] = {0, 0};
  double rms[2] = {0, 0};
};
StretchLevels MeasureStretch(std::span<const WaveMMIO::StereoSample> play,
                             std::span<const WaveMMIO::StereoSample> capture, int32_t first, int32_t last);
// The meter's value text: the level formatted "0.0".
QString MeterText(float db);

}  // namespace measurement
