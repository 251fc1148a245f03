#include "server/proxy_header.h"

#include <arpa/inet.h>

#include <cstring>

namespace chatd {
namespace {

using State = ProxyHeader::State;

constexpr char kV2Signature[] = "\r\n\r\n\0\r\nQUIT\n";
constexpr size_t kV2SignatureSize = 12;
constexpr size_t kV1Max = 107;

ProxyHeader Bad() { return {State::kBad, 0, {}}; }
ProxyHeader More() { return {State::kNeedMore, 0, {}}; }

// A dotted or colon address as inet_pton reads it, printed back in the
// form the socket side uses.
bool CanonicalAddress(int family, const std::string& text, std::string* out) {
  unsigned char raw[16];
  if (inet_pton(family, text.c_str(), raw) != 1) return false;
  char printed[INET6_ADDRSTRLEN];
  if (!inet_ntop(family, raw, printed, sizeof printed)) return false;
  *out = printed;
  // A v4 client reaching a v6 balancer is known by his v4 address.
  if (family == AF_INET6 && out->rfind("::ffff:", 0) == 0 && out->find('.') != std::string::npos)
    *out = out->substr(7);
  return true;
}

bool IsPort(std::string_view s) {
  if (s.empty() || s.size() > 5) return false;
  unsigned value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value <= 65535 && !(s.size() > 1 && s[0] == '0');
}

// "PROXY TCP4 src dst sport dport\r\n" or "PROXY UNKNOWN …\r\n".
ProxyHeader ParseV1(std::string_view bytes) {
  const size_t end = bytes.substr(0, kV1Max).find("\r\n");
  if (end == std::string_view::npos) return bytes.size() >= kV1Max ? Bad() : More();
  const std::string_view line = bytes.substr(0, end);
  ProxyHeader h{State::kDone, end + 2, {}};
  std::string_view rest = line.substr(6);
  if (rest.rfind("UNKNOWN", 0) == 0) return h;
  std::string_view parts[5];
  for (int i = 0; i < 5; ++i) {
    const size_t blank = rest.find(' ');
    if ((i < 4) != (blank != std::string_view::npos)) return Bad();
    parts[i] = rest.substr(0, blank);
    rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
  }
  int family = 0;
  if (parts[0] == "TCP4") family = AF_INET;
  else if (parts[0] == "TCP6") family = AF_INET6;
  else return Bad();
  std::string ignored;
  if (!CanonicalAddress(family, std::string(parts[1]), &h.address) ||
      !CanonicalAddress(family, std::string(parts[2]), &ignored) || !IsPort(parts[3]) || !IsPort(parts[4]))
    return Bad();
  return h;
}

ProxyHeader ParseV2(std::string_view bytes) {
  if (bytes.size() < 16) return More();
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
  const unsigned version = b[12] >> 4, command = b[12] & 0x0F;
  const unsigned family = b[13] >> 4, transport = b[13] & 0x0F;
  const size_t length = (static_cast<size_t>(b[14]) << 8) | b[15];
  if (version != 2 || command > 1) return Bad();
  if (16 + length > kMaxProxyHeader) return Bad();
  if (bytes.size() < 16 + length) return More();
  ProxyHeader h{State::kDone, 16 + length, {}};
  // LOCAL: the balancer's own health check; the socket's address stands.
  if (command == 0) return h;
  const unsigned char* block = b + 16;
  char printed[INET6_ADDRSTRLEN];
  if (family == 1 && transport == 1) {  // TCP over IPv4: src, dst, ports
    if (length < 12 || !inet_ntop(AF_INET, block, printed, sizeof printed)) return Bad();
    h.address = printed;
  } else if (family == 2 && transport == 1) {  // TCP over IPv6
    if (length < 36 || !inet_ntop(AF_INET6, block, printed, sizeof printed)) return Bad();
    h.address = printed;
    if (h.address.rfind("::ffff:", 0) == 0 && h.address.find('.') != std::string::npos)
      h.address = h.address.substr(7);
  }
  // Other families (Unix sockets, UDP) carry no client address chatd can
  // use: the connection keeps the balancer's.
  return h;
}

}  // namespace

ProxyHeader ParseProxyHeader(std::string_view bytes) {
  if (bytes.empty()) return More();
  if (bytes[0] == 'P') {
    const std::string_view prefix = "PROXY ";
    const size_t n = std::min(bytes.size(), prefix.size());
    if (bytes.substr(0, n) != prefix.substr(0, n)) return Bad();
    if (bytes.size() < prefix.size()) return More();
    return ParseV1(bytes);
  }
  if (bytes[0] == '\r') {
    const size_t n = std::min(bytes.size(), kV2SignatureSize);
    if (std::memcmp(bytes.data(), kV2Signature, n) != 0) return Bad();
    return ParseV2(bytes);
  }
  return Bad();
}

}  // namespace chatd
