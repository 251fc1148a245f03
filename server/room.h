#pragma once
// The chat room: every connected client's session, the login rules, the
// online list, relaying of public and private messages with their
// acknowledgements, offline delivery, the service requests (information,
// settings, addresses, WHOIS, fines) and the positional "p", "m" and "f"
// lines.  It knows nothing of sockets: connections are numbers, and whatever
// it sends goes through RoomOutput.
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <set>
#include <string>
#include <vector>

#include "server/login_guard.h"
#include "server/room_peers.h"
#include "server/store.h"
#include "server/token_bucket.h"
#include "wire/wire.h"

namespace chatd {

using ClientId = uint64_t;

class RoomOutput {
 public:
  virtual ~RoomOutput() = default;
  // Queues one whole line (with its line feed) for the client.
  virtual void Send(ClientId id, const std::string& line) = 0;
  // Closes the client after what was queued has been written.  The room has
  // already forgotten the client when it calls this.
  virtual void Close(ClientId id) = 0;
  // Reads nothing more from the client for `ms`: he sends faster than he may.
  virtual void Hold(ClientId id, int64_t ms) = 0;
  // Runs `task` from the event loop after `ms`, never inside a line's handling.
  virtual void Later(int64_t ms, std::function<void()> task) = 0;
  // True while so much waits for the client (or for all of them) that what
  // can wait, such as the online list, had better wait.
  virtual bool Backlogged(ClientId id) const = 0;
};

struct RoomOptions {
  std::vector<std::string> moderators;  // names given with --moderator
  // Photo numbers ("1,2") given to an account with --photos, by account key;
  // the pictures are <data>/photos/<name>_<n>.jpg.
  std::map<std::string, std::string> photos;
  std::string botName;                  // empty: no bot
  std::function<int64_t()> now;         // seconds since 1970; the system clock when empty
  std::function<int64_t()> nowMs;       // a steady clock in milliseconds; the system's when empty
  size_t maxMessageBytes = 64 * 1024;   // longer message texts are cut
  int archiveLines = 1000;              // public lines kept for the archive pages
  // Private messages kept for users who are offline: per addressee, and
  // per sender over all his addressees.
  int maxKeptPerUser = 1000;
  int64_t maxKeptBytesPerUser = 8 << 20;
  int maxKeptPerSender = 100;
  int64_t maxKeptBytesPerSender = 1 << 20;
  // Kept messages reach a user who logs in this much at a time, so his
  // client stays responsive while they arrive.
  size_t keptPageBytes = 128 * 1024;
  int keptPageMs = 100;
  // Each connection gets the online list at most once per interval.
  int listIntervalMs = 250;
  // What one user may send to the whole room; past it he is read slower.
  int64_t publicBytesPerSecond = 16 * 1024;
  int64_t publicBurstBytes = 256 * 1024;
  LoginLimits login;
};

class Bot;

class Room {
 public:
  Room(Store& store, RoomOptions options, RoomOutput& output);
  ~Room();

  void Connect(ClientId id, const std::string& address);
  void Receive(ClientId id, const std::string& line);
  void Disconnect(ClientId id);  // the connection is gone
  bool IsLoggedIn(ClientId id) const;
  // Called about once a minute: lets the bot talk now and then.
  void Tick();

  // For the web side.
  struct OnlineUser {
    std::string name;
    std::string address;
    std::string version;
  };
  std::vector<OnlineUser> Online() const;
  bool IsModerator(const std::string& name) const;
  // Applies a fine as a moderator's Fine request would; false when the
  // target has no account.
  bool ApplyFine(const std::string& moderator, const std::string& target, int periodCode, int type, bool checkIp);
  std::string WhoisText(const std::string& query);
  int64_t Now() const;
  Store& store() { return store_; }

  // Several nodes serving one room: `peers` reaches the others, `node`
  // (1…kMaxNode) is this one's number, unique among them.
  void SetPeers(RoomPeers* peers, int node);
  // A payload from another node, as the transport got it.
  void FromPeer(const std::string& payload);
  // About once a second: tells the others this node lives, and forgets
  // the users of nodes that have gone silent.
  void PeerBeat();
  // The transport is (again) connected: ask every node for its users.
  void PeerHello();
  // Writes the public lines not yet in the store (they are written in
  // batches, one transaction each).
  void FlushArchive();

 private:
  struct Session {
    ClientId id = 0;
    std::string address;
    bool loggedIn = false;
    bool bot = false;
    int64_t accountId = 0;
    std::string name, key;
    std::string version;
    char sex = 0;
    bool sound = false;
    bool hasInfo = false;
    std::string backColor = "#ffffff", textColor = "#000000";
    bool moderator = false;
    std::vector<Fine> fines;  // this user's fines, read at login and after every fine
    // The online list: the version this client has and when it got it.
    uint64_t listVersion = 0;
    int64_t listSentMs = 0;
    int64_t loginStamp = 0;  // wall clock ms: of two logins, the newer wins
    std::optional<TokenBucket> publicBudget;
    // A login waiting out a backoff, and the lines that came after it.
    bool loginHeld = false;
    std::vector<std::string> heldLines;
    size_t heldBytes = 0;
  };
  friend class Bot;
  // A user logged in at another node, as that node announced him.
  struct RemoteUser {
    int node = 0;
    std::string name, version, address;
    char sex = 0;
    bool sound = false, hasInfo = false, bot = false;
    int64_t stamp = 0;
  };

