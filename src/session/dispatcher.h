#pragma once
// Dispatch: every line from the server, in arrival order.  Chat messages
// are written into the common and private panes here; every other kind of
// line goes to the part that owns it through DispatcherHost.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "games/game_kind.h"
#include "wire/wire.h"
#include "settings/settings.h"

namespace markup {
class MarkupDocument;
}

namespace session {

inline constexpr const char* kDirectLinkNotice = "DirectLink::TryToConnect";


class DispatcherHost {
 public:
  virtual ~DispatcherHost() = default;
  virtual void SendLine(const std::string& line) = 0;
  // Moderator rights and the debug trace both on.
  virtual bool TraceEnabled() = 0;
  virtual void Trace(const std::string& text) = 0;
  virtual void Refused() = 0;
  virtual void Acknowledgement(const wire::Record& record, const std::string& line) = 0;
  virtual void OnlineListRecord(const std::string& body) = 0;
  virtual bool BlackListed(const std::string& name) = 0;
  virtual void React(settings::ReactionSet set) = 0;
  // A private message, or a public one naming the user, from someone else;
  // `text` is the shown markup.
  virtual void PersonalMessage(bool /*isPrivate*/, const std::string& /*sender*/, const std::string& /*text*/) {}
  // Message text (decoded) to markup, smiley and picture codes replaced.
  virtual std::string CodesToMarkup(const std::string& text) = 0;
  virtual void ArchiveLine(const std::string& line) = 0;
  // Game traffic, still escaped and with its prefix.
  virtual void GameMessage(games::GameKind, const std::string& /*text*/, const std::string& /*sender*/,
                           const std::string& /*lead*/, uint32_t /*textColor*/, uint32_t /*backColor*/) {}
  virtual void DirectLinkNotice(const std::string& /*sender*/) {}
  // Service replies.
  virtual void OwnInformation(const wire::Record&) {}
  virtual void Rights(const wire::Record&) {}
  virtual void AddressReply(const wire::Record&) {}
  virtual void WhoisReply(const wire::Record&, const std::string& /*body*/) {}
  virtual void ServiceLine(const std::string& /*line*/) {}  // "p|" and "T|"
  // "f|" + escaped sender + "|" + packet, still escaped.
  virtual void MediaPacket(const std::string& /*line*/) {}
};

class Dispatcher {
 public:
  // Received message texts longer than this are shown cut, with "…".
  static constexpr size_t kMaxShownText = 64 * 1024;
  // Leads (a time or a bold name) and sender names are a few dozen bytes
  // on any real server; longer ones are cut to this.
  static constexpr size_t kMaxLead = 256;
  static constexpr size_t kMaxSenderName = 256;
  // Public lines the duplicate test remembers, the newest.
  static constexpr size_t kRemembered = 10000;

  Dispatcher(settings::Settings& settings, DispatcherHost& host, markup::MarkupDocument& comm,
             markup::MarkupDocument& priv);

  void Dispatch(const std::string& line);

  // The common pane reports every line it destroys, so the duplicate test
  // forgets it.
  void CommLineDestroyed(const std::string& markup);

 private:
  void RecordLine(const std::string& line);
  // A chat message: read, filtered by the black list, routed to a feature
  // (games, direct links) or tested for a repeat and shown.
  struct Incoming;
  enum class Filter { Show, ShowAsBlackListed, Drop };
  void ChatMessage(const wire::Record& record);
  Incoming ReadChatMessage(const wire::Record& record);
  Filter FilterBlackListed(const Incoming& m);
  bool RouteToFeature(const Incoming& m);
  void ShowChatMessage(const wire::Record& record, const Incoming& m, const std::string& commKey, bool blackListed);
  void TraceUnknown(const std::string& line);
  // False when the identity is already remembered (the line is a repeat).
  bool Remember(const std::string& shownKey, const std::string& identity);

  settings::Settings& settings_;
  DispatcherHost& host_;
  markup::MarkupDocument& comm_;
  markup::MarkupDocument& priv_;
  // The duplicate test.  A comm line shows its key (line tag + " - " +
  // lead), which is all its markup tells when it is destroyed; the test
  // itself compares identities (the whole line number and the lead when the
  // record has a number).  Lines leave the pane oldest first, so the
  // identities behind one shown key are kept in arrival order.  Only the
  // newest kRemembered public lines are remembered, so the test costs the
  // same whatever the pane holds; a repeat comes soon after its line (the
  // room archive at login), never a hundred thousand lines later.
  struct Remembered {
    std::string key;
    bool gone = false;  // its line left the pane
  };
  void Forget(const std::string& key);
  std::deque<Remembered> recent_;  // oldest first
  uint64_t firstSerial_ = 0;       // serial number of recent_.front()
  // The identities behind one key, oldest first.  Most keys have one; a
  // busy second gives one key thousands.  A deque would take half a
  // kilobyte for every key; this takes what it holds and drops its front
  // at amortized constant cost.
  struct Identities {
    std::vector<std::pair<uint64_t, std::string>> items;
    size_t head = 0;
    const std::pair<uint64_t, std::string>& front() const { return items[head]; }
    bool empty() const { return head == items.size(); }
    void pop_front() {
      if (++head * 2 < items.size()) return;
      items.erase(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(head));
      head = 0;
    }
  };
  std::unordered_map<std::string, Identities> commKeys_;
  std::unordered_map<std::string, int> commIdentities_;
  size_t olderShown_ = 0;  // public lines in the pane older than the remembered ones
};

}  // namespace session
