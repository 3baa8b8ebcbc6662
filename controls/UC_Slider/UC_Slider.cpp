#include "controls/UC_Slider/UC_Slider.h"

#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>

#include "support/Colors.h"
#include "support/Rounding.h"
#include "widgets/Drawing.h"
#include "widgets/PictureBox.h"

using basic::PictureBox;
using basic::TwipsPerPixel;

namespace {

// Four small triangles side by side (pressed low, pressed high, normal low,
// normal high), image rows from 0 and mask rows from the mask row.
void DrawArrowIcons(PictureBox& src, bool vertical) {
  const int w = vertical ? 10 : 6, h = vertical ? 6 : 10;
  src.SetPixelSize(4 * w, 2 * h);
  QImage& img = src.Image();
  img.fill(Qt::black);
  QPainter p(&img);
  p.fillRect(0, h, 4 * w, h, Qt::white);
  for (int k = 0; k < 4; ++k) {
    const bool high = k % 2 == 1;
    const bool pressed = k < 2;
    QPolygon tri;
    if (!vertical)
      tri = high ? QPolygon({QPoint(1, 0), QPoint(5, 4), QPoint(5, 5), QPoint(1, 9)})
                 : QPolygon({QPoint(4, 0), QPoint(0, 4), QPoint(0, 5), QPoint(4, 9)});
    else
      tri = high ? QPolygon({QPoint(0, 1), QPoint(4, 5), QPoint(5, 5), QPoint(9, 1)})
                 : QPolygon({QPoint(0, 4), QPoint(4, 0), QPoint(5, 0), QPoint(9, 4)});
    tri.translate(k * w, 0);
    p.setPen(Qt::NoPen);
    p.setBrush(pressed ? QColor(0x20, 0x20, 0x70) : QColor(0x40, 0x40, 0x40));
    p.drawPolygon(tri);
    tri.translate(0, h);
    p.setBrush(Qt::black);
    p.drawPolygon(tri);
  }
  src.Changed();
}

}  // namespace

UC_Slider::UC_Slider(QWidget* parent)
    : QWidget(parent),
      m_PictureSlider(new PictureBox(this)),
      m_PictureGrad(new PictureBox(this)),
      m_TimerCheck(new QTimer(this)) {
  m_PictureGrad->hide();
  for (int i = 0; i < 2; ++i) {
    m_PictureArrow[static_cast<size_t>(i)] = new PictureBox(this);
    m_PictureSrc[static_cast<size_t>(i)] = new PictureBox(this);
    m_PictureSrc[static_cast<size_t>(i)]->hide();
    DrawArrowIcons(*m_PictureSrc[static_cast<size_t>(i)], i == 1);
    connect(m_PictureArrow[static_cast<size_t>(i)], &PictureBox::MouseDown, this,
            [this, i](int button, int, double, double) { OnArrowDown(i, button); });
    connect(m_PictureArrow[static_cast<size_t>(i)], &PictureBox::MouseUp, this,
            [this, i](int button, int, double, double) { OnArrowUp(i, button); });
    connect(m_PictureArrow[static_cast<size_t>(i)], &PictureBox::DblClick, this,
            [this, i] { OnArrowDown(i, basic::vbLeftButton); });
  }
  m_TimerCheck->setInterval(200);
  connect(m_TimerCheck, &QTimer::timeout, this, &UC_Slider::TimerCheck_Timer);
  connect(m_PictureSlider, &PictureBox::MouseDown, this, &UC_Slider::OnTrackDown);
  connect(m_PictureSlider, &PictureBox::MouseMove, this, &UC_Slider::OnTrackMove);
  connect(m_PictureSlider, &PictureBox::MouseUp, this, &UC_Slider::OnTrackUp);
  connect(m_PictureSlider, &PictureBox::DblClick, this, &UC_Slider::OnTrackDblClick);
}

void UC_Slider::SetNoArrow(int32_t v) {
  m_NoArrow = v;
  m_Disabletrim = -1;
}

void UC_Slider::SetPointerSizeTwips(int32_t twips) {
  m_PointerSize = twips;
  m_Travel = basic::Round32(m_TrackLength - m_PointerSize);
}

void UC_Slider::SetMax(int32_t v) {
  m_Max = v;
  m_Range = m_Max - m_Min;
}

void UC_Slider::SetMin(int32_t v) {
  m_Min = v;
  m_Range = m_Max - m_Min;
}

void UC_Slider::PaintShaded(PictureBox& picture) {
  if (m_NoGrad) basic::PaintBackground(picture, 1);
  else basic::PaintBackground(picture, m_IsVertical ? 6 : 5, m_Shades[0], m_Shades[1], m_Shades[2]);
}

