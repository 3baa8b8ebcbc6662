// A sweep's response beside its result in the window: left by the run,
// carried by Save As, removed with the result by Delete and the close,
// brought along by a drop, and given to the CSV export as its phase.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>

#include "measurement/Export.h"
#include "measurement/ResultFiles.h"
#include "measurement/Responses.h"
#include "measurement/SideFiles.h"
#include "support/CheckedFile.h"
#include "tests/measurement/CableRun.h"
#include "tests/window/FrmMainFixture.h"
#include "window/FrmDetails.h"

namespace {

using zarin_test::FilePickTest;

class SideFilesWindowTest : public FilePickTest {
 protected:
  void TearDown() override {
    basic::SetWriteFault({});
    FilePickTest::TearDown();
  }
  void Sweep(FrmMain& w) {
    PickLoopbackAt(w, "48000", 2, measurement::SignalMode::Sweep);
    w.RecButton_ButtonClicked(0);
    TickUntilIdle(w);
  }
  static QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  static QStringList Files(const QString& folder) { return QDir(folder).entryList(QDir::Files); }
  void Select(FrmMain& w, int item) {
    w.LV->UnSelectAll();
    w.LV->SetSelectedItem(item);
  }
  QTemporaryDir other;
};

TEST_F(SideFilesWindowTest, ARunLeavesItsResponseAndSaveAsAndDeleteCarryIt) {
  FrmMain w;
  Sweep(w);
  const QString dat = dir.filePath("01.dat");
  EXPECT_EQ(Files(dir.path()), (QStringList{"01.dat", "01.ir.wav", "01.json"}));
  const auto ir = measurement::ReadSideFiles(dat);
  ASSERT_TRUE(ir.has_value());
  for (const auto& p : measurement::FrequencyResponse(*ir, measurement::LogFrequencies(30, 20000, 6)))
    EXPECT_NEAR(p.gainDb, 20 * std::log10(cable_run::CableGain(48000, p.hz)), 0.1) << p.hz;

  // Save As takes both side files along under the new name.
  Select(w, 0);
  pick = other.filePath("kept");
  w.MenuSave->trigger();
  EXPECT_EQ(Files(other.path()), (QStringList{"kept.dat", "kept.ir.wav", "kept.json"}));
  EXPECT_EQ(Bytes(other.filePath("kept.ir.wav")), Bytes(measurement::ImpulseWavPath(dat)));
  EXPECT_EQ(Bytes(other.filePath("kept.json")), Bytes(measurement::SideJsonPath(dat)));

  // A result without a response saved over it leaves none of the old one's.
  Sweep(w);
  measurement::RemoveSideFiles(dir.filePath("02.dat"));
  Select(w, 1);
  w.MenuSave->trigger();
  EXPECT_EQ(questions.size(), 1);  // replace kept.dat?
  EXPECT_EQ(Files(other.path()), QStringList{"kept.dat"});
  EXPECT_EQ(Bytes(other.filePath("kept.dat")), Bytes(dir.filePath("02.dat")));

  // Delete removes the result with its side files, and nothing else.
  Select(w, 0);
  w.MenuDelete->trigger();
  EXPECT_EQ(Files(dir.path()), QStringList{"02.dat"});
  EXPECT_TRUE(messages.isEmpty()) << messages.join(" / ").toStdString();
  EXPECT_EQ(questions.filter("できませんでした").size(), 0) << questions.join(" / ").toStdString();
}

TEST_F(SideFilesWindowTest, ADroppedResultBringsItsResponseAndTheCloseLeavesIt) {
  // A result measured elsewhere, with its side files beside it.
  {
    FrmMain first;
    Sweep(first);
  }
  for (const QString name : {"01.dat", "01.ir.wav", "01.json"})
    ASSERT_TRUE(QFile::copy(dir.filePath(name), other.filePath(name)));
  ASSERT_TRUE(QFile::copy(dir.filePath("01.dat"), other.filePath("bare.dat")));
  const QString dropped = other.filePath("01.dat");

  FrmMain w;
  Sweep(w);  // 02 here (01 is taken by the files still on disk)
  ASSERT_EQ(Names(w), QStringList{"02"});
  w.LV_OLEDragDrop({dropped, other.filePath("bare.dat")}, 1e6);
  ASSERT_EQ(w.LV->ItemCount(), 3);
  int item = -1;
  for (int i = 0; i < 3; ++i)
    if (w.LV->AuxID(i, 0).toString() == dropped) item = i;
  ASSERT_GE(item, 0);
  Select(w, item);
  w.MenuDetails->trigger();
  FrmDetails* d = w.Details();
  ASSERT_NE(d, nullptr);
  d->ShowTab(measurement::DetailTab::Phase);
  ASSERT_FALSE(d->Views().empty());
  EXPECT_TRUE(d->Views()[0].note.isEmpty()) << d->Views()[0].note.toStdString();
  EXPECT_TRUE(d->Cache().Get(dropped, w.m_OffsetDb)->HasResponse());
  // A result without side files still opens, as before.
  EXPECT_FALSE(d->Cache().Get(other.filePath("bare.dat"), w.m_OffsetDb)->HasResponse());

  // The close removes what this window measured, with its side files, and
  // leaves the dropped results as they are.
  answer = basic::vbYes;
  ASSERT_TRUE(w.Form_Unload());
  EXPECT_EQ(Files(dir.path()), (QStringList{"01.dat", "01.ir.wav", "01.json"}));
  EXPECT_EQ(Files(other.path()), (QStringList{"01.dat", "01.ir.wav", "01.json", "bare.dat"}));
}

TEST_F(SideFilesWindowTest, AFullDiskWhileWritingTheResponseKeepsTheResultAndSaysSo) {
  FrmMain w;
  const QString dat = dir.filePath("01.dat");
  basic::SetWriteFault([dat](basic::WriteStage, int64_t) { return QFileInfo::exists(dat) ? ENOSPC : 0; });
  Sweep(w);
  basic::SetWriteFault({});
  EXPECT_EQ(Names(w), QStringList{"01"});
  EXPECT_EQ(Files(dir.path()), QStringList{"01.dat"});
  ASSERT_EQ(questions.size(), 1);  // the window's message boxes come to the test as questions
  EXPECT_TRUE(questions[0].startsWith("インパルス応答を保存できませんでした。")) << questions[0].toStdString();
  EXPECT_TRUE(questions[0].contains("01.ir.wav")) << questions[0].toStdString();
  // The result itself is whole and exports as a result without a response.
  Select(w, 0);
  pick = dir.filePath("a.csv");
  w.MenuExportCsv->trigger();
  EXPECT_TRUE(Bytes(dir.filePath("a.csv")).startsWith("frequency_hz,gain_db\n"));
}

}  // namespace
