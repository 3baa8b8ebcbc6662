#pragma once
// Runs an event handler's body under the program's error convention: with
// ErrorCatch off a fault ends the handler quietly where it was; with it on
// the fault goes on to the caller.
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
  } catch (const std::exception&) {
    // Left quietly, as the convention says.
  }
}

}  // namespace basic
