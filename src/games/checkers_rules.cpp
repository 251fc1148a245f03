#include "games/checkers_rules.h"

#include "games/game_notes.h"
#include "text/cp1251.h"

namespace games {
namespace {

inline bool OnBoard(int c, int r) { return c >= 0 && c < 8 && r >= 0 && r < 8; }
inline int ColourOf(int8_t code) { return code / 3; }
inline bool IsKing(int8_t code) { return code == kWhiteKing || code == kBlackKing; }
inline bool IsOpponent(int8_t code, Side side) {
  return code != 0 && ColourOf(code) != static_cast<int>(side);
}

// The diagonal directions in the order the plain and the capture tests use.
constexpr int kPlainDirs[4][2] = {{1, 1}, {-1, -1}, {-1, 1}, {1, -1}};
constexpr int kJumpDirs[4][2] = {{-1, 1}, {1, 1}, {-1, -1}, {1, -1}};

// Jumps of the piece on `square` appended to `out` from `count` on.
int AddCaptures(const Board& b, int square, Side side, bool king,
                CheckersRules::Candidates& out, int count) {
  const int c = ColumnOf(square), r = RowOf(square);
  for (const auto& d : kJumpDirs) {
    int i = 1;
    // A king may reach the jumped piece from afar; a man only next to it.
    if (king) {
      while (OnBoard(c + d[0] * i, r + d[1] * i) && b[SquareAt(c + d[0] * i, r + d[1] * i)] == 0) ++i;
    }
    const int oc = c + d[0] * i, or_ = r + d[1] * i;
    if (!OnBoard(oc, or_) || !IsOpponent(b[SquareAt(oc, or_)], side)) continue;
    const int limit = king ? 7 : i + 1;
    for (int j = i + 1; j <= limit; ++j) {
      const int tc = c + d[0] * j, tr = r + d[1] * j;
      if (!OnBoard(tc, tr) || b[SquareAt(tc, tr)] != 0) break;
      if (count < CheckersRules::kMaxCandidates)
        out[count++] = {static_cast<int8_t>(square), static_cast<int8_t>(SquareAt(tc, tr)),
                        static_cast<int8_t>(SquareAt(oc, or_))};
    }
  }
  return count;
}

int AddPlainMoves(const Board& b, int square, Side side, bool king,
                  CheckersRules::Candidates& out, int count) {
  const int c = ColumnOf(square), r = RowOf(square);
  if (king) {
    for (const auto& d : kPlainDirs) {
      for (int i = 1; i <= 7; ++i) {
        const int tc = c + d[0] * i, tr = r + d[1] * i;
        if (!OnBoard(tc, tr) || b[SquareAt(tc, tr)] != 0) break;
        if (count < CheckersRules::kMaxCandidates)
          out[count++] = {static_cast<int8_t>(square), static_cast<int8_t>(SquareAt(tc, tr)), -1};
      }
    }
    return count;
  }
  const int dr = side == Side::White ? 1 : -1;
  for (int dc : {-1, 1}) {
    const int tc = c + dc, tr = r + dr;
    if (OnBoard(tc, tr) && b[SquareAt(tc, tr)] == 0 && count < CheckersRules::kMaxCandidates)
      out[count++] = {static_cast<int8_t>(square), static_cast<int8_t>(SquareAt(tc, tr)), -1};
  }
  return count;
}

char PieceLetter(int8_t code) { return IsKing(code) ? 'D' : 'P'; }

void AppendSquare(std::string& s, int square, char firstColumn) {
  s += static_cast<char>(firstColumn + ColumnOf(square));
  s += static_cast<char>('1' + RowOf(square));
}

// A square written as column letter and row digit; -1 when it is not one.
int ReadSquare(char column, char row) {
  const int c = (column >= 'A' && column <= 'H') ? column - 'A' : (column >= 'a' && column <= 'h') ? column - 'a' : -1;
  const int r = (row >= '1' && row <= '8') ? row - '1' : -1;
  return c < 0 || r < 0 ? -1 : SquareAt(c, r);
}

}  // namespace

CheckersRules::CheckersRules() { Reset(); }

Board CheckersRules::InitialPosition() {
  Board b{};
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c)
      if ((c + r) % 2 == 0) {
        if (r <= 2) b[SquareAt(c, r)] = kWhiteMan;
        if (r >= 5) b[SquareAt(c, r)] = kBlackMan;
      }
  return b;
}

void CheckersRules::Reset() { SetPosition(InitialPosition(), Side::White); }

void CheckersRules::SetPosition(const Board& board, Side side) {
  start_ = board;
  board_ = board;
  toMove_ = side;
  history_.clear();
  pending_.clear();
  Regenerate();
}

