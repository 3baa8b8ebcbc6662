// Surfaces, the header strip, the rows, and the two scroll bars.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "controls/UC_ListView/UC_ListView.h"
#include "controls/UC_Slider/UC_Slider.h"
#include "support/Colors.h"
#include "support/Rounding.h"
#include "widgets/Drawing.h"
#include "widgets/Fonts.h"
#include "widgets/PictureBox.h"

using basic::PictureBox;
using basic::TwipsPerPixel;

namespace {

constexpr int kHeaderTwips = 270;
// How often a resting drag is reported again (the page zones step at 0.02 s
// at the most, the row zones at 0.2 s).
constexpr int kDragRepeatMs = 20;
constexpr int kBarTwips = 270;

// Eleven 16 x 16 icons (image row 0, mask row 16): document-like glyphs in a
// few colours.
void DrawListIcons(PictureBox& icons) {
  icons.SetPixelSize(176, 32);
  QImage& img = icons.Image();
  img.fill(Qt::black);
  QPainter p(&img);
  p.fillRect(0, 16, 176, 16, Qt::white);
  static const QColor kColours[11] = {QColor(0x30, 0x60, 0xC0), QColor(0x20, 0xA0, 0x40), QColor(0xC0, 0x30, 0x30),
                                      QColor(0xC0, 0x90, 0x20), QColor(0x80, 0x40, 0xB0), QColor(0x40, 0x90, 0xA0),
                                      QColor(0x60, 0x60, 0x60), QColor(0xD0, 0x60, 0x20), QColor(0x20, 0x70, 0x70),
                                      QColor(0xA0, 0x20, 0x80), QColor(0x50, 0x50, 0xD0)};
  for (int n = 0; n < 11; ++n) {
    const QRect page(16 * n + 3, 1, 10, 14);
    p.fillRect(page, kColours[n]);
    p.fillRect(page.adjusted(2, 3, -2, -9), Qt::white);
    p.fillRect(page.translated(0, 16), Qt::black);
  }
  icons.Changed();
}

// The combo editor shows a cell's value: its list entry when there is one
// (the last of equal entries), else the value as the editor's own text.
void ShowInCombo(QComboBox* combo, const QString& value) {
  const QSignalBlocker block(combo);
  if (combo->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0) {
    basic::SelectComboText(combo, value);
  } else {
    combo->setCurrentIndex(-1);
    combo->setEditText(value);
  }
}

// The list editor selects the entry that equals a cell's value (the last of
// equal entries), or none when no entry does.
void ShowInList(QListWidget* list, const QString& value) {
  const QSignalBlocker block(list);
  int row = -1;
  for (int i = 0; i < list->count(); ++i)
    if (list->item(i)->text() == value) row = i;
  list->setCurrentRow(row);
  if (row < 0) list->clearSelection();
}

}  // namespace

