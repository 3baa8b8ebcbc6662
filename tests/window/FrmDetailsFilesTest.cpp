// The details window's files: a microphone's and a sound card's correction
// file chosen, drawn off the result's curve and remembered per input
// device; a bad file said and changing nothing; reference curves dropped
// onto the results list or opened from the window, in their own colours,
// kept at close and taken off like a dropped result.
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cmath>

#include "controls/UC_ListView/UC_ListView.h"
#include "measurement/ResultFiles.h"
#include "measurement/TestSignal.h"
#include "widgets/Dialogs.h"
#include "widgets/PictureBox.h"
#include "support/Settings.h"
#include "tests/window/FrmMainFixture.h"
#include "window/CorrectionChoice.h"
#include "window/FrmDetails.h"

namespace {

using window_files::CorrectionKind;
using zarin_test::FrmMainResultsTest;

class FrmDetailsFilesTest : public FrmMainResultsTest {
 protected:
  void TearDown() override {
    basic::SetFilePresenter({});
    FrmMainResultsTest::TearDown();
  }
  // A flat sweep result (8 kHz, 2 s) at `level`.
  QString Sweep(const QString& name, int16_t level) {
    measurement::Result run;
    run.mode = measurement::SignalMode::Sweep;
    run.sampleRate = 8000;
    run.envelope.assign(16000, level);
    const QString path = dir.filePath(name);
    EXPECT_TRUE(measurement::SaveResultFile(path, run));
    return path;
  }
  QString Text(const QString& name, const QByteArray& text) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    return f.fileName();
  }
  // The value (on the view's axis) of the topmost pixel of color in the
  // picture's column at frequency f; NaN when the column has none.
  double ValueAt(FrmDetails& d, double f, uint32_t color) {
    const measurement::PlotScale s = measurement::ScaleOfPane(*d.PicturePlot, d.Views().at(0), 0, 1);
    const int x = static_cast<int>(std::lround(s.X(f)));
    for (int y = s.Top(); y <= s.Bottom(); ++y)
      if (d.PicturePlot->Pixel(x, y) == color) return s.YValue(y);
    return NAN;
  }
  int Ink(const basic::Surface& s, uint32_t color) {
    int n = 0;
    for (int y = 0; y < s.PixelHeight(); ++y)
      for (int x = 0; x < s.PixelWidth(); ++x) n += s.Pixel(x, y) == color;
    return n;
  }
  FrmDetails* Open(FrmMain& w, int item) {
    w.LV->UnSelectAll();
    w.LV->SetSelectedItem(item);
    w.MenuDetails->trigger();
    return w.Details();
  }
  // The file dialog answers with path.
  void Answer(const QString& path) {
    basic::SetFilePresenter([this, path](int32_t, const QString& filter, const QString&, const QString&) {
      filters << filter;
      return path;
    });
  }
  // Every box shown (the plain ones and the questions).
  QStringList Said() const { return messages + questions; }
  QStringList filters;
};

