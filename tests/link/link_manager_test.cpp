// Two link managers on their own loopback addresses, talking over real
// sockets; the chat server between them is a few lines that answer the
// address request and pass the notice on.
#include "link/link_manager.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "link/link_host.h"
#include "qt_wait.h"
#include "wire/wire.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "process_memory.h"

namespace {

using direct::LinkManager;
using text::W;

uint16_t TestPort() { return static_cast<uint16_t>(20000 + (getpid() * 7) % 20000); }

struct Peer;

// The chat server: who is where, and which "p" and "m" lines it answers.
struct FakeServer {
  std::map<std::string, Peer*> users;
  std::map<std::string, std::string> addresses;  // what "p" answers; missing: empty
  std::set<std::string> unanswered;              // "p" requests it never answers
  void Line(Peer& from, const std::string& line);
};

struct Peer : direct::LinkHost {
  std::string name;
  FakeServer* server = nullptr;
  std::vector<std::string> sent, traces, packets;
  int paneChanges = 0;
  std::unique_ptr<LinkManager> links;
  int64_t now = 1'000'000;
  int number = 1;

  std::string UserName() const override { return name; }
  bool ServerOpen() const override { return true; }
  void SendLine(const std::string& line) override {
    sent.push_back(line);
    if (server) server->Line(*this, line);
  }
  std::string NextMessageNumber() override { return std::to_string(number++); }
  void Trace(const std::string& text) override { traces.push_back(text); }
  void HandlePacket(const std::string& payload) override {
    packets.push_back(payload);
    if (onPacket) onPacket(payload);
  }
  std::function<void(const std::string&)> onPacket;
  void PaneChanged() override { ++paneChanges; }
  int64_t NowMs() const override { return now; }
};

void FakeServer::Line(Peer& from, const std::string& line) {
  std::string body = line.substr(2, line.size() - 4);  // without "x¦" and "¦\n"
  const std::string name = wire::UnescapeField(wire::TakeField(body));
  if (line[0] == 'p' && !unanswered.count(name)) {
    const std::string address = addresses.count(name) ? addresses[name] : "";
    const std::string answer = "p|" + wire::EscapeField(name) + "|" + address + "|";
    QTimer::singleShot(0, [&from, answer] { from.links->OnAddressReply(answer); });
  } else if (line[0] == 'm' && users.count(name)) {
    Peer* to = users[name];
    const std::string sender = from.name;
    QTimer::singleShot(0, [to, sender] { to->links->OnConnectNotice(sender); });
  }
}

class LinkPair : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto [peer, name, address] : {std::tuple{&alice, std::string("Alice"), "127.0.0.2"}, std::tuple{&bob, W("Вор"), "127.0.0.3"}}) {
      peer->name = name;
      peer->server = &server;
      direct::LinkOptions options;
      options.localAddress = address;
      options.port = TestPort();
      options.connectTimeoutMs = 3000;
      options.handshakeWaitMs = 3000;
      options.addressWaitMs = 1500;
      peer->links = std::make_unique<LinkManager>(*peer, options);
      server.users[name] = peer;
      server.addresses[name] = address;
    }
    ASSERT_TRUE(alice.links->Listen());
    ASSERT_TRUE(bob.links->Listen());
  }

  int StateOf(Peer& p, const std::string& name) {
    const direct::DirectLink* l = p.links->Find(name);
    return l ? l->state : -1;
  }

  FakeServer server;
  Peer alice, bob;
};

