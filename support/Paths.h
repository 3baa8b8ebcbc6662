#pragma once
// Path texts and the small file-system operations built on them. Folders are
// separated by the platform's own separator ("/" here, "\" on Windows); an
// address starting with "http" always uses "/". Flags are 1 (true) / 0.
#include <QString>
#include <cstdint>
#include <functional>

namespace basic {

// The platform's folder separator.
QChar PathSeparator();

// The running program's folder, ending in a separator.
QString AppFolder();
// The system's library folder, ending in a separator.
QString SystemFolder();

// 1 when the program may keep its own files (results, log) in its folder:
// the folder can be written by this user and is a build tree (CMake's cache
// lies in it or the folder above). An installed copy, wherever it was
// installed, keeps nothing beside itself.
int MayWriteBesideProgram(const QString& programFolder);
// The folder for the program's own files, ending in a separator: the
// program's folder when it may write there, else the per-user data folder
// (created when missing).
QString OwnFilesFolder(const QString& programFolder);

int FileExists(const QString& path);
int FolderExists(const QString& path);
// Creates one folder level (one trailing separator is ignored).
int MakeFolder(const QString& path);

// Appends the separator when missing (remove 0) or drops one trailing
// separator (remove 1). Blank text gives empty text.
QString EnsureTrailingSeparator(const QString& path, int remove);

// 1 when the base name, upper-cased, is CON, PRN, AUX, NUL, CLOCK$, COM0-9 or LPT0-9.
int IsReservedDeviceName(const QString& path);

// 1 when the file is gone afterwards (or never was); a read-only file is made
// writable first; reserved device names are left alone (and give 1).
int DeleteFileIfAny(const QString& path);
int RenameFile(const QString& oldPath, const QString& newPath);
// Up to 10 rename attempts, waiting 10, 20, ... 90 ms between them.
int MoveFileRetry(const QString& source, const QString& target, int replace);
// Copies into a uniquely named file beside the target, which takes the
// target's place only once the copy is complete: a failed copy leaves the
// target as it was and no other file is touched. Copying a file onto itself
// does nothing (and succeeds).
int CopyFileTo(const QString& source, const QString& target, int deleteTargetFirst);

// The selected parts of a path, in this order: folder, separator (whenever
// asked, even for an empty folder), base name, dot, extension. letterCase:
// 0 as is, 1 lower, 2 upper.
QString SplitPath(const QString& path, int folder, int separator, int baseName, int dot, int extension, int letterCase);

// The path with the extension when it does not already end with it (any case).
QString EnsureExtension(const QString& path, const QString& extension);

// The path itself when free (and alwaysNumber is 0), else the first free
// name with a zero-padded counter of at least `digits` digits after the base
// name: a.log -> a001.log, a002.log, ...
QString UniqueFileName(const QString& path, int keepFolder, int keepExtension, int32_t digits, int alwaysNumber);

// Waits while letting window events run. A wait of 0 or less only lets
// pending events run once; sleepMs > 0 sleeps between passes.
void WaitMs(int32_t waitMs, int32_t sleepMs);

// Tests make a copy fail part-way: the hook sees the bytes copied so far
// (before each block) and answers true to fail there.
using CopyFault = std::function<bool(int64_t copied)>;
CopyFault SetCopyFault(CopyFault fault);

// The wait MoveFileRetry uses between attempts (tests replace it).
using RetryWait = std::function<void(int32_t ms)>;
RetryWait SetRetryWait(RetryWait wait);

}  // namespace basic
