// The private archive viewer window over a 200 MB private.arc, view
// included: Ctrl+PgUp and Ctrl+PgDown at ArcView 60 and 500, each step ending when the pane has painted; and the filter
// that matches nothing, which scans the whole file (MB/s).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive/archive_pages.h"
#include "archive/ui/archive_viewer.h"
#include "markup/ui/markup_view.h"
#include "text/cp1251.h"

namespace {

constexpr int64_t kArchiveBytes = 200LL * 1024 * 1024;

// A 200 MB archive of realistic lines, written once per run.
const std::string& ProgramDir() {
  static const std::string dir = [] {
    std::string d = (std::filesystem::temp_directory_path() / "archive-window-bench-XXXXXX").string();
    if (!::mkdtemp(d.data())) std::abort();
    std::ofstream out(d + "/private.arc", std::ios::binary);
    const std::string received = text::W("¦#ffffff¦#000000¦12:30:15 <b>Собеседник:</b> ");
    const std::string sent = text::W("¦#ffffff¦#000000¦<id=17><pict=-17>(Послано-->Собеседник): 12:31:05 ");
    int64_t written = 0;
    for (int n = 0; written < kArchiveBytes; ++n) {
      std::string line = text::W("09.12.26 07.05.03 (Ср)") + (n % 3 ? received : sent) +
                         text::W("Сообщение номер ") + std::to_string(n) + " message " +
                         std::string(20 + (n * 37) % 180, 'w') + "\n";
      out << line;
      written += static_cast<int64_t>(line.size());
    }
    std::atexit([] { std::filesystem::remove_all(ProgramDir()); });
    return d + "/";
  }();
  return dir;
}

struct Host : media::ArchiveViewerHost {
  void LinkAction(const std::string&) override {}
  void PrivateLink(const std::string&) override {}
  void InsertIntoMessageLine(const std::string&) override {}
  void CountTraffic(int64_t) override {}
  void DownloadActivity() override {}
  std::string CodesToMarkup(const std::string& t) override { return t; }
};

struct NoDownloads : media::TextDownloader {
  std::unique_ptr<media::TextDownload> Start(const std::string&, bool, media::TextDownloadReceiver&) override {
    return nullptr;
  }
};

void Key(QWidget* to, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
  QApplication::sendEvent(to, &press);
}

// Ctrl+PgUp and Ctrl+PgDown in turn, near the end of the file; each step is
// the key, the pane's new lines and their painting.
void BM_WindowPageStep(benchmark::State& state) {
  Host host;
  NoDownloads downloads;
  media::ArchiveViewerContext context;
  context.settings.programDir = ProgramDir();
  context.settings.arcViewKb = static_cast<int>(state.range(0));
  media::ArchiveViewer* viewer = media::ArchiveViewer::Open(0, context, host, downloads);
  QApplication::processEvents();  // the first page
  QWidget* pane = viewer->Pane();
  pane->setFocus();
  // One page up, so both keys have a page to go to; a step costs the same
  // anywhere in the file.
  Key(pane, Qt::Key_PageUp);
  QApplication::processEvents();
  int64_t steps = 0;
  for (auto _ : state) {
    Key(pane, steps % 2 ? Qt::Key_PageDown : Qt::Key_PageUp);
    QApplication::processEvents();
    pane->repaint();
    ++steps;
  }
  state.counters["lines"] = benchmark::Counter(double(viewer->Model().Pages()->Lines().size()));
  media::ArchiveViewer::CloseAll();
}
BENCHMARK(BM_WindowPageStep)->Arg(60)->Arg(500)->Unit(benchmark::kMillisecond);

// A filter that matches no line: the whole file is read and compared.
void BM_FilterScanWholeFile(benchmark::State& state) {
  media::ArchivePages pages(ProgramDir() + "private.arc", media::ArchivePages::PageBytesOf(60),
                            [](std::string_view l) { return media::ViewLine{std::string(l)}; });
  int64_t bytes = 0;
  for (auto _ : state) {
    pages.SetFilter("");
    pages.ShowLast();
    const uint64_t before = pages.BytesRead();
    pages.SetFilter(text::W("нет такого"));
    bytes += static_cast<int64_t>(pages.BytesRead() - before);
    if (pages.Lines().size() != 2) state.SkipWithError("a line matched");
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_FilterScanWholeFile)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
