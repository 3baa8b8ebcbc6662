// `zarin signal` and `zarin analyse` as a user runs them: the signal written,
// played somewhere else and recorded on another clock, then analysed; and
// the verdict lines of `zarin measure`.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "audio/Biquad.h"
#include "audio/PcmWav.h"
#include "measurement/TestSignal.h"
#include "support/ByteOrder.h"
#include "tests/cli/ZarinProcess.h"
#include "tests/measurement/CableResponse.h"
#include "tests/measurement/Resample.h"

using measurement::testing::Cascade;
using measurement::testing::Deg;
using measurement::testing::Resample;
using measurement::testing::WrapDeg;
using WaveMMIO::StereoSample;

namespace {

using clitest::Outcome;

using clitest::Zarin;

// The value of a "key<TAB>value" line of the output ("" when there is none).
QString Value(const QString& out, const QString& key) {
  for (const QString& line : out.split('\n'))
    if (line.section('\t', 0, 0) == key) return line.section('\t', 1);
  return {};
}

// Mono 24-bit PCM of samples at 16-bit scale.
bool Write24(const QString& path, int32_t rate, const std::vector<double>& samples) {
  std::vector<uint8_t> b(44 + 3 * samples.size());
  std::memcpy(b.data(), "RIFF", 4);
  basic::PutLE32(b.data() + 4, static_cast<uint32_t>(b.size() - 8));
  std::memcpy(b.data() + 8, "WAVEfmt ", 8);
  basic::PutLE32(b.data() + 16, 16);
  basic::PutLE16(b.data() + 20, 1);
  basic::PutLE16(b.data() + 22, 1);
  basic::PutLE32(b.data() + 24, static_cast<uint32_t>(rate));
  basic::PutLE32(b.data() + 28, static_cast<uint32_t>(rate) * 3);
  basic::PutLE16(b.data() + 32, 3);
  basic::PutLE16(b.data() + 34, 24);
  std::memcpy(b.data() + 36, "data", 4);
  basic::PutLE32(b.data() + 40, static_cast<uint32_t>(3 * samples.size()));
  for (size_t i = 0; i < samples.size(); ++i) {
    const auto v = static_cast<int32_t>(std::clamp(std::nearbyint(samples[i] * 256), -8388608.0, 8388607.0));
    b[44 + 3 * i] = static_cast<uint8_t>(v);
    b[45 + 3 * i] = static_cast<uint8_t>(v >> 8);
    b[46 + 3 * i] = static_cast<uint8_t>(v >> 16);
  }
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(reinterpret_cast<const char*>(b.data()),
                                                 static_cast<qint64>(b.size())) == static_cast<qint64>(b.size());
}

// The level of the CSV's point nearest to a frequency.
double LevelNear(const QString& csv, double frequency) {
  double best = 1e300, level = NAN;
  const QStringList lines = csv.split('\n', Qt::SkipEmptyParts);
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const double f = lines[i].section(',', 0, 0).toDouble(), d = std::abs(std::log(f / frequency));
    if (d < best) {
      best = d;
      level = lines[i].section(',', 1, 1).toDouble();
    }
  }
  return level;
}

constexpr int32_t kRate = 48000;

class AnalyseCommandTest : public ::testing::Test {
 protected:
  QString F(const QString& name) const { return dir.filePath(name); }
  QStringList Files() const { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }
  // The left channel of a WAV file, at 16-bit scale.
  static std::vector<double> Left(const QString& path, int32_t& rate) {
    WaveMMIO::PcmAudio audio;
    QString error;
    EXPECT_TRUE(WaveMMIO::ReadPcmWav(path, audio, error)) << error.toStdString();
    rate = audio.rate;
    std::vector<double> x(audio.frames.size());
    for (size_t i = 0; i < x.size(); ++i) x[i] = audio.frames[i].Left;
    return x;
  }
  // played.wav: a sweep of `seconds` at kRate and -3 dB, as `zarin signal`
  // writes it; its left channel in `played`.
  void WritePlayed(int seconds, std::vector<double>& played) const {
    ASSERT_EQ(Zarin({"signal", "--mode", "sweep", "--rate", QString::number(kRate), "--seconds",
                     QString::number(seconds), "--level", "-3", "--out", F("played.wav")})
                  .status,
              0);
    int32_t rate = 0;
    played = Left(F("played.wav"), rate);
    ASSERT_EQ(rate, kRate);
  }
  QTemporaryDir dir;
};

}  // namespace

