// A completed sweep run leaves its impulse response beside its result
// (NN.ir.wav and NN.json), deconvolved with the run's own timing, and
// stores its result even when the response cannot be written.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <complex>
#include <memory>
#include <optional>
#include <vector>

#include "audio/LoopbackSim.h"
#include "measurement/Export.h"
#include "measurement/MeasurementRun.h"
#include "measurement/ResultFiles.h"
#include "measurement/Responses.h"
#include "measurement/SideFiles.h"
#include "support/CheckedFile.h"
#include "tests/measurement/CableResponse.h"
#include "tests/measurement/LoopbackRun.h"
#include "widgets/MessageBox.h"

using namespace measurement;
using namespace measurement::testing;

namespace {

class RunSideFilesTest : public LoopbackRunTest {
 protected:
  void SetUp() override {
    basic::SetMessagePresenter([](const QString&, const QString&, basic::MsgIcon) {});
    MeasurementRun::Callbacks cb;
    cb.SweepCompleted = [this] { run.AnalyseSweep(); };
    cb.ResultReady = [this](const QString&, const Result& result) { stored = run.StoreResult(result); };
    SetUpRun(cb);
    run.SetDataFolder(dir.path() + "/");
  }
  void TearDown() override {
    basic::SetMessagePresenter({});
    basic::SetWriteFault({});
  }
  void Measure(int32_t rate, int32_t seconds) {
    ASSERT_TRUE(run.Start(Request(SignalMode::Sweep, rate, seconds)));
    RunToEnd();
  }
  QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  QTemporaryDir dir;
  StoredResult stored;
};

TEST_F(RunSideFilesTest, ASweepRunLeavesTheCablesResponseBesideItsResult) {
  cable->SetDelayMs(25);
  cable->SetCaptureStartOffsetNs(-40 * kMs);
  Measure(48000, 3);
  const QString dat = dir.filePath("01.dat");
  ASSERT_EQ(stored.path, dat);
  EXPECT_TRUE(stored.sideFilesWritten);
  // The result file is what it always was.
  EXPECT_EQ(Bytes(dat), ResultFileBytes(run.Current()));

  SideInfo info;
  const auto ir = ReadSideFiles(dat, &info);
  ASSERT_TRUE(ir.has_value());
  EXPECT_EQ(ir->rate, 48000);
  // Aligned by the run's timing: the capture hears the sweep 25 ms after
  // playback starts, 40 ms after capture starts.
  EXPECT_NEAR(ir->timing.delayFrames, 65 * 48, 1);
  EXPECT_NEAR(info.delayMs, 25, 0.05);
  EXPECT_EQ(info.delayReference, QStringLiteral("playback start"));
  EXPECT_NEAR(info.driftPpm, 0, 0.5);
  EXPECT_EQ(info.levelTenthsDb, -30);
  for (const ResponsePoint& p : FrequencyResponse(*ir, LogFrequencies(20, 0.9 * 24000, 12)))
    ASSERT_NEAR(p.gainDb, 20 * std::log10(std::abs(Cable(48000, p.hz))), 0.1) << p.hz << " Hz";
  const QJsonObject json = QJsonDocument::fromJson(Bytes(SideJsonPath(dat))).object();
  for (const char* key : {"delay_ms", "drift_ppm", "verdict", "level_tenths_db", "delay_reference"})
    EXPECT_TRUE(json.contains(QLatin1String(key))) << key;

  // A noise run has none.
  ASSERT_TRUE(run.Start(Request(SignalMode::Noise, 48000, 1)));
  RunToEnd();
  EXPECT_EQ(stored.path, dir.filePath("02.fft"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{"01.dat", "01.ir.wav", "01.json", "02.fft"}));
}

TEST_F(RunSideFilesTest, AFractionalDelayKeepsTheExcessPhaseWithinThreeDegrees) {
  // The capture starts half a frame off the output's frames and its clock
  // runs a hair fast, so the simulator hears the cable between frames.
  cable->SetDelayMs(10);
  cable->SetCaptureStartOffsetNs(-40 * kMs - 10'417);
  cable->SetInputDriftPpm(0.001);
  Measure(48000, 3);
  ASSERT_FALSE(run.Current().response.Empty());
  const ImpulseResponse& ir = run.Current().response;
  // 10 ms + 40 ms + 0.5 frame, from the capture's first frame.
  EXPECT_NEAR(ir.timing.delayFrames, 2400.5, 0.05);
  EXPECT_GT(std::abs(ir.fraction), 0.3);
  for (const ResponsePoint& p : FrequencyResponse(ir, LogFrequencies(50, 10000, 12))) {
    const std::complex<double> truth = Cable(48000, p.hz);
    ASSERT_NEAR(WrapDeg(p.phaseDeg - Deg(truth)), 0, 3) << p.hz << " Hz";
  }
}

TEST_F(RunSideFilesTest, TheStoredResponseRunsASecondPastItsPeak) {
  // Heard between frames and a hair late, so that the peak stands past the
  // place the timing first gave.
  cable->SetDelayMs(10);
  cable->SetCaptureStartOffsetNs(-40 * kMs - 10'417);
  Measure(48000, 3);
  const std::optional<FloatWav> wav = ReadFloatWav(ImpulseWavPath(dir.filePath("01.dat")));
  ASSERT_TRUE(wav.has_value());
  ASSERT_EQ(wav->rate, 48000);
  ASSERT_FALSE(wav->samples.empty());
  size_t peak = 0;
  for (size_t i = 0; i < wav->samples.size(); ++i)
    if (std::abs(wav->samples[i]) > std::abs(wav->samples[peak])) peak = i;
  EXPECT_GE(wav->samples.size() - 1 - peak, 48000u);
}

TEST_F(RunSideFilesTest, AFullDiskWhileWritingTheResponseKeepsTheResult) {
  // The disk fills once the result file is in place.
  const QString dat = dir.filePath("01.dat");
  basic::SetWriteFault([dat](basic::WriteStage, int64_t) { return QFileInfo::exists(dat) ? ENOSPC : 0; });
  Measure(48000, 2);
  basic::SetWriteFault({});
  ASSERT_EQ(stored.path, dat);
  EXPECT_FALSE(stored.sideFilesWritten);
  EXPECT_FALSE(stored.error.isEmpty());
  EXPECT_EQ(Bytes(dat), ResultFileBytes(run.Current()));
  EXPECT_FALSE(run.Current().response.Empty());
  // Neither side file is left half written.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"01.dat"});
}

TEST_F(RunSideFilesTest, AResultWithoutAResponseTakesNoOtherResultsSideFiles) {
  // Side files a former 01.dat left behind.
  Measure(48000, 2);
  ASSERT_TRUE(HasSideFiles(dir.filePath("01.dat")));
  ASSERT_TRUE(QFile::remove(dir.filePath("01.dat")));
  // A sweep that never came back has no response.
  Result silent = run.Current();
  silent.response = ImpulseResponse{};
  const StoredResult again = run.StoreResult(silent);
  ASSERT_EQ(again.path, dir.filePath("01.dat"));
  EXPECT_TRUE(again.sideFilesWritten);
  EXPECT_FALSE(QFileInfo::exists(ImpulseWavPath(again.path)));
  EXPECT_FALSE(QFileInfo::exists(SideJsonPath(again.path)));
}

TEST_F(RunSideFilesTest, TheCsvOfAResultWithItsResponseCarriesThePhase) {
  Measure(48000, 2);
  const QString dat = dir.filePath("01.dat");
  // Read back from the files, as an export does.
  LoadedResult loaded = LoadResultFile(dat);
  ASSERT_TRUE(loaded.Loaded());
  const QString plain = ResultCsv(loaded.result);
  EXPECT_TRUE(plain.startsWith("frequency_hz,gain_db\n"));
  ReadSideFilesInto(loaded.result, dat);
  ASSERT_FALSE(loaded.result.response.Empty());
  const QString csv = ResultCsv(loaded.result);
  ASSERT_TRUE(csv.startsWith("frequency_hz,gain_db,phase_deg\n"));
  EXPECT_EQ(csv, ResultCsv(run.Current()));
  ASSERT_TRUE(WriteTextFile(dir.filePath("a.csv"), csv));
  const QStringList lines = QString::fromUtf8(Bytes(dir.filePath("a.csv"))).split('\n', Qt::SkipEmptyParts);
  const QStringList gains = plain.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), gains.size());
  std::vector<double> hz;
  for (qsizetype i = 1; i < lines.size(); ++i) hz.push_back(lines[i].section(',', 0, 0).toDouble());
  const auto points = FrequencyResponse(loaded.result.response, hz);
  int checked = 0;
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QStringList cells = lines[i].split(',');
    ASSERT_EQ(cells.size(), 3);
    // The gain column is the envelope's, as before; the phase the response's.
    EXPECT_EQ(cells[0] + ',' + cells[1], gains[i]);
    const double phase = cells[2].toDouble();
    EXPECT_NEAR(phase, points[static_cast<size_t>(i - 1)].phaseDeg, 0.1) << cells[0].toStdString();
    ++checked;
  }
  EXPECT_GT(checked, 200);
  // A noise result has no phase.
  Result noise;
  noise.mode = SignalMode::Noise;
  noise.sampleRate = 48000;
  noise.response = loaded.result.response;
  EXPECT_TRUE(ResultCsv(noise).startsWith("frequency_hz,gain_db\n"));
}

}  // namespace
