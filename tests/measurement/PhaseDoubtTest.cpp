// Whether a run's phase is trusted travels with its response through
// NN.json, and the window's note and the FRD's header say why it is not:
// the timing's events, and the verdict's reasons that moved frames where
// the timing saw nothing (gaps in the capture, the host's underflows).
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "SimulatedSweep.h"
#include "measurement/PhaseDoubt.h"
#include "measurement/ResponseExport.h"
#include "measurement/SideFiles.h"
#include "measurement/VerdictText.h"

using namespace measurement;

namespace {

QJsonObject ReadJson(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object() : QJsonObject();
}

void WriteJson(const QString& path, const QJsonObject& o) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(QJsonDocument(o).toJson());
}

class PhaseDoubtTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  QString dat = dir.filePath(QStringLiteral("05.dat"));
  ImpulseResponse ir = measurement::testing::SimulateSweep(8000, 2.0, -30).Response();
};

}  // namespace

TEST_F(PhaseDoubtTest, TheVerdictsReasonsComeBackAndDecideTheTrust) {
  ASSERT_FALSE(ir.Empty());
  SideInfo info;
  info.verdict = QualityKey(Quality::Warning);
  // Reasons that move no frame: the phase holds.
  info.reasons = {{Reason::LowSnr, 35.5, 100, 2000}, {Reason::Drift, 12.5}, {Reason::Clipped, 3}};
  ASSERT_TRUE(WriteSideFiles(dat, ir, info));
  EXPECT_TRUE(ReadJson(SideJsonPath(dat)).value(QStringLiteral("phase_trusted")).toBool());
  SideInfo back;
  ASSERT_TRUE(ReadSideFiles(dat, &back).has_value());
  EXPECT_EQ(back.reasons, info.reasons);
  EXPECT_TRUE(back.PhaseTrusted());

  // Each reason that moves frames, alone, takes the trust away.
  for (const Reason r :
       {Reason::Dropouts, Reason::TimingSteps, Reason::LostPieces, Reason::CaptureGaps, Reason::CaptureOverflow,
        Reason::CaptureUnderflow, Reason::PlaybackUnderflow, Reason::PlaybackOverflow}) {
    info.reasons = {{Reason::Drift, 12.5}, {r, 2}};
    ASSERT_TRUE(WriteSideFiles(dat, ir, info));
    const QJsonObject json = ReadJson(SideJsonPath(dat));
    EXPECT_FALSE(json.value(QStringLiteral("phase_trusted")).toBool(true)) << ReasonKey(r).toStdString();
    ASSERT_TRUE(ReadSideFiles(dat, &back).has_value());
    EXPECT_EQ(back.reasons, info.reasons) << ReasonKey(r).toStdString();
    EXPECT_FALSE(back.PhaseTrusted()) << ReasonKey(r).toStdString();
  }
  // The file's other fields keep their names and meaning.
  const QJsonObject json = ReadJson(SideJsonPath(dat));
  for (const char* key : {"verdict", "timing_events", "delay_ms", "drift_ppm", "level_tenths_db", "arrival_sample"})
    EXPECT_TRUE(json.contains(QLatin1String(key))) << key;
  EXPECT_EQ(json.value(QStringLiteral("verdict")).toString(), QStringLiteral("warning"));
}

TEST_F(PhaseDoubtTest, AFileWrittenBeforeTheReasonsWereKeptStillReads) {
  SideInfo info;
  info.reasons = {{Reason::CaptureGaps, 1}};
  ASSERT_TRUE(WriteSideFiles(dat, ir, info));
  QJsonObject json = ReadJson(SideJsonPath(dat));
  json.remove(QStringLiteral("verdict_reasons"));
  json[QStringLiteral("phase_trusted")] = true;
  WriteJson(SideJsonPath(dat), json);
  SideInfo back;
  ASSERT_TRUE(ReadSideFiles(dat, &back).has_value());
  EXPECT_TRUE(back.reasons.empty());
  EXPECT_TRUE(back.PhaseTrusted());
  // One with a timing event but no reasons is still doubted for the event.
  json[QStringLiteral("timing_events")] =
      QJsonArray{QJsonObject{{"kind", "step"}, {"time_s", 1.0}, {"size_ms", 40.0}, {"hz", 1234.0}}};
  json[QStringLiteral("phase_trusted")] = false;
  WriteJson(SideJsonPath(dat), json);
  ASSERT_TRUE(ReadSideFiles(dat, &back).has_value());
  EXPECT_FALSE(back.PhaseTrusted());
  // A reason a later program knows and this one does not is passed over.
  json[QStringLiteral("timing_events")] = QJsonArray{};
  json[QStringLiteral("verdict_reasons")] =
      QJsonArray{QJsonObject{{"reason", "cosmic_rays"}, {"value", 1}}, QJsonObject{{"reason", "drift"}, {"value", 11}}};
  WriteJson(SideJsonPath(dat), json);
  ASSERT_TRUE(ReadSideFiles(dat, &back).has_value());
  ASSERT_EQ(back.reasons.size(), 1u);
  EXPECT_EQ(back.reasons[0], (VerdictReason{Reason::Drift, 11}));
  EXPECT_TRUE(back.PhaseTrusted());
}

