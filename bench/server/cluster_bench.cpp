// What serving one room from three nodes through NATS costs against one
// node: the latency of a public line from its sender to a reader, and of
// a private message's round trip (message to the addressee, his arrival
// confirmation back), median and 99th percentile, with the chatd CPU time
// (all nodes together) per delivered line.
//
// One node: the built chatd with its SQLite store.  Three nodes:
// scripts/cluster.sh (private PostgreSQL, nats-server, three chatd), the
// sender on node 1 and the reader on node 2, so every line crosses the bus.
// Ten more users sit on the nodes and get every public line as well.
#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "chatd_process.h"
#include "line_client.h"
#include "process_memory.h"

namespace {

using chatd_test::ChatdProcess;
using chatd_test::LineClient;
using Clock = std::chrono::steady_clock;

// The room under test: its nodes' chat ports and process ids.
struct Room {
  std::vector<int> ports;
  std::vector<pid_t> pids;
  double Cpu() const {
    double sum = 0;
    for (pid_t p : pids) sum += 1e6 * chatd_test::CpuSeconds(p);
    return sum;
  }
};

class Single {
 public:
  Single()
      : chatd_(CHAT_BINARY_DIR "/bin/chatd", {"--public-rate", "0", "--registrations-per-hour", "0"}, true) {
    room_.ports = {chatd_.chatPort(), chatd_.chatPort(), chatd_.chatPort()};
    room_.pids = {chatd_.pid()};
  }
  const Room& room() const { return room_; }

