#include "controls/UC_ListView/UC_ListView.h"

#include <QKeyEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QUrl>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "support/Colors.h"
#include "tests/controls/ControlTestUtil.h"
#include "widgets/PictureBox.h"

using namespace zarin_test;

namespace {

// A list with `n` items whose column 0 holds "item i" and column 1 the number i.
class ListTest : public ::testing::Test {
 protected:
  void SetUp() override { basic::SetTwipsPerPixel(15); }
  void Make(int columns, int items) {
    lv.resize(282, 270);
    lv.SetNumData(columns);
    lv.SetNumAux(2);
    lv.Init();
    for (int c = 0; c < columns; ++c) lv.SetTabWidth(c, 1500);
    lv.InitTab();
    lv.AddItem(items);
    for (int i = 0; i < items; ++i) {
      lv.SetValue(i, 0, QStringLiteral("item %1").arg(i));
      if (columns > 1) lv.SetValue(i, 1, i);
    }
    lv.SetVbarParm();  // as a host does after adding items
    lv.ReDraw();
  }
  QStringList Column0() const {
    QStringList l;
    for (int i = 0; i < lv.ItemCount(); ++i) l << lv.Value(i, 0).toString();
    return l;
  }
  int RowY(int row) const { return (row * lv.OneHeight() + lv.OneHeight() / 2) / 15; }
  UC_ListView lv;
};

TEST_F(ListTest, InsertingAndDeletingMoveTheCursor) {
  Make(1, 5);
  lv.InsertItem(5);  // = ItemCount: appends
  EXPECT_EQ(lv.ItemCount(), 6);
  lv.InsertItem(7);  // beyond: nothing
  EXPECT_EQ(lv.ItemCount(), 6);
  lv.DeleteItem(5);
  lv.InsertItem(2, 3);
  EXPECT_EQ(Column0(), (QStringList{"item 0", "item 1", "", "", "", "item 2", "item 3", "item 4"}));
  lv.DeleteItemEx(2, 4);
  lv.SetSelectedItem(4);
  lv.InsertItem(4);
  EXPECT_EQ(lv.SelectedItem(), 5);
  lv.DeleteItem(4);
  lv.SetSelectedItem(4);
  lv.DeleteItem(2);
  EXPECT_EQ(lv.SelectedItem(), 3);
  lv.AddItem(2);
  lv.SetSelectedItem(4);
  lv.DeleteItem(4);  // the current item itself: the cursor stays
  EXPECT_EQ(lv.SelectedItem(), 4);
}

TEST_F(ListTest, IndexConventions) {
  Make(2, 3);
  lv.SetDispColor(-2, 0x123456);
  EXPECT_EQ(lv.Value(-2, 0).toString(), "item 2");
  EXPECT_EQ(lv.DispColor(-2), 0u);  // -2 reads 0
  EXPECT_EQ(lv.DispColor(2), 0x123456u);
  EXPECT_FALSE(lv.Value(-1, 0).isValid());  // no current item
  lv.SetSelectedItem(1);
  EXPECT_EQ(lv.Value(-1, 0).toString(), "item 1");
  EXPECT_FALSE(lv.Value(1, 2).isValid());
  lv.SetAuxID(1, 1, QStringLiteral("/data/01.dat"));
  EXPECT_EQ(lv.AuxID(1, 1).toString(), "/data/01.dat");
  lv.SetAuxID(1, 5, 1);  // no such aux: unchanged
  EXPECT_FALSE(lv.AuxID(1, 5).isValid());
  lv.SetIsSelected(-1, 0);
  EXPECT_EQ(lv.SelectedItem(), -1);
  EXPECT_EQ(lv.SelectedItem(), -1);
  lv.SetSelectedItem(99);
  EXPECT_EQ(lv.SelectedItem(), 2);
}

TEST_F(ListTest, YsItemTruncatesTowardZero) {
  Make(1, 5);
  const int h = lv.OneHeight();
  ASSERT_GT(h, 0);
  EXPECT_EQ(lv.YsItem(-h + 1), 0);
  EXPECT_EQ(lv.YsItem(h - 1), 0);
  EXPECT_EQ(lv.YsItem(h), 1);
  EXPECT_EQ(lv.YsItem(100 * h), 5);  // below the last row: ItemCount
  EXPECT_EQ(lv.YsItem(-10 * h), 0);
}

TEST_F(ListTest, SortingCyclesAndKeys) {
  Make(2, 0);
  const QStringList names{"b", "C", "a", "d"};
  const int numbers[] = {10, 9, 100, -1};
  lv.AddItem(4);
  for (int i = 0; i < 4; ++i) {
    lv.SetValue(i, 0, names[i]);
    lv.SetValue(i, 1, numbers[i]);
  }
  lv.SetSelectedItem(1);  // "C"
  lv.ReOrder(0, 0, -1);
  EXPECT_EQ(Column0(), (QStringList{"a", "b", "C", "d"}));
  EXPECT_EQ(lv.SelectedItem(), 2);
  lv.ReOrder(0, 0, -1);
  EXPECT_EQ(Column0(), (QStringList{"d", "C", "b", "a"}));
  EXPECT_EQ(lv.OrderInverted(), 1);
  lv.ReOrder(0, 0, -1);
  EXPECT_EQ(Column0(), (QStringList{"a", "b", "C", "d"}));
  lv.ReOrder(0, 1, -1);
  lv.ReOrder(0, 1, -1);  // forced: always ascending
  EXPECT_EQ(lv.OrderInverted(), 0);
  // Text keys compare "10" < "100" < "9"; numeric keys by value.
  lv.ReOrder(1, 0, 0);
  EXPECT_EQ(lv.Value(0, 1).toInt(), -1);
  EXPECT_EQ(lv.Value(1, 1).toInt(), 10);
  lv.SetDataNumeric(1, 1);
  lv.ReOrder(1, 1, -1);
  EXPECT_EQ(lv.Value(1, 1).toInt(), 9);
  EXPECT_EQ(lv.Value(3, 1).toInt(), 100);
  // A value that is no number stops the sort where it is.
  lv.SetValue(0, 1, "x");
  lv.ReOrder(1, 1, -1);
  EXPECT_EQ(lv.OrderData(), 1);
}

TEST_F(ListTest, ShufflingTwoItemsChangesNothingAndStorageGrowsBy200) {
  Make(1, 2);
  lv.RndItem();
  EXPECT_EQ(Column0(), (QStringList{"item 0", "item 1"}));
  EXPECT_EQ(lv.Capacity(), 202);  // grew with 200 spare
  lv.AddItem(1);
  EXPECT_EQ(lv.Capacity(), 3);  // no growth needed: trimmed
  lv.AddItem(1);
  EXPECT_EQ(lv.Capacity(), 204);
  lv.SetIsSelected(0, 1);
  lv.SetIconType(0, 3);
  lv.DeleteItem(0);
  lv.DeleteItem(0);
  lv.DeleteItem(0);
  lv.DeleteItem(0);
  EXPECT_EQ(lv.ItemCount(), 0);
  lv.DeleteAll();
  EXPECT_EQ(lv.Capacity(), 0);
  EXPECT_EQ(lv.SelectedItem(), -1);
}

TEST_F(ListTest, ExchangeAndMoveCursor) {
  Make(1, 4);
  lv.SetSelectedItem(1);
  lv.ExchangeItem(1);
  EXPECT_EQ(Column0(), (QStringList{"item 0", "item 2", "item 1", "item 3"}));
  EXPECT_EQ(lv.SelectedItem(), 2);
  lv.ExchangeItem(5);  // out of range: nothing
  EXPECT_EQ(lv.SelectedItem(), 2);
  lv.MoveCursor(1);
  lv.MoveCursor(1);
  EXPECT_EQ(lv.SelectedItem(), 3);
  EXPECT_EQ(lv.NumSelectedItems(), 1);
  lv.SelectAll();
  EXPECT_TRUE(lv.MultiSelected());
  lv.DeleteSelected();
  EXPECT_EQ(lv.ItemCount(), 0);
}

TEST_F(ListTest, Columns) {
  Make(3, 0);
  lv.SetTabWidth(0, 100);
  EXPECT_EQ(lv.TabWidth(0), 450);
  lv.SetTabOrder(0, 2);
  EXPECT_EQ(lv.TabOrder(0), 2);
  EXPECT_EQ(lv.TabOrder(1), 0);
  EXPECT_EQ(lv.TabOrder(2), 1);
  EXPECT_EQ(lv.OrderMap(0), 1);
  EXPECT_EQ(lv.OrderMap(1), 2);
  EXPECT_EQ(lv.OrderMap(2), 0);
  lv.CalcTabPositions();
  lv.SetTabHidden(2, 1);
  EXPECT_EQ(lv.TabLeft(2), lv.TabRight(2));
  EXPECT_EQ(lv.TabLeft(0), lv.TabRight(1));  // the next visible column starts where the last one ended
  lv.SetUseTextCombo(1, 3);
  EXPECT_EQ(lv.FrontObj(1), 2);
}

TEST_F(ListTest, RowMetricsWithTextEditorsOnly) {
  lv.resize(282, 270);
  lv.SetNumData(2);
  lv.Init();
  lv.SetTabWidth(0, 1500);
  lv.SetTabWidth(1, 1500);
  lv.SetUseTextCombo(0, 1);
  lv.SetUseTextCombo(1, 1);
  lv.InitTab();
  EXPECT_EQ(lv.EditorOffsetY(), lv.TextOffsetY() - 30);
  EXPECT_EQ(lv.TextLV(1)->height(), (lv.OneHeight() - 30) / 15);
  EXPECT_EQ(lv.SelBoxHeight(), lv.OneHeight() + 15);
}

TEST_F(ListTest, ScrollBarSizes) {
  Make(1, 10);
  // Make room for exactly 4 rows.
  lv.resize(282, (270 + 4 * lv.OneHeight() + 60) / 15 + 1);
  lv.UserControl_Resize();
  ASSERT_EQ(lv.VisibleRows(), 4);
  EXPECT_TRUE(lv.VBarVisible());
  EXPECT_EQ(lv.VBarMax(), 7);
  EXPECT_EQ(lv.VBarLargeChange(), 3);
  lv.DeleteItemEx(3, 9);
  lv.UserControl_Resize();
  EXPECT_FALSE(lv.VBarVisible());
  EXPECT_EQ(lv.TopItem(), 0);
}

// Room for exactly `rows` rows under the header.
void FitRows(UC_ListView& lv, int rows) {
  lv.resize(282, (270 + rows * lv.OneHeight() + 60) / 15 + 1);
  lv.UserControl_Resize();
}

// Deletes items from..to as the window's Delete does (from the end), then
// updates the bar and redraws.
void DeleteRange(UC_ListView& lv, int from, int to) {
  for (int i = to; i >= from; --i) lv.DeleteItem(i);
  lv.SetVbarParm();
  lv.ReDraw();
}

// Dark pixels in the first 100 pixels of a row's text.
int InkInRow(UC_ListView& lv, int row) {
  int ink = 0;
  for (int y = row * lv.OneHeight() / 15; y < (row + 1) * lv.OneHeight() / 15; ++y)
    for (int x = 0; x < 100; ++x) ink += (lv.PictureList()->Pixel(x, y) & 0xFFu) < 0x80u;
  return ink;
}

TEST_F(ListTest, DeletingWhileScrolledBringsTheRemainingItemsBack) {
  Make(1, 20);
  FitRows(lv, 8);
  ASSERT_EQ(lv.VisibleRows(), 8);
  lv.ShowItem(12, 0);
  ASSERT_EQ(lv.TopItem(), 12);
  DeleteRange(lv, 6, 19);  // 6 items left, fewer than the rows: the bar goes
  EXPECT_FALSE(lv.VBarVisible());
  EXPECT_EQ(lv.TopItem(), 0);
  for (int row = 0; row < 6; ++row) EXPECT_GT(InkInRow(lv, row), 5) << "row " << row;
  EXPECT_EQ(InkInRow(lv, 6), 0);
  Press(lv.PictureList(), {50, RowY(0)});
  Release(lv.PictureList(), {50, RowY(0)});
  EXPECT_EQ(lv.SelectedItem(), 0);

  // With the bar still needed its range shrinks, and the top follows it.
  lv.AddItem(14);
  for (int i = 6; i < 20; ++i) lv.SetValue(i, 0, QStringLiteral("item %1").arg(i));
  lv.SetVbarParm();
  lv.ShowItem(12, 0);
  ASSERT_EQ(lv.TopItem(), 12);
  DeleteRange(lv, 10, 19);  // 10 left: the last top is 10 - 8 + 1
  EXPECT_TRUE(lv.VBarVisible());
  EXPECT_EQ(lv.VBarMax(), 3);
  EXPECT_EQ(lv.TopItem(), 3);
  EXPECT_EQ(lv.VBarValue(), 3);
  for (int row = 0; row < 7; ++row) EXPECT_GT(InkInRow(lv, row), 5) << "row " << row;
}

TEST_F(ListTest, AnItemAddedAfterTheListWasEmptiedIsNeitherSelectedNorCurrent) {
  Make(1, 1);
  Press(lv.PictureList(), {50, RowY(0)});
  Release(lv.PictureList(), {50, RowY(0)});
  ASSERT_EQ(lv.SelectedItem(), 0);
  ASSERT_EQ(lv.PictureList()->Pixel(150, RowY(0)), 0xC0A0A0u);  // the selection box over white
  DeleteRange(lv, 0, 0);
  EXPECT_EQ(lv.SelectedItem(), -1);
  lv.AddItem(1);  // the next result, as the window adds it
  lv.SetValue(-2, 0, QStringLiteral("02.dat"));
  lv.Refresh();
  EXPECT_EQ(lv.IsSelected(0), 0);
  EXPECT_EQ(lv.SelectedItem(), -1);
  EXPECT_EQ(lv.PictureList()->Pixel(150, RowY(0)), 0xFFFFFFu);
  // The same when the last of several items was the current one.
  lv.AddItem(1);
  lv.SetSelectedItem(1);
  DeleteRange(lv, 1, 1);
  lv.AddItem(1);
  EXPECT_EQ(lv.SelectedItem(), -1);
  EXPECT_EQ(lv.IsSelected(1), 0);
}

TEST_F(ListTest, StripesFollowTheTopItem) {
  Make(1, 30);
  lv.SetUseMadara(1);
  lv.ShowItem(1, 0);
  ASSERT_EQ(lv.TopItem(), 1);
  const uint32_t stripe = 0xFFFFCC;  // red 204, green 255, blue 255
  EXPECT_EQ(lv.PictureList()->Pixel(150, RowY(0)), stripe);
  EXPECT_NE(lv.PictureList()->Pixel(150, RowY(1)), stripe);
}

TEST_F(ListTest, HeaderPressedLook) {
  Make(3, 1);
  lv.ReDrawTab(2);
  const int x = lv.TabLeft(2) / 15;
  // A pressed header has the sunken edge: shadow on its top-left.
  EXPECT_EQ(lv.PictureTab()->Pixel(x, 0), basic::SysColor(basic::COLOR_BTNSHADOW));
  EXPECT_NE(lv.PictureTab()->Pixel(lv.TabLeft(1) / 15, 0), basic::SysColor(basic::COLOR_BTNSHADOW));
}

TEST_F(ListTest, ShiftAndControlClicks) {
  Make(1, 12);
  QWidget* rows = lv.PictureList();
  lv.SetSelectedItem(3);
  Press(rows, {50, RowY(7)}, Qt::LeftButton, Qt::ShiftModifier);
  Release(rows, {50, RowY(7)}, Qt::LeftButton, Qt::ShiftModifier);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(lv.IsSelected(i), i >= 3 && i <= 7 ? 1 : 0) << i;
  Press(rows, {50, RowY(5)});  // inside the range: kept (can be dragged)
  Release(rows, {50, RowY(5)});
  EXPECT_EQ(lv.NumSelectedItems(), 5);
  Press(rows, {50, RowY(9)});
  Release(rows, {50, RowY(9)});
  EXPECT_EQ(lv.NumSelectedItems(), 1);
  EXPECT_EQ(lv.SelectedItem(), 9);
  Press(rows, {50, RowY(2)}, Qt::LeftButton, Qt::ControlModifier);
  Release(rows, {50, RowY(2)});
  EXPECT_EQ(lv.NumSelectedItems(), 2);
  Press(rows, {50, RowY(5)});  // ends the toggle mode, changes nothing
  Release(rows, {50, RowY(5)});
  EXPECT_EQ(lv.NumSelectedItems(), 2);
  Press(rows, {50, RowY(5)});
  Release(rows, {50, RowY(5)});
  EXPECT_EQ(lv.NumSelectedItems(), 1);
  // With NoMultiSelect, modifiers select one item.
  lv.SetNoMultiSelect(1);
  Press(rows, {50, RowY(8)}, Qt::LeftButton, Qt::ShiftModifier);
  Release(rows, {50, RowY(8)});
  EXPECT_EQ(lv.NumSelectedItems(), 1);
  // A press above 4 px selects the top item.
  Press(rows, {50, 1});
  Release(rows, {50, 1});
  EXPECT_EQ(lv.SelectedItem(), lv.TopItem());
}

TEST_F(ListTest, ADragStartsAfterMoreThanEightPixels) {
  Make(1, 5);
  QWidget* rows = lv.PictureList();
  Press(rows, {50, RowY(1)});
  Drag(rows, {58, RowY(1)});
  EXPECT_FALSE(lv.DragStarted());
  Drag(rows, {59, RowY(1)});
  EXPECT_TRUE(lv.DragStarted());
}

TEST_F(ListTest, HeaderBordersResizeNoNarrowerThan450) {
  Make(2, 1);
  const int border = lv.TabRight(0) / 15;
  Hover(lv.PictureTab(), {border, 5});
  ASSERT_TRUE(lv.SizingPointer());
  Press(lv.PictureTab(), {border, 5});
  Drag(lv.PictureTab(), {2, 5});
  EXPECT_EQ(lv.TabWidth(0), 450);
  QSignalSpy moved(&lv, &UC_ListView::TabMoved);
  Release(lv.PictureTab(), {2, 5});
  EXPECT_EQ(moved.count(), 1);
}

TEST_F(ListTest, TimeColumnsRewriteSixDigits) {
  lv.resize(282, 270);
  lv.SetNumData(1);
  lv.Init();
  lv.SetTabWidth(0, 3000);
  lv.SetUseTextCombo(0, 1);
  lv.SetTextIsTime(0, 1);
  lv.InitTab();
  lv.AddItem(1);
  lv.SetSelectedItem(0);
  lv.TextLV(0)->setText("123456");
  EXPECT_EQ(lv.Value(0, 0).toString(), "12:34:56");
  EXPECT_EQ(lv.TextLV(0)->text(), "12:34:56");
  lv.TextLV(0)->setText("315959");
  EXPECT_EQ(lv.Value(0, 0).toString(), "315959");
}

TEST_F(ListTest, KeysInAnEditorReachTheHostWhichMaySwallowThem) {
  lv.resize(282, 270);
  lv.SetNumData(1);
  lv.Init();
  lv.SetTabWidth(0, 3000);
  lv.SetUseTextCombo(0, 1);
  lv.InitTab();
  lv.AddItem(1);
  lv.SetSelectedItem(0);
  std::vector<int> actions;
  QObject::connect(&lv, &UC_ListView::TextComboKeyAction, [&](int isCombo, int tab, int action, int& key, int&) {
    EXPECT_EQ(isCombo, 0);
    EXPECT_EQ(tab, 0);
    actions.push_back(action);
    if (action == 2 && key == 'x') key = 0;  // no x in this column
  });
  QKeyEvent a(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  QCoreApplication::sendEvent(lv.TextLV(0), &a);
  QKeyEvent x(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, "x");
  QCoreApplication::sendEvent(lv.TextLV(0), &x);
  EXPECT_EQ(actions, (std::vector<int>{1, 2, 1, 2}));
  EXPECT_EQ(lv.Value(0, 0).toString(), "a");
}

TEST_F(ListTest, ClicksAndDropsReachTheHost) {
  Make(1, 3);
  QSignalSpy clicked(&lv, &UC_ListView::Clicked);
  QSignalSpy right(&lv, &UC_ListView::RightClicked);
  Press(lv.PictureList(), {50, RowY(1)});
  Release(lv.PictureList(), {50, RowY(1)});
  Press(lv.PictureList(), {50, RowY(1)}, Qt::RightButton);
  Release(lv.PictureList(), {50, RowY(1)}, Qt::RightButton);
  EXPECT_EQ(clicked.count(), 1);
  EXPECT_EQ(right.count(), 1);
}

TEST_F(ListTest, AOneCharacterTextIsNeverCut) {
  Make(1, 1);
  lv.SetTabWidth(0, 450);  // 30 px less the margin: narrower than a large glyph
  lv.SetStyle(40, false, QString(), 0x000000, 0xFFFFFF);
  lv.InitTab();
  lv.SetValue(0, 0, QStringLiteral("漢"));
  lv.ReDraw();
  int ink = 0;
  for (int y = 0; y < lv.OneHeight() / 15; ++y)
    for (int x = 0; x < 200; ++x) ink += lv.PictureList()->Pixel(x, y) == 0u;
  EXPECT_GT(ink, 20);
}

TEST_F(ListTest, DraggingOverTheEdgesScrollsAfterAPause) {
  Make(1, 60);
  ASSERT_TRUE(lv.VBarVisible());
  lv.ShowItem(20, 0);
  const double h = lv.PictureList()->ScaleHeight(), row = lv.OneHeight();
  lv.List_DragOver(50, row, 100.0);  // first sight of this point: only remembered
  lv.List_DragOver(50, row, 100.0);  // same point, no time passed
  EXPECT_EQ(lv.TopItem(), 20);
  lv.List_DragOver(50, row, 100.1);  // one-row zone: needs 0.2 s
  EXPECT_EQ(lv.TopItem(), 20);
  lv.List_DragOver(50, row, 100.3);
  EXPECT_EQ(lv.TopItem(), 19);
  lv.List_DragOver(50, h - 0.2 * row, 100.3);   // moved: remembered only
  lv.List_DragOver(50, h - 0.2 * row, 100.33);  // page zone: 0.02 s is enough
  EXPECT_EQ(lv.TopItem(), 19 + lv.VBarLargeChange());
  lv.SetNoOleScroll(1);
  lv.List_DragOver(50, h - 0.2 * row, 100.9);
  EXPECT_EQ(lv.TopItem(), 19 + lv.VBarLargeChange());
}

TEST_F(ListTest, ADragRestingInAScrollingZoneKeepsScrolling) {
  // The list reads this clock only: the machine's load cannot move it.
  double now = 500.0;
  lv.SetClock([&now] { return now; });
  Make(1, 60);
  ASSERT_TRUE(lv.VBarVisible());
  lv.ShowItem(20, 0);
  lv.show();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile("/tmp/01.dat")});
  const QPoint inFirstRow(50, lv.OneHeight() / 15);  // the one-row zone
  QDragEnterEvent enter(inFirstRow, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(lv.PictureList(), &enter);
  QDragMoveEvent move(inFirstRow, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(lv.PictureList(), &move);  // the last report of the window system
  EXPECT_TRUE(lv.DragScrollTimerActive());
  // The pointer rests; only the timer reports the drag again. Scrolling lets
  // events through, so the real timer may tick at any step too: a tick at
  // the same time changes nothing.
  const auto tickAt = [&](double t) {
    now = t;
    lv.DragScrollTimer_Timer();
    lv.DragScrollTimer_Timer();
  };
  tickAt(500.0);  // starts the pause
  tickAt(500.125);
  EXPECT_EQ(lv.TopItem(), 20);
  tickAt(500.25);  // 0.2 s on: one row up
  EXPECT_EQ(lv.TopItem(), 19);
  QCoreApplication::processEvents();  // whatever the real timer does meanwhile
  tickAt(500.5);
  EXPECT_EQ(lv.TopItem(), 18);
  QDragLeaveEvent leave;
  QCoreApplication::sendEvent(lv.PictureList(), &leave);
  EXPECT_FALSE(lv.DragScrollTimerActive());

  // A drop ends the hovering too.
  QDragEnterEvent again(inFirstRow, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(lv.PictureList(), &again);
  QCoreApplication::sendEvent(lv.PictureList(), &move);
  ASSERT_TRUE(lv.DragScrollTimerActive());
  QDropEvent drop(QPointF(inFirstRow), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(lv.PictureList(), &drop);
  EXPECT_FALSE(lv.DragScrollTimerActive());
}

// Column 0 plain, column 1 with the given editor (2 combo, 4 list) offering
// "44100", "48000" and "96000"; items 0..2 hold "48000", "22050" and "96000".
void MakeEditorColumn(UC_ListView& lv, int kind) {
  lv.resize(282, 270);
  lv.SetNumData(2);
  lv.Init();
  lv.SetTabWidth(0, 1500);
  lv.SetTabWidth(1, 1800);
  lv.SetUseTextCombo(1, kind);
  lv.InitTab();
  for (const char* rate : {"44100", "48000", "96000"}) {
    if (kind == 2) lv.AddComboItem(1, rate);
    else lv.AddListItem(1, rate);
  }
  lv.AddItem(3);
  const char* values[] = {"48000", "22050", "96000"};
  for (int i = 0; i < 3; ++i) lv.SetValue(i, 1, values[i]);
  lv.SetVbarParm();
  lv.show();
}

TEST_F(ListTest, TheListEditorShowsTheCellAndSitsOnItsColumn) {
  MakeEditorColumn(lv, 4);
  QListWidget* editor = lv.ListLV(0);
  ASSERT_NE(editor, nullptr);
  lv.SetSelectedItem(2);
  lv.ReDrawTab(-1);
  lv.ReDraw();
  ASSERT_TRUE(editor->isVisible());
  ASSERT_NE(editor->currentItem(), nullptr);
  EXPECT_EQ(editor->currentItem()->text(), "96000");
  EXPECT_EQ(editor->x(), lv.TabLeft(1) / 15 + 2);
  EXPECT_EQ(editor->width(), (lv.TabWidth(1) - 30) / 15);
  EXPECT_EQ(editor->y(), (2 * lv.OneHeight() + lv.EditorOffsetY()) / 15);
  lv.SetSelectedItem(0);
  lv.ReDraw();
  EXPECT_EQ(editor->currentItem()->text(), "48000");
  lv.SetSelectedItem(1);  // no entry for 22050: none selected
  lv.ReDraw();
  EXPECT_TRUE(editor->selectedItems().isEmpty());
  // Choosing an entry stores it in the current item.
  QSignalSpy chosen(&lv, &UC_ListView::ComboChaged);
  emit editor->itemClicked(editor->item(0));
  EXPECT_EQ(lv.Value(1, 1).toString(), "44100");
  ASSERT_EQ(chosen.count(), 1);
  EXPECT_EQ(chosen.at(0).at(1).toInt(), 0);
}

TEST_F(ListTest, TheComboEditorShowsAValueThatIsNotInItsList) {
  MakeEditorColumn(lv, 2);
  QComboBox* editor = lv.ComboLV(0);
  ASSERT_NE(editor, nullptr);
  lv.SetSelectedItem(0);
  lv.ReDraw();
  EXPECT_EQ(editor->currentIndex(), 1);
  EXPECT_EQ(editor->currentText(), "48000");
  lv.SetSelectedItem(1);
  lv.ReDraw();
  EXPECT_EQ(editor->currentText(), "22050");
  EXPECT_EQ(lv.Value(1, 1).toString(), "22050");  // showing it changes nothing
  EXPECT_EQ(editor->x(), lv.TabLeft(1) / 15 + 2);
  // Choosing an entry stores it in the current item.
  editor->setCurrentIndex(2);
  emit editor->activated(2);
  EXPECT_EQ(lv.Value(1, 1).toString(), "96000");
  // Keys typed into it reach the host once each.
  std::vector<int> actions;
  QObject::connect(&lv, &UC_ListView::TextComboKeyAction, [&](int isCombo, int tab, int action, int&, int&) {
    EXPECT_EQ(isCombo, 1);
    EXPECT_EQ(tab, 1);
    actions.push_back(action);
  });
  QKeyEvent seven(QEvent::KeyPress, Qt::Key_7, Qt::NoModifier, "7");
  QCoreApplication::sendEvent(editor->lineEdit(), &seven);
  EXPECT_EQ(actions, (std::vector<int>{1, 2}));
}

}  // namespace