UC_ListView::UC_ListView(QWidget* parent)
    : QWidget(parent),
      m_PictureAll(new PictureBox(this)),
      m_PictureTab(new PictureBox(m_PictureAll)),
      m_PictureTabGrad(new PictureBox(this)),
      m_PictureList(new PictureBox(m_PictureAll)),
      m_PictureIcons(new PictureBox(this)),
      m_MenuRCTabP(new QMenu(this)) {
  m_PictureTabGrad->hide();
  m_PictureIcons->hide();
  m_PictureTabGrad->SetPixelSize(1, kHeaderTwips / 15);
  DrawListIcons(*m_PictureIcons);
  m_PictureList->SetBackColor(basic::SysColor(basic::COLOR_WINDOW));
  m_PictureList->SetForeColor(basic::SysColor(basic::COLOR_WINDOWTEXT));
  m_PictureList->SetAcceptFiles(true);
  m_PictureList->setMouseTracking(true);
  m_PictureTab->setMouseTracking(true);
  // Element 0 of each editor array exists from the start; InitTab adds more.
  AddTextEditor();
  AddComboEditor();
  AddListEditor();
  connect(m_PictureList, &PictureBox::MouseDown, this, &UC_ListView::List_MouseDown);
  connect(m_PictureList, &PictureBox::MouseUp, this, &UC_ListView::List_MouseUp);
  connect(m_PictureList, &PictureBox::MouseMove, this, &UC_ListView::List_MouseMove);
  connect(m_PictureList, &PictureBox::DblClick, this, &UC_ListView::List_DblClick);
  connect(m_PictureList, &PictureBox::FilesDropped, this,
          [this](const QStringList& paths, int button, int shift, double x, double y) {
            emit OLEDragDrop(paths, 1, button, shift, x, y);
          });
  m_DragScrollTimer = new QTimer(this);
  m_DragScrollTimer->setInterval(kDragRepeatMs);
  m_Clock = [] { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); };
  connect(m_DragScrollTimer, &QTimer::timeout, this, [this] { DragScrollTimer_Timer(); });
  connect(m_PictureList, &PictureBox::DragMoved, this, [this](double x, double y) {
    m_DragX = x;
    m_DragY = y;
    if (!m_DragScrollTimer->isActive()) m_DragScrollTimer->start();
    List_DragOver(x, y, m_Clock());
  });
  connect(m_PictureList, &PictureBox::DragLeft, m_DragScrollTimer, &QTimer::stop);
  connect(m_PictureTab, &PictureBox::MouseDown, this, &UC_ListView::Tab_MouseDown);
  connect(m_PictureTab, &PictureBox::MouseMove, this, &UC_ListView::Tab_MouseMove);
  connect(m_PictureTab, &PictureBox::MouseUp, this, &UC_ListView::Tab_MouseUp);
}

UC_ListView::~UC_ListView() = default;

void UC_ListView::resizeEvent(QResizeEvent*) {
  if (m_Initialised) UserControl_Resize();
}

bool UC_ListView::TextComboVisible() const {
  return m_TextLV[0]->isVisible() || m_ComboLV[0]->isVisible() || m_ListLV[0]->isVisible();
}

void UC_ListView::CreateBars() {
  const int tpp = TwipsPerPixel();
  if (m_UseUCBar) {
    m_HBar1 = new UC_Slider(m_PictureAll);
    m_VBar1 = new UC_Slider(m_PictureAll);
    m_VBar1->SetIsVertical(1);
    for (UC_Slider* bar : {m_HBar1, m_VBar1}) {
      bar->SetNoGrad(1);
      bar->SetMin(0);
      bar->SetMax(1);
    }
    m_HBar1->SetSmallChange(tpp);
    m_VBar1->SetSmallChange(1);
    connect(m_VBar1, &UC_Slider::Scrolled, this, [this] { SyncVertical(); });
    connect(m_HBar1, &UC_Slider::Scrolled, this, [this] { SyncHorizontal(); });
  } else {
    m_HBar2 = new QScrollBar(Qt::Horizontal, m_PictureAll);
    m_VBar2 = new QScrollBar(Qt::Vertical, m_PictureAll);
    for (QScrollBar* bar : {m_HBar2, m_VBar2}) bar->setFocusPolicy(Qt::NoFocus);
    m_HBar2->setSingleStep(tpp);
    m_VBar2->setSingleStep(1);
    connect(m_VBar2, &QScrollBar::valueChanged, this, [this] { SyncVertical(); });
    connect(m_HBar2, &QScrollBar::valueChanged, this, [this] { SyncHorizontal(); });
  }
  QWidget* h = m_HBar1 ? static_cast<QWidget*>(m_HBar1) : m_HBar2;
  QWidget* v = m_VBar1 ? static_cast<QWidget*>(m_VBar1) : m_VBar2;
  h->resize(h->width(), kBarTwips / tpp);
  v->resize(kBarTwips / tpp, v->height());
  h->hide();
  v->hide();
}

