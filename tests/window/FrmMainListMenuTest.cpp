// The results list as a user works it: the right-click menu acts on the line
// under the pointer, colours stay with their results, the delay read-out
// stays with its run, and only a folder that was saved into is remembered.
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <gtest/gtest.h>

#include "measurement/TestSignal.h"
#include "tests/window/FrmMainFixture.h"

namespace {

using zarin_test::FilePickTest;

class ListMenuTest : public FilePickTest {
 protected:
  void Run(FrmMain& w, measurement::SignalMode mode) {
    PickLoopbackAt(w, mode == measurement::SignalMode::Sweep ? "48000" : "8000", 2, mode);
    w.RecButton_ButtonClicked(0);
    TickUntilIdle(w);
  }
  // A height (twips, as the list's mouse events give it) on that line, or
  // below the last line for -1.
  static double YOn(const FrmMain& w, int32_t line) {
    for (double y = 0; y < 100000; y += 15)
      if (w.LV->LineAt(y) == line) return y + 30;
    ADD_FAILURE() << "no height for line " << line;
    return 0;
  }
  static void RightClick(FrmMain& w, double y) {
    w.LV_RightClicked(100, y);
    w.MenuLV->hide();
  }
  static bool MenuEnabled(const FrmMain& w) {
    bool all = true, any = false;
    for (QAction* a : {w.MenuDelete, w.MenuSave, w.MenuExportCsv, w.MenuSavePicture, w.MenuDetails}) {
      all = all && a->isEnabled();
      any = any || a->isEnabled();
    }
    EXPECT_EQ(all, any) << "the result items are enabled or greyed together";
    return all;
  }
};

TEST_F(ListMenuTest, TheMenuActsOnTheLineUnderThePointer) {
  FrmMain w;
  Run(w, measurement::SignalMode::Noise);
  Run(w, measurement::SignalMode::Noise);
  Run(w, measurement::SignalMode::Noise);
  ASSERT_EQ(Names(w), (QStringList{"01", "02", "03"}));
  w.LV->SetSelectedItem(0);  // 01 highlighted, as a click leaves it

  // Right-click on 03: it alone is selected, and Save Picture... offers 03.
  RightClick(w, YOn(w, 2));
  EXPECT_EQ(w.LV->SelectedItem(), 2);
  EXPECT_EQ(w.LV->NumSelectedItems(), 1);
  EXPECT_TRUE(MenuEnabled(w));
  pick.clear();  // cancelled
  w.MenuSavePicture->trigger();
  EXPECT_EQ(names, QStringList{"03.png"});

  // Delete takes 03 (and its file), asking nothing.
  w.MenuDelete->trigger();
  EXPECT_EQ(Names(w), (QStringList{"01", "02"}));
  EXPECT_FALSE(QFile::exists(dir.filePath("03.fft")));
  EXPECT_TRUE(QFile::exists(dir.filePath("01.fft")));
  EXPECT_TRUE(questions.isEmpty());

  // Below the last line: nothing pointed at, the result items greyed.
  w.LV->SetSelectedItem(1);
  RightClick(w, YOn(w, -1));
  EXPECT_FALSE(MenuEnabled(w));
  w.MenuDelete->trigger();
  EXPECT_EQ(Names(w), (QStringList{"01", "02"}));
  // On a line again: back to normal; a selected line stays selected.
  RightClick(w, YOn(w, 1));
  EXPECT_TRUE(MenuEnabled(w));
  EXPECT_EQ(w.LV->SelectedItem(), 1);
  w.MenuDelete->trigger();
  EXPECT_EQ(Names(w), QStringList{"01"});
}

TEST_F(ListMenuTest, ColoursStayWithTheirResults) {
  FrmMain w;
  const auto& colors = w.m_TraceColors;
  Run(w, measurement::SignalMode::Noise);
  Run(w, measurement::SignalMode::Noise);
  ASSERT_EQ(w.LV->DispColor(1), colors[1]);
  w.LV->SetSelectedItem(0);
  w.MenuDelete_Click();
  ASSERT_EQ(Names(w), QStringList{"02"});
  EXPECT_EQ(w.LV->DispColor(0), colors[1]);
  // The next run takes the colour no listed result has; 02 keeps its own.
  EXPECT_EQ(w.NextTraceColor(), colors[0]);
  Run(w, measurement::SignalMode::Noise);
  ASSERT_EQ(Names(w), (QStringList{"02", "03"}));
  EXPECT_EQ(w.LV->DispColor(0), colors[1]);
  EXPECT_EQ(w.LV->DispColor(1), colors[0]);
  // Then the first colour nobody has, in order.
  Run(w, measurement::SignalMode::Noise);
  EXPECT_EQ(w.LV->DispColor(2), colors[2]);
}

TEST_F(ListMenuTest, TheDelayReadOutStaysWithTheRunJustMade) {
  FrmMain w;
  Run(w, measurement::SignalMode::Noise);
  Run(w, measurement::SignalMode::Sweep);
  ASSERT_EQ(Names(w), (QStringList{"01", "02"}));
  const QString readout = w.TextDelay->text();
  ASSERT_TRUE(readout.startsWith(QStringLiteral("遅延 "))) << readout.toStdString();
  const QString tip = w.TextDelay->toolTip();
  // Clicking the result just measured keeps it.
  w.LV->UnSelectAll();
  w.LV->SetSelectedItem(1);
  w.LV_Clicked(0, 0);
  EXPECT_EQ(w.TextDelay->text(), readout);
  // Another result blanks it; the measured one brings it back.
  w.LV->UnSelectAll();
  w.LV->SetSelectedItem(0);
  w.LV_Clicked(0, 0);
  EXPECT_TRUE(w.TextDelay->text().isEmpty());
  EXPECT_TRUE(w.TextDelay->toolTip().isEmpty());
  w.LV->UnSelectAll();
  w.LV->SetSelectedItem(1);
  w.LV_Clicked(0, 0);
  EXPECT_EQ(w.TextDelay->text(), readout);
  EXPECT_EQ(w.TextDelay->toolTip(), tip);
  // Once that result is deleted, the read-out belongs to nothing listed.
  w.MenuDelete_Click();
  w.LV->SetSelectedItem(0);
  w.LV_Clicked(0, 0);
  EXPECT_TRUE(w.TextDelay->text().isEmpty());
}

TEST_F(ListMenuTest, OnlyAFolderSavedIntoIsRemembered) {
  FrmMain w;
  Run(w, measurement::SignalMode::Noise);
  QDir().mkpath(dir.filePath("kept"));
  basic::WriteSetting("SaveFolder", dir.filePath("kept") + "/");
  w.LV->SetSelectedItem(0);
  // Into a folder that is not there: the copy and the export fail, the user is told.
  pick = dir.filePath("missing/copy");
  w.MenuSave_Click();
  pick = dir.filePath("missing/curve.csv");
  w.MenuExportCsv_Click();
  EXPECT_EQ((messages + questions).filter(QStringLiteral("保存できませんでした")).size(), 2)
      << (messages + questions).join(" / ").toStdString();
  EXPECT_EQ(basic::ReadSetting("SaveFolder", QString()), dir.filePath("kept") + "/");
  // A save that works is remembered.
  QDir().mkpath(dir.filePath("there"));
  pick = dir.filePath("there/curve.csv");
  w.MenuExportCsv_Click();
  EXPECT_TRUE(QFile::exists(pick));
  EXPECT_EQ(basic::ReadSetting("SaveFolder", QString()), dir.filePath("there") + "/");
}

}  // namespace
