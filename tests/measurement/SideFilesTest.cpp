// The side files and the text exports read back as written.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <vector>

#include <sys/stat.h>

#include "audio/Biquad.h"
#include "measurement/Export.h"
#include "measurement/ResponseExport.h"
#include "measurement/SideFiles.h"
#include "measurement/TestSignal.h"

using namespace measurement;

namespace {

// A 2 s sweep at 48 kHz, 100 frames late through a high-pass and a little
// second harmonic.
ImpulseResponse SomeResponse() {
  const int32_t rate = 48000;
  std::vector<StereoSample> play(static_cast<size_t>(2 * rate)), capture(play.size());
  SweepTable table;
  std::vector<int16_t> level;
  GenerateSweep(play, rate, SignalAmplitude(-60), table, level);
  auto hp = WaveMMIO::Biquad::HighPass(rate, 200, 0.7);
  for (size_t j = 100; j < capture.size(); ++j) {
    const double x = play[j - 100].Left / 32768.0;
    const auto v = static_cast<int16_t>(std::nearbyint(hp.Process(x + 0.05 * x * x) * 16384.0));
    capture[j] = {v, v};
  }
  return Deconvolve(play, capture, rate, SweepShapeFor(rate, static_cast<int64_t>(play.size())), {100.25, 0});
}

TEST(SideFiles, NamedBesideTheResult) {
  EXPECT_EQ(ImpulseWavPath(QStringLiteral("/r/07.dat")), QStringLiteral("/r/07.ir.wav"));
  EXPECT_EQ(SideJsonPath(QStringLiteral("/r/07.dat")), QStringLiteral("/r/07.json"));
  EXPECT_EQ(SideJsonPath(QStringLiteral("/r/07.DAT")), QStringLiteral("/r/07.json"));
}

TEST(SideFiles, TheResponseAndItsReadingsComeBackUnchanged) {
  QTemporaryDir dir;
  const QString dat = dir.filePath(QStringLiteral("03.dat"));
  const ImpulseResponse ir = SomeResponse();
  ASSERT_FALSE(ir.Empty());
  ASSERT_TRUE(WriteSideFiles(dat, ir, {QStringLiteral("good"), -60}));
  const auto wav = ReadFloatWav(ImpulseWavPath(dat));
  ASSERT_TRUE(wav.has_value());
  EXPECT_EQ(wav->rate, 48000);
  EXPECT_EQ(wav->samples, ir.samples);
  SideInfo info;
  const auto back = ReadSideFiles(dat, &info);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(info.verdict, QStringLiteral("good"));
  EXPECT_EQ(info.levelTenthsDb, -60);
  EXPECT_EQ(back->origin, ir.origin);
  EXPECT_DOUBLE_EQ(back->fraction, 0.25);
  EXPECT_DOUBLE_EQ(back->sweep.seconds, 2.0);
  EXPECT_EQ(back->noise.density, ir.noise.density);
  const auto hz = LogFrequencies(20, 20000, 6);
  const auto a = FrequencyResponse(ir, hz), b = FrequencyResponse(*back, hz);
  for (size_t i = 0; i < hz.size(); ++i) {
    EXPECT_EQ(a[i].gainDb, b[i].gainDb);
    EXPECT_EQ(a[i].phaseDeg, b[i].phaseDeg);
  }
}

TEST(SideFiles, TheAppliedCorrectionsAreRecordedBesideWhatIsThere) {
  QTemporaryDir dir;
  const QString dat = dir.filePath(QStringLiteral("05.dat"));
  const ImpulseResponse ir = SomeResponse();
  ASSERT_TRUE(WriteSideFiles(dat, ir, {QStringLiteral("good"), -30}));
  EXPECT_EQ(ReadAppliedCorrections(dat), AppliedCorrections{});
  const AppliedCorrections applied{QStringLiteral("/cal/mic 1.txt"), QStringLiteral("/cal/card.frd")};
  ASSERT_TRUE(RecordAppliedCorrections(dat, applied));
  EXPECT_EQ(ReadAppliedCorrections(dat), applied);
  // The response reads back as before, the raw impulse untouched.
  SideInfo info;
  const auto back = ReadSideFiles(dat, &info);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->samples, ir.samples);
  EXPECT_EQ(info.levelTenthsDb, -30);
  // Recorded again: the new names replace the old.
  ASSERT_TRUE(RecordAppliedCorrections(dat, {QString(), QStringLiteral("/cal/other.frd")}));
  EXPECT_EQ(ReadAppliedCorrections(dat).mic, QString());
  EXPECT_EQ(ReadAppliedCorrections(dat).device, QStringLiteral("/cal/other.frd"));
  // A result without side files gets an NN.json of its own; one whose
  // NN.json is not JSON keeps it as it is.
  const QString noise = dir.filePath(QStringLiteral("06.dat"));
  ASSERT_TRUE(RecordAppliedCorrections(noise, applied));
  EXPECT_EQ(ReadAppliedCorrections(noise), applied);
  EXPECT_FALSE(ReadSideFiles(noise).has_value());
  const QString damaged = dir.filePath(QStringLiteral("07.dat"));
  {
    QFile f(SideJsonPath(damaged));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not json");
  }
  EXPECT_FALSE(RecordAppliedCorrections(damaged, applied));
  QFile f(SideJsonPath(damaged));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("not json"));
}

