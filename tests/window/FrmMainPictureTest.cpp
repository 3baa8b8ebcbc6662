// A result's picture is the same whichever front end saves it and whatever
// screen the window runs on: "Save Picture..." in the window and
// `zarin export --png` give the same pixels.
#include <QCoreApplication>
#include <QImage>
#include <QProcess>
#include <gtest/gtest.h>

#include "measurement/Export.h"
#include "measurement/TestSignal.h"
#include "support/Surface.h"
#include "tests/window/FrmMainFixture.h"

namespace {

using zarin_test::FilePickTest;

class PictureTest : public FilePickTest, public ::testing::WithParamInterface<int> {
 protected:
  void TearDown() override {
    basic::SetTwipsPerPixel(15);
    FilePickTest::TearDown();
  }
  // The picture the command line makes of a result file.
  QImage Exported(const QString& result, const QString& png) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("QT_SCALE_FACTOR");  // a shell's command line, whatever the window's screen
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZARIN_EXE), {"export", result, "--png", png});
    EXPECT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QImage(png);
  }
};

TEST_P(PictureTest, SavePictureGivesTheCommandLinesPixelsOnAnyScreen) {
  FrmMain w;
  // The window takes its layout scale from the screen (96 dpi: 15 twips per
  // pixel, 120 dpi: 12); here the screen is simulated.
  basic::SetTwipsPerPixel(GetParam());
  PickLoopbackAt(w, "48000", 2, measurement::SignalMode::Sweep);
  w.RecButton_ButtonClicked(0);
  TickUntilIdle(w);
  ASSERT_EQ(w.LV->ItemCount(), 1);
  // The first result is drawn in the colour the command line uses.
  ASSERT_EQ(w.LV->DispColor(0), 0xFF80FFu);
  w.LV->SetSelectedItem(0);
  pick = dir.filePath("window.png");
  w.MenuSavePicture->trigger();
  const QImage saved(pick);
  ASSERT_EQ(saved.size(), measurement::kDefaultPictureSize);
  const QImage exported = Exported(w.LV->AuxID(0, 0).toString(), dir.filePath("cli.png"));
  ASSERT_EQ(exported.size(), saved.size());
  int differ = 0;
  for (int y = 0; y < saved.height(); ++y)
    for (int x = 0; x < saved.width(); ++x) differ += saved.pixel(x, y) != exported.pixel(x, y);
  EXPECT_EQ(differ, 0) << "at " << GetParam() << " twips per pixel";
}

INSTANTIATE_TEST_SUITE_P(Screens, PictureTest, ::testing::Values(15, 12),
                         [](const auto& info) { return std::string(info.param == 15 ? "At96Dpi" : "At120Dpi"); });

}  // namespace

// A screen of 120 dpi is a scaled screen to the toolkit (a scale of 1.25),
// which rasterises text without hinting unless told otherwise. The case
// above runs again in a process whose screen is scaled so.
TEST(PictureOnAScaledScreen, SavePictureGivesTheCommandLinesPixels) {
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("1.25"));
  p.setProcessEnvironment(env);
  p.start(
      QCoreApplication::applicationFilePath(),
      {QStringLiteral("--gtest_filter=Screens/PictureTest.SavePictureGivesTheCommandLinesPixelsOnAnyScreen/At96Dpi")});
  ASSERT_TRUE(p.waitForFinished(300000));
  const QString out = QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
  EXPECT_EQ(p.exitCode(), 0) << out.toStdString();
  EXPECT_TRUE(out.contains(QStringLiteral("[  PASSED  ] 1 test."))) << out.toStdString();
}
