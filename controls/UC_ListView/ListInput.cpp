// The mouse on the rows and the header, drags, the editors' write-back and
// key forwarding.
#include <QComboBox>
#include <QCursor>
#include <QDrag>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <utility>

#include "controls/UC_ListView/UC_ListView.h"
#include "support/Rounding.h"
#include "widgets/PictureBox.h"

using basic::TwipsPerPixel;

int32_t UC_ListView::RowAt(double y) const {
  const int tpp = TwipsPerPixel();
  if (m_OneHeight <= 0) return 0;
  const int32_t u = m_TopItem + basic::Round32(y - 4 * tpp) / m_OneHeight;
  return std::clamp(u, 0, std::max(0, m_ItemCount - 1));
}

int32_t UC_ListView::LineAt(double y) const {
  if (m_OneHeight <= 0) return -1;
  const int32_t u = m_TopItem + basic::Round32(y - 4 * TwipsPerPixel()) / m_OneHeight;
  return u >= 0 && u < m_ItemCount ? u : -1;
}

int32_t UC_ListView::TabAt(double x) const {
  const auto n = static_cast<int32_t>(m_OrderMap.size());
  if (n == 0) return 0;
  const double a = x + m_HScrollPos;
  if (a > TabRight(m_OrderMap.back())) {
    for (int32_t pos = n - 1; pos >= 0; --pos)
      if (!TabHidden(m_OrderMap[static_cast<size_t>(pos)])) return m_OrderMap[static_cast<size_t>(pos)];
    return 0;
  }
  if (a < TabRight(m_OrderMap.front())) {
    for (int32_t pos = 0; pos < n; ++pos)
      if (!TabHidden(m_OrderMap[static_cast<size_t>(pos)])) return m_OrderMap[static_cast<size_t>(pos)];
    return 0;
  }
  for (int32_t pos = 1; pos < n; ++pos) {
    const int32_t c = m_OrderMap[static_cast<size_t>(pos)];
    if (!TabHidden(c) && TabLeft(c) < a && a < TabRight(c)) return c;
  }
  return 0;
}

int32_t UC_ListView::TabBorderAt(double x) const {
  const int tpp = TwipsPerPixel();
  int32_t match = -1;
  for (const int32_t c : m_OrderMap) {
    if (TabHidden(c)) continue;
    const double a = x + m_HScrollPos;
    if (TabRight(c) - 5 * tpp < a && a < TabRight(c) + 5 * tpp) match = c;
  }
  return match;
}

void UC_ListView::List_MouseDown(int button, int shift, double x, double y) {
  if (m_ClickDisabled == 1 || m_OneHeight == 0) return;
  m_MouseIsDown = 1;
  emit MouseDown(button, shift, x, y);
  if (button != basic::vbLeftButton) return;
  m_DownX = x;
  m_DownY = y;
  m_DownTop = BarValue(true);
  m_DownLeft = BarValue(false);
  m_DragStarted = false;
  if (m_ItemCount < 1) {
    m_SelectedItem = -1;
    return;
  }
  const int32_t u = RowAt(y);
  const auto mark = [&](int32_t i, int32_t v) { m_Items[static_cast<size_t>(i)].IsSelected = v; };
  if (shift == basic::vbShiftMask && !m_NoMultiSelect) {
    const int32_t from = m_SelectedItem < 0 ? 0 : std::min(m_SelectedItem, u);
    const int32_t to = m_SelectedItem < 0 ? u : std::max(m_SelectedItem, u);
    for (int32_t i = 0; i < m_ItemCount; ++i) mark(i, i >= from && i <= to ? 1 : 0);
    m_SelectedItem = u;
    m_RangeMode = 1;
    m_ToggleMode = 0;
  } else if (shift == basic::vbCtrlMask && !m_NoMultiSelect) {
    if (m_Items[static_cast<size_t>(u)].IsSelected) {
      mark(u, 0);
      if (u == m_SelectedItem) {
        m_SelectedItem = -1;
        for (int32_t i = 0; i < m_ItemCount; ++i)
          if (m_Items[static_cast<size_t>(i)].IsSelected) {
            m_SelectedItem = i;
            break;
          }
      }
    } else {
      mark(u, 1);
      m_SelectedItem = u;
    }
    m_RangeMode = 0;
    m_ToggleMode = 1;
  } else if (m_RangeMode == 1) {
    m_RangeMode = 0;
    if (!m_Items[static_cast<size_t>(u)].IsSelected) {
      for (int32_t i = 0; i < m_ItemCount; ++i) mark(i, 0);
      mark(u, 1);
      m_SelectedItem = u;
    }
  } else if (m_ToggleMode == 1) {
    m_ToggleMode = 0;
  } else {
    for (int32_t i = 0; i < m_ItemCount; ++i) mark(i, 0);
    mark(u, 1);
    m_SelectedItem = u;
  }
  m_SelectedData = TabAt(x);
  ReDraw();
}

