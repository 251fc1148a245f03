#include "client_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "process_memory.h"

namespace chatd_test {

namespace fs = std::filesystem;

std::string ClientProcess::Binary() {
  if (const char* other = std::getenv("CHAT_BROWSER_BINARY"); other && *other) return other;
  return CHAT_BINARY_DIR "/bin/chat-browser";
}

ClientProcess::ClientProcess(const std::string& name, const std::string& number, int chatPort, int httpPort,
                             const std::string& ini) {
  static int serial = 0;
  dataDir_ = (fs::temp_directory_path() /
              ("chat-client-" + std::to_string(getpid()) + "-" + std::to_string(++serial)))
                 .string();
  fs::remove_all(dataDir_);
  fs::create_directories(dataDir_);
  std::ofstream(dataDir_ + "/molvat.ini")
      << "[Global]\r\nUserName=" << name << "\r\nPassword=pw\r\nUserNum=" << number << "\r\nPort1=" << chatPort
      << "\r\nChatDir=http://127.0.0.1:" << httpPort << "/cgi-bin/chat/\r\n"
      << ini;
  const std::string binary = Binary();
  pid_ = fork();
  if (pid_ == 0) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    execl(binary.c_str(), binary.c_str(), "--data-dir", dataDir_.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
}

ClientProcess::~ClientProcess() {
  if (Running()) {
    kill(pid_, SIGKILL);
    WaitExit(10000);
  }
  std::error_code ec;
  fs::remove_all(dataDir_, ec);
}

bool ClientProcess::Running() {
  if (status_ || pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return false;
}

void ClientProcess::Signal(int sig) {
  if (Running()) kill(pid_, sig);
}

std::optional<int> ClientProcess::WaitExit(int waitMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (Running()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      int status = 0;
      waitpid(pid_, &status, 0);
      status_ = 128 + SIGKILL;
      return std::nullopt;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status_;
}

long ClientProcess::ResidentKiB() const { return StatusKiB("VmRSS", pid_); }

std::string ClientProcess::FileText(const std::string& relative) const {
  std::ifstream in(dataDir_ + "/" + relative, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool ClientProcess::HasFileEndingWith(const std::string& suffix) const {
  std::error_code ec;
  for (fs::recursive_directory_iterator it(dataDir_, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string n = it->path().filename().string();
    if (n.size() >= suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0) return true;
  }
  return false;
}

}  // namespace chatd_test
