// The private archive viewer over a 100 MB private.arc: the last page as
// the viewer opens it, paging up from the end to the start, paging at the
// start, and a filtered page.  Counters give the bytes read per step and
// the bytes the shown page holds, which stay about one page whatever the
// file's size.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive/archive_format.h"
#include "archive/archive_pages.h"
#include "text/cp1251.h"

namespace {

constexpr int64_t kArchiveBytes = 100LL * 1024 * 1024;
constexpr int kArcViewKb = 60;

// A 100 MB archive of realistic lines, written once per run.
const std::string& ArchivePath() {
  static const std::string path = [] {
    std::string dir = (std::filesystem::temp_directory_path() / "archive-bench-XXXXXX").string();
    if (!::mkdtemp(dir.data())) std::abort();
    const std::string file = dir + "/private.arc";
    std::ofstream out(file, std::ios::binary);
    const std::string received = text::W("¦#ffffff¦#000000¦12:30:15 <b>Собеседник:</b> ");
    const std::string sent = text::W("¦#ffffff¦#000000¦<id=17><pict=-17>(Послано-->Собеседник): 12:31:05 ");
    int64_t written = 0;
    for (int n = 0; written < kArchiveBytes; ++n) {
      std::string line = text::W("09.12.26 07.05.03 (Ср)") + (n % 3 ? received : sent) + "message " +
                         std::to_string(n) + " " + std::string(20 + (n * 37) % 180, 'w') +
                         (n % 50 ? "" : " needle") + "\n";
      out << line;
      written += static_cast<int64_t>(line.size());
    }
    std::atexit([] { std::filesystem::remove_all(std::filesystem::path(ArchivePath()).parent_path()); });
    return file;
  }();
  return path;
}

media::ArchivePages MakePages() {
  return media::ArchivePages(ArchivePath(), media::ArchivePages::PageBytesOf(kArcViewKb), [](std::string_view l) {
    return media::FormatPrivateArchiveLine(l, [](const std::string& t) { return t; });
  });
}

int64_t ShownBytes(const media::ArchivePages& pages) {
  int64_t bytes = 0;
  for (const auto& l : pages.Lines()) bytes += static_cast<int64_t>(l.markup.size());
  return bytes;
}

void Report(benchmark::State& state, const media::ArchivePages& pages, uint64_t bytesRead, int64_t steps) {
  state.counters["bytes_read_per_step"] =
      benchmark::Counter(static_cast<double>(bytesRead) / static_cast<double>(std::max<int64_t>(steps, 1)));
  state.counters["shown_bytes"] = benchmark::Counter(static_cast<double>(ShownBytes(pages)));
  state.counters["pages"] = benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
}

// Opening the viewer: the last page of the file.
void BM_LastPage(benchmark::State& state) {
  auto pages = MakePages();
  int64_t steps = 0;
  for (auto _ : state) {
    pages.ShowLast();
    benchmark::DoNotOptimize(pages.Lines().data());
    ++steps;
  }
  Report(state, pages, pages.BytesRead(), steps);
}
BENCHMARK(BM_LastPage)->Unit(benchmark::kMicrosecond);

// Ctrl+PgUp from the end of the file until its start.
void BM_PageUpEndToStart(benchmark::State& state) {
  auto pages = MakePages();
  int64_t steps = 0;
  uint64_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    pages.ShowLast();
    const uint64_t before = pages.BytesRead();
    state.ResumeTiming();
    while (pages.PageUp()) ++steps;
    bytes += pages.BytesRead() - before;
  }
  Report(state, pages, bytes, steps);
}
BENCHMARK(BM_PageUpEndToStart)->Unit(benchmark::kMillisecond)->Iterations(3);

// Paging at the start of the file: down to the second page and up again.
void BM_PageAtStart(benchmark::State& state) {
  auto pages = MakePages();
  pages.SetFilter("");
  pages.ShowLast();
  while (pages.PageUp()) {
  }
  const uint64_t before = pages.BytesRead();
  int64_t steps = 0;
  for (auto _ : state) {
    if (!(steps % 2 ? pages.PageUp() : pages.PageDown())) state.SkipWithError("no page to go to");
    ++steps;
  }
  Report(state, pages, pages.BytesRead() - before, steps);
}
BENCHMARK(BM_PageAtStart)->Unit(benchmark::kMicrosecond);

// A filtered page at the end: one line in fifty matches, so a page of
// matching lines takes about fifty pages of the file.
void BM_FilteredLastPage(benchmark::State& state) {
  auto pages = MakePages();
  int64_t steps = 0;
  pages.SetFilter("needle");
  const uint64_t before = pages.BytesRead();
  for (auto _ : state) {
    pages.ShowLast();
    ++steps;
  }
  Report(state, pages, pages.BytesRead() - before, steps);
}
BENCHMARK(BM_FilteredLastPage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