 private:
  ChatdProcess chatd_;
  Room room_;
};

class Cluster {
 public:
  Cluster() {
    char pattern[] = "/tmp/chatd-cluster-bench.XXXXXX";
    if (!mkdtemp(pattern)) return;
    dir_ = pattern;
    const std::string command = std::string("CLUSTER_BOT= CHATD=" CHAT_BINARY_DIR "/bin/chatd ") + script_ + " start " +
                                dir_ + " --public-rate 0 --registrations-per-hour 0 --quiet >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return;
    std::ifstream env(dir_ + "/cluster.env");
    std::map<std::string, std::string> values;
    for (std::string line; std::getline(env, line);) {
      const size_t eq = line.find('=');
      if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    for (int n = 1; n <= 3; ++n) {
      room_.ports.push_back(std::atoi(values["NODE" + std::to_string(n) + "_PORT"].c_str()));
      room_.pids.push_back(std::atoi(values["NODE" + std::to_string(n) + "_PID"].c_str()));
    }
  }
  ~Cluster() {
    if (dir_.empty()) return;
    [[maybe_unused]] int rc = std::system((script_ + " stop " + dir_ + " >/dev/null 2>&1").c_str());
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  const Room& room() const { return room_; }

 private:
  const std::string script_ = CHAT_SOURCE_DIR "/scripts/cluster.sh";
  std::string dir_;
  Room room_;
};

// Sender at the first port, reader at the second, ten watchers spread
// over all of them; waits until the reader sees all twelve online.
struct Users {
  std::unique_ptr<LineClient> sender, reader;
  std::vector<std::unique_ptr<LineClient>> watchers;
};

bool Join(const Room& room, const std::string& prefix, Users* u) {
  u->sender = std::make_unique<LineClient>(room.ports[0]);
  if (u->sender->Login(prefix + "s", "pw").empty()) return false;
  u->reader = std::make_unique<LineClient>(room.ports[1]);
  if (u->reader->Login(prefix + "r", "pw").empty()) return false;
  for (int i = 0; i < 10; ++i) {
    auto w = std::make_unique<LineClient>(room.ports[static_cast<size_t>(i) % room.ports.size()]);
    if (w->Login(prefix + "w" + std::to_string(i), "pw").empty()) return false;
    u->watchers.push_back(std::move(w));
  }
  // The online list at the reader names all twelve (presence crossed over).
  auto full = u->reader->ReadUntil([&](const std::string& l) {
    return l.find("User=" + prefix + "w9,") != std::string::npos && l.find("User=" + prefix + "s,") != std::string::npos;
  });
  if (!full) return false;
  u->sender->Sync();
  for (auto& w : u->watchers) w->Sync();
  return true;
}

void Report(benchmark::State& state, std::vector<double>& us, double cpu, double deliveries) {
  if (us.empty()) return;
  std::sort(us.begin(), us.end());
  state.counters["median_us"] = us[us.size() / 2];
  state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
  if (deliveries > 0) state.counters["chatd_us/delivery"] = cpu / deliveries;
}

bool ReadMarked(LineClient& c, const std::string& marker) {
  return static_cast<bool>(c.ReadUntil([&](const std::string& l) { return l.find(marker) != std::string::npos; }));
}

template <typename Setup>
void PublicLatency(benchmark::State& state) {
  static int run = 0;
  Setup setup;
  Users u;
  const std::string prefix = "pub" + std::to_string(run++) + "_";
  if (setup.room().ports.empty() || !Join(setup.room(), prefix, &u)) {
    state.SkipWithError("the room did not start");
    return;
  }
  std::vector<double> us;
  int mid = 1;
  const double cpu = setup.room().Cpu();
  for (auto _ : state) {
    const std::string marker = "probe" + std::to_string(mid);
    const auto start = Clock::now();
    u.sender->Send("x\xA6Mess=" + marker + ";Mid=" + std::to_string(mid++) + ";\xA6\n");
    if (!ReadMarked(*u.reader, marker)) {
      state.SkipWithError("line missing");
      return;
    }
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    // Everyone else drains theirs, so no queue builds up between probes.
    for (auto& w : u.watchers) ReadMarked(*w, marker);
    ReadMarked(*u.sender, "Status=Ok");
  }
  Report(state, us, setup.room().Cpu() - cpu, static_cast<double>(state.iterations()) * 12);
}

template <typename Setup>
void PrivateRoundTrip(benchmark::State& state) {
  static int run = 0;
  Setup setup;
  Users u;
  const std::string prefix = "prv" + std::to_string(run++) + "_";
  if (setup.room().ports.empty() || !Join(setup.room(), prefix, &u)) {
    state.SkipWithError("the room did not start");
    return;
  }
  std::vector<double> us;
  int mid = 1;
  const double cpu = setup.room().Cpu();
  for (auto _ : state) {
    const std::string number = std::to_string(mid++);
    const auto start = Clock::now();
    u.sender->Send("x\xA6" "Cln=" + prefix + "r;Mess=probe" + number + ";Mid=" + number + ";\xA6\n");
    if (!ReadMarked(*u.reader, "probe" + number)) {
      state.SkipWithError("message missing");
      return;
    }
    u.reader->Send("x\xA6" "Cln=" + prefix + "s;Podtv=1;Mid=" + number + ";Time=0;\xA6\n");
    if (!ReadMarked(*u.sender, "Podtv=1;Mid=" + number + ";")) {
      state.SkipWithError("confirmation missing");
      return;
    }
    us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
  }
  // Two lines delivered per round: the message and its confirmation.
  Report(state, us, setup.room().Cpu() - cpu, static_cast<double>(state.iterations()) * 2);
}

}  // namespace

BENCHMARK_TEMPLATE(PublicLatency, Single)->Name("BM_PublicLatency/one_node")->Iterations(2000)->UseRealTime();
BENCHMARK_TEMPLATE(PublicLatency, Cluster)->Name("BM_PublicLatency/three_nodes")->Iterations(2000)->UseRealTime();
BENCHMARK_TEMPLATE(PrivateRoundTrip, Single)->Name("BM_PrivateRoundTrip/one_node")->Iterations(2000)->UseRealTime();
BENCHMARK_TEMPLATE(PrivateRoundTrip, Cluster)
    ->Name("BM_PrivateRoundTrip/three_nodes")
    ->Iterations(2000)
    ->UseRealTime();

BENCHMARK_MAIN();
