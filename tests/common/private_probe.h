#pragma once
// Private messages from a raw peer and the client's confirmations of them:
// how tests and benchmarks tell that a client has handled a line.
#include <string>

#include "line_client.h"
#include "wire/wire.h"

namespace chatd_test {

inline std::string PrivateTo(const std::string& to, const std::string& text, int mid) {
  return "x\xA6\x43ln=" + to + ";Mess=" + wire::EscapeField(text) + ";Mid=" + std::to_string(mid) + ";\xA6\n";
}

inline bool IsConfirmationOf(const std::string& line, int mid) {
  return line.find("Podtv=1") != std::string::npos &&
         line.find("Mid=" + std::to_string(mid) + ";") != std::string::npos;
}

// Sends a private message and waits for the client's confirmation of it.
inline bool Confirmed(LineClient& peer, const std::string& to, const std::string& text, int mid,
                      int waitMs = 15000) {
  if (!peer.Send(PrivateTo(to, text, mid))) return false;
  return peer.ReadUntil([mid](const std::string& l) { return IsConfirmationOf(l, mid); }, nullptr, waitMs)
      .has_value();
}

// Raw lines a peer sends to `to` through chatd's relay ("f").
inline std::string RelayTo(const std::string& to, const std::string& packet) {
  return "f\xA6" + to + "\xA6" + packet + "\xA6\n";
}

}  // namespace chatd_test