TEST(PhaseDoubt, TheNoteNamesWhatHappened) {
  SideInfo info;
  info.reasons = {{Reason::Drift, 12}, {Reason::LowSnr, 30, 10, 100}};
  EXPECT_TRUE(PhaseDoubtJa(info).isEmpty());
  EXPECT_TRUE(PhaseDoubt(info).isEmpty());
  info.reasons.push_back({Reason::CaptureGaps, 2});
  info.reasons.push_back({Reason::CaptureUnderflow});
  EXPECT_EQ(PhaseDoubtJa(info), QStringLiteral("位相は信頼できません (信号途中の欠け 2 か所、入力アンダーフロー)"));
  EXPECT_EQ(PhaseDoubt(info), QStringLiteral("phase not to be trusted: 2 capture gaps; input underflow"));
  // The timing's own events name their dropouts and steps once.
  info.events = {{QStringLiteral("step"), 1.2, 40.0, 1234.0}, {QStringLiteral("dropout"), 1.5, -20.0, 310.0}};
  info.reasons = {{Reason::Dropouts, 1}, {Reason::TimingSteps, 1}, {Reason::PlaybackUnderflow}};
  EXPECT_EQ(PhaseDoubtJa(info),
            QStringLiteral("位相は信頼できません (タイミングの乱れ: 1.2 kHz, 310 Hz、出力アンダーフロー)"));
  EXPECT_EQ(PhaseDoubt(info),
            QStringLiteral("phase not to be trusted: timing moved at 1.2 kHz, 310 Hz; output underflow"));
  info.reasons.clear();
  EXPECT_EQ(PhaseDoubtJa(info), QStringLiteral("位相は信頼できません (タイミングの乱れ: 1.2 kHz, 310 Hz)"));
  // Without events the timing's reasons speak for themselves.
  info.events.clear();
  info.reasons = {{Reason::Dropouts, 3}, {Reason::TimingSteps, 1}};
  EXPECT_EQ(PhaseDoubtJa(info), QStringLiteral("位相は信頼できません (入力の途切れ 3 回、遅延の跳び 1 回)"));
  EXPECT_EQ(PhaseDoubt(info), QStringLiteral("phase not to be trusted: 3 dropouts; 1 delay step"));
}

TEST_F(PhaseDoubtTest, TheFrdHeaderSaysWhyThePhaseIsNotTrusted) {
  SideInfo info;
  const auto comments = [&](const SideInfo& i) {
    QStringList lines;
    for (const QString& line : FrdText(ir, Smoothing::None, 3, QStringLiteral("d"), {}, i).split(QLatin1Char('\n')))
      if (line.startsWith(QLatin1Char('*'))) lines << line;
    return lines;
  };
  const QStringList trusted = comments(info);
  EXPECT_FALSE(trusted.join('\n').contains(QStringLiteral("phase not"))) << trusted.join('\n').toStdString();
  info.reasons = {{Reason::CaptureGaps, 2}, {Reason::CaptureUnderflow}};
  const QStringList doubted = comments(info);
  EXPECT_TRUE(doubted.contains(QStringLiteral("* phase not to be trusted: 2 capture gaps; input underflow")))
      << doubted.join('\n').toStdString();
  // One line more, the rest as before.
  EXPECT_EQ(doubted.size(), trusted.size() + 1);
}
