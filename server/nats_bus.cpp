#include "server/nats_bus.h"

#include <nats/nats.h>

#include "server/log.h"

namespace chatd {
namespace {
const std::string kSubjectAll = "chatd.room.all";
std::string NodeSubject(int node) { return "chatd.room.node." + std::to_string(node); }
// What may wait for the event loop, and what the client library may hold
// for us before it drops (a slow node must not let another fill its memory).
constexpr size_t kInboxBytes = 64u << 20;
constexpr int kPendingMessages = 100000;
constexpr int kPendingBytes = 64 << 20;
}  // namespace

NatsBus::NatsBus(Room& room, int node, QObject* parent) : QObject(parent), room_(room), node_(node) {
  beat_.setInterval(1000);
  connect(&beat_, &QTimer::timeout, this, [this] { room_.PeerBeat(); });
}

NatsBus::~NatsBus() {
  // From here on the library's threads post nothing more to us; events
  // already posted die with this object.
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  natsSubscription_Destroy(all_);
  natsSubscription_Destroy(mine_);
  if (connection_) natsConnection_Close(connection_);
  natsConnection_Destroy(connection_);
  natsOptions_Destroy(options_);
}

bool NatsBus::Start(const std::string& url, std::string* error) {
  auto fail = [&](natsStatus s) {
    if (error) *error = natsStatus_GetText(s);
    return false;
  };
  natsStatus s = natsOptions_Create(&options_);
  if (s == NATS_OK) s = natsOptions_SetURL(options_, url.c_str());
  if (s == NATS_OK) s = natsOptions_SetMaxReconnect(options_, -1);
  if (s == NATS_OK) s = natsOptions_SetReconnectWait(options_, 250);
  if (s == NATS_OK) s = natsOptions_SetReconnectedCB(options_, &NatsBus::OnConnected, this);
  if (s == NATS_OK) s = natsOptions_SetRetryOnFailedConnect(options_, true, &NatsBus::OnConnected, this);
  // Published lines go out from the publishing thread at once: the client
  // library's own flusher waits a millisecond before each write, which
  // every line between nodes and every Sync would pay.
  if (s == NATS_OK) s = natsOptions_SetSendAsap(options_, true);
  // A node's own messages on the shared subject are of no use to it.
  if (s == NATS_OK) s = natsOptions_SetNoEcho(options_, true);
  if (s == NATS_OK) s = natsOptions_SetName(options_, ("chatd node " + std::to_string(node_)).c_str());
  if (s != NATS_OK) return fail(s);
  s = natsConnection_Connect(&connection_, options_);
  if (s != NATS_OK && s != NATS_NOT_YET_CONNECTED) return fail(s);
  s = natsConnection_Subscribe(&all_, connection_, kSubjectAll.c_str(), &NatsBus::OnMessage, this);
  if (s == NATS_OK) s = natsConnection_Subscribe(&mine_, connection_, NodeSubject(node_).c_str(), &NatsBus::OnMessage, this);
  if (s == NATS_OK) s = natsSubscription_SetPendingLimits(all_, kPendingMessages, kPendingBytes);
  if (s == NATS_OK) s = natsSubscription_SetPendingLimits(mine_, kPendingMessages, kPendingBytes);
  if (s != NATS_OK) return fail(s);
  beat_.start();
  if (natsConnection_Status(connection_) == NATS_CONN_STATUS_CONNECTED) room_.PeerHello();
  return true;
}

void NatsBus::OnConnected(__natsConnection*, void* closure) {
  auto* bus = static_cast<NatsBus*>(closure);
  std::lock_guard<std::mutex> lock(bus->mutex_);
  if (bus->closing_) return;
  QMetaObject::invokeMethod(
      bus,
      [bus] {
        Log("bus connected");
        bus->room_.PeerHello();
      },
      Qt::QueuedConnection);
}

void NatsBus::OnMessage(__natsConnection*, __natsSubscription*, __natsMsg* msg, void* closure) {
  auto* bus = static_cast<NatsBus*>(closure);
  const int length = natsMsg_GetDataLength(msg);
  {
    bool wake = false;
    std::lock_guard<std::mutex> lock(bus->mutex_);
    if (bus->closing_) {
      // Shutting down: nothing is handed on.
    } else if (length < 0 || static_cast<size_t>(length) > kMaxPeerPayload ||
        bus->inboxBytes_ + static_cast<size_t>(length) > kInboxBytes) {
      ++bus->dropped_;
    } else {
      wake = bus->inbox_.empty();
      bus->inbox_.emplace_back(natsMsg_GetData(msg), static_cast<size_t>(length));
      bus->inboxBytes_ += static_cast<size_t>(length);
    }
    // Posted under the lock, so the destructor cannot run in between.
    if (wake) QMetaObject::invokeMethod(bus, [bus] { bus->Drain(); }, Qt::QueuedConnection);
  }
  natsMsg_Destroy(msg);
}

void NatsBus::Drain() {
  std::deque<std::string> batch;
  size_t dropped = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    batch.swap(inbox_);
    inboxBytes_ = 0;
    std::swap(dropped, dropped_);
  }
  if (dropped > 0) Log("bus: " + std::to_string(dropped) + " messages dropped, too many waiting");
  for (const std::string& payload : batch) room_.FromPeer(payload);
}

void NatsBus::Publish(const std::string& subject, const std::string& payload) {
  const natsStatus s = natsConnection_Publish(connection_, subject.c_str(), payload.data(), static_cast<int>(payload.size()));
  if (s != NATS_OK) {
    Log("bus: publish on " + subject + " failed: " + natsStatus_GetText(s));
    return;
  }
  unsynced_ = true;
}

void NatsBus::ToAll(const std::string& payload) { Publish(kSubjectAll, payload); }

void NatsBus::ToNode(int node, const std::string& payload) { Publish(NodeSubject(node), payload); }

void NatsBus::Sync() {
  if (!unsynced_) return;
  unsynced_ = false;
  // Without a connection the client library keeps what was published and
  // sends it once it is back; waiting here would only stop this node.
  if (natsConnection_Status(connection_) != NATS_CONN_STATUS_CONNECTED) {
    if (!warnedOffline_) Log("bus: not connected, lines for other nodes wait for it");
    warnedOffline_ = true;
    return;
  }
  warnedOffline_ = false;
  const natsStatus s = natsConnection_FlushTimeout(connection_, 2000);
  if (s != NATS_OK) Log(std::string("bus: flush failed: ") + natsStatus_GetText(s));
}

}  // namespace chatd
