#include "support/CheckedFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>

#include "support/Paths.h"
#include "tests/support/FileBytes.h"

using namespace basic;
using zarin_test::Contents;
using zarin_test::Put;

namespace {

class CheckedFileTest : public ::testing::Test {
 protected:
  ~CheckedFileTest() override { SetWriteFault({}); }
  QString P(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
  QStringList Entries() const {
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  }
  QTemporaryDir dir;
};

TEST_F(CheckedFileTest, AFailureAtAnyStageLeavesTheOldFileAndNoNewOne) {
  // Qt's own save file reports success after a failed flush; here the
  // write, the sync to disk and the close each count.
  for (const WriteStage stage : {WriteStage::Write, WriteStage::Sync, WriteStage::Close}) {
    Put(P("keep.csv"), "old contents");
    // A write fails part-way: some blocks are in the new file already.
    SetWriteFault([stage](WriteStage at, int64_t written) {
      return at == stage && (at != WriteStage::Write || written > 0) ? ENOSPC : 0;
    });
    QString reason;
    EXPECT_FALSE(WriteWholeFile(P("keep.csv"), QByteArray(300000, 'n'), &reason)) << static_cast<int>(stage);
    EXPECT_EQ(reason, SystemReason(ENOSPC));
    EXPECT_EQ(Contents(P("keep.csv")), "old contents");
    EXPECT_EQ(Entries(), QStringList{"keep.csv"});
  }
  SetWriteFault({});
  ASSERT_TRUE(WriteWholeFile(P("keep.csv"), "new"));
  EXPECT_EQ(Contents(P("keep.csv")), "new");
}

TEST_F(CheckedFileTest, SpecialFilesAreRefusedAndLinksKept) {
  ASSERT_EQ(mkfifo(P("pipe").toLocal8Bit().constData(), 0600), 0);
  QString reason;
  EXPECT_FALSE(WriteWholeFile(P("pipe"), "x", &reason));  // would block, or replace the FIFO
  EXPECT_EQ(reason, "not a regular file");
  EXPECT_FALSE(WriteWholeFile("/dev/null", "x"));
  EXPECT_FALSE(WriteWholeFile(dir.path(), "x"));
  ASSERT_EQ(symlink(P("nowhere").toLocal8Bit().constData(), P("dangling").toLocal8Bit().constData()), 0);
  EXPECT_FALSE(WriteWholeFile(P("dangling"), "x"));
  EXPECT_FALSE(QFile::exists(P("nowhere")));
  // A link to a regular file stays a link; its target takes the new contents.
  Put(P("target"), "old");
  ASSERT_EQ(symlink(P("target").toLocal8Bit().constData(), P("link").toLocal8Bit().constData()), 0);
  ASSERT_TRUE(WriteWholeFile(P("link"), "new"));
  EXPECT_TRUE(QFileInfo(P("link")).isSymLink());
  EXPECT_EQ(Contents(P("target")), "new");
  struct stat st {};
  ASSERT_EQ(lstat(P("pipe").toLocal8Bit().constData(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(CheckedFileTest, OnlyIfFreeNeverReplacesAnything) {
  Put(P("taken"), "theirs");
  QDir(dir.path()).mkdir("folder");
  ASSERT_EQ(symlink(P("nowhere").toLocal8Bit().constData(), P("dangling").toLocal8Bit().constData()), 0);
  CheckedFile file;
  ASSERT_TRUE(file.Begin(dir.path()));
  ASSERT_TRUE(file.Write("mine", 4));
  EXPECT_EQ(file.Finish(P("taken"), Placement::OnlyIfFree), Commit::Taken);
  EXPECT_EQ(file.Finish(P("folder"), Placement::OnlyIfFree), Commit::Taken);
  EXPECT_EQ(file.Finish(P("dangling"), Placement::OnlyIfFree), Commit::Taken);
  EXPECT_EQ(file.Finish(P("free"), Placement::OnlyIfFree), Commit::Done);
  EXPECT_EQ(Contents(P("taken")), "theirs");
  EXPECT_EQ(Contents(P("free")), "mine");
  EXPECT_FALSE(QFile::exists(P("nowhere")));
  EXPECT_EQ(Entries(), (QStringList{"dangling", "folder", "free", "taken"}));
}

TEST_F(CheckedFileTest, NewFilesFollowTheUmaskAndReplacedOnesKeepTheirMode) {
  const mode_t old = umask(027);
  ASSERT_TRUE(WriteWholeFile(P("new"), "x"));
  umask(old);
  struct stat st {};
  ASSERT_EQ(stat(P("new").toLocal8Bit().constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  ASSERT_EQ(chmod(P("new").toLocal8Bit().constData(), 0604), 0);
  ASSERT_TRUE(WriteWholeFile(P("new"), "y"));
  ASSERT_EQ(stat(P("new").toLocal8Bit().constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0604u);
}

TEST_F(CheckedFileTest, AFailedAppendLeavesNoHalfLine) {
  Put(P("log"), "line one\n");
  SetWriteFault([](WriteStage, int64_t written) { return written > 0 ? ENOSPC : 0; });
  QString reason;
  // The hook lets the first write through, then fails: what got in is cut off again.
  EXPECT_FALSE(AppendToFile(P("log"), QByteArray(1 << 20, 'x'), &reason));
  EXPECT_EQ(reason, SystemReason(ENOSPC));
  EXPECT_EQ(Contents(P("log")), "line one\n");
  SetWriteFault({});
  ASSERT_TRUE(AppendToFile(P("log"), "line two\n"));
  EXPECT_EQ(Contents(P("log")), "line one\nline two\n");
  ASSERT_EQ(mkfifo(P("pipe").toLocal8Bit().constData(), 0600), 0);
  EXPECT_FALSE(AppendToFile(P("pipe"), "x"));
}

TEST_F(CheckedFileTest, ASaveAsCopyThatCannotFinishLeavesTheTarget) {
  Put(P("source"), QByteArray(200000, 's'));
  Put(P("target"), "before");
  SetWriteFault([](WriteStage stage, int64_t) { return stage == WriteStage::Sync ? EIO : 0; });
  EXPECT_EQ(CopyFileTo(P("source"), P("target"), 0), 0);
  EXPECT_EQ(Contents(P("target")), "before");
  EXPECT_EQ(Entries(), (QStringList{"source", "target"}));
  SetWriteFault({});
  ASSERT_EQ(mkfifo(P("pipe").toLocal8Bit().constData(), 0600), 0);
  EXPECT_EQ(CopyFileTo(P("source"), P("pipe"), 0), 0);
  EXPECT_EQ(CopyFileTo(P("source"), P("target"), 0), 1);
  EXPECT_EQ(Contents(P("target")), QByteArray(200000, 's'));
}

}  // namespace
