// Perft of checkers to depth 8 and reversi to depth 9 from the initial
// position, through the rules the game window plays with.
#include <benchmark/benchmark.h>

#include "games/checkers_rules.h"
#include "games/reversi_rules.h"

namespace {

template <class Rules>
void PerftFromStart(benchmark::State& state) {
  Rules rules;
  const int depth = static_cast<int>(state.range(0));
  uint64_t nodes = 0;
  for (auto _ : state) {
    nodes = rules.Perft(depth);
    benchmark::DoNotOptimize(nodes);
  }
  state.counters["nodes"] = static_cast<double>(nodes);
  state.counters["nodes/s"] =
      benchmark::Counter(static_cast<double>(nodes), benchmark::Counter::kIsIterationInvariantRate);
  if (rules.Kind() == games::GameKind::Reversi && depth == 9 && nodes != 3005288)
    state.SkipWithError("wrong node count");
}

}  // namespace

BENCHMARK_TEMPLATE(PerftFromStart, games::CheckersRules)->Arg(8)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(PerftFromStart, games::ReversiRules)->Arg(9)->Unit(benchmark::kMillisecond);
