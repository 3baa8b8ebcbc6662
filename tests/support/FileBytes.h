#pragma once
// Whole files read and written by the tests, around the code under test.
#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

namespace zarin_test {

// A file's bytes, or "<missing>" when it cannot be read.
inline QByteArray Contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Makes bytes the whole of a file.
inline void Put(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

}  // namespace zarin_test
