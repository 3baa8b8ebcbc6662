#include "widgets/C_VU.h"

#include <algorithm>
#include <cmath>

#include "dsp/MeterScale.h"
#include "support/Rounding.h"
#include "widgets/Drawing.h"
#include "widgets/Fonts.h"
#include "widgets/PictureBox.h"

using basic::LineKind;
using basic::TwipsPerPixel;

void C_VU::SetFontSize(int type, float points) {
  if (type >= 0 && type < 3) m_FontSize[static_cast<size_t>(type)] = points;
}

void C_VU::SetNumValue(int32_t lastBar) {
  m_NumValue = std::max(lastBar, 0);
  m_Labels.resize(static_cast<size_t>(m_NumValue) + 1);
  m_LabelOffset.resize(static_cast<size_t>(m_NumValue) + 1);
}

void C_VU::SetStrType(bool numbers) {
  for (size_t i = 0; i < m_Labels.size(); ++i)
    m_Labels[i] = numbers ? QString::number(i + 1) : (i % 2 == 0 ? QStringLiteral("L") : QStringLiteral("R"));
}

void C_VU::SetStr(int32_t bar, const QString& text) {
  if (bar >= 0 && bar < static_cast<int32_t>(m_Labels.size())) m_Labels[static_cast<size_t>(bar)] = text;
}

QString C_VU::Str(int32_t bar) const {
  return bar >= 0 && bar < static_cast<int32_t>(m_Labels.size()) ? m_Labels[static_cast<size_t>(bar)] : QString();
}

void C_VU::SetMargin(float barXStart, float barXEnd, float labelX, float dbXneg) {
  if (barXStart != -1) m_BarXStart = barXStart;
  if (barXEnd != -1) m_BarXEnd = barXEnd;
  if (labelX != -1) m_LabelX = labelX;
  if (dbXneg != -1) m_DBXneg = dbXneg;
}

int32_t C_VU::BarXStart() const { return basic::Round32(m_BarXStart); }
int32_t C_VU::BarXEnd() const { return basic::Round32(m_BarXEnd); }

double C_VU::Thickness() const { return (2.0 * m_BarWidth - 1) * TwipsPerPixel(); }

int32_t C_VU::BarCentre(int32_t index) const {
  const double a = Thickness();
  return basic::Round32((m_BarMargin + a) * index + m_TopMargin + a / 2);
}

uint32_t C_VU::BarColor(int set, int32_t i) const {
  if (set < 0 || set > 2 || i < 0 || i >= static_cast<int32_t>(m_BarColors[static_cast<size_t>(set)].size())) return 0;
  return m_BarColors[static_cast<size_t>(set)][static_cast<size_t>(i)];
}

float C_VU::Pos(float db, bool interpolate) const {
  return DbToMeterPos(db, interpolate) / static_cast<float>(MeterZeroIndex) * m_BarLength;
}

void C_VU::SelectFont(basic::PictureBox& picture, float points) {
  const int index = basic::ApplyUiFont(nullptr, -2, nullptr, points);
  if (index >= 0) picture.SetSurfaceFont(basic::UiFonts()[static_cast<size_t>(index)].Handle);
  m_CurrentFontSize = points;
}

void C_VU::SetParms() {
  if (!m_Picture) return;
  const int tpp = TwipsPerPixel();
  m_BarLength = static_cast<float>(m_Picture->ScaleWidth()) - m_BarXStart - m_BarXEnd;
  const int32_t red = basic::Round32(DbToMeterPos(m_RedPoint, false) / MeterZeroIndex * m_BarLength + m_BarXStart);
  m_RedPointX = static_cast<float>(red / tpp * tpp);
  for (auto& set : m_BarColors) set.assign(static_cast<size_t>(m_BarWidth), 0);
  for (int32_t i = 0; i < m_BarWidth; ++i) {
    const int32_t g = basic::Round32(120.0 / m_BarWidth * i + 50), l = basic::Round32(80.0 / m_BarWidth * i + 10);
    m_BarColors[0][static_cast<size_t>(i)] = basic::ClampRGB(g, l, l);
    m_BarColors[1][static_cast<size_t>(i)] = basic::ClampRGB(l, g, l);
    m_BarColors[2][static_cast<size_t>(i)] = basic::ClampRGB(g, g, g);
  }
  const QString kanji = QStringLiteral("漢");
  for (int f = 0; f < 3; ++f) {
    SelectFont(*m_Picture, m_FontSize[static_cast<size_t>(f)]);
    m_CharHeight[static_cast<size_t>(f)] = basic::Round32(m_Picture->TextHeight(kanji));
    m_CharWidth[static_cast<size_t>(f)] = basic::Round32(m_Picture->TextWidth(kanji));
    if (f < 2) m_CharOffsetY[static_cast<size_t>(f)] = basic::Round32(m_CharHeight[static_cast<size_t>(f)] / 2.0);
    if (f == 1)
      for (size_t i = 0; i < m_Labels.size(); ++i)
        m_LabelOffset[i] = basic::Round32(m_CharWidth[1] - m_Picture->TextWidth(m_Labels[i]) / 2);
  }
  m_Picture->Cls();
}

