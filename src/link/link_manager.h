#pragma once
// The direct links of this client: one per peer, created when data is first
// addressed to him, connected once the server has told his address, and
// accepted from peers who announced themselves through the server.  What
// arrives is handed to the host as raw audio/picture packets.  Everything
// runs on the thread of the event loop and nothing here waits in a nested
// loop.  Frames are handed to the host from the event loop, never inside a
// socket's signal, so a handler that waits in a nested loop of its own
// neither stops the links nor has a socket freed under it.
#include <QObject>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/direct_link.h"
#include "link/link_frame.h"

class QTcpServer;
class QTimer;
class QTcpSocket;

namespace direct {

class LinkHost;

struct LinkOptions {
  // The address this client listens on; empty for the address the chat
  // connection goes out from (see ListenOn), never every address.  Two
  // clients on one machine each take their own loopback address of
  // 127.0.0.0/8 (and should reach the chat server from it, so the server
  // announces that address).  Links to peers go out from it as well.
  std::string localAddress;
  uint16_t port = 3686;                 // listened on and connected to
  int64_t noticeWindowMs = 60'000;      // a caller's notice stays valid this long
  int handshakeWaitMs = 10'000;         // for a caller's "a" frame and his notice
  int connectTimeoutMs = 10'000;        // until the peer's "a" frame
  int addressWaitMs = 10'000;           // for the server's "p|" answer
  size_t maxPendingCallers = 16;        // connections not yet accepted, all addresses
  size_t maxCallersPerAddress = 4;      // of those, from one address
  size_t maxFramePayload = kMaxFramePayload;
  size_t receiveBudget = 32u << 20;     // unfinished frames of all links together
  int64_t idleLinkMs = 600'000;         // a link without traffic this long is removed
};

class LinkManager : public QObject {
 public:
  LinkManager(LinkHost& host, LinkOptions options = {});
  ~LinkManager() override;

  // Starts listening on the configured address.  False (and a trace line)
  // when the port is taken: then this client accepts no links, but still
  // makes them.  Without a configured address it waits for ListenOn.
  bool Listen();
  // Without a configured address: listens on `address`, the local end of the
  // chat connection, moving there when it changed since the last call.
  bool ListenOn(const std::string& address);
  bool Listening() const;
  std::string ListeningAddress() const;

  // Removes the links without traffic for the idle time (a timer calls it).
  void RemoveIdleLinks();
  // What the unfinished frames of all links hold against the budget.
  size_t ReceiveCommitted() const;

  // Queues `payload` ("f|" + folded own name + "|" + packet) for peer `name`,
  // creating his link and asking the server for his address when there is
  // none.  False only when no link to him can be made: the caller then
  // sends through the server.  An empty payload only creates the link.
  bool SendDirect(const std::string& name, const std::string& payload);

  // A "p|" answer of the server.  True when it named one of our links (the
  // line is then used up), false for anyone else's request.
  bool OnAddressReply(const std::string& line);

  // The dispatcher swallowed a "DirectLink::TryToConnect" notice from
  // `sender`: he may call us within the notice window.
  void OnConnectNotice(const std::string& sender);

  // The text of the dirconn pane: one line of markup.
  std::string PaneMarkup() const;

  const DirectLink* Find(const std::string& name) const;
  const std::vector<std::unique_ptr<DirectLink>>& Links() const { return links_; }
  size_t PendingCallers() const { return callers_.size(); }

 private:
  struct Caller {
    uint64_t id = 0;
    QTcpSocket* socket = nullptr;
    std::string buffer;
    std::string foldedName;  // from his "a" frame, empty until it arrived
    std::string address;     // where he calls from
    int64_t lastActiveMs = 0;
  };
  struct Notice {
    std::string sender;
    int64_t atMs = 0;
    std::string address;  // the sender's address as the chat server gave it; empty until then
  };

  DirectLink* FindLink(const std::string& name);
  DirectLink* FindFolded(const std::string& folded);
  void QueueFrame(DirectLink& link, const std::string& payload);
  void Connect(DirectLink& link);
  void WaitForAddress(DirectLink& link);
  void SendNotice(const std::string& name);
  void Attach(DirectLink& link, QTcpSocket* socket);
  void OnConnected(DirectLink& link);
  void OnReadable(DirectLink& link);
  // Moves what the link's socket holds into its receive buffer, within bounds.
  void ReadLink(DirectLink& link);
  void ScheduleDelivery();
  void DeliverPending();
  void Deliver(DirectLink& link, const std::string& payload);
  void Flush(DirectLink& link);
  // The link's connection is gone: drops the socket and sets the state
  // that follows; before the handshake no link can be made.
  void Lose(DirectLink& link, int stateAfterLink);
  void FallBackToServer(DirectLink& link);
  void Detach(QTcpSocket* socket);
  // The link `l` still exists and is on connection attempt `attempt`.
  bool Current(const DirectLink* l, uint64_t attempt) const;
  // Counts the link's unfinished frame in the receive budget; false when
  // it does not fit.  An empty buffer gives its memory back.
  bool CommitReceive(DirectLink& link);
  void LoseOverBudget(DirectLink& link);
  void ReleaseReceive(DirectLink& link);
  bool StartListening(const std::string& address);

  void OnNewConnection();
  void OnCallerReadable(Caller* caller);
  void TryAccept(Caller* caller);
  // Makes room for a caller from `address`: the oldest idle caller of that
  // address, or of all, goes when the bound is reached.
  void MakeRoomForCaller(const std::string& address);
  bool NoticeAnswered(const std::string& name, const std::string& address);
  // The notice's sender is known to call from the caller's address.
  static bool FromNoticeAddress(const Caller& caller, const Notice& notice);
  void DropCaller(uint64_t id);
  Caller* FindCaller(uint64_t id);

  void ScheduleRefresh();

  LinkHost& host_;
  LinkOptions options_;
  QTcpServer* server_ = nullptr;
  std::vector<std::unique_ptr<DirectLink>> links_;
  std::vector<std::unique_ptr<Caller>> callers_;
  std::map<std::string, Notice> notices_;  // by folded sender name
  bool refreshPending_ = false;
  bool deliveryPending_ = false;
  uint64_t nextCallerId_ = 1;
  uint64_t nextAttempt_ = 1;
  QTimer* idleTimer_ = nullptr;
};

}  // namespace direct
