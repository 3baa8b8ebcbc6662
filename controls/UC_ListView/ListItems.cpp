// The item store: adding, inserting, deleting, accessors, selection,
// sorting and shuffling.
#include <QDateTime>
#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <random>

#include "controls/UC_ListView/UC_ListView.h"

namespace {

// The current item for -1, the last for -2, the index itself otherwise;
// -3 when that names no item.
int32_t Pick(int32_t index, int32_t selected, int32_t count) {
  if (index == -1) index = selected;
  else if (index == -2) index = count - 1;
  return index >= 0 && index < count ? index : -3;
}

}  // namespace

int32_t UC_ListView::Resolve(int32_t index) const { return Pick(index, m_SelectedItem, m_ItemCount); }

UC_ListView::ListItem UC_ListView::BlankItem() const {
  ListItem item;
  item.IconType = 0;
  item.DispColor = 0;
  item.Data.assign(static_cast<size_t>(std::max(m_NumData, 0)), QVariant());
  item.Aux.assign(static_cast<size_t>(std::max(m_NumAux, 0)), QVariant());
  return item;
}

void UC_ListView::EnsureItemCapacity(int32_t last) {
  const int32_t bound = m_ItemCount <= 0 ? -1 : static_cast<int32_t>(m_Items.size()) - 1;
  if (last < bound) {
    m_Items.resize(static_cast<size_t>(last) + 1);
  } else if (last > bound) {
    // Grow with 200 spare records, every one beyond the items fresh: a
    // record left over from a deleted item must not bring back its mark,
    // icon or line.
    const auto oldSize = static_cast<size_t>(bound + 1);
    m_Items.resize(static_cast<size_t>(last) + 200 + 1);
    for (size_t i = oldSize; i < m_Items.size(); ++i) {
      ListItem& item = m_Items[i];
      item = ListItem{};
      item.Data.assign(static_cast<size_t>(std::max(m_NumData, 0)), QVariant());
      item.Aux.assign(static_cast<size_t>(std::max(m_NumAux, 0)), QVariant());
      item.DispColor = m_ForeColor;
    }
  }
}

void UC_ListView::AddItem(int32_t count) {
  if (count <= 0) return;
  EnsureItemCapacity(m_ItemCount + count - 1);
  m_ItemCount += count;
}

void UC_ListView::InsertItem(int32_t index, int32_t count) {
  if (count <= 0) count = 1;
  if (index == -1) index = m_SelectedItem;
  if (index < 0 || index > m_ItemCount) return;
  const int32_t oldCount = m_ItemCount;
  EnsureItemCapacity(m_ItemCount + count - 1);
  m_ItemCount += count;
  if (m_SelectedItem != -1 && m_SelectedItem >= index) m_SelectedItem += count;
  for (int32_t i = oldCount - 1; i >= index; --i)
    m_Items[static_cast<size_t>(i + count)] = std::move(m_Items[static_cast<size_t>(i)]);
  for (int32_t i = index; i < index + count; ++i) m_Items[static_cast<size_t>(i)] = BlankItem();
}

void UC_ListView::DeleteItem(int32_t index) {
  if (index == -1) {
    index = m_SelectedItem;
  } else if (index < m_SelectedItem) {
    --m_SelectedItem;
    if (m_SelectedItem < 0) m_SelectedItem = -1;
  }
  if (index < 0 || index > m_ItemCount - 1) return;
  for (int32_t i = index; i < m_ItemCount - 1; ++i)
    m_Items[static_cast<size_t>(i)] = std::move(m_Items[static_cast<size_t>(i + 1)]);
  --m_ItemCount;
  if (m_ItemCount >= 1) EnsureItemCapacity(m_ItemCount - 1);
  // The current item was the last one: there is none now, rather than a
  // cursor past the end that the next added item would inherit.
  if (m_SelectedItem >= m_ItemCount) m_SelectedItem = -1;
}

void UC_ListView::DeleteItemEx(int32_t from, int32_t to) {
  if (m_ItemCount < 1) return;
  from = std::clamp(from, 0, m_ItemCount - 1);
  to = std::clamp(to, 0, m_ItemCount - 1);
  if (to < from) return;
  const int32_t n = to - from + 1;
  for (int32_t i = from; i + n < m_ItemCount; ++i)
    m_Items[static_cast<size_t>(i)] = std::move(m_Items[static_cast<size_t>(i + n)]);
  m_ItemCount -= n;
  if (m_ItemCount >= 1) EnsureItemCapacity(m_ItemCount - 1);
  if (m_SelectedItem >= m_ItemCount) m_SelectedItem = -1;  // as DeleteItem
}

void UC_ListView::DeleteAll() {
  m_Items.clear();
  m_OrderData = -1;
  m_ItemCount = 0;
  m_TopItem = 0;
  m_LastTop = 0;
  m_SelectedItem = -1;
  m_RangeMode = 0;
  m_ToggleMode = 0;
}

