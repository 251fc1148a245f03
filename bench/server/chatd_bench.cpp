// How many chat messages per second the built chatd relays over loopback:
// public and private between two clients, public from one client to fifty,
// and public from every client of a room of 50 or 500 at once.  Every
// iteration sends a batch and waits until every copy has arrived.
//
// Besides the wall time it reports the server's own CPU time per message
// (user + system, read from /proc), which is what the relay path costs.
// With CHATD_BASELINE=/path/to/an/older/chatd every benchmark also runs
// against that program, next to the built one, so a change is measured
// against what it replaces in one run on the same machine.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

constexpr int kBatch = 100;

// One chatd program under test, started on first use.
struct Server {
  std::string label, binary;
  std::vector<std::string> options;
  std::unique_ptr<ChatdProcess> process;

  ChatdProcess& Get() {
    if (!process) process = std::make_unique<ChatdProcess>(binary, options, /*quiet=*/true);
    return *process;
  }
};

std::vector<Server>& Servers() {
  static std::vector<Server> servers;
  return servers;
}

std::vector<std::unique_ptr<LineClient>> Clients(ChatdProcess& chatd, const std::string& prefix, int count) {
  std::vector<std::unique_ptr<LineClient>> clients;
  for (int i = 0; i < count; ++i) {
    auto c = std::make_unique<LineClient>(chatd.chatPort());
    c->Login(prefix + std::to_string(i), "pw");
    clients.push_back(std::move(c));
  }
  // Let every online list and greeting drain.
  for (auto& c : clients) c->Sync();
  return clients;
}

// Reads `count` lines whose text contains `marker`.
bool Expect(LineClient& c, const std::string& marker, int count) {
  for (int seen = 0; seen < count;) {
    auto line = c.ReadLine();
    if (!line) return false;
    if (line->find(marker) != std::string::npos) ++seen;
  }
  return true;
}

std::string Batch(const std::string& cln, int* mid) {
  std::string lines;
  for (int i = 0; i < kBatch; ++i) {
    lines += "x\xA6" + (cln.empty() ? std::string() : "Cln=" + cln + ";") +
             "Mess=benchmark message with some ordinary text in it :);Mid=" + std::to_string((*mid)++) + ";\xA6\n";
  }
  return lines;
}

void ReportCpu(benchmark::State& state, pid_t pid, double cpuBefore, double messages) {
  const double used = 1e6 * chatd_test::CpuSeconds(pid) - cpuBefore;
  if (messages > 0) state.counters["chatd_us/msg"] = used / messages;
}