TEST_F(LinkPair, PacketsFlowBothWaysOverOneLinkAfterTheHandshake) {
  const std::string bobName = bob.name;
  ASSERT_TRUE(alice.links->SendDirect(bobName, "f|Alice|0first"));
  ASSERT_TRUE(alice.links->SendDirect(bobName, "f|Alice|0second"));
  // One link, one address request, one notice for both packets.
  EXPECT_EQ(alice.links->Links().size(), 1u);
  ASSERT_EQ(alice.sent.size(), 2u);
  EXPECT_EQ(alice.sent[0], wire::PeerAddressLine(bobName));
  EXPECT_EQ(alice.sent[1], wire::DirectLinkNoticeLine(bobName, "1"));
  EXPECT_EQ(StateOf(alice, bobName), direct::kWaitingAddress);

  ASSERT_TRUE(WaitFor([&] { return bob.packets.size() == 2; }));
  EXPECT_EQ(bob.packets[0], "f|Alice|0first");
  EXPECT_EQ(bob.packets[1], "f|Alice|0second");
  EXPECT_EQ(StateOf(alice, bobName), direct::kLinked);
  EXPECT_EQ(StateOf(bob, "Alice"), direct::kLinked);
  EXPECT_FALSE(bob.links->Find("Alice")->outgoing);
  EXPECT_EQ(bob.links->Find("Alice")->peerAddress, "127.0.0.2");

  // Bob answers over the link Alice made: no notice, no new link; all he
  // sent was the question where Alice is, asked when her notice came.
  // His name is folded in the payload; Alice's handler gets it as she knows him.
  ASSERT_TRUE(bob.links->SendDirect("Alice", direct::DirectPayload(bobName, "1")));
  ASSERT_TRUE(WaitFor([&] { return alice.packets.size() == 1; }));
  EXPECT_EQ(alice.packets[0], "f|" + wire::EscapeField(bobName) + "|1");
  EXPECT_EQ(bob.sent, std::vector<std::string>{wire::PeerAddressLine("Alice")});
  EXPECT_EQ(bob.links->Links().size(), 1u);

  // The pane lists the link with its state text, linked in near-black.
  WaitFor([&] { return alice.paneChanges > 0; });
  EXPECT_EQ(alice.links->PaneMarkup(), "<fcol=0x010101><bcol=ffffff><b><a href=\"" + bobName + "\">" + bobName +
                                           "</a></b><br><fcol=000000>" + W("Соединились"));
}

// Packets are handed over from the event loop, not inside the socket's
// signal: a handler that waits in a nested loop (a box, an animation) has
// the frames that arrive meanwhile delivered in the middle of its loop.
TEST_F(LinkPair, FramesArrivingWhileAHandlerWaitsAreDeliveredInTheMiddleOfIt) {
  const std::string bobName = bob.name;
  std::vector<std::string> deliveredInside;
  bob.onPacket = [&](const std::string& packet) {
    if (packet != "f|Alice|0first") return;
    alice.links->SendDirect(bobName, "f|Alice|0second");
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (bob.packets.size() == 2) loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    deliveredInside = bob.packets;
  };
  ASSERT_TRUE(alice.links->SendDirect(bobName, "f|Alice|0first"));
  ASSERT_TRUE(WaitFor([&] { return !deliveredInside.empty(); }, 8000));
  EXPECT_EQ(deliveredInside, (std::vector<std::string>{"f|Alice|0first", "f|Alice|0second"}));
}

TEST_F(LinkPair, ARefusedOrUnknownAddressMakesTheLinkImpossibleAndTheQueuedPacketsGoThroughTheServer) {
  // Nobody listens at Carol's address: the connect is refused.
  server.addresses["Carol"] = "127.0.0.9";
  ASSERT_TRUE(alice.links->SendDirect("Carol", "f|Alice|2Pab\ncd"));
  ASSERT_TRUE(WaitFor([&] { return StateOf(alice, "Carol") == direct::kImpossible; }));
  ASSERT_EQ(alice.sent.size(), 3u);
  EXPECT_EQ(alice.sent[2], direct::ServerLineFor("Carol", "2Pab\ncd"));
  EXPECT_EQ(alice.sent[2].find('\n'), alice.sent[2].size() - 1);  // escaped: one line
  EXPECT_FALSE(alice.links->SendDirect("Carol", "f|Alice|1"));

  // The server knows no address for Dave.
  ASSERT_TRUE(alice.links->SendDirect("Dave", "f|Alice|1"));
  ASSERT_TRUE(WaitFor([&] { return StateOf(alice, "Dave") == direct::kImpossible; }));
  EXPECT_EQ(alice.sent.back(), "f\xA6" "Dave\xA6" "1\xA6\n");
  EXPECT_NE(alice.links->PaneMarkup().find(W("Невозможно")), std::string::npos);
}

