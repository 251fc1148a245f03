// The game channel as a hostile peer reaches it.  The first byte picks the
// game and how the local side answers questions; the second the state the
// channel is in before the messages come (no game, an invitation of ours
// waiting, a game running, a game ended, every window taken); the rest is
// game messages, one per line, as peers "P0".."P3" send them.  A line that
// begins with "R" is a saved record of the game with "P0" instead, read and
// loaded as the Games menu does.  Whatever comes, the channel keeps at most
// its number of windows, sends nothing unbounded, and every game it holds
// writes a Party that reads back to the same game.
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "games/board_rules.h"
#include "games/game.h"
#include "games/game_channel.h"
#include "games/game_host.h"
#include "games/game_kind.h"
#include "games/game_records.h"
#include "games/game_view.h"

namespace {

using namespace games;

struct NullView : GameView {
  void GameChanged() override {}
  void MoveListChanged() override {}
  void ChatLine(const std::string&, uint32_t, uint32_t) override {}
  void ChatAppend(const std::string&, uint32_t, uint32_t) override {}
  void OpponentMoved(int) override {}
  void GameClosed() override {}
};

struct Host : GameHost {
  std::vector<std::function<void(bool)>> questions;
  size_t sentBytes = 0;
  size_t sentTexts = 0;
  bool peersHaveClient = true;
  NullView view;

  void SendPrivateText(const std::string&, const std::string& text) override {
    sentBytes += text.size();
    ++sentTexts;
  }
  void PrivLine(const std::string&, uint32_t, uint32_t) override {}
  void PrivAppend(const std::string&, uint32_t, uint32_t) override {}
  void Ask(const std::string&, std::function<void(bool)> answer) override { questions.push_back(std::move(answer)); }
  bool RussianInterface() const override { return true; }
  bool PeerHasGameClient(const std::string&) const override { return peersHaveClient; }
  std::string OwnVersion() const override { return "2.8"; }
  std::string LocalUserName() const override { return "Me"; }
  bool Online() const override { return true; }
  void GameAttention(GameView*) override {}
  std::string ChatTextMarkup(const std::string& text) override { return text; }
  std::string OutgoingChatText(const std::string& text) override { return text; }
  GameView* CreateView(Game&) override { return &view; }
  void GamesMenuChanged() override {}
};

// A game's Party, loaded into a fresh game, writes the same Party.
void CheckRoundTrip(const Game& game) {
  Game copy(game.Kind(), game.Opponent(), true, MakeRules(game.Kind()));
  copy.LoadParty(game.PartyText());
  FUZZ_CHECK(copy.PartyText() == game.PartyText());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const GameKind kind = kAllGameKinds[data[0] % 3];
  const bool yes = data[0] & 4;
  const std::string prefix(PrefixOf(kind));
  Host host;
  host.peersHaveClient = data[0] & 8;
  const std::string dir = fuzz::ScratchDir() + "/records/";
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::filesystem::create_directories(dir, ec);
  GameRecords records(dir);
  {
    GameChannel channel(host, &records);
    auto answerAll = [&] {
      for (size_t i = 0; i < host.questions.size() && i < 64; ++i) {
        auto answer = std::move(host.questions[i]);
        answer(yes);
      }
      host.questions.clear();
    };
    const std::string letUs = prefix + (data[1] & 16 ? "Let us. I play white" : "Let us. I play black");
    switch (data[1] % 5) {
      case 0: break;
      case 1: channel.OfferGame(kind, "P0"); break;
      case 2:
        channel.OfferGame(kind, "P0");
        channel.HandleGameMessage(kind, letUs, "P0", "", 0, 0xFFFFFF);
        break;
      case 3:
        channel.OfferGame(kind, "P0");
        channel.HandleGameMessage(kind, letUs, "P0", "", 0, 0xFFFFFF);
        channel.Surrender(kind, "P0");
        break;
      case 4:
        for (int i = 0; i < 8; ++i) {
          const std::string name = "Q" + std::to_string(i);
          channel.OfferGame(kind, name);
          channel.HandleGameMessage(kind, letUs, name, "", 0, 0xFFFFFF);
        }
        break;
    }
    answerAll();
    std::string_view rest = fuzz::Bytes(data + 2, size - 2);
    int line = 0;
    while (!rest.empty() && line < 200) {
      const size_t end = rest.find('\n');
      const std::string_view text = rest.substr(0, end);
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
      const std::string sender = "P" + std::to_string(line++ % 4);
      if (!text.empty() && text[0] == 'R') {
        std::ofstream(records.PathOf(kind, "P0"), std::ios::binary) << text.substr(1);
        channel.LoadLastGame(kind, "P0");
      } else {
        channel.HandleGameMessage(kind, prefix + std::string(text), sender, "", 0, 0xFFFFFF);
      }
      answerAll();
      FUZZ_CHECK(channel.OpenGames() <= GameChannel::kMaxOpenGames);
    }
    for (const char* name : {"P0", "P1", "P2", "P3"})
      if (const Game* game = channel.Find(kind, name)) CheckRoundTrip(*game);
    // What a peer makes this client send stays in proportion to what he sent.
    FUZZ_CHECK(host.sentTexts <= 16 + 8 * size_t(line));
  }
  return 0;
}
