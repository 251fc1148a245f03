#include "games/game_channel.h"

#include <chrono>

#include "games/game_host.h"
#include "games/game_records.h"
#include "games/game_texts.h"
#include "games/game_view.h"
#include "games/game_words.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "wire/wire.h"
#include "games/game_notes.h"
#include "text/shown_text.h"

namespace games {
namespace {

constexpr uint32_t kBlack = 0x000000, kWhite = 0xFFFFFF, kRed = 0x0000FF, kSilver = 0xC0C0C0;
constexpr size_t kPrefixSize = 7;
// A whole game of thousands of moves fits in far less; a longer message is
// not from a client and would only cost memory and time.
constexpr size_t kMaxGameMessage = 64 * 1024;

size_t IndexOf(GameKind kind) { return static_cast<size_t>(kind); }

// A version text as a number: digits with an optional "." and fraction.
std::optional<double> VersionNumber(std::string_view v) {
  if (v.empty()) return std::nullopt;
  double whole = 0, scale = 1;
  bool fraction = false, digits = false;
  for (char c : v) {
    if (c == '.' && !fraction) {
      fraction = true;
    } else if (c >= '0' && c <= '9') {
      digits = true;
      if (fraction) {
        scale /= 10;
        whole += (c - '0') * scale;
      } else {
        whole = whole * 10 + (c - '0');
      }
    } else {
      return std::nullopt;
    }
  }
  if (!digits) return std::nullopt;
  return whole;
}

// Nothing a peer typed reaches the wire with a line break in it.
std::string WithoutLineBreaks(std::string s) {
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  return s;
}

}  // namespace

GameChannel::GameChannel(GameHost& host, const GameRecords* records)
    : host_(host), records_(records), alive_(std::make_shared<bool>(true)) {
  for (GameKind kind : kAllGameKinds) available_[IndexOf(kind)] = MakeRules(kind) != nullptr;
}

GameChannel::~GameChannel() {
  *alive_ = false;
  for (Registry& r : games_)
    for (auto& [name, game] : r)
      if (game->view) game->view->GameClosed();
}

// Game traffic arrives as the chat carries it: ";" and "|" escaped inside
// the record's field.  The channel reads the message as it was written.
void GameChannel::GameMessage(GameKind kind, const std::string& text, const std::string& sender,
                              const std::string& lead, uint32_t textColor, uint32_t backColor) {
  HandleGameMessage(kind, wire::UnescapeField(text), sender, lead, textColor, backColor);
}

void GameChannel::OwnGameEcho(GameKind kind, const std::string& text, const std::string& addressee,
                              uint32_t textColor, uint32_t backColor) {
  HandleOwnEcho(kind, text, wire::UnescapeField(addressee), "", textColor, backColor);
}

Game* GameChannel::Find(GameKind kind, const std::string& name) const {
  const Registry& r = games_[IndexOf(kind)];
  const auto it = r.find(name);
  return it == r.end() ? nullptr : it->second.get();
}

size_t GameChannel::GameCount(GameKind kind) const { return games_[IndexOf(kind)].size(); }

void GameChannel::SendGameText(GameKind kind, const std::string& name, std::string_view text) {
  host_.SendPrivateText(name, std::string(PrefixOf(kind)).append(text));
}

void GameChannel::Attention(Game* game) { host_.GameAttention(game ? game->view : nullptr); }

void GameChannel::Ask(GameKind kind, const std::string& name, const std::string& ru, const std::string& en,
                      std::function<void(bool)> answer) {
  // A question that is still open is not put a second time: a peer that
  // repeats a message cannot pile up questions.
  const std::string key = std::to_string(IndexOf(kind)) + '\n' + name + '\n' + en;
  if (!openQuestions_.insert(key).second) return;
  std::weak_ptr<bool> alive = alive_;
  host_.Ask(host_.RussianInterface() ? ru : en, [this, alive, key, answer = std::move(answer)](bool yes) {
    const auto a = alive.lock();
    if (!a || !*a) return;
    openQuestions_.erase(key);
    answer(yes);
  });
}

void GameChannel::Changed(Game& game) {
  if (game.view) {
    game.view->MoveListChanged();
    game.view->GameChanged();
  }
}

void GameChannel::ChatNote(Game& game, const std::string& markup, uint32_t color) {
  if (game.view) game.view->ChatLine(markup, color, kWhite);
}

Game& GameChannel::Create(GameKind kind, const std::string& name, bool white) {
  auto game = std::make_unique<Game>(kind, name, white, MakeRules(kind));
  game->online = host_.Online();
  Game& g = *game;
  games_[IndexOf(kind)][name] = std::move(game);
  g.view = host_.CreateView(g);
  return g;
}

std::optional<std::string> GameChannel::ReadRecord(GameKind kind, const std::string& name) {
  if (!records_) return std::nullopt;
  std::string party;
  switch (records_->Load(kind, name, &party)) {
    case GameRecords::LoadResult::Loaded: return party;
    case GameRecords::LoadResult::Damaged:
      // The file stays as it is, and no game is made of it that could be
      // saved over it later.
      host_.PrivLine(text::Shown(notes::kRecordDamaged) + records_->PathOf(kind, name), kRed,
                     kWhite);
      break;
    case GameRecords::LoadResult::Missing: break;
  }
  return std::nullopt;
}

Game* GameChannel::CreateFromRecord(GameKind kind, const std::string& name) {
  if (!RoomFor(kind, name)) return nullptr;
  const auto party = ReadRecord(kind, name);
  if (!party) return nullptr;
  Game& game = Create(kind, name, true);
  game.LoadParty(*party);
  Changed(game);
  return Find(kind, name);
}

void GameChannel::Close(GameKind kind, const std::string& name, bool tellView) {
  Registry& r = games_[IndexOf(kind)];
  const auto it = r.find(name);
  if (it == r.end()) return;
  std::unique_ptr<Game> game = std::move(it->second);
  r.erase(it);
  lastParty_.erase(KeyOf(kind, name));
  if (!game->silentClose && game->Running()) SendGameText(kind, name, words::kStop);
  if (tellView && game->view) game->view->GameClosed();
  game->view = nullptr;
  if (records_ && records_->Save(*game)) host_.GamesMenuChanged();
}

void GameChannel::WindowClosed(GameKind kind, const std::string& name) {
  if (Game* game = Find(kind, name)) game->view = nullptr;
  Close(kind, name, false);
}

void GameChannel::SetGameOnline(bool online) {
  for (Registry& r : games_)
    for (auto& [name, game] : r) {
      game->online = online;
      if (game->view) game->view->GameChanged();
    }
}

void GameChannel::CloseAllGames() {
  for (GameKind kind : kAllGameKinds) {
    while (!games_[IndexOf(kind)].empty()) {
      const std::string name = games_[IndexOf(kind)].begin()->first;
      games_[IndexOf(kind)].begin()->second->silentClose = true;
      Close(kind, name, true);
    }
  }
}

std::string GameChannel::KeyOf(GameKind kind, const std::string& name) {
  return std::to_string(IndexOf(kind)) + name;
}

size_t GameChannel::OpenGames() const {
  size_t n = 0;
  for (const Registry& r : games_) n += r.size();
  return n;
}

bool GameChannel::RoomFor(GameKind kind, const std::string& name) const {
  return Find(kind, name) || OpenGames() < kMaxOpenGames;
}

void GameChannel::NoRoomNote(const std::string& name) {
  host_.PrivLine(name + text::Shown(": игра не открыта, открыто слишком много игр", ": game not opened, too many games open"), kRed, kWhite);
}

// The whole game goes at most once per interval: stale pings or repeated
// requests cannot make this client send it again and again.
void GameChannel::SendParty(const Game& game) {
  const int64_t now = clock_ ? clock_()
                             : std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count();
  auto [it, fresh] = lastParty_.try_emplace(KeyOf(game.Kind(), game.Opponent()), now);
  if (!fresh) {
    if (now - it->second < kPartyIntervalMs) return;
    it->second = now;
  }
  SendGameText(game.Kind(), game.Opponent(), std::string(words::kParty) + game.PartyTextForOpponent());
}

// One received game message, split into its word and what follows it.
struct GameChannel::Incoming {
  GameKind kind;
  const std::string& name;
  const std::string& lead;
  std::string_view rest;  // the value after a word that carries one
  Game* game;
  uint32_t textColor, backColor;
};

const std::vector<GameChannel::WordHandler>& GameChannel::Handlers() {
  using namespace words;
  static const std::vector<WordHandler> table{
      {kOnceMore, false, false, &GameChannel::OnOnceMore},
      {kOfferDraw, false, true, &GameChannel::OnOfferDraw},
      {kDraw, false, true, &GameChannel::OnDraw},
      {kNoDraw, false, true, &GameChannel::OnNoDraw},
      {kNoPlay, false, false, &GameChannel::OnNoPlay},
      {kLetUsWhite, false, false, &GameChannel::OnLetUs},
      {kLetUsBlack, false, false, &GameChannel::OnLetUs},
      {kStop, false, false, &GameChannel::OnStop},
      {kSynchronize, false, false, &GameChannel::OnSynchronize},
      {kSurrender, false, false, &GameChannel::OnSurrender},
      {kPong, false, false, &GameChannel::OnPong},
      {kParty, true, false, &GameChannel::OnParty},
      {kPing, true, false, &GameChannel::OnPing},
      {kChat, true, false, &GameChannel::OnChat},
      {kVersion, true, false, &GameChannel::OnVersion},
      {kContinue, false, false, &GameChannel::OnContinue},
  };
  return table;
}

void GameChannel::HandleGameMessage(GameKind kind, const std::string& text, const std::string& name,
                                    const std::string& lead, uint32_t textColor, uint32_t backColor) {
  if (!available_[IndexOf(kind)] || !text::StartsWith(text, PrefixOf(kind)) || text.size() > kMaxGameMessage)
    return;
  const std::string_view m = std::string_view(text).substr(kPrefixSize);
  Incoming in{kind, name, lead, {}, Find(kind, name), textColor, backColor};
  if (m == TextsOf(kind).invitation) {
    if (in.game && in.game->Running()) {
      SendParty(*in.game);
    } else if (!RoomFor(kind, name)) {
      // No more windows: declined at once, and the user is told.
      SendGameText(kind, name, words::kNoPlay);
      host_.PrivLine(name + text::Shown(": приглашение к игре отклонено, открыто слишком много игр", ": game invitation declined, too many games open"), kRed, kWhite);
    } else {
      AskToPlay(kind, name, true);
    }
    return;
  }
  for (const WordHandler& h : Handlers()) {
    if (h.drawOnly && !TextsOf(kind).hasDraw) continue;
    if (h.prefix ? text::StartsWith(m, h.word) : m == h.word) {
      in.rest = h.prefix ? m.substr(h.word.size()) : m;
      return (this->*h.handle)(in);
    }
  }
  if (!m.empty() && m[0] >= '0' && m[0] <= '9') MoveRule(kind, name, m);
}

void GameChannel::OnOnceMore(const Incoming& in) {
  const GameKind kind = in.kind;
  const std::string name = in.name;
  Attention(in.game);
  Ask(kind, name, name + text::W(": Сыграем еще?"), name + ": Once more?", [this, kind, name](bool yes) {
    if (yes) AskToPlay(kind, name, false);
    else SendGameText(kind, name, words::kNoPlay);
  });
}

void GameChannel::OnOfferDraw(const Incoming& in) {
  const GameKind kind = in.kind;
  const std::string name = in.name;
  if (!in.game) return SendGameText(kind, name, words::kSynchronize);
  Attention(in.game);
  Ask(kind, name, name + text::W(": Предлагаю ничью"), name + ": Offer draw", [this, kind, name](bool yes) {
    if (!yes) return SendGameText(kind, name, words::kNoDraw);
    Game* g = Find(kind, name);
    if (!g || !g->Running()) return;  // the game ended or went while the question was open
    DeclareDraw(*g);
    SendGameText(kind, name, words::kDraw);
  });
}

void GameChannel::OnDraw(const Incoming& in) {
  if (!in.game) return SendGameText(in.kind, in.name, words::kSynchronize);
  Attention(in.game);
  // Only an answer to the local player's own offer ends a running game.
  if (in.game->Running() && in.game->drawOffered) DeclareDraw(*in.game);
}

void GameChannel::OnNoDraw(const Incoming& in) {
  Attention(in.game);
  if (!in.game) return;
  in.game->drawOffered = false;
  ChatNote(*in.game, text::Shown(notes::kDrawDeclined));
}

void GameChannel::OnNoPlay(const Incoming& in) {
  Attention(in.game);
  if (in.game) ChatNote(*in.game, text::Shown(notes::kNoWish));
  else host_.PrivLine(in.name + ": " + text::Shown(notes::kNoWish), kBlack, kWhite);
}

void GameChannel::OnLetUs(const Incoming& in) {
  const bool white = in.rest == words::kLetUsBlack;
  if (in.game) {
    Attention(in.game);
    in.game->LoadParty(white ? "W;0" : "B;1");
    Changed(*in.game);
    return;
  }
  // A new game only as the answer to an invitation of ours.
  if (invited_.erase(KeyOf(in.kind, in.name)) == 0) return;
  if (!RoomFor(in.kind, in.name)) return NoRoomNote(in.name);
  Create(in.kind, in.name, white);
}

void GameChannel::OnStop(const Incoming& in) {
  if (in.game && host_.PeerHasGameClient(in.name)) {
    ChatNote(*in.game, in.name + text::Shown(notes::kStoppedTheGame), kRed);
    Attention(in.game);
  }
}

void GameChannel::OnSynchronize(const Incoming& in) {
  if (in.game) SendParty(*in.game);
}

void GameChannel::OnSurrender(const Incoming& in) {
  Game* game = in.game ? in.game : CreateFromRecord(in.kind, in.name);
  if (!game) return;
  Attention(game);
  if (!game->Running()) return;
  game->EndWith(kOpponentSurrendered);
  ChatNote(*game, in.name + text::Shown(notes::kSurrenderedNote));
  Changed(*game);
}

void GameChannel::OnPong(const Incoming& in) {
  if (!in.game) return;
  Attention(in.game);
  ChatNote(*in.game, "<b>" + in.name + "</b>: " + text::Shown(notes::kPong), kSilver);
}

void GameChannel::OnParty(const Incoming& in) {
  const GameKind kind = in.kind;
  const std::string name = in.name;
  Attention(in.game);
  const std::string party(in.rest);
  // The last field is the state: a Party without it was cut on its way.
  const size_t lastSemi = party.rfind(';');
  if (lastSemi == std::string::npos || !text::ParseInt(std::string_view(party).substr(lastSemi + 1))) {
    const std::string note = text::Shown("Партия от ", "The game record from ") + name + text::Shown(" пришла не целиком и не загружена", " arrived incomplete and was not loaded");
    if (in.game) ChatNote(*in.game, note, kRed);
    else host_.PrivLine(note, kRed, kWhite);
    return;
  }
  if (!RoomFor(kind, name)) return NoRoomNote(name);
  auto load = [this, kind, name, party] {
    Game* g = Find(kind, name);
    if (!g && !RoomFor(kind, name)) return NoRoomNote(name);
    if (!g) g = &Create(kind, name, true);
    // A repaired copy is the same game: an open draw offer stays open.
    const bool offered = g->drawOffered;
    g->LoadParty(party);
    g->drawOffered = offered && g->Running();
    Changed(*g);
  };
  if (!in.game && host_.PeerHasGameClient(name)) {
    const KindTexts& t = TextsOf(kind);
    Ask(kind, name, name + text::W(t.continueRu), name + t.continueEn, [this, kind, name, load](bool yes) {
      if (yes) load();
      else SendGameText(kind, name, words::kNoPlay);
    });
  } else {
    load();
  }
}

void GameChannel::OnPing(const Incoming& in) {
  if (!in.game) return;
  Attention(in.game);
  ChatNote(*in.game, "<b>" + in.name + "</b>: " + text::Shown(notes::kPing), kSilver);
  PingRule(*in.game, in.rest);
}

void GameChannel::OnChat(const Incoming& in) {
  Attention(in.game);
  ChatText(in.kind, in.name, in.name, in.lead, std::string(in.rest), in.textColor, in.backColor);
}

void GameChannel::OnVersion(const Incoming& in) { VersionRule(in.kind, in.name, in.rest); }

void GameChannel::OnContinue(const Incoming& in) {
  if (in.game) return;
  const GameKind kind = in.kind;
  const std::string name = in.name;
  auto resume = [this, kind, name] {
    if (Find(kind, name)) return;
    if (!records_ || !records_->Exists(kind, name)) return SendGameText(kind, name, words::kSynchronize);
    CreateFromRecord(kind, name);
  };
  if (host_.PeerHasGameClient(name)) {
    const KindTexts& t = TextsOf(kind);
    Ask(kind, name, name + text::W(t.continueRu), name + t.continueEn, [this, kind, name, resume](bool yes) {
      if (yes) resume();
      else SendGameText(kind, name, words::kNoPlay);
    });
  } else {
    resume();
  }
}

void GameChannel::DeclareDraw(Game& game) {
  game.EndWith(TextsOf(game.Kind()).drawState);
  ChatNote(game, game.Opponent() + text::Shown(notes::kDrawNote));
  Changed(game);
}

void GameChannel::AskToPlay(GameKind kind, const std::string& name, bool askFirst) {
  Attention(Find(kind, name));
  auto chooseColour = [this, kind, name] {
    Ask(kind, name, text::W("Вы будете играть белыми?"), "Do you want to play white pieces?", [this, kind, name](bool white) {
      if (!RoomFor(kind, name)) {
        SendGameText(kind, name, words::kNoPlay);
        return NoRoomNote(name);
      }
      if (Game* g = Find(kind, name)) {
        g->LoadParty(white ? "W;0" : "B;1");
        Changed(*g);
      } else {
        Create(kind, name, white);
      }
      SendGameText(kind, name, white ? words::kLetUsWhite : words::kLetUsBlack);
    });
  };
  if (!askFirst) return chooseColour();
  const KindTexts& t = TextsOf(kind);
  host_.Invited(name, host_.RussianInterface() ? name + text::W(t.askRu) : name + t.askEn);
  Ask(kind, name, name + text::W(t.askRu), name + t.askEn, [this, kind, name, chooseColour](bool yes) {
    if (yes) chooseColour();
    else SendGameText(kind, name, words::kNoPlay);
  });
}

void GameChannel::VersionRule(GameKind kind, const std::string& name, std::string_view version) {
  const std::string own = host_.OwnVersion();
  if (version == own) return;
  const auto theirs = VersionNumber(version), mine = VersionNumber(own);
  if (!theirs || !mine) return;
  if (*mine < *theirs) {
    host_.PrivLine(text::Shown(notes::kNewerVersion) + std::string(version) +
                       "</b>",
                   kRed, kWhite);
  } else if (*mine > *theirs) {
    // Equal numbers written differently ("2.8", "2.80") answer nothing, so
    // two such clients do not send their versions back and forth for ever.
    SendGameText(kind, name, std::string(words::kVersion) + own);
  }
}

void GameChannel::PingRule(Game& game, std::string_view count) {
  const auto u = text::ParseInt(count);
  if (!u) return;
  const GameKind kind = game.Kind();
  const std::string name = game.Opponent();
  const int64_t w = game.MoveCount(), theirs = *u;
  if (w + 1 < theirs) {
    SendGameText(kind, name, words::kSynchronize);
  } else if (w + 1 == theirs) {
    SendGameText(kind, name, std::string(words::kPing) + std::to_string(w));
  } else if (w == theirs) {
    // in step: nothing to repair
  } else if (w == theirs + 1 && w > 0) {
    SendGameText(kind, name, game.MoveMessage(static_cast<int>(w - 1)));
  } else {
    SendParty(game);
  }
  SendGameText(kind, name, words::kPong);
}

void GameChannel::MoveRule(GameKind kind, const std::string& name, std::string_view text) {
  Game* game = Find(kind, name);
  if (!game) game = CreateFromRecord(kind, name);
  if (!game) return SendGameText(kind, name, words::kSynchronize);
  const std::string expected = std::to_string(game->MoveCount() + 1) + ":";
  std::string note;
  if (!text::StartsWith(text, expected)) return SendGameText(kind, name, words::kSynchronize);
  Attention(game);
  // A move that cannot be played here means the copies differ: ask for the
  // opponent's game, which then replaces this one.
  if (!game->PlayOpponentMove(text.substr(expected.size()), &note)) return SendGameText(kind, name, words::kSynchronize);
  if (!note.empty()) ChatNote(*game, note);
  if (game->view) {
    game->view->MoveListChanged();
    game->view->OpponentMoved(game->MoveCount() - 1);  // last: it may run the event loop
  }
}

void GameChannel::ChatText(GameKind kind, const std::string& name, const std::string& who, const std::string& lead,
                           const std::string& text, uint32_t textColor, uint32_t backColor) {
  const std::string head = "<b>" + who + "</b> " + lead + " ";
  const std::string shown = host_.ChatTextMarkup(text);
  if (Game* game = Find(kind, name); game && game->view) {
    game->view->ChatLine(head, kBlack, kWhite);
    game->view->ChatAppend(shown, textColor, backColor);
  } else if (!game) {
    host_.PrivLine(head, kBlack, kWhite);
    host_.PrivAppend(text::Shown(notes::kChatLabel[static_cast<int>(kind)]) + shown, textColor, backColor);
  }
}

void GameChannel::HandleOwnEcho(GameKind kind, const std::string& text, const std::string& name,
                                const std::string& lead, uint32_t textColor, uint32_t backColor) {
  Game* game = Find(kind, name);
  if (!game || !text::StartsWith(text, PrefixOf(kind))) return;
  const std::string_view m = std::string_view(text).substr(kPrefixSize);
  const std::string head = "<b>" + host_.LocalUserName() + "</b> " + lead + " ";
  if (text::StartsWith(m, words::kPing)) {
    ChatNote(*game, head + text::Shown(notes::kPing), kSilver);
  } else if (text::StartsWith(m, words::kPong)) {
    ChatNote(*game, head + text::Shown(notes::kPong), kSilver);
  } else if (text::StartsWith(m, "Chat:")) {
    const std::string said = text.size() > 13 ? text.substr(13) : std::string();
    ChatText(kind, name, host_.LocalUserName(), lead, said, textColor, backColor);
  }
}

void GameChannel::OfferGame(GameKind kind, const std::string& name) {
  if (!available_[IndexOf(kind)]) return;
  auto offer = [this, kind, name] {
    Close(kind, name, true);
    SendGameText(kind, name, TextsOf(kind).invitation);
    invited_.insert(KeyOf(kind, name));
    SendGameText(kind, name, std::string(words::kVersion) + host_.OwnVersion());
    host_.PrivLine(text::Shown(notes::kInviteSent[static_cast<int>(kind)]) + name, kBlack, kWhite);
  };
  if (!Find(kind, name)) return offer();
  Ask(kind, name, text::W("Прекратить предыдущую игру?"), "Stop previous game?", [offer](bool yes) {
    if (yes) offer();
  });
}

void GameChannel::LoadLastGame(GameKind kind, const std::string& name) {
  if (!available_[IndexOf(kind)]) return;
  auto load = [this, kind, name] {
    const auto party = ReadRecord(kind, name);
    if (!party) return;
    Game* game = Find(kind, name);
    if (!game) game = &Create(kind, name, true);
    game->LoadParty(*party);
    Changed(*game);
    if (game->Running() && host_.PeerHasGameClient(name)) {
      SendGameText(kind, name, words::kContinue);
      ChatNote(*game, text::Shown(notes::kContinueOfferSent));
    }
  };
  if (!Find(kind, name)) return load();
  Ask(kind, name, text::W("Прекратить предыдущую игру?"), "Stop previous game?", [load](bool yes) {
    if (yes) load();
  });
}

GamesMenuState GameChannel::MenuState(const std::vector<std::string>& addressees) const {
  GamesMenuState s;
  if (addressees.size() != 1 || addressees[0] == host_.LocalUserName()) return s;
  s.menu = true;
  for (GameKind kind : kAllGameKinds) {
    const bool available = available_[IndexOf(kind)];
    s.newGame[IndexOf(kind)] = available && host_.PeerHasGameClient(addressees[0]);
    s.loadGame[IndexOf(kind)] = available && records_ && records_->Exists(kind, addressees[0]);
  }
  return s;
}

LocalPlay GameChannel::LocalMove(GameKind kind, const std::string& name, int from, int to, int8_t promotion) {
  Game* game = Find(kind, name);
  if (!game) return LocalPlay::Refused;
  std::string note;
  const LocalPlay play = game->PlayLocal(from, to, promotion, &note);
  if (play == LocalPlay::Complete) {
    SendGameText(kind, name, game->MoveMessage(game->MoveCount() - 1));
    if (!note.empty()) ChatNote(*game, note);
  }
  if (play != LocalPlay::Refused) Changed(*game);
  return play;
}

void GameChannel::OfferDraw(GameKind kind, const std::string& name) {
  Game* game = Find(kind, name);
  if (!game || !TextsOf(kind).hasDraw || game->State() != kOwnMove) return;
  Ask(kind, name, text::W("Предложить ничью?"), "Offer draw?", [this, kind, name](bool yes) {
    Game* g = Find(kind, name);
    if (!yes || !g || g->State() != kOwnMove) return;
    g->drawOffered = true;
    SendGameText(kind, name, words::kOfferDraw);
    ChatNote(*g, text::Shown(notes::kDrawOfferSent) + name);
  });
}

void GameChannel::Surrender(GameKind kind, const std::string& name) {
  Game* game = Find(kind, name);
  if (!game || game->State() != kOwnMove) return;
  Ask(kind, name, text::W("Вы точно сдаетесь?"), "Do you really surrender?", [this, kind, name](bool yes) {
    Game* g = Find(kind, name);
    if (!yes || !g || g->State() != kOwnMove) return;
    g->EndWith(kSurrendered);
    ChatNote(*g, text::Shown(notes::kYouSurrendered) + name);
    SendGameText(kind, name, words::kSurrender);
    Changed(*g);
  });
}

void GameChannel::OnceMore(GameKind kind, const std::string& name) {
  Game* game = Find(kind, name);
  if (!game || game->Running()) return;
  SendGameText(kind, name, words::kOnceMore);
  ChatNote(*game, text::Shown(notes::kOnceMoreSent) + name);
}

void GameChannel::Ping(GameKind kind, const std::string& name) {
  Game* game = Find(kind, name);
  if (!game || !game->Running()) return;
  SendGameText(kind, name, std::string(words::kPing) + std::to_string(game->MoveCount()));
}

void GameChannel::Say(GameKind kind, const std::string& name, const std::string& said) {
  Game* game = Find(kind, name);
  if (!game || !game->online || said.empty()) return;
  // A broken bar would end the wire field: it travels as "|".
  std::string t = WithoutLineBreaks(said);
  for (char& c : t)
    if (static_cast<unsigned char>(c) == 166) c = '|';
  SendGameText(kind, name, std::string(words::kChat) + host_.OutgoingChatText(t));
}

}  // namespace games