TEST_F(LinkPair, AnAddressThatNeverComesMakesTheLinkImpossibleAndTheQueueGoesThroughTheServerInOrder) {
  server.unanswered.insert("Erin");
  ASSERT_TRUE(alice.links->SendDirect("Erin", "f|Alice|0one"));
  ASSERT_TRUE(alice.links->SendDirect("Erin", "f|Alice|0two"));
  ASSERT_TRUE(alice.links->SendDirect("Erin", "f|Alice|1"));
  EXPECT_EQ(StateOf(alice, "Erin"), direct::kWaitingAddress);
  ASSERT_TRUE(WaitFor([&] { return StateOf(alice, "Erin") == direct::kImpossible; }));
  ASSERT_EQ(alice.sent.size(), 5u);  // the request, the notice, the three packets
  EXPECT_EQ(alice.sent[2], direct::ServerLineFor("Erin", "0one"));
  EXPECT_EQ(alice.sent[3], direct::ServerLineFor("Erin", "0two"));
  EXPECT_EQ(alice.sent[4], "f\xA6" "Erin\xA6" "1\xA6\n");
  EXPECT_EQ(alice.traces.size(), 1u);
  // From now on the caller sends through the server himself; an answer
  // that comes late is used up and changes nothing.
  EXPECT_FALSE(alice.links->SendDirect("Erin", "f|Alice|0three"));
  EXPECT_TRUE(alice.links->OnAddressReply("p|Erin|127.0.0.3|"));
  EXPECT_EQ(StateOf(alice, "Erin"), direct::kImpossible);
  EXPECT_EQ(alice.sent.size(), 5u);
}

TEST_F(LinkPair, AnAddressAnswerForSomeoneWithoutALinkIsLeftToTheModerator) {
  EXPECT_FALSE(alice.links->OnAddressReply("p|Nobody|127.0.0.5|"));
  EXPECT_FALSE(alice.links->OnAddressReply("T|junk"));
  EXPECT_TRUE(alice.links->Links().empty());
}

TEST_F(LinkPair, TheSecondListenerOnATakenPortAcceptsNothingAndSaysSo) {
  Peer other;
  other.name = "Other";
  direct::LinkOptions options;
  options.localAddress = "127.0.0.2";
  options.port = TestPort();
  LinkManager taken(other, options);
  EXPECT_FALSE(taken.Listen());
  EXPECT_FALSE(taken.Listening());
  ASSERT_EQ(other.traces.size(), 1u);
  EXPECT_NE(other.traces[0].find(std::to_string(TestPort())), std::string::npos);
}

// A raw caller at Bob's listener.
class RawCaller {
 public:
  // From Alice's address unless told otherwise: the server gives that one for her.
  explicit RawCaller(const char* from = "127.0.0.2") {
    socket.bind(QHostAddress(from));
    socket.connectToHost("127.0.0.3", TestPort());
  }
  bool Connected() { return WaitFor([&] { return socket.state() == QAbstractSocket::ConnectedState; }); }
  void Send(const std::string& bytes) {
    socket.write(bytes.data(), qint64(bytes.size()));
    socket.flush();
  }
  bool Closed() { return WaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }); }
  std::string Read() {
    std::string out;
    WaitFor([&] { return socket.bytesAvailable() > 0 || socket.state() != QAbstractSocket::ConnectedState; }, 1000);
    const QByteArray b = socket.readAll();
    return std::string(b.constData(), size_t(b.size()));
  }
  QTcpSocket socket;
};

