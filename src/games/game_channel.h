#pragma once
// The game channel: every game message is a private chat message whose text
// begins with the kind's prefix.  One registry of open games per kind (at
// most one game per opponent and kind), the whole message vocabulary, the
// synchronisation by move numbers, and the local actions of the windows.
// No Qt: the chat is reached through GameHost, the windows through GameView.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "games/board_rules.h"
#include "games/game.h"
#include "games/game_traffic.h"

namespace games {

class GameHost;
class GameRecords;

// Which items of the Games menu are enabled.
struct GamesMenuState {
  bool menu = false;
  std::array<bool, 3> newGame{};   // by GameKind
  std::array<bool, 3> loadGame{};  // by GameKind
};

class GameChannel : public GameTraffic {
 public:
  // `records` may be null: then nothing is saved or loaded.
  GameChannel(GameHost& host, const GameRecords* records);
  ~GameChannel() override;
  GameChannel(const GameChannel&) = delete;
  GameChannel& operator=(const GameChannel&) = delete;

  // GameTraffic: what the chat session hands over.
  void GameMessage(GameKind kind, const std::string& text, const std::string& sender, const std::string& lead,
                   uint32_t textColor, uint32_t backColor) override;
  void OwnGameEcho(GameKind kind, const std::string& text, const std::string& addressee, uint32_t textColor,
                   uint32_t backColor) override;
  void SetGameOnline(bool online) override;
  void CloseAllGames() override;

  void HandleGameMessage(GameKind kind, const std::string& text, const std::string& name, const std::string& lead,
                         uint32_t textColor, uint32_t backColor);
  void HandleOwnEcho(GameKind kind, const std::string& text, const std::string& name, const std::string& lead,
                     uint32_t textColor, uint32_t backColor);

  // The Games menu commands and its set-up for the addressees.
  void OfferGame(GameKind kind, const std::string& name);
  void LoadLastGame(GameKind kind, const std::string& name);
  GamesMenuState MenuState(const std::vector<std::string>& addressees) const;

  // The window's actions, by kind and opponent.
  LocalPlay LocalMove(GameKind kind, const std::string& name, int from, int to, int8_t promotion);
  void OfferDraw(GameKind kind, const std::string& name);
  void Surrender(GameKind kind, const std::string& name);
  void OnceMore(GameKind kind, const std::string& name);
  void Ping(GameKind kind, const std::string& name);
  void Say(GameKind kind, const std::string& name, const std::string& text);
  // The user closed the window: the game is saved and leaves the registry;
  // the view is already going and is not called again.
  void WindowClosed(GameKind kind, const std::string& name);

  Game* Find(GameKind kind, const std::string& name) const;
  size_t GameCount(GameKind kind) const;
  // Games of every kind, each with its window.
  size_t OpenGames() const;

  // At most this many game windows at once: further invitations are declined.
  static constexpr size_t kMaxOpenGames = 8;
  // The whole game is sent to an opponent at most once in this time.
  static constexpr int64_t kPartyIntervalMs = 10'000;
  // Milliseconds of a steady clock (tests set their own).
  void SetClock(std::function<int64_t()> nowMs) { clock_ = std::move(nowMs); }

 private:
  using Registry = std::map<std::string, std::unique_ptr<Game>>;

  // Every game message leaves here: the prefix, then the text.
  void SendGameText(GameKind kind, const std::string& name, std::string_view text);
  void Attention(Game* game);
  void Ask(GameKind kind, const std::string& name, const std::string& ru, const std::string& en,
           std::function<void(bool)> answer);
  Game& Create(GameKind kind, const std::string& name, bool white);
  Game* CreateFromRecord(GameKind kind, const std::string& name);
  // The PartyText of the record for `name`; a damaged record is reported.
  std::optional<std::string> ReadRecord(GameKind kind, const std::string& name);
  // Saves and removes the game; `tellView` when the view must close too.
  void Close(GameKind kind, const std::string& name, bool tellView);
  void SendParty(const Game& game);
  static std::string KeyOf(GameKind kind, const std::string& name);
  // A game with `name` exists or one more may be opened.
  bool RoomFor(GameKind kind, const std::string& name) const;
  void NoRoomNote(const std::string& name);
  void AskToPlay(GameKind kind, const std::string& name, bool askFirst);
  void DeclareDraw(Game& game);
  void VersionRule(GameKind kind, const std::string& name, std::string_view version);
  void PingRule(Game& game, std::string_view count);
  void MoveRule(GameKind kind, const std::string& name, std::string_view text);

  // Received messages: one handler per word of the channel.
  struct Incoming;
  struct WordHandler {
    std::string_view word;
    bool prefix;    // the word is followed by a value
    bool drawOnly;  // only in games with draw offers
    void (GameChannel::*handle)(const Incoming&);
  };
  static const std::vector<WordHandler>& Handlers();
  void OnOnceMore(const Incoming& in);
  void OnOfferDraw(const Incoming& in);
  void OnDraw(const Incoming& in);
  void OnNoDraw(const Incoming& in);
  void OnNoPlay(const Incoming& in);
  void OnLetUs(const Incoming& in);
  void OnStop(const Incoming& in);
  void OnSynchronize(const Incoming& in);
  void OnSurrender(const Incoming& in);
  void OnPong(const Incoming& in);
  void OnParty(const Incoming& in);
  void OnPing(const Incoming& in);
  void OnChat(const Incoming& in);
  void OnVersion(const Incoming& in);
  void OnContinue(const Incoming& in);
  void ChatText(GameKind kind, const std::string& name, const std::string& who, const std::string& lead,
                const std::string& text, uint32_t textColor, uint32_t backColor);
  void ChatNote(Game& game, const std::string& markup, uint32_t color = 0x000000);
  void Changed(Game& game);

  GameHost& host_;
  const GameRecords* records_;
  std::array<Registry, 3> games_;
  std::array<bool, 3> available_{};  // the kind's rules are part of the build
  // Answers to questions that arrive after the channel is gone are dropped.
  std::shared_ptr<bool> alive_;
  std::set<std::string> openQuestions_;
  std::set<std::string> invited_;              // KeyOf: our invitations not answered yet
  std::map<std::string, int64_t> lastParty_;   // KeyOf: when the whole game was last sent
  std::function<int64_t()> clock_;
};

}  // namespace games
