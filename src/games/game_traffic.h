#pragma once
// What the chat session hands to the games: game messages from peers, the
// server's confirmation of one's own game messages, and the connection state.
// The game channel implements it; the chat controller only forwards to it.
#include <cstdint>
#include <string>

#include "games/game_kind.h"

namespace games {

class GameTraffic {
 public:
  virtual ~GameTraffic() = default;
  // A private message from `sender` whose text begins with the kind's prefix;
  // `text` is still escaped and keeps its prefix, `lead` is the message time.
  virtual void GameMessage(GameKind kind, const std::string& text, const std::string& sender,
                           const std::string& lead, uint32_t textColor, uint32_t backColor) = 0;
  // The server accepted one's own game message to `addressee`.
  virtual void OwnGameEcho(GameKind kind, const std::string& text, const std::string& addressee,
                           uint32_t textColor, uint32_t backColor) = 0;
  // The client logged in (true) or lost the connection (false).
  virtual void SetGameOnline(bool online) = 0;
  // The main window closes: every game saves itself and goes.
  virtual void CloseAllGames() = 0;
};

}  // namespace games