TEST_F(LinkPair, ACallerIsAcceptedOnlyUnderTheNameOfARecentNotice) {
  // A spoofed handshake: Mallory claims to be Alice, who sent no notice.
  {
    RawCaller mallory;
    ASSERT_TRUE(mallory.Connected());
    mallory.Send(direct::EncodeFrame('a', "Alice") + direct::EncodeFrame('c', "f|Alice|0evil"));
    ASSERT_TRUE(mallory.Closed());  // after the handshake wait
    EXPECT_TRUE(bob.packets.empty());
    EXPECT_EQ(bob.links->PendingCallers(), 0u);
    EXPECT_TRUE(bob.links->Links().empty());
  }
  // A notice older than the window admits nobody either.
  bob.links->OnConnectNotice("Alice");
  bob.now += 61'000;
  {
    RawCaller late;
    ASSERT_TRUE(late.Connected());
    late.Send(direct::EncodeFrame('a', "Alice"));
    ASSERT_TRUE(late.Closed());
    EXPECT_TRUE(bob.links->Links().empty());
  }
  // A fresh notice admits one call, which gets Bob's own folded "a" frame.
  bob.links->OnConnectNotice("Alice");
  RawCaller caller;
  ASSERT_TRUE(caller.Connected());
  caller.Send(direct::EncodeFrame('a', "Alice") + direct::EncodeFrame('c', "f|Alice|0ok"));
  ASSERT_TRUE(WaitFor([&] { return bob.packets.size() == 1; }));
  EXPECT_EQ(bob.packets[0], "f|Alice|0ok");
  std::string reply = caller.Read();
  char type = 0;
  std::string payload;
  ASSERT_EQ(direct::TakeFrame(reply, type, payload), direct::FrameResult::Frame);
  EXPECT_EQ(type, 'a');
  EXPECT_EQ(payload, "Bop");  // "Вор" folded: В, о, р are look-alikes
}

TEST_F(LinkPair, ACallerThatWaitsForTheAnsweringSideToNameItselfFirstGetsALink) {
  bob.links->OnConnectNotice("Alice");
  RawCaller caller;
  ASSERT_TRUE(caller.Connected());
  // Nothing sent yet: the answering side speaks first.
  std::string hello = caller.Read();
  char type = 0;
  std::string payload;
  ASSERT_EQ(direct::TakeFrame(hello, type, payload), direct::FrameResult::Frame);
  EXPECT_EQ(type, 'a');
  EXPECT_EQ(payload, "Bop");
  EXPECT_TRUE(hello.empty());
  caller.Send(direct::EncodeFrame('a', "Alice") + direct::EncodeFrame('c', "f|Alice|0first"));
  ASSERT_TRUE(WaitFor([&] { return bob.packets.size() == 1; }));
  EXPECT_EQ(bob.packets[0], "f|Alice|0first");
  EXPECT_EQ(StateOf(bob, "Alice"), direct::kLinked);
  // Bob's data follows without a second "a" frame.
  ASSERT_TRUE(bob.links->SendDirect("Alice", "f|Bop|0back"));
  std::string data = caller.Read();
  ASSERT_EQ(direct::TakeFrame(data, type, payload), direct::FrameResult::Frame);
  EXPECT_EQ(type, 'c');
  EXPECT_EQ(payload, "f|Bop|0back");
}