void UC_ListView::LayoutSurfaces() {
  const int tpp = TwipsPerPixel();
  const int top = m_TabDisabled ? 0 : kHeaderTwips / tpp;
  if (m_TabDisabled) m_PictureTab->hide();
  m_PictureTab->setGeometry(0, 0, std::max(1, width() - 2), kHeaderTwips / tpp);
  m_PictureList->move(0, top);
  QWidget* v = m_VBar1 ? static_cast<QWidget*>(m_VBar1) : m_VBar2;
  if (v) v->move(v->x(), top);
  m_PictureTabGrad->SetPixelSize(1, kHeaderTwips / tpp);
  m_PictureTabGrad->Cls();
  basic::PaintBackground(*m_PictureTabGrad, 5, -1, -1, -1);
}

int32_t UC_ListView::BarValue(bool vertical) const {
  if (vertical) return m_VBar1 ? m_VBar1->Value() : m_VBar2 ? m_VBar2->value() : 0;
  return m_HBar1 ? m_HBar1->Value() : m_HBar2 ? m_HBar2->value() : 0;
}

int32_t UC_ListView::BarMax(bool vertical) const {
  if (vertical) return m_VBar1 ? m_VBar1->Max() : m_VBar2 ? m_VBar2->maximum() : 0;
  return m_HBar1 ? m_HBar1->Max() : m_HBar2 ? m_HBar2->maximum() : 0;
}

int32_t UC_ListView::BarMin(bool vertical) const {
  if (vertical) return m_VBar1 ? m_VBar1->Min() : m_VBar2 ? m_VBar2->minimum() : 0;
  return m_HBar1 ? m_HBar1->Min() : m_HBar2 ? m_HBar2->minimum() : 0;
}

void UC_ListView::SetBarValue(bool vertical, int32_t v) {
  // Setting a value programmatically does not report a scroll.
  if (vertical) {
    if (m_VBar1) m_VBar1->SetValue(v);
    if (m_VBar2) {
      const QSignalBlocker block(m_VBar2);
      m_VBar2->setValue(v);
    }
  } else {
    if (m_HBar1) m_HBar1->SetValue(v);
    if (m_HBar2) {
      const QSignalBlocker block(m_HBar2);
      m_HBar2->setValue(v);
    }
  }
}

bool UC_ListView::VBarVisible() const { return (m_VBar1 && !m_VBar1->isHidden()) || (m_VBar2 && !m_VBar2->isHidden()); }
bool UC_ListView::HBarVisible() const { return (m_HBar1 && !m_HBar1->isHidden()) || (m_HBar2 && !m_HBar2->isHidden()); }
int32_t UC_ListView::VBarMax() const { return BarMax(true); }
int32_t UC_ListView::HBarMax() const { return BarMax(false); }
int32_t UC_ListView::VBarValue() const { return BarValue(true); }
int32_t UC_ListView::VBarLargeChange() const {
  return m_VBar1 ? m_VBar1->LargeChange() : m_VBar2 ? m_VBar2->pageStep() : 0;
}

void UC_ListView::UserControl_Resize() {
  const int tpp = TwipsPerPixel();
  if (!m_Initialised || width() * tpp < 600 || height() * tpp < 600) return;
  m_PictureAll->setGeometry(1, 0, std::max(1, width() - 2), height());
  m_PictureTab->setGeometry(0, 0, m_PictureAll->width(), kHeaderTwips / tpp);
  QWidget* v = m_VBar1 ? static_cast<QWidget*>(m_VBar1) : m_VBar2;
  QWidget* h = m_HBar1 ? static_cast<QWidget*>(m_HBar1) : m_HBar2;
  v->move(m_PictureAll->width() - v->width() - 4, m_PictureList->y());
  h->move(0, m_PictureAll->height() - h->height() - 4);
  SetVbarParm();
  SetBarValue(false, 0);
  m_HScrollPos = 0;
  if (!VBarVisible()) {
    m_TopItem = 0;
  } else {
    m_TopItem = std::min(m_TopItem, BarMax(true));
    SetBarValue(true, m_TopItem);
  }
  m_LastTop = m_TopItem;
  ReDrawTab(-1);
  ReDraw();
}

