#pragma once
// One direct link to the client of another user, keyed by his name.
#include <cstdint>
#include <string>

class QTcpSocket;

namespace direct {

enum LinkState : int {
  kConnecting = 0,      // "Соединяемся"
  kConnected = 1,       // "Связь есть": TCP up, waiting for the peer's "a" frame
  kLinked = 2,          // "Соединились": data flows
  kClosed = 3,          // "отключены"
  kBroken = 4,          // "Разрыв"
  kWaitingAddress = 5,  // "Ждем IP"
  kImpossible = 6,      // "Невозможно": senders use the server
};

// The pane text of a state, Windows-1251.
std::string StateText(int state);

struct DirectLink {
  int state = kWaitingAddress;
  bool outgoing = true;     // the last connection was opened by this client
  std::string peerName;     // as the caller gave it, or as the server named the caller
  std::string peerAddress;  // the peer's IP address, empty until known
  std::string sendBuffer;   // frames waiting to be written
  std::string receiveBuffer;
  size_t receiveCommitted = 0;  // what the unfinished frame may grow to, counted in the budget
  int64_t lastActiveMs = 0;     // last packet queued or bytes received
  QTcpSocket* socket = nullptr;
  bool stopRequested = false;
  uint64_t attempt = 0;  // unique per connection attempt: tells a timer of this one from an earlier one's
};

}  // namespace direct
