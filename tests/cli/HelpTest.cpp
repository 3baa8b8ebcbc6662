// How the command line reads its words: help for the program and for each
// command, the command found wherever the options stand, and no window
// unless nothing but the toolkit's options was given.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <vector>

#include "cli/Command.h"
#include "cli/CommandLine.h"
#include "tests/cli/ZarinProcess.h"

namespace {

using clitest::Outcome;
using clitest::Zarin;

bool WantsCommandLine(std::vector<std::string> words) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return cli::WantsCommandLine(static_cast<int>(words.size()), argv.data());
}

TEST(CommandWords, OnlyNoWordsOrTheToolkitsOwnOptionsOpenTheWindow) {
  EXPECT_FALSE(WantsCommandLine({"zarin"}));
  EXPECT_FALSE(WantsCommandLine({"zarin", "-platform", "xcb"}));
  EXPECT_FALSE(WantsCommandLine({"zarin", "--style=fusion", "-reverse"}));
  EXPECT_TRUE(WantsCommandLine({"zarin", ""}));
  EXPECT_TRUE(WantsCommandLine({"zarin", "measure"}));
  EXPECT_TRUE(WantsCommandLine({"zarin", "--seconds", "2", "measure"}));
  EXPECT_TRUE(WantsCommandLine({"zarin", "--seconds"}));
  EXPECT_TRUE(WantsCommandLine({"zarin", "-platform", "xcb", "devices"}));
  EXPECT_TRUE(WantsCommandLine({"zarin", "--"}));
  EXPECT_TRUE(WantsCommandLine({"zarin", "-"}));
}

TEST(CommandWords, AnEmptyUnknownOrMissingCommandIsAnErrorNeverTheWindow) {
  // Without a display a window could not even open: the process would abort.
  for (const QStringList& args : {QStringList{""}, QStringList{"sweep-it"}, QStringList{"--seconds", "2"},
                                  QStringList{"--", ""}, QStringList{"help", "sweep-it"}}) {
    const Outcome o = Zarin(args);
    EXPECT_EQ(o.status, 1) << args.join('|').toStdString() << ": " << o.err.toStdString();
    EXPECT_TRUE(o.err.startsWith("zarin: ")) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains("zarin help")) << o.err.toStdString();
    EXPECT_TRUE(o.out.isEmpty());
  }
}

TEST(CommandWords, OptionsBeforeTheCommandWorkAsAfterIt) {
  QTemporaryDir dir;
  const Outcome o = Zarin({"--seconds", "2", "--rate=48000", "--folder", dir.path(), "--output-device",
                           "Loopback simulator", "measure", "--input-device", "Loopback simulator", "--mode", "sweep"});
  ASSERT_EQ(o.status, 0) << o.err.toStdString();
  EXPECT_TRUE(o.out.startsWith("result\t" + QDir(dir.path()).filePath("01.dat") + "\n")) << o.out.toStdString();
  EXPECT_EQ(QFile(QDir(dir.path()).filePath("01.dat")).size(), 44 + 2 * 2 * 48000);  // 2 s, 16-bit mono
  // An option of another command is refused before anything runs.
  const Outcome wrong = Zarin({"--seconds", "2", "devices"});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_TRUE(wrong.err.contains("seconds")) << wrong.err.toStdString();
}

TEST(Help, EachCommandHasItsOwnUsageLineAndOptions) {
  for (const cli::Command& command : cli::Commands()) {
    const Outcome o = Zarin({command.name, "--help"});
    ASSERT_EQ(o.status, 0) << command.name.toStdString();
    const QString usage = "Usage: zarin " + command.name +
                          (command.arguments.isEmpty() ? QString() : " " + command.arguments) + " [options]\n";
    EXPECT_TRUE(o.out.startsWith(usage)) << o.out.toStdString();
    for (const QCommandLineOption& option : command.options())
      EXPECT_TRUE(o.out.contains("--" + option.names().constLast())) << option.names().join(',').toStdString();
    // Not the program's text again.
    EXPECT_FALSE(o.out.contains("Commands:")) << o.out.toStdString();
    // `zarin help NAME` says the same; so does -h before the command.
    EXPECT_EQ(Zarin({"help", command.name}).out, o.out);
    EXPECT_EQ(Zarin({"-h", command.name}).out, o.out);
    for (const QString& line : o.out.split('\n')) EXPECT_LE(line.size(), 79) << line.toStdString();
  }
  const Outcome measure = Zarin({"measure", "--help"});
  EXPECT_FALSE(measure.out.contains("\n  --ids"));
  EXPECT_TRUE(measure.out.simplified().contains(
      "192000, 96000, 88200, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000"));
  const Outcome exportHelp = Zarin({"export", "--help"});
  EXPECT_FALSE(exportHelp.out.contains("--seconds"));
  EXPECT_TRUE(Zarin({"devices", "--help"}).out.contains("\n  --ids "));
}

TEST(Help, TheProgramsHelpListsEveryCommand) {
  const Outcome help = Zarin({"help"});
  ASSERT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.startsWith("Usage: zarin [COMMAND] [options]\n")) << help.out.toStdString();
  for (const cli::Command& command : cli::Commands())
    EXPECT_TRUE(help.out.contains("\n  " + command.name + " ")) << command.name.toStdString();
  EXPECT_EQ(Zarin({"--help"}).out, help.out);
  const Outcome version = Zarin({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(version.out.startsWith("zarin ")) << version.out.toStdString();
  EXPECT_EQ(Zarin({"help", "export", "measure"}).status, 1);
}

TEST(Devices, IdsStandBetweenTheSideAndTheNameAndNameTheSameDevices) {
  const Outcome plain = Zarin({"devices"});
  const Outcome ids = Zarin({"devices", "--ids"});
  ASSERT_EQ(plain.status, 0);
  ASSERT_EQ(ids.status, 0) << ids.err.toStdString();
  const QStringList plainLines = plain.out.split('\n', Qt::SkipEmptyParts);
  const QStringList idLines = ids.out.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(idLines.size(), plainLines.size());
  int next[2] = {0, 0};
  QString simulatorOut;
  for (qsizetype i = 0; i < idLines.size(); ++i) {
    const QStringList cells = idLines[i].split('\t');
    ASSERT_EQ(cells.size(), 3) << idLines[i].toStdString();
    const int side = cells[0] == "input" ? 1 : 0;
    EXPECT_EQ(cells[1], QString::number(next[side]++)) << idLines[i].toStdString();  // ids count up from 0 per side
    EXPECT_EQ(cells[0] + '\t' + cells[2], plainLines[i]);
    if (side == 0 && cells[2] == "Loopback simulator") simulatorOut = cells[1];
  }
  ASSERT_FALSE(simulatorOut.isEmpty());
  // The id a line shows is the one --output-device takes: a noise run on it comes back.
  QTemporaryDir dir;
  const Outcome run = Zarin({"measure", "--output-device", simulatorOut, "--input-device", "Loopback simulator",
                             "--mode", "noise", "--rate", "48000", "--seconds", "2", "--folder", dir.path()});
  EXPECT_EQ(run.status, 0) << run.err.toStdString();
}

}  // namespace
