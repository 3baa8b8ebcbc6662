#include "support/FileHandle.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/support/FileBytes.h"

using namespace basic;
using zarin_test::Contents;
using zarin_test::Put;

namespace {

class FileHandleTest : public ::testing::Test {
 protected:
  QString Path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
  QTemporaryDir dir;
};

TEST_F(FileHandleTest, OpenModesCreateButNeverTruncate) {
  EXPECT_EQ(OpenFileHandle(Path("missing"), kOpenRead), 0);
  EXPECT_EQ(OpenFileHandle(Path("x"), 3), 0);
  EXPECT_FALSE(QFile::exists(Path("x")));
  FileHandle h = OpenFileHandle(Path("new"), kOpenWrite);
  ASSERT_GT(h, 1);
  CloseFileHandle(h);
  EXPECT_EQ(h, 0);
  EXPECT_TRUE(QFile::exists(Path("new")));
  Put(Path("keep"), "abcdef");
  h = OpenFileHandle(Path("keep"), kOpenReadWrite);
  CloseFileHandle(h);
  EXPECT_EQ(Contents(Path("keep")), "abcdef");
  EXPECT_EQ(OpenFileHandle(dir.path(), kOpenRead), 0);  // a folder is not a file
  FileHandle none = 0;
  CloseFileHandle(none);  // harmless
}

TEST_F(FileHandleTest, ChainedReadsAndWritesShareOneHandle) {
  const QString p = Path("chain.bin");
  FileHandle h = WriteFileAt("RIFF", 4, 0, 0, p, false);
  ASSERT_GT(h, 1);
  h = WriteFileAt("WAVE", 4, 8, h, QString(), false);
  ASSERT_GT(h, 1);
  char buf[4] = {};
  h = ReadFileAt(buf, 4, 8, h, QString(), false);
  ASSERT_GT(h, 1);
  EXPECT_EQ(QByteArray(buf, 4), "WAVE");
  EXPECT_EQ(FileSizeOfHandle(h), 12);
  EXPECT_EQ(WriteFileAt("!", 1, -1, h, QString(), true), 1);  // closes
  EXPECT_EQ(Contents(p), QByteArray("RIFF\0\0\0\0WAVE!", 13));
}

TEST_F(FileHandleTest, ReadOnlyOpensWithZeroCount) {
  Put(Path("a"), "12345");
  FileHandle h = ReadFileAt(nullptr, 0, 0, 0, Path("a"), false);
  ASSERT_GT(h, 1);
  char buf[8] = {};
  // A read past the end counts as success; the bytes there were read.
  EXPECT_EQ(ReadFileAt(buf, 8, 3, h, QString(), true), 1);
  EXPECT_EQ(QByteArray(buf, 2), "45");
  EXPECT_EQ(ReadFileAt(nullptr, 0, 0, 0, Path("missing"), false), 0);
}

TEST_F(FileHandleTest, AFailedReadOrWriteClosesTheHandleItWasGiven) {
  Put(Path("a"), "12345");
  FileHandle h = OpenFileHandle(Path("a"), kOpenRead);
  char buf[4];
  EXPECT_EQ(ReadFileAt(buf, 4, -7, h, QString(), false), 0);  // the seek fails
  EXPECT_EQ(FileSizeOfHandle(h), -1);                         // so the handle is gone
  h = OpenFileHandle(Path("a"), kOpenRead);
  EXPECT_EQ(WriteFileAt("x", 1, 0, h, QString(), false), 0);  // not open for writing
  EXPECT_EQ(FileSizeOfHandle(h), -1);
  EXPECT_EQ(Contents(Path("a")), "12345");
  EXPECT_EQ(WriteFileAt("x", 1, 0, 0, Path("no-such-folder/f"), true), 0);
}

TEST_F(FileHandleTest, AppendAtMinusOne) {
  EXPECT_EQ(WriteFileAt("ab", 2, -1, 0, Path("log"), true), 1);  // a new file: at its start
  EXPECT_EQ(WriteFileAt("cd", 2, -1, 0, Path("log"), true), 1);  // then appended
  EXPECT_EQ(Contents(Path("log")), "abcd");
}

TEST_F(FileHandleTest, SixtyFourBitOffsets) {
  int32_t high = 0, low = 0;
  SplitOffset(4294967296LL + 5, high, low);
  EXPECT_EQ(high, 1);
  EXPECT_EQ(low, 5);
  SplitOffset(3000000000LL, high, low);
  EXPECT_EQ(high, 0);
  EXPECT_EQ(low, -1294967296);

  // A sparse file: write beyond 4 GiB, read it back, size it.
  const QString p = Path("sparse");
  const int64_t far = 4294967296LL + 1000;
  ASSERT_EQ(WriteFileAt("far", 3, far, 0, p, true), 1);
  EXPECT_EQ(FileSizeOfPath(p), far + 3);
  char buf[3] = {};
  ASSERT_EQ(ReadFileAt(buf, 3, far, 0, p, true), 1);
  EXPECT_EQ(QByteArray(buf, 3), "far");
  FileHandle h = OpenFileHandle(p, kOpenRead);
  EXPECT_EQ(SeekFileTo(h, 3000000000LL), 0);
  CloseFileHandle(h);
  EXPECT_EQ(SeekFileTo(0, 10), -1);
}

TEST_F(FileHandleTest, SizesOfMissingFilesAndBadHandles) {
  EXPECT_EQ(FileSizeOfPath(Path("missing")), 0);
  EXPECT_EQ(FileSizeOfHandle(0), -1);
  EXPECT_EQ(FileSizeOfHandle(1), -1);
}

TEST(FileNumbers, ThirtyTwoBitPatternsAndOddness) {
  EXPECT_EQ(ToSigned32(4294967295LL), -1);
  EXPECT_EQ(ToSigned32(2147483648LL), INT32_MIN);
  EXPECT_EQ(ToSigned32(-1), 0);
  EXPECT_EQ(ToSigned32(4294967296LL), -1);
  EXPECT_EQ(ToUnsigned32(-1), 4294967295LL);
  EXPECT_EQ(ToUnsigned32(5), 5);
  EXPECT_EQ(IsOddNumber(7.9), 1);
  EXPECT_EQ(IsOddNumber(-4), 0);
  EXPECT_EQ(IsOddNumber(-3.5), 0);  // the integer part below -3.5 is -4
  EXPECT_EQ(IsOddNumber(int64_t{9000000001}), 1);
  EXPECT_EQ(IsOddNumber(1e300), 0);
}

}  // namespace
