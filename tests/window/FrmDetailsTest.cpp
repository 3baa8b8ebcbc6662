// The details window: opened from the results list's menu and by a
// double-click, each view drawn, the smoothing and the overlay seen in the
// picture's pixels, and the pointer's read-out.
#include "window/FrmDetails.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <gtest/gtest.h>

#include <cmath>

#include "controls/UC_Buttons/UC_Buttons.h"
#include "controls/UC_Check/UC_Check.h"
#include "measurement/ResultFiles.h"
#include "measurement/TestSignal.h"
#include "tests/controls/ControlTestUtil.h"
#include "tests/measurement/SimulatedSweep.h"
#include "tests/window/FrmMainFixture.h"
#include "widgets/PictureBox.h"

namespace {

using measurement::DetailTab;
using measurement::ViewSmoothing;
using zarin_test::FrmMainResultsTest;

class FrmDetailsTest : public FrmMainResultsTest {
 protected:
  // A sweep result (8 kHz, 2 s) at `level`, with a dip to a tenth of it
  // within +-1/12 octave of 1 kHz when `dip` is set.
  QString Sweep(const QString& name, int16_t level, bool dip) {
    measurement::Result run;
    run.mode = measurement::SignalMode::Sweep;
    run.sampleRate = 8000;
    measurement::SweepTable table;
    measurement::MakeSweepFreqTable(table, 8000, 16000);
    run.envelope.resize(16000);
    for (size_t i = 0; i < 16000; ++i)
      run.envelope[i] =
          dip && std::abs(std::log2(table.freq[i] / 1000.0)) < 1.0 / 12 ? static_cast<int16_t>(level / 10) : level;
    const QString path = dir.filePath(name);
    EXPECT_TRUE(measurement::SaveResultFile(path, run));
    return path;
  }
  // Rows of the picture's column at frequency f that hold color.
  std::vector<int> CurveRows(FrmDetails& d, double f, uint32_t color) {
    const measurement::PlotScale s = measurement::ScaleOfPane(*d.PicturePlot, d.Views().at(0), 0, 1);
    const int x = static_cast<int>(std::lround(s.X(f)));
    std::vector<int> rows;
    for (int y = s.Top(); y <= s.Bottom(); ++y)
      if (d.PicturePlot->Pixel(x, y) == color) rows.push_back(y);
    return rows;
  }
  int Reddish(const basic::Surface& s) {
    int n = 0;
    for (int y = 0; y < s.PixelHeight(); ++y)
      for (int x = 0; x < s.PixelWidth(); ++x) {
        const uint32_t c = s.Pixel(x, y);
        const int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
        n += r > g + 30 && r > b + 30;
      }
    return n;
  }
  int Ink(const basic::Surface& s, uint32_t color) {
    int n = 0;
    for (int y = 0; y < s.PixelHeight(); ++y)
      for (int x = 0; x < s.PixelWidth(); ++x) n += s.Pixel(x, y) == color;
    return n;
  }
};

TEST_F(FrmDetailsTest, TheMenuItemOpensTheSelectedResultInItsListColour) {
  FrmMain w;
  w.AddResultItem(Sweep("01.dat", 10000, false), -2, 0);
  w.AddResultItem(Sweep("02.dat", 3000, false), -2, 0);
  w.LV->SetSelectedItem(1);
  ASSERT_EQ(w.Details(), nullptr);
  w.MenuDetails->trigger();
  FrmDetails* d = w.Details();
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(d->isVisible());
  EXPECT_EQ(d->windowTitle(), "詳細");
  EXPECT_EQ(d->Primary(), 1);
  EXPECT_FALSE(d->IsShown(0));
  EXPECT_TRUE(d->IsShown(1));
  EXPECT_GT(Ink(*d->PicturePlot, w.LV->DispColor(1)), 300);
  EXPECT_EQ(Ink(*d->PicturePlot, w.LV->DispColor(0)), 0);
  EXPECT_TRUE(d->TextSummary->text().contains("スウィープ"));
  EXPECT_TRUE(messages.isEmpty()) << messages.join(" / ").toStdString();
}

TEST_F(FrmDetailsTest, ADoubleClickOnALineOpensIt) {
  FrmMain w;
  w.show();
  w.AddResultItem(Sweep("01.dat", 10000, false), -2, 0);
  w.AddResultItem(Sweep("02.dat", 10000, false), -2, 0);
  basic::PictureBox* rows = w.LV->PictureList();
  const int rowHeight = w.LV->SelBoxHeight() / basic::TwipsPerPixel();
  const QPoint second(30, rowHeight + rowHeight / 2);
  zarin_test::Press(rows, second);
  zarin_test::Release(rows, second);
  zarin_test::DoubleClick(rows, second);
  zarin_test::Release(rows, second);
  ASSERT_NE(w.Details(), nullptr);
  EXPECT_TRUE(w.Details()->isVisible());
  EXPECT_EQ(w.Details()->Primary(), 1);
  EXPECT_GT(Ink(*w.Details()->PicturePlot, w.LV->DispColor(1)), 300);
}

TEST_F(FrmDetailsTest, AMinimisedWindowComesBackForTheNextResult) {
  FrmMain w;
  w.AddResultItem(Sweep("01.dat", 10000, false), -2, 0);
  w.AddResultItem(Sweep("02.dat", 3000, false), -2, 0);
  w.LV->SetSelectedItem(0);
  w.MenuDetails->trigger();
  ASSERT_NE(w.Details(), nullptr);
  w.Details()->showMinimized();
  ASSERT_TRUE(w.Details()->isMinimized());
  w.LV->UnSelectAll();
  w.LV->SetSelectedItem(1);
  w.MenuDetails->trigger();
  EXPECT_FALSE(w.Details()->isMinimized());
  EXPECT_TRUE(w.Details()->isVisible());
  EXPECT_EQ(w.Details()->Primary(), 1);
}

TEST_F(FrmDetailsTest, ASummaryTooLongForItsLineIsCutAndWholeInItsTooltip) {
  FrmMain w;
  w.AddResultItem(Sweep("01.dat", 10000, false), -2, 0);
  w.LV->SetSelectedItem(0);
  w.MenuDetails->trigger();
  FrmDetails* d = w.Details();
  ASSERT_NE(d, nullptr);
  const QString whole = d->TextSummary->text();
  ASSERT_TRUE(whole.contains("スウィープ"));
  EXPECT_TRUE(d->TextSummary->toolTip().isEmpty());
  d->resize(420, d->height());
  const QString shown = d->TextSummary->text();
  EXPECT_LE(d->TextSummary->fontMetrics().horizontalAdvance(shown), d->TextSummary->width()) << shown.toStdString();
  EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
  EXPECT_EQ(d->TextSummary->toolTip(), whole);
}

TEST_F(FrmDetailsTest, EveryViewDrawsAndAnOldResultSaysWhatIsMissing) {
  FrmMain w;
  w.AddResultItem(Sweep("01.dat", 10000, false), -2, 0);
  w.LV->SetSelectedItem(0);
  w.MenuDetails->trigger();
  FrmDetails* d = w.Details();
  ASSERT_NE(d, nullptr);
  for (int tab = 0; tab < measurement::kDetailTabCount; ++tab) {
    // As a user picks it: a click on its button.
    const int x = d->TabButtons->ButtonLeft(tab) + d->TabButtons->ButtonWidth() / 2;
    zarin_test::Press(d->TabButtons->PictureButton(), QPoint(x, 5));
    zarin_test::Release(d->TabButtons->PictureButton(), QPoint(x, 5));
    ASSERT_EQ(d->Tab(), static_cast<DetailTab>(tab));
    ASSERT_FALSE(d->Views().empty());
    EXPECT_GT(Ink(*d->PicturePlot, measurement::kPlotFrame), 500) << tab;
    EXPECT_GT(Ink(*d->PicturePlot, measurement::kPlotLabelBack), 1000) << tab;
    if (tab == 0) {
      EXPECT_GT(Ink(*d->PicturePlot, w.LV->DispColor(0)), 300);
      EXPECT_TRUE(d->Views()[0].note.isEmpty());
    } else {
      EXPECT_TRUE(d->Views()[0].note.contains("新しく測定")) << tab;
      EXPECT_GT(Reddish(*d->PicturePlot), 20) << tab;  // the note's dark red text
    }
  }
}

TEST_F(FrmDetailsTest, SmoothingFillsTheDipInThePicture) {
  FrmMain w;
  w.AddResultItem(Sweep("01.dat", 10000, true), -2, 0);
  w.LV->SetSelectedItem(0);
  w.MenuDetails->trigger();
  FrmDetails* d = w.Details();
  ASSERT_NE(d, nullptr);
  const uint32_t color = w.LV->DispColor(0);
  const measurement::PlotScale s = measurement::ScaleOfPane(*d->PicturePlot, d->Views().at(0), 0, 1);
  const std::vector<int> raw = CurveRows(*d, 1000, color);
  ASSERT_FALSE(raw.empty());
  const double flat = 20 * std::log10(10000 / 32767.0) - w.m_OffsetDb;
  EXPECT_NEAR(s.YValue(raw.back()), flat - 20, 1.5);  // the dip's bottom
  // A click on "1/3".
  const int x = d->SmoothButtons->ButtonLeft(5) + d->SmoothButtons->ButtonWidth() / 2;
  zarin_test::Press(d->SmoothButtons->PictureButton(), QPoint(x, 5));
  zarin_test::Release(d->SmoothButtons->PictureButton(), QPoint(x, 5));
  ASSERT_EQ(d->CurrentSmoothing(), ViewSmoothing::Octave3);
  const std::vector<int> smooth = CurveRows(*d, 1000, color);
  ASSERT_FALSE(smooth.empty());
  EXPECT_GT(s.YValue(smooth.back()), flat - 6);
  EXPECT_LT(s.YValue(smooth.front()), flat - 0.5);
  // Away from the dip both agree.
  const std::vector<int> smoothAt100 = CurveRows(*d, 100, color);
  d->SetSmoothing(ViewSmoothing::None);
  EXPECT_EQ(CurveRows(*d, 100, color), smoothAt100);
}

TEST_F(FrmDetailsTest, AResultWithItsResponseDrawsEveryTabInItsColour) {
  FrmMain w;
  const QString path = Sweep("01.dat", 10000, false);
  w.AddResultItem(path, -2, 0);
  w.LV->SetSelectedItem(0);
  w.MenuDetails->trigger();
  FrmDetails* d = w.Details();
  ASSERT_NE(d, nullptr);
  d->Cache().Get(path, w.m_OffsetDb)->AttachResponse(measurement::testing::SimulateSweep(8000, 2.0, -30).Response());
  const uint32_t color = w.LV->DispColor(0);
  for (int tab = 0; tab < measurement::kDetailTabCount; ++tab) {
    d->ShowTab(static_cast<DetailTab>(tab));
    ASSERT_FALSE(d->Views().empty());
    EXPECT_TRUE(d->Views()[0].note.isEmpty()) << tab;
    const uint32_t ink = tab == static_cast<int>(DetailTab::Distortion) ? measurement::kHarmonicColors[0] : color;
    EXPECT_GT(Ink(*d->PicturePlot, ink), 100) << tab;
  }
  d->ShowTab(DetailTab::Impulse);
  EXPECT_EQ(d->Views().size(), 2u);  // the impulse over its energy-time curve
}

TEST_F(FrmDetailsTest, TwoResultsAreOverlaidInTheirColours) {
  FrmMain w;
  w.AddResultItem(Sweep("01.dat", 10000, false), -2, 0);
  w.AddResultItem(Sweep("02.dat", 2000, false), -2, 0);
  w.LV->SetSelectedItem(0);
  w.MenuDetails->trigger();
  FrmDetails* d = w.Details();
  ASSERT_NE(d, nullptr);
  ASSERT_EQ(d->CheckResult.size(), 2u);
  // The second result's check box, clicked.
  UC_Check* check = d->CheckResult[1];
  zarin_test::Press(check->Surface(), QPoint(3, 3));
  zarin_test::Release(check->Surface(), QPoint(3, 3));
  ASSERT_TRUE(d->IsShown(1));
  const measurement::PlotScale s = measurement::ScaleOfPane(*d->PicturePlot, d->Views().at(0), 0, 1);
  const std::vector<int> first = CurveRows(*d, 500, w.LV->DispColor(0));
  const std::vector<int> second = CurveRows(*d, 500, w.LV->DispColor(1));
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  const double offset = -w.m_OffsetDb;
  EXPECT_NEAR(s.YValue(first.front()), 20 * std::log10(10000 / 32767.0) + offset, 0.6);
  EXPECT_NEAR(s.YValue(second.front()), 20 * std::log10(2000 / 32767.0) + offset, 0.6);
  // Unchecked again: only the opened result.
  d->SetShown(1, false);
  EXPECT_TRUE(CurveRows(*d, 500, w.LV->DispColor(1)).empty());
}

TEST_F(FrmDetailsTest, ThePointerReadsFrequencyAndValue) {
  FrmMain w;
  w.AddResultItem(Sweep("01.dat", 10000, false), -2, 0);
  w.LV->SetSelectedItem(0);
  w.MenuDetails->trigger();
  FrmDetails* d = w.Details();
  ASSERT_NE(d, nullptr);
  const measurement::PlotScale s = measurement::ScaleOfPane(*d->PicturePlot, d->Views().at(0), 0, 1);
  const QPoint at(static_cast<int>(std::lround(s.X(1000))), static_cast<int>(std::lround(s.Y(-10))));
  zarin_test::Hover(d->PicturePlot, at);
  const QString text = d->TextCursor->text();
  EXPECT_TRUE(text.contains("kHz")) << text.toStdString();
  const double level = 20 * std::log10(10000 / 32767.0) - w.m_OffsetDb;
  EXPECT_TRUE(text.contains("01: " + QString::number(level, 'f', 1) + " dB")) << text.toStdString();
}

TEST_F(FrmDetailsTest, DeletingAResultTakesItOutOfTheOpenWindow) {
  FrmMain w;
  w.AddResultItem(Sweep("01.dat", 10000, false), -2, 0);
  w.AddResultItem(Sweep("02.dat", 2000, false), -2, 0);
  w.LV->SetSelectedItem(1);
  w.MenuDetails->trigger();
  FrmDetails* d = w.Details();
  ASSERT_NE(d, nullptr);
  w.LV->UnSelectAll();
  w.LV->SetSelectedItem(0);
  w.MenuDelete->trigger();
  ASSERT_EQ(w.LV->ItemCount(), 1);
  EXPECT_EQ(d->CheckResult.size(), 1u);
  EXPECT_EQ(d->Primary(), 0);  // "02", now the first line
  EXPECT_TRUE(d->PrimaryPath().endsWith("02.dat"));
  EXPECT_TRUE(QFile::exists(dir.filePath("01.dat")));  // a dropped file stays
}

}  // namespace