TEST_F(FrmDetailsFilesTest, TheChosenFilesComeOffTheCurveAndAreRememberedForTheInputDevice) {
  FrmMain w;
  w.AddResultItem(Sweep("01.dat", 10000), -2, 0);
  FrmDetails* d = Open(w, 0);
  ASSERT_NE(d, nullptr);
  const uint32_t color = w.LV->DispColor(0);
  const double flat = 20 * std::log10(10000 / 32767.0) - w.m_OffsetDb;
  ASSERT_NEAR(ValueAt(*d, 1000, color), flat, 0.6);
  EXPECT_EQ(d->LabelMic->text(), "なし");
  EXPECT_FALSE(d->ButtonMicOff->isEnabled());
  // A microphone 6 dB hot from 1 kHz up, 0 dB at 20 Hz; a card 3 dB low.
  const QString mic = Text("mic.txt", "* a microphone\n20 0\n1000 6\n20000 6\n");
  const QString card = Text("card.frd", "20 -3 0\n20000 -3 0\n");
  Answer(mic);
  d->ButtonMic->click();
  EXPECT_EQ(d->LabelMic->text(), "mic.txt");
  EXPECT_TRUE(d->ButtonMicOff->isEnabled());
  EXPECT_NEAR(ValueAt(*d, 2000, color), flat - 6, 0.6);
  // Linear in dB over log frequency: 100 Hz lies 0.41 of the way from 20 Hz.
  EXPECT_NEAR(ValueAt(*d, 100, color), flat - 6 * std::log(5.0) / std::log(50.0), 0.6);
  Answer(card);
  d->ButtonDevice->click();
  EXPECT_NEAR(ValueAt(*d, 2000, color), flat - 6 + 3, 0.6);
  ASSERT_EQ(filters.size(), 2);
  EXPECT_TRUE(filters[0].contains("*.frd"));
  EXPECT_TRUE(Said().isEmpty()) << Said().join(" / ").toStdString();

  // Remembered under the input device's name: another window for the same
  // device has them, one for another device has none.
  const QString device = d->InputDevice();
  EXPECT_EQ(basic::ReadSetting(window_files::CorrectionSettingKey(CorrectionKind::Mic, device), QString()), mic);
  FrmDetails same, other;
  same.SetInputDevice(device);
  other.SetInputDevice(device + "2");
  ASSERT_TRUE(same.CurrentCalibration().mic.has_value());
  ASSERT_TRUE(same.CurrentCalibration().device.has_value());
  EXPECT_EQ(same.CurrentCalibration().micPath, mic);
  EXPECT_EQ(same.LabelDevice->text(), "card.frd");
  EXPECT_FALSE(other.CurrentCalibration().Corrects());

  // Taken off again: the curve as measured, and forgotten for the device.
  d->ButtonMicOff->click();
  d->ButtonDeviceOff->click();
  EXPECT_NEAR(ValueAt(*d, 2000, color), flat, 0.6);
  FrmDetails again;
  again.SetInputDevice(device);
  EXPECT_FALSE(again.CurrentCalibration().Corrects());
}

TEST_F(FrmDetailsFilesTest, KeysOfDeviceNamesNeverMeet) {
  using window_files::CorrectionSettingKey;
  EXPECT_NE(CorrectionSettingKey(CorrectionKind::Mic, "a/b"), CorrectionSettingKey(CorrectionKind::Mic, "a_b"));
  EXPECT_NE(CorrectionSettingKey(CorrectionKind::Mic, "x"), CorrectionSettingKey(CorrectionKind::Device, "x"));
  // Nothing a settings store reads as a group or a section.
  EXPECT_FALSE(CorrectionSettingKey(CorrectionKind::Mic, "USB [hw:1,0] / Mic\\1")
                   .contains(QRegularExpression("[/\\\\\\[\\] ]")));
}

TEST_F(FrmDetailsFilesTest, ABadFileIsSaidAndChangesNothing) {
  FrmMain w;
  w.AddResultItem(Sweep("01.dat", 10000), -2, 0);
  FrmDetails* d = Open(w, 0);
  ASSERT_NE(d, nullptr);
  const QString good = Text("mic.txt", "20 2\n20000 2\n");
  ASSERT_TRUE(d->SetCorrectionFile(CorrectionKind::Mic, good));
  const QString key = window_files::CorrectionSettingKey(CorrectionKind::Mic, d->InputDevice());
  const double before = ValueAt(*d, 1000, w.LV->DispColor(0));
  Answer(Text("falling.txt", "100 1\n50 2\n"));
  d->ButtonMic->click();
  ASSERT_EQ(Said().size(), 1);
  EXPECT_TRUE(Said()[0].contains("マイクの補正ファイルとして読み込めませんでした")) << Said()[0].toStdString();
  EXPECT_TRUE(Said()[0].contains("2 行目")) << Said()[0].toStdString();
  EXPECT_TRUE(Said()[0].contains("falling.txt"));
  EXPECT_EQ(d->CurrentCalibration().micPath, good);
  EXPECT_EQ(d->LabelMic->text(), "mic.txt");
  EXPECT_EQ(basic::ReadSetting(key, QString()), good);
  EXPECT_EQ(ValueAt(*d, 1000, w.LV->DispColor(0)), before);
  // A file that is no correction file at all, and one that is gone.
  EXPECT_FALSE(d->SetCorrectionFile(CorrectionKind::Device, Text("notes.txt", "just some words\n")));
  EXPECT_FALSE(d->SetCorrectionFile(CorrectionKind::Device, dir.filePath("gone.frd")));
  ASSERT_EQ(Said().size(), 3);
  EXPECT_TRUE(Said()[1].contains("2 行以上ありません")) << Said()[1].toStdString();
  EXPECT_TRUE(Said()[2].contains("ファイルがありません")) << Said()[2].toStdString();
  EXPECT_FALSE(d->CurrentCalibration().device.has_value());
}