void UC_ListView::SetVbarParm() {
  const int tpp = TwipsPerPixel();
  QWidget* vbar = m_VBar1 ? static_cast<QWidget*>(m_VBar1) : m_VBar2;
  QWidget* hbar = m_HBar1 ? static_cast<QWidget*>(m_HBar1) : m_HBar2;
  if (!vbar || !hbar) return;
  int32_t h = basic::Round32(m_PictureAll->height() * tpp - m_PictureList->y() * tpp - 4 * tpp);
  const int64_t rowsHeight = int64_t{m_ItemCount} * m_OneHeight;
  bool needV = !(m_ItemCount < 1 || m_VbarDisabled == 1) && rowsHeight >= h;
  int32_t w = m_PictureAll->width() * tpp - 4 * tpp - (needV ? vbar->width() * tpp : 0);
  const int32_t total = TotalWidth();
  bool needH = false;
  if (!(w >= total || m_HbarDisabled)) {
    needH = true;
    h -= hbar->height() * tpp;
    if (!needV && m_ItemCount >= 1 && m_VbarDisabled != 1 && rowsHeight >= h) {
      needV = true;
      w -= vbar->width() * tpp;
    }
  }
  m_PictureList->setGeometry(m_PictureList->x(), m_PictureList->y(), std::max(1, w / tpp), std::max(1, h / tpp));
  if (m_OneHeight > 0) m_VisibleRows = h / m_OneHeight;

  if (needV) {
    const int32_t max = std::max(1, m_ItemCount - m_VisibleRows + 1);
    const int32_t large = std::max(1, basic::Round32(static_cast<double>(max) * m_VisibleRows / m_ItemCount));
    vbar->resize(vbar->width(), std::max(1, h / tpp - 4));
    const int32_t value = std::min(BarValue(true), max);
    if (m_VBar1) {
      m_VBar1->SetMin(0);
      m_VBar1->SetMax(max);
      m_VBar1->SetLargeChange(large);
      m_VBar1->Init();
      m_VBar1->SetPointerSize(static_cast<float>(m_VisibleRows) / m_ItemCount);
      m_VBar1->SetValue(value);
    } else {
      const QSignalBlocker block(m_VBar2);
      m_VBar2->setRange(0, max);
      m_VBar2->setPageStep(large);
    }
    vbar->show();
    // Fewer items or more room: the first drawn row must stay within the bar's range.
    if (m_TopItem > max || m_TopItem < 0) {
      m_TopItem = std::clamp(m_TopItem, 0, max);
      m_LastTop = m_TopItem;
      SetBarValue(true, m_TopItem);
    }
  } else {
    SetBarValue(true, 0);
    vbar->hide();
    // Without a bar every item fits from the first row on.
    m_TopItem = 0;
    m_LastTop = 0;
  }
  if (needH) {
    int32_t max = std::max(1, total - w);
    if (!m_UseUCBar) max = std::min(max, 32767);
    const int32_t large = std::max(1, basic::Round32(static_cast<double>(max) * w / std::max(total, 1)));
    hbar->resize(std::max(1, w / tpp), hbar->height());
    const int32_t value = std::min(BarValue(false), max);
    if (m_HBar1) {
      m_HBar1->SetMin(0);
      m_HBar1->SetMax(max);
      m_HBar1->SetLargeChange(large);
      m_HBar1->Init();
      m_HBar1->SetPointerSize(static_cast<float>(w) / std::max(total, 1));
      m_HBar1->SetValue(value);
    } else {
      const QSignalBlocker block(m_HBar2);
      m_HBar2->setRange(0, max);
      m_HBar2->setPageStep(large);
    }
    hbar->show();
    m_HScrollPos = BarValue(false);
  } else {
    SetBarValue(false, 0);
    hbar->hide();
    m_HScrollPos = 0;
  }
}

