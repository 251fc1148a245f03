#include "games/reversi_rules.h"

#include <bit>

namespace games {
namespace {

// Directions in the order discs are turned over: left, right, down, up,
// down-left, down-right, up-left, up-right (rank 1 is "down").
constexpr int kDirs[8][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};

constexpr uint64_t kNotColumnA = 0xFEFEFEFEFEFEFEFEull;
constexpr uint64_t kNotColumnH = 0x7F7F7F7F7F7F7F7Full;

// Shifts by one square in direction `d` of kDirs, dropping what leaves the board.
inline uint64_t Step(uint64_t b, int d) {
  switch (d) {
    case 0: return (b >> 1) & kNotColumnH;
    case 1: return (b << 1) & kNotColumnA;
    case 2: return b >> 8;
    case 3: return b << 8;
    case 4: return (b >> 9) & kNotColumnH;
    case 5: return (b >> 7) & kNotColumnA;
    case 6: return (b << 7) & kNotColumnH;
    default: return (b << 9) & kNotColumnA;
  }
}

inline int8_t DiscOf(Side side) { return side == Side::White ? kWhiteDisc : kBlackDisc; }

}  // namespace

ReversiRules::ReversiRules() { Reset(); }

Board ReversiRules::InitialPosition() {
  Board b{};
  b[SquareAt(3, 3)] = kWhiteDisc;  // d4
  b[SquareAt(4, 4)] = kWhiteDisc;  // e5
  b[SquareAt(4, 3)] = kBlackDisc;  // e4
  b[SquareAt(3, 4)] = kBlackDisc;  // d5
  return b;
}

void ReversiRules::Reset() { SetPosition(InitialPosition(), Side::White); }

void ReversiRules::SetPosition(const Board& board, Side side) {
  start_ = board;
  board_ = board;
  history_.clear();
  SettleTurn(side);
}

uint64_t ReversiRules::Bits(Side side) const {
  const int8_t disc = DiscOf(side);
  uint64_t b = 0;
  for (int sq = 0; sq < 64; ++sq)
    if (board_[sq] == disc) b |= uint64_t{1} << sq;
  return b;
}

int ReversiRules::Count(Side side) const { return std::popcount(Bits(side)); }

uint64_t ReversiRules::LegalSquares(uint64_t own, uint64_t other) {
  uint64_t moves = 0;
  for (int d = 0; d < 8; ++d) {
    uint64_t run = Step(own, d) & other;
    for (int i = 0; i < 5; ++i) run |= Step(run, d) & other;
    moves |= Step(run, d);
  }
  return moves & ~(own | other);
}

uint64_t ReversiRules::FlipsOf(uint64_t own, uint64_t other, int square) {
  uint64_t flips = 0;
  const uint64_t start = uint64_t{1} << square;
  for (int d = 0; d < 8; ++d) {
    uint64_t line = 0;
    uint64_t at = Step(start, d);
    while (at & other) {
      line |= at;
      at = Step(at, d);
    }
    if (at & own) flips |= line;
  }
  return flips;
}

// The side to move is `next` when it can place, else the other side (a
// pass), else nobody: the game is over.
void ReversiRules::SettleTurn(Side next) {
  over_ = false;
  toMove_ = next;
  legal_ = LegalSquares(Bits(next), Bits(Other(next)));
  if (legal_ != 0) return;
  const uint64_t otherMoves = LegalSquares(Bits(Other(next)), Bits(next));
  if (otherMoves != 0) {
    toMove_ = Other(next);
    legal_ = otherMoves;
    return;
  }
  over_ = true;
}

void ReversiRules::Place(int square, Side side) {
  ReversiMove move;
  move.disc = DiscOf(side);
  move.square = static_cast<int8_t>(square);
  board_[square] = move.disc;
  const int c = ColumnOf(square), r = RowOf(square);
  for (const auto& d : kDirs) {
    int i = 1;
    while (c + d[0] * i >= 0 && c + d[0] * i < 8 && r + d[1] * i >= 0 && r + d[1] * i < 8 &&
           board_[SquareAt(c + d[0] * i, r + d[1] * i)] == 4 - move.disc)
      ++i;
    const int ec = c + d[0] * i, er = r + d[1] * i;
    if (i < 2 || ec < 0 || ec > 7 || er < 0 || er > 7 || board_[SquareAt(ec, er)] != move.disc) continue;
    for (int j = 1; j < i; ++j) {
      const int sq = SquareAt(c + d[0] * j, r + d[1] * j);
      board_[sq] = move.disc;
      move.flipped.push_back(static_cast<int8_t>(sq));
    }
  }
  move.white = Count(Side::White);
  move.black = Count(Side::Black);
  history_.push_back(std::move(move));
  SettleTurn(Other(side));
}

Outcome ReversiRules::Result() const {
  if (!over_) return Outcome::Running;
  const int w = Count(Side::White), b = Count(Side::Black);
  return w > b ? Outcome::WhiteWon : w == b ? Outcome::Drawn : Outcome::BlackWon;
}

uint64_t ReversiRules::TargetsOf(int from) const {
  if (from < 0 || from > 63) return 0;
  return legal_ & (uint64_t{1} << from);
}

LocalPlay ReversiRules::PlayLocal(int from, int to, int8_t) {
  if (from != to || TargetsOf(to) == 0) return LocalPlay::Refused;
  Place(to, toMove_);
  return LocalPlay::Complete;
}

bool ReversiRules::PlayMoveText(std::string_view text) {
  if (text.size() < 3 || over_) return false;
  const Side side = text[0] == 'W' ? Side::White : Side::Black;
  const int c = text[1] - 'A', r = text[2] - '1';
  if (side != toMove_ || c < 0 || c > 7 || r < 0 || r > 7 || TargetsOf(SquareAt(c, r)) == 0) return false;
  Place(SquareAt(c, r), side);
  return true;
}

std::string ReversiRules::MoveText(int index) const {
  if (index < 0 || index >= MoveCount()) return {};
  const ReversiMove& m = history_[index];
  std::string s;
  s += m.disc == kWhiteDisc ? 'W' : 'B';
  s += static_cast<char>('A' + ColumnOf(m.square));
  s += static_cast<char>('1' + RowOf(m.square));
  return s;
}

std::string ReversiRules::MoveListText(int index) const {
  if (index < 0 || index >= MoveCount()) return {};
  const ReversiMove& m = history_[index];
  std::string s;
  s += static_cast<char>('a' + ColumnOf(m.square));
  s += static_cast<char>('1' + RowOf(m.square));
  s += "<xpos=50>" + std::to_string(m.white) + ":" + std::to_string(m.black);
  return s;
}

Board ReversiRules::PositionAfter(int moves) const {
  Board b = start_;
  for (int i = 0; i < moves && i < MoveCount(); ++i) {
    b[history_[i].square] = history_[i].disc;
    for (int8_t sq : history_[i].flipped) b[sq] = history_[i].disc;
  }
  return b;
}

std::vector<Slide> ReversiRules::SlidesOf(int index) const {
  if (index < 0 || index >= MoveCount()) return {};
  return {{history_[index].square, history_[index].square, history_[index].disc}};
}

namespace {

// A pass is a move when the other side can still place; a finished game is
// a leaf wherever it occurs.  Bit boards on the stack: nothing is allocated.
uint64_t PerftBits(uint64_t own, uint64_t other, int depth, bool passed) {
  uint64_t moves = ReversiRules::LegalSquares(own, other);
  if (moves == 0) {
    // Neither side can place (the game is over), or a pass that ends the
    // walk: one leaf either way.
    if (passed || depth == 1) return 1;
    return PerftBits(other, own, depth - 1, true);
  }
  if (depth == 1) return static_cast<uint64_t>(std::popcount(moves));
  uint64_t total = 0;
  while (moves) {
    const int sq = std::countr_zero(moves);
    moves &= moves - 1;
    const uint64_t flips = ReversiRules::FlipsOf(own, other, sq);
    total += PerftBits(other & ~flips, own | flips | (uint64_t{1} << sq), depth - 1, false);
  }
  return total;
}

}  // namespace

uint64_t ReversiRules::Perft(int depth) {
  if (depth <= 0 || over_) return 1;
  return PerftBits(Bits(toMove_), Bits(Other(toMove_)), depth, false);
}

std::unique_ptr<BoardRules> MakeReversiRules() { return std::make_unique<ReversiRules>(); }

}  // namespace games
