// A busy room as the real client sees it: a raw peer floods the common room
// through a real chatd while the built chat-browser (a child process on the
// offscreen platform) reads it, and a second peer measures how long the
// client takes to confirm a private message sent in the middle of the flood.
//
//   flood_bench [--rates 1000,3000,10000,30000] [--seconds 3] [--million N [--pace R]] [--plain 1]
//   (CHAT_BROWSER_BINARY in the environment picks another client build)
//
// For each rate: messages/s the client got through (the last probe is
// confirmed only after every public line before it was shown), the probe's
// median and longest confirmation time, and the client's CPU per message.
// --million N then sends N public messages as fast as chatd and the client
// take them and reports the client's resident bytes per message.
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "chatd_process.h"
#include "line_client.h"
#include "process_memory.h"

namespace {

using chatd_test::ChatdProcess;
using chatd_test::LineClient;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }


// A logged-in raw connection whose sends block until chatd takes them.
class Peer {
 public:
  Peer(int port, const std::string& name) : fd_(chatd_test::ConnectFrom(port, "127.0.0.1", 0)) {
    chatd_test::SendBytes(fd_, LineClient::LoginLine(name, "pw", ""));
    while (auto line = ReadLine(10000))
      if (line->find("NewUserNum=") != std::string::npos) break;
  }
  ~Peer() { ::close(fd_); }
  bool Send(const std::string& bytes) { return chatd_test::SendBytes(fd_, bytes); }
  std::optional<std::string> ReadLine(int waitMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
      if (size_t lf = pending_.find('\n', start_); lf != std::string::npos) {
        std::string line = pending_.substr(start_, lf - start_);
        start_ = lf + 1;
        if (start_ > (1u << 20)) {
          pending_.erase(0, start_);
          start_ = 0;
        }
        return line;
      }
      const int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
      if (left <= 0) return std::nullopt;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, left) <= 0) continue;
      char buf[65536];
      const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) return std::nullopt;
      pending_.append(buf, size_t(n));
    }
  }
  // Reads and forgets whatever arrives until `stop`.
  void Drain(const std::atomic<bool>& stop) {
    char buf[65536];
    while (!stop) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) > 0 && ::recv(fd_, buf, sizeof buf, 0) <= 0) return;
    }
  }

 private:
  int fd_;
  std::string pending_;
  size_t start_ = 0;
};

// Without --plain every line carries a smiley (an animated picture).
bool plainLines = false;

std::string PublicLines(long from, long count) {
  std::string out;
  for (long i = from; i < from + count; ++i)
    out += "x\xA6Mess=a line of the busy room, number " + std::to_string(i) +
           (plainLines ? ", with nothing else in it;\xA6\n" : ", with a smiley :) in it;\xA6\n");
  return out;
}

std::string ProbeLine(int mid) {
  return "x\xA6\x43ln=reader;Mess=probe " + std::to_string(mid) + ";Mid=" + std::to_string(mid) + ";\xA6\n";
}

bool IsConfirmation(const std::string& line, int* mid) {
  if (line.find("Podtv=1") == std::string::npos) return false;
  const size_t at = line.find("Mid=");
  if (at == std::string::npos) return false;
  *mid = std::atoi(line.c_str() + at + 4);
  return true;
}

// Sends probes and times their confirmations.
class Prober {
 public:
  explicit Prober(int port) : peer_(port, "prober") {}
  // Probes until one is confirmed: the client is logged in and dispatching.
  bool WaitReady() {
    for (int attempt = 0; attempt < 300; ++attempt) {
      const int mid = next_++;
      peer_.Send(ProbeLine(mid));
      const auto until = Clock::now() + std::chrono::milliseconds(200);
      while (Clock::now() < until)
        if (auto line = peer_.ReadLine(50); line && IsConfirmation(*line, &mid_) && mid_ == mid) return true;
    }
    return false;
  }
  // Probes every `everyMs` until `stop`, then one last probe whose
  // confirmation is awaited; returns the time it came.
  Clock::time_point Run(const std::atomic<bool>& stop, int everyMs, std::vector<double>* latencies) {
    std::map<int, Clock::time_point> sent;
    auto nextProbe = Clock::now();
    int last = -1;
    for (;;) {
      const auto now = Clock::now();
      if (last < 0 && (now >= nextProbe || stop)) {
        const int mid = next_++;
        sent[mid] = now;
        peer_.Send(ProbeLine(mid));
        if (stop) last = mid;
        nextProbe = now + std::chrono::milliseconds(everyMs);
      }
      auto line = peer_.ReadLine(last < 0 ? 5 : 120000);
      if (!line) {
        if (last >= 0) return Clock::now();
        continue;
      }
      int mid = 0;
      if (!IsConfirmation(*line, &mid)) continue;
      auto it = sent.find(mid);
      if (it == sent.end()) continue;
      const auto at = Clock::now();
      latencies->push_back(Seconds(it->second, at) * 1000);
      sent.erase(it);
      if (mid == last) return at;
    }
  }
  Peer& peer() { return peer_; }

 private:
  Peer peer_;
  int next_ = 1;
  int mid_ = 0;
};

