#pragma once
// One program per data directory: two clients writing the same settings,
// archive and waiting list would lose each other's changes.  The lock is a
// file in the directory held while the program runs; the lock of a process
// that died does not keep the user out.
#include <memory>
#include <string>

class QLockFile;

namespace window {

class DataDirLock {
 public:
  enum class State {
    Held,        // this process owns the directory
    InUse,       // another running program holds it
    Unavailable  // no lock could be made (a read-only directory): run unlocked
  };

  explicit DataDirLock(const std::string& programDir);
  ~DataDirLock();
  DataDirLock(const DataDirLock&) = delete;
  DataDirLock& operator=(const DataDirLock&) = delete;

  State state() const { return state_; }

  static constexpr const char* kFileName = "chat-browser.lock";
  // The refusal of a second start, said in both languages (the language
  // setting is in the directory that may not be read yet).
  static std::string InUseMessage(const std::string& programDir);

 private:
  std::unique_ptr<QLockFile> lock_;
  State state_ = State::Unavailable;
};

}  // namespace window