TEST_F(LinkPair, HostileLinkTrafficCutsTheLinkOffWithoutDeliveringIt) {
  // A packet in the name of someone else, then garbage, on an accepted link.
  bob.links->OnConnectNotice("Alice");
  RawCaller caller;
  ASSERT_TRUE(caller.Connected());
  caller.Send(direct::EncodeFrame('a', "Alice") + direct::EncodeFrame('c', "f|Carol|0forged"));
  ASSERT_TRUE(WaitFor([&] { return StateOf(bob, "Alice") == direct::kLinked; }));
  WaitFor([&] { return !bob.traces.empty(); }, 1000);
  EXPECT_TRUE(bob.packets.empty());
  caller.Send("z-not-a-frame");
  ASSERT_TRUE(caller.Closed());
  EXPECT_EQ(StateOf(bob, "Alice"), direct::kClosed);

  // A frame over the bound is refused from its header alone.
  bob.links->OnConnectNotice("Alice");
  RawCaller big;
  ASSERT_TRUE(big.Connected());
  std::string header = direct::EncodeFrame('c', "");
  const uint32_t huge = uint32_t(direct::kMaxFramePayload) + 1;
  for (int i = 0; i < 4; ++i) header[1 + i] = char((huge >> (8 * i)) & 0xFF);
  big.Send(direct::EncodeFrame('a', "Alice") + header);
  ASSERT_TRUE(big.Closed());
  EXPECT_TRUE(bob.packets.empty());

  // A caller that never stops sending a handshake is dropped at its bound.
  RawCaller flood;
  ASSERT_TRUE(flood.Connected());
  std::string longHello = direct::EncodeFrame('a', std::string(200000, 'x'));
  flood.Send(longHello);
  ASSERT_TRUE(flood.Closed());
  EXPECT_EQ(bob.links->PendingCallers(), 0u);
}

TEST_F(LinkPair, AnOutgoingLinkWhosePeerAnswersUnderAnotherNameIsRefused) {
  // Carol's address leads to Bob's listener, who answers as himself once
  // he knows Alice called; Alice expected Carol.
  server.addresses["Carol"] = "127.0.0.3";
  server.users["Carol"] = &bob;
  ASSERT_TRUE(alice.links->SendDirect("Carol", "f|Alice|0data"));
  ASSERT_TRUE(WaitFor([&] { return StateOf(alice, "Carol") == direct::kImpossible; }));
  EXPECT_TRUE(bob.packets.empty());
  // What had been queued went through the server instead.
  EXPECT_EQ(alice.sent.back(), direct::ServerLineFor("Carol", "0data"));
}

}  // namespace

namespace {

TEST_F(LinkPair, TwoPeersCallingEachOtherAtOnceEndWithOneWorkingLink) {
  const std::string bobName = bob.name;
  ASSERT_TRUE(alice.links->SendDirect(bobName, "f|Alice|0from-alice"));
  ASSERT_TRUE(bob.links->SendDirect("Alice", direct::DirectPayload(bobName, "0from-bob")));
  ASSERT_TRUE(WaitFor([&] { return StateOf(alice, bobName) == direct::kLinked && StateOf(bob, "Alice") == direct::kLinked; }));
  // Each packet went over the link or, when an attempt lost the race before
  // the other call came in, through the server: never lost, never twice.
  auto through = [](Peer& p, const std::string& tail) {
    int n = 0;
    for (const auto& line : p.sent) n += text::Contains(line, tail);
    return n;
  };
  WaitFor([&] { return bob.packets.size() + through(alice, "from-alice") >= 1 &&
                       alice.packets.size() + through(bob, "from-bob") >= 1; });
  EXPECT_EQ(bob.packets.size() + through(alice, "from-alice"), 1u);
  EXPECT_EQ(alice.packets.size() + through(bob, "from-bob"), 1u);
  // And the link carries what comes next.
  ASSERT_TRUE(alice.links->SendDirect(bobName, "f|Alice|1"));
  ASSERT_TRUE(WaitFor([&] { return !bob.packets.empty() && bob.packets.back() == "f|Alice|1"; }));
}

}  // namespace

// ---- hostile callers and hostile frames --------------------------------------

