#include "controls/UC_Check/UC_Check.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "support/Colors.h"
#include "widgets/Drawing.h"
#include "widgets/Fonts.h"
#include "widgets/PictureBox.h"

using basic::PictureBox;
using basic::TwipsPerPixel;

UC_Check::UC_Check(QWidget* parent) : QWidget(parent), m_Surface(new PictureBox(this)) {
  connect(m_Surface, &PictureBox::MouseUp, this, &UC_Check::OnUp);
}

UC_Check::~UC_Check() = default;

int32_t UC_Check::BoxSide() const { return static_cast<int32_t>(m_SizeRate * 240); }

void UC_Check::SetEnabled(int16_t enabled) {
  m_Enabled = enabled;
  Draw();
}

void UC_Check::SetCaption(const QString& caption) {
  m_Caption = caption;
  Layout();
  Draw();
}

void UC_Check::SetValue(int32_t value) {
  m_Value = value;
  Draw();
}

void UC_Check::SetBGPic(double x, double y, PictureBox* picture) {
  m_BgX = x;
  m_BgY = y;
  m_BgPicture = picture;
}

void UC_Check::Layout() {
  const int tpp = TwipsPerPixel();
  const int index = basic::ApplyUiFont(nullptr, -2, nullptr, m_FontSize);
  if (index >= 0) m_Surface->SetSurfaceFont(basic::UiFonts()[static_cast<size_t>(index)].Handle);
  m_Surface->SetBackColor(basic::SysColor(basic::COLOR_BTNFACE));
  const int side = BoxSide();
  EnsureBox();
  const double cw = m_Caption.isEmpty() ? 0 : m_Surface->TextWidth(m_Caption);
  const double ch = m_Caption.isEmpty() ? 0 : m_Surface->TextHeight(m_Caption);
  const int wTw = m_Caption.isEmpty() ? side : static_cast<int>(side + 4 * tpp + cw);
  const int hTw = static_cast<int>(std::max<double>(side, ch));
  resize(basic::TwipsToPixels(wTw), basic::TwipsToPixels(hTw));
  m_Surface->setGeometry(rect());
  m_BoxTop = (hTw - side) / 2 / tpp;
  m_CaptionTop = (hTw - ch) / 2;
  m_LaidOut = true;
}

void UC_Check::EnsureBox() {
  if (m_Box) return;
  // The box: a small gradient square with a sunken edge.
  const int sidePx = std::max(1, BoxSide() / TwipsPerPixel());
  m_Box = std::make_shared<PictureBox>();
  m_Box->SetPixelSize(sidePx, sidePx);
  basic::PaintBackground(*m_Box, 5, 0xFFFFFF, 0xF0F0F0, 0xD8D8D8);
  m_Box->DrawEdge(0, 0, sidePx, sidePx, true);
}

void UC_Check::Draw() {
  if (!m_LaidOut) Layout();
  EnsureBox();  // a host may have taken the shared box away (SetGradhdc(nullptr))
  const int tpp = TwipsPerPixel();
  const uint32_t textColor = basic::SysColor(m_Enabled ? basic::COLOR_BTNTEXT : basic::COLOR_BTNSHADOW);
  if (m_BgPicture)
    m_Surface->BitBlt(0, 0, m_Surface->PixelWidth(), m_Surface->PixelHeight(), *m_BgPicture,
                      static_cast<int>(m_BgX) / tpp, static_cast<int>(m_BgY) / tpp);
  else m_Surface->Cls();
  m_Surface->SetForeColor(textColor);
  m_Surface->SetCurrentX(BoxSide() + 4 * tpp);
  m_Surface->SetCurrentY(m_CaptionTop);
  if (!m_Caption.isEmpty()) m_Surface->Print(m_Caption);
  m_Surface->BitBlt(0, m_BoxTop, m_Box->PixelWidth(), m_Box->PixelHeight(), *m_Box, 0, 0);
  if (m_Value == 1) {
    const double top = m_BoxTop * tpp;
    m_Surface->SetForeColor(0x000000);
    m_Surface->SetDrawWidth(2);
    if (m_IsOption) {
      const double r = 60.0 / tpp, cx = 105.0 * m_SizeRate / tpp, cy = (top + 105.0 * m_SizeRate) / tpp;
      QPainter p(&m_Surface->Image());
      p.setRenderHint(QPainter::Antialiasing, true);
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::black);
      p.drawEllipse(QPointF(cx, cy), r, r);
    } else {
      static constexpr double kTick[][2] = {{45, 105}, {105, 165}, {180, 45}, {90, 135}, {45, 105}};
      for (int i = 0; i + 1 < 5; ++i)
        m_Surface->Line(kTick[i][0] * m_SizeRate, top + kTick[i][1] * m_SizeRate, kTick[i + 1][0] * m_SizeRate,
                        top + kTick[i + 1][1] * m_SizeRate, 0x000000);
    }
    m_Surface->SetDrawWidth(1);
  }
  m_Surface->Changed();
}

void UC_Check::OnUp(int, int, double x, double y) {
  // A click is a release over the control; a press that is dragged away and
  // released elsewhere changes nothing.
  if (!m_Enabled || x < 0 || y < 0 || x >= m_Surface->ScaleWidth() || y >= m_Surface->ScaleHeight()) return;
  if (m_IsOption) m_Value = 1;
  else m_Value = m_Value == 1 ? 0 : 1;
  Draw();
  emit Click();
}
