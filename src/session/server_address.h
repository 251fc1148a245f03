#pragma once
// The chat server's address as the user types it: "host", "host:port" or
// "[v6-address]:port".
#include <optional>
#include <string>
#include <string_view>

namespace session {

struct ServerAddress {
  std::string host;
  int port = 0;
};

// Reads "host[:port]"; a missing port is `defaultPort`.  Nothing for an empty
// host, blanks or control bytes in it, or a port outside 1..65535.
std::optional<ServerAddress> ParseServerAddress(std::string_view text, int defaultPort);

// "host:port", with brackets around an IPv6 address.
std::string FormatServerAddress(const std::string& host, int port);

}  // namespace session
