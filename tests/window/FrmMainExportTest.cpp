// The results list's "Export CSV..." and "Save Picture..." items.
#include <QAction>
#include <QImage>
#include <QMenu>
#include <QProcess>
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

using zarin_test::FilePickTest;

// An exported CSV reads the simulator's cable, -6.0 dB, at each of its
// points from 700 Hz to 1.5 kHz, of which there are more than 20.
void ExpectCablePassband(const QString& csv) {
  int middle = 0;
  for (const QString& line : csv.split('\n', Qt::SkipEmptyParts).mid(1)) {
    const double f = line.section(',', 0, 0).toDouble();
    if (f < 700 || f > 1500) continue;
    EXPECT_NEAR(line.section(',', 1, 1).toDouble(), -6.0, 0.03) << f;
    ++middle;
  }
  EXPECT_GT(middle, 20);
}

class ExportMenuTest : public FilePickTest {};

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
  ExpectCablePassband(first);

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

// A result made at another level, dropped onto a window that did not make
// it: its NN.json says the level, and the window's CSV is the command line's.
TEST_F(ExportMenuTest, ADroppedResultExportsAsTheCommandLineExportsIt) {
  QString result;
  {
    FrmMain maker;
    PickLoopbackAt(maker, "48000", 2, measurement::SignalMode::Sweep);
    maker.SliderValue[1]->SetValue(-200);  // played at -20.0 dB
    maker.RecButton_ButtonClicked(0);
    TickUntilIdle(maker);
    ASSERT_EQ(Names(maker), QStringList{"01"});
    result = dir.filePath("01.dat");
    ASSERT_EQ(measurement::ReadPlayedLevel(result), -200);
  }
  FrmMain w;
  w.SliderValue[1]->SetValue(-30);
  w.LV_OLEDragDrop({result}, 0);
  ASSERT_EQ(w.LV->ItemCount(), 1);
  w.LV->UnSelectAll();
  w.LV->SetSelectedItem(0);
  pick = dir.filePath("window.csv");
  w.MenuExportCsv->trigger();
  QFile csv(pick);
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  const QString fromWindow = QString::fromUtf8(csv.readAll());
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(ZARIN_EXE), {"export", result});
  ASSERT_TRUE(p.waitForFinished(120000));
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
  EXPECT_EQ(fromWindow, QString::fromUtf8(p.readAllStandardOutput()));
  // The cable's -6 dB, not 17 dB off as at the default level.
  ExpectCablePassband(fromWindow);
}

}  // namespace
