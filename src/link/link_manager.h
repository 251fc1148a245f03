#pragma once
// The direct links of this client: one per peer, created when data is first
// addressed to him, connected once the server has told his address, and
// accepted from peers who announced themselves through the server.  What
// arrives is handed to the host as raw audio/picture packets.  Everything
// runs on the thread of the event loop and nothing here waits in a nested
// loop.
#include <QObject>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/direct_link.h"
#include "link/link_frame.h"

class QTcpServer;
class QTcpSocket;

namespace direct {

class LinkHost;

struct LinkOptions {
  // The address this client listens on; empty for every address.  Two
  // clients on one machine each take their own loopback address of
  // 127.0.0.0/8 (and should reach the chat server from it, so the server
  // announces that address).  Links to peers go out from it as well.
  std::string localAddress;
  uint16_t port = 3686;                 // listened on and connected to
  int64_t noticeWindowMs = 60'000;      // a caller's notice stays valid this long
  int handshakeWaitMs = 10'000;         // for a caller's "a" frame and his notice
  int connectTimeoutMs = 10'000;        // until the peer's "a" frame
  int addressWaitMs = 10'000;           // for the server's "p|" answer
  size_t maxPendingCallers = 16;        // connections not yet handshaken
  size_t maxFramePayload = kMaxFramePayload;
};

class LinkManager : public QObject {
 public:
  LinkManager(LinkHost& host, LinkOptions options = {});
  ~LinkManager() override;

  // Starts listening.  False (and a trace line) when the port is taken:
  // then this client accepts no links, but still makes them.
  bool Listen();
  bool Listening() const;

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
  };
  struct Notice {
    std::string sender;
    int64_t atMs = 0;
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
  void Deliver(DirectLink& link, const std::string& payload);
  void Flush(DirectLink& link);
  // The link's connection is gone: drops the socket and sets the state
  // that follows; before the handshake no link can be made.
  void Lose(DirectLink& link, int stateAfterLink);
  void FallBackToServer(DirectLink& link);
  void Detach(QTcpSocket* socket);

  void OnNewConnection();
  void OnCallerReadable(Caller* caller);
  void TryAccept(Caller* caller);
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
  uint64_t nextCallerId_ = 1;
};

}  // namespace direct
