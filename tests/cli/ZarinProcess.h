#pragma once
// The program run as a user runs it from a shell: the real executable, with
// no display and no platform chosen.
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace clitest {

struct Outcome {
  int status = -1;  // -1: did not finish; -2: crashed or killed
  QString out, err;
};

inline QProcessEnvironment WithoutDisplay() {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(QString::fromLatin1(name));
  return env;
}

inline Outcome Run(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                   const QString& workingDirectory = QString()) {
  QProcess p;
  p.setProcessEnvironment(env);
  if (!workingDirectory.isEmpty()) p.setWorkingDirectory(workingDirectory);
  p.start(program, args);
  Outcome o;
  if (!p.waitForFinished(120000)) {
    p.kill();
    p.waitForFinished();
    return o;
  }
  o.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
  o.out = QString::fromLocal8Bit(p.readAllStandardOutput());
  o.err = QString::fromLocal8Bit(p.readAllStandardError());
  return o;
}

inline Outcome Zarin(const QStringList& args) { return Run(QStringLiteral(ZARIN_EXE), args, WithoutDisplay()); }

// `zarin measure` on the loopback simulator, a 2 s run at `rate` stored in
// `folder`, with `more` after.
inline QStringList SimulatorMeasure(const QString& rate, const QString& folder, const QStringList& more = {}) {
  const QString sim = QStringLiteral("Loopback simulator");
  const QStringList args{"measure", "--output-device", sim, "--input-device", sim, "--rate", rate, "--seconds", "2"};
  return args + QStringList{"--folder", folder} + more;
}

}  // namespace clitest