void UC_ListView::DrawSelectionSpan(int32_t y1, int32_t y2, uint32_t color, int mode) {
  const int tpp = TwipsPerPixel();
  double x1 = 0, x2 = m_PictureList->ScaleWidth();
  if (m_InvertSelectedData == 1) {
    x1 = m_SelectedData < 1 ? 0 : TabRight(m_SelectedData - 1);
    x2 = TabRight(m_SelectedData) - 2 * tpp;
  }
  m_PictureList->SetDrawMode(mode);
  m_PictureList->Line(x1, y1, x2, y2, color, basic::LineKind::FilledBox);
  m_PictureList->SetDrawMode(basic::vbCopyPen);
}

void UC_ListView::ReDraw() {
  if (!m_Initialised || m_OneHeight < 1) return;
  const int tpp = TwipsPerPixel();
  m_PictureList->Cls();
  const int32_t rows = static_cast<int32_t>(m_PictureList->ScaleHeight()) / m_OneHeight;
  const bool currentShown = m_ItemCount > 0 && m_SelectedItem >= m_TopItem && m_SelectedItem < m_TopItem + rows &&
                            m_SelectedItem < m_ItemCount;
  if (!currentShown || m_HideTextCombo == 1) {
    for (QLineEdit* e : m_TextLV) e->hide();
    for (QComboBox* e : m_ComboLV) e->hide();
    for (QListWidget* e : m_ListLV) e->hide();
  }
  if (m_UseMadara)
    for (int32_t r = 0; r <= rows; ++r)
      if ((m_TopItem + r) % 2 == 1)
        m_PictureList->Line(0, r * m_OneHeight + tpp, m_PictureList->ScaleWidth(), (r + 1) * m_OneHeight,
                            basic::ClampRGB(204, 255, 255), basic::LineKind::FilledBox);
  if (m_ItemCount > 0) {
    const bool icons = !m_IconDisabled;
    const int32_t y0 = basic::Round32((static_cast<double>(m_OneHeight) / tpp - 16) / 2);
    for (int32_t r = 0; r <= rows && m_TopItem + r < m_ItemCount; ++r) {
      const int32_t item = m_TopItem + r;
      const ListItem& it = m_Items[static_cast<size_t>(item)];
      const int32_t y = r * m_OneHeight;
      if (icons && m_HScrollPos < 16 * tpp && it.IconType >= 0 && it.IconType < 11) {
        const int x = 2 - m_HScrollPos / tpp, py = y / tpp + y0;
        m_PictureList->BitBlt(x, py, 16, 16, *m_PictureIcons, 16 * it.IconType, 16, basic::BlitOp::And);
        m_PictureList->BitBlt(x, py, 16, 16, *m_PictureIcons, 16 * it.IconType, 0, basic::BlitOp::Xor);
      }
      int k = 0;
      for (int32_t pos = 0; pos < m_NumData && pos < static_cast<int32_t>(m_OrderMap.size()); ++pos) {
        const int32_t c = m_OrderMap[static_cast<size_t>(pos)];
        const TabInfo& t = m_Tabs[static_cast<size_t>(c)];
        if (t.TabHidden) continue;
        ++k;
        m_PictureList->SetForeColor(it.DispColor);
        const int32_t avail = t.TabWidth - (k == 1 ? m_TextMargin : 6) * tpp;
        const bool right = t.TabAlign == 1;
        const QString text = basic::FitTextToWidth(
            static_cast<size_t>(c) < it.Data.size() ? it.Data[static_cast<size_t>(c)].toString() : QString(),
            *m_PictureList, avail, right);
        double left;
        if (right) left = t.TabRight - m_PictureList->TextWidth(text) - 6 * tpp - m_HScrollPos;
        else left = k == 1 ? m_TextMargin * tpp - m_HScrollPos : t.TabLeft + 6 * tpp - m_HScrollPos;
        m_PictureList->SetCurrentX(left);
        m_PictureList->SetCurrentY(y + m_TextOffsetY);
        m_PictureList->Print(text);
      }
      if (item == m_SelectedItem) {
        for (int32_t c = 0; c < static_cast<int32_t>(m_Tabs.size()); ++c) {
          const TabInfo& t = m_Tabs[static_cast<size_t>(c)];
          const QString value = Value(item, c).toString();
          const int top = (y + m_EditorOffsetY) / tpp;
          const auto place = [&](QWidget* e, int kind) {
            if (!e) return;
            if (t.FrontObj != kind || t.TabHidden) {
              e->hide();
              return;
            }
            if (e->y() != top) e->move(e->x(), top);
            if (!m_HideTextCombo && !e->isVisible()) e->show();
          };
          if (t.UseTextCombo & 1) {
            QLineEdit* e = TextLV(t.TextEditIndex);
            if (e && e->text() != value) {
              const QSignalBlocker block(e);
              e->setText(value);
            }
            place(e, 1);
          }
          if (t.UseTextCombo & 2) {
            QComboBox* e = ComboLV(t.ComboEditIndex);
            if (e && e->currentText() != value) ShowInCombo(e, value);
            place(e, 2);
          }
          if (t.UseTextCombo & 4) {
            QListWidget* e = ListLV(t.ListEditIndex);
            if (e && (!e->currentItem() || e->currentItem()->text() != value)) ShowInList(e, value);
            place(e, 4);
          }
        }
      }
      if (it.IsSelected == 1) DrawSelectionSpan(y + tpp, y + m_SelBoxHeight, m_SelectedColor, m_SelectedColorMode);
      if (it.HLine != 0) DrawSelectionSpan(y, y + tpp, it.HLine, basic::vbCopyPen);
      if (m_BorderIfBlank > 0) {
        const QVariant v = Value(item, m_BorderIfBlank - 1);
        if (v.toString().isEmpty()) DrawSelectionSpan(y + tpp, y + m_SelBoxHeight, 0xE0E0E0, m_SelectedColorMode);
      }
    }
  }
  for (const TabInfo& t : m_Tabs) {
    if (t.TabHidden) continue;
    const double x = t.TabRight - m_HScrollPos - tpp;
    m_PictureList->Line(x, 0, x, m_PictureList->ScaleHeight(), m_VLineColor);
  }
}

