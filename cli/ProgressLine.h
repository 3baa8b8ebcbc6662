#pragma once
// The progress line a run keeps rewriting on standard error. While it is
// open, a signal that ends the program (Ctrl+C, a hang-up, a kill) first
// ends the line, so that the shell's prompt starts on a line of its own; the
// program then ends by that signal as it would have without the line.
#include <QString>
#include <array>
#include <csignal>

namespace cli {

class ProgressLine {
 public:
  ProgressLine();
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Replaces the line's text.
  void Show(const QString& text);
  // Ends the line (once) and the signals' special handling.
  void End();

 private:
  std::array<struct sigaction, 3> m_Previous{};
  bool m_Open = true;
};

}  // namespace cli
