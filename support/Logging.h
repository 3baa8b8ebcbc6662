#pragma once
// The opt-in diagnostic log and the two process-wide diagnostic switches.
//
// With LogError on, each line goes, time-stamped, to "zarin - <computer>.log"
// (ordinary lines) or ".err" (errors) in the log folder. A file grown past
// 1,024,000 bytes is deleted before the next line, or, with ErrorCatch on,
// kept under the first free numbered name (...001.log).
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>

namespace basic {

// Process-wide switches, set once at start-up.
int LogError();
void SetLogError(int on);
// Off: an operation that meets a fault ends quietly; on: faults reach the caller.
int ErrorCatch();
void SetErrorCatch(int on);
// Reads the settings "LogError" and "ErrorCatch"; a program folder holding
// "ec.txt" turns ErrorCatch on when the setting leaves it off.
void InitDiagnosticSwitches();

inline constexpr int64_t kLogSizeLimit = 1'024'000;

// Appends "<timestamp> <text>" as one line when logging is on or force is set.
void WriteLogLine(const QString& text, bool isError, bool force = false);

// The log folder: "log" in OwnFilesFolder (beside the program, or in the
// per-user data folder for an installed program). Tests may point it elsewhere
// (an empty text restores the default).
QString LogFolder();
void SetLogFolder(const QString& folder);

// Local date and time as text; all options 0 give "2023/02/28 09:07:05".
// parts: bit 1 date, 2 time, 4 milliseconds (0 means 3). separatorStyle: 0
// "/ :.", 2 "- __", other none. timeSource: 0 now, 2 23:59:59, 3 the
// seconds argument, other 00:00:00. yearStyle: 0 four digits, 1 two, 2 none.
QString FormatTimestamp(int32_t seconds = 0, int32_t dayOffset = 0, int32_t separatorStyle = 0, int32_t parts = 0,
                        int32_t timeSource = 0, int32_t yearStyle = 0, float secondsOffset = 0);
// The same at a given local time instead of now.
QString FormatTimestampAt(const QDateTime& now, int32_t seconds = 0, int32_t dayOffset = 0, int32_t separatorStyle = 0,
                          int32_t parts = 0, int32_t timeSource = 0, int32_t yearStyle = 0, float secondsOffset = 0);

// The machine's network name (cached after the first success), or empty text.
QString ComputerName();

// Sees every line that is written (tests, diagnostics). Returns the old observer.
using LogObserver = std::function<void(const QString& text, bool isError)>;
LogObserver SetLogObserver(LogObserver observer);

}  // namespace basic
