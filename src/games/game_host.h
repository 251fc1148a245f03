#pragma once
// What the game channel needs from the chat: sending, the private pane,
// questions, the online list, the own identity, the event reaction, and the
// windows of new games.
#include <cstdint>
#include <functional>
#include <string>

namespace games {

class Game;
class GameView;

class GameHost {
 public:
  virtual ~GameHost() = default;
  // A private chat message to `name`, not shown in the private pane.
  virtual void SendPrivateText(const std::string& name, const std::string& text) = 0;
  // A new line in the private pane, and text appended to its last line.
  virtual void PrivLine(const std::string& markup, uint32_t textColor, uint32_t backColor) = 0;
  virtual void PrivAppend(const std::string& markup, uint32_t textColor, uint32_t backColor) = 0;
  // A Yes/No question titled "Внимание" / "Attention"; `answer` may run
  // later, after other messages were handled.
  virtual void Ask(const std::string& question, std::function<void(bool yes)> answer) = 0;
  virtual bool RussianInterface() const = 0;
  virtual bool PeerHasGameClient(const std::string& name) const = 0;
  virtual std::string OwnVersion() const = 0;   // "2.8"
  virtual std::string LocalUserName() const = 0;
  virtual bool Online() const = 0;
  // The reaction to a game event: sound, and with a view restoring it and
  // bringing the program forward as the settings say.  `view` may be null.
  virtual void GameAttention(GameView* view) = 0;
  // `name` invites the user to a game; `question` is what he is asked.
  virtual void Invited(const std::string& /*name*/, const std::string& /*question*/) {}
  // A chat text as it came over the wire (still escaped), shown as the
  // client shows a private message it sent itself (transliteration, smiley
  // and picture codes).
  virtual std::string ChatTextMarkup(const std::string& text) = 0;
  // A chat text typed by the local user, made ready for sending
  // (transliteration in sending mode, the own picture code).
  virtual std::string OutgoingChatText(const std::string& text) = 0;
  // The window of a new game, or null where nothing is shown.
  virtual GameView* CreateView(Game& game) = 0;
  // A record was written: the Games menu is set up again.
  virtual void GamesMenuChanged() = 0;
};

}  // namespace games
