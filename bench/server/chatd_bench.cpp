// How many chat messages per second the built chatd relays over loopback:
// public and private between two clients, and public to fifty clients.
// Every iteration sends a batch and waits until every copy has arrived.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "chatd_process.h"
#include "line_client.h"

namespace {

using chatd_test::ChatdProcess;
using chatd_test::LineClient;

constexpr int kBatch = 100;

ChatdProcess& Server() {
  static ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, /*quiet=*/true);
  return chatd;
}

std::vector<std::unique_ptr<LineClient>> Clients(const std::string& prefix, int count) {
  std::vector<std::unique_ptr<LineClient>> clients;
  for (int i = 0; i < count; ++i) {
    auto c = std::make_unique<LineClient>(Server().chatPort());
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

void BM_PublicBetweenTwo(benchmark::State& state) {
  auto clients = Clients("pub2_", 2);
  int mid = 1;
  for (auto _ : state) {
    clients[0]->Send(Batch("", &mid));
    if (!Expect(*clients[1], "benchmark message", kBatch) || !Expect(*clients[0], "Status=Ok", kBatch)) {
      state.SkipWithError("lines missing");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_PublicBetweenTwo)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PrivateBetweenTwo(benchmark::State& state) {
  auto clients = Clients("priv2_", 2);
  int mid = 1;
  for (auto _ : state) {
    clients[0]->Send(Batch("priv2_1", &mid));
    if (!Expect(*clients[1], "benchmark message", kBatch) || !Expect(*clients[0], "Status=Ok", kBatch)) {
      state.SkipWithError("lines missing");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}
BENCHMARK(BM_PrivateBetweenTwo)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PublicToFifty(benchmark::State& state) {
  auto clients = Clients("pub50_", 50);
  int mid = 1;
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
}
BENCHMARK(BM_PublicToFifty)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
