#include "controls/UC_TextPicture/UC_TextPicture.h"

#include <algorithm>
#include <cmath>

#include "support/Rounding.h"
#include "widgets/Drawing.h"
#include "widgets/Fonts.h"
#include "widgets/PictureBox.h"

using basic::PictureBox;
using basic::TwipsPerPixel;

UC_TextPicture::UC_TextPicture(QWidget* parent) : QWidget(parent), m_Pic0(new PictureBox(this)) {
  connect(m_Pic0, &PictureBox::MouseDown, this, &UC_TextPicture::OnDown);
  connect(m_Pic0, &PictureBox::MouseUp, this, &UC_TextPicture::OnUp);
  connect(m_Pic0, &PictureBox::DblClick, this, [this] {
    if (m_UseDblClick) emit DblClicked();
    else OnDown(basic::vbLeftButton, 0, 0, 0);
  });
  m_Pic0->SetAcceptFiles(true);  // files dropped on the text reach the host (OLEDragDrop)
  connect(m_Pic0, &PictureBox::FilesDropped, this,
          [this](const QStringList& paths, int button, int shift, double x, double y) {
            if (!m_Locked) emit OLEDragDrop(paths, 1, button, shift, x, y);
          });
}

void UC_TextPicture::resizeEvent(QResizeEvent*) { m_Pic0->setGeometry(rect()); }

void UC_TextPicture::SetUseClick(int32_t index, int32_t v) {
  if (index >= 0 && index < static_cast<int32_t>(m_Spaces.size())) m_Spaces[static_cast<size_t>(index)].useClick = v;
}

QString UC_TextPicture::TextMes(int32_t index) const {
  return index >= 0 && index < static_cast<int32_t>(m_Spaces.size()) ? m_Spaces[static_cast<size_t>(index)].text
                                                                     : QString();
}

void UC_TextPicture::AddStdColorSet(int32_t type) {
  static constexpr uint32_t kFont[] = {9474192, 13676720, 11579600, 11587760, 14737632, 9482464};
  static constexpr uint32_t kColor2[] = {6842472, 8939624, 6842504, 6850664, 6842472, 4749480};
  if (type >= 0 && type <= 5) AddColorSet(kFont[type], 0, kColor2[type], 0);
  m_DesignType = 1;
}

void UC_TextPicture::AddColorSet(uint32_t fontColor, uint32_t color1, uint32_t color2, uint32_t color3) {
  m_Sets.push_back({fontColor, color1, color2, color3});
  m_DesignType = 1;
}

void UC_TextPicture::AddTextSpace(float size, int16_t bold, int16_t italic, const QString& face, int32_t left,
                                  int32_t top) {
  m_Pic0->setGeometry(rect());
  TextSpace space;
  space.font = basic::ApplyUiFont(nullptr, -2, nullptr, size, bold, italic, face);
  const basic::UiFontEntry* entry = space.font >= 0 ? &basic::UiFonts()[static_cast<size_t>(space.font)] : nullptr;
  if (entry) m_Pic0->SetSurfaceFont(entry->Handle);
  const double t = m_Pic0->TextHeight(QStringLiteral("漢"));
  const int tpp = TwipsPerPixel();
  space.left = left;
  if (top == -1) {
    double y = (m_Pic0->ScaleHeight() - t) / 2;
    const QString used = face.isEmpty() ? basic::DefaultUiFace() : face;
    if (used == QStringLiteral("メイリオ")) y += tpp;
    space.top = basic::Round32(std::max(0.0, y));
  } else {
    const double factor = entry ? entry->HeightFactor : 1.0;
    space.top = basic::Round32(top - (1 - factor) * t / 2 + tpp);
  }
  m_Spaces.push_back(space);
}

void UC_TextPicture::SetColor(int32_t type, int32_t draw) {
  if (m_DesignType == 0) {
    basic::SetColorScheme(*m_Pic0, type, m_Pic0->ForeColor(), m_Pic0->BackColor());
  } else {
    if (type < 0 || type >= ColorSetCount()) return;
    m_CurrentSet = type;
  }
  if (draw) Draw(-1);
}

void UC_TextPicture::SetColorEx(uint32_t fore, uint32_t back, int32_t draw) {
  m_Pic0->SetBackColor(back);
  m_Pic0->SetForeColor(fore);
  if (draw) Draw(-1);
}

void UC_TextPicture::Init(int32_t wakuWidth, int32_t noGrad) {
  m_Pic0->setGeometry(rect());
  const int w = m_Pic0->PixelWidth(), h = m_Pic0->PixelHeight();
  if (m_DesignType == 1) {
    if (!m_Pic1) {
      m_Pic1 = new PictureBox(this);
      m_Pic1->hide();
    }
    m_Pic1->SetPixelSize(std::max(1, ColorSetCount()) * w, h);
    for (int32_t i = 0; i < ColorSetCount(); ++i) {
      const ColorSet& set = m_Sets[static_cast<size_t>(i)];
      basic::BevelFrame(*m_Pic0, set.color1, set.color2, noGrad, wakuWidth);
      m_Pic1->BitBlt(i * w, 0, w, h, *m_Pic0, 0, 0);
    }
  } else {
    m_Edge = QRect(0, 0, w, h);
  }
  Draw(-1);
}

