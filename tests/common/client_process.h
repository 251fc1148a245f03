#pragma once
// The built chat-browser as a child process on the offscreen platform, with
// its own data folder holding a stored identity for a running chatd; for
// tests and benchmarks that need the real program, its exit status and its
// memory.  CHAT_BROWSER_BINARY in the environment names another build.
#include <sys/types.h>

#include <optional>
#include <string>

namespace chatd_test {

class ClientProcess {
 public:
  // Starts the client as `name` (password "pw", account `number`) on chatd's
  // chat port; `ini` is added to the [Global] section.
  ClientProcess(const std::string& name, const std::string& number, int chatPort, int httpPort,
                const std::string& ini = "");
  ~ClientProcess();
  ClientProcess(const ClientProcess&) = delete;
  ClientProcess& operator=(const ClientProcess&) = delete;

  pid_t pid() const { return pid_; }
  const std::string& dataDir() const { return dataDir_; }
  static std::string Binary();

  bool Running();
  void Signal(int sig);
  // How the process ended: the exit code, or 128 + the signal that killed
  // it; nullopt while it still runs after `waitMs` (it is then killed).
  std::optional<int> WaitExit(int waitMs);
  // Resident memory now, KiB.
  long ResidentKiB() const;
  // The text of a file in the data folder; empty when there is none.
  std::string FileText(const std::string& relative) const;
  // A file in the data folder whose name ends with `suffix`, searched below it.
  bool HasFileEndingWith(const std::string& suffix) const;

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
  std::string dataDir_;
};

}  // namespace chatd_test
