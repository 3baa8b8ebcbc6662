// The results list's "Export CSV..." and "Save Picture..." items.
#include <QAction>
#include <QImage>
#include <QMenu>
#include <gtest/gtest.h>

#include "measurement/Export.h"
#include "measurement/ResultFiles.h"
#include "measurement/TestSignal.h"
#include "support/Colors.h"
#include "tests/window/FrmMainFixture.h"

namespace {

using zarin_test::FrmMainResultsTest;

class ExportMenuTest : public FrmMainResultsTest {
 protected:
  void SetUp() override {
    FrmMainResultsTest::SetUp();
    old = basic::SetFilePresenter([this](int32_t, const QString& filter, const QString&, const QString& name) {
      filters << filter;
      names << name;
      return pick;
    });
  }
  void TearDown() override {
    basic::SetFilePresenter(old);
    FrmMainResultsTest::TearDown();
  }
  QString pick;
  QStringList filters, names;
  basic::FilePresenter old;
};

TEST_F(ExportMenuTest, TheMenuOffersBothBesideDeleteAndSaveAs) {
  FrmMain w;
  QStringList items;
  for (QAction* a : w.MenuLV->actions()) items << a->text();
  EXPECT_EQ(items, (QStringList{"Delete", "Save As", "Export CSV...", "Save Picture...", "Details..."}));
}

TEST_F(ExportMenuTest, TheClickedResultIsWrittenAsCsvAndAsAPicture) {
  FrmMain w;
  PickLoopbackAt(w, "8000", 2, measurement::kModeNoise);
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  PickLoopbackAt(w, "48000", 2, measurement::kModeSweep);
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  ASSERT_EQ(Names(w), (QStringList{"01", "02"}));

  w.LV->SetSelectedItem(1);
  pick = dir.filePath("sweep");  // typed without the extension
  w.MenuExportCsv->trigger();
  EXPECT_EQ(names.last(), "02.csv");
  measurement::MeasurementRun stored;
  ASSERT_EQ(measurement::LoadResultFile(dir.filePath("02.dat"), stored), measurement::LoadOutcome::Sweep);
  QFile csv(dir.filePath("sweep.csv"));
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  EXPECT_EQ(QString::fromUtf8(csv.readAll()), measurement::CurveCsv(measurement::ResultCurve(stored, w.m_OffsetDb)));

  w.LV->UnSelectAll();
  w.LV->SetSelectedItem(0);
  pick = dir.filePath("noise.png");
  w.MenuSavePicture->trigger();
  const QImage picture(dir.filePath("noise.png"));
  ASSERT_EQ(picture.size(), measurement::kDefaultPictureSize);
  // The noise result's line colour is the picture's curve colour.
  const QRgb lineColour = basic::ToQRgb(w.LV->DispColor(0));
  int ink = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) ink += picture.pixel(x, y) == lineColour;
  EXPECT_GT(ink, 300);
  // What the window shows is untouched: the sweep is still the loaded result.
  EXPECT_EQ(w.m_Run.m_Mode, measurement::kModeSweep);
  EXPECT_TRUE(questions.isEmpty()) << questions.join(" / ").toStdString();
}

}  // namespace
