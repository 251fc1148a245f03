#pragma once
// Two (or more) game channels talking to each other through their hosts, the
// way two clients talk through the chat server: every sent game message is
// queued and delivered to the addressee's channel, and a chat, ping or pong
// comes back to the sender as its own echo.  Questions are answered by the
// test, views record what they were told.
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "games/game.h"
#include "games/game_channel.h"
#include "games/game_host.h"
#include "games/game_records.h"
#include "games/game_view.h"
#include "text/bytes.h"
#include "wire/wire.h"

namespace games_test {

using namespace games;

struct RecordingView : GameView {
  std::vector<std::string> chat;
  int changed = 0, opponentMoves = 0;
  bool closed = false;
  void GameChanged() override { ++changed; }
  void MoveListChanged() override {}
  void ChatLine(const std::string& markup, uint32_t, uint32_t) override { chat.push_back(markup); }
  void ChatAppend(const std::string& markup, uint32_t, uint32_t) override {
    if (chat.empty()) chat.emplace_back();
    chat.back() += markup;
  }
  void OpponentMoved(int) override { ++opponentMoves; }
  void GameClosed() override { closed = true; }
};

struct Network;

struct Player : GameHost {
  Player(Network& net, std::string name, const std::string& dir)
      : net(net), name(std::move(name)), records(dir), channel(*this, &records) {
    channel.SetClock([this] { return NetNow(); });
  }
  int64_t NetNow() const;

  Network& net;
  std::string name;
  // The views outlive the channel, which tells them when it goes.
  std::vector<std::unique_ptr<RecordingView>> views;
  GameRecords records;
  GameChannel channel;
  std::string version = "2.8";
  bool online = true;
  std::set<std::string> gameClients;  // peers shown with this client
  std::vector<std::string> priv;
  std::vector<std::string> questions;   // every question asked, in order
  std::deque<std::function<void(bool)>> pending;
  int attention = 0, menuChanges = 0;

  // Answers the oldest open question.
  void Answer(bool yes) {
    auto a = std::move(pending.front());
    pending.pop_front();
    a(yes);
  }
  RecordingView* ViewOf(GameKind kind, const std::string& opponent) {
    Game* g = channel.Find(kind, opponent);
    return g ? static_cast<RecordingView*>(g->view) : nullptr;
  }

  void SendPrivateText(const std::string& to, const std::string& text) override;
  void PrivLine(const std::string& markup, uint32_t, uint32_t) override { priv.push_back(markup); }
  void PrivAppend(const std::string& markup, uint32_t, uint32_t) override { priv.back() += markup; }
  void Ask(const std::string& question, std::function<void(bool)> answer) override {
    questions.push_back(question);
    pending.push_back(std::move(answer));
  }
  bool RussianInterface() const override { return false; }
  bool PeerHasGameClient(const std::string& peer) const override { return gameClients.count(peer) > 0; }
  std::string OwnVersion() const override { return version; }
  std::string LocalUserName() const override { return name; }
  bool Online() const override { return online; }
  void GameAttention(GameView*) override { ++attention; }
  std::string ChatTextMarkup(const std::string& text) override { return text; }
  std::string OutgoingChatText(const std::string& text) override { return text; }
  GameView* CreateView(Game&) override {
    views.push_back(std::make_unique<RecordingView>());
    return views.back().get();
  }
  void GamesMenuChanged() override { ++menuChanges; }
};

struct Message {
  std::string from, to, text;
};

struct Network {
  std::map<std::string, Player*> players;
  int64_t nowMs = 1'000'000;  // the players' clock
  std::deque<Message> queue;
  std::vector<Message> sent;  // everything ever sent, in order
  int dropNext = 0;           // messages to lose on the way

  // Delivers until nothing is left; false when the players never stop.
  bool Pump(int limit = 1000) {
    while (!queue.empty()) {
      if (--limit < 0) return false;
      Message m = queue.front();
      queue.pop_front();
      const auto kind = GameKindOf(m.text);
      if (!kind) continue;
      // The chat carries the text escaped inside its record field.
      if (auto it = players.find(m.to); it != players.end())
        it->second->channel.GameMessage(*kind, wire::EscapeField(m.text), m.from, "12:00:00", 0x000000, 0xFFFFFF);
      // The server confirms delivery; chat, ping and pong show as own echo.
      const std::string body = m.text.substr(7);
      if (text::StartsWith(body, "Chat:") || text::StartsWith(body, "Ping:") || text::StartsWith(body, "Pong"))
        players[m.from]->channel.OwnGameEcho(*kind, m.text, wire::EscapeField(m.to), 0x000000, 0xFFFFFF);
    }
    return true;
  }
  // The texts (after the prefix) `from` sent since message number `since`.
  std::vector<std::string> SentBy(const std::string& from, size_t since = 0) const {
    std::vector<std::string> out;
    for (size_t i = since; i < sent.size(); ++i)
      if (sent[i].from == from) out.push_back(sent[i].text.substr(7));
    return out;
  }
};

inline void Player::SendPrivateText(const std::string& to, const std::string& text) {
  net.sent.push_back({name, to, text});
  if (net.dropNext > 0) {
    --net.dropNext;
    return;
  }
  net.queue.push_back({name, to, text});
}

// A fresh directory for one test's records.
inline std::string TempDir(const std::string& label) {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("chat-games-" + label + "-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

inline int64_t Player::NetNow() const { return net.nowMs; }

}  // namespace games_test