void UC_ListView::DeleteSelected() {
  if (m_ItemCount < 1) return;
  int32_t kept = 0;
  for (int32_t i = 0; i < m_ItemCount; ++i)
    if (m_Items[static_cast<size_t>(i)].IsSelected == 0)
      m_Items[static_cast<size_t>(kept++)] = std::move(m_Items[static_cast<size_t>(i)]);
  m_ItemCount = kept;
  if (m_ItemCount >= 1) EnsureItemCapacity(m_ItemCount - 1);
  m_SelectedItem = -1;
}

UC_ListView::ListItem* UC_ListView::ItemAt(int32_t index) {
  const int32_t i = Resolve(index);
  return i < 0 ? nullptr : &m_Items[static_cast<size_t>(i)];
}

const UC_ListView::ListItem* UC_ListView::ItemAt(int32_t index) const {
  const int32_t i = Resolve(index);
  return i < 0 ? nullptr : &m_Items[static_cast<size_t>(i)];
}

QVariant UC_ListView::Value(int32_t index, int32_t data) const {
  const QVariant* cell = CellOf(ItemAt(index), false, data, m_NumData);
  return cell ? *cell : QVariant();
}

void UC_ListView::SetValue(int32_t index, int32_t data, const QVariant& value) {
  if (QVariant* cell = CellOf(ItemAt(index), false, data, m_NumData)) *cell = value;
}

QVariant UC_ListView::AuxID(int32_t index, int32_t aux) const {
  const QVariant* cell = CellOf(ItemAt(index), true, aux, m_NumAux);
  return cell ? *cell : QVariant();
}

void UC_ListView::SetAuxID(int32_t index, int32_t aux, const QVariant& value) {
  if (QVariant* cell = CellOf(ItemAt(index), true, aux, m_NumAux)) *cell = value;
}

int32_t UC_ListView::IconType(int32_t index) const {
  const ListItem* item = ItemAt(index);
  return item ? item->IconType : 0;
}

void UC_ListView::SetIconType(int32_t index, int32_t icon) {
  if (ListItem* item = ItemAt(index)) item->IconType = icon;
}

uint32_t UC_ListView::DispColor(int32_t index) const {
  const ListItem* item = ItemAtNoLast(index);
  return item ? item->DispColor : 0;
}

void UC_ListView::SetDispColor(int32_t index, uint32_t color) {
  if (ListItem* item = ItemAt(index)) item->DispColor = color;
}

uint32_t UC_ListView::HLine(int32_t index) const {
  const ListItem* item = ItemAtNoLast(index);
  return item ? item->HLine : 0;
}

void UC_ListView::SetHLine(int32_t index, uint32_t color) {
  if (ListItem* item = ItemAt(index)) item->HLine = color;
}

int32_t UC_ListView::IsSelected(int32_t index) const {
  const ListItem* item = ItemAtNoLast(index);
  return item ? item->IsSelected : 0;
}

void UC_ListView::SetIsSelected(int32_t index, int32_t mark) {
  if (ListItem* item = ItemAt(index)) item->IsSelected = mark;
  if (index == -1 && mark == 0) m_SelectedItem = -1;
}

void UC_ListView::SetSelectedItem(int32_t item) {
  m_SelectedItem = std::clamp(item, -1, m_ItemCount - 1);
  if (m_SelectedItem >= 0) m_Items[static_cast<size_t>(m_SelectedItem)].IsSelected = 1;
}

void UC_ListView::UnSelectAll() {
  for (int32_t i = 0; i < m_ItemCount; ++i) m_Items[static_cast<size_t>(i)].IsSelected = 0;
  m_SelectedItem = -1;
}

void UC_ListView::SelectAll() {
  for (int32_t i = 0; i < m_ItemCount; ++i) m_Items[static_cast<size_t>(i)].IsSelected = 1;
}

int32_t UC_ListView::NumSelectedItems() const {
  int32_t n = 0;
  for (int32_t i = 0; i < m_ItemCount; ++i) n += m_Items[static_cast<size_t>(i)].IsSelected == 1;
  return n;
}

bool UC_ListView::MultiSelected() const {
  int32_t n = 0;
  for (int32_t i = 0; i < m_ItemCount && n < 2; ++i) n += m_Items[static_cast<size_t>(i)].IsSelected == 1;
  return n > 1;
}

void UC_ListView::ExchangeItem(int32_t plus) {
  const int32_t target = m_SelectedItem + plus;
  if (m_ItemCount <= 1 || m_SelectedItem < 0 || m_SelectedItem >= m_ItemCount || target < 0 || target > m_ItemCount - 1)
    return;
  for (int32_t i = 0; i < m_ItemCount; ++i) m_Items[static_cast<size_t>(i)].IsSelected = 0;
  std::swap(m_Items[static_cast<size_t>(m_SelectedItem)], m_Items[static_cast<size_t>(target)]);
  m_SelectedItem = target;
  m_Items[static_cast<size_t>(target)].IsSelected = 1;
}

