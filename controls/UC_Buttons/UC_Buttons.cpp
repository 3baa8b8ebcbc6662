#include "controls/UC_Buttons/UC_Buttons.h"

#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "controls/UC_Buttons/IconSheet.h"
#include "support/Colors.h"
#include "support/Rounding.h"
#include "widgets/Drawing.h"
#include "widgets/Fonts.h"
#include "widgets/PictureBox.h"

using basic::PictureBox;
using basic::TwipsPerPixel;

UC_Buttons::UC_Buttons(QWidget* parent)
    : QWidget(parent),
      m_PictureButton(new PictureBox(this)),
      m_PictureGrad(new PictureBox(this)),
      m_PictureIcons(new PictureBox(this)) {
  m_PictureGrad->hide();
  m_PictureIcons->hide();
  DrawIconSheet(*m_PictureIcons);
  m_Buttons.resize(1);
  connect(m_PictureButton, &PictureBox::MouseDown, this, &UC_Buttons::OnMouseDown);
  connect(m_PictureButton, &PictureBox::MouseUp, this, &UC_Buttons::OnMouseUp);
  connect(m_PictureButton, &PictureBox::MouseMove, this, &UC_Buttons::OnMouseMove);
  connect(m_PictureButton, &PictureBox::DblClick, this, &UC_Buttons::OnDblClick);
  m_PictureButton->setMouseTracking(true);
}

void UC_Buttons::resizeEvent(QResizeEvent*) { m_PictureButton->setGeometry(rect()); }

void UC_Buttons::SetNumButtons(int32_t n) {
  m_NumButtons = n < 1 ? 1 : n;
  m_Buttons.assign(static_cast<size_t>(m_NumButtons), Button{});
}

void UC_Buttons::SetDesignType(int32_t type) {
  m_DesignType = type;
  if (type == 1) SetSelectedColor(0xFFFFFF);
}

void UC_Buttons::SetSelectedColor(uint32_t color) {
  m_SelectedColor = color;
  m_DarkSelectedColor = basic::AdjustColor(color, -70, -70, -70, -1);
}

int32_t UC_Buttons::ButtonLeft(int32_t index) const {
  return Valid(index) ? m_Buttons[static_cast<size_t>(index)].left : 0;
}

bool UC_Buttons::Enabled(int32_t index) const {
  const Button& b = m_Buttons[static_cast<size_t>(index)];
  return b.disabled == 0 && b.disabledTemp == 0;
}

void UC_Buttons::TintIcons() {
  // Grey icons follow the system's button colour.
  const uint32_t face = basic::SysColor(basic::COLOR_BTNFACE);
  const double fr = (face & 0xFF) / 210.0, fg = ((face >> 8) & 0xFF) / 210.0, fb = ((face >> 16) & 0xFF) / 210.0;
  QImage& img = m_PictureIcons->Image();
  for (int n = 0; n < 26; ++n) {
    if (IconKeepsColour(n)) continue;
    for (int y = 0; y < 18; ++y)
      for (int x = 18 * n; x < 18 * n + 18; ++x) {
        const QRgb c = img.pixel(x, y);
        if ((c & 0xFFFFFF) == 0) continue;
        img.setPixel(x, y,
                     qRgb(std::min(255, basic::Round32(qRed(c) * fr)), std::min(255, basic::Round32(qGreen(c) * fg)),
                          std::min(255, basic::Round32(qBlue(c) * fb))));
      }
  }
  m_IconsTinted = true;
}

void UC_Buttons::CentreContent(int32_t index) {
  Button& b = m_Buttons[static_cast<size_t>(index)];
  const int tpp = TwipsPerPixel();
  const double h = m_ButtonHeight;
  if (b.normalIcon == -1 && b.altIcon == -1) {
    const double th = m_PictureButton->TextHeight(b.caption) / tpp, tw = m_PictureButton->TextWidth(b.caption) / tpp;
    b.contentTop = basic::Round32(h / 2 - th / 2);
    b.contentLeft = basic::Round32(b.left + m_ButtonWidth / 2.0 - tw / 2);
  } else {
    b.contentTop = basic::Round32(h / 2 - 9);
    b.contentLeft = basic::Round32(b.left + m_ButtonWidth / 2.0 - 9);
  }
}

