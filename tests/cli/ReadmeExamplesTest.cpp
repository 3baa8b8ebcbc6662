// The README's command-line examples run as written: every `$ ` line of its
// console blocks and every line of its shell blocks that starts with
// `zarin` runs in a shell, in order, in a fresh folder standing for the
// user's home, with `zarin` the program under test installed there; each
// zarin command must succeed and print what the README shows beside it (the
// machine's own sound devices aside, measured numbers within their spread).
// A shell block that records with the sound server is stood in for: the
// test writes the recording such a block makes.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/PcmWav.h"
#include "tests/cli/ZarinProcess.h"

namespace {

struct Example {
  QString command;
  QStringList output;
  // A recording made with the sound server: where it goes and what it plays.
  QString recorded, played;
};

QString WordBefore(const QString& line, const QString& mark) {
  const QStringList words = line.left(line.indexOf(mark)).split(' ', Qt::SkipEmptyParts);
  return words.isEmpty() ? QString() : words.last();
}

QString WordAfter(const QString& line, const QString& mark) {
  const QStringList words =
      line.mid(line.indexOf(mark) + mark.size()).split(QRegularExpression("[ ;]"), Qt::SkipEmptyParts);
  return words.isEmpty() ? QString() : words.first();
}

// The console blocks' `$ ` lines with what follows them; the shell blocks'
// zarin lines, with the text block right after one as its output; the
// shell blocks that record while they play.
QList<Example> ReadmeExamples(const QString& markdown) {
  QList<Example> examples;
  QString block;  // the kind of the block the line is in ("" outside)
  bool continued = false;
  bool textIsOutput = false;  // a text block here shows the last zarin line's output
  for (const QString& line : markdown.split('\n')) {
    if (line.startsWith("```")) {
      if (!block.isEmpty()) {
        block.clear();
        continue;
      }
      block = line.mid(3).isEmpty() ? QStringLiteral("plain") : line.mid(3);
      if (block != "text") textIsOutput = false;
      continued = false;
      continue;
    }
    if (block.isEmpty()) {
      if (!line.trimmed().isEmpty()) textIsOutput = false;
      continue;
    }
    if (block == "console") {
      if (continued) {
        examples.last().command += '\n' + line;
      } else if (line.startsWith("$ ")) {
        examples.append({line.mid(2), {}, {}, {}});
      } else if (!examples.isEmpty()) {
        examples.last().output << line;
      }
      continued = line.endsWith('\\') && (line.startsWith("$ ") || continued);
    } else if (block == "sh") {
      if (continued) {
        examples.last().command += '\n' + line;
      } else if (line.startsWith("zarin ")) {
        examples.append({line, {}, {}, {}});
        textIsOutput = true;
      } else if (line.startsWith("parec ")) {
        examples.append({{}, {}, WordBefore(line, "&"), {}});
      } else if (line.contains("paplay ") && !examples.isEmpty() && !examples.last().recorded.isEmpty()) {
        examples.last().played = WordAfter(line, "paplay ");
      }
      continued = line.endsWith('\\') && (line.startsWith("zarin ") || continued);
    } else if (block == "text" && textIsOutput && !examples.isEmpty()) {
      examples.last().output << line;
    }
  }
  return examples;
}

// The recording a recorder makes that starts 9876 frames (205.75 ms at
// 48 kHz) before the sound and stops a second after it, as in the README's
// sample.
bool RecordAsTheServerWould(const QString& played, const QString& recorded) {
  WaveMMIO::PcmAudio audio;
  QString why;
  if (!WaveMMIO::ReadPcmWav(played, audio, why)) return false;
  std::vector<WaveMMIO::StereoSample> take(9876);
  take.insert(take.end(), audio.frames.begin(), audio.frames.end());
  take.resize(take.size() + static_cast<size_t>(audio.rate));
  return WaveMMIO::WriteStereo16Wav(recorded, audio.rate, take);
}

QStringList Cells(const QString& line) { return line.split(QRegularExpression("[\t,]")); }

bool DeviceLine(const QStringList& cells) { return cells[0] == "output" || cells[0] == "input"; }

// A device other than the simulator is the README machine's own.
bool MachineSpecific(const QString& expected) {
  const QStringList e = Cells(expected);
  return DeviceLine(e) && e.last() != "Loopback simulator";
}

// A line as the README shows it against one a run printed. The README's home
// folder is the test's; measured numbers may differ by 1% (the delay by a
// frame), a device's id depends on the machine.
bool Matches(QString expected, const QString& actual, const QString& home) {
  expected.replace("/home/me", home);
  const QStringList e = Cells(expected), a = Cells(actual);
  if (e.size() != a.size()) return false;
  for (qsizetype i = 0; i < e.size(); ++i) {
    bool eNumber = false, aNumber = false;
    const double x = e[i].toDouble(&eNumber), y = a[i].toDouble(&aNumber);
    if (DeviceLine(e) && i == 1 && e.size() == 3) continue;
    // The simulator's delay is exact: it is read to a frame (at 48 kHz).
    const double spread = e[0] == "delay_frames" ? 1.0 : e[0] == "delay_ms" ? 1000.0 / 48000 : 0.01 * std::abs(x);
    if (eNumber && aNumber ? std::abs(x - y) > spread + 1e-9 : e[i] != a[i]) return false;
  }
  return true;
}

TEST(ReadmeExamples, EveryCommandRunsAsWrittenAndPrintsWhatTheReadmeShows) {
  QFile readme(QStringLiteral(ZARIN_SOURCE_DIR "/README.md"));
  ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
  const QList<Example> examples = ReadmeExamples(QString::fromUtf8(readme.readAll()));
  int zarinCommands = 0, analysed = 0;
  for (const Example& example : examples) {
    zarinCommands += example.command.startsWith("zarin ");
    analysed += example.command.startsWith("zarin analyse ") && !example.output.isEmpty();
  }
  ASSERT_GE(zarinCommands, 6);
  ASSERT_EQ(analysed, 1);  // the shell block's example with the text block after it

  // Installed as a user installs it: outside a build tree, so that it keeps
  // its results in the user's data folder.
  QTemporaryDir home;
  ASSERT_TRUE(QDir(home.path()).mkpath("bin"));
  ASSERT_TRUE(QFile::copy(QStringLiteral(ZARIN_EXE), home.filePath("bin/zarin")));
  QProcessEnvironment env = clitest::WithoutDisplay();
  env.insert("HOME", home.path());
  env.insert("XDG_CONFIG_HOME", home.filePath(".config"));
  env.insert("XDG_DATA_HOME", home.filePath(".local/share"));
  env.insert("PATH", home.filePath("bin") + ':' + env.value("PATH"));
  const QString canonicalHome = QFileInfo(home.path()).canonicalFilePath();
  for (const Example& example : examples) {
    if (!example.recorded.isEmpty()) {
      ASSERT_FALSE(example.played.isEmpty()) << "a recording of nothing played: " << example.recorded.toStdString();
      ASSERT_TRUE(RecordAsTheServerWould(QDir(home.path()).filePath(example.played),
                                         QDir(home.path()).filePath(example.recorded)));
      continue;
    }
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
