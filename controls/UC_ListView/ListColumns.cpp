// Set-up, the column model, the in-place editors and the row metrics.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <algorithm>
#include <cmath>

#include "controls/UC_ListView/UC_ListView.h"
#include "support/Colors.h"
#include "support/Rounding.h"
#include "widgets/DeviceCombos.h"
#include "widgets/Fonts.h"
#include "widgets/PictureBox.h"

using basic::TwipsPerPixel;

void UC_ListView::Init() {
  m_Tabs.assign(static_cast<size_t>(std::max(m_NumData, 1)), TabInfo{});
  m_OrderMap.resize(m_Tabs.size());
  for (size_t i = 0; i < m_Tabs.size(); ++i) {
    m_Tabs[i].TabOrder = static_cast<int32_t>(i);
    m_OrderMap[i] = static_cast<int32_t>(i);
  }
  m_ItemCount = 0;
  m_Items.clear();
  m_OrderData = -1;
  m_TextMargin = m_IconDisabled ? 6 : 22;
  if (!m_StyleSet) SetStyle(9, false, QString(), 0x80000008, 0x80000005);
  if (!m_Initialised) {
    CreateBars();
    LayoutSurfaces();
  }
  m_Initialised = true;
}

void UC_ListView::SetStyle(float size, bool bold, const QString& face, uint32_t foreColor, uint32_t backColor) {
  m_PictureList->SetForeColor(foreColor);
  m_PictureList->SetBackColor(backColor);
  m_ForeColor = foreColor;
  const int16_t b = bold ? -1 : 0;
  m_FontSlots[0] = basic::ApplyUiFont(nullptr, -2, nullptr, size, b, 0, face);
  if (m_FontSlots[0] >= 0) m_PictureList->SetSurfaceFont(basic::UiFonts()[static_cast<size_t>(m_FontSlots[0])].Handle);
  m_FontSlots[1] = basic::ApplyUiFont(nullptr, -2, nullptr, 0, 0, 0, QString());
  if (m_FontSlots[1] >= 0) m_PictureTab->SetSurfaceFont(basic::UiFonts()[static_cast<size_t>(m_FontSlots[1])].Handle);
  m_FontSlots[2] = basic::ApplyUiFont(m_TextLV[0], -2, nullptr, size, b, 0, face);
  m_FontSlots[3] = basic::ApplyUiFont(m_ComboLV[0], -2, nullptr, size, b, 0, face);
  m_FontSlots[4] = basic::ApplyUiFont(m_ListLV[0], -2, nullptr, size, b, 0, face);
  m_OneHeight = 0;
  m_StyleSet = true;
}

void UC_ListView::ResetNumTab() {
  for (ListItem& item : m_Items) {
    item.Data.resize(static_cast<size_t>(std::max(m_NumData, 0)));
    item.Aux.resize(static_cast<size_t>(std::max(m_NumAux, 0)));
  }
}

QString UC_ListView::TabName(int32_t c) const {
  return ValidColumn(c) ? m_Tabs[static_cast<size_t>(c)].TabName : QString();
}
void UC_ListView::SetTabName(int32_t c, const QString& name) {
  if (ValidColumn(c)) m_Tabs[static_cast<size_t>(c)].TabName = name;
}
int32_t UC_ListView::TabWidth(int32_t c) const { return ValidColumn(c) ? m_Tabs[static_cast<size_t>(c)].TabWidth : 0; }
void UC_ListView::SetTabWidth(int32_t c, int32_t twips) {
  if (!ValidColumn(c)) return;
  m_Tabs[static_cast<size_t>(c)].TabWidth = std::max(twips, 450);
  CalcTabPositions();
}
int32_t UC_ListView::TabHidden(int32_t c) const {
  return ValidColumn(c) ? m_Tabs[static_cast<size_t>(c)].TabHidden : 0;
}
void UC_ListView::SetTabHidden(int32_t c, int32_t hidden) {
  if (!ValidColumn(c)) return;
  m_Tabs[static_cast<size_t>(c)].TabHidden = hidden;
  CalcTabPositions();
}
int32_t UC_ListView::TabAlign(int32_t c) const { return ValidColumn(c) ? m_Tabs[static_cast<size_t>(c)].TabAlign : 0; }
void UC_ListView::SetTabAlign(int32_t c, int32_t align) {
  if (ValidColumn(c)) m_Tabs[static_cast<size_t>(c)].TabAlign = align;
}
int32_t UC_ListView::DataNumeric(int32_t c) const {
  return ValidColumn(c) ? m_Tabs[static_cast<size_t>(c)].DataNumeric : 0;
}
void UC_ListView::SetDataNumeric(int32_t c, int32_t numeric) {
  if (ValidColumn(c)) m_Tabs[static_cast<size_t>(c)].DataNumeric = numeric;
}
void UC_ListView::SetTextIsTime(int32_t c, int32_t isTime) {
  if (ValidColumn(c)) m_Tabs[static_cast<size_t>(c)].TextIsTime = isTime;
}
int32_t UC_ListView::FrontObj(int32_t c) const { return ValidColumn(c) ? m_Tabs[static_cast<size_t>(c)].FrontObj : 0; }
void UC_ListView::SetFrontObj(int32_t c, int32_t obj) {
  if (ValidColumn(c)) m_Tabs[static_cast<size_t>(c)].FrontObj = obj;
}
int32_t UC_ListView::TabOrder(int32_t c) const { return ValidColumn(c) ? m_Tabs[static_cast<size_t>(c)].TabOrder : 0; }
int32_t UC_ListView::OrderMap(int32_t position) const {
  return position >= 0 && position < static_cast<int32_t>(m_OrderMap.size()) ? m_OrderMap[static_cast<size_t>(position)]
                                                                             : 0;
}
int32_t UC_ListView::TabLeft(int32_t c) const { return ValidColumn(c) ? m_Tabs[static_cast<size_t>(c)].TabLeft : 0; }
int32_t UC_ListView::TabRight(int32_t c) const { return ValidColumn(c) ? m_Tabs[static_cast<size_t>(c)].TabRight : 0; }

