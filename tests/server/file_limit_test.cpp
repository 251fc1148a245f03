// chatd when the process runs out of file descriptors: connections beyond
// what it can hold are refused and closed, it does not spin on the
// listening socket, it says so once, and it serves again as soon as
// descriptors are free.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "hostile_kit.h"
#include "server_fixture.h"

namespace {

using chatd_test::ChatdProcess;
using chatd_test::ConnectFrom;
using chatd_test::LineClient;

double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t close = all.rfind(')');
  unsigned long long utime = 0, stime = 0;
  if (close == std::string::npos ||
      std::sscanf(all.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime,
                  &stime) != 2)
    return -1;
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// This process's own CPU time: what a busy loop spends meanwhile.
double OwnCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int CountLines(const std::string& path, const std::string& part) {
  std::ifstream in(path);
  std::string line;
  int n = 0;
  while (std::getline(in, line)) n += line.find(part) != std::string::npos ? 1 : 0;
  return n;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Which of `fds` the peer closed, watching all of them until none has
// closed for `quietMs`.
std::vector<bool> ClosedOf(const std::vector<int>& fds, int quietMs) {
  std::vector<bool> closed(fds.size(), false);
  while (true) {
    std::vector<pollfd> polls;
    std::vector<size_t> which;
    for (size_t i = 0; i < fds.size(); ++i) {
      if (closed[i]) continue;
      polls.push_back({fds[i], POLLIN, 0});
      which.push_back(i);
    }
    if (polls.empty() || poll(polls.data(), polls.size(), quietMs) <= 0) return closed;
    for (size_t k = 0; k < polls.size(); ++k) {
      if (!(polls[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buf[4096];
      if (recv(polls[k].fd, buf, sizeof buf, 0) <= 0) closed[which[k]] = true;
    }
  }
}

class FileLimitTest : public ::testing::Test {
 protected:
  void TearDown() override { std::remove(log_.c_str()); }
  std::string log_ = "/tmp/chatd-file-limit-" + std::to_string(getpid()) + ".log";
};

TEST_F(FileLimitTest, ConnectionCapsFitTheDescriptorsChatdHas) {
  ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {"--log", log_, "--per-address", "1000"}, false, "", 256);
  ASSERT_TRUE(chatd.ok()) << chatd.banner();
  std::vector<int> fds;
  for (int i = 0; i < 400; ++i) fds.push_back(ConnectFrom(chatd.chatPort()));
  int closed = 0;
  for (bool c : ClosedOf(fds, 1000)) closed += c ? 1 : 0;
  for (int fd : fds) close(fd);
  EXPECT_EQ(CountLines(log_, "open files limit 256: up to "), 1) << ReadAll(log_);
  // What did not fit was refused as a full server, not by running out.
  EXPECT_GE(closed, 400 - 256);
  EXPECT_EQ(CountLines(log_, "out of file descriptors"), 0) << ReadAll(log_);
}

TEST_F(FileLimitTest, OutOfDescriptorsChatdRefusesIdlesLogsOnceAndRecovers) {
  // Caps above what the limit allows, so the descriptors run out first.
  ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd",
                     {"--log", log_, "--per-address", "1000", "--max-connections", "1000"}, false, "", 256);
  ASSERT_TRUE(chatd.ok()) << chatd.banner();
  std::vector<int> fds;
  for (int i = 0; i < 400; ++i) fds.push_back(ConnectFrom(chatd.chatPort()));
  std::vector<int> open, refused;
  const std::vector<bool> closed = ClosedOf(fds, 1000);
  for (size_t i = 0; i < fds.size(); ++i) (closed[i] ? refused : open).push_back(fds[i]);
  EXPECT_EQ(open.size() + refused.size(), 400u);
  EXPECT_GE(refused.size(), 400u - 256u) << "connections beyond the limit are closed, not left hanging";
  EXPECT_GE(open.size(), 100u);

  // More callers keep arriving while chatd is at its limit; meanwhile it
  // spends a small part of what a busy loop spends in the same time.
  std::vector<int> late;
  for (int i = 0; i < 20; ++i) late.push_back(ConnectFrom(chatd.chatPort()));
  const double chatdBefore = CpuSeconds(chatd.pid());
  const double ownBefore = OwnCpuSeconds();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  volatile uint64_t spin = 0;
  while (std::chrono::steady_clock::now() < end) spin = spin + 1;
  const double chatdUsed = CpuSeconds(chatd.pid()) - chatdBefore;
  const double busy = OwnCpuSeconds() - ownBefore;
  EXPECT_LT(chatdUsed, busy / 10) << "chatd " << chatdUsed << " s of CPU, a busy loop " << busy << " s";
  for (bool c : ClosedOf(late, 1000)) EXPECT_TRUE(c);
  for (int fd : late) close(fd);
  EXPECT_EQ(CountLines(log_, "out of file descriptors"), 1) << ReadAll(log_);

  // Descriptors free: the next user gets in.
  for (size_t i = 0; i < open.size() / 2; ++i) close(open[i]);
  std::string number;
  for (int attempt = 0; attempt < 5 && number.empty(); ++attempt) {
    LineClient newcomer(chatd.chatPort());
    number = newcomer.Login("Newcomer", "pw");
  }
  EXPECT_FALSE(number.empty());
  EXPECT_EQ(CountLines(log_, "accepting again"), 1) << ReadAll(log_);
  for (size_t i = open.size() / 2; i < open.size(); ++i) close(open[i]);
  for (int fd : refused) close(fd);
}

}  // namespace
