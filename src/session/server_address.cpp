#include "session/server_address.h"

#include <algorithm>

namespace session {

namespace {

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::optional<int> Port(std::string_view digits) {
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  int value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return std::nullopt;
  return value;
}

bool GoodHost(std::string_view host) {
  return !host.empty() && std::none_of(host.begin(), host.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b <= ' ' || b == 0x7F || c == '/' || c == '[' || c == ']';
  });
}

}  // namespace

std::optional<ServerAddress> ParseServerAddress(std::string_view text, int defaultPort) {
  text = Trimmed(text);
  ServerAddress result;
  std::string_view host = text;
  std::string_view port;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = text.substr(1, close - 1);
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      port = rest.substr(1);
      if (port.empty()) return std::nullopt;
    }
  } else if (const size_t colon = text.find(':'); colon != std::string_view::npos) {
    // More than one colon without brackets: a bare IPv6 address.
    if (text.find(':', colon + 1) == std::string_view::npos) {
      host = text.substr(0, colon);
      port = text.substr(colon + 1);
      if (port.empty()) return std::nullopt;
    }
  }
  if (!GoodHost(host)) return std::nullopt;
  result.host = std::string(host);
  if (port.empty()) {
    if (defaultPort < 1 || defaultPort > 65535) return std::nullopt;
    result.port = defaultPort;
  } else if (const std::optional<int> p = Port(port)) {
    result.port = *p;
  } else {
    return std::nullopt;
  }
  return result;
}

std::string FormatServerAddress(const std::string& host, int port) {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

}  // namespace session