  Session* Find(ClientId id);
  Session* FindOnline(const std::string& key);
  void Send(const Session& s, const std::string& line);
  // The connection's name in the log, the same the socket side uses.
  static std::string Who(const Session& s);
  void Refuse(ClientId id, const std::string& why);
  void Drop(ClientId id);  // forget and close

  // Checks a login line at once or, after failed logins, once the backoff
  // has passed.
  void BeginLogin(Session& s, const std::string& line);
  void HandleLogin(Session& s, const std::string& line);
  // Hands a logged-in user the next page of his kept messages.
  void DeliverKept(ClientId id);
  // Runs work that comes from a timer as a line's handling would run.
  void RunOutside(const std::function<void()>& work);
  int64_t NowMs() const;
  void HandleRecord(Session& s, const wire::Record& r, const std::string& line);
  void HandleMessage(Session& s, const wire::Record& r);
  void HandleConfirmation(Session& s, const wire::Record& r);
  void HandleGetInfo(Session& s, const wire::Record& r);
  void HandleSettings(Session& s, const wire::Record& r);
  void HandleGetIp(Session& s, const wire::Record& r);
  void HandleWhois(Session& s, const wire::Record& r);
  void HandleFine(Session& s, const wire::Record& r);
  void HandleAddressRequest(Session& s, const std::string& line);
  void HandleNotice(Session& s, const std::string& line);
  void HandleRelay(Session& s, const std::string& line);

  void SendPublic(Session& from, const std::string& text, const std::string& mid);
  // Delivers to every addressee online and keeps it for the others; the
  // status for the sender: "Ok" (all online), "OkNr" (some kept for later)
  // or "NoUser" (nobody got or kept it).
  std::string SendPrivate(Session& from, const std::vector<std::string>& to, const std::string& text,
                          const std::string& mid);
  std::string MessValue(const std::string& name, const std::string& escapedText) const;
  // The list changed: every online client gets the new one, each at most
  // once per interval and not while his queue is backlogged.
  void ListChanged();
  void ScheduleListRound(int64_t ms);
  void ListRound();
  void SendList(Session& s, int64_t nowMs);
  const std::string& OnlineListLine();
  // Private messages between two users in the last minutes: whoever had
  // one may learn the other's address for a direct link.
  void NoteExchange(const std::string& a, const std::string& b);
  bool Exchanged(const std::string& a, const std::string& b);
  std::vector<int> ActiveFineTypes(const Session& s) const;
  // The user's own fines and, unless he is a moderator, the fines with the
  // IP test given to anyone at his address.
  std::vector<Fine> FinesFor(const std::string& key, const std::string& address, bool moderator);
  // After a fine changed: every session's fines read again, and whoever may
  // no longer be on the server is sent away.
  void RefreshFines();
  std::string ModeratorEcho(const Session& s) const;
  void RunDeferred();

  // Other nodes (room_cluster.cpp).
  const RemoteUser* FindRemote(const std::string& key) const;
  std::string Presence(const Session& s) const;  // the "on" message
  void Announce(const Session& s);
  void AnnounceGone(const Session& s);
  // Hands a line to the node holding `key`; false when no node does.
  bool LineToPeer(const std::string& key, const std::string& line);
  void PeerPublic(const PeerMessage& m);
  void PeerPrivate(const PeerMessage& m);
  void PeerLine(const PeerMessage& m);
  void PeerOnline(const PeerMessage& m);
  void PeerOffline(const PeerMessage& m);
  void NodeSeen(int node);
  void TellUsers(int node);  // our users' presence, to one node
  void ForgetNode(int node);
  int64_t WallMs() const;
  int64_t NextLineNo();

  Store& store_;
  RoomOptions options_;
  RoomOutput& output_;
  std::map<ClientId, Session> sessions_;
  std::vector<ClientId> onlineOrder_;  // logged-in sessions in login order
  std::map<std::string, ClientId> onlineByKey_;
  std::set<std::string> moderatorKeys_;
  LoginGuard loginGuard_;
  uint64_t listVersion_ = 1;
  std::string listLine_;
  uint64_t listLineVersion_ = 0;
  bool listRoundDue_ = false;
  std::unordered_map<std::string, int64_t> exchanges_;  // "a\nb" (a < b) -> last message, ms
  int64_t exchangesPrunedMs_ = 0;
  int64_t lineNo_ = 0;
  // Public lines not yet in the store.  Only the newest archiveLines can
  // ever be shown, so older ones are forgotten before they cost a write.
  std::deque<ArchiveLine> unsavedArchive_;
  size_t unsavedBytes_ = 0;
  int flushes_ = 0;
  std::unique_ptr<Bot> bot_;
  std::deque<std::function<void()>> deferred_;  // work queued while a line is handled
  bool running_ = false;
  RoomPeers* peers_ = nullptr;
  int node_ = 0;
  std::unordered_map<std::string, RemoteUser> remote_;  // by account key
  std::map<int, int64_t> nodeSeenMs_;                   // other nodes: when last heard
};

}  // namespace chatd