TEST(SideFiles, MissingOrDamagedFilesAreNoResponse) {
  QTemporaryDir dir;
  const QString dat = dir.filePath(QStringLiteral("04.dat"));
  EXPECT_FALSE(ReadSideFiles(dat).has_value());
  ASSERT_TRUE(WriteSideFiles(dat, SomeResponse(), {}));
  // A WAV cut short, and one of 16-bit samples.
  QFile wav(ImpulseWavPath(dat));
  ASSERT_TRUE(wav.open(QIODevice::ReadWrite));
  wav.resize(100);
  wav.close();
  EXPECT_FALSE(ReadSideFiles(dat).has_value());
  std::vector<float> few = {0.5f, -0.25f};
  ASSERT_TRUE(WriteFloatWav(ImpulseWavPath(dat), few, 48000));
  QFile patch(ImpulseWavPath(dat));
  ASSERT_TRUE(patch.open(QIODevice::ReadWrite));
  patch.seek(34);
  patch.write("\x10\x00", 2);  // bits per sample 16
  patch.close();
  EXPECT_FALSE(ReadFloatWav(ImpulseWavPath(dat)).has_value());
  EXPECT_FALSE(WriteSideFiles(dat, ImpulseResponse{}, {}));
  // Special files beside a result are never opened: a FIFO would block the
  // reader forever. Nor is one replaced by a written side file.
  QFile::remove(SideJsonPath(dat));
  QFile::remove(ImpulseWavPath(dat));
  ASSERT_EQ(mkfifo(QFile::encodeName(ImpulseWavPath(dat)).constData(), 0600), 0);
  ASSERT_EQ(mkfifo(QFile::encodeName(SideJsonPath(dat)).constData(), 0600), 0);
  EXPECT_FALSE(ReadFloatWav(ImpulseWavPath(dat)).has_value());
  EXPECT_FALSE(ReadSideFiles(dat).has_value());
  EXPECT_FALSE(WriteSideFiles(dat, SomeResponse(), {}));
  EXPECT_FALSE(QFileInfo(ImpulseWavPath(dat)).isFile());
}

TEST(ResponseExport, FrdReadsBackWithinAHundredthOfADecibelAndATenthOfADegree) {
  QTemporaryDir dir;
  const ImpulseResponse ir = SomeResponse();
  const QString text = FrdText(ir, Smoothing::Octave6, kExportPointsPerOctave, QStringLiteral("2026-12-08"));
  QStringList comments;
  std::vector<double> hz, db, deg;
  for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
    if (line.startsWith(QLatin1Char('*'))) {
      comments << line;
      continue;
    }
    const QStringList f = line.split(QLatin1Char(' '));
    ASSERT_EQ(f.size(), 3) << line.toStdString();
    hz.push_back(f[0].toDouble());
    db.push_back(f[1].toDouble());
    deg.push_back(f[2].toDouble());
  }
  EXPECT_TRUE(comments.join(QLatin1Char('\n')).contains(QStringLiteral("* smoothing 1/6")));
  EXPECT_TRUE(comments.join(QLatin1Char('\n')).contains(QStringLiteral("* rate 48000 Hz")));
  ASSERT_GT(hz.size(), 400u);  // 1/48 octave from 10 Hz to 24 kHz
  EXPECT_GE(hz.front(), 10.0);
  EXPECT_LT(hz.back(), 24000.0);
  ResponseOptions options;
  options.smoothing = Smoothing::Octave6;
  const auto truth = FrequencyResponse(ir, hz, options);
  for (size_t i = 0; i < hz.size(); ++i) {
    EXPECT_NEAR(db[i], truth[i].gainDb, 0.01) << hz[i];
    EXPECT_NEAR(std::remainder(deg[i] - truth[i].phaseDeg, 360.0), 0, 0.1) << hz[i];
  }
  // Per octave as asked.
  const QString sparse = FrdText(ir, Smoothing::None, 3, QStringLiteral("d"));
  EXPECT_EQ(sparse.count(QLatin1Char('\n')) - 6,
            static_cast<qsizetype>(LogFrequencies(10, 24000 * (1 - 1e-6), 3).size()));
}

