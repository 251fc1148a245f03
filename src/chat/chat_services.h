#pragma once
// What a feature (games, audio messages, direct links, pictures) may ask of
// the chat.  Features get this one interface, never the session or the
// controller behind it, and register themselves for the traffic they take.
#include <string>
#include <vector>

#include "settings/settings.h"

namespace games {
class GameTraffic;
}
namespace markup {
class MarkupDocument;
}

namespace window {

class MediaTraffic;

class ChatServices {
 public:
  virtual ~ChatServices() = default;

  // Sending: a raw line to the server, and a chat message to addressees
  // (shown in the private pane with its echo when `show`).
  virtual void SendLine(const std::string& line) = 0;
  virtual void SendChatMessage(const std::string& addressees, const std::string& text, bool show) = 0;
  virtual void ShowInfoWindow(const std::string& key, const std::string& title, const std::string& text, int width,
                              int height, bool append) = 0;
  virtual void Trace(const std::string& text) = 0;
  // The trace is being kept (a moderator in debug mode).
  virtual bool TraceEnabled() = 0;

  // Identity, settings and the online state.
  virtual settings::Settings& Settings() = 0;
  virtual bool Connected() const = 0;
  // The local address of the connection to the chat server; empty without one.
  virtual std::string LocalAddressInUse() const = 0;
  virtual const std::vector<std::string>& AddresseeNames() const = 0;
  virtual bool PeerHasGameClient(const std::string& name) const = 0;
  // The peer's client version ("" for none of this kind), see OnlineList.
  virtual std::string ClientInfo(const std::string& name) const = 0;
  virtual bool BlackListed(const std::string& name) = 0;

  // The private pane, and texts made ready for it or for the wire.
  virtual markup::MarkupDocument& PrivatePane() = 0;
  // A received chat text (still escaped) as the panes show it.
  virtual std::string ChatTextMarkup(const std::string& text) const = 0;
  virtual std::string PrepareOwnText(const std::string& text) const = 0;
  // The reaction of `set` (forward, beep or wave as the settings say).
  virtual void React(settings::ReactionSet set) = 0;

  // Where game and media traffic go; null drops it.
  virtual void SetGameTraffic(games::GameTraffic* games) = 0;
  virtual void SetMediaTraffic(MediaTraffic* media) = 0;
};

}  // namespace window