void UC_ListView::ReDrawTab(int32_t pushedData) {
  const int tpp = TwipsPerPixel();
  m_PictureTab->Cls();
  const int headerHeight = m_PictureList->y() * tpp;
  for (int32_t pos = 0; pos < static_cast<int32_t>(m_OrderMap.size()); ++pos) {
    const int32_t c = m_OrderMap[static_cast<size_t>(pos)];
    const TabInfo& t = m_Tabs[static_cast<size_t>(c)];
    if (t.TabHidden) continue;
    const int32_t x = t.TabLeft - m_HScrollPos;
    const int p = c == pushedData ? 1 : 0;
    if (!m_TabDisabled) {
      m_PictureTab->StretchBlt(x / tpp, 0, t.TabWidth / tpp, headerHeight / tpp, *m_PictureTabGrad, 0, 0, 1,
                               m_PictureTabGrad->PixelHeight());
      m_PictureTab->SetForeColor(basic::SysColor(basic::COLOR_BTNTEXT));
      double left;
      if (t.TabAlign == 1 && m_NoAlign4Tab == 0) {
        const QString cut = basic::FitTextToWidth(t.TabName, *m_PictureTab, t.TabWidth - 6 * tpp, t.TabAlign != 0);
        left = t.TabRight - m_PictureTab->TextWidth(cut) - (p + 6) * tpp - m_HScrollPos;
      } else {
        left = pos == 0 ? (p + 6) * tpp - m_HScrollPos : (p + 6) * tpp + x;
      }
      m_PictureTab->SetCurrentX(left);
      m_PictureTab->SetCurrentY((p + 3) * tpp);
      m_PictureTab->Print(t.TabName);
      basic::DrawEdgeRect(*m_PictureTab, x, 0, t.TabWidth, headerHeight, p == 1);
    }
    if (t.UseTextCombo & 1)
      if (QLineEdit* e = TextLV(t.TextEditIndex))
        e->setGeometry((x + 3 * tpp) / tpp, e->y(), std::max(1, (t.TabWidth - 3 * tpp) / tpp), e->height());
    if (t.UseTextCombo & 2)
      if (QComboBox* e = ComboLV(t.ComboEditIndex))
        e->setGeometry((x + 2 * tpp) / tpp, e->y(), std::max(1, (t.TabWidth - 2 * tpp) / tpp), e->height());
    if (t.UseTextCombo & 4)
      if (QListWidget* e = ListLV(t.ListEditIndex))
        e->setGeometry((x + 2 * tpp) / tpp, e->y(), std::max(1, (t.TabWidth - 2 * tpp) / tpp), e->height());
  }
}

