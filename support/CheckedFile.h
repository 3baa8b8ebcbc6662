#pragma once
// The one way files are written. A new file is written beside its
// destination under a private name; every write, the sync to disk and the
// close are checked, and only a file that got through all of them takes the
// destination's place (replacing what was there, or only where nothing is).
// Anything short of that removes the new file and leaves the destination as
// it was, with the system's reason kept for the message.
//
// Destinations that are not regular files (folders, FIFOs, devices, sockets,
// links that lead nowhere) are refused: they are never replaced by a file.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

namespace basic {

// Where a write failed, for the fault hook of the tests.
enum class WriteStage { Write, Sync, Close };

// Tests make a write fail: the hook sees the stage and the bytes written so
// far and answers an errno value (0: no fault). Returns the old hook.
using WriteFault = std::function<int(WriteStage stage, int64_t written)>;
WriteFault SetWriteFault(WriteFault fault);

// What a finished file does at its destination.
enum class Placement {
  Replace,     // takes the place of a regular file there (or of nothing)
  OnlyIfFree,  // only where nothing at all is; else Taken
};

enum class Commit { Done, Taken, Failed };

class CheckedFile {
 public:
  CheckedFile() = default;
  ~CheckedFile();  // an unfinished file is removed
  CheckedFile(const CheckedFile&) = delete;
  CheckedFile& operator=(const CheckedFile&) = delete;

  // Starts a new file in folder (which must exist). False, with Error(), when
  // it cannot be created there.
  bool Begin(const QString& folder);
  // Appends bytes; false (and the file is spoilt) on any failure.
  bool Write(const void* bytes, int64_t count);
  bool Write(const QByteArray& bytes) { return Write(bytes.constData(), bytes.size()); }
  // Syncs and closes the file and puts it at path. Taken only with
  // OnlyIfFree, when something is already there (the file stays ready for
  // another path). Failed removes the new file.
  Commit Finish(const QString& path, Placement placement);
  // Removes the new file.
  void Cancel();

  // The system's reason for the last failure ("No space left on device").
  const QString& Error() const { return m_Error; }

 private:
  bool Fail(int error);
  bool Close();

  QString m_Folder;
  QByteArray m_TempPath;  // native path of the new file while it is ours
  int m_Fd = -1;
  bool m_Closed = false;
  bool m_Spoilt = false;
  int64_t m_Written = 0;
  QString m_Error;
};

// Whether path may be written as a whole file: absent, or a regular file
// (a link is followed). False with the reason otherwise.
bool CanReplace(const QString& path, QString* reason = nullptr);

// Writes bytes to path through a CheckedFile (Placement::Replace). A link to
// a regular file keeps being a link: its target is what is replaced.
bool WriteWholeFile(const QString& path, const QByteArray& bytes, QString* reason = nullptr);

// Appends bytes to a regular file (created when missing); a failed append
// cuts the file back to where it ended, so no half line stays.
bool AppendToFile(const QString& path, const QByteArray& bytes, QString* reason = nullptr);

// Writes bytes to standard output, every byte checked.
bool WriteToStandardOutput(const QByteArray& bytes, QString* reason = nullptr);

// The system's text for an errno value.
QString SystemReason(int error);

}  // namespace basic