TEST_F(AnalyseCommandTest, TheSignalIsWhatARunPlays) {
  const Outcome o = Zarin(
      {"signal", "--mode", "sweep", "--rate", "44100", "--seconds", "3", "--level", "-4.5", "--out", F("sweep.wav")});
  ASSERT_EQ(o.status, 0) << o.err.toStdString();
  EXPECT_EQ(Value(o.out, "signal"), F("sweep.wav"));
  WaveMMIO::PcmAudio audio;
  QString error;
  ASSERT_TRUE(WaveMMIO::ReadPcmWav(F("sweep.wav"), audio, error));
  EXPECT_EQ(audio.rate, 44100);
  EXPECT_EQ(audio.channels, 2);
  EXPECT_EQ(audio.bits, 16);
  std::vector<StereoSample> run(3 * 44100);
  measurement::SweepTable table;
  std::vector<int16_t> level;
  measurement::GenerateSweep(run, 44100, measurement::SignalAmplitude(-45), table, level);
  ASSERT_EQ(audio.frames.size(), run.size());
  for (size_t i = 0; i < run.size(); ++i) {
    ASSERT_EQ(audio.frames[i].Left, run[i].Left) << i;
    ASSERT_EQ(audio.frames[i].Right, run[i].Right) << i;
  }
  ASSERT_EQ(
      Zarin({"signal", "--mode", "noise", "--rate", "8000", "--seconds", "2", "--level", "-6", "--out", F("n.wav")})
          .status,
      0);
  ASSERT_TRUE(WaveMMIO::ReadPcmWav(F("n.wav"), audio, error));
  ASSERT_EQ(audio.frames.size(), 16000u);
  int peak = 0;
  for (const StereoSample s : audio.frames) peak = std::max(peak, std::abs(int{s.Left}));
  EXPECT_LE(peak, std::lround(measurement::SignalAmplitude(-60)));
  EXPECT_GT(peak, 0.9 * measurement::SignalAmplitude(-60));
  // Bad values write nothing.
  for (const QStringList& bad : {QStringList{"signal", "--rate", "1000", "--out", F("x.wav")},
                                 QStringList{"signal", "--seconds", "31", "--out", F("x.wav")},
                                 QStringList{"signal", "--mode", "pink", "--out", F("x.wav")},
                                 QStringList{"signal", "--level", "1", "--out", F("x.wav")},
                                 QStringList{"signal", "--out", F("no/x.wav")}, QStringList{"signal"}}) {
    const Outcome b = Zarin(bad);
    EXPECT_EQ(b.status, 1) << bad.join(' ').toStdString();
    EXPECT_FALSE(b.err.isEmpty());
  }
  EXPECT_EQ(Files(), (QStringList{"n.wav", "sweep.wav"}));
}

// A sweep played elsewhere through a known filter and recorded by a device
// that started 3 s early, runs 40 ppm fast and writes 24-bit files.
TEST_F(AnalyseCommandTest, ARecordingMadeElsewhereReadsLikeARun) {
  std::vector<double> played;
  ASSERT_NO_FATAL_FAILURE(WritePlayed(10, played));
  WaveMMIO::Biquad filter = WaveMMIO::Biquad::HighPass(kRate, 200, 0.707);
  std::vector<double> air(static_cast<size_t>(3 * kRate), 0.0);
  for (const double x : played) air.push_back(filter.Process(x));
  air.resize(air.size() + kRate, 0.0);
  for (size_t i = air.size() - kRate; i < air.size(); ++i) air[i] = filter.Process(0.0);
  ASSERT_TRUE(Write24(F("take.wav"), kRate, Resample(air, 40)));

  const Outcome o = Zarin({"analyse", "--played", F("played.wav"), "--captured", F("take.wav"), "--folder", dir.path(),
                           "--csv", F("take.csv")});
  ASSERT_EQ(o.status, 0) << o.err.toStdString() << o.out.toStdString();
  EXPECT_EQ(Value(o.out, "result"), F("01.dat"));
  EXPECT_EQ(Value(o.out, "mode"), "sweep");
  EXPECT_NEAR(Value(o.out, "delay_frames").toDouble(), 3 * kRate * 1.00004, 3);
  EXPECT_NEAR(Value(o.out, "drift_ppm").toDouble(), 40, 2);
  EXPECT_EQ(Value(o.out, "quality"), "warning");
  EXPECT_TRUE(o.out.contains("\nreason\tdrift\t")) << o.out.toStdString();
  EXPECT_EQ(Value(o.out, "delay_reference"), "capture start");
  EXPECT_EQ(QFile(F("01.dat")).size(), 44 + 2 * 10 * kRate);
  QFile csvFile(F("take.csv"));
  ASSERT_TRUE(csvFile.open(QIODevice::ReadOnly));
  const QString csv = QString::fromUtf8(csvFile.readAll());
  const double at1k = LevelNear(csv, 1000);
  const WaveMMIO::Biquad truth = WaveMMIO::Biquad::HighPass(kRate, 200, 0.707);
  const double truth1k = 20 * std::log10(truth.MagnitudeAt(kRate, 1000));
  EXPECT_NEAR(at1k, truth1k, 0.3);  // the gain re the played signal, whose level the played file tells
  for (double f = 30; f <= 15000; f *= std::pow(2.0, 1 / 3.0)) {
    const double expected = 20 * std::log10(truth.MagnitudeAt(kRate, f)) - truth1k;
    EXPECT_NEAR(LevelNear(csv, f) - at1k, expected, 0.3) << f;
  }
}

