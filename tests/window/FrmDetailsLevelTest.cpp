// The details window's sound pressure: "校正" records a calibrator's tone
// through the loopback simulator (on a stepped clock) and takes the
// sensitivity from a steady 1 kHz tone only; the magnitude axis turns into
// dB SPL; the level read-out weights the input as IEC 61672's curves do.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "audio/LoopbackSim.h"
#include "dsp/Weighting.h"
#include "measurement/ResultFiles.h"
#include "measurement/SideFiles.h"
#include "support/Settings.h"
#include "tests/measurement/SimulatedSweep.h"
#include "tests/window/FrmMainFixture.h"
#include "window/CorrectionChoice.h"
#include "window/FrmDetails.h"

namespace {

using WaveMMIO::LoopbackPath;
using WaveMMIO::StereoSample;
using zarin_test::FrmMainResultsTest;
using zarin_test::kMs;

constexpr int32_t kRate = FrmDetails::kInputRate;

class FrmDetailsLevelTest : public FrmMainResultsTest {
 protected:
  void TearDown() override {
    if (out) out->Reset();
    out.reset();  // before the buffer it plays goes
    FrmMainResultsTest::TearDown();
  }
  // Plays a tone of hz at peakDbfs on the simulator's output for 10 s; the
  // level steps by stepDb every half second when stepDb is not 0.
  void PlayTone(double hz, double peakDbfs, double stepDb = 0) {
    tone.assign(static_cast<size_t>(10 * kRate), {});
    for (size_t i = 0; i < tone.size(); ++i) {
      const double t = static_cast<double>(i) / kRate;
      const double db = peakDbfs + (static_cast<int>(t / 0.5) % 2) * stepDb;
      const auto v = static_cast<int16_t>(
          std::lround(32767.0 * std::pow(10.0, db / 20) * std::sin(2 * std::numbers::pi * hz * t)));
      tone[i] = {v, v};
    }
    ASSERT_EQ(WaveMMIO::SoundHost::Instance().Open(WaveMMIO::Direction::Output, 0, kRate, out),
              WaveMMIO::DeviceError::None);
    ASSERT_EQ(out->Queue(tone.data(), static_cast<uint32_t>(tone.size())), WaveMMIO::DeviceError::None);
  }
  // Steps the clock and polls the window until the calibration ends.
  void RunCalibration(FrmDetails& d) {
    for (int i = 0; i < 1000 && d.Calibrating(); ++i) {
      *now += 50 * kMs;
      d.PollInput();
    }
    ASSERT_FALSE(d.Calibrating());
  }
  // The loopback cable's gain at hz (dB): -6 dB and its two filters.
  static double CableDb(double hz) {
    return LoopbackPath::kGainDb - 10 * std::log10(1 + std::pow(LoopbackPath::kHighPassHz / hz, 4)) -
           10 * std::log10(1 + std::pow(hz / LoopbackPath::kLowPassHz, 4));
  }
  QStringList Said() const { return messages + questions; }
  std::vector<StereoSample> tone;
  std::unique_ptr<WaveMMIO::SoundStream> out;
};

TEST_F(FrmDetailsLevelTest, ASteadyCalibratorToneSetsTheSensitivity) {
  FrmDetails d;
  d.SetInputDevice(WaveMMIO::LoopbackBackend::kDeviceName);
  PlayTone(1000, -14);                    // -20 dBFS at the input
  d.ComboCalibrator->setCurrentIndex(0);  // 94 dB
  d.ButtonCalibrate->click();
  ASSERT_TRUE(d.Calibrating());
  EXPECT_FALSE(d.ButtonCalibrate->isEnabled());
  RunCalibration(d);
  EXPECT_TRUE(Said().isEmpty()) << Said().join(" / ").toStdString();
  const double expected = -14 + CableDb(1000);
  ASSERT_TRUE(d.CurrentCalibration().sensitivityDbfs.has_value());
  EXPECT_NEAR(*d.CurrentCalibration().sensitivityDbfs, expected, 0.02);
  EXPECT_EQ(d.TextSensitivity->text(), QString::number(expected, 'f', 1));
  EXPECT_TRUE(d.ButtonCalibrate->isEnabled());
  // Remembered for the device as measured, not as shown to a tenth.
  FrmDetails again;
  again.SetInputDevice(WaveMMIO::LoopbackBackend::kDeviceName);
  ASSERT_TRUE(again.CurrentCalibration().sensitivityDbfs.has_value());
  EXPECT_NEAR(*again.CurrentCalibration().sensitivityDbfs, *d.CurrentCalibration().sensitivityDbfs, 0.0006);
  d.SetSensitivity(-19.953);
  FrmDetails later;
  later.SetInputDevice(WaveMMIO::LoopbackBackend::kDeviceName);
  EXPECT_NEAR(*later.CurrentCalibration().sensitivityDbfs, -19.953, 1e-9);
  EXPECT_EQ(later.TextSensitivity->text(), "-20.0");
  // Leaving the box as shown keeps the value.
  emit later.TextSensitivity->editingFinished();
  EXPECT_NEAR(*later.CurrentCalibration().sensitivityDbfs, -19.953, 1e-9);

  // A 114 dB calibrator at the same level: the input is 20 dB less sensitive.
  d.ComboCalibrator->setCurrentIndex(1);
  ASSERT_TRUE(d.StartCalibration());
  RunCalibration(d);
  EXPECT_NEAR(*d.CurrentCalibration().sensitivityDbfs, expected - 20, 0.02);
}

TEST_F(FrmDetailsLevelTest, AToneOffOneKilohertzOrUnsteadyChangesNothing) {
  FrmDetails d;
  d.SetInputDevice(WaveMMIO::LoopbackBackend::kDeviceName);
  d.SetSensitivity(-30.0);
  PlayTone(1060, -14);  // 6 % high
  ASSERT_TRUE(d.StartCalibration());
  RunCalibration(d);
  ASSERT_EQ(Said().size(), 1);
  EXPECT_TRUE(Said()[0].contains("1 kHz から 5 % 以上")) << Said()[0].toStdString();
  EXPECT_TRUE(Said()[0].contains("1060 Hz")) << Said()[0].toStdString();
  EXPECT_EQ(d.CurrentCalibration().sensitivityDbfs, -30.0);
  out->Reset();
  out.reset();

  PlayTone(1000, -14, 0.3);  // 0.3 dB up every other half second
  ASSERT_TRUE(d.StartCalibration());
  RunCalibration(d);
  ASSERT_EQ(Said().size(), 2);
  EXPECT_TRUE(Said()[1].contains("揺れています")) << Said()[1].toStdString();
  EXPECT_EQ(d.CurrentCalibration().sensitivityDbfs, -30.0);
  EXPECT_EQ(d.TextSensitivity->text(), "-30.0");
  out->Reset();
  out.reset();

  // 4.5 % off and steady is still a calibrator.
  PlayTone(1045, -14);
  ASSERT_TRUE(d.StartCalibration());
  RunCalibration(d);
  EXPECT_EQ(Said().size(), 2);
  EXPECT_NEAR(*d.CurrentCalibration().sensitivityDbfs, -14 + CableDb(1045), 0.02);
}

TEST_F(FrmDetailsLevelTest, AnInputThatDoesNotOpenIsSaid) {
  FrmDetails d;
  d.SetInputDevice("7");  // a number no device has
  EXPECT_FALSE(d.StartCalibration());
  ASSERT_EQ(Said().size(), 1);
  EXPECT_TRUE(Said()[0].contains("入力デバイスを開けませんでした")) << Said()[0].toStdString();
  EXPECT_FALSE(d.Calibrating());
  EXPECT_TRUE(d.ButtonCalibrate->isEnabled());
}

TEST_F(FrmDetailsLevelTest, TheLevelReadOutIsWeightedAsTheStandardsCurves) {
  FrmDetails d;
  d.SetInputDevice(WaveMMIO::LoopbackBackend::kDeviceName);
  d.SetSensitivity(-40.0);
  PlayTone(250, -14);
  d.ButtonLevel->click();
  ASSERT_TRUE(d.ShowingLevel());
  // Two blocks: the second has the tone all through.
  QStringList readings;
  const int64_t start = *now;
  for (int i = 0; i < 100 && readings.size() < 2; ++i) {
    *now += 50 * kMs;
    d.PollInput();
    if (!d.LabelLevel->text().isEmpty()) readings << d.LabelLevel->text();
    d.LabelLevel->clear();  // a block reading the same is seen too
  }
  EXPECT_EQ(*now - start, 2 * 500 * kMs);  // a reading every half second
  ASSERT_EQ(readings.size(), 2);
  const QStringList parts = readings[1].split(' ', Qt::SkipEmptyParts);
  ASSERT_EQ(parts.size(), 8) << readings[1].toStdString();  // A x C y Z z dB SPL
  EXPECT_EQ(parts[0], "A");
  EXPECT_EQ(parts[6] + " " + parts[7], "dB SPL");
  const double z = 94 + (-14 + CableDb(250)) - (-40);
  EXPECT_NEAR(parts[5].toDouble(), z, 0.06);
  EXPECT_NEAR(parts[1].toDouble(), z + dsp::WeightingDb(dsp::Weighting::A, 250), 0.06);
  EXPECT_NEAR(parts[3].toDouble(), z + dsp::WeightingDb(dsp::Weighting::C, 250), 0.06);
  // Off again: the input is closed.
  d.ButtonLevel->click();
  EXPECT_FALSE(d.ShowingLevel());
}

TEST_F(FrmDetailsLevelTest, WithASensitivityTheMagnitudeReadsInDbSpl) {
  // A sweep whose side file says it was played at -10 dB.
  measurement::Result run;
  run.mode = measurement::SignalMode::Sweep;
  run.sampleRate = 8000;
  run.envelope.assign(16000, 10000);
  const QString path = dir.filePath("01.dat");
  ASSERT_TRUE(measurement::SaveResultFile(path, run));
  const measurement::ImpulseResponse ir = measurement::testing::SimulateSweep(8000, 2.0, -100).Response();
  ASSERT_TRUE(measurement::WriteSideFiles(path, ir, {QStringLiteral("good"), -100}));
  FrmDetails d;
  d.SetInputDevice(WaveMMIO::LoopbackBackend::kDeviceName);
  d.SetResults({{path, "01", 0x2020F0}}, 0, -6.0f);
  ASSERT_FALSE(d.Views().empty());
  const double gain = measurement::CurveValueAt(d.Views()[0].curves.back(), 1000);
  ASSERT_TRUE(std::isfinite(gain));
  EXPECT_EQ(d.Views()[0].title, "周波数特性 (dB)");
  d.TextSensitivity->setText("-36.6");
  emit d.TextSensitivity->editingFinished();
  EXPECT_EQ(d.Views()[0].title, "周波数特性 (dB SPL)");
  EXPECT_NEAR(measurement::CurveValueAt(d.Views()[0].curves.back(), 1000), 94 + gain - 10 - (-36.6), 1e-9);
  // Nonsense typed in is said and leaves the sensitivity.
  d.TextSensitivity->setText("loud");
  emit d.TextSensitivity->editingFinished();
  ASSERT_EQ(Said().size(), 1);
  EXPECT_EQ(*d.CurrentCalibration().sensitivityDbfs, -36.6);
  EXPECT_EQ(d.TextSensitivity->text(), "-36.6");
  // Emptied: back to dB.
  d.TextSensitivity->clear();
  emit d.TextSensitivity->editingFinished();
  EXPECT_EQ(d.Views()[0].title, "周波数特性 (dB)");
}

}  // namespace
