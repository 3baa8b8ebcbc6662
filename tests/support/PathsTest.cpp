#include "support/Paths.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

using namespace basic;

namespace {

class PathsTest : public ::testing::Test {
 protected:
  QString P(const QString& name) const { return dir.path() + "/" + name; }
  void Touch(const QString& path, const QByteArray& bytes = "x") {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QTemporaryDir dir;
};

TEST_F(PathsTest, FoldersEndInOneSeparator) {
  const QString app = AppFolder();
  EXPECT_TRUE(app.endsWith('/'));
  EXPECT_FALSE(app.endsWith("//"));
  EXPECT_EQ(app, QCoreApplication::applicationDirPath() + "/");
  EXPECT_TRUE(SystemFolder().endsWith('/'));
  EXPECT_EQ(FolderExists(SystemFolder()), 1);
}

TEST_F(PathsTest, OnlyABuildTreeKeepsFilesBesideTheProgram) {
  // A folder the user can write is not enough: an installed copy, wherever
  // it went, keeps its files in the per-user folder.
  EXPECT_EQ(MayWriteBesideProgram(dir.path() + "/"), 0);
  const QString perUser = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/";
  EXPECT_EQ(OwnFilesFolder(dir.path()), perUser);
  EXPECT_EQ(FolderExists(perUser), 1);
  // The build tree does: CMake's cache beside the program or one folder up.
  QDir(dir.path()).mkpath("build/bin");
  QFile cache(P("build/CMakeCache.txt"));
  ASSERT_TRUE(cache.open(QIODevice::WriteOnly));
  cache.close();
  EXPECT_EQ(MayWriteBesideProgram(P("build/")), 1);
  EXPECT_EQ(MayWriteBesideProgram(P("build/bin/")), 1);
  EXPECT_EQ(OwnFilesFolder(P("build")), P("build/"));
  // The program's own build tree is one.
  EXPECT_EQ(MayWriteBesideProgram(AppFolder()), 1);
  for (const QString installed : {"/usr/bin/", "/usr/local/bin", "/opt/zarin/bin/", "/bin/", "/usr/bin/../sbin/"})
    EXPECT_EQ(MayWriteBesideProgram(installed), 0) << installed.toStdString();
  EXPECT_EQ(MayWriteBesideProgram(P("gone/")), 0);
}

TEST_F(PathsTest, TrailingSeparatorRules) {
  EXPECT_EQ(EnsureTrailingSeparator("/data/", 1), "/data");
  EXPECT_EQ(EnsureTrailingSeparator("/data", 0), "/data/");
  EXPECT_EQ(EnsureTrailingSeparator("/data/", 0), "/data/");
  EXPECT_EQ(EnsureTrailingSeparator("/", 0), "/");  // the root is not doubled
  EXPECT_EQ(EnsureTrailingSeparator("http://x.org/a", 0), "http://x.org/a/");
  EXPECT_EQ(EnsureTrailingSeparator("   ", 0), "");
  EXPECT_EQ(EnsureTrailingSeparator("//", 1), "/");  // only one character goes
}

TEST_F(PathsTest, ExistenceTests) {
  Touch(P("f.txt"));
  EXPECT_EQ(FileExists(P("f.txt")), 1);
  EXPECT_EQ(FileExists(" " + P("f.txt") + " "), 1);
  EXPECT_EQ(FileExists(dir.path()), 0);
  EXPECT_EQ(FileExists("   "), 0);
  EXPECT_EQ(FolderExists(P("f.txt")), 0);
  EXPECT_EQ(FolderExists(dir.path() + "/"), 1);
  EXPECT_EQ(FolderExists(""), 0);
  EXPECT_EQ(MakeFolder(P("one/")), 1);
  EXPECT_EQ(FolderExists(P("one")), 1);
  EXPECT_EQ(MakeFolder(P("two/three")), 0);  // one level only
}

TEST_F(PathsTest, SplitPathParts) {
  EXPECT_EQ(SplitPath("/x/archive.tar.gz", 0, 0, 1, 0, 0, 0), "archive.tar");
  EXPECT_EQ(SplitPath("/dir.old/file", 0, 0, 0, 0, 1, 0), "");
  EXPECT_EQ(SplitPath("/x/A.DAT", 0, 0, 0, 0, 1, 1), "dat");
  EXPECT_EQ(SplitPath("/x/A.DAT", 0, 0, 0, 1, 1, 0), ".DAT");
  EXPECT_EQ(SplitPath("/x/y/A.DAT", 1, 1, 0, 0, 0, 0), "/x/y/");
  EXPECT_EQ(SplitPath("name", 1, 1, 1, 0, 0, 2), "/NAME");  // the separator comes even without a folder
  EXPECT_EQ(SplitPath("", 1, 1, 1, 1, 1, 0), "");
}

TEST_F(PathsTest, EnsureExtensionKeepsAnExistingOne) {
  EXPECT_EQ(EnsureExtension("/d/result", "DAT"), "/d/result.dat");
  EXPECT_EQ(EnsureExtension("/d/RESULT.DAT", ".dat"), "/d/RESULT.DAT");
  EXPECT_EQ(EnsureExtension("/d/result", "  "), "/d/result");
  EXPECT_EQ(EnsureExtension("", "dat"), "");
}

TEST_F(PathsTest, ReservedNames) {
  for (const char* n : {"/a/nul.txt", "CON", "/a/Com7.log", "lpt0", "clock$.x"})
    EXPECT_EQ(IsReservedDeviceName(n), 1) << n;
  for (const char* n : {"/a/null.txt", "COM10", "/con/a.txt"}) EXPECT_EQ(IsReservedDeviceName(n), 0) << n;
}

TEST_F(PathsTest, DeleteFileIfAny) {
  EXPECT_EQ(DeleteFileIfAny(P("missing")), 1);
  Touch(P("ro.dat"));
  ASSERT_EQ(chmod(P("ro.dat").toLocal8Bit().constData(), 0444), 0);
  EXPECT_EQ(DeleteFileIfAny(P("ro.dat")), 1);
  EXPECT_FALSE(QFile::exists(P("ro.dat")));
  Touch(P("nul.txt"));
  EXPECT_EQ(DeleteFileIfAny(P("nul.txt")), 1);
  EXPECT_TRUE(QFile::exists(P("nul.txt")));  // a reserved name is never deleted
  EXPECT_EQ(DeleteFileIfAny(dir.path()), 0);
}

TEST_F(PathsTest, MoveFileRetryWaitsTenTimesThenGivesUp) {
  std::vector<int32_t> waits;
  const RetryWait old = SetRetryWait([&](int32_t ms) { waits.push_back(ms); });
  Touch(P("src"), "new");
  Touch(P("dst"), "old");
  EXPECT_EQ(MoveFileRetry(P("src"), P("dst"), 0), 0);  // the target is in the way
  EXPECT_EQ(waits, (std::vector<int32_t>{10, 20, 30, 40, 50, 60, 70, 80, 90}));
  waits.clear();
  EXPECT_EQ(MoveFileRetry(P("src"), P("dst"), 1), 1);  // replace: first attempt
  EXPECT_TRUE(waits.empty());
  EXPECT_FALSE(QFile::exists(P("src")));
  Touch(P("x"));
  EXPECT_EQ(MoveFileRetry(P("x"), P("aux.dat"), 1), 0);
  EXPECT_TRUE(QFile::exists(P("x")));
  SetRetryWait(old);
}

TEST_F(PathsTest, CopyFileTo) {
  Touch(P("a"), "AAA");
  Touch(P("b"), "B");
  EXPECT_EQ(CopyFileTo(P("a"), P("b"), 0), 1);
  QFile b(P("b"));
  ASSERT_TRUE(b.open(QIODevice::ReadOnly));
  EXPECT_EQ(b.readAll(), "AAA");
  EXPECT_EQ(CopyFileTo(P("missing"), P("c"), 1), 0);
  EXPECT_FALSE(QFile::exists(P("c")));
  // Onto itself, even with delete-first: the file must survive.
  EXPECT_EQ(CopyFileTo(P("a"), dir.path() + "/./a", 1), 1);
  QFile a(P("a"));
  ASSERT_TRUE(a.open(QIODevice::ReadOnly));
  EXPECT_EQ(a.readAll(), "AAA");
}

TEST_F(PathsTest, AFailedCopyLeavesTheTargetAndEveryOtherFileAlone) {
  Touch(P("a"), QByteArray(200000, 'a'));
  Touch(P("b"), "old b");
  Touch(P("b.part"), "someone's .part file");
  SetCopyFault([](int64_t copied) { return copied >= 65536; });
  EXPECT_EQ(CopyFileTo(P("a"), P("b"), 0), 0);
  SetCopyFault({});
  QFile b(P("b")), part(P("b.part"));
  ASSERT_TRUE(b.open(QIODevice::ReadOnly));
  EXPECT_EQ(b.readAll(), "old b");
  ASSERT_TRUE(part.open(QIODevice::ReadOnly));
  EXPECT_EQ(part.readAll(), "someone's .part file");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
  // A copy that completes replaces the target and still leaves the .part file.
  EXPECT_EQ(CopyFileTo(P("a"), P("b"), 0), 1);
  b.close();
  ASSERT_TRUE(b.open(QIODevice::ReadOnly));
  EXPECT_EQ(b.readAll(), QByteArray(200000, 'a'));
  EXPECT_TRUE(QFile::exists(P("b.part")));
  // Into a folder that is not there: nothing is made.
  EXPECT_EQ(CopyFileTo(P("a"), P("nowhere/b"), 0), 0);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST_F(PathsTest, UniqueFileNameCountsUp) {
  EXPECT_EQ(UniqueFileName(P("a.log"), 1, 1, 3, 0), P("a.log"));
  EXPECT_EQ(UniqueFileName(P("a.log"), 0, 0, 3, 0), "a");
  Touch(P("a001.log"));
  EXPECT_EQ(UniqueFileName(P("a.log"), 1, 1, 3, 1), P("a002.log"));
  Touch(P("a.log"));
  EXPECT_EQ(UniqueFileName(P("a.log"), 0, 1, 3, 0), "a002.log");
  EXPECT_EQ(UniqueFileName(P("a.log"), 1, 0, 1, 0), P("a1"));
}

TEST_F(PathsTest, WaitMsRunsEventsAndEnds) {
  int ran = 0;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [&] { ++ran; }, Qt::QueuedConnection);
  WaitMs(0, 0);  // lets pending events run once
  EXPECT_EQ(ran, 1);
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [&] { ++ran; }, Qt::QueuedConnection);
  WaitMs(2, 1);
  EXPECT_EQ(ran, 2);
}

}  // namespace