namespace {

TEST_F(LinkPair, ACallerUnderTheNoticeNameFromAnotherAddressIsRefusedWhileTheRealOneLinks) {
  bob.links->OnConnectNotice("Alice");
  // The notice made Bob ask where Alice is.
  ASSERT_FALSE(bob.sent.empty());
  EXPECT_EQ(bob.sent.back(), wire::PeerAddressLine("Alice"));
  RawCaller impostor("127.0.0.4");
  ASSERT_TRUE(impostor.Connected());
  impostor.Send(direct::EncodeFrame('a', "Alice") + direct::EncodeFrame('c', "f|Alice|0evil"));
  ASSERT_TRUE(impostor.Closed());
  EXPECT_TRUE(bob.links->Links().empty());

  // The notice still admits Alice herself.
  RawCaller alice2;
  ASSERT_TRUE(alice2.Connected());
  alice2.Send(direct::EncodeFrame('a', "Alice") + direct::EncodeFrame('c', "f|Alice|0real"));
  ASSERT_TRUE(WaitFor([&] { return bob.packets.size() == 1; }));
  EXPECT_EQ(bob.packets[0], "f|Alice|0real");
  EXPECT_EQ(bob.links->Find("Alice")->peerAddress, "127.0.0.2");
}

TEST_F(LinkPair, ACallerWaitsForTheServersAnswerAndAnEmptyAnswerAdmitsNobody) {
  server.unanswered.insert("Alice");
  bob.links->OnConnectNotice("Alice");
  RawCaller caller;
  ASSERT_TRUE(caller.Connected());
  caller.Send(direct::EncodeFrame('a', "Alice") + direct::EncodeFrame('c', "f|Alice|0early"));
  ASSERT_TRUE(WaitFor([&] { return bob.links->PendingCallers() == 1; }));
  EXPECT_TRUE(bob.packets.empty());
  // The answer is used up by the notice, not left to the moderator.
  EXPECT_TRUE(bob.links->OnAddressReply("p|Alice|127.0.0.2|"));
  ASSERT_TRUE(WaitFor([&] { return bob.packets.size() == 1; }));

  bob.links->OnConnectNotice("Carol");
  EXPECT_TRUE(bob.links->OnAddressReply("p|Carol||"));
  RawCaller carol;
  ASSERT_TRUE(carol.Connected());
  carol.Send(direct::EncodeFrame('a', "Carol"));
  ASSERT_TRUE(carol.Closed());
  EXPECT_EQ(bob.links->Find("Carol"), nullptr);
}

TEST_F(LinkPair, SixteenSilentSocketsFromOneAddressDoNotKeepTheRealCallerOut) {
  std::vector<std::unique_ptr<RawCaller>> silent;
  for (int i = 0; i < 16; ++i) {
    silent.push_back(std::make_unique<RawCaller>("127.0.0.5"));
    ASSERT_TRUE(silent.back()->Connected());
  }
  ASSERT_TRUE(WaitFor([&] { return bob.links->PendingCallers() > 0; }));
  WaitFor([] { return false; }, 200);
  EXPECT_LE(bob.links->PendingCallers(), 4u);
  bob.links->OnConnectNotice("Alice");
  RawCaller real;
  ASSERT_TRUE(real.Connected());
  real.Send(direct::EncodeFrame('a', "Alice") + direct::EncodeFrame('c', "f|Alice|0hello"));
  ASSERT_TRUE(WaitFor([&] { return bob.packets.size() == 1; }));
  EXPECT_EQ(StateOf(bob, "Alice"), direct::kLinked);
  // The oldest silent ones went first; the newest four still wait.
  int open = 0;
  for (auto& s : silent) open += s->socket.state() == QAbstractSocket::ConnectedState;
  EXPECT_LE(open, 4);
}

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return 0;
}

