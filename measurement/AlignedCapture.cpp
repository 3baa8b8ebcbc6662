#include "measurement/AlignedCapture.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace measurement {

namespace {

// A line whose slope is exactly one and whose offset from the first line's
// lies this close to whole frames reads whole frames: dropouts and latency
// steps lose or add whole frames, and the timing finds them to a few
// hundredths of one.
constexpr double kSnapFrames = 0.25;

}  // namespace

AlignedCapture::AlignedCapture(std::span<const StereoSample> captured, double delay, double drift,
                               std::span<const TimingSegment> segments)
    : m_Captured(captured), m_Delay(delay) {
  constexpr int64_t kAll = std::numeric_limits<int64_t>::max() / 4;
  if (segments.empty()) {
    m_Lines.push_back({-kAll, kAll, 0, delay, 1.0 + drift, 0, drift == 0});
  } else {
    for (const TimingSegment& s : segments) {
      if (s.end <= s.first || !std::isfinite(s.at) || !std::isfinite(s.slope)) continue;
      Line line{s.first, s.end, s.first, s.at, s.slope, 0, false};
      const double offset = s.at - static_cast<double>(s.first) - delay;
      if (s.slope == 1.0 && std::abs(offset - std::round(offset)) <= kSnapFrames && std::abs(offset) < 1e15) {
        line.whole = true;
        line.shift = std::llround(offset);
      }
      m_Lines.push_back(line);
    }
    if (m_Lines.empty()) m_Lines.push_back({-kAll, kAll, 0, delay, 1.0, 0, true});
    m_Lines.front().first = -kAll;
    m_Lines.back().end = kAll;
  }
  const bool between = std::any_of(m_Lines.begin(), m_Lines.end(), [](const Line& l) { return !l.whole; });
  if (between) {
    m_Left.resize(captured.size());
    for (size_t i = 0; i < captured.size(); ++i) m_Left[i] = captured[i].Left;
  }
}

const AlignedCapture::Line* AlignedCapture::LineFor(int64_t b) const {
  const auto it =
      std::upper_bound(m_Lines.begin(), m_Lines.end(), b, [](int64_t v, const Line& l) { return v < l.first; });
  if (it == m_Lines.begin()) return nullptr;
  const Line& line = *(it - 1);
  return b < line.end ? &line : nullptr;
}

bool AlignedCapture::Heard(int64_t b) const { return LineFor(b) != nullptr; }

double AlignedCapture::At(int64_t j) const {
  // The played frame whose arrival lands here, were the delay the first line's.
  const double b = static_cast<double>(j) - m_Delay;
  const Line* line = LineFor(static_cast<int64_t>(std::floor(b)));
  if (!line) return 0;
  const auto frames = static_cast<int64_t>(m_Captured.size());
  if (line->whole) {
    const int64_t i = j + line->shift;
    return i >= 0 && i < frames ? m_Captured[static_cast<size_t>(i)].Left : 0.0;
  }
  const double t = line->at + line->slope * (b - static_cast<double>(line->anchor));
  if (!(t > -64) || !(t < static_cast<double>(frames) + 64)) return 0;
  return m_Sinc.At(m_Left, t);
}

}  // namespace measurement
