#include "chatd_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>

namespace chatd_test {

ChatdProcess::ChatdProcess(const std::string& binary, const std::vector<std::string>& extra, bool quiet,
                           const std::string& dataDir, long fileLimit)
    : binary_(binary) {
  if (dataDir.empty()) {
    char pattern[] = "/tmp/chatd-test-XXXXXX";
    if (!mkdtemp(pattern)) return;
    dataDir_ = pattern;
    ownsDataDir_ = true;
  } else {
    dataDir_ = dataDir;
  }
  int out[2];
  if (pipe(out) != 0) return;
  std::vector<std::string> args = {binary, "--port", "0", "--http-port", "0", "--data", dataDir_};
  args.insert(args.end(), extra.begin(), extra.end());
  if (quiet) args.push_back("--quiet");
  pid_ = fork();
  if (pid_ == 0) {
    if (fileLimit > 0) {
      const rlimit limit{static_cast<rlim_t>(fileLimit), static_cast<rlim_t>(fileLimit)};
      setrlimit(RLIMIT_NOFILE, &limit);
    }
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(binary.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  // Wait for the one line that says both sides accept connections.
  std::string text;
  pollfd p{out[0], POLLIN, 0};
  while (text.find('\n') == std::string::npos && poll(&p, 1, 20000) > 0) {
    char buf[256];
    ssize_t n = read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  close(out[0]);
  banner_ = text.substr(0, text.find('\n'));
  std::smatch m;
  static const std::regex re(R"(^chatd listening on 127\.0\.0\.1:(\d+) http 127\.0\.0\.1:(\d+)$)");
  if (std::regex_match(banner_, m, re)) {
    chatPort_ = std::atoi(m[1].str().c_str());
    httpPort_ = std::atoi(m[2].str().c_str());
  }
}

bool ChatdProcess::AddUser(const std::string& name, const std::string& password) {
  int in[2];
  if (pipe(in) != 0) return false;
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    close(in[0]);
    close(in[1]);
    std::vector<std::string> args = {binary_, "--quiet", "--data", dataDir_, "--add-user", name};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    execv(binary_.c_str(), argv.data());
    _exit(127);
  }
  close(in[0]);
  const std::string line = password + "\n";
  const bool written = write(in[1], line.data(), line.size()) == static_cast<ssize_t>(line.size());
  close(in[1]);
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return false;
  return written && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool ChatdProcess::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  return waitpid(pid_, &status, WNOHANG) == 0;
}

void ChatdProcess::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
}

ChatdProcess::~ChatdProcess() {
  Stop();
  if (ownsDataDir_) {
    std::error_code ec;
    std::filesystem::remove_all(dataDir_, ec);
  }
}

}  // namespace chatd_test