void UC_Buttons::Init() {
  const int tpp = TwipsPerPixel();
  m_PictureButton->Cls();
  m_PictureGrad->Cls();
  m_DarkSelectedColor = basic::AdjustColor(m_SelectedColor, -70, -70, -70, -1);
  const int fontIndex = basic::ApplyUiFont(nullptr, -2, nullptr, m_FontSize, m_FontBold, 0, m_FontFace);
  if (fontIndex >= 0) m_PictureButton->SetSurfaceFont(basic::UiFonts()[static_cast<size_t>(fontIndex)].Handle);
  if (!m_Initialised) {
    m_Initialised = true;
    const bool anyIcon = std::any_of(m_Buttons.begin(), m_Buttons.end(),
                                     [](const Button& b) { return b.normalIcon != -1 || b.altIcon != -1; });
    if (anyIcon && !m_IconsTinted) TintIcons();
  }
  if (m_MimiWidth == -1) m_MimiWidth = m_DesignType == 0 ? 8 : 0;
  const int widthPx = (width() * tpp) / tpp;
  m_ButtonWidth = std::max(1, (widthPx - 2 * m_MimiWidth - 2) / m_NumButtons);
  const int total = m_ButtonWidth * m_NumButtons + 2 * m_MimiWidth + 2;
  resize(total, height());
  m_ButtonHeight = (height() * tpp) / tpp;
  m_PictureButton->setGeometry(0, 0, total, height());
  m_PictureGrad->SetPixelSize(m_ButtonWidth, height());

  basic::PaintBackground(*m_PictureGrad, -2);
  m_PictureGrad->SetBackColor(m_PictureGrad->BackColor());
  m_PictureGrad->Cls();
  basic::PaintBackground(*m_PictureButton, -2);
  m_PictureButton->Cls();
  static constexpr int kStyles[] = {7, 12, 13, 14};
  if (m_DesignType >= 0 && m_DesignType <= 3) basic::PaintBackground(*m_PictureGrad, kStyles[m_DesignType]);

  if (m_MimiWidth != 0) {
    const int h = height();
    m_PictureButton->BitBlt(0, 0, m_MimiWidth, h, *m_PictureGrad, 0, 0);
    m_PictureButton->BitBlt(m_ButtonWidth * m_NumButtons + m_MimiWidth + 1, 0, m_MimiWidth, h, *m_PictureGrad, 0, 0);
    const uint32_t dark = basic::SysColor(basic::COLOR_3DDKSHADOW);
    m_PictureButton->SetForeColor(dark);
    m_PictureButton->MoveTo(m_MimiWidth, 0);
    m_PictureButton->LineTo(m_MimiWidth, h);
    m_PictureButton->MoveTo(total - 1, 0);
    m_PictureButton->LineTo(total - 1, h);
  }
  for (int32_t i = 0; i < m_NumButtons; ++i) {
    m_Buttons[static_cast<size_t>(i)].left = basic::Round32(m_MimiWidth + 1 + static_cast<double>(m_ButtonWidth) * i);
    CentreContent(i);
    DrawButton(i, 0);
  }
}

void UC_Buttons::DrawAll() {
  for (int32_t i = 0; i < m_NumButtons; ++i) DrawButton(i, 0);
}

void UC_Buttons::DrawButton(int32_t index, int32_t type) {
  if (!Valid(index) || m_ButtonWidth <= 0) return;
  const int32_t offset = type == 1 ? 1 : 0;
  const bool pressed = type == 1 || type == 2;
  const Button& b = m_Buttons[static_cast<size_t>(index)];
  const int tpp = TwipsPerPixel();
  m_PictureButton->Line(b.left * tpp, 0, (b.left + m_ButtonWidth - 1) * tpp, m_PictureButton->ScaleHeight(),
                        m_PictureButton->BackColor(), basic::LineKind::FilledBox);
  m_PictureButton->BitBlt(b.left, offset, m_ButtonWidth, m_PictureGrad->PixelHeight(), *m_PictureGrad, 0, 0);
  if (b.normalIcon == -1 && b.altIcon == -1) {
    if (!b.caption.isEmpty()) DrawCaption(index, offset, pressed);
  } else {
    DrawIcon(index, offset, pressed);
  }
  m_PictureButton->Changed();
}

