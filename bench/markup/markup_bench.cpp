// Costs of a markup pane at small and huge sizes: appending a line, jumping
// and paging from the bottom to the top, clearing, and memory per line.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QApplication>
#include <memory>
#include <string>

#include "markup/markup_document.h"
#include "markup/markup_parser.h"
#include "markup/pane_text.h"
#include "markup/ui/qt_canvas.h"
#include "markup/ui/markup_view.h"
#include "text/cp1251.h"

using markup::MarkupView;

namespace {

// A public-room line as the dispatcher writes it.
std::string ChatLine(long i) {
  static const std::string name = text::W("Вася");
  static const std::string words = text::W(" Привет всем, как дела? Смотрите www.example.com/page");
  return "<fcol=000000><bcol=FFFFFF>" + std::to_string(1000 + i % 9000) + " - 12:" +
         std::to_string(10 + i % 50) + ":" + std::to_string(10 + i % 49) + " <link=\"" + name +
         "\"::" + name + "> <fcol=800000><bcol=FFFFFF>" + words + " " + std::to_string(i);
}

void Fill(MarkupView& view, long lines) {
  view.BeginUpdate();
  for (long i = 0; i < lines; ++i) view.NewString(ChatLine(i), 0, 0xFFFFFF);
  view.EndUpdate(true);
}

std::unique_ptr<MarkupView> MakeView() {
  auto view = std::make_unique<MarkupView>();
  view->resize(640, 480);
  view->show();
  QApplication::processEvents();
  return view;
}

// Reading one such line into its pieces, as its layout does.
void BM_ParseChatLine(benchmark::State& state) {
  const std::string line = ChatLine(4242);
  for (auto _ : state) benchmark::DoNotOptimize(markup::ParseMarkup(line, nullptr, nullptr, nullptr));
}
BENCHMARK(BM_ParseChatLine);

// Appends to a pane of state.range(0) lines; the small pane is refilled
// every 100 appends so it stays small.
void BM_AppendLineToView(benchmark::State& state) {
  const long base = state.range(0);
  auto view = MakeView();
  Fill(*view, base);
  long appended = 0;
  for (auto _ : state) {
    view->NewString(ChatLine(appended), 0, 0xFFFFFF);
    if (++appended % 100 == 0 && base < 1000) {
      state.PauseTiming();
      view->Clear();
      Fill(*view, base);
      state.ResumeTiming();
    }
  }
  state.counters["lines"] = static_cast<double>(view->Document().LineCount());
}
BENCHMARK(BM_AppendLineToView)->Arg(100)->Arg(1000000)->Iterations(3000)->Unit(benchmark::kMicrosecond);

// The same without a widget: layout only.
void BM_AppendLineToDocument(benchmark::State& state) {
  const long base = state.range(0);
  markup::QtTextMeasurer measurer(QApplication::font());
  markup::MarkupDocument doc(measurer);
  doc.SetViewSize(640, 480);
  auto fill = [&] {
    doc.BeginUpdate();
    for (long i = 0; i < base; ++i) doc.NewString(ChatLine(i), 0, 0xFFFFFF);
    doc.EndUpdate(true);
  };
  fill();
  long appended = 0;
  for (auto _ : state) {
    doc.NewString(ChatLine(appended), 0, 0xFFFFFF);
    if (++appended % 100 == 0 && base < 1000) {
      state.PauseTiming();
      doc.Clear();
      fill();
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_AppendLineToDocument)->Arg(100)->Arg(1000000)->Iterations(3000)->Unit(benchmark::kMicrosecond);

// One jump from the end to the top and back, painting each time.
void BM_JumpBottomToTop(benchmark::State& state) {
  auto view = MakeView();
  Fill(*view, state.range(0));
  for (auto _ : state) {
    view->Document().SetVertScrollPos(0);
    view->Document().SetVertScrollPos(view->VertScrollRange());
  }
}
BENCHMARK(BM_JumpBottomToTop)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// Page by page from the end to the top of the whole pane, painting every
// page; with range(1) the lines are laid out before (as after a first pass),
// without it every line is laid out as its page first shows.
void BM_PageBottomToTop(benchmark::State& state) {
  auto view = MakeView();
  Fill(*view, state.range(0));
  if (state.range(1)) view->Document().LayOutAll();
  long pages = 0;
  for (auto _ : state) {
    view->Document().SetVertScrollPos(view->VertScrollRange());
    while (view->VertScrollPos() > 0) {
      view->Document().Scroll(markup::MarkupDocument::ScrollCode::PageUp);
      ++pages;
    }
  }
  state.counters["pages"] = static_cast<double>(pages);
}
BENCHMARK(BM_PageBottomToTop)->Args({1000000, 1})->Args({1000000, 0})->Iterations(1)->Unit(benchmark::kMillisecond);

// Filling a pane in one update: the lines are laid out as they show.
void BM_FillInOneUpdate(benchmark::State& state) {
  auto view = MakeView();
  for (auto _ : state) {
    Fill(*view, state.range(0));
    state.PauseTiming();
    view->Clear();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FillInOneUpdate)->Arg(100000)->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_Clear(benchmark::State& state) {
  auto view = MakeView();
  for (auto _ : state) {
    state.PauseTiming();
    Fill(*view, state.range(0));
    state.ResumeTiming();
    view->Clear();
  }
}
BENCHMARK(BM_Clear)->Arg(1000000)->Iterations(2)->Unit(benchmark::kMillisecond);

// Heap bytes a laid-out line costs beyond its markup text.
void BM_BytesPerLine(benchmark::State& state) {
  const long lines = state.range(0);
  for (auto _ : state) {
    markup::QtTextMeasurer measurer(QApplication::font());
    const size_t before = mallinfo2().uordblks;
    auto doc = std::make_unique<markup::MarkupDocument>(measurer);
    doc->SetViewSize(640, 480);
    doc->BeginUpdate();
    for (long i = 0; i < lines; ++i) doc->NewString(ChatLine(i), 0, 0xFFFFFF);
    doc->EndUpdate(true);
    const size_t after = mallinfo2().uordblks;
    size_t text = 0;
    for (const auto& line : doc->lines()) text += line->source.size();
    state.counters["bytes_per_line"] = (static_cast<double>(after - before) - text) / lines;
    state.counters["text_per_line"] = static_cast<double>(text) / lines;
  }
}
BENCHMARK(BM_BytesPerLine)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

// Find from the top of a pane of state.range(0) lines whose only match is in
// the last line: the whole pane is read once, the finding line parsed.
void BM_FindLastMatch(benchmark::State& state) {
  auto view = MakeView();
  Fill(*view, state.range(0) - 1);
  view->NewString(ChatLine(0) + " needle-" + text::W("Ёж"), 0, 0xFFFFFF);
  const std::string needle = text::W("NEEDLE-ёЖ");
  for (auto _ : state) {
    const auto match = markup::FindInDocument(view->Document(), needle, {0, 0}, true);
    if (!match || match->at.line != view->Document().LineCount() - 1) state.SkipWithError("no match in the last line");
    benchmark::DoNotOptimize(match);
  }
}
BENCHMARK(BM_FindLastMatch)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The same through the view, as the find bar does it: the match found,
// scrolled into view and the marks painted.
void BM_FindNextInView(benchmark::State& state) {
  auto view = MakeView();
  Fill(*view, state.range(0) - 1);
  view->NewString(ChatLine(0) + " needle", 0, 0xFFFFFF);
  view->SetFindText("needle");
  for (auto _ : state) {
    view->Document().SetVertScrollPos(0);
    if (!view->FindNext(true)) state.SkipWithError("not found");
    view->repaint();
  }
}
BENCHMARK(BM_FindNextInView)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
