#pragma once
// Dispatch: every line from the server, in arrival order.  Chat messages
// are written into the common and private panes here; every other kind of
// line goes to the part that owns it through DispatcherHost.
#include <cstdint>
#include <string>
#include <unordered_map>

#include "session/wire.h"

namespace markup {
class MarkupDocument;
}
namespace media {
class Settings;
}

namespace session {

enum class GameKind { Chess, Checkers, Reversi };

// Game prefixes inside private message texts.
inline constexpr const char* kChessPrefix = "Gm:Chs:";
inline constexpr const char* kCheckersPrefix = "Gm:Chk:";
inline constexpr const char* kReversiPrefix = "Gm:Rvs:";
inline constexpr const char* kDirectLinkNotice = "DirectLink::TryToConnect";

// Reaction sets: which event made the sound or raised the window.
enum ReactionSet { kReactPublic = 0, kReactPersonal = 1, kReactFriend = 2, kReactGame = 3 };

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
  virtual void React(ReactionSet set) = 0;
  // Message text (decoded) to markup, smiley and picture codes replaced.
  virtual std::string CodesToMarkup(const std::string& text) = 0;
  virtual void ArchiveLine(const std::string& line) = 0;
  // Game traffic, still escaped and with its prefix.
  virtual void GameMessage(GameKind, const std::string& /*text*/, const std::string& /*sender*/,
                           const std::string& /*lead*/, uint32_t /*textColour*/, uint32_t /*backColour*/) {}
  virtual void DirectLinkNotice(const std::string& /*sender*/) {}
  // Service replies.
  virtual void OwnInformation(const wire::Record&) {}
  virtual void Rights(const wire::Record&) {}
  virtual void AddressReply(const wire::Record&) {}
  virtual void WhoisReply(const wire::Record&) {}
  virtual void ServiceLine(const std::string& /*line*/) {}  // "p|" and "T|"
};

class Dispatcher {
 public:
  // Received message texts longer than this are shown cut, with "…".
  static constexpr size_t kMaxShownText = 64 * 1024;

  Dispatcher(media::Settings& settings, DispatcherHost& host, markup::MarkupDocument& comm,
             markup::MarkupDocument& priv);

  void Dispatch(const std::string& line);

  // The common pane reports every line it destroys, so the duplicate test
  // forgets it.
  void CommLineDestroyed(const std::string& markup);

 private:
  void RecordLine(const std::string& line);
  void ChatMessage(const wire::Record& record);
  void TraceUnknown(const std::string& line);
  bool SeenInComm(const std::string& key) const;

  media::Settings& settings_;
  DispatcherHost& host_;
  markup::MarkupDocument& comm_;
  markup::MarkupDocument& priv_;
  // Duplicate-test keys (line tag + " - " + lead) of the lines in comm.
  std::unordered_map<std::string, int> commKeys_;
};

}  // namespace session
