// Public messages dispatched into the common pane, from an empty pane and
// from a pane that already holds 100 000 lines: the per-message cost must
// not grow with the pane (the duplicate test does not scan it).  Then what a
// hostile server can send within its 16 MiB line: a 15 MiB first word, a
// 15 MiB sender name, an online list of 400 000 entries; resident memory
// after each is reported as rss_mb, the process's peak as peak_mb.
#include <benchmark/benchmark.h>

#include <QFont>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <fstream>
#include <memory>
#include <sstream>

#include "markup/markup_document.h"
#include "markup/ui/qt_canvas.h"
#include "settings/settings.h"
#include "process_memory.h"
#include "chat/chat_controller.h"

namespace {

class NoEffects : public window::ChatEnvironment {
 public:
  void SendLine(const std::string&) override {}
  bool SocketOpen() override { return true; }
  void Trace(const std::string&) override {}
  void Beep() override {}
  void PlayWave(const std::string&) override {}
  void BringToFront() override {}
  bool NoSound() override { return true; }
  void Refused() override {}
};

std::string PublicLine(long n) {
  return "x\xA6Mess=" + std::to_string(n) + " <b>bob:</b> hello there, a typical line of chat number " +
         std::to_string(n) + " :);Public=1;FrName=bob;Line=" + std::to_string(n) + ";Mid=" + std::to_string(n) +
         ";CText=#000080;CBacg=#ffffff;\xA6";
}

struct Pane {
  Pane() : measurer(QFont("DejaVu Sans", 11)) {
    dir = std::make_unique<QTemporaryDir>();
    settings.Load(dir->path().toStdString() + "/");
    settings.UserName = "me";
    for (auto* d : {&comm, &priv, &users, &towhom, &prev}) d->SetViewSize(800, 600);
    chat = std::make_unique<window::ChatController>(settings, window::ChatPanes{comm, priv, users, towhom, prev},
                                                    effects);
  }
  std::unique_ptr<QTemporaryDir> dir;
  settings::Settings settings;
  markup::QtTextMeasurer measurer;
  markup::MarkupDocument comm{measurer}, priv{measurer}, users{measurer}, towhom{measurer}, prev{measurer};
  NoEffects effects;
  std::unique_ptr<window::ChatController> chat;
};

void BM_DispatchPublic(benchmark::State& state) {
  Pane pane;
  long n = 0;
  for (; n < state.range(0); ++n) pane.chat->Dispatch(PublicLine(n));
  for (auto _ : state) pane.chat->Dispatch(PublicLine(n++));
  state.SetItemsProcessed(state.iterations());
  state.counters["lines_before"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_DispatchPublic)->Arg(0)->Arg(100000)->Unit(benchmark::kMicrosecond)->Iterations(20000);


constexpr size_t kHostileBytes = 15 * 1024 * 1024;

void RunHostile(benchmark::State& state, const std::string& line, bool onlineList) {
  for (auto _ : state) {
    state.PauseTiming();
    auto pane = std::make_unique<Pane>();
    state.ResumeTiming();
    if (onlineList)
      pane->chat->ShowOnlineList(line);
    else
      pane->chat->Dispatch(line);
    state.PauseTiming();
    state.counters["rss_mb"] = chatd_test::StatusKiB("VmRSS") / 1024.0;
    state.counters["peak_mb"] = chatd_test::StatusKiB("VmHWM") / 1024.0;
    pane.reset();
    state.ResumeTiming();
  }
}

void BM_HostileFirstWord(benchmark::State& state) {
  RunHostile(state, "x\xA6Mess=" + std::string(kHostileBytes, 'w') + " hi;Public=1;FrName=bob;Line=1;\xA6", false);
}
BENCHMARK(BM_HostileFirstWord)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_HostileSenderName(benchmark::State& state) {
  RunHostile(state, "x\xA6Mess=12:00:00 hi;Public=1;FrName=" + std::string(kHostileBytes, 'n') + ";Line=1;\xA6", false);
}
BENCHMARK(BM_HostileSenderName)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_HugeOnlineList(benchmark::State& state) {
  std::string body;
  for (int i = 0; i < 400000; ++i) body += "User=user" + std::to_string(i) + ",Ver=2.8,Sex=m,Sound=1;";
  RunHostile(state, body, true);
}
BENCHMARK(BM_HugeOnlineList)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