void UC_ListView::SetUseTextCombo(int32_t c, int32_t flags) {
  if (!ValidColumn(c)) return;
  TabInfo& t = m_Tabs[static_cast<size_t>(c)];
  t.UseTextCombo = flags;
  if (flags & 4) t.FrontObj = 4;
  else if (flags & 2) t.FrontObj = 2;
  else if (flags & 1) t.FrontObj = 1;
}

void UC_ListView::SetTabOrder(int32_t c, int32_t position) {
  const auto n = static_cast<int32_t>(m_Tabs.size());
  if (!ValidColumn(c) || position < 0 || position >= n) return;
  const int32_t old = m_Tabs[static_cast<size_t>(c)].TabOrder;
  if (old == position) return;
  for (TabInfo& t : m_Tabs) {
    if (old < position && t.TabOrder > old && t.TabOrder <= position) --t.TabOrder;
    else if (old > position && t.TabOrder >= position && t.TabOrder < old) ++t.TabOrder;
  }
  m_Tabs[static_cast<size_t>(c)].TabOrder = position;
  for (int32_t i = 0; i < n; ++i) m_OrderMap[static_cast<size_t>(m_Tabs[static_cast<size_t>(i)].TabOrder)] = i;
}

void UC_ListView::CalcTabPositions() {
  const auto n = static_cast<int32_t>(m_OrderMap.size());
  for (int32_t i = 0; i < n; ++i) {
    TabInfo& t = m_Tabs[static_cast<size_t>(m_OrderMap[static_cast<size_t>(i)])];
    t.TabLeft = 0;
    for (int32_t j = i - 1; j >= 0; --j) {
      const TabInfo& before = m_Tabs[static_cast<size_t>(m_OrderMap[static_cast<size_t>(j)])];
      if (!before.TabHidden) {
        t.TabLeft = before.TabRight;
        break;
      }
    }
    t.TabRight = t.TabHidden ? t.TabLeft : t.TabLeft + t.TabWidth;
  }
}

int32_t UC_ListView::TotalWidth() const {
  return m_OrderMap.empty() ? 0 : m_Tabs[static_cast<size_t>(m_OrderMap.back())].TabRight;
}

void UC_ListView::SetTabWidthAuto() {
  if (m_ItemCount < 1) return;
  const int tpp = TwipsPerPixel();
  for (int32_t c = 0; c < static_cast<int32_t>(m_Tabs.size()); ++c) {
    double widest = 0;
    for (int32_t i = 0; i < m_ItemCount; ++i)
      widest = std::max(widest, m_PictureList->TextWidth(Value(i, c).toString()));
    if (m_Tabs[static_cast<size_t>(c)].TabOrder == 0 && !m_IconDisabled) widest += 16 * tpp;
    widest += 16 * tpp;
    m_Tabs[static_cast<size_t>(c)].TabWidth = std::max(450, basic::Round32(widest));
  }
  CalcTabPositions();
  ReDrawTab(-1);
  ReDraw();
}

