// The results list's "Export CSV..." and "Save Picture..." items.
#include <QAction>
#include <QImage>
#include <QMenu>
#include <gtest/gtest.h>

#include "measurement/Export.h"
#include "measurement/GraphScale.h"
#include "measurement/ResultFiles.h"
#include "measurement/SideFiles.h"
#include "measurement/TestSignal.h"
#include "support/Colors.h"
#include "support/Surface.h"
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
  PickLoopbackAt(w, "8000", 2, measurement::SignalMode::Noise);
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  PickLoopbackAt(w, "48000", 2, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  ASSERT_EQ(Names(w), (QStringList{"01", "02"}));

  w.LV->SetSelectedItem(1);
  pick = dir.filePath("sweep");  // typed without the extension
  w.MenuExportCsv->trigger();
  EXPECT_EQ(names.last(), "02.csv");
  const measurement::LoadedResult stored = measurement::LoadResultFile(dir.filePath("02.dat"));
  ASSERT_EQ(stored.outcome, measurement::LoadOutcome::Sweep);
  QFile csv(dir.filePath("sweep.csv"));
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  measurement::Result played = stored.result;
  played.levelTenthsDb = w.SliderValue[1]->Value();                // the level it was played at
  measurement::ReadSideFilesInto(played, dir.filePath("02.dat"));  // and its phase
  ASSERT_FALSE(played.response.Empty());
  EXPECT_EQ(QString::fromUtf8(csv.readAll()), measurement::ResultCsv(played));

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
  EXPECT_EQ(w.Shown().mode, measurement::SignalMode::Sweep);
  EXPECT_TRUE(questions.isEmpty()) << questions.join(" / ").toStdString();
}

// Exports give the path's gain: the marker, the level slider and the
// screen's scale change no number in them.
TEST_F(ExportMenuTest, TheMarkerTheLevelSliderAndTheScreenChangeNoExportedNumber) {
  FrmMain w;
  PickLoopbackAt(w, "48000", 2, measurement::SignalMode::Sweep);
  w.SliderValue[1]->SetValue(-150);  // played at -15.0 dB
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  ASSERT_EQ(Names(w), QStringList{"01"});
  const auto exportBoth = [&](const QString& name) {
    w.LV->UnSelectAll();
    w.LV->SetSelectedItem(0);
    pick = dir.filePath(name + ".csv");
    w.MenuExportCsv->trigger();
    pick = dir.filePath(name + ".png");
    w.MenuSavePicture->trigger();
    QFile csv(dir.filePath(name + ".csv"));
    EXPECT_TRUE(csv.open(QIODevice::ReadOnly)) << name.toStdString();
    return QString::fromUtf8(csv.readAll());
  };
  const QString first = exportBoth("first");
  ASSERT_TRUE(first.startsWith("frequency_hz,gain_db,phase_deg\n"));
  // The simulator's cable is -6.0 dB in its passband, whatever was played.
  int middle = 0;
  for (const QString& line : first.split('\n', Qt::SkipEmptyParts).mid(1)) {
    const double f = line.section(',', 0, 0).toDouble();
    if (f < 700 || f > 1500) continue;
    EXPECT_NEAR(line.section(',', 1, 1).toDouble(), -6.0, 0.03) << f;
    ++middle;
  }
  EXPECT_GT(middle, 20);

  // The marker dragged down, the level slider moved, another result shown.
  w.m_OffsetDb = -8.8f;
  w.SliderValue[1]->SetValue(-420);
  EXPECT_EQ(exportBoth("moved"), first);
  EXPECT_EQ(QImage(dir.filePath("moved.png")), QImage(dir.filePath("first.png")));

  // A screen of another scale: the same numbers and the same picture, in
  // which the passband lies on the grid's "-6" line.
  const int tpp = basic::TwipsPerPixel();
  basic::SetTwipsPerPixel(tpp == 15 ? 12 : 15);
  EXPECT_EQ(exportBoth("screen"), first);
  const QImage picture(dir.filePath("screen.png"));
  EXPECT_EQ(picture, QImage(dir.filePath("first.png")));
  // The axis strip is 255 twips at the pictures' own scale.
  const int axis = basic::Surface().ToPixels(255);
  const measurement::SpectrumScale s(picture.width(), picture.height() - axis, 48000, measurement::kPictureOffsetDb);
  basic::SetTwipsPerPixel(tpp);
  const QRgb ink = basic::ToQRgb(w.LV->DispColor(0));
  const int x = s.X(1000);
  int nearest = 1000;
  for (int y = 0; y < picture.height() - axis; ++y)
    if (picture.pixel(x, y) == ink) nearest = std::min(nearest, std::abs(y - s.GridY(-6.0)));
  EXPECT_LE(nearest, 1);
}

}  // namespace
