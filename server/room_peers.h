#pragma once
// What the room tells the other nodes serving it, and how it reads what
// they tell it.  The transport (NATS) only carries payloads; every payload
// names its kind and its sender node, and is checked field by field like
// any line from a peer.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace chatd {

// The room's way to the other nodes.
class RoomPeers {
 public:
  virtual ~RoomPeers() = default;
  virtual void ToAll(const std::string& payload) = 0;             // every other node
  virtual void ToNode(int node, const std::string& payload) = 0;  // one node
};

// Node numbers are small, so a public line number can carry its node.
constexpr int kMaxNode = 63;
// A payload larger than this is dropped unread ("f" lines are up to 8 MiB).
constexpr size_t kMaxPeerPayload = (8u << 20) + 64 * 1024;

// One message between nodes: a kind, the sender node, a fixed number of
// short fields for its kind and, for the kinds that carry one, a client
// line as the last part.
struct PeerMessage {
  std::string kind;
  int node = 0;
  std::vector<std::string> fields;
  std::string line;
};

// Kinds and their fields:
//   public   lineNo                                            + line
//   private  toKey fromKey fromName mid text                   + line
//   line     toKey                                             + line
//   on       key name version sex sound hasInfo address stamp bot
//   off      key stamp
//   kept     key          (a message was kept for him: deliver it if he is here)
//   hello | beat | fines | who   (who: tell me your users)
std::string EncodePeer(const PeerMessage& m);
// nullopt for anything malformed: unknown kind, wrong field count, a field
// too long or holding a line feed, a node out of range, a line that is
// not one line.
std::optional<PeerMessage> DecodePeer(const std::string& payload);

}  // namespace chatd