QLineEdit* UC_ListView::TextLV(int32_t i) const {
  return i >= 0 && i < static_cast<int32_t>(m_TextLV.size()) ? m_TextLV[static_cast<size_t>(i)] : nullptr;
}
QComboBox* UC_ListView::ComboLV(int32_t i) const {
  return i >= 0 && i < static_cast<int32_t>(m_ComboLV.size()) ? m_ComboLV[static_cast<size_t>(i)] : nullptr;
}

QListWidget* UC_ListView::ListLV(int32_t i) const {
  return i >= 0 && i < static_cast<int32_t>(m_ListLV.size()) ? m_ListLV[static_cast<size_t>(i)] : nullptr;
}

void UC_ListView::AddComboItem(int32_t c, const QString& text) {
  if (ValidColumn(c) && (m_Tabs[static_cast<size_t>(c)].UseTextCombo & 2))
    if (QComboBox* combo = ComboLV(m_Tabs[static_cast<size_t>(c)].ComboEditIndex)) combo->addItem(text);
}
void UC_ListView::ClearComboItem(int32_t c) {
  if (ValidColumn(c) && (m_Tabs[static_cast<size_t>(c)].UseTextCombo & 2))
    if (QComboBox* combo = ComboLV(m_Tabs[static_cast<size_t>(c)].ComboEditIndex)) combo->clear();
}
void UC_ListView::AddListItem(int32_t c, const QString& text) {
  if (!ValidColumn(c) || !(m_Tabs[static_cast<size_t>(c)].UseTextCombo & 4)) return;
  const int32_t e = m_Tabs[static_cast<size_t>(c)].ListEditIndex;
  if (e >= 0 && e < static_cast<int32_t>(m_ListLV.size())) m_ListLV[static_cast<size_t>(e)]->addItem(text);
}
void UC_ListView::ClearListItem(int32_t c) {
  if (!ValidColumn(c) || !(m_Tabs[static_cast<size_t>(c)].UseTextCombo & 4)) return;
  const int32_t e = m_Tabs[static_cast<size_t>(c)].ListEditIndex;
  if (e >= 0 && e < static_cast<int32_t>(m_ListLV.size())) m_ListLV[static_cast<size_t>(e)]->clear();
}

void UC_ListView::LoadDevToLVCombo(int32_t c, int32_t isIn) {
  if (!ValidColumn(c)) return;
  const TabInfo& t = m_Tabs[static_cast<size_t>(c)];
  QComboBox scratch;
  WaveMMIO::ListAudioDevices(&scratch, isIn ? WaveMMIO::Direction::Input : WaveMMIO::Direction::Output, QString(),
                             false);
  if (t.UseTextCombo & 2) {
    ClearComboItem(c);
    for (int i = 0; i < scratch.count(); ++i) AddComboItem(c, scratch.itemText(i));
  }
  if (t.UseTextCombo & 4) {
    ClearListItem(c);
    for (int i = 0; i < scratch.count(); ++i) AddListItem(c, scratch.itemText(i));
  }
}