void UC_Buttons::DrawCaption(int32_t index, int32_t offset, bool pressed) {
  const Button& b = m_Buttons[static_cast<size_t>(index)];
  const int tpp = TwipsPerPixel();
  const bool highlighted = b.on == 1 || pressed || index == m_SelectedButton;
  const bool disabled = !Enabled(index);
  const uint32_t light = basic::SysColor(basic::COLOR_BTNHIGHLIGHT);
  const auto print = [&](int dx, uint32_t color) {
    m_PictureButton->SetForeColor(color);
    m_PictureButton->SetCurrentX((b.contentLeft + dx) * tpp);
    m_PictureButton->SetCurrentY((b.contentTop + offset + dx) * tpp);
    m_PictureButton->Print(b.caption);
  };
  if (m_Disable3D == 0) print(1, disabled ? light : highlighted ? m_DarkSelectedColor : basic::ThemeColor(3));
  uint32_t color;
  if (disabled && m_NoGrayAtDisabled == 0) color = light;
  else if (highlighted) color = m_SelectedColor;
  else if (m_Disable3D == 1) color = basic::ThemeColor(3);
  else color = light;
  print(0, color);
}

void UC_Buttons::DrawIcon(int32_t index, int32_t offset, bool pressed) {
  const Button& b = m_Buttons[static_cast<size_t>(index)];
  const int32_t icon = b.toggle == 1 && pressed ? b.altIcon : b.normalIcon;
  if (icon < 0 || icon > 25) return;
  m_PictureButton->BitBlt(b.contentLeft, b.contentTop + offset, 18, 18, *m_PictureIcons, 18 * icon, 18,
                          basic::BlitOp::And);
  m_PictureButton->BitBlt(b.contentLeft, b.contentTop + offset, 18, 18, *m_PictureIcons, 18 * icon, 0,
                          basic::BlitOp::Xor);
  m_PictureButton->Refresh();
}

int32_t UC_Buttons::GetButtonDisable(int32_t index, bool temporary) const {
  if (!Valid(index)) return 0;
  const Button& b = m_Buttons[static_cast<size_t>(index)];
  return temporary ? b.disabledTemp : b.disabled;
}

void UC_Buttons::SetButtonDisable(int32_t index, int32_t value, bool draw, bool temporary) {
  if (!Valid(index)) return;
  Button& b = m_Buttons[static_cast<size_t>(index)];
  (temporary ? b.disabledTemp : b.disabled) = value;
  if (draw) DrawButton(index, 0);
}

void UC_Buttons::SetButtonDisableAll(int32_t value, bool temporary) {
  for (int32_t i = 0; i < m_NumButtons; ++i) {
    Button& b = m_Buttons[static_cast<size_t>(i)];
    (temporary ? b.disabledTemp : b.disabled) = value;
    if (b.toggle == 0) DrawButton(i, 0);
  }
}

void UC_Buttons::SetButtonState(int32_t index, int32_t mode) {
  if (Valid(index)) DrawButton(index, mode);
}

void UC_Buttons::SetToolTip(const QString& text) { m_PictureButton->setToolTip(text); }

void UC_Buttons::SetPicIndexa(int32_t index, int32_t icon) {
  if (!Valid(index)) return;
  Button& b = m_Buttons[static_cast<size_t>(index)];
  b.altIcon = icon;
  b.toggle = 1;
  b.caption.clear();
}

void UC_Buttons::SetPicIndexn(int32_t index, int32_t icon) {
  if (!Valid(index)) return;
  Button& b = m_Buttons[static_cast<size_t>(index)];
  b.normalIcon = icon;
  b.caption.clear();
}

void UC_Buttons::Preset(int32_t count, std::initializer_list<int32_t> normal, std::initializer_list<int32_t> alternate,
                        int32_t toggle) {
  SetNumButtons(count);
  int32_t i = 0;
  for (int32_t icon : normal) m_Buttons[static_cast<size_t>(i++)].normalIcon = icon;
  i = 0;
  for (int32_t icon : alternate) {
    Button& b = m_Buttons[static_cast<size_t>(i++)];
    b.altIcon = icon;
    b.toggle = toggle;
  }
}

