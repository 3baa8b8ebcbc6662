// The README's command-line examples run as written: every `$ ` line of its
// console blocks runs in a shell, in order, in a fresh folder standing for
// the user's home, with `zarin` the program under test; each zarin command
// must succeed and print what the README shows (the machine's own sound
// devices aside, numbers within a measurement's spread).
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

#include "tests/cli/ZarinProcess.h"

namespace {

struct Example {
  QString command;
  QStringList output;
};

QList<Example> ConsoleExamples(const QString& markdown) {
  QList<Example> examples;
  bool inBlock = false, continued = false;
  for (const QString& line : markdown.split('\n')) {
    if (line.startsWith("```")) {
      inBlock = line == "```console";
      continued = false;
      continue;
    }
    if (!inBlock) continue;
    if (continued) {
      examples.last().command += '\n' + line;
    } else if (line.startsWith("$ ")) {
      examples.append({line.mid(2), {}});
    } else if (!examples.isEmpty()) {
      examples.last().output << line;
    }
    continued = line.endsWith('\\') && (line.startsWith("$ ") || continued);
  }
  return examples;
}

QStringList Cells(const QString& line) { return line.split(QRegularExpression("[\t,]")); }

bool DeviceLine(const QStringList& cells) { return cells[0] == "output" || cells[0] == "input"; }

// A device other than the simulator is the README machine's own.
bool MachineSpecific(const QString& expected) {
  const QStringList e = Cells(expected);
  return DeviceLine(e) && e.last() != "Loopback simulator";
}

// A line as the README shows it against one a run printed. The README's home
// folder is the test's; numbers may differ by 1% (a measured delay moves by a
// frame or two from run to run), a device's id depends on the machine.
bool Matches(QString expected, const QString& actual, const QString& home) {
  expected.replace("/home/me", home);
  const QStringList e = Cells(expected), a = Cells(actual);
  if (e.size() != a.size()) return false;
  for (qsizetype i = 0; i < e.size(); ++i) {
    bool eNumber = false, aNumber = false;
    const double x = e[i].toDouble(&eNumber), y = a[i].toDouble(&aNumber);
    if (DeviceLine(e) && i == 1 && e.size() == 3) continue;
    if (eNumber && aNumber ? std::abs(x - y) > 0.01 * std::abs(x) + 1e-9 : e[i] != a[i]) return false;
  }
  return true;
}

TEST(ReadmeExamples, EveryCommandRunsAsWrittenAndPrintsWhatTheReadmeShows) {
  QFile readme(QStringLiteral(ZARIN_SOURCE_DIR "/README.md"));
  ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
  const QList<Example> examples = ConsoleExamples(QString::fromUtf8(readme.readAll()));
  int zarinCommands = 0;
  for (const Example& example : examples) zarinCommands += example.command.startsWith("zarin ");
  ASSERT_GE(zarinCommands, 3);

  QTemporaryDir home;
  ASSERT_TRUE(QDir(home.path()).mkpath("bin"));
  ASSERT_TRUE(QFile::link(QStringLiteral(ZARIN_EXE), home.filePath("bin/zarin")));
  QProcessEnvironment env = clitest::WithoutDisplay();
  env.insert("HOME", home.path());
  env.insert("XDG_CONFIG_HOME", home.filePath(".config"));
  env.insert("XDG_DATA_HOME", home.filePath(".local/share"));
  env.insert("PATH", home.filePath("bin") + ':' + env.value("PATH"));
  const QString canonicalHome = QFileInfo(home.path()).canonicalFilePath();
  for (const Example& example : examples) {
    const clitest::Outcome o = clitest::Run(QStringLiteral("/bin/bash"), {"-c", example.command}, env, home.path());
    const std::string what = example.command.toStdString() + "\nprinted:\n" + o.out.toStdString() + o.err.toStdString();
    ASSERT_EQ(o.status, 0) << what;
    // What the README shows appears in that order.
    const QStringList printed = o.out.split('\n', Qt::SkipEmptyParts);
    qsizetype next = 0;
    for (const QString& line : example.output) {
      if (line.isEmpty() || MachineSpecific(line)) continue;
      while (next < printed.size() && !Matches(line, printed[next], canonicalHome)) ++next;
      ASSERT_LT(next, printed.size()) << "not printed: " << line.toStdString() << "\nby " << what;
      ++next;
    }
  }
}

}  // namespace
