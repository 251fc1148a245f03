// perft chess from the initial position with the rules of the game window.
#include <benchmark/benchmark.h>

#include "games/chess_rules.h"

namespace {

void BM_ChessPerft(benchmark::State& state) {
  games::chess::ChessRules rules;
  const int depth = static_cast<int>(state.range(0));
  uint64_t nodes = 0;
  for (auto _ : state) {
    nodes = rules.Perft(depth);
    benchmark::DoNotOptimize(nodes);
  }
  state.counters["nodes"] = static_cast<double>(nodes);
  state.counters["nodes/s"] =
      benchmark::Counter(static_cast<double>(nodes), benchmark::Counter::kIsIterationInvariantRate);
  if (depth == 5 && nodes != 4865609) state.SkipWithError("wrong node count");
}
BENCHMARK(BM_ChessPerft)->Arg(4)->Arg(5)->Unit(benchmark::kMillisecond);

}  // namespace
