#pragma once
// A multi-column list under a strip of column headers. Each item carries
// NumData shown values, NumAux hidden values, a selection mark, an icon, a
// text colour and an optional separator line colour. Lengths are twips.
//
// The implementation is split by concern: ListItems.cpp (the item store),
// ListColumns.cpp (columns, editors, row metrics), ListDrawing.cpp (surfaces,
// drawing, scrolling) and ListInput.cpp (mouse, keys, drag-and-drop, editors).
#include <QStringList>
#include <QVariant>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

class QComboBox;
class QLineEdit;
class QListWidget;
class QMenu;
class QMimeData;
class QScrollBar;
class QTimer;
class UC_Slider;
namespace basic {
class PictureBox;
}

// A stored setting with its reader and writer.
#define ZARIN_LV_PROPERTY(Type, Name, Default) \
 public:                                       \
  Type Name() const { return m_##Name; }       \
  void Set##Name(Type v) { m_##Name = v; }     \
                                               \
 private:                                      \
  Type m_##Name = Default;                     \
                                               \
 public:

class UC_ListView : public QWidget {
  Q_OBJECT

 public:
  explicit UC_ListView(QWidget* parent = nullptr);
  ~UC_ListView() override;

  // ---- Control-wide settings: Name() reads, SetName(v) writes ----
  ZARIN_LV_PROPERTY(int32_t, NumData, 1)
  ZARIN_LV_PROPERTY(int32_t, NumAux, 1)
  ZARIN_LV_PROPERTY(int32_t, UseUCBar, 0)
  ZARIN_LV_PROPERTY(int32_t, HbarDisabled, 0)
  ZARIN_LV_PROPERTY(int32_t, VbarDisabled, 0)
  ZARIN_LV_PROPERTY(int32_t, UseMadara, 0)
  ZARIN_LV_PROPERTY(int32_t, NoMultiSelect, 0)
  ZARIN_LV_PROPERTY(int32_t, BorderIfBlank, 0)
  ZARIN_LV_PROPERTY(int32_t, NoOleScroll, 0)
  ZARIN_LV_PROPERTY(int32_t, OneHeight, 0)
  ZARIN_LV_PROPERTY(uint32_t, SelectedColor, 0xC0A0A0)
  ZARIN_LV_PROPERTY(int32_t, SelectedColorMode, 9)
  ZARIN_LV_PROPERTY(int32_t, NumWheelScroll, 3)
  ZARIN_LV_PROPERTY(int32_t, BarNoDoEvents, 0)
  ZARIN_LV_PROPERTY(int32_t, NoAlign4Tab, 0)
  ZARIN_LV_PROPERTY(int32_t, UseScroll, 0)
  ZARIN_LV_PROPERTY(uint32_t, VLineColor, 0x8000000F)
  ZARIN_LV_PROPERTY(int32_t, InvertSelectedData, 0)
  ZARIN_LV_PROPERTY(int32_t, ShowToolTip, 0)
  ZARIN_LV_PROPERTY(int32_t, UseTabOrder, 0)
  ZARIN_LV_PROPERTY(int32_t, HideTextCombo, 0)
  ZARIN_LV_PROPERTY(int32_t, SortDisabled, 0)
  ZARIN_LV_PROPERTY(int32_t, IconDisabled, 0)
  ZARIN_LV_PROPERTY(int32_t, ClickDisabled, 0)
  ZARIN_LV_PROPERTY(int32_t, TabDisabled, 0)
  ZARIN_LV_PROPERTY(int32_t, OrderData, -1)
  ZARIN_LV_PROPERTY(int32_t, OrderInverted, 0)

  int32_t ItemCount() const { return m_ItemCount; }
  int32_t TopItem() const { return m_TopItem; }
  int32_t SelectedData() const { return m_SelectedData < m_NumData ? m_SelectedData : 0; }
  int32_t NumSelectedItems() const;
  bool MultiSelected() const;
  bool TextComboVisible() const;

  // ---- Set-up ----
  void Init();
  void SetStyle(float size, bool bold, const QString& face, uint32_t foreColor, uint32_t backColor);
  void InitTab();
  void ResetNumTab();

  // ---- Items (index -1: the current item, -2: the last item) ----
  void AddItem(int32_t count = 1);
  void InsertItem(int32_t index, int32_t count = 1);
  void DeleteItem(int32_t index);
  void DeleteItemEx(int32_t from, int32_t to);
  void DeleteAll();
  void DeleteSelected();
  QVariant Value(int32_t index, int32_t data) const;
  void SetValue(int32_t index, int32_t data, const QVariant& value);
  QVariant AuxID(int32_t index, int32_t aux) const;
  void SetAuxID(int32_t index, int32_t aux, const QVariant& value);
  int32_t IconType(int32_t index) const;
  void SetIconType(int32_t index, int32_t icon);
  uint32_t DispColor(int32_t index) const;
  void SetDispColor(int32_t index, uint32_t color);
  uint32_t HLine(int32_t index) const;
  void SetHLine(int32_t index, uint32_t color);
  int32_t IsSelected(int32_t index) const;
  void SetIsSelected(int32_t index, int32_t mark);
  int32_t SelectedItem() const { return m_SelectedItem; }
  void SetSelectedItem(int32_t item);
  void UnSelectAll();
  void SelectAll();
  void ExchangeItem(int32_t plus);
  void MoveCursor(int32_t isDown);
  void ReOrder(int32_t orderItem, int32_t force, int32_t reverse);
  void RndItem();
  int32_t YsItem(double y) const;
  // The line at y (twips in the list's picture, as its mouse events give
  // it), as a click picks it; -1 when no line is there (below the last).
  int32_t LineAt(double y) const;
  int32_t ComboIndex(int32_t index, int32_t data) const;
  // Storage slots currently allocated (tests of the growth rule).
  int32_t Capacity() const { return static_cast<int32_t>(m_Items.size()); }

  // ---- Columns ----
  QString TabName(int32_t c) const;
  void SetTabName(int32_t c, const QString& name);
  int32_t TabWidth(int32_t c) const;
  void SetTabWidth(int32_t c, int32_t twips);
  int32_t TabHidden(int32_t c) const;
  void SetTabHidden(int32_t c, int32_t hidden);
  int32_t TabAlign(int32_t c) const;
  void SetTabAlign(int32_t c, int32_t align);
  int32_t DataNumeric(int32_t c) const;
  void SetDataNumeric(int32_t c, int32_t numeric);
  void SetTextIsTime(int32_t c, int32_t isTime);
  int32_t FrontObj(int32_t c) const;
  void SetFrontObj(int32_t c, int32_t obj);
  int32_t TabOrder(int32_t c) const;
  void SetTabOrder(int32_t c, int32_t position);
  int32_t OrderMap(int32_t position) const;
  int32_t TabLeft(int32_t c) const;
  int32_t TabRight(int32_t c) const;
  void SetUseTextCombo(int32_t c, int32_t flags);
  void CalcTabPositions();
  void SetTabWidthAuto();
  void AddComboItem(int32_t c, const QString& text);
  void ClearComboItem(int32_t c);
  void AddListItem(int32_t c, const QString& text);
  void ClearListItem(int32_t c);
  void LoadDevToLVCombo(int32_t c, int32_t isIn);
  int32_t SelBoxHeight() const { return m_SelBoxHeight; }
  int32_t TextOffsetY() const { return m_TextOffsetY; }
  int32_t EditorOffsetY() const { return m_EditorOffsetY; }
  QLineEdit* TextLV(int32_t i) const;
  QComboBox* ComboLV(int32_t i) const;
  QListWidget* ListLV(int32_t i) const;

  // ---- Drawing and scrolling ----
  void UserControl_Resize();
  void SetVbarParm();
  void ReDraw();
  void ReDrawTab(int32_t pushedData);
  void Refresh();
  void VBarMove(int32_t delta);
  void HBarMove(int32_t delta);
  void VBarScroll(int32_t delta);
  void HBarScroll(int32_t delta);
  void ShowSelected(int32_t ifHidden);
  void ShowItem(int32_t topItem, int32_t ifHidden);
  void SetTopItem(int32_t item, int32_t setToTop, int32_t ifHidden);
  void SyncVertical();
  void SyncHorizontal();
  int32_t VisibleRows() const { return m_VisibleRows; }
  int32_t HScrollPos() const { return m_HScrollPos; }
  bool VBarVisible() const;
  bool HBarVisible() const;
  int32_t VBarMax() const;
  int32_t VBarLargeChange() const;
  int32_t HBarMax() const;
  int32_t VBarValue() const;
  basic::PictureBox* PictureList() const { return m_PictureList; }
  basic::PictureBox* PictureTab() const { return m_PictureTab; }

  // ---- Hit tests ----
  int32_t TabAt(double x) const;
  int32_t TabBorderAt(double x) const;

 signals:
  void DblClicked();
  void TabMoved();
  void TabReOrderd();
  void RightClicked(double X, double Y);
  void MouseDown(int Button, int Shift, double X, double Y);
  void Clicked(double X, double Y);
  void OLEStartDrag(QMimeData* Data, int AllowedEffects);
  void OLECompleteDrag(int Effect);
  void OLEDragDrop(const QStringList& paths, int Effect, int Button, int Shift, double X, double Y);
  void ComboChaged(int pData, int pValue);
  void TextComboKeyAction(int pIsCombo, int pTab, int pAction, int& KeyValue, int& Shift);
  void OLEDragOver();

 public:
  // Row and header handlers (the surfaces' mouse events end here).
  void List_MouseDown(int button, int shift, double x, double y);
  void List_MouseUp(int button, int shift, double x, double y);
  void List_MouseMove(int button, int shift, double x, double y);
  void List_DblClick();
  void List_DragOver(double x, double y, double nowSeconds);
  // While a drag hovers over the rows the window system reports it again
  // only when something changes; this timer repeats the last report so that
  // a pointer resting in a scrolling zone keeps scrolling. Both read the
  // list's clock.
  void DragScrollTimer_Timer();
  bool DragScrollTimerActive() const;
  // The clock the drag scrolling reads, in seconds (a steady clock unless
  // set; tests set their own).
  using Clock = std::function<double()>;
  void SetClock(Clock clock);
  void Tab_MouseDown(int button, int shift, double x, double y);
  void Tab_MouseMove(int button, int shift, double x, double y);
  void Tab_MouseUp(int button, int shift, double x, double y);
  void MenuRCTab_Click(int position);
  void TextLV_Change(int32_t element);
  // Start-of-drag threshold reached (tests observe it).
  bool DragStarted() const { return m_DragStarted; }
  bool SizingPointer() const { return m_SizingPointer; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct ListItem {
    int32_t IsSelected = 0;
    int32_t IconType = -1;
    uint32_t DispColor = 0;
    uint32_t HLine = 0;
    std::vector<QVariant> Data;
    std::vector<QVariant> Aux;
  };
  struct TabInfo {
    QString TabName;
    int32_t TabOrder = 0;
    int32_t TabHidden = 0;
    int32_t TabWidth = 0;
    int32_t TabLeft = 0;
    int32_t TabRight = 0;
    int32_t TabAlign = 0;
    int32_t UseTextCombo = 0;
    int32_t FrontObj = 0;
    int32_t TextEditIndex = 0;
    int32_t ComboEditIndex = 0;
    int32_t ListEditIndex = 0;
    int32_t TextIsTime = 0;
    int32_t DataNumeric = 0;
  };

  // Items
  int32_t Resolve(int32_t index) const;  // -1/-2 to an item, or -3 for none
  // The item an index names (-1 current, -2 last), or nullptr.
  ListItem* ItemAt(int32_t index);
  const ListItem* ItemAt(int32_t index) const;
  // For the colour, line and mark reads, which take -1 and explicit indexes only.
  const ListItem* ItemAtNoLast(int32_t index) const { return index == -2 ? nullptr : ItemAt(index); }
  // Value `column` of the item's data (or aux) values, or nullptr.
  template <typename Item>
  static auto CellOf(Item* item, bool aux, int32_t column, int32_t count) -> decltype(&item->Data[0]) {
    if (!item || column < 0 || column >= count) return nullptr;
    auto& cells = aux ? item->Aux : item->Data;
    return static_cast<size_t>(column) < cells.size() ? &cells[static_cast<size_t>(column)] : nullptr;
  }
  bool ValidColumn(int32_t c) const { return c >= 0 && c < static_cast<int32_t>(m_Tabs.size()); }
  void EnsureItemCapacity(int32_t last);
  ListItem BlankItem() const;
  // Columns and their editors (the next element of each editor array)
  int32_t TotalWidth() const;
  void AddTextEditor();
  void AddComboEditor();
  void AddListEditor();
  // Drawing
  void CreateBars();
  void LayoutSurfaces();
  void DrawSelectionSpan(int32_t y1, int32_t y2, uint32_t color, int mode);
  int32_t RowAt(double y) const;
  // Bars
  void SetBarValue(bool vertical, int32_t v);
  int32_t BarValue(bool vertical) const;
  int32_t BarMax(bool vertical) const;
  int32_t BarMin(bool vertical) const;

  std::vector<ListItem> m_Items;
  int32_t m_ItemCount = 0;
  int32_t m_SelectedItem = -1;
  int32_t m_TopItem = 0;
  int32_t m_LastTop = 0;
  int32_t m_HScrollPos = 0;
  int32_t m_VisibleRows = 0;
  int32_t m_SelBoxHeight = 0;
  int32_t m_TextOffsetY = 0;
  int32_t m_EditorOffsetY = 0;
  int32_t m_TextMargin = 22;
  int32_t m_SelectedData = 0;
  uint32_t m_ForeColor = 0x80000008;
  int32_t m_FontSlots[5] = {-1, -1, -1, -1, -1};
  bool m_Initialised = false;
  bool m_StyleSet = false;
  std::vector<TabInfo> m_Tabs{TabInfo{}};
  std::vector<int32_t> m_OrderMap{0};

  // Interaction state
  int32_t m_MouseIsDown = 0;
  double m_DownX = -1, m_DownY = -1, m_DownTop = 0, m_DownLeft = 0;
  int32_t m_RangeMode = 0, m_ToggleMode = 0;
  int32_t m_ResizingTab = -1;
  double m_DragMarkTime = 0, m_DragMarkX = -1, m_DragMarkY = -1;
  double m_DragX = 0, m_DragY = 0;  // where the hovering drag was last reported
  QTimer* m_DragScrollTimer = nullptr;
  Clock m_Clock;
  int32_t m_RightClickedTab = 0;
  bool m_DragStarted = false;
  bool m_SizingPointer = false;

  // Surfaces and children
  basic::PictureBox* m_PictureAll;
  basic::PictureBox* m_PictureTab;
  basic::PictureBox* m_PictureTabGrad;
  basic::PictureBox* m_PictureList;
  basic::PictureBox* m_PictureIcons;
  std::vector<QLineEdit*> m_TextLV;
  std::vector<QComboBox*> m_ComboLV;
  std::vector<QListWidget*> m_ListLV;
  QMenu* m_MenuRCTabP;
  UC_Slider* m_HBar1 = nullptr;
  UC_Slider* m_VBar1 = nullptr;
  QScrollBar* m_HBar2 = nullptr;
  QScrollBar* m_VBar2 = nullptr;
};
