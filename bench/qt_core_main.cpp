// The main of benchmarks whose sockets and queued deliveries need a Qt
// application object but no display.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