void UC_ListView::List_MouseUp(int button, int, double x, double y) {
  if (m_ClickDisabled == 1 || m_MouseIsDown == 0) return;
  m_MouseIsDown = 0;
  if (button == basic::vbRightButton) {
    emit RightClicked(x, y);
  } else {
    emit Clicked(x, y);
    ReDraw();
  }
  m_DownX = -1;
  m_DownY = -1;
}

void UC_ListView::List_DblClick() {
  if (m_ClickDisabled == 1 || m_ItemCount < 1) return;
  emit DblClicked();
}

void UC_ListView::List_MouseMove(int button, int, double x, double y) {
  if (m_ClickDisabled == 1) return;
  const int tpp = TwipsPerPixel();
  if (m_ShowToolTip && m_ItemCount > 0) m_PictureList->setToolTip(Value(RowAt(y), TabAt(x)).toString());
  if ((button & basic::vbLeftButton) && m_UseScroll) {
    if (VBarVisible() && m_OneHeight > 0) {
      const int32_t top = basic::Round32(m_DownTop + basic::Round32(m_DownY - y) / m_OneHeight);
      if (top != m_TopItem) SetTopItem(std::clamp(top, 0, std::max(0, m_ItemCount - 1)), 1, 0);
    }
    if (HBarVisible()) {
      SetBarValue(false, std::clamp(basic::Round32(m_DownX - x + m_DownLeft), BarMin(false), BarMax(false)));
      SyncHorizontal();
    }
  } else if ((button & basic::vbLeftButton) && m_ItemCount > 0 && m_DownX != -1 && m_DownY != -1) {
    if (std::abs(x - m_DownX) > 8 * tpp || std::abs(y - m_DownY) > 8 * tpp) {
      m_DownX = -1;
      m_DownY = -1;
      m_DragStarted = true;
      if (m_ClickDisabled != 1) {
        // The host fills the drag data; an empty drag carries nothing out.
        auto* data = new QMimeData;
        emit OLEStartDrag(data, static_cast<int>(Qt::CopyAction | Qt::MoveAction));
        if (!data->formats().isEmpty() && m_PictureList->isVisible()) {
          auto* drag = new QDrag(m_PictureList);
          drag->setMimeData(data);
          emit OLECompleteDrag(static_cast<int>(drag->exec(Qt::CopyAction | Qt::MoveAction)));
        } else {
          delete data;
          emit OLECompleteDrag(0);
        }
      }
    }
  }
  if (m_SizingPointer) {
    m_SizingPointer = false;
    unsetCursor();
  }
}

void UC_ListView::List_DragOver(double x, double y, double now) {
  emit OLEDragOver();
  if (m_NoOleScroll || !VBarVisible()) return;
  if (x != m_DragMarkX || y != m_DragMarkY) {
    m_DragMarkX = x;
    m_DragMarkY = y;
    return;
  }
  const double dt = std::abs(m_DragMarkTime - now);
  if (dt > 1) {
    m_DragMarkTime = now;
    return;
  }
  const double h = m_PictureList->ScaleHeight(), row = m_OneHeight;
  int32_t step = 0;
  if (y < 0.5 * row && dt >= 0.02) step = -VBarLargeChange();
  else if (y >= 0.5 * row && y < 1.5 * row && dt >= 0.2) step = -1;
  else if (y > h - 1.5 * row && y <= h - 0.5 * row && dt >= 0.2) step = 1;
  else if (y > h - 0.5 * row && dt >= 0.02) step = VBarLargeChange();
  if (step == 0) return;
  m_DragMarkTime = now;
  SetBarValue(true, std::clamp(BarValue(true) + step, BarMin(true), BarMax(true)));
  SyncVertical();
}

void UC_ListView::DragScrollTimer_Timer() { List_DragOver(m_DragX, m_DragY, m_Clock()); }

void UC_ListView::SetClock(Clock clock) {
  if (clock) m_Clock = std::move(clock);
}

bool UC_ListView::DragScrollTimerActive() const { return m_DragScrollTimer->isActive(); }

void UC_ListView::Tab_MouseMove(int button, int, double x, double) {
  if (m_TabDisabled) return;
  const int tpp = TwipsPerPixel();
  if (button == 0) {
    m_SizingPointer = TabBorderAt(x) != -1;
    if (m_SizingPointer) setCursor(Qt::SizeHorCursor);
    else unsetCursor();
    return;
  }
  if ((button & basic::vbLeftButton) && m_ResizingTab != -1 && m_SizingPointer) {
    TabInfo& t = m_Tabs[static_cast<size_t>(m_ResizingTab)];
    t.TabWidth = std::max(450, basic::Round32(t.TabWidth + (x + m_HScrollPos + 3 * tpp - t.TabRight)));
    CalcTabPositions();
    ReDrawTab(-1);
  }
}