void UC_Slider::Init() {
  const int tpp = TwipsPerPixel();
  const bool v = m_IsVertical != 0;
  m_IconW = v ? 10 : 6;
  m_IconH = v ? 6 : 10;
  m_MaskRow = v ? 6 : 10;
  // Along and across the slider, in pixels.
  const int along = v ? height() : width(), across = v ? width() : height();
  const int arrow = v ? m_IconH + 6 : m_IconW + 6;  // arrow picture length along the slider
  const auto place = [&](QWidget* w, int a, int b, int lenAlong, int lenAcross) {
    if (v) w->setGeometry(b, a, lenAcross, lenAlong);
    else w->setGeometry(a, b, lenAlong, lenAcross);
  };
  int sliderStart = 0, sliderLength = along;
  if (m_NoArrow) {
    for (auto* a : m_PictureArrow) a->hide();
  } else {
    sliderLength = std::max((15 + tpp - 1) / tpp, along - 2 * arrow - 1);
    sliderStart = arrow + 1;
    place(m_PictureArrow[0], 0, 0, arrow, across);
    place(m_PictureArrow[1], sliderStart + sliderLength, 0, arrow, across);
    for (auto* a : m_PictureArrow) a->show();
  }
  place(m_PictureSlider, sliderStart, 0, sliderLength, across);
  m_TrackLength = std::max(15.0, static_cast<double>(sliderLength - 4) * tpp);
  m_TrackThickness = std::max(15.0, static_cast<double>(across - 4) * tpp);
  for (int i = 0; i < 2; ++i) {
    const PictureBox* a = m_PictureArrow[static_cast<size_t>(i)];
    m_IconPos[static_cast<size_t>(i)] = QPoint(a->PixelWidth() / 2 - m_IconW / 2, a->PixelHeight() / 2 - m_IconH / 2);
  }
  m_Shades[0] = basic::AdjustColor(basic::SysColor(basic::COLOR_BTNSHADOW), 0, 0, 0, 1.2f);
  m_Shades[1] = basic::AdjustColor(basic::SysColor(basic::COLOR_BTNFACE), 0, 0, 0, 1.1f);
  m_Shades[2] = basic::AdjustColor(basic::SysColor(basic::COLOR_BTNSHADOW), 0, 0, 0, 0.9f);
  const uint32_t dark = basic::SysColor(basic::COLOR_3DDKSHADOW);
  for (auto* a : m_PictureArrow) {
    PaintShaded(*a);
    const double w = a->ScaleWidth(), h = a->ScaleHeight();
    a->Line(0, h - tpp, w, h - tpp, dark, basic::LineKind::FilledBox);
    a->Line(w - tpp, 0, w - tpp, h, dark, basic::LineKind::FilledBox);
  }
  m_PictureSlider->SetBackColor(basic::SysColor(basic::COLOR_BTNFACE));
  m_PictureSlider->Cls();
  if (m_Disabletrim == 0) {
    DrawArrow(0, false);
    DrawArrow(1, false);
  }
  Init2();
}

void UC_Slider::Init2() {
  const int tpp = TwipsPerPixel();
  const double along = m_IsVertical ? m_PictureSlider->ScaleHeight() : m_PictureSlider->ScaleWidth();
  m_TrackLength = std::max(15.0, along - 4.0 * tpp);
  m_Travel = basic::Round32(m_TrackLength - m_PointerSize);
  const int pointerPx = std::max(1, m_PointerSize / tpp);
  const int thickPx = std::max(1, basic::Round32(m_TrackThickness) / tpp);
  if (m_IsVertical) m_PictureGrad->SetPixelSize(thickPx, pointerPx);
  else m_PictureGrad->SetPixelSize(pointerPx, thickPx);
  m_PictureGrad->Cls();
  PaintShaded(*m_PictureGrad);
  const uint32_t shadow = basic::SysColor(basic::COLOR_BTNSHADOW), dark = basic::SysColor(basic::COLOR_3DDKSHADOW);
  const auto across = [&](int offsetPx, uint32_t color) {
    m_PictureGrad->SetForeColor(color);
    if (m_IsVertical) {
      m_PictureGrad->MoveTo(0, offsetPx);
      m_PictureGrad->LineTo(thickPx, offsetPx);
    } else {
      m_PictureGrad->MoveTo(offsetPx, 0);
      m_PictureGrad->LineTo(offsetPx, thickPx);
    }
  };
  if (m_CenterLined == -1) {
    across(m_PointerSize / (2 * tpp) - 1, shadow);
  } else if (!m_NoGrad) {
    across(4, shadow);
    across(m_PointerSize / tpp - 6, shadow);
  }
  if (!m_NoGrad) {
    m_PictureGrad->SetForeColor(dark);
    m_PictureGrad->MoveTo(pointerPx - 1, 0);
    m_PictureGrad->LineTo(pointerPx - 1, m_IsVertical ? pointerPx : thickPx);
  }
}

