#pragma once
// The command line: `zarin devices`, `zarin measure ...`, `zarin export ...`
// (and --help, --version). It runs without a display and talks on standard
// output and standard error, never in a message box.

namespace cli {

// True when the arguments ask for a command rather than the window.
bool WantsCommandLine(int argc, char** argv);

// Runs the command the arguments ask for; the process's exit status.
int Run(int argc, char** argv);

}  // namespace cli