void UC_ListView::Tab_MouseDown(int button, int, double x, double) {
  if (m_TabDisabled || button != basic::vbLeftButton) return;
  m_SizingPointer = TabBorderAt(x) != -1;
  if (m_SizingPointer) m_ResizingTab = TabBorderAt(x);
  else ReDrawTab(TabAt(x));
}

void UC_ListView::Tab_MouseUp(int button, int, double x, double) {
  if (m_TabDisabled) return;
  if (button == basic::vbLeftButton) {
    if (m_SizingPointer && m_ResizingTab != -1) {
      m_SizingPointer = false;
      m_ResizingTab = -1;
      unsetCursor();
      SetVbarParm();
      ReDrawTab(-1);
      ReDraw();
      emit TabMoved();
      return;
    }
    if (!m_SortDisabled && !m_ClickDisabled) ReOrder(TabAt(x), 0, -1);
    ReDrawTab(-1);
    ReDraw();
  } else if (button == basic::vbRightButton && m_UseTabOrder) {
    m_RightClickedTab = TabAt(x);
    const QList<QAction*> actions = m_MenuRCTabP->actions();
    for (int i = 0; i < actions.size(); ++i) actions[i]->setEnabled(i != TabOrder(m_RightClickedTab));
    m_MenuRCTabP->popup(QCursor::pos());
  }
}

void UC_ListView::MenuRCTab_Click(int position) {
  SetTabOrder(m_RightClickedTab, position);
  CalcTabPositions();
  ReDrawTab(-1);
  ReDraw();
  emit TabReOrderd();
}

void UC_ListView::TextLV_Change(int32_t element) {
  for (int32_t c = 0; c < static_cast<int32_t>(m_Tabs.size()); ++c) {
    const TabInfo& t = m_Tabs[static_cast<size_t>(c)];
    if (!(t.UseTextCombo & 1) || t.TextEditIndex != element) continue;
    QLineEdit* e = TextLV(element);
    if (!e) return;
    const QString text = e->text();
    if (t.TextIsTime && text.size() == 6) {
      bool ok = false;
      text.toInt(&ok);
      const int hh = text.left(2).toInt(), mm = text.mid(2, 2).toInt(), ss = text.right(2).toInt();
      if (ok && hh <= 30 && mm <= 59 && ss <= 59) {
        // The rewrite raises a further change, which stores the new text.
        e->setText(text.left(2) + QLatin1Char(':') + text.mid(2, 2) + QLatin1Char(':') + text.right(2));
        return;
      }
    }
    SetValue(-1, c, text);
    return;
  }
}

bool UC_ListView::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return QWidget::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  int isCombo = -1, element = -1;
  for (size_t i = 0; i < m_TextLV.size(); ++i)
    if (watched == m_TextLV[i]) isCombo = 0, element = static_cast<int>(i);
  for (size_t i = 0; i < m_ComboLV.size(); ++i)
    if (watched == m_ComboLV[i]->lineEdit()) isCombo = 1, element = static_cast<int>(i);
  if (isCombo < 0) return QWidget::eventFilter(watched, event);
  for (int32_t c = 0; c < static_cast<int32_t>(m_Tabs.size()); ++c) {
    const TabInfo& t = m_Tabs[static_cast<size_t>(c)];
    const bool owns = isCombo == 0 ? ((t.UseTextCombo & 1) && t.TextEditIndex == element)
                                   : ((t.UseTextCombo & 2) && t.ComboEditIndex == element);
    if (!owns) continue;
    int shift = 0;
    if (key->modifiers() & Qt::ShiftModifier) shift |= basic::vbShiftMask;
    if (key->modifiers() & Qt::ControlModifier) shift |= basic::vbCtrlMask;
    if (key->modifiers() & Qt::AltModifier) shift |= basic::vbAltMask;
    int value = key->key();
    emit TextComboKeyAction(isCombo, c, type == QEvent::KeyRelease ? 0 : 1, value, shift);
    // A host that sets the key to 0 swallows it, as with a cancelled key press.
    if (value == 0) return true;
    if (type == QEvent::KeyPress && !key->text().isEmpty()) {
      int ch = key->text().at(0).unicode(), none = 0;
      emit TextComboKeyAction(isCombo, c, 2, ch, none);
      if (ch == 0) return true;
    }
    break;
  }
  return QWidget::eventFilter(watched, event);
}
