#pragma once
// Result numbers taken once, whoever else stores results in the same folder
// at the same time (other windows, command lines): a finished result file is
// put at the first free number with an exclusive rename, which fails rather
// than replace anything, and the search moves on to the next number. A
// number is free when nothing at all (no file, folder, link or FIFO) is
// there under either result name (NN.dat, NN.fft) and the caller does not
// hold it either. Numbers are taken one at a time in a folder: the folder is
// locked while one is picked.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

namespace measurement {

struct StoredResult {
  QString path;  // the file written; empty when nothing was
  int32_t number = 0;
  QString error;  // the system's reason when nothing (or not all) was written
  // A sweep's side files (the impulse response beside it): false when the
  // result has a response that could not be written beside it (the result
  // file itself is stored; error says why).
  bool sideFilesWritten = true;
};

// Writes bytes as a new result in folder (ending in a separator), with the
// first free number above after; ".dat" for a sweep, ".fft" otherwise.
StoredResult StoreNewResult(const QString& folder, bool sweep, const QByteArray& bytes, int32_t after,
                            const std::function<bool(const QString& path)>& taken = {});

// Tests run something between the writing of the new file and the taking of
// its number (another process taking the same one, say). Returns the old hook.
using BeforeClaimHook = std::function<void()>;
BeforeClaimHook SetBeforeClaimHook(BeforeClaimHook hook);

}  // namespace measurement
