// Result numbers: each taken once, nothing ever replaced.
#include "measurement/ResultNumbers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/CheckedFile.h"
#include "tests/support/FileBytes.h"

using namespace measurement;
using zarin_test::Contents;

namespace {

class ResultNumbers : public ::testing::Test {
 protected:
  ~ResultNumbers() override {
    SetBeforeClaimHook({});
    basic::SetWriteFault({});
  }
  QString Folder() const { return dir.path() + "/"; }
  QString P(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
  QStringList Entries() const {
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  }
  QTemporaryDir dir;
};

TEST_F(ResultNumbers, AnythingAtANumberedPathIsSkippedAndLeftAlone) {
  QDir(dir.path()).mkdir("01.dat");
  ASSERT_EQ(symlink(P("elsewhere").toLocal8Bit().constData(), P("02.fft").toLocal8Bit().constData()), 0);
  ASSERT_EQ(mkfifo(P("03.dat").toLocal8Bit().constData(), 0600), 0);
  QFile theirs(P("04.fft"));
  ASSERT_TRUE(theirs.open(QIODevice::WriteOnly));
  theirs.write("theirs");
  theirs.close();
  // The other kind's name holds the number too.
  const StoredResult stored = StoreNewResult(Folder(), true, "mine", 0);
  EXPECT_EQ(stored.path, P("05.dat"));
  EXPECT_EQ(stored.number, 5);
  EXPECT_EQ(Contents(P("05.dat")), "mine");
  EXPECT_EQ(Contents(P("04.fft")), "theirs");
  EXPECT_FALSE(QFile::exists(P("elsewhere")));
  EXPECT_EQ(Entries(), (QStringList{"01.dat", "02.fft", "03.dat", "04.fft", "05.dat"}));
}

TEST_F(ResultNumbers, WhatTheCallerHoldsIsSkippedAndCountingStartsAfterTheLast) {
  const auto held = [&](const QString& path) { return path == P("03.fft") || path == P("04.dat"); };
  EXPECT_EQ(StoreNewResult(Folder(), false, "a", 2, held).path, P("05.fft"));
  EXPECT_EQ(StoreNewResult(Folder(), false, "b", 0, held).path, P("01.fft"));
}

TEST_F(ResultNumbers, ANumberTakenMeanwhileIsNotTakenAgain) {
  // Between writing its file and taking its number, another store takes 01.
  SetBeforeClaimHook([this] {
    SetBeforeClaimHook({});
    ASSERT_EQ(StoreNewResult(Folder(), false, "other", 0).path, P("01.fft"));
  });
  const StoredResult mine = StoreNewResult(Folder(), true, "mine", 0);
  EXPECT_EQ(mine.path, P("02.dat"));
  EXPECT_EQ(Contents(P("01.fft")), "other");
  EXPECT_EQ(Contents(P("02.dat")), "mine");
}

TEST_F(ResultNumbers, ManyThreadsAtOnceTakeDistinctNumbers) {
  constexpr int kThreads = 8, kEach = 25;
  std::vector<std::thread> threads;
  std::vector<std::vector<QString>> paths(kThreads);
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i)
        paths[t].push_back(StoreNewResult(Folder(), (t + i) % 2 == 0, QByteArray::number(t * 1000 + i), 0).path);
    });
  for (auto& th : threads) th.join();
  QSet<QString> numbers;
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kEach; ++i) {
      const QString& path = paths[t][i];
      ASSERT_FALSE(path.isEmpty());
      EXPECT_EQ(Contents(path), QByteArray::number(t * 1000 + i));
      numbers.insert(QFileInfo(path).baseName());
    }
  EXPECT_EQ(numbers.size(), kThreads * kEach);
  EXPECT_EQ(Entries().size(), kThreads * kEach);  // no private files left over
}

TEST_F(ResultNumbers, AFailedWriteTakesNoNumberAndSaysWhy) {
  basic::SetWriteFault([](basic::WriteStage stage, int64_t) { return stage == basic::WriteStage::Sync ? ENOSPC : 0; });
  const StoredResult stored = StoreNewResult(Folder(), true, QByteArray(5000, 'x'), 0);
  EXPECT_TRUE(stored.path.isEmpty());
  EXPECT_EQ(stored.error, basic::SystemReason(ENOSPC));
  EXPECT_TRUE(Entries().isEmpty());
}

}  // namespace