void UC_Buttons::SetButtonsMCI() { Preset(3, {1, 2, 3}, {9, 10, 11}, 1); }
void UC_Buttons::SetButtonsPCXplay() { Preset(5, {15, 16, 1, 3, 17}, {18, 19, 9, 11, 20}, 1); }
void UC_Buttons::SetButtonsEditorCtrl() { Preset(4, {4, 5, 6, 7}, {4, 5, 6, 7}, 0); }
void UC_Buttons::SetButtonsEditorPlay() { Preset(4, {0, 1, 2, 3}, {8, 9, 10, 11}, 1); }

void UC_Buttons::SetOKCancel(bool okFirst, bool keepSize, int32_t designType) {
  SetNumButtons(2);
  SetButtonChar(okFirst ? 0 : 1, QStringLiteral("OK"));
  SetButtonChar(okFirst ? 1 : 0, QStringLiteral("キャンセル"));
  SetDesignType(designType);
  if (!keepSize) resize(basic::TwipsToPixels(2400), basic::TwipsToPixels(330));
  Init();
}

void UC_Buttons::SetSelectedButton(int16_t index) {
  const int16_t previous = m_SelectedButton;
  m_SelectedButton = index;
  if (previous != -1) DrawButton(previous, 0);
  if (index != -1) DrawButton(index, 0);
}

void UC_Buttons::SetButtonChar(int32_t index, const QString& text) {
  if (!Valid(index)) return;
  Button& b = m_Buttons[static_cast<size_t>(index)];
  b.caption = text;
  b.normalIcon = -1;
  b.altIcon = -1;
  if (m_ButtonWidth > 0) CentreContent(index);
}

QString UC_Buttons::GetButtonChar(int32_t index) const {
  return Valid(index) ? m_Buttons[static_cast<size_t>(index)].caption : QString();
}

void UC_Buttons::SetButtonOn(int32_t index, int32_t value, bool draw) {
  if (!Valid(index)) return;
  m_Buttons[static_cast<size_t>(index)].on = value;
  if (draw) DrawButton(index, 0);
}

int32_t UC_Buttons::GetButtonOn(int32_t index) const {
  return Valid(index) ? m_Buttons[static_cast<size_t>(index)].on : 0;
}

void UC_Buttons::SetButtonCharNum() {
  for (int32_t i = 0; i < m_NumButtons; ++i) SetButtonChar(i, QString::number(i + 1));
}

int32_t UC_Buttons::HitTest(double xTwips) const {
  if (m_ButtonWidth <= 0) return -1;
  const int32_t p = static_cast<int32_t>(xTwips) / TwipsPerPixel();
  const int32_t first = m_Buttons.front().left, end = m_Buttons.back().left + m_ButtonWidth;
  if (p < first || p > end) return -1;
  for (int32_t i = 0; i < m_NumButtons; ++i)
    if (p < m_Buttons[static_cast<size_t>(i)].left + m_ButtonWidth) return i;
  return -1;
}

void UC_Buttons::OnMouseDown(int button, int, double x, double) {
  m_PressX = x;
  m_PressedIndex = static_cast<int16_t>(HitTest(x));
  if (m_PressedIndex >= 0 && Enabled(m_PressedIndex) && (button & basic::vbLeftButton)) {
    DrawButton(m_PressedIndex, 1);
    emit ButtonDown(m_PressedIndex);
  }
}

void UC_Buttons::OnMouseUp(int button, int shift, double x, double y) {
  const int16_t index = m_PressedIndex;
  if (index < 0 || !Valid(index) || !Enabled(index)) return;
  const int tpp = TwipsPerPixel();
  const int32_t p = static_cast<int32_t>(x) / tpp, py = static_cast<int32_t>(y) / tpp;
  const int32_t left = m_Buttons[static_cast<size_t>(index)].left;
  const bool inside = p >= left && p <= left + m_ButtonWidth && py >= 0 && py <= height();
  if (inside) {
    if (button == basic::vbLeftButton) {
      DrawButton(index, 0);
      if (shift != 0) emit ShiftClicked(index, shift);
      else emit ButtonClicked(index);
    } else if (button == basic::vbRightButton) {
      emit RightClicked(index);
    }
  }
  m_PressedIndex = -1;
}

void UC_Buttons::OnMouseMove(int, int, double x, double) {
  const int32_t index = HitTest(x);
  if (index != m_HoverIndex) {
    m_HoverIndex = static_cast<int16_t>(index);
    emit Hover(index);
  }
}

void UC_Buttons::OnDblClick() { OnMouseDown(basic::vbLeftButton, 0, m_PressX, 0); }