int CheckersRules::Generate(const Board& board, Side side, Candidates& out) {
  int count = 0;
  for (int c = 0; c < 8; ++c)
    for (int r = 0; r < 8; ++r) {
      const int8_t code = board[SquareAt(c, r)];
      if (code == 0 || ColourOf(code) != static_cast<int>(side)) continue;
      count = AddCaptures(board, SquareAt(c, r), side, IsKing(code), out, count);
    }
  if (count > 0) return count;  // a capture anywhere makes only captures legal
  for (int c = 0; c < 8; ++c)
    for (int r = 0; r < 8; ++r) {
      const int8_t code = board[SquareAt(c, r)];
      if (code == 0 || ColourOf(code) != static_cast<int>(side)) continue;
      count = AddPlainMoves(board, SquareAt(c, r), side, IsKing(code), out, count);
    }
  return count;
}

int CheckersRules::CapturesFrom(const Board& board, int square, Candidates& out, int count) {
  const int8_t code = board[square];
  if (code == 0) return count;
  return AddCaptures(board, square, static_cast<Side>(ColourOf(code)), IsKing(code), out, count);
}

CheckersStep CheckersRules::ApplyStep(Board& board, int from, int to) {
  CheckersStep step;
  step.from = static_cast<int8_t>(from);
  step.to = static_cast<int8_t>(to);
  step.piece = board[from];
  board[from] = 0;
  // The jumped piece is the first one met on the way; it leaves at once.
  const int dc = ColumnOf(to) > ColumnOf(from) ? 1 : -1, dr = RowOf(to) > RowOf(from) ? 1 : -1;
  for (int c = ColumnOf(from) + dc, r = RowOf(from) + dr; OnBoard(c, r) && SquareAt(c, r) != to; c += dc, r += dr) {
    if (board[SquareAt(c, r)] != 0) {
      step.captured = board[SquareAt(c, r)];
      step.capturedAt = static_cast<int8_t>(SquareAt(c, r));
      board[SquareAt(c, r)] = 0;
      break;
    }
  }
  int8_t piece = step.piece;
  if (piece == kWhiteMan && RowOf(to) == 7) piece = kWhiteKing;
  if (piece == kBlackMan && RowOf(to) == 0) piece = kBlackKing;
  board[to] = piece;
  return step;
}

void CheckersRules::Regenerate() {
  if (pending_.empty()) {
    legalCount_ = Generate(board_, toMove_, legal_);
  } else {
    legalCount_ = CapturesFrom(board_, pending_.back().to, legal_, 0);
  }
}

bool CheckersRules::IsCandidate(int from, int to) const {
  for (int i = 0; i < legalCount_; ++i)
    if (legal_[i].from == from && legal_[i].to == to) return true;
  return false;
}

uint64_t CheckersRules::MovableSquares() const {
  uint64_t m = 0;
  for (int i = 0; i < legalCount_; ++i) m |= uint64_t{1} << legal_[i].from;
  return m;
}

uint64_t CheckersRules::TargetsOf(int from) const {
  uint64_t m = 0;
  for (int i = 0; i < legalCount_; ++i)
    if (legal_[i].from == from) m |= uint64_t{1} << legal_[i].to;
  return m;
}

Outcome CheckersRules::Result() const {
  if (legalCount_ > 0 || !pending_.empty()) return Outcome::Running;
  return toMove_ == Side::White ? Outcome::BlackWon : Outcome::WhiteWon;
}

void CheckersRules::FinishMove() {
  history_.push_back(std::move(pending_));
  pending_.clear();
  toMove_ = Other(toMove_);
  Regenerate();
  history_.back().back().end = legalCount_ == 0 ? 2 : 0;
}

LocalPlay CheckersRules::PlayLocal(int from, int to, int8_t) {
  if (from < 0 || from > 63 || to < 0 || to > 63 || !IsCandidate(from, to)) return LocalPlay::Refused;
  pending_.push_back(ApplyStep(board_, from, to));
  if (pending_.back().captured != 0) {
    legalCount_ = CapturesFrom(board_, to, legal_, 0);
    if (legalCount_ > 0) return LocalPlay::Continues;
  }
  FinishMove();
  return LocalPlay::Complete;
}

