#include "games/game.h"

#include "games/game_notes.h"
#include "text/bytes.h"
#include "text/cp1251.h"

namespace games {
namespace {

constexpr uint32_t kBlue = 0xFF0000;
const char kLinePrefix[] = "<fcol=000000><bcol=ffffff>";

bool KnownState(int32_t s, GameKind kind) {
  return (s >= 0 && s <= 5) || s == kDrawState || (s == kAgreedChessDraw && kind == GameKind::Chess);
}

}  // namespace

Game::Game(GameKind kind, std::string opponent, bool white, std::unique_ptr<BoardRules> rules)
    : kind_(kind), opponent_(std::move(opponent)), white_(white), rules_(std::move(rules)) {
  LoadParty(white ? "W;0" : "B;1");
}

int8_t Game::StateByRules() const {
  switch (rules_->Result()) {
    case Outcome::Running: return rules_->ToMove() == OwnSide() ? kOwnMove : kOpponentMove;
    case Outcome::WhiteWon: return white_ ? kWon : kLost;
    case Outcome::BlackWon: return white_ ? kLost : kWon;
    case Outcome::Drawn: break;
  }
  return kDrawState;
}

bool Game::LoadParty(std::string_view party) {
  rules_->Reset();
  review = false;
  drawOffered = false;
  const bool white = !party.empty() && party[0] == 'W';
  white_ = white;
  ListHeader();
  std::string_view rest = party.size() >= 2 ? party.substr(2) : std::string_view{};
  bool whole = true;
  for (size_t semi = rest.find(';'); semi != std::string_view::npos; semi = rest.find(';')) {
    if (whole) {
      whole = rules_->PlayMoveText(rest.substr(0, semi));
      if (whole) ListMove();
    }
    rest.remove_prefix(semi + 1);
  }
  const auto state = text::ParseInt(rest);
  // A running state follows the position, so the local player never holds
  // the opponent's pieces; a finished one (surrender, draw) stays as sent.
  if (state && KnownState(*state, kind_) && *state > kOpponentMove) {
    state_ = static_cast<int8_t>(*state);
  } else {
    state_ = StateByRules();
  }
  if (state_ > kOpponentMove) ListResult();
  return whole;
}

std::string Game::PartyTextForOpponent() const {
  std::string s = white_ ? "B;" : "W;";
  for (int i = 0; i < MoveCount(); ++i) s += rules_->MoveText(i) + ";";
  return s + std::to_string(Mirrored(state_));
}

std::string Game::PartyText() const {
  std::string s = white_ ? "W;" : "B;";
  for (int i = 0; i < MoveCount(); ++i) s += rules_->MoveText(i) + ";";
  return s + std::to_string(state_);
}

std::string Game::MoveMessage(int index) const {
  return std::to_string(index + 1) + ":" + rules_->MoveText(index);
}

LocalPlay Game::PlayLocal(int from, int to, int8_t promotion, std::string* chatNote) {
  if (state_ != kOwnMove || review) return LocalPlay::Refused;
  const LocalPlay play = rules_->PlayLocal(from, to, promotion);
  if (play == LocalPlay::Complete) SettleAfterMove(chatNote);
  return play;
}

bool Game::PlayOpponentMove(std::string_view moveText, std::string* chatNote) {
  if (!Running() || rules_->Result() != Outcome::Running || rules_->ToMove() == OwnSide()) return false;
  if (!rules_->PlayMoveText(moveText)) return false;
  SettleAfterMove(chatNote);
  return true;
}

void Game::SettleAfterMove(std::string* chatNote) {
  state_ = StateByRules();
  ListMove();
  std::string note;
  if (kind_ == GameKind::Checkers) {
    if (state_ == kWon) note = text::Shown(notes::kYouWonAgainst) + opponent_;
    if (state_ == kLost) note = text::Shown(notes::kYouLostTo) + opponent_;
  } else if (kind_ == GameKind::Chess) {
    if (state_ == kWon) note = text::Shown(notes::kMateYouWon) + opponent_;
    if (state_ == kLost) note = text::Shown(notes::kMateYouLost) + opponent_;
    if (state_ == kDrawState) note = text::Shown(notes::kStalemateNote);
  }
  if (chatNote) *chatNote = note;
  if (state_ > kOpponentMove) ListResult();
}

void Game::EndWith(int8_t state) {
  state_ = state;
  ListResult();
}

void Game::ListHeader() {
  moveList_.clear();
  moveList_.push_back({text::Shown(notes::kParty)});
  const std::string pair = white_ ? text::Shown(notes::kYouDash) + opponent_ : opponent_ + text::Shown(notes::kDashYou);
  moveList_.push_back({"<fsize=9><b>" + pair + "</b>", kBlue});
  moveList_.push_back({"<fsize=4> "});
  moveList_.push_back({"1.<xpos=28>_"});
}

void Game::ListMove() {
  const int n = MoveCount();
  const std::string number = std::to_string(n / 2 + 1);
  const std::string t = rules_->MoveListText(n - 1);
  if (kind_ == GameKind::Chess) {
    if (n % 2 == 1) {
      moveList_.back() = {kLinePrefix + number + ".<xpos=28>" + t + "<xpos=80>_"};
    } else {
      moveList_.back() = {kLinePrefix + std::to_string(n / 2) + ".<xpos=28>" + rules_->MoveListText(n - 2) +
                          "<xpos=80>" + t};
      moveList_.push_back({number + ".<xpos=28>_"});
    }
    return;
  }
  if (n % 2 == 1) {
    moveList_.back() = {kLinePrefix + number + ".<xpos=28>" + t};
    moveList_.push_back({std::string(kLinePrefix) + "<xpos=28>_"});
  } else {
    moveList_.back() = {kLinePrefix + std::string("<xpos=28>") + t};
    moveList_.push_back({kLinePrefix + number + ".<xpos=28>_"});
  }
}

void Game::ListResult() {
  using text::Shown;
  const text::ShownText& ownWon = white_ ? notes::kWhiteWon : notes::kBlackWon;
  const text::ShownText& otherWon = white_ ? notes::kBlackWon : notes::kWhiteWon;
  const text::ShownText& ownSurrendered = white_ ? notes::kWhiteSurrendered : notes::kBlackSurrendered;
  const text::ShownText& otherSurrendered = white_ ? notes::kBlackSurrendered : notes::kWhiteSurrendered;
  const bool chess = kind_ == GameKind::Chess;
  std::string r;
  switch (state_) {
    case kWon: r = Shown(chess ? notes::kMate : ownWon); break;
    case kLost: r = Shown(chess ? notes::kMate : otherWon); break;
    case kOpponentSurrendered: r = Shown(otherSurrendered); break;
    case kSurrendered: r = Shown(ownSurrendered); break;
    case kDrawState: r = Shown(chess ? notes::kStalemate : notes::kDraw); break;
    case kAgreedChessDraw: r = chess ? Shown(notes::kDraw) : ""; break;
    default: break;
  }
  if (chess && MoveCount() % 2 == 1) {
    std::string& last = moveList_.back().markup;
    if (text::EndsWith(last, "<xpos=80>_")) last.resize(last.size() - 10);
    moveList_.push_back({""});
  }
  moveList_.back() = {"<fcol=ff0000><bcol=ffffff><b>" + r + "</b>"};
}

bool PartyPlaysWholly(GameKind kind, std::string_view party) {
  auto rules = MakeRules(kind);
  if (!rules) return false;
  Game probe(kind, "", true, std::move(rules));
  return probe.LoadParty(party);
}

}  // namespace games