int32_t UC_ListView::ComboIndex(int32_t index, int32_t data) const {
  if (!ValidColumn(data) || !(m_Tabs[static_cast<size_t>(data)].UseTextCombo & 2)) return -1;
  if (Resolve(index) < 0) return -1;
  const QComboBox* combo = ComboLV(m_Tabs[static_cast<size_t>(data)].ComboEditIndex);
  if (!combo || combo->count() == 0) return -1;
  return combo->findText(Value(index, data).toString(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void UC_ListView::AddTextEditor() {
  auto* e = new QLineEdit(m_PictureList);
  e->hide();
  const auto k = static_cast<int32_t>(m_TextLV.size());
  connect(e, &QLineEdit::textChanged, this, [this, k] { TextLV_Change(k); });
  e->installEventFilter(this);
  m_TextLV.push_back(e);
}

void UC_ListView::AddComboEditor() {
  // A drop-down combo: a text field with a list, so that a cell value that
  // is not among the entries still shows.
  auto* e = new QComboBox(m_PictureList);
  e->setEditable(true);
  e->setInsertPolicy(QComboBox::NoInsert);
  e->hide();
  const auto k = static_cast<int32_t>(m_ComboLV.size());
  connect(e, QOverload<int>::of(&QComboBox::activated), this, [this, k](int entry) {
    for (int32_t c = 0; c < static_cast<int32_t>(m_Tabs.size()); ++c)
      if ((m_Tabs[static_cast<size_t>(c)].UseTextCombo & 2) && m_Tabs[static_cast<size_t>(c)].ComboEditIndex == k) {
        SetValue(-1, c, m_ComboLV[static_cast<size_t>(k)]->currentText());
        emit ComboChaged(c, entry);
        return;
      }
  });
  // Keys reach the text field, not the combo box itself.
  e->lineEdit()->installEventFilter(this);
  m_ComboLV.push_back(e);
}

void UC_ListView::AddListEditor() {
  auto* e = new QListWidget(m_PictureList);
  e->hide();
  e->resize(e->width(), 20);
  const auto k = static_cast<int32_t>(m_ListLV.size());
  connect(e, &QListWidget::itemClicked, this, [this, k](QListWidgetItem* item) {
    for (int32_t c = 0; c < static_cast<int32_t>(m_Tabs.size()); ++c)
      if ((m_Tabs[static_cast<size_t>(c)].UseTextCombo & 4) && m_Tabs[static_cast<size_t>(c)].ListEditIndex == k) {
        SetValue(-1, c, item->text());
        emit ComboChaged(c, m_ListLV[static_cast<size_t>(k)]->row(item));
        return;
      }
  });
  m_ListLV.push_back(e);
}

void UC_ListView::InitTab() {
  const int tpp = TwipsPerPixel();
  for (int& slot : m_FontSlots)
    if (slot < 0) slot = std::max(0, basic::ApplyUiFont(nullptr, -2));
  // The header menu: one entry per display position.
  m_MenuRCTabP->clear();
  for (int32_t i = 0; i < m_NumData; ++i) {
    QAction* a = m_MenuRCTabP->addAction(QString::number(i + 1));
    connect(a, &QAction::triggered, this, [this, i] { MenuRCTab_Click(i); });
  }
  // Editors: one element per column that has that kind, numbered in column order.
  int32_t counters[3] = {0, 0, 0};
  bool anyText = false, anyCombo = false, anyList = false;
  for (TabInfo& t : m_Tabs) {
    if (t.UseTextCombo & 1) {
      anyText = true;
      t.TextEditIndex = counters[0]++;
      while (static_cast<int32_t>(m_TextLV.size()) <= t.TextEditIndex) {
        AddTextEditor();
        if (m_FontSlots[2] >= 0) m_TextLV.back()->setFont(basic::UiFonts()[static_cast<size_t>(m_FontSlots[2])].Handle);
      }
    }
    if (t.UseTextCombo & 2) {
      anyCombo = true;
      t.ComboEditIndex = counters[1]++;
      while (static_cast<int32_t>(m_ComboLV.size()) <= t.ComboEditIndex) AddComboEditor();
    }
    if (t.UseTextCombo & 4) {
      anyList = true;
      t.ListEditIndex = counters[2]++;
      while (static_cast<int32_t>(m_ListLV.size()) <= t.ListEditIndex) AddListEditor();
    }
  }
  // Row metrics.
  const float factor = m_FontSlots[0] >= 0 && m_FontSlots[0] < basic::UiFontCount()
                           ? basic::UiFonts()[static_cast<size_t>(m_FontSlots[0])].HeightFactor
                           : 1.0f;
  const double t = m_PictureList->TextHeight(QStringLiteral("漢")) * factor;
  const int32_t base = basic::Round32(t * 1.4);
  int32_t f = base;
  if (anyCombo) f = m_ComboLV[0]->sizeHint().height() * tpp + 2 * tpp;
  else if (anyList) f = 300 + 2 * tpp;
  else if (anyText) f = m_TextLV[0]->sizeHint().height() * tpp + 4 * tpp;
  f = std::max(f, base);
  m_OneHeight = std::max(m_OneHeight, f);
  m_SelBoxHeight = m_OneHeight;
  m_TextOffsetY = basic::Round32((m_OneHeight - t) / 2);
  if (!anyText && !anyCombo && !anyList) {
    m_EditorOffsetY = m_TextOffsetY - 4 * tpp;
  } else {
    m_EditorOffsetY = m_TextOffsetY - ((anyCombo || anyList) ? 4 : 2) * tpp;
    m_SelBoxHeight += tpp;
  }
  const int editorHeight = (!anyCombo && !anyList) ? (m_OneHeight - 2 * tpp) / tpp
                           : anyCombo              ? m_ComboLV[0]->height()
                                                   : m_ListLV[0]->height();
  for (QLineEdit* e : m_TextLV) e->resize(e->width(), std::max(1, editorHeight));
  CalcTabPositions();
  UserControl_Resize();
}