void PublicBetweenTwo(benchmark::State& state, Server* server) {
  ChatdProcess& chatd = server->Get();
  auto clients = Clients(chatd, server->label + "pub2_", 2);
  int mid = 1;
  const double cpu = 1e6 * chatd_test::CpuSeconds(chatd.pid());
  for (auto _ : state) {
    clients[0]->Send(Batch("", &mid));
    if (!Expect(*clients[1], "benchmark message", kBatch) || !Expect(*clients[0], "Status=Ok", kBatch)) {
      state.SkipWithError("lines missing");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  ReportCpu(state, chatd.pid(), cpu, static_cast<double>(state.iterations()) * kBatch);
}

void PrivateBetweenTwo(benchmark::State& state, Server* server) {
  ChatdProcess& chatd = server->Get();
  const std::string prefix = server->label + "priv2_";
  auto clients = Clients(chatd, prefix, 2);
  int mid = 1;
  const double cpu = 1e6 * chatd_test::CpuSeconds(chatd.pid());
  for (auto _ : state) {
    clients[0]->Send(Batch(prefix + "1", &mid));
    if (!Expect(*clients[1], "benchmark message", kBatch) || !Expect(*clients[0], "Status=Ok", kBatch)) {
      state.SkipWithError("lines missing");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  ReportCpu(state, chatd.pid(), cpu, static_cast<double>(state.iterations()) * kBatch);
}

void PublicToFifty(benchmark::State& state, Server* server) {
  ChatdProcess& chatd = server->Get();
  auto clients = Clients(chatd, server->label + "pub50_", 50);
  int mid = 1;
  const double cpu = 1e6 * chatd_test::CpuSeconds(chatd.pid());
  for (auto _ : state) {
    clients[0]->Send(Batch("", &mid));
    for (size_t i = 1; i < clients.size(); ++i) {
      if (!Expect(*clients[i], "benchmark message", kBatch)) {
        state.SkipWithError("lines missing");
        return;
      }
    }
    if (!Expect(*clients[0], "Status=Ok", kBatch)) {
      state.SkipWithError("status missing");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  state.counters["deliveries/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kBatch * 50, benchmark::Counter::kIsRate);
  ReportCpu(state, chatd.pid(), cpu, static_cast<double>(state.iterations()) * kBatch);
}

// Every client of the room sends at once; each then reads every copy.  The
// room's clients come from several loopback addresses, as many users do.
void AllSending(benchmark::State& state, Server* server) {
  ChatdProcess& chatd = server->Get();
  const int count = static_cast<int>(state.range(0));
  const int each = std::max(1, 500 / count);  // about 500 messages per iteration
  std::vector<std::unique_ptr<LineClient>> clients;
  for (int i = 0; i < count; ++i) {
    const std::string source = "127.0." + std::to_string(1 + i / 8) + "." + std::to_string(1 + i % 8);
    auto c = std::make_unique<LineClient>(chatd.chatPort(), source.c_str());
    c->Login(server->label + "all" + std::to_string(count) + "_" + std::to_string(i), "pw");
    clients.push_back(std::move(c));
  }
  for (auto& c : clients) c->Sync();
  int mid = 1;
  const double cpu = 1e6 * chatd_test::CpuSeconds(chatd.pid());
  for (auto _ : state) {
    for (auto& c : clients) {
      std::string lines;
      for (int k = 0; k < each; ++k)
        lines += "x\xA6Mess=benchmark message with some ordinary text in it :);Mid=" + std::to_string(mid++) + ";\xA6\n";
      c->Send(lines);
    }
    // Every copy of every message, and the sender's own statuses.
    for (auto& c : clients) {
      if (!Expect(*c, "benchmark message", count * each + each)) {
        state.SkipWithError("lines missing");
        return;
      }
    }
  }
  const double messages = static_cast<double>(state.iterations()) * count * each;
  state.SetItemsProcessed(static_cast<int64_t>(messages));
  state.counters["deliveries/s"] = benchmark::Counter(messages * count, benchmark::Counter::kIsRate);
  ReportCpu(state, chatd.pid(), cpu, messages);
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* baseline = std::getenv("CHATD_BASELINE"); baseline && *baseline)
    Servers().push_back({"before", baseline, {}, nullptr});
  // The benchmark's senders are meant to outrun any budget a hostile user
  // would have, and its users all come from a few addresses.
  Servers().push_back({"now", CHAT_BINARY_DIR "/bin/chatd",
                       {"--public-rate", "0", "--registrations-per-hour", "0"}, nullptr});
  // Registered kind by kind, so each figure stands next to its baseline.
  using Fn = void (*)(benchmark::State&, Server*);
  const std::pair<const char*, Fn> kinds[] = {
      {"BM_PublicBetweenTwo", PublicBetweenTwo},
      {"BM_PrivateBetweenTwo", PrivateBetweenTwo},
      {"BM_PublicToFifty", PublicToFifty},
  };
  for (const auto& [name, fn] : kinds) {
    for (Server& server : Servers()) {
      benchmark::RegisterBenchmark((std::string(name) + "/" + server.label).c_str(), fn, &server)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
    }
  }
  for (int count : {50, 500}) {
    for (Server& server : Servers()) {
      benchmark::RegisterBenchmark(("BM_AllSending/" + server.label).c_str(), AllSending, &server)
          ->Arg(count)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Servers().clear();
  return 0;
}
