// Perft of checkers to depth 8 and reversi to depth 9 from the initial
// position, through the rules the game window plays with.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "games/checkers_rules.h"
#include "games/reversi_rules.h"

// Every allocation of the program is counted, so the benchmark shows that
// the tree walk allocates nothing per node.
namespace {
std::atomic<uint64_t> allocations{0};
}  // namespace

// GCC takes the replaced pair for a mismatch of malloc and delete.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

template <class Rules>
void PerftFromStart(benchmark::State& state) {
  Rules rules;
  const int depth = static_cast<int>(state.range(0));
  uint64_t nodes = 0;
  const uint64_t before = allocations.load();
  for (auto _ : state) {
    nodes = rules.Perft(depth);
    benchmark::DoNotOptimize(nodes);
  }
  state.counters["allocs/walk"] =
      static_cast<double>(allocations.load() - before) / static_cast<double>(state.iterations());
  state.counters["nodes"] = static_cast<double>(nodes);
  state.counters["nodes/s"] =
      benchmark::Counter(static_cast<double>(nodes), benchmark::Counter::kIsIterationInvariantRate);
  if (rules.Kind() == games::GameKind::Reversi && depth == 9 && nodes != 3005288)
    state.SkipWithError("wrong node count");
}

}  // namespace

BENCHMARK_TEMPLATE(PerftFromStart, games::CheckersRules)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(PerftFromStart, games::ReversiRules)->Arg(9)->Unit(benchmark::kMillisecond);