void UC_ListView::MoveCursor(int32_t isDown) {
  if (m_ItemCount < 1) return;
  const int32_t next = std::clamp(m_SelectedItem + (isDown ? 1 : -1), 0, m_ItemCount - 1);
  for (int32_t i = 0; i < m_ItemCount; ++i) m_Items[static_cast<size_t>(i)].IsSelected = 0;
  m_Items[static_cast<size_t>(next)].IsSelected = 1;
  m_SelectedItem = next;
}

void UC_ListView::ReOrder(int32_t orderItem, int32_t force, int32_t reverse) {
  if (!ValidColumn(orderItem)) return;
  if (m_SelectedItem >= 0 && m_SelectedItem < m_ItemCount) m_Items[static_cast<size_t>(m_SelectedItem)].IsSelected = 2;
  bool descending = reverse == 1;
  if (reverse == -1) descending = orderItem == m_OrderData && m_OrderInverted != 1 && force != 1;
  m_OrderData = orderItem;
  const bool numeric = m_Tabs[static_cast<size_t>(orderItem)].DataNumeric != 0;
  const auto col = static_cast<size_t>(orderItem);
  // Keys are made once per item and the records moved once at the end; the
  // shell sort itself runs on (key, record) positions. A value that is no
  // number ends the sort at the comparison that meets it, as far as it got.
  const auto n = static_cast<size_t>(m_ItemCount);
  std::vector<size_t> order(n);
  std::vector<double> numbers;
  std::vector<bool> isNumber;
  std::vector<QString> texts;
  if (numeric) {
    numbers.resize(n);
    isNumber.resize(n);
    for (size_t i = 0; i < n; ++i) {
      bool ok = false;
      numbers[i] = m_Items[i].Data[col].toString().trimmed().toDouble(&ok);
      isNumber[i] = ok;
    }
  } else {
    texts.resize(n);
    for (size_t i = 0; i < n; ++i) texts[i] = m_Items[i].Data[col].toString().toLower();
  }
  for (size_t i = 0; i < n; ++i) order[i] = i;
  bool completed = true;
  const auto greater = [&](size_t a, size_t b, bool& ok) {
    if (numeric) {
      if (!isNumber[a] || !isNumber[b]) {
        ok = false;
        return false;
      }
      return numbers[a] > numbers[b];
    }
    return texts[a].compare(texts[b]) > 0;
  };
  int64_t h = 1;
  while (h <= m_ItemCount - 1) h = 3 * h + 1;
  while (h > 1 && completed) {
    h = static_cast<int64_t>(std::nearbyint(h / 3.0));
    for (int64_t i = h; i < m_ItemCount && completed; ++i) {
      const size_t moving = order[static_cast<size_t>(i)];
      int64_t j = i;
      bool ok = true;
      if (numeric && !isNumber[moving]) {
        completed = false;
        break;
      }
      while (j >= h && greater(order[static_cast<size_t>(j - h)], moving, ok)) {
        order[static_cast<size_t>(j)] = order[static_cast<size_t>(j - h)];
        j -= h;
      }
      order[static_cast<size_t>(j)] = moving;
      if (!ok) completed = false;
    }
  }
  std::vector<ListItem> sorted(n);
  for (size_t i = 0; i < n; ++i) sorted[i] = std::move(m_Items[order[i]]);
  for (size_t i = 0; i < n; ++i) m_Items[i] = std::move(sorted[i]);
  if (!completed) return;  // partly sorted; the cursor mark stays 2 as the sort left it
  if (descending) {
    std::reverse(m_Items.begin(), m_Items.begin() + m_ItemCount);
    m_OrderInverted = 1;
  } else {
    m_OrderInverted = 0;
  }
  for (int32_t i = 0; i < m_ItemCount; ++i)
    if (m_Items[static_cast<size_t>(i)].IsSelected == 2) {
      m_Items[static_cast<size_t>(i)].IsSelected = 1;
      m_SelectedItem = i;
    }
}

void UC_ListView::RndItem() {
  if (m_ItemCount < 3) return;
  m_OrderData = -1;
  m_OrderInverted = 0;
  const auto c = static_cast<int32_t>(std::nearbyint(m_ItemCount / 100.0 + 7));
  std::mt19937_64 rng(static_cast<uint64_t>(QDateTime::currentMSecsSinceEpoch()) ^
                      QRandomGenerator::global()->generate64());
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  for (int32_t b = 0; b < m_ItemCount; ++b) {
    const auto d = static_cast<int32_t>(std::nearbyint(uniform(rng) * (m_ItemCount - 1) + (b % c)));
    if (d < m_ItemCount) std::swap(m_Items[static_cast<size_t>(b)], m_Items[static_cast<size_t>(d)]);
  }
}

int32_t UC_ListView::YsItem(double y) const {
  if (m_OneHeight <= 0) return m_TopItem;
  const auto v = static_cast<int64_t>(std::nearbyint(y)) / m_OneHeight + m_TopItem;
  return static_cast<int32_t>(std::clamp<int64_t>(v, 0, m_ItemCount));
}