void UC_ListView::Refresh() {
  SetVbarParm();
  SetBarValue(true, 0);
  SetBarValue(false, 0);
  m_TopItem = 0;
  m_LastTop = 0;
  m_HScrollPos = 0;
  ReDraw();
  ReDrawTab(-1);
}

void UC_ListView::VBarMove(int32_t delta) {
  if (VBarVisible()) SetBarValue(true, std::clamp(BarValue(true) + delta, BarMin(true), BarMax(true)));
}

void UC_ListView::HBarMove(int32_t delta) {
  if (HBarVisible()) SetBarValue(false, std::clamp(BarValue(false) + delta, BarMin(false), BarMax(false)));
}

void UC_ListView::VBarScroll(int32_t delta) {
  if (!VBarVisible() || delta == 0) return;
  VBarMove(delta * m_NumWheelScroll);
  SyncVertical();
}

void UC_ListView::HBarScroll(int32_t delta) {
  if (!HBarVisible() || delta == 0) return;
  HBarMove(delta);
  SyncHorizontal();
}

void UC_ListView::SyncVertical() {
  m_TopItem = BarValue(true);
  if (m_TopItem != m_LastTop) {
    ReDraw();
    if (!m_BarNoDoEvents) basic::DoEvents();
    m_LastTop = m_TopItem;
  }
}

void UC_ListView::SyncHorizontal() {
  m_HScrollPos = BarValue(false);
  if (!m_BarNoDoEvents) basic::DoEvents();
  ReDrawTab(-1);
  ReDraw();
}

void UC_ListView::SetTopItem(int32_t item, int32_t setToTop, int32_t ifHidden) {
  if (item < 0 || item > m_ItemCount - 1) return;
  if (!VBarVisible()) {
    m_TopItem = 0;
    m_LastTop = 0;
  } else {
    const int32_t target = setToTop ? item : basic::Round32(item - m_VisibleRows / 2.0);
    if (ifHidden == 0 || item < m_TopItem || item > m_TopItem + m_VisibleRows - 1) {
      m_TopItem = std::clamp(target, 0, BarMax(true));
      SetBarValue(true, m_TopItem);
      m_LastTop = m_TopItem;
    }
  }
  ReDraw();
}

void UC_ListView::ShowSelected(int32_t ifHidden) { SetTopItem(m_SelectedItem, 0, ifHidden); }
void UC_ListView::ShowItem(int32_t topItem, int32_t ifHidden) { SetTopItem(topItem, 1, ifHidden); }
