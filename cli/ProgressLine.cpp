#include "cli/ProgressLine.h"

#include <unistd.h>

#include <cstdio>

namespace cli {

namespace {

constexpr std::array<int, 3> kEndingSignals = {SIGINT, SIGTERM, SIGHUP};

// Only what is safe in a signal handler: a write, then the signal again
// with its default action (reset by SA_RESETHAND, not blocked thanks to
// SA_NODEFER).
void EndLineAndDie(int signal) {
  const ssize_t written = write(STDERR_FILENO, "\n", 1);
  (void)written;
  raise(signal);
}

}  // namespace

ProgressLine::ProgressLine() {
  struct sigaction action {};
  action.sa_handler = EndLineAndDie;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND | SA_NODEFER;
  for (size_t i = 0; i < kEndingSignals.size(); ++i) {
    sigaction(kEndingSignals[i], nullptr, &m_Previous[i]);
    // A signal the caller ignores (nohup) stays ignored.
    if (m_Previous[i].sa_handler == SIG_IGN) continue;
    sigaction(kEndingSignals[i], &action, nullptr);
  }
}

ProgressLine::~ProgressLine() { End(); }

void ProgressLine::Show(const QString& text) {
  if (!m_Open) return;
  std::fprintf(stderr, "\r%s", text.toLocal8Bit().constData());
  std::fflush(stderr);
}

void ProgressLine::End() {
  if (!m_Open) return;
  m_Open = false;
  for (size_t i = 0; i < kEndingSignals.size(); ++i) sigaction(kEndingSignals[i], &m_Previous[i], nullptr);
  std::fputs("\n", stderr);
  std::fflush(stderr);
}

}  // namespace cli
