#pragma once
// The program started as a user starts it, timed, for the command-line tests: no
// display, the test's own settings, an environment of the test's choosing.
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

namespace zarin_test {

struct Finished {
  int status = -1;  // exit code; -2 after a crash; -1 when it was still running at the limit
  QString out, err;
  qint64 ms = 0;  // how long it ran
};

inline void Prepare(QProcess& p, const QProcessEnvironment& base = QProcessEnvironment::systemEnvironment()) {
  QProcessEnvironment env = base;
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(QString::fromLatin1(name));
  p.setProcessEnvironment(env);
}

inline Finished Collect(QProcess& p, int limitMs, const QElapsedTimer& clock) {
  Finished f;
  if (!p.waitForFinished(limitMs)) {
    p.kill();
    p.waitForFinished();
    f.ms = clock.elapsed();
    return f;
  }
  f.ms = clock.elapsed();
  f.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
  f.out = QString::fromLocal8Bit(p.readAllStandardOutput());
  f.err = QString::fromLocal8Bit(p.readAllStandardError());
  return f;
}

inline Finished RunZarin(const QStringList& args, int limitMs = 120000,
                         const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
  QProcess p;
  Prepare(p, env);
  QElapsedTimer clock;
  clock.start();
  p.start(QStringLiteral(ZARIN_EXE), args);
  return Collect(p, limitMs, clock);
}

}  // namespace zarin_test
