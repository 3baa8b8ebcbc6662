#pragma once
// Diagnostic log. Lines are written only while the LogError switch is on.
// An observer can be attached to see every line that would be written
// (used by tests and by the window's own diagnostics).
#include <functional>
#include <string>

namespace basic {

bool LogError();
void SetLogError(bool on);

// Writes one line; isError 1 goes to the error log, 0 to the ordinary log.
void WriteLogLine(const std::string& text, int isError);

using LogObserver = std::function<void(const std::string& text, int isError)>;
// Replaces the observer (an empty function removes it). Returns the old one.
LogObserver SetLogObserver(LogObserver observer);

}  // namespace basic
