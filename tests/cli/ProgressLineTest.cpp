// A run on a terminal shows its progress on one line of standard error; a
// Ctrl+C (or a hang-up, or a kill) ends that line before the program ends,
// so the shell's prompt is not glued to it.
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Terminal {
  pid_t pid = -1;
  int master = -1;
};

// The program started on a new pseudo-terminal (standard output and error
// both), without a display.
Terminal StartOnTerminal(std::vector<std::string> args) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
        entry.rfind("QT_QPA_PLATFORM=", 0) == 0)
      continue;
    env.push_back(entry);
  }
  std::vector<char*> argv, envp;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  Terminal t;
  t.pid = forkpty(&t.master, nullptr, nullptr, nullptr);
  if (t.pid == 0) {
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  return t;
}

// Reads what the terminal shows until text appears (true) or it closes.
bool ReadUntil(int master, std::string& seen, const std::string& text) {
  char buffer[4096];
  while (text.empty() || seen.find(text) == std::string::npos) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 120000) <= 0) return false;
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // EIO: the program has closed the terminal
    seen.append(buffer, static_cast<size_t>(n));
  }
  return true;
}

class ProgressLineTest : public ::testing::TestWithParam<int> {};

TEST_P(ProgressLineTest, AnEndingSignalEndsTheLineFirst) {
  const int signal = GetParam();
  QTemporaryDir dir;
  const Terminal t = StartOnTerminal({ZARIN_EXE, "measure", "--output-device", "Loopback simulator", "--input-device",
                                      "Loopback simulator", "--rate", "48000", "--seconds", "30", "--folder",
                                      dir.path().toStdString()});
  ASSERT_GT(t.pid, 0);
  std::string seen;
  ASSERT_TRUE(ReadUntil(t.master, seen, "measuring ")) << seen;
  ASSERT_EQ(kill(t.pid, signal), 0);
  ReadUntil(t.master, seen, std::string());
  int status = 0;
  ASSERT_EQ(waitpid(t.pid, &status, 0), t.pid);
  close(t.master);
  // The program still ends by the signal (the shell sees why), with nothing kept.
  ASSERT_TRUE(WIFSIGNALED(status)) << seen;
  EXPECT_EQ(WTERMSIG(status), signal);
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
  // The progress line, then its end: the terminal turns "\n" into "\r\n".
  const size_t last = seen.rfind("measuring ");
  ASSERT_NE(last, std::string::npos);
  const std::string tail = seen.substr(last);
  EXPECT_EQ(tail.substr(tail.size() - 2), "\r\n") << tail;
  EXPECT_EQ(tail.find('\n'), tail.size() - 1) << tail;
}

INSTANTIATE_TEST_SUITE_P(Signals, ProgressLineTest, ::testing::Values(SIGINT, SIGTERM, SIGHUP), [](const auto& info) {
  return std::string(info.param == SIGINT ? "Interrupt" : info.param == SIGTERM ? "Terminate" : "HangUp");
});

}  // namespace
