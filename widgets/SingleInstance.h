#pragma once
// One running instance per user: a lock file beside the user's settings. A
// lock left behind by a crashed instance is recognised as stale and taken over.
#include <memory>

class QLockFile;

namespace basic {

class SingleInstance {
 public:
  SingleInstance();
  ~SingleInstance();
  // True when no other instance holds the lock (this one now does).
  bool Acquire();

 private:
  std::unique_ptr<QLockFile> m_Lock;
};

}  // namespace basic
