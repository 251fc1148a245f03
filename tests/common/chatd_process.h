#pragma once
// Starts the built chatd on free loopback ports with its own data folder
// and stops it again; used by the server tests and the benchmark.
#include <sys/types.h>

#include <string>
#include <vector>

namespace chatd_test {

class ChatdProcess {
 public:
  // `binary` is the chatd program; `extra` are further options.  Without
  // `dataDir` a fresh folder is made and removed again at the end.  With
  // `fileLimit` above 0 chatd runs with that many descriptors at most (soft
  // and hard limit).
  ChatdProcess(const std::string& binary, const std::vector<std::string>& extra, bool quiet = false,
               const std::string& dataDir = "", long fileLimit = 0);
  ~ChatdProcess();
  ChatdProcess(const ChatdProcess&) = delete;
  ChatdProcess& operator=(const ChatdProcess&) = delete;

  bool ok() const { return chatPort_ > 0 && httpPort_ > 0; }
  int chatPort() const { return chatPort_; }
  int httpPort() const { return httpPort_; }
  const std::string& dataDir() const { return dataDir_; }
  const std::string& banner() const { return banner_; }
  pid_t pid() const { return pid_; }
  bool Running();  // the process has not exited
  // Makes the account `name` with `password` as an administrator does
  // (chatd --add-user); it works while the server runs.  False on failure.
  bool AddUser(const std::string& name, const std::string& password);
  void Stop();     // SIGTERM, then waits; the data folder stays

 private:
  pid_t pid_ = -1;
  int chatPort_ = 0, httpPort_ = 0;
  std::string binary_, dataDir_, banner_;
  bool ownsDataDir_ = false;
};

}  // namespace chatd_test