// The rows of an FRD text: frequency -> (dB, degrees); the comments apart.
struct FrdRows {
  std::vector<double> hz, db, deg;
  QStringList comments;
};
FrdRows ReadFrd(const QString& text) {
  FrdRows rows;
  for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
    if (line.startsWith(QLatin1Char('*'))) {
      rows.comments << line;
      continue;
    }
    const QStringList f = line.split(QLatin1Char(' '));
    rows.hz.push_back(f.value(0).toDouble());
    rows.db.push_back(f.value(1).toDouble());
    rows.deg.push_back(f.value(2).toDouble());
  }
  return rows;
}

TEST(ResponseExport, TheFrdNamesTheRunsDelayAndTheResponsesArrivalApart) {
  const ImpulseResponse ir = SomeResponse();  // heard 100.25 frames into the capture
  SideInfo info;
  info.delayMs = 10.019;
  info.delayReference = QStringLiteral("playback start");
  const QStringList lines = FrdText(ir, Smoothing::None, 3, QStringLiteral("d"), {}, info).split(QLatin1Char('\n'));
  EXPECT_TRUE(lines.contains(QStringLiteral("* delay 10.019 ms (from the start of playback)")));
  EXPECT_TRUE(lines.contains(
      QStringLiteral("* arrival %1 ms (100.25 frames from the start of capture; the phase is read against it)")
          .arg(QString::number(100.25 / 48, 'f', 4))));
  EXPECT_EQ(lines.filter(QStringLiteral("delay")).size(), 1);
  // Without the run's readings there is only the arrival.
  const QString bare = FrdText(ir, Smoothing::None, 3, QStringLiteral("d"));
  EXPECT_FALSE(bare.contains(QStringLiteral("* delay")));
  EXPECT_TRUE(bare.contains(QStringLiteral("* arrival ")));
}

