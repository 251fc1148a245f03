// Latency of one audio buffer (1024 bytes of ADPCM, a quarter second) from
// the sender's hand-over to the receiver's packet handler over loopback:
// through the built chatd as an escaped "f" line, and over a direct link
// between two loopback addresses.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <unistd.h>

#include <memory>
#include <random>
#include <string>

#include "chatd_process.h"
#include "line_client.h"
#include "link/link_frame.h"
#include "link/link_host.h"
#include "link/link_manager.h"
#include "wire/wire.h"
#include "text/binary_escape.h"

namespace {

std::string Block() {
  std::string b(1024, '\0');
  std::mt19937 random(7);
  for (char& c : b) c = char(random());
  return b;
}

void BM_AudioBufferThroughChatd(benchmark::State& state) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  chatd_test::LineClient alice(chatd.chatPort()), bob(chatd.chatPort());
  if (!chatd.ok() || alice.Login("alice", "pw").empty() || bob.Login("bob", "pw").empty()) {
    state.SkipWithError("chatd did not start");
    return;
  }
  bob.Sync();
  const std::string block = Block();
  for (auto _ : state) {
    alice.Send(wire::BuildPositionalLine('f', {"bob", text::EscapeBinary(block, '0')}));
    std::optional<std::string> line = bob.ReadUntil([](const std::string& l) { return l.rfind("f|", 0) == 0; });
    if (!line) {
      state.SkipWithError("no relay");
      return;
    }
    const size_t bar = line->find('|', 2);
    benchmark::DoNotOptimize(text::UnescapeBinary(std::string_view(*line).substr(bar + 1), 1024));
  }
  state.SetLabel("1024-byte buffer, escaped");
}
BENCHMARK(BM_AudioBufferThroughChatd)->Unit(benchmark::kMicrosecond)->UseRealTime();

struct Peer : direct::LinkHost {
  std::string name;
  Peer* other = nullptr;
  std::unique_ptr<direct::LinkManager> links;
  std::string address;
  size_t received = 0;
  std::string UserName() const override { return name; }
  bool ServerOpen() const override { return true; }
  // The server's part: the address answer and the notice, at once.
  void SendLine(const std::string& line) override {
    if (line[0] == 'p') links->OnAddressReply("p|" + other->name + "|" + other->address + "|");
    if (line[0] == 'm') other->links->OnConnectNotice(name);
  }
  std::string NextMessageNumber() override { return "1"; }
  void Trace(const std::string&) override {}
  void HandlePacket(const std::string&) override { ++received; }
  void PaneChanged() override {}
  int64_t NowMs() const override { return 0; }
};

void BM_AudioBufferOverDirectLink(benchmark::State& state) {
  Peer alice, bob;
  const std::string net = "127." + std::to_string(1 + getpid() % 250) + ".77.";
  alice.name = "alice", bob.name = "bob";
  alice.address = net + "2", bob.address = net + "3";
  alice.other = &bob, bob.other = &alice;
  for (Peer* p : {&alice, &bob}) {
    direct::LinkOptions options;
    options.localAddress = p->address;
    p->links = std::make_unique<direct::LinkManager>(*p, options);
    p->links->Listen();
  }
  const std::string payload = direct::DirectPayload("alice", "0" + Block());
  auto deliver = [&](size_t want) {
    QElapsedTimer t;
    t.start();
    while (bob.received < want && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    return bob.received >= want;
  };
  alice.links->SendDirect("bob", payload);  // the link is made outside the measure
  if (!deliver(1)) {
    state.SkipWithError("no link");
    return;
  }
  for (auto _ : state) {
    alice.links->SendDirect("bob", payload);
    if (!deliver(bob.received + 1)) {
      state.SkipWithError("lost");
      return;
    }
  }
  state.SetLabel("1024-byte buffer, raw frame");
}
BENCHMARK(BM_AudioBufferOverDirectLink)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