pid_t StartClient(const std::string& dataDir) {
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Its notices about the offscreen platform would only clutter the table.
    if (FILE* null = std::freopen("/dev/null", "w", stderr)) (void)null;
    const char* other = std::getenv("CHAT_BROWSER_BINARY");
    const std::string binary = other && *other ? other : CHAT_BINARY_DIR "/bin/chat-browser";
    execl(binary.c_str(), binary.c_str(), "--data-dir", dataDir.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

struct RateResult {
  double offered = 0, shown = 0, probeMedian = 0, probeMax = 0, cpuPerMessage = 0, chatdPerMessage = 0;
};

RateResult Flood(Peer& flooder, Prober& prober, pid_t client, pid_t chatd, long* sentSoFar, int rate,
                 double seconds) {
  const long total = long(rate * seconds);
  std::atomic<bool> stop{false};
  std::vector<double> latencies;
  Clock::time_point confirmed;
  const double cpu0 = 1e6 * chatd_test::CpuSeconds(client), chatd0 = 1e6 * chatd_test::CpuSeconds(chatd);
  const auto start = Clock::now();
  std::thread probe([&] { confirmed = prober.Run(stop, 100, &latencies); });
  long sent = 0;
  while (sent < total) {
    const long due = std::min<long>(total, long(Seconds(start, Clock::now()) * rate) + 1);
    if (due > sent) {
      flooder.Send(PublicLines(*sentSoFar + sent, due - sent));
      sent = due;
    } else {
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  }
  stop = true;
  probe.join();
  *sentSoFar += total;
  RateResult r;
  r.offered = rate;
  r.shown = double(total) / Seconds(start, confirmed);
  r.cpuPerMessage = (1e6 * chatd_test::CpuSeconds(client) - cpu0) / double(total);
  r.chatdPerMessage = (1e6 * chatd_test::CpuSeconds(chatd) - chatd0) / double(total);
  std::sort(latencies.begin(), latencies.end());
  if (!latencies.empty()) {
    r.probeMedian = latencies[latencies.size() / 2];
    r.probeMax = latencies.back();
  }
  return r;
}

std::vector<int> ParseRates(const std::string& text) {
  std::vector<int> rates;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ',');) rates.push_back(std::atoi(part.c_str()));
  return rates;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> rates = {1000, 3000, 10000, 30000};
  double seconds = 3;
  long million = 0;
  int pace = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--rates") rates = ParseRates(argv[i + 1]);
    else if (a == "--seconds") seconds = std::atof(argv[i + 1]);
    else if (a == "--million") million = std::atol(argv[i + 1]);
    else if (a == "--pace") pace = std::atoi(argv[i + 1]);
    else if (a == "--plain") plainLines = std::string(argv[i + 1]) == "1";
  }
  signal(SIGPIPE, SIG_IGN);
  // The flood is one user, so chatd's own bound on one user's public traffic is lifted.
  ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {"--public-rate", "0"}, true);
  if (!chatd.ok()) {
    std::fprintf(stderr, "chatd did not start\n");
    return 1;
  }
  std::string number;
  {
    LineClient reader(chatd.chatPort());
    number = reader.Login("reader", "pw");
  }
  const std::string dataDir = std::filesystem::temp_directory_path() / ("flood-client-" + std::to_string(getpid()));
  std::filesystem::create_directories(dataDir);
  std::ofstream(dataDir + "/molvat.ini") << "[Global]\r\nUserName=reader\r\nPassword=pw\r\nUserNum=" << number
                                         << "\r\nPort1=" << chatd.chatPort() << "\r\nChatDir=http://127.0.0.1:"
                                         << chatd.httpPort() << "/cgi-bin/chat/\r\n";
  const pid_t client = StartClient(dataDir);
  Prober prober(chatd.chatPort());
  Peer flooder(chatd.chatPort(), "flooder");
  std::atomic<bool> stopDrain{false};
  std::thread drain([&] { flooder.Drain(stopDrain); });
  int status = 0;
  if (!prober.WaitReady()) {
    std::fprintf(stderr, "the client never confirmed a probe\n");
    status = 1;
  } else {
    double load = 0;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
      if (std::fscanf(f, "%lf", &load) != 1) load = 0;
      std::fclose(f);
    }
    std::printf("load average %.1f on %ld cores\n", load, sysconf(_SC_NPROCESSORS_ONLN));
    // Two quiet seconds: the client's start-up is not counted.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::printf("%10s %10s %12s %12s %12s %12s\n", "offered/s", "shown/s", "probe_med_ms", "probe_max_ms", "cpu_us/msg",
                "chatd_us/msg");
    long sent = 0;
    for (int rate : rates) {
      const RateResult r = Flood(flooder, prober, client, chatd.pid(), &sent, rate, seconds);
      std::printf("%10.0f %10.0f %12.1f %12.1f %12.1f %12.1f\n", r.offered, r.shown, r.probeMedian, r.probeMax,
                  r.cpuPerMessage, r.chatdPerMessage);
      std::fflush(stdout);
    }
    if (million > 0) {
      const long before = chatd_test::StatusKiB("VmRSS", client);
      const long chunk = 1000;
      const auto start = Clock::now();
      for (long done = 0; done < million; done += chunk) {
        flooder.Send(PublicLines(sent + done, chunk));
        // A client that cannot keep up is dropped by chatd once its queue
        // passes chatd's bound; --pace holds the flood to a rate it takes.
        if (pace > 0)
          std::this_thread::sleep_until(start + std::chrono::microseconds((done + chunk) * 1000000 / pace));
      }
      std::atomic<bool> stop{true};
      std::vector<double> latencies;
      prober.Run(stop, 100, &latencies);
      const auto end = Clock::now();
      const long after = chatd_test::StatusKiB("VmRSS", client);
      std::printf("%ld public messages in %.1f s (%.0f/s): resident %ld -> %ld KiB, %.0f bytes per message\n", million,
                  Seconds(start, end), double(million) / Seconds(start, end), before, after,
                  double(after - before) * 1024.0 / double(million));
    }
  }
  stopDrain = true;
  drain.join();
  kill(client, SIGTERM);
  waitpid(client, nullptr, 0);
  std::filesystem::remove_all(dataDir);
  return status;
}
