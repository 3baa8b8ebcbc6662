// The details window writes the opened result's response: the FRD with the
// smoothing chosen (read back against the simulated path's own formula), the
// impulse response as a float WAV and the distortion as CSV; never onto the
// result's own files, and not for a result without a response.
#include <QFile>
#include <QPushButton>
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "audio/Biquad.h"
#include "audio/LoopbackSim.h"
#include "measurement/ResultFiles.h"
#include "measurement/SideFiles.h"
#include "measurement/TestSignal.h"
#include "measurement/VerdictText.h"
#include "tests/measurement/SimulatedSweep.h"
#include "tests/window/FrmMainFixture.h"
#include "widgets/Dialogs.h"
#include "window/FrmDetails.h"

namespace {

using zarin_test::FrmMainResultsTest;

constexpr int32_t kRate = 8000;

class FrmDetailsExportTest : public FrmMainResultsTest {
 protected:
  void TearDown() override {
    basic::SetFilePresenter({});
    FrmMainResultsTest::TearDown();
  }
  // A 2 s sweep result through the simulator, with its side files when asked.
  QString Result(const QString& name, bool sideFiles) {
    const measurement::testing::SimulatedSweep sim = measurement::testing::SimulateSweep(kRate, 2.0, -30);
    measurement::Result run;
    run.mode = measurement::SignalMode::Sweep;
    run.sampleRate = kRate;
    run.envelope.assign(sim.play.size(), 10000);
    const QString path = dir.filePath(name);
    EXPECT_TRUE(measurement::SaveResultFile(path, run));
    if (sideFiles) {
      const measurement::SideInfo info{
          measurement::QualityKey(measurement::Quality::Good), -30, 10.0, QStringLiteral("playback start"), 0.0, {}};
      EXPECT_TRUE(measurement::WriteSideFiles(path, sim.Response(), info));
    }
    return path;
  }
  FrmDetails* Open(FrmMain& w, const QString& path) {
    w.AddResultItem(path, -2, 0);
    w.LV->SetSelectedItem(w.LV->ItemCount() - 1);
    w.MenuDetails->trigger();
    return w.Details();
  }
  static QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
};

// The simulator's path at this rate: its gain and its 100 Hz high-pass.
std::complex<double> PathAt(double hz) {
  const auto hp = WaveMMIO::Biquad::HighPass(kRate, WaveMMIO::LoopbackPath::kHighPassHz, 1 / std::sqrt(2.0));
  return std::pow(10.0, WaveMMIO::LoopbackPath::kGainDb / 20) * hp.ResponseAt(kRate, hz);
}

TEST_F(FrmDetailsExportTest, TheFrdIsThePathWithTheSmoothingChosen) {
  FrmMain w;
  FrmDetails* d = Open(w, Result("01.dat", true));
  ASSERT_NE(d, nullptr);
  ASSERT_TRUE(d->ButtonExport->isEnabled());
  d->SetSmoothing(measurement::ViewSmoothing::Octave6);
  // As a user does it: the button, a name without an extension.
  basic::SetFilePresenter([&](int32_t save, const QString&, const QString&, const QString&) {
    EXPECT_EQ(save, 1);
    return dir.filePath("speaker");
  });
  d->ButtonExport->click();
  const QStringList lines = QString::fromUtf8(Bytes(dir.filePath("speaker.frd"))).split('\n', Qt::SkipEmptyParts);
  ASSERT_GT(lines.size(), 100) << questions.join(" / ").toStdString();
  EXPECT_TRUE(lines.contains("* smoothing 1/6"));
  int checked = 0;
  for (const QString& line : lines) {
    if (line.startsWith('*')) continue;
    const QStringList f = line.split(' ');
    ASSERT_EQ(f.size(), 3) << line.toStdString();
    const double hz = f[0].toDouble();
    if (hz < 300 || hz > 3000) continue;  // where a sixth of an octave changes the path by far less than 0.1 dB
    EXPECT_NEAR(f[1].toDouble(), 20 * std::log10(std::abs(PathAt(hz))), 0.1) << hz;
    EXPECT_NEAR(f[2].toDouble(), std::arg(PathAt(hz)) * 180 / M_PI, 3.0) << hz;
    ++checked;
  }
  EXPECT_GT(checked, 100);
  EXPECT_TRUE(questions.isEmpty()) << questions.join(" / ").toStdString();
}

TEST_F(FrmDetailsExportTest, TheImpulseAndTheDistortionGoWhereTheirNamesSay) {
  FrmMain w;
  const QString path = Result("01.dat", true);
  FrmDetails* d = Open(w, path);
  ASSERT_NE(d, nullptr);
  ASSERT_TRUE(d->ExportResponse(dir.filePath("ir.wav")));
  const auto wav = measurement::ReadFloatWav(dir.filePath("ir.wav"));
  const auto side = measurement::ReadFloatWav(measurement::ImpulseWavPath(path));
  ASSERT_TRUE(wav && side);
  EXPECT_EQ(wav->rate, kRate);
  EXPECT_EQ(wav->samples, side->samples);
  ASSERT_TRUE(d->ExportResponse(dir.filePath("h.csv")));
  EXPECT_TRUE(Bytes(dir.filePath("h.csv")).startsWith("frequency_hz,thd_percent,h2_db,h3_db,h4_db,h5_db\n"));
  // Never onto the result's own files.
  const QByteArray kept = Bytes(measurement::ImpulseWavPath(path));
  EXPECT_FALSE(d->ExportResponse(measurement::ImpulseWavPath(path)));
  EXPECT_FALSE(d->ExportResponse(path));
  EXPECT_EQ(Bytes(measurement::ImpulseWavPath(path)), kept);
  EXPECT_EQ(questions.size(), 2);
}

TEST_F(FrmDetailsExportTest, AResultWithoutAResponseHasNothingToExport) {
  FrmMain w;
  FrmDetails* d = Open(w, Result("01.dat", false));
  ASSERT_NE(d, nullptr);
  EXPECT_FALSE(d->ButtonExport->isEnabled());
  EXPECT_FALSE(d->ExportResponse(dir.filePath("x.frd")));
  EXPECT_FALSE(QFile::exists(dir.filePath("x.frd")));
  EXPECT_EQ(questions.size(), 1);
}

}  // namespace
