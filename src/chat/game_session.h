#pragma once
// GameSession: the games of the chat, without widgets.  It owns the game
// channel and the records, registers the channel for the game traffic of
// the chat, and serves the channel as its host: private lines and notes
// through the chat services, and what only windows can do through
// GameScreen.
#include <functional>
#include <memory>
#include <string>

#include "games/game_channel.h"
#include "games/game_host.h"

namespace games {
class GameRecords;
}

namespace window {

class ChatServices;

// What the games need of the windows.
class GameScreen {
 public:
  virtual ~GameScreen() = default;
  // A Yes/No question that does not block; `answer` runs when it is answered.
  virtual void Ask(const std::string& question, std::function<void(bool yes)> answer) = 0;
  // The window of a new game, or null where nothing is shown.
  virtual games::GameView* CreateView(games::Game& game) = 0;
  // A game event: the view (may be null) restored and raised, and the sound,
  // as the game reaction set says.
  virtual void Attention(games::GameView* view) = 0;
  // `name` invites the user; the desktop is told while the window is inactive.
  virtual void Invited(const std::string& name, const std::string& question) = 0;
  // A record was written or the addressees changed: the Games menu again.
  virtual void GamesMenuChanged() = 0;
};

class GameSession : private games::GameHost {
 public:
  GameSession(ChatServices& chat, GameScreen& screen);
  ~GameSession() override;

  games::GameChannel& Channel() { return *channel_; }

  // The Games menu for the current addressees, and its commands (to the one
  // addressee; nothing without exactly one).
  games::GamesMenuState MenuState() const;
  void OfferGame(games::GameKind kind);
  void LoadLastGame(games::GameKind kind);

 private:
  std::string SingleAddressee() const;

  // games::GameHost
  void SendPrivateText(const std::string& name, const std::string& text) override;
  void PrivLine(const std::string& markup, uint32_t textColor, uint32_t backColor) override;
  void PrivAppend(const std::string& markup, uint32_t textColor, uint32_t backColor) override;
  void Ask(const std::string& question, std::function<void(bool yes)> answer) override {
    screen_.Ask(question, std::move(answer));
  }
  bool RussianInterface() const override;
  bool PeerHasGameClient(const std::string& name) const override;
  std::string OwnVersion() const override;
  std::string LocalUserName() const override;
  bool Online() const override;
  void GameAttention(games::GameView* view) override { screen_.Attention(view); }
  void Invited(const std::string& name, const std::string& question) override { screen_.Invited(name, question); }
  std::string ChatTextMarkup(const std::string& text) override;
  std::string OutgoingChatText(const std::string& text) override;
  games::GameView* CreateView(games::Game& game) override { return screen_.CreateView(game); }
  void GamesMenuChanged() override { screen_.GamesMenuChanged(); }

  ChatServices& chat_;
  GameScreen& screen_;
  std::unique_ptr<games::GameRecords> records_;
  std::unique_ptr<games::GameChannel> channel_;
};

}  // namespace window