TEST(ResponseExport, TheCorrectionFilesComeOffTheFrdAndTheCsvsPhase) {
  const ImpulseResponse ir = SomeResponse();
  Calibration calibration;
  calibration.mic = ParseCorrection("* a microphone\n20 -1 10\n1000 0.5 -20\n20000 2 170\n").curve;
  calibration.micPath = QStringLiteral("/cal/mic.frd");
  calibration.device = ParseCorrection("20 0.25\n20000 -0.75\n").curve;  // no phase: none comes off
  calibration.devicePath = QStringLiteral("/cal/card.txt");
  ASSERT_TRUE(calibration.mic && calibration.device);
  const FrdRows plain = ReadFrd(FrdText(ir, Smoothing::None, 12, QStringLiteral("d")));
  const FrdRows corrected = ReadFrd(FrdText(ir, Smoothing::None, 12, QStringLiteral("d"), calibration));
  EXPECT_TRUE(corrected.comments.join('\n').contains(QStringLiteral("/cal/mic.frd")));
  EXPECT_TRUE(corrected.comments.join('\n').contains(QStringLiteral("/cal/card.txt")));
  ASSERT_EQ(plain.hz, corrected.hz);
  ASSERT_GT(plain.hz.size(), 100u);
  // Linear in log frequency between the points; phase too, the step from
  // -20 to 170 degrees taken the short way (to -190).
  const auto micDb = [](double f) {
    return f <= 20     ? -1.0
           : f <= 1000 ? -1 + 1.5 * std::log(f / 20) / std::log(50.0)
           : f < 20000 ? 0.5 + 1.5 * std::log(f / 1000) / std::log(20.0)
                       : 2.0;
  };
  const auto micDeg = [](double f) {
    return f <= 20     ? 10.0
           : f <= 1000 ? 10 - 30 * std::log(f / 20) / std::log(50.0)
           : f < 20000 ? -20 - 170 * std::log(f / 1000) / std::log(20.0)
                       : -190.0;
  };
  const auto cardDb = [](double f) {
    return f <= 20 ? 0.25 : f < 20000 ? 0.25 - std::log(f / 20) / std::log(1000.0) : -0.75;
  };
  for (size_t i = 0; i < plain.hz.size(); ++i) {
    const double f = plain.hz[i];
    EXPECT_NEAR(corrected.db[i], plain.db[i] - micDb(f) - cardDb(f), 0.0002) << f;
    EXPECT_NEAR(std::remainder(corrected.deg[i] - (plain.deg[i] - micDeg(f)), 360.0), 0, 0.002) << f;
    EXPECT_GT(corrected.deg[i], -180.0);
    EXPECT_LE(corrected.deg[i], 180.0);
  }

  // The CSV of a sweep with its response: the phase column moves the same way.
  const int32_t rate = 48000;
  Result result;
  std::vector<StereoSample> play(static_cast<size_t>(2 * rate));
  GenerateSweep(play, rate, SignalAmplitude(-30), result.sweepTable, result.envelope);
  std::fill(result.envelope.begin(), result.envelope.end(), int16_t{16000});  // the gain does not matter here
  result.sampleRate = rate;
  result.levelTenthsDb = -30;
  result.response = ir;
  const QStringList before = ResultCsv(result).split('\n', Qt::SkipEmptyParts);
  const QStringList after = ResultCsv(result, calibration).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(before.size(), after.size());
  ASSERT_GT(after.size(), 200);
  ASSERT_EQ(after.value(0), QStringLiteral("frequency_hz,gain_db,phase_deg"));
  for (qsizetype i = 1; i < after.size(); ++i) {
    const QStringList b = before[i].split(','), a = after[i].split(',');
    const double f = b[0].toDouble();
    EXPECT_NEAR(a[1].toDouble(), b[1].toDouble() - micDb(f) - cardDb(f), 0.0101) << f;
    EXPECT_NEAR(std::remainder(a[2].toDouble() - (b[2].toDouble() - micDeg(f)), 360.0), 0, 0.0101) << f;
  }
}

TEST(ResponseExport, DistortionCsvHasItsColumnsAndLeavesHarmonicsBeyondTheSweepEmpty) {
  const ImpulseResponse ir = SomeResponse();
  const QStringList lines = DistortionCsvText(ir, Smoothing::Octave12, 12).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_GT(lines.size(), 100);
  EXPECT_EQ(lines[0], QStringLiteral("frequency_hz,thd_percent,h2_db,h3_db,h4_db,h5_db"));
  const auto hz = LogFrequencies(10, 12000 * (1 - 1e-6), 12);
  const auto truth = Distortion(ir, hz, Smoothing::Octave12);
  ASSERT_EQ(static_cast<size_t>(lines.size() - 1), hz.size());
  for (size_t i = 0; i < hz.size(); ++i) {
    const QStringList f = lines[static_cast<qsizetype>(i + 1)].split(QLatin1Char(','));
    ASSERT_EQ(f.size(), 6);
    EXPECT_NEAR(f[1].toDouble(), truth[i].thdPercent, 1e-5);
    for (size_t h = 0; h < 4; ++h) {
      const QString cell = f[static_cast<qsizetype>(h + 2)];
      ASSERT_EQ(cell.isEmpty(), !truth[i].harmonicDb[h].has_value()) << hz[i];
      if (!cell.isEmpty()) {
        EXPECT_NEAR(cell.toDouble(), *truth[i].harmonicDb[h], 0.01);
      }
    }
  }
  // 0.05 x^2 on a sweep at half scale: H2 at 20 log10(0.05 * 0.5 / 2) = -38 dB.
  EXPECT_NEAR(
      *truth[static_cast<size_t>(std::find_if(hz.begin(), hz.end(), [](double f) { return f >= 1000; }) - hz.begin())]
           .harmonicDb[0],
      20 * std::log10(0.05 * SignalAmplitude(-60) / 32768.0 / 2) +
          20 * std::log10(WaveMMIO::Biquad::HighPass(48000, 200, 0.7).MagnitudeAt(48000, 2000) /
                          WaveMMIO::Biquad::HighPass(48000, 200, 0.7).MagnitudeAt(48000, 1000)),
      0.5);
}

}  // namespace
