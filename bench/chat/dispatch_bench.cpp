// Public messages dispatched into the common pane, from an empty pane and
// from a pane that already holds 100 000 lines: the per-message cost must
// not grow with the pane (the duplicate test does not scan it).  Then what a
// hostile server can send within its 16 MiB line: a 15 MiB first word, a
// 15 MiB sender name, an online list of 400 000 entries; resident memory
// after each is reported as rss_mb, the process's peak as peak_mb.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <fstream>
#include <memory>
#include <sstream>

#include "markup/markup_document.h"
#include "markup/ui/qt_canvas.h"
#include "settings/settings.h"
#include "process_memory.h"
#include "chat/chat_controller.h"
#include "chat/document_pane.h"
#include "session/connection.h"

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


// The same messages through the connection: bytes from a real socket, read
// in the socket's handler and dispatched from the event loop.
class ConnectionBench : public session::ConnectionHost {
 public:
  explicit ConnectionBench(Pane& pane) : pane_(pane), commPane_(pane.comm) {}
  session::ChatPane& CommPane() override { return commPane_; }
  std::string ServerHost() override { return "127.0.0.1"; }
  uint16_t ServerPort() override { return port; }
  std::string UserName() override { return "me"; }
  bool IdentityComplete() override { return true; }
  bool AskForIdentity(bool) override { return true; }
  std::string LoginLine() override { return "l\xA6Num=1;Name=me;\xA6\n"; }
  void DispatchLine(const std::string& line) override {
    pane_.chat->Dispatch(line);
    ++dispatched;
  }
  void OnlineChanged(bool) override {}
  void MenuStateChanged(bool) override {}
  uint16_t port = 0;
  long dispatched = 0;

 private:
  Pane& pane_;
  window::DocumentPane commPane_;
};

void BM_ConnectionDispatchPublic(benchmark::State& state) {
  Pane pane;
  long n = 0;
  for (; n < state.range(0); ++n) pane.chat->Dispatch(PublicLine(n));
  QTcpServer server;
  server.listen(QHostAddress::LocalHost, 0);
  ConnectionBench host(pane);
  host.port = server.serverPort();
  session::ServerConnection connection(host);
  connection.Connect(session::ServerConnection::Initiator::User);
  while (!server.hasPendingConnections()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  QTcpSocket* peer = server.nextPendingConnection();
  while (!connection.Connected()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  constexpr int kBatch = 1000;
  for (auto _ : state) {
    std::string batch;
    for (int i = 0; i < kBatch; ++i) batch += PublicLine(n++) + "\n";
    const long target = host.dispatched + kBatch;
    peer->write(batch.data(), qint64(batch.size()));
    // Blocks while nothing is there: the CPU column is what the dispatch costs,
    // the time column includes the connection gathering a busy room's reads.
    while (host.dispatched < target) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  state.counters["lines_before"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_ConnectionDispatchPublic)->Arg(0)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(20);

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