void C_VU::ShadedBox(double x1, double x2, int32_t b, int set) {
  const int tpp = TwipsPerPixel();
  for (int32_t g = m_BarWidth - 1; g >= 0; g -= m_BarWidthStep)
    m_Picture->Line(x1, b - g * tpp, x2, b + g * tpp, BarColor(set, m_BarWidth - g - 1), LineKind::FilledBox);
}

void C_VU::ResetVU(int32_t pl) {
  if (pl == -1) {
    for (int32_t i = 0; i <= m_NumValue; ++i) DrawVU(i, -99.9f, -99.9f, QString(), 99);
    return;
  }
  DrawVU(pl, -99.9f, -99.9f, QString(), 99);
}

void C_VU::DrawVU(int32_t index, float vu, float peak, const QString& text, float ph) {
  if (!m_Picture) return;
  const int tpp = TwipsPerPixel();
  const int32_t b = BarCentre(index);
  const uint32_t back = m_Picture->BackColor();
  if (m_UseBG == 0)
    m_Picture->Line(m_BarXStart + tpp, b - m_BarWidth * tpp, m_BarLength + m_BarXStart, b + m_BarWidth * tpp, back,
                    LineKind::FilledBox);
  const double v = std::max<double>(Pos(vu, true) + m_BarXStart, m_BarXStart);
  if (v > m_RedPointX) {
    // Only a level a whole pixel past the red point shows red: the red
    // point's pixel column is rounded down, a level right on it is not over.
    if (v >= m_RedPointX + tpp) ShadedBox(m_RedPointX + tpp, v, b, 0);
    ShadedBox(m_BarXStart, m_RedPointX, b, 1);
  } else {
    ShadedBox(m_BarXStart, v, b, 1);
  }
  const double p = std::max<double>(Pos(peak, true) + m_BarXStart - 3 * tpp, m_BarXStart);
  ShadedBox(p, p + 3 * tpp, b, 2);
  if (ph != 99) {
    const double h = std::max<double>(Pos(ph, true) + m_BarXStart - tpp, m_BarXStart);
    ShadedBox(h, h + tpp, b, 2);
  }
  if (m_UseBG == 0)
    m_Picture->Line(m_BarLength + m_BarXStart + tpp, b - m_CharOffsetY[0], m_Picture->ScaleWidth(),
                    b + m_CharOffsetY[0], back, LineKind::FilledBox);
  if (!text.isEmpty()) {
    if (m_CurrentFontSize != m_FontSize[0]) SelectFont(*m_Picture, m_FontSize[0]);
    m_Picture->SetCurrentX(m_Picture->ScaleWidth() - m_Picture->TextWidth(text) - m_DBXneg);
    m_Picture->SetCurrentY(b - m_CharOffsetY[0]);
    m_Picture->Print(text);
  }
}

void C_VU::DrawScale() {
  if (m_Picture) DrawScaleToPB(m_Picture);
}

void C_VU::DrawTick(double offset, double y, const QString& text, basic::PictureBox& picture) {
  const int tpp = TwipsPerPixel();
  const double x = offset + m_BarXStart;
  const double bottom = (m_Picture ? m_Picture->ScaleHeight() : picture.ScaleHeight()) - 2 * tpp;
  picture.Line(x, y, x, bottom, picture.ForeColor());
  picture.SetCurrentX(x + 2 * tpp);
  picture.SetCurrentY(y + tpp);
  picture.Print(text);
}

void C_VU::DrawScaleToPB(basic::PictureBox* picture) {
  if (!picture) return;
  const int tpp = TwipsPerPixel();
  const double a = Thickness();
  if (m_CurrentFontSize != m_FontSize[1]) SelectFont(*picture, m_FontSize[1]);
  for (int32_t i = 0; i <= m_NumValue; ++i) {
    picture->SetCurrentX(m_LabelOffset[static_cast<size_t>(i)] + m_LabelX);
    picture->SetCurrentY((m_BarMargin + a) * i + m_TopMargin + a / 2 - m_CharOffsetY[1]);
    picture->Print(m_Labels[static_cast<size_t>(i)]);
  }
  if (m_CurrentFontSize != m_FontSize[2]) SelectFont(*picture, m_FontSize[2]);
  const double y0 = (m_NumValue + 1) * a + m_TopMargin + m_NumValue * m_BarMargin + m_BarMargin + tpp;
  DrawTick(m_BarLength, y0, QStringLiteral("0db"), *picture);
  DrawTick(Pos(-6, false), y0, QStringLiteral("-6"), *picture);
  DrawTick(Pos(-12, false), y0, QStringLiteral("-12"), *picture);
  DrawTick(Pos(-20, false), y0, QStringLiteral("-20"), *picture);
  DrawTick(Pos(-30, false), y0, QString(), *picture);
  DrawTick(Pos(-40, false), y0, QStringLiteral("-40"), *picture);
  DrawTick(Pos(-60, false), y0, QString(), *picture);
  DrawTick(Pos(-99.9f, false), y0, QString(), *picture);
}

int32_t C_VU::PictureHeight() const {
  const int tpp = TwipsPerPixel();
  const double a = Thickness();
  return basic::Round32(a * (m_NumValue + 1) + m_TopMargin + m_NumValue * m_BarMargin + m_BarMargin + tpp + tpp +
                        m_FontSize[2] * tpp + 6 * tpp);
}
