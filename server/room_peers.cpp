#include "server/room_peers.h"

#include <map>

#include "text/bytes.h"

namespace chatd {
namespace {

constexpr size_t kMaxField = 64 * 1024 + 1024;  // a private text's escaped bound

struct Shape {
  size_t fields;
  bool line;
};

const std::map<std::string, Shape>& Shapes() {
  static const std::map<std::string, Shape> shapes = {
      {"public", {1, true}}, {"private", {5, true}}, {"line", {1, true}}, {"on", {9, false}},
      {"off", {2, false}},   {"hello", {0, false}},  {"beat", {0, false}}, {"fines", {0, false}},
      {"kept", {1, false}},  {"who", {0, false}},
  };
  return shapes;
}

}  // namespace

std::string EncodePeer(const PeerMessage& m) {
  std::string out = m.kind + "\n" + std::to_string(m.node) + "\n";
  for (const std::string& f : m.fields) {
    for (char c : f) out += c == '\n' ? ' ' : c;
    out += '\n';
  }
  out += m.line;
  return out;
}

std::optional<PeerMessage> DecodePeer(const std::string& payload) {
  if (payload.size() > kMaxPeerPayload) return std::nullopt;
  PeerMessage m;
  size_t pos = 0;
  auto next = [&](std::string* out, size_t limit) {
    const size_t end = payload.find('\n', pos);
    if (end == std::string::npos || end - pos > limit) return false;
    out->assign(payload, pos, end - pos);
    pos = end + 1;
    return true;
  };
  std::string node;
  if (!next(&m.kind, 16) || !next(&node, 4)) return std::nullopt;
  auto shape = Shapes().find(m.kind);
  if (shape == Shapes().end()) return std::nullopt;
  const int n = text::ParseIntOr(node, -1);
  if (n < 1 || n > kMaxNode || std::to_string(n) != node) return std::nullopt;
  m.node = n;
  m.fields.resize(shape->second.fields);
  for (std::string& f : m.fields) {
    if (!next(&f, kMaxField)) return std::nullopt;
  }
  m.line = payload.substr(pos);
  if (shape->second.line) {
    // Exactly one client line, with its line feed.
    if (m.line.size() < 2 || m.line.back() != '\n' || m.line.find('\n') != m.line.size() - 1) return std::nullopt;
  } else if (!m.line.empty()) {
    return std::nullopt;
  }
  return m;
}

}  // namespace chatd