bool CheckersRules::PlayMoveText(std::string_view text) {
  if (!pending_.empty() || legalCount_ == 0 || text.empty()) return false;
  const Board saved = board_;
  size_t start = 0;
  bool ok = true;
  while (ok) {
    const size_t comma = text.find(',', start);
    const std::string_view part = text.substr(start, comma == std::string_view::npos ? text.npos : comma - start);
    // Positions 2-3 and 5-6 are the squares; the captured piece is on the board.
    const int from = part.size() >= 6 ? ReadSquare(part[1], part[2]) : -1;
    const int to = part.size() >= 6 ? ReadSquare(part[4], part[5]) : -1;
    if (from < 0 || to < 0 || !IsCandidate(from, to)) {
      ok = false;
      break;
    }
    pending_.push_back(ApplyStep(board_, from, to));
    legalCount_ = pending_.back().captured != 0 ? CapturesFrom(board_, to, legal_, 0) : 0;
    if (comma == std::string_view::npos) {
      ok = legalCount_ == 0;  // a capture that could go on is not a whole move
      break;
    }
    if (legalCount_ == 0) ok = false;  // more steps after the move ended
    start = comma + 1;
  }
  if (!ok) {
    board_ = saved;
    pending_.clear();
    Regenerate();
    return false;
  }
  FinishMove();
  return true;
}

std::string CheckersRules::MoveText(int index) const {
  std::string s;
  if (index < 0 || index >= MoveCount()) return s;
  for (const CheckersStep& step : history_[index]) {
    if (!s.empty()) s += ',';
    s += PieceLetter(step.piece);
    AppendSquare(s, step.from, 'A');
    s += '-';
    AppendSquare(s, step.to, 'A');
    if (step.captured != 0) {
      s += ':';
      s += PieceLetter(step.captured);
      AppendSquare(s, step.capturedAt, 'A');
    }
  }
  return s;
}

std::string CheckersRules::MoveListText(int index) const {
  std::string s;
  if (index < 0 || index >= MoveCount()) return s;
  const CheckersMove& move = history_[index];
  if (IsKing(move.front().piece)) s += "<fcol=ff0000>" + text::Shown(notes::kCheckersKingLetter) + "<fcol=000000>";
  AppendSquare(s, move.front().from, 'a');
  for (const CheckersStep& step : move) {
    s += step.captured != 0 ? 'x' : '-';
    AppendSquare(s, step.to, 'a');
  }
  // A move that leaves the opponent without a move ends the game.
  if (move.back().end == 2) s += "<fcol=0000ff>++<fcol=000000>";
  return s;
}

Board CheckersRules::PositionAfter(int moves) const {
  Board b = start_;
  for (int i = 0; i < moves && i < MoveCount(); ++i)
    for (const CheckersStep& step : history_[i]) ApplyStep(b, step.from, step.to);
  return b;
}

std::vector<Slide> CheckersRules::SlidesOf(int index) const {
  std::vector<Slide> slides;
  if (index < 0 || index >= MoveCount()) return slides;
  for (const CheckersStep& step : history_[index]) slides.push_back({step.from, step.to, step.piece});
  return slides;
}

uint64_t CheckersRules::Perft(int depth) {
  if (depth <= 0) return 1;
  if (!pending_.empty()) return 0;
  return PerftFrom(depth, toMove_);
}

// The tree walk plays and takes back steps on board_ itself, with the
// candidate lists on the stack: nothing is allocated per node.
uint64_t CheckersRules::PerftFrom(int depth, Side side) {
  Candidates moves;
  const int n = Generate(board_, side, moves);
  if (depth == 1 && (n == 0 || moves[0].over < 0)) return static_cast<uint64_t>(n);
  uint64_t total = 0;
  for (int i = 0; i < n; ++i) {
    const Candidate m = moves[i];
    const int8_t piece = board_[m.from];
    const int8_t jumped = m.over >= 0 ? board_[m.over] : 0;
    ApplyStep(board_, m.from, m.to);
    total += m.over >= 0 ? PerftContinue(depth, side, m.to) : PerftFrom(depth - 1, Other(side));
    board_[m.to] = 0;
    board_[m.from] = piece;
    if (m.over >= 0) board_[m.over] = jumped;
  }
  return total;
}

uint64_t CheckersRules::PerftContinue(int depth, Side side, int square) {
  Candidates jumps;
  const int n = CapturesFrom(board_, square, jumps, 0);
  if (n == 0) return depth == 1 ? 1 : PerftFrom(depth - 1, Other(side));
  uint64_t total = 0;
  for (int i = 0; i < n; ++i) {
    const Candidate m = jumps[i];
    const int8_t piece = board_[m.from];
    const int8_t jumped = board_[m.over];
    ApplyStep(board_, m.from, m.to);
    total += PerftContinue(depth, side, m.to);
    board_[m.to] = 0;
    board_[m.from] = piece;
    board_[m.over] = jumped;
  }
  return total;
}

std::unique_ptr<BoardRules> MakeCheckersRules() { return std::make_unique<CheckersRules>(); }

}  // namespace games
