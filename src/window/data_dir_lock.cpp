#include "window/data_dir_lock.h"

#include <QLockFile>
#include <QString>

namespace window {

DataDirLock::DataDirLock(const std::string& programDir)
    : lock_(std::make_unique<QLockFile>(QString::fromLocal8Bit(programDir + kFileName))) {
  // A live holder is never stale, however long it runs; a dead one is
  // recognised by its process number and its lock taken over.
  lock_->setStaleLockTime(0);
  if (lock_->tryLock(0))
    state_ = State::Held;
  else if (lock_->error() == QLockFile::LockFailedError)
    state_ = State::InUse;
  else
    state_ = State::Unavailable;
}

DataDirLock::~DataDirLock() = default;

std::string DataDirLock::InUseMessage(const std::string& programDir) {
  return "Папка данных " + programDir + " уже используется другой запущенной программой.\n"
         "The data directory " + programDir + " is in use by another running program.";
}

}  // namespace window
