#pragma once
// GameWindows: the game windows of the main window.  It owns the game
// session (channel and records, without widgets) and serves it as its
// screen: questions, the windows of new games, the reaction to game events;
// and it keeps the Games menu set up.
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "chat/game_session.h"

class QAction;
class QWidget;

namespace window {

class ChatServices;

// The Games menu: the menu itself, and New and Load per game kind.
struct GamesMenu {
  QAction* menu = nullptr;
  std::array<QAction*, 3> newGame{};
  std::array<QAction*, 3> loadGame{};
};

// What the games need of the main window.
struct GameWindowsAccess {
  std::function<bool()> noSound;
  std::function<void(const std::string& file)> playWave;
  std::function<void(const std::string& text)> copyToMessageLine;
  // A game invitation, for the desktop while the main window is not active.
  std::function<void(const std::string& name, const std::string& question)> invited;
  // While the settings dialog is open, game windows do not come forward.
  std::function<bool()> settingsDialogOpen;
};

class GameWindows : private GameScreen {
 public:
  // `parent` carries the questions; it must outlive this object.
  GameWindows(ChatServices& chat, QWidget* parent, GamesMenu menu, GameWindowsAccess access);
  ~GameWindows() override;

  games::GameChannel& Channel() { return session_->Channel(); }

  // The Games menu's state for the addressees.
  void RefreshMenu();
  // Every open game window in the current language.
  void Retitle();
  // Repaints every board, after the settings changed (the highlighting).
  void RedrawBoards();
  void SetOnline(bool online) { session_->Channel().SetGameOnline(online); }
  // The main window closes: every game saves itself and goes.
  void CloseAllGames() { session_->Channel().CloseAllGames(); }
  // The pause between animation frames of windows opened from now on.
  void SetFrameDelay(int ms) { frameDelayMs_ = ms; }

 private:
  // GameScreen
  void Ask(const std::string& question, std::function<void(bool yes)> answer) override;
  games::GameView* CreateView(games::Game& game) override;
  void Attention(games::GameView* view) override;
  void Invited(const std::string& name, const std::string& question) override {
    if (access_.invited) access_.invited(name, question);
  }
  void GamesMenuChanged() override { RefreshMenu(); }

  ChatServices& chat_;
  QWidget* parent_;
  GamesMenu menu_;
  GameWindowsAccess access_;
  std::unique_ptr<GameSession> session_;
  int frameDelayMs_ = 30;
};

}  // namespace window
