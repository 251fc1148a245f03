#pragma once
// GameWindows: the games of the main window.  It owns the game channel and
// the records, takes the game traffic from the chat session (unescaping it
// on the way), serves the channel as its host (private lines through the
// connection, notes in the private pane, questions, the online list, the
// event reaction), opens the game windows and keeps the Games menu set up.
#include <functional>
#include <memory>
#include <string>

#include "games/game_host.h"
#include "games/game_traffic.h"

class QAction;
class QWidget;

namespace games {
class GameChannel;
class GameRecords;
}  // namespace games

namespace window {

class ChatSession;

// What the games need of the main window.
struct GameWindowsAccess {
  std::function<QAction*(const std::string& name)> action;
  std::function<bool()> noSound;
  std::function<void(const std::string& file)> playWave;
  std::function<void(const std::string& text)> copyToMessageLine;
  // A game invitation, for the desktop while the main window is not active.
  std::function<void(const std::string& name, const std::string& question)> invited;
  // While the settings dialog is open, game windows do not come forward.
  std::function<bool()> settingsDialogOpen;
};

class GameWindows : public games::GameTraffic, private games::GameHost {
 public:
  // `parent` carries the questions; it must outlive this object.
  GameWindows(ChatSession& session, QWidget* parent, GameWindowsAccess access);
  ~GameWindows() override;

  games::GameChannel& Channel() { return *channel_; }

  // The Games menu: its commands, and its state for the addressees.
  void WireMenu();
  void RefreshMenu();
  // Every open game window in the current language.
  void Retitle();
  // Repaints every board, after the settings changed (the highlighting).
  void RedrawBoards();
  void SetOnline(bool online) { SetGameOnline(online); }
  // The pause between animation frames of windows opened from now on.
  void SetFrameDelay(int ms) { frameDelayMs_ = ms; }

  // GameTraffic
  void GameMessage(games::GameKind kind, const std::string& text, const std::string& sender,
                   const std::string& lead, uint32_t textColor, uint32_t backColor) override;
  void OwnGameEcho(games::GameKind kind, const std::string& text, const std::string& addressee,
                   uint32_t textColor, uint32_t backColor) override;
  void SetGameOnline(bool online) override;
  void CloseAllGames() override;

 private:
  // GameHost
  void SendPrivateText(const std::string& name, const std::string& text) override;
  void PrivLine(const std::string& markup, uint32_t textColor, uint32_t backColor) override;
  void PrivAppend(const std::string& markup, uint32_t textColor, uint32_t backColor) override;
  void Ask(const std::string& question, std::function<void(bool yes)> answer) override;
  bool RussianInterface() const override;
  bool PeerHasGameClient(const std::string& name) const override;
  std::string OwnVersion() const override;
  std::string LocalUserName() const override;
  bool Online() const override;
  void GameAttention(games::GameView* view) override;
  void Invited(const std::string& name, const std::string& question) override {
    if (access_.invited) access_.invited(name, question);
  }
  std::string ChatTextMarkup(const std::string& text) override;
  std::string OutgoingChatText(const std::string& text) override;
  games::GameView* CreateView(games::Game& game) override;
  void GamesMenuChanged() override { RefreshMenu(); }

  std::string SingleAddressee() const;

  ChatSession& session_;
  QWidget* parent_;
  GameWindowsAccess access_;
  std::unique_ptr<games::GameRecords> records_;
  std::unique_ptr<games::GameChannel> channel_;
  int frameDelayMs_ = 30;
};

}  // namespace window