TEST_F(FrmDetailsFilesTest, ADroppedReferenceIsDrawnInTheDetailsWindowOnly) {
  FrmMain w;
  w.show();
  w.AddResultItem(Sweep("01.dat", 10000), -2, 0);
  w.LV->SetSelectedItem(0);
  w.LV_Clicked(0, 0);
  const QImage picture = w.PictureFFT->Image();
  const QString target = Text("target.frd", "* a target\n20 -20 0\n20000 -20 0\n");
  w.LV_OLEDragDrop({target}, 1e9);
  ASSERT_EQ(w.LV->ItemCount(), 2);
  EXPECT_TRUE(w.IsReferenceItem(1));
  EXPECT_EQ(w.LV->AuxID(1, 1).toInt(), 0);
  EXPECT_EQ(w.LV->Value(1, 0).toString(), "target");
  const uint32_t color = w.LV->DispColor(1);
  EXPECT_NE(color, w.LV->DispColor(0));
  // Clicking its line leaves the main window's picture as it was.
  w.LV->UnSelectAll();
  w.LV->SetSelectedItem(1);
  w.LV_Clicked(0, 0);
  EXPECT_EQ(w.PictureFFT->Image(), picture);
  EXPECT_TRUE(Said().isEmpty()) << Said().join(" / ").toStdString();
  // Opened on the result, with the reference checked: drawn flat at -20 dB.
  FrmDetails* d = Open(w, 0);
  ASSERT_NE(d, nullptr);
  EXPECT_FALSE(d->IsShown(1));
  d->SetShown(1, true);
  EXPECT_NEAR(ValueAt(*d, 500, color), -20, 0.6);
  EXPECT_GT(Ink(*d->PicturePlot, color), 300);
  // Opened on the reference itself.
  FrmDetails* again = Open(w, 1);
  EXPECT_NEAR(ValueAt(*again, 500, color), -20, 0.6);
  // Deleted from the list like a dropped result: the file stays.
  w.LV->UnSelectAll();
  w.LV->SetSelectedItem(1);
  w.MenuDelete->trigger();
  EXPECT_EQ(w.LV->ItemCount(), 1);
  EXPECT_TRUE(QFile::exists(target));
  EXPECT_EQ(Ink(*d->PicturePlot, color), 0);
}

TEST_F(FrmDetailsFilesTest, ADroppedFileNotOfTheFormIsSaidAndChangesNothing) {
  FrmMain w;
  w.AddResultItem(Sweep("01.dat", 10000), -2, 0);
  w.LV_OLEDragDrop({Text("readme.txt", "This is not a curve.\n"), Text("one.csv", "frequency,db\n1000,3\n")}, 1e9);
  EXPECT_EQ(w.LV->ItemCount(), 1);
  ASSERT_EQ(Said().size(), 2);
  EXPECT_TRUE(Said()[0].contains("参照曲線として読み込めませんでした")) << Said()[0].toStdString();
  EXPECT_TRUE(Said()[0].contains("readme.txt"));
  EXPECT_TRUE(Said()[1].contains("one.csv"));
}

TEST_F(FrmDetailsFilesTest, AReferenceOpenedFromTheWindowIsListedShownAndKeptAtClose) {
  FrmMain w;
  w.AddResultItem(Sweep("01.dat", 10000), -2, 0);
  FrmDetails* d = Open(w, 0);
  ASSERT_NE(d, nullptr);
  const QString target = Text("room.cal", "\"a target\"\n20;-10\n20000;-10\n");
  Answer(target);
  d->ButtonReference->click();
  ASSERT_EQ(w.LV->ItemCount(), 2);
  EXPECT_TRUE(w.IsReferenceItem(1));
  EXPECT_TRUE(d->IsShown(1));
  EXPECT_NEAR(ValueAt(*d, 500, w.LV->DispColor(1)), -10, 0.6);
  // One that is not of the form: said, nothing listed.
  Answer(Text("notes.cal", "nothing here\n"));
  d->ButtonReference->click();
  EXPECT_EQ(w.LV->ItemCount(), 2);
  ASSERT_EQ(Said().size(), 1);
  EXPECT_TRUE(Said()[0].contains("参照曲線として読み込めませんでした"));
  // Closing the program keeps the user's file.
  answer = basic::vbYes;
  ASSERT_TRUE(w.Form_Unload());
  EXPECT_TRUE(QFile::exists(target));
}

}  // namespace