void UC_TextPicture::DispMes(int32_t index, const QString& text, int32_t dontDraw) {
  if (index < 0 || index >= static_cast<int32_t>(m_Spaces.size())) return;
  TextSpace& space = m_Spaces[static_cast<size_t>(index)];
  if (space.text == text) return;
  space.text = text;
  if (!dontDraw) Draw(-1);
}

void UC_TextPicture::Draw(int32_t lite) {
  ++m_DrawCount;
  const int tpp = TwipsPerPixel();
  const int w = m_Pic0->PixelWidth();
  if (m_DesignType == 1 && m_Pic1 && m_CurrentSet < ColorSetCount()) {
    m_Pic0->BitBlt(0, 0, w, m_Pic0->PixelHeight(), *m_Pic1, m_CurrentSet * w, 0);
    m_Pic0->SetForeColor(m_Sets[static_cast<size_t>(m_CurrentSet)].font);
  } else {
    m_Pic0->Cls();
  }
  const uint32_t base = m_Pic0->ForeColor();
  for (int32_t i = 0; i < static_cast<int32_t>(m_Spaces.size()); ++i) {
    const TextSpace& space = m_Spaces[static_cast<size_t>(i)];
    if (space.font >= 0 && space.font < basic::UiFontCount())
      m_Pic0->SetSurfaceFont(basic::UiFonts()[static_cast<size_t>(space.font)].Handle);
    const double margin = (m_DesignType == 0 && m_IsFlat ? 2 : 4) * tpp;
    double x = space.left;
    if (space.left == -1) x = std::max(margin, (m_Pic0->ScaleWidth() - m_Pic0->TextWidth(space.text)) / 2);
    if (i == lite) {
      m_Pic0->SetForeColor((base & 0x80000000u) ? 0xFFFFFFu : basic::AdjustColor(base, 30, 30, 30, -1));
    } else if (lite != -1 && m_Pic0->ForeColor() != base) {
      m_Pic0->SetForeColor(base);
    }
    m_Pic0->SetCurrentX(x);
    m_Pic0->SetCurrentY(space.top);
    const auto limit = static_cast<int32_t>(m_Pic0->ScaleWidth() - x - margin);
    m_Pic0->Print(basic::FitTextToWidth(space.text, *m_Pic0, limit, false));
  }
  if (m_DesignType == 0 && !m_IsFlat && m_Edge.isValid())
    m_Pic0->DrawEdge(m_Edge.left(), m_Edge.top(), m_Edge.left() + m_Edge.width(), m_Edge.top() + m_Edge.height(), true);
  m_Pic0->Changed();
}

void UC_TextPicture::ResetMe() {
  // No colour set is left behind: one that was counted would be the current
  // set after the next AddColorSet, all black.
  m_Spaces.clear();
  m_Sets.clear();
  m_DesignType = 0;
  m_CurrentSet = 0;
  delete m_Pic1;
  m_Pic1 = nullptr;
}

int32_t UC_TextPicture::TextSpaceAt(double x, double y) const {
  int32_t best = 0, bestTop = 0, bestLeft = 0;
  for (int32_t i = 0; i < static_cast<int32_t>(m_Spaces.size()); ++i) {
    const TextSpace& s = m_Spaces[static_cast<size_t>(i)];
    if (!(s.left == -1 || s.left < x) || !(s.top == -1 || s.top < y)) continue;
    // Against a running best from (0, 0): a centred text space (left -1)
    // never wins by position.
    if ((s.top > bestTop && s.left >= bestLeft) || (s.top == bestTop && s.left > bestLeft)) {
      best = i;
      bestTop = s.top;
      bestLeft = s.left;
    }
  }
  return best;
}

void UC_TextPicture::OnDown(int button, int, double x, double y) {
  if (m_Locked) return;
  const int32_t i = TextSpaceAt(x, y);
  if (i < static_cast<int32_t>(m_Spaces.size()) && m_Spaces[static_cast<size_t>(i)].useClick) Draw(i);
  emit MouseUD(button, true, i);
  m_Pressed = true;
}

void UC_TextPicture::OnUp(int button, int, double x, double y) {
  if (m_Locked || !m_Pressed) return;
  const int32_t i = TextSpaceAt(x, y);
  if (i < static_cast<int32_t>(m_Spaces.size()) && m_Spaces[static_cast<size_t>(i)].useClick) Draw(-1);
  emit MouseUD(button, false, i);
  m_Pressed = false;
}
