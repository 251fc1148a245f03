// A login storm: N clients connect to a fresh chatd at once, as after a
// restart, and every one of them reads until it has seen an online list
// with all N names.  Reports what that cost chatd: the bytes its clients
// received, its CPU time, its peak resident memory, the peak of its output
// queues (from its log, when it reports one) and how many readers it
// dropped.
//
//   login_storm_bench [N...]            (default 100 200 500 2000)
// With CHATD_BASELINE=/path/to/an/older/chatd each storm also runs against
// that program first, so both stand side by side.
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "chatd_process.h"
#include "line_client.h"
#include "process_memory.h"

namespace {

using chatd_test::ChatdProcess;
using Clock = std::chrono::steady_clock;

long PeakResidentKib(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

// The largest "output queues peaked at N KiB" chatd logged; -1 for none.
long LoggedPeakKib(const std::string& log) {
  std::ifstream in(log);
  std::string line;
  long best = -1;
  static const std::regex re(R"(output queues peaked at (\d+) KiB)");
  std::smatch m;
  while (std::getline(in, line)) {
    if (std::regex_search(line, m, re)) best = std::max(best, std::atol(m[1].str().c_str()));
  }
  return best;
}

struct Reader {
  int fd = -1;
  std::string pending;
  bool done = false, closed = false;
};

// Entries of an online list line ("x¦User=a,Ver=…;User=b,…;¦").
int ListEntries(const std::string& line) {
  if (line.rfind("x\xA6User=", 0) != 0) return -1;
  int n = 0;
  for (size_t at = line.find("User="); at != std::string::npos; at = line.find("User=", at + 5)) ++n;
  return n;
}

void Storm(const std::string& label, const std::string& binary, int count) {
  const std::string log = "/tmp/login-storm-" + std::to_string(getpid()) + ".log";
  std::remove(log.c_str());
  ChatdProcess chatd(binary, {"--per-address", "64", "--log", log});
  if (!chatd.ok()) {
    std::printf("%-8s %5d  chatd did not start\n", label.c_str(), count);
    return;
  }
  const double cpuBefore = chatd_test::CpuSeconds(chatd.pid());
  const auto start = Clock::now();
  std::vector<Reader> readers(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    // Eight users per address, within every per-address limit.
    const std::string source = "127.1." + std::to_string(1 + i / 8 / 250) + "." + std::to_string(1 + i / 8 % 250);
    Reader& r = readers[static_cast<size_t>(i)];
    r.fd = chatd_test::ConnectFrom(chatd.chatPort(), source.c_str(), 5000);
    if (r.fd < 0 || !chatd_test::SendBytes(r.fd, chatd_test::LineClient::LoginLine(
                                                     "storm" + std::to_string(i), "pw", ""))) {
      r.closed = true;
    }
  }
  uint64_t bytes = 0;
  int remaining = count;
  for (auto& r : readers) remaining -= r.closed ? 1 : 0;
  std::vector<char> buf(1 << 16);
  auto lastProgress = Clock::now();
  while (remaining > 0 && Clock::now() - lastProgress < std::chrono::seconds(20)) {
    std::vector<pollfd> fds;
    std::vector<Reader*> who;
    for (auto& r : readers) {
      if (r.closed || r.done) continue;
      fds.push_back({r.fd, POLLIN, 0});
      who.push_back(&r);
    }
    if (poll(fds.data(), fds.size(), 1000) <= 0) continue;
    for (size_t i = 0; i < fds.size(); ++i) {
      if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      Reader& r = *who[i];
      const ssize_t n = read(r.fd, buf.data(), buf.size());
      if (n <= 0) {
        r.closed = true;
        --remaining;
        continue;
      }
      lastProgress = Clock::now();
      bytes += static_cast<uint64_t>(n);
      r.pending.append(buf.data(), static_cast<size_t>(n));
      size_t from = 0;
      for (size_t lf; (lf = r.pending.find('\n', from)) != std::string::npos; from = lf + 1) {
        if (ListEntries(r.pending.substr(from, lf - from)) == count) r.done = true;
      }
      r.pending.erase(0, from);
      if (r.done) --remaining;
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  // Whatever chatd still sends after the last full list belongs to the storm.
  usleep(300 * 1000);
  for (auto& r : readers) {
    if (r.closed) continue;
    while (true) {
      pollfd p{r.fd, POLLIN, 0};
      if (poll(&p, 1, 0) <= 0) break;
      const ssize_t n = read(r.fd, buf.data(), buf.size());
      if (n <= 0) break;
      bytes += static_cast<uint64_t>(n);
    }
  }
  const double cpu = chatd_test::CpuSeconds(chatd.pid()) - cpuBefore;
  const long hwm = PeakResidentKib(chatd.pid());
  int dropped = 0, unfinished = 0;
  for (auto& r : readers) {
    dropped += r.closed ? 1 : 0;
    unfinished += !r.closed && !r.done ? 1 : 0;
    if (r.fd >= 0) close(r.fd);
  }
  chatd.Stop();
  const long peak = LoggedPeakKib(log);
  std::printf("%-8s %5d %12.1f MB %9.2f s cpu %9.2f s wall %8ld MiB rss %10s %6d dropped %6d unfinished\n",
              label.c_str(), count, static_cast<double>(bytes) / 1e6, cpu, seconds, hwm / 1024,
              peak < 0 ? "-" : (std::to_string(peak / 1024) + " MiB q").c_str(), dropped, unfinished);
  std::fflush(stdout);
  std::remove(log.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  // Every reader is a descriptor here and a connection in chatd (which
  // inherits the limit).
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) == 0) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
  }
  std::vector<int> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
  if (counts.empty()) counts = {100, 200, 500, 2000};
  std::vector<std::pair<std::string, std::string>> binaries;
  if (const char* baseline = std::getenv("CHATD_BASELINE"); baseline && *baseline)
    binaries.emplace_back("before", baseline);
  binaries.emplace_back("now", CHAT_BINARY_DIR "/bin/chatd");
  std::printf("%-8s %5s %15s %13s %14s %12s %12s\n", "chatd", "users", "bytes sent", "chatd CPU", "storm",
              "peak rss", "peak queue");
  for (int count : counts) {
    for (const auto& [label, binary] : binaries) Storm(label, binary, count);
  }
  return 0;
}
