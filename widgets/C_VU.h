#pragma once
// A bar-graph level meter: any number of horizontal bars on one picture,
// each drawn from a level in dB along the meter scale, with a peak marker,
// an optional peak-hold marker, a value text at the right and a dB scale
// under the bars. Lengths are in the picture's twips.
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

namespace basic {
class PictureBox;
}

class C_VU {
 public:
  void SetPictureBox(basic::PictureBox* picture) { m_Picture = picture; }
  basic::PictureBox* PictureBox() const { return m_Picture; }
  // Font size in points for the value text (0), the labels (1), the scale (2).
  void SetFontSize(int type, float points);
  void SetCurrentFontSize(float points) { m_CurrentFontSize = points; }
  void SetUseBG(int32_t useBackground) { m_UseBG = useBackground; }
  void ClosePictureBox() { m_Picture = nullptr; }
  void SetNumValue(int32_t lastBar);
  int32_t NumValue() const { return m_NumValue; }
  void SetBarWidth(int32_t halfThicknessPx) { m_BarWidth = halfThicknessPx < 1 ? 1 : halfThicknessPx; }
  void SetBarWidthStep(int32_t step) { m_BarWidthStep = step < 1 ? 1 : step; }
  float BarMargin() const { return m_BarMargin; }
  void SetBarMargin(float v) { m_BarMargin = v; }
  float TopMargin() const { return m_TopMargin; }
  void SetTopMargin(float v) { m_TopMargin = v; }
  // Recomputes geometry, colours and font metrics, then clears the picture.
  void SetParms();
  // Labels "1", "2", ... or "L", "R", "L", ...
  void SetStrType(bool numbers);
  void SetStr(int32_t bar, const QString& text);
  QString Str(int32_t bar) const;
  float RedPoint() const { return m_RedPoint; }
  void SetRedPoint(float db) { m_RedPoint = db; }
  // Margins; -1 leaves one as it is.
  void SetMargin(float barXStart, float barXEnd, float labelX, float dbXneg);
  int32_t BarXStart() const;
  int32_t BarXEnd() const;
  // Draws bar pl empty (-1: every bar).
  void ResetVU(int32_t pl);
  // Draws bar index at level vu (dB) with a peak marker, a text and a
  // peak-hold marker at ph (dB; 99 for none).
  void DrawVU(int32_t index, float vu, float peak, const QString& text, float ph);
  void DrawScale();
  void DrawScaleToPB(basic::PictureBox* picture);
  // The picture height the meter needs (twips).
  int32_t PictureHeight() const;

  // Geometry, for drawing code and tests.
  float BarLength() const { return m_BarLength; }
  float RedPointX() const { return m_RedPointX; }
  // Centre line (twips) of bar index.
  int32_t BarCentre(int32_t index) const;
  // Colour set 0 red, 1 green, 2 grey; index 0 darkest (outer edge).
  uint32_t BarColor(int set, int32_t i) const;

 private:
  void SelectFont(basic::PictureBox& picture, float points);
  float Pos(float db, bool interpolate) const;  // pos(d) along the bar, twips
  void ShadedBox(double x1, double x2, int32_t b, int set);
  void DrawTick(double offset, double y, const QString& text, basic::PictureBox& picture);
  double Thickness() const;  // a: bar thickness in twips

  basic::PictureBox* m_Picture = nullptr;
  int32_t m_UseBG = 0;
  float m_RedPoint = -20.0f;
  float m_BarXStart = 0, m_BarXEnd = 0, m_LabelX = 60, m_DBXneg = 120;
  float m_BarMargin = 60, m_TopMargin = 75;
  int32_t m_NumValue = 0;
  int32_t m_BarWidth = 4, m_BarWidthStep = 1;
  float m_BarLength = 0, m_RedPointX = 0;
  std::array<std::vector<uint32_t>, 3> m_BarColors;
  std::array<float, 3> m_FontSize{8, 8, 8};
  float m_CurrentFontSize = 0;
  std::array<int32_t, 3> m_CharHeight{}, m_CharWidth{}, m_CharOffsetY{};
  std::vector<QString> m_Labels{QString()};
  std::vector<int32_t> m_LabelOffset{0};
};
