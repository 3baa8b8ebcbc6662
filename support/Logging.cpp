#include "support/Logging.h"

#include <utility>

namespace basic {

namespace {
bool g_LogError = false;
LogObserver& Observer() {
  static LogObserver observer;
  return observer;
}
}  // namespace

bool LogError() { return g_LogError; }
void SetLogError(bool on) { g_LogError = on; }

void WriteLogLine(const std::string& text, int isError) {
  if (!g_LogError) return;
  if (Observer()) Observer()(text, isError);
}

LogObserver SetLogObserver(LogObserver observer) { return std::exchange(Observer(), std::move(observer)); }

}  // namespace basic