// A sweep played elsewhere through a low-pass and a high-pass, recorded
// 1.5 s early: the analysis leaves the response beside its result as a run
// does, and the response, exported, reads the filters' magnitude and phase.
TEST_F(AnalyseCommandTest, ARecordingLeavesItsResponseBesideTheResult) {
  std::vector<double> played;
  ASSERT_NO_FATAL_FAILURE(WritePlayed(4, played));
  const auto path = [] {
    return std::vector<WaveMMIO::Biquad>{WaveMMIO::Biquad::LowPass(kRate, 3000, 0.9),
                                         WaveMMIO::Biquad::HighPass(kRate, 80, 0.6)};
  };
  std::vector<WaveMMIO::Biquad> filters = path();
  const auto through = [&](double x) {
    for (WaveMMIO::Biquad& b : filters) x = b.Process(x);
    return x;
  };
  constexpr size_t kSilence = 3 * kRate / 2;
  std::vector<double> air(kSilence, 0.0);
  for (const double x : played) air.push_back(through(x));
  for (int i = 0; i < kRate; ++i) air.push_back(through(0.0));
  ASSERT_TRUE(Write24(F("take.wav"), kRate, air));

  const Outcome o = Zarin({"analyse", "--played", F("played.wav"), "--captured", F("take.wav"), "--folder", dir.path(),
                           "--frd", F("take.frd"), "--ir", F("take.ir.wav"), "--distortion", F("take-thd.csv")});
  ASSERT_EQ(o.status, 0) << o.err.toStdString() << o.out.toStdString();
  EXPECT_NEAR(Value(o.out, "delay_frames").toDouble(), static_cast<double>(kSilence), 1);
  EXPECT_EQ(Files(), (QStringList{"01.dat", "01.ir.wav", "01.json", "played.wav", "take-thd.csv", "take.frd",
                                  "take.ir.wav", "take.wav"}));
  QFile json(F("01.json"));
  ASSERT_TRUE(json.open(QIODevice::ReadOnly));
  EXPECT_TRUE(json.readAll().contains("\"delay_ms\""));

  // The same response exported afterwards from the stored result.
  const Outcome e = Zarin({"export", F("01.dat"), "--frd", F("again.frd")});
  ASSERT_EQ(e.status, 0) << e.err.toStdString();
  const auto rows = [&](const QString& name) {
    QFile f(F(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
    QStringList out;
    for (const QString& line : QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts))
      if (!line.startsWith('*')) out << line;
    return out;
  };
  const QStringList frd = rows(QStringLiteral("take.frd"));
  EXPECT_EQ(frd, rows(QStringLiteral("again.frd")));
  ASSERT_GT(frd.size(), 400);
  int checked = 0;
  for (const QString& line : frd) {
    const QStringList cells = line.split(' ');
    ASSERT_EQ(cells.size(), 3) << line.toStdString();
    const double f = cells[0].toDouble();
    const std::complex<double> truth = Cascade(path(), kRate, f);
    if (f >= 20 && f <= 20000) {
      EXPECT_NEAR(cells[1].toDouble(), 20 * std::log10(std::abs(truth)), 0.1) << f << " Hz";
      ++checked;
    }
    // The phase with the response's own arrival taken off.
    if (f >= 50 && f <= 10000) {
      EXPECT_NEAR(WrapDeg(cells[2].toDouble() - Deg(truth)), 0, 3) << f << " Hz";
    }
  }
  EXPECT_GT(checked, 400);
  // The impulse response written is the one beside the result.
  QFile a(F("take.ir.wav")), b(F("01.ir.wav"));
  ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
  EXPECT_EQ(a.readAll(), b.readAll());
  QFile thd(F("take-thd.csv"));
  ASSERT_TRUE(thd.open(QIODevice::ReadOnly));
  EXPECT_TRUE(thd.readAll().startsWith("frequency_hz,thd_percent,h2_db,h3_db,h4_db,h5_db\n"));
}

TEST_F(AnalyseCommandTest, StrictFailsAClippedRecordingButStoresIt) {
  ASSERT_EQ(Zarin({"signal", "--mode", "sweep", "--rate", "16000", "--seconds", "2", "--level", "0", "--out",
                   F("played.wav")})
                .status,
            0);
  int32_t rate = 0;
  std::vector<double> take(16000, 0.0);
  for (const double x : Left(F("played.wav"), rate)) take.push_back(std::clamp(4 * x, -32768.0, 32767.0));
  take.resize(take.size() + 16000, 0.0);
  ASSERT_TRUE(Write24(F("take.wav"), 16000, take));
  const QStringList args{"analyse", "--played", F("played.wav"), "--captured", F("take.wav"), "--folder", dir.path()};
  const Outcome plain = Zarin(args);
  ASSERT_EQ(plain.status, 0) << plain.err.toStdString();
  EXPECT_EQ(Value(plain.out, "quality"), "bad");
  EXPECT_TRUE(Value(plain.out, "reason").startsWith("clipped\t")) << plain.out.toStdString();
  const Outcome strict = Zarin(args + QStringList{"--strict"});
  EXPECT_EQ(strict.status, 3);
  EXPECT_EQ(Value(strict.out, "result"), F("02.dat"));
  EXPECT_TRUE(QFile::exists(F("02.dat")));
}

TEST_F(AnalyseCommandTest, BadRecordingsAreRefusedAndNothingIsWritten) {
  ASSERT_EQ(Zarin({"signal", "--mode", "sweep", "--rate", "48000", "--seconds", "2", "--out", F("played.wav")}).status,
            0);
  ASSERT_EQ(Zarin({"signal", "--mode", "sweep", "--rate", "44100", "--seconds", "2", "--out", F("other.wav")}).status,
            0);
  QFile text(F("text.wav"));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("this is no recording");
  text.close();
  const auto analyse = [&](const QString& played, const QString& captured) {
    return QStringList{"analyse", "--played", played, "--captured", captured, "--folder", dir.path()};
  };
  const struct {
    QStringList args;
    const char* says;
  } cases[] = {
      {analyse(F("played.wav"), F("other.wav")), "44100 Hz"},
      {analyse(F("played.wav"), F("text.wav")), "not a WAV"},
      {analyse(F("played.wav"), F("missing.wav")), "no file"},
      {analyse(F("text.wav"), F("played.wav")), "not a WAV"},
      {QStringList{"analyse", "--played", F("played.wav"), "--folder", dir.path()}, "--captured"},
      {analyse(F("played.wav"), F("played.wav")) + QStringList{"--folder", F("nowhere")}, "no folder"},
      {analyse(F("played.wav"), F("played.wav")) + QStringList{"--csv", F("no/x.csv")}, "no such folder"},
  };
  for (const auto& c : cases) {
    const Outcome o = Zarin(c.args);
    EXPECT_EQ(o.status, 1) << c.args.join(' ').toStdString();
    EXPECT_TRUE(o.err.contains(QLatin1String(c.says))) << o.err.toStdString() << " / " << c.says;
    EXPECT_TRUE(o.out.isEmpty()) << o.out.toStdString();
  }
  EXPECT_EQ(Files(), (QStringList{"other.wav", "played.wav", "text.wav"}));
}

TEST_F(AnalyseCommandTest, AMeasurementSaysItsQuality) {
  const QStringList args{"measure",        "--output-device",    "Loopback simulator",
                         "--input-device", "Loopback simulator", "--rate",
                         "48000",          "--seconds",          "2",
                         "--folder",       dir.path(),           "--strict"};
  for (const char* mode : {"sweep", "noise"}) {
    const Outcome o = Zarin(args + QStringList{"--mode", QString::fromLatin1(mode)});
    EXPECT_EQ(o.status, 0) << mode << o.out.toStdString() << o.err.toStdString();
    EXPECT_EQ(Value(o.out, "quality"), "ok") << mode;
    EXPECT_TRUE(Value(o.out, "reason").isEmpty()) << mode;
  }
}