TEST_F(LinkPair, UnfinishedFramesOfAllLinksStayWithinOneBudgetAndClosedLinksFreeThem) {
  constexpr int kCallers = 8;
  constexpr size_t kDeclared = direct::kMaxFramePayload;
  const std::string chunk(1 << 20, 'x');
  std::vector<std::unique_ptr<RawCaller>> callers;
  const long before = ResidentKiB();
  for (int i = 0; i < kCallers; ++i) {
    const std::string name = "U" + std::to_string(i);
    server.addresses[name] = "127.0.0.2";
    bob.links->OnConnectNotice(name);
    callers.push_back(std::make_unique<RawCaller>());
    RawCaller& c = *callers.back();
    ASSERT_TRUE(c.Connected());
    std::string header = direct::EncodeFrame('c', "");
    for (int b = 0; b < 4; ++b) header[1 + b] = char((kDeclared >> (8 * b)) & 0xFF);
    c.Send(direct::EncodeFrame('a', name) + header);
    ASSERT_TRUE(WaitFor([&] { return bob.links->Find(name) != nullptr || c.socket.state() != QAbstractSocket::ConnectedState; }));
    // All but the last megabyte of the frame, written as Bob reads it.
    for (size_t sent = 0; sent + chunk.size() < kDeclared && c.socket.state() == QAbstractSocket::ConnectedState;
         sent += chunk.size()) {
      c.Send(chunk);
      WaitFor([&] { return c.socket.bytesToWrite() == 0 || c.socket.state() != QAbstractSocket::ConnectedState; });
    }
  }
  WaitFor([] { return false; }, 300);
  EXPECT_LE(bob.links->ReceiveCommitted(), size_t(32) << 20);
  int alive = 0;
  for (auto& c : callers) alive += c->socket.state() == QAbstractSocket::ConnectedState;
  EXPECT_GE(alive, 1);
  EXPECT_LE(alive, 2);
  if (chatd_test::kResidentSizeMeasurable) {
    EXPECT_LT(ResidentKiB() - before, 48 * 1024);
  }
  RecordProperty("resident_growth_kib", int(ResidentKiB() - before));

  callers.clear();
  ASSERT_TRUE(WaitFor([&] { return bob.links->ReceiveCommitted() == 0; }));
  for (auto& l : bob.links->Links()) EXPECT_LE(l->receiveBuffer.capacity(), 64u * 1024);
}

TEST_F(LinkPair, LinksWithoutTrafficForTenMinutesAreRemoved) {
  const std::string bobName = bob.name;
  ASSERT_TRUE(alice.links->SendDirect(bobName, "f|Alice|0first"));
  ASSERT_TRUE(WaitFor([&] { return bob.packets.size() == 1; }));
  alice.now += 9 * 60'000;
  bob.now += 9 * 60'000;
  alice.links->RemoveIdleLinks();
  EXPECT_EQ(alice.links->Links().size(), 1u);
  alice.now += 60'000;
  bob.now += 60'000;
  alice.links->RemoveIdleLinks();
  bob.links->RemoveIdleLinks();
  EXPECT_TRUE(alice.links->Links().empty());
  EXPECT_TRUE(bob.links->Links().empty());
  // A link waiting for an address goes as well, and its timer finds nothing.
  server.unanswered.insert("Erin");
  ASSERT_TRUE(alice.links->SendDirect("Erin", "f|Alice|0x"));
  alice.now += 600'000;
  alice.links->RemoveIdleLinks();
  EXPECT_TRUE(alice.links->Links().empty());
  EXPECT_EQ(alice.sent.back(), direct::ServerLineFor("Erin", "0x"));
  WaitFor([] { return false; }, 1700);
  EXPECT_TRUE(alice.links->Links().empty());
}

TEST(LinkListener, WithoutAConfiguredAddressItListensOnlyWhereTheChatConnectionGoesOut) {
  Peer peer;
  peer.name = "Solo";
  direct::LinkOptions options;
  options.port = TestPort();
  LinkManager links(peer, options);
  EXPECT_FALSE(links.Listen());
  EXPECT_FALSE(links.Listening());
  ASSERT_TRUE(links.ListenOn("::ffff:127.0.0.6"));
  EXPECT_EQ(links.ListeningAddress(), "127.0.0.6");
  QTcpSocket elsewhere;
  elsewhere.connectToHost("127.0.0.7", TestPort());
  EXPECT_FALSE(elsewhere.waitForConnected(2000));
  // The port on every other address stays free for another client.
  QTcpServer other;
  EXPECT_TRUE(other.listen(QHostAddress("127.0.0.7"), TestPort()));
  other.close();
  // A new connection from another address moves the listener.
  ASSERT_TRUE(links.ListenOn("127.0.0.8"));
  EXPECT_EQ(links.ListeningAddress(), "127.0.0.8");
}

}  // namespace
