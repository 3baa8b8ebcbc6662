#pragma once
// Runs an event handler's body under the program's error convention: with
// ErrorCatch off a fault ends the handler quietly where it was (its text goes
// to the error log when the log is on); with it on the fault goes on to the
// caller.
#include <QString>
#include <exception>

#include "support/Logging.h"

namespace basic {

template <typename Body>
void Trap(Body&& body) {
  if (ErrorCatch()) {
    body();
    return;
  }
  try {
    body();
  } catch (const std::exception& fault) {
    // Left quietly, as the convention says; only the log hears of it.
    WriteLogLine(QString::fromUtf8(fault.what()), true);
  }
}

}  // namespace basic