void UC_Slider::SetPointerSize(float fraction) {
  if (fraction >= 1) fraction = 0.95f;
  const int tpp = TwipsPerPixel();
  m_PointerSize = std::max(basic::Round32(m_TrackLength * fraction), 8 * tpp);
  Init2();
}

void UC_Slider::DrawPointerAt(double position) {
  const int tpp = TwipsPerPixel();
  m_PictureSlider->Cls();
  const int p = static_cast<int>(position) / tpp;
  if (m_IsVertical)
    m_PictureSlider->BitBlt(0, p, m_PictureGrad->PixelWidth(), m_PictureGrad->PixelHeight(), *m_PictureGrad, 0, 0);
  else m_PictureSlider->BitBlt(p, 0, m_PictureGrad->PixelWidth(), m_PictureGrad->PixelHeight(), *m_PictureGrad, 0, 0);
  m_PictureSlider->Refresh();
  m_PointerPos = position;
}

void UC_Slider::SetValue(int32_t v) {
  if (m_Range == 0) return;
  m_Value = std::clamp(v, std::min(m_Min, m_Max), std::max(m_Min, m_Max));
  DrawPointerAt(basic::Round32(static_cast<double>(m_Travel) / m_Range * (m_Value - m_Min)));
}

void UC_Slider::Draw(int32_t position) {
  if (m_Range == 0 || m_Travel == 0) return;
  double p = position;
  m_Value = basic::Round32(static_cast<double>(m_Range) / m_Travel * p + m_Min);
  if (m_Value > m_Max) {
    m_Value = m_Max;
    p = m_TrackLength - m_PointerSize;
  } else if (m_Value < m_Min) {
    m_Value = m_Min;
    p = 0;
  }
  DrawPointerAt(p);
}

void UC_Slider::DrawArrow(int i, bool pressed) {
  PictureBox* a = m_PictureArrow[static_cast<size_t>(i)];
  PictureBox* src = m_PictureSrc[m_IsVertical ? 1 : 0];
  const int sx = (pressed ? i : 2 + i) * m_IconW;
  const QPoint at = m_IconPos[static_cast<size_t>(i)];
  a->BitBlt(at.x(), at.y(), m_IconW, m_IconH, *src, sx, m_MaskRow, basic::BlitOp::And);
  a->BitBlt(at.x(), at.y(), m_IconW, m_IconH, *src, sx, 0, basic::BlitOp::Xor);
  a->Refresh();
}

void UC_Slider::OnTrackDown(int button, int, double x, double y) {
  if (m_RefuseInput == -1) return;
  const double c = Along(x, y);
  if (button == basic::vbLeftButton) {
    if (m_PointerPos < c) m_GrabOffset = c < m_PointerPos + m_PointerSize ? c - m_PointerPos : m_PointerSize / 2.0;
    else m_GrabOffset = m_PointerSize / 2.0;
    Draw(basic::Round32(c - m_GrabOffset));
  }
  m_Clicked = -1;
  emit MouseUD(true, button);
  if (button == basic::vbLeftButton) emit Scrolled(1);
}

void UC_Slider::OnTrackMove(int button, int, double x, double y) {
  if (m_RefuseInput == -1 || !(button & basic::vbLeftButton)) return;
  const double c = Along(x, y);
  if (c == m_LastMove) return;
  m_LastMove = c;
  basic::DoEvents();
  Draw(basic::Round32(c - m_GrabOffset));
  emit Scrolled(button);
}

void UC_Slider::OnTrackUp(int button, int, double, double) {
  if (m_RefuseInput == -1) return;
  m_Clicked = 0;
  emit MouseUD(false, button);
  if (button == basic::vbLeftButton) emit Scrolled(1);
}

void UC_Slider::OnTrackDblClick() {
  if (m_RefuseInput == -1) return;
  emit DblClicked();
  emit Scrolled(1);
}

void UC_Slider::OnArrowDown(int i, int button) {
  if (m_RefuseInput == -1 || m_Disabletrim == -1 || button != basic::vbLeftButton) return;
  m_ArrowHeld[static_cast<size_t>(i)] = 1;
  DrawArrow(i, true);
  TimerCheck_Timer();
  m_TimerCheck->start();
  m_Clicked = -1;
}

void UC_Slider::OnArrowUp(int i, int button) {
  if (m_RefuseInput == -1 || m_Disabletrim == -1) return;
  if (button == basic::vbLeftButton) {
    m_ArrowHeld[static_cast<size_t>(i)] = 0;
    DrawArrow(i, false);
    m_TimerCheck->stop();
    m_Clicked = 0;
  }
  emit MouseUD(false, button);
}

void UC_Slider::TimerCheck_Timer() {
  if (m_ArrowHeld[0]) SetValue(m_Value - m_SmallChange);
  else if (m_ArrowHeld[1]) SetValue(m_Value + m_SmallChange);
  else return;
  emit Scrolled(1);
}
