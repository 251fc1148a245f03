// One room served by several nodes: what this node tells the others and
// what it does with what they tell it.  Each node keeps its own clients;
// public lines go to every node, everything for one user to the node that
// holds him, and every node knows who is online where (presence), so the
// online list is the whole room's.
#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "server/bot.h"
#include "server/log.h"
#include "server/name_rules.h"
#include "server/room.h"
#include "server/room_text.h"
#include "text/bytes.h"

namespace chatd {

namespace {
// A node not heard from for this long is taken for dead, its users offline.
constexpr int64_t kNodeSilentMs = 5000;
// Users known at other nodes, all together: a node that announces more is
// not believed.
constexpr size_t kMaxRemoteUsers = 200000;
// A public line number carries its node in its lowest part, so two nodes
// never give one number to two lines.
constexpr int64_t kLineNodeSpan = kMaxNode + 1;
}  // namespace

void Room::SetPeers(RoomPeers* peers, int node) {
  peers_ = peers;
  node_ = node;
}

int64_t Room::WallMs() const {
  if (options_.now) return options_.now() * 1000 + NowMs() % 1000;
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

int64_t Room::NextLineNo() {
  if (!peers_) return lineNo_ + 1;
  return (lineNo_ / kLineNodeSpan + 1) * kLineNodeSpan + node_;
}

const Room::RemoteUser* Room::FindRemote(const std::string& key) const {
  auto it = remote_.find(key);
  return it == remote_.end() ? nullptr : &it->second;
}

std::string Room::Presence(const Session& s) const {
  return EncodePeer({"on",
                     node_,
                     {s.key, s.name, s.version, s.sex ? std::string(1, s.sex) : std::string(), s.sound ? "1" : "0",
                      s.hasInfo ? "1" : "0", s.address, std::to_string(s.loginStamp), s.bot ? "1" : "0"},
                     {}});
}

void Room::Announce(const Session& s) {
  if (peers_ && s.loggedIn) peers_->ToAll(Presence(s));
}

void Room::AnnounceGone(const Session& s) {
  if (!peers_) return;
  peers_->ToAll(EncodePeer({"off", node_, {s.key, std::to_string(s.loginStamp)}, {}}));
}

bool Room::LineToPeer(const std::string& key, const std::string& line) {
  const RemoteUser* there = FindRemote(key);
  if (!peers_ || !there || there->bot) return false;
  peers_->ToNode(there->node, EncodePeer({"line", node_, {key}, line}));
  return true;
}

void Room::PeerHello() {
  if (!peers_) return;
  // The others forget what they knew of this node when they hear hello
  // (it may have restarted), so its users follow at once.
  peers_->ToAll(EncodePeer({"hello", node_, {}, {}}));
  for (ClientId id : onlineOrder_) {
    if (const Session* s = Find(id)) Announce(*s);
  }
}

void Room::PeerBeat() {
  if (!peers_) return;
  peers_->ToAll(EncodePeer({"beat", node_, {}, {}}));
  const int64_t now = NowMs();
  std::vector<int> silent;
  for (const auto& [node, seen] : nodeSeenMs_) {
    if (now - seen > kNodeSilentMs) silent.push_back(node);
  }
  for (int node : silent) {
    Log("node " + std::to_string(node) + " is silent: its users are taken for offline");
    ForgetNode(node);
  }
}

void Room::ForgetNode(int node) {
  nodeSeenMs_.erase(node);
  const size_t before = remote_.size();
  for (auto it = remote_.begin(); it != remote_.end();) it = it->second.node == node ? remote_.erase(it) : std::next(it);
  if (remote_.size() != before) ListChanged();
}

void Room::NodeSeen(int node) {
  const bool known = nodeSeenMs_.count(node) > 0;
  nodeSeenMs_[node] = NowMs();
  if (known) return;
  // A node new to us (or back after silence) learns who is here, and is
  // asked for its own users: we may have forgotten them while it was silent.
  Log("node " + std::to_string(node) + " joined the room");
  TellUsers(node);
  peers_->ToNode(node, EncodePeer({"who", node_, {}, {}}));
}

void Room::TellUsers(int node) {
  for (ClientId id : onlineOrder_) {
    if (const Session* s = Find(id)) peers_->ToNode(node, Presence(*s));
  }
}

void Room::FromPeer(const std::string& payload) {
  if (!peers_) return;
  std::optional<PeerMessage> m = DecodePeer(payload);
  if (!m) {
    Refused("the bus", "malformed message between nodes dropped", payload.substr(0, 256));
    return;
  }
  if (m->node == node_) return;  // our own, back from the bus
  RunOutside([&] {
    // A node that says hello has (re)started: what it had before is gone,
    // and it is told who is here.
    if (m->kind == "hello") ForgetNode(m->node);
    NodeSeen(m->node);
    if (m->kind == "public") PeerPublic(*m);
    else if (m->kind == "private") PeerPrivate(*m);
    else if (m->kind == "line") PeerLine(*m);
    else if (m->kind == "on") PeerOnline(*m);
    else if (m->kind == "off") PeerOffline(*m);
    else if (m->kind == "fines") RefreshFines();
    else if (m->kind == "who") TellUsers(m->node);
    else if (m->kind == "kept") {
      if (Session* t = FindOnline(m->fields[0]); t && !t->bot) DeliverKept(t->id);
    }
  });
}

void Room::PeerPublic(const PeerMessage& m) {
  const int64_t lineNo = text::ParseIntOr(m.fields[0], -1);
  if (lineNo > lineNo_) lineNo_ = lineNo;
  for (ClientId id : onlineOrder_) {
    if (Session* s = Find(id)) Send(*s, m.line);
  }
}

void Room::PeerPrivate(const PeerMessage& m) {
  const std::string& toKey = m.fields[0];
  const std::string& fromKey = m.fields[1];
  NoteExchange(fromKey, toKey);
  Session* t = FindOnline(toKey);
  if (t && t->bot) {
    std::string sender = m.fields[2], said = wire::UnescapeField(m.fields[4]), mid = CleanMid(m.fields[3]);
    if (IsValidName(sender)) deferred_.push_back([this, sender, said, mid] { bot_->Answer(sender, said, mid); });
    return;
  }
  if (t) {
    Send(*t, m.line);
    return;
  }
  // He left between the sender's look and now: the message waits for him
  // like any other, within the same bounds.
  const Store::Kept kept = store_.KeptFor(toKey);
  if (kept.count >= options_.maxKeptPerUser ||
      kept.bytes + static_cast<int64_t>(m.line.size()) > options_.maxKeptBytesPerUser) {
    Refused("node " + std::to_string(m.node), "private message dropped: too many kept for the addressee");
    return;
  }
  if (!store_.FindAccount(toKey)) return;
  store_.KeepOffline(toKey, fromKey, m.line, Now());
}

void Room::PeerLine(const PeerMessage& m) {
  Session* t = FindOnline(m.fields[0]);
  if (t && !t->bot) Send(*t, m.line);
}

void Room::PeerOnline(const PeerMessage& m) {
  const auto& f = m.fields;
  RemoteUser u;
  u.node = m.node;
  u.name = f[1];
  u.version = CleanVersion(f[2]);
  u.sex = f[3] == "m" ? 'm' : f[3] == "w" ? 'w' : 0;
  u.sound = f[4] == "1";
  u.hasInfo = f[5] == "1";
  u.address = f[6].substr(0, 64);
  u.stamp = std::max<int64_t>(0, std::atoll(f[7].c_str()));
  u.bot = f[8] == "1";
  const std::string& key = f[0];
  if (!IsValidName(u.name) || AccountKey(u.name) != key || u.address.find_first_of(";|,\xA6") != std::string::npos) {
    Refused("node " + std::to_string(m.node), "presence with a bad name or address dropped", key);
    return;
  }
  // The newer login wins, wherever it happened; equal times go to the
  // higher node, so every node decides alike.
  auto newer = [](int64_t stampA, int nodeA, int64_t stampB, int nodeB) {
    return stampA != stampB ? stampA > stampB : nodeA > nodeB;
  };
  if (Session* local = FindOnline(key)) {
    if (!newer(u.stamp, u.node, local->loginStamp, node_)) {
      Announce(*local);  // ours is newer: the other node closes its own
      return;
    }
    Log("login of " + Printable(local->name) + " at node " + std::to_string(m.node) + " replaces the one here");
    if (local->bot) return;
    Send(*local, "?5\n");
    Drop(local->id);
  }
  auto it = remote_.find(key);
  if (it != remote_.end() && it->second.node != u.node && !newer(u.stamp, u.node, it->second.stamp, it->second.node))
    return;
  if (it == remote_.end() && remote_.size() >= kMaxRemoteUsers) {
    Refused("node " + std::to_string(m.node), "presence past the bound of remote users dropped", key);
    return;
  }
  const bool arrived = it == remote_.end();
  const std::string name = u.name;
  const bool greet = arrived && bot_ && !u.bot;
  remote_[key] = std::move(u);
  ListChanged();
  // The robot lives at one node and greets whoever comes in at any.
  if (greet) deferred_.push_back([this, name] { bot_->Greet(name); });
}

void Room::PeerOffline(const PeerMessage& m) {
  auto it = remote_.find(m.fields[0]);
  if (it == remote_.end() || it->second.node != m.node || std::to_string(it->second.stamp) != m.fields[1]) return;
  remote_.erase(it);
  ListChanged();
}

}  // namespace chatd
