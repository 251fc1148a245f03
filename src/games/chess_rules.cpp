#include "games/chess_rules.h"

#include "games/chess_notation.h"

namespace games::chess {
namespace {

// Squares reached from each square: knight jumps, king steps and the eight
// lines (0-3 straight, 4-7 diagonal), each list ended by -1.
struct Tables {
  int8_t knight[64][9];
  int8_t king[64][9];
  int8_t ray[64][8][8];
};

constexpr Tables MakeTables() {
  Tables t{};
  constexpr int kKnightSteps[8][2] = {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
  constexpr int kLines[8][2] = {{0, 1}, {0, -1}, {1, 0}, {-1, 0}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};
  for (int square = 0; square < 64; ++square) {
    const int col = square & 7, row = square >> 3;
    int n = 0;
    for (const auto& step : kKnightSteps) {
      const int c = col + step[0], r = row + step[1];
      if (c >= 0 && c < 8 && r >= 0 && r < 8) t.knight[square][n++] = static_cast<int8_t>(r * 8 + c);
    }
    t.knight[square][n] = -1;
    n = 0;
    for (const auto& line : kLines) {
      const int c = col + line[0], r = row + line[1];
      if (c >= 0 && c < 8 && r >= 0 && r < 8) t.king[square][n++] = static_cast<int8_t>(r * 8 + c);
    }
    t.king[square][n] = -1;
    for (int dir = 0; dir < 8; ++dir) {
      n = 0;
      for (int c = col + kLines[dir][0], r = row + kLines[dir][1]; c >= 0 && c < 8 && r >= 0 && r < 8;
           c += kLines[dir][0], r += kLines[dir][1])
        t.ray[square][dir][n++] = static_cast<int8_t>(r * 8 + c);
      t.ray[square][dir][n] = -1;
    }
  }
  return t;
}

constexpr Tables kTables = MakeTables();

constexpr uint8_t kKingSideBit[2] = {1, 4};
constexpr uint8_t kQueenSideBit[2] = {2, 8};

int Index(Side side) { return static_cast<int>(side); }

}  // namespace

ChessRules::ChessRules() {
  history_.reserve(256);
  Reset();
}

void ChessRules::Reset() {
  InitialBoard(board_);
  start_ = board_;
  startMoves_ = 0;
  king_[Index(Side::White)] = SquareAt(4, 0);
  king_[Index(Side::Black)] = SquareAt(4, 7);
  toMove_ = Side::White;
  castleBlocked_ = 0;
  history_.clear();
  Refresh();
}

bool ChessRules::LoadPosition(const Board& board, Side toMove, const std::vector<ChessMove>& history) {
  int kings[2] = {0, 0}, pieces[2] = {0, 0};
  int8_t kingSquare[2] = {-1, -1};
  for (int square = 0; square < 64; ++square) {
    const int8_t code = board[square];
    if (code < 0 || code > 12) return false;
    if (code == kEmpty) continue;
    const int side = Index(SideOf(code));
    ++pieces[side];
    if (TypeOf(code) == kKing) {
      ++kings[side];
      kingSquare[side] = static_cast<int8_t>(square);
    }
    if (TypeOf(code) == kPawn && (RowOf(square) == 0 || RowOf(square) == 7)) return false;
  }
  if (kings[0] != 1 || kings[1] != 1 || pieces[0] > 16 || pieces[1] > 16) return false;
  for (const ChessMove& move : history)
    if (move.fromCol < 0 || move.fromCol > 7 || move.fromRow < 0 || move.fromRow > 7 || move.toCol < 0 ||
        move.toCol > 7 || move.toRow < 0 || move.toRow > 7)
      return false;
  board_ = board;
  start_ = board;
  startMoves_ = history.size();
  king_[0] = kingSquare[0];
  king_[1] = kingSquare[1];
  toMove_ = toMove;
  history_ = history;
  castleBlocked_ = 0;
  for (const ChessMove& move : history_) castleBlocked_ |= CastleBlockOf(move);
  Refresh();
  return true;
}

// A move that starts or ends on a king's or rook's home square rules out
// castling on that side for good: the king or the rook has moved, or the
// rook was taken on its square.  The high four bits keep the looser rule of
// received moves, where only a move that starts there counts.
uint8_t ChessRules::CastleBlockOf(const ChessMove& move) {
  uint8_t blocked = 0;
  const int8_t ends[2][2] = {{move.fromCol, move.fromRow}, {move.toCol, move.toRow}};
  for (int e = 0; e < 2; ++e) {
    const auto& end = ends[e];
    int side;
    if (end[1] == 0)
      side = 0;
    else if (end[1] == 7)
      side = 1;
    else
      continue;
    uint8_t bits = 0;
    if (end[0] == 4) bits |= kKingSideBit[side] | kQueenSideBit[side];
    if (end[0] == 7) bits |= kKingSideBit[side];
    if (end[0] == 0) bits |= kQueenSideBit[side];
    blocked |= bits;
    if (e == 0) blocked |= static_cast<uint8_t>(bits << 4);
  }
  return blocked;
}

bool ChessRules::Attacked(int square, Side side) const {
  if (square < 0) return false;
  const Side opponent = Other(side);
  const int8_t pawn = CodeOf(kPawn, opponent);
  const int8_t knight = CodeOf(kKnight, opponent);
  const int8_t rook = CodeOf(kRook, opponent);
  const int8_t bishop = CodeOf(kBishop, opponent);
  const int8_t queen = CodeOf(kQueen, opponent);
  // An opponent pawn captures onto the square from one row further on.
  const int col = ColumnOf(square);
  const int pawnRow = RowOf(square) + (side == Side::White ? 1 : -1);
  if (pawnRow >= 0 && pawnRow < 8) {
    if (col > 0 && board_[SquareAt(col - 1, pawnRow)] == pawn) return true;
    if (col < 7 && board_[SquareAt(col + 1, pawnRow)] == pawn) return true;
  }
  for (const int8_t* jump = kTables.knight[square]; *jump >= 0; ++jump)
    if (board_[*jump] == knight) return true;
  for (int dir = 0; dir < 8; ++dir) {
    const int8_t slider = dir < 4 ? rook : bishop;
    for (const int8_t* next = kTables.ray[square][dir]; *next >= 0; ++next) {
      const int8_t code = board_[*next];
      if (code == kEmpty) continue;
      if (code == slider || code == queen) return true;
      break;
    }
  }
  return false;
}

bool ChessRules::InCheck(Side side) const { return Attacked(king_[Index(side)], side); }

bool ChessRules::NextToKing(int square, Side side) const {
  const int king = king_[Index(Other(side))];
  if (king < 0) return false;
  const int dc = ColumnOf(square) - ColumnOf(king), dr = RowOf(square) - RowOf(king);
  return dc >= -1 && dc <= 1 && dr >= -1 && dr <= 1;
}

ChessRules::Undo ChessRules::MakeMove(int from, int to, int8_t promotionCode, bool record) {
  Undo undo;
  const int8_t piece = board_[from];
  const Side side = SideOf(piece);
  undo.piece = piece;
  undo.captured = board_[to];
  undo.epSquare = -1;
  undo.epPawn = kEmpty;
  undo.rookFrom = undo.rookTo = -1;
  undo.kingSquare = king_[Index(side)];
  undo.castleBlocked = castleBlocked_;
  undo.recorded = record;

  board_[from] = kEmpty;
  int8_t placed = piece;
  const int8_t type = TypeOf(piece);
  if (type == kPawn) {
    if (ColumnOf(from) != ColumnOf(to) && undo.captured == kEmpty) {
      const int taken = SquareAt(ColumnOf(to), RowOf(from));
      undo.epSquare = static_cast<int8_t>(taken);
      undo.epPawn = board_[taken];
      board_[taken] = kEmpty;
    }
    // Without recording (the legality test) the pawn stays a pawn.
    if (record && RowOf(to) == PromotionRow(side))
      placed = promotionCode != kEmpty ? promotionCode : CodeOf(kQueen, side);
  } else if (type == kKing) {
    king_[Index(side)] = static_cast<int8_t>(to);
    const int step = ColumnOf(to) - ColumnOf(from);
    if (step == 2 || step == -2) {
      const int row = RowOf(from);
      undo.rookFrom = static_cast<int8_t>(SquareAt(step > 0 ? 7 : 0, row));
      undo.rookTo = static_cast<int8_t>(SquareAt(step > 0 ? 5 : 3, row));
      board_[undo.rookTo] = board_[undo.rookFrom];
      board_[undo.rookFrom] = kEmpty;
    }
  }
  board_[to] = placed;

  if (record) {
    ChessMove move;
    move.fromCol = static_cast<int8_t>(ColumnOf(from));
    move.fromRow = static_cast<int8_t>(RowOf(from));
    move.toCol = static_cast<int8_t>(ColumnOf(to));
    move.toRow = static_cast<int8_t>(RowOf(to));
    move.piece = piece;
    move.captured = undo.captured;
    move.extra = undo.epSquare >= 0 ? undo.epPawn : (placed != piece ? placed : kEmpty);
    history_.push_back(move);
    castleBlocked_ |= CastleBlockOf(move);
    toMove_ = Other(side);
  }
  return undo;
}

void ChessRules::UnmakeMove(int from, int to, const Undo& undo) {
  const Side side = SideOf(undo.piece);
  board_[from] = undo.piece;
  board_[to] = undo.captured;
  if (undo.epSquare >= 0) board_[undo.epSquare] = undo.epPawn;
  if (undo.rookFrom >= 0) {
    board_[undo.rookFrom] = board_[undo.rookTo];
    board_[undo.rookTo] = kEmpty;
  }
  king_[Index(side)] = undo.kingSquare;
  if (undo.recorded) {
    history_.pop_back();
    castleBlocked_ = undo.castleBlocked;
    toMove_ = side;
  }
}

void ChessRules::AddIfLegal(int from, int to, Side side, MoveList& list) {
  const Undo undo = MakeMove(from, to, kEmpty, false);
  const bool legal = !Attacked(king_[Index(side)], side);
  UnmakeMove(from, to, undo);
  if (!legal || list.count >= kMaxMoves) return;
  list.steps[list.count++] = Step{static_cast<int8_t>(from), static_cast<int8_t>(to)};
  if (TypeOf(board_[from]) == kPawn && RowOf(to) == PromotionRow(side)) ++list.promotions;
}

void ChessRules::AddCastling(int kingSquare, Side side, MoveList& list) {
  const int row = HomeRow(side);
  if (kingSquare != SquareAt(4, row)) return;
  const uint8_t blocked = receivedRules_ ? castleBlocked_ >> 4 : castleBlocked_ & 0x0F;
  const int8_t rook = CodeOf(kRook, side);
  const auto empty = [&](int col) { return board_[SquareAt(col, row)] == kEmpty; };
  const auto safe = [&](int col) { return !Attacked(SquareAt(col, row), side); };
  if (!(blocked & kKingSideBit[Index(side)]) && board_[SquareAt(7, row)] == rook && empty(5) &&
      empty(6) && safe(4) && safe(5) && safe(6) && !NextToKing(SquareAt(6, row), side))
    AddIfLegal(kingSquare, SquareAt(6, row), side, list);
  if (!(blocked & kQueenSideBit[Index(side)]) && board_[SquareAt(0, row)] == rook && empty(1) &&
      empty(2) && empty(3) && safe(4) && safe(3) && safe(2) && !NextToKing(SquareAt(2, row), side))
    AddIfLegal(kingSquare, SquareAt(2, row), side, list);
}

void ChessRules::GeneratePiece(int square, Side side, MoveList& list) {
  const int col = ColumnOf(square), row = RowOf(square);
  switch (TypeOf(board_[square])) {
    case kPawn: {
      const int dir = side == Side::White ? 1 : -1;
      const int ahead = row + dir;
      if (ahead < 0 || ahead > 7) return;
      const int8_t enemyPawn = CodeOf(kPawn, Other(side));
      for (int c = col - 1; c <= col + 1; c += 2) {
        if (c < 0 || c > 7) continue;
        const int target = SquareAt(c, ahead);
        if (IsOpponent(board_[target], side)) {
          AddIfLegal(square, target, side, list);
        } else if (board_[target] == kEmpty && board_[SquareAt(c, row)] == enemyPawn && !history_.empty()) {
          // En passant: the pawn beside us has just made its double step.
          const ChessMove& last = history_.back();
          if (last.fromCol == c && last.fromRow == row + 2 * dir && last.toCol == c && last.toRow == row)
            AddIfLegal(square, target, side, list);
        }
      }
      const int step = SquareAt(col, ahead);
      if (board_[step] == kEmpty) {
        AddIfLegal(square, step, side, list);
        if (row == (side == Side::White ? 1 : 6) && board_[SquareAt(col, row + 2 * dir)] == kEmpty)
          AddIfLegal(square, SquareAt(col, row + 2 * dir), side, list);
      }
      return;
    }
    case kKnight:
      for (const int8_t* jump = kTables.knight[square]; *jump >= 0; ++jump)
        if (!IsOwn(board_[*jump], side)) AddIfLegal(square, *jump, side, list);
      return;
    case kKing:
      for (const int8_t* next = kTables.king[square]; *next >= 0; ++next)
        if (!IsOwn(board_[*next], side) && !NextToKing(*next, side)) AddIfLegal(square, *next, side, list);
      AddCastling(square, side, list);
      return;
    case kRook:
    case kBishop:
    case kQueen: {
      const int8_t type = TypeOf(board_[square]);
      const int first = type == kBishop ? 4 : 0;
      const int last = type == kRook ? 4 : 8;
      for (int dir = first; dir < last; ++dir) {
        for (const int8_t* next = kTables.ray[square][dir]; *next >= 0; ++next) {
          const int8_t code = board_[*next];
          if (code == kEmpty) {
            AddIfLegal(square, *next, side, list);
            continue;
          }
          if (IsOpponent(code, side)) AddIfLegal(square, *next, side, list);
          break;
        }
      }
      return;
    }
    default:
      return;
  }
}

int ChessRules::GenerateLegal(Side side, MoveList& list) {
  list.count = 0;
  list.promotions = 0;
  for (int col = 0; col < 8; ++col)
    for (int row = 0; row < 8; ++row) {
      const int square = SquareAt(col, row);
      if (IsOwn(board_[square], side)) GeneratePiece(square, side, list);
    }
  return list.count;
}

int ChessRules::Generate(Side side) {
  MoveList list;
  uint32_t bit = 1;
  for (int square = 0; square < 64; ++square) toMask_[square] = 0;
  for (int col = 0; col < 8; ++col)
    for (int row = 0; row < 8; ++row) {
      const int square = SquareAt(col, row);
      if (!IsOwn(board_[square], side)) {
        fromMask_[square] = 0;
        continue;
      }
      fromMask_[square] = bit;
      const int first = list.count;
      GeneratePiece(square, side, list);
      for (int i = first; i < list.count; ++i) toMask_[list.steps[i].to] |= bit;
      bit <<= 1;
    }
  return list.count;
}

bool ChessRules::IsLegal(int from, int to) {
  if (from < 0 || from > 63 || to < 0 || to > 63 || !IsOwn(board_[from], toMove_)) return false;
  MoveList list;
  const int first = list.count;
  GeneratePiece(from, toMove_, list);
  for (int i = first; i < list.count; ++i)
    if (list.steps[i].to == to) return true;
  return false;
}

bool ChessRules::IsPromotion(int from, int to) const {
  if (from < 0 || from > 63 || to < 0 || to > 63) return false;
  const int8_t piece = board_[from];
  return TypeOf(piece) == kPawn && RowOf(to) == PromotionRow(SideOf(piece));
}

std::optional<ChessMove> ChessRules::Play(int from, int to, int8_t promotionType) {
  if (!IsLegal(from, to)) return std::nullopt;
  return Record(from, to, promotionType);
}

std::optional<ChessMove> ChessRules::Record(int from, int to, int8_t promotionType) {
  const Side mover = toMove_;
  int8_t promotion = kEmpty;
  if (IsPromotion(from, to)) {
    if (promotionType < kRook || promotionType > kQueen) return std::nullopt;
    promotion = CodeOf(promotionType, mover);
  }
  MakeMove(from, to, promotion, true);
  Refresh();
  ChessMove& move = history_.back();
  const bool check = InCheck(toMove_);
  if (lastReplies_ > 0)
    move.mark = check ? Mark::Check : Mark::None;
  else
    move.mark = check ? Mark::Checkmate : Mark::Stalemate;
  return move;
}

void ChessRules::Refresh() {
  lastReplies_ = Generate(toMove_);
  if (lastReplies_ > 0)
    outcome_ = Outcome::Running;
  else if (!InCheck(toMove_))
    outcome_ = Outcome::Drawn;
  else
    outcome_ = toMove_ == Side::White ? Outcome::BlackWon : Outcome::WhiteWon;
}

uint64_t ChessRules::MovableSquares() const {
  uint32_t withTargets = 0;
  for (int square = 0; square < 64; ++square) withTargets |= toMask_[square];
  uint64_t squares = 0;
  for (int square = 0; square < 64; ++square)
    if (fromMask_[square] & withTargets) squares |= uint64_t{1} << square;
  return squares;
}

uint64_t ChessRules::TargetsOf(int from) const {
  if (from < 0 || from > 63 || fromMask_[from] == 0) return 0;
  uint64_t squares = 0;
  for (int square = 0; square < 64; ++square)
    if (toMask_[square] & fromMask_[from]) squares |= uint64_t{1} << square;
  return squares;
}

bool ChessRules::NeedsPromotion(int from, int to) const {
  return (TargetsOf(from) >> to & 1) != 0 && IsPromotion(from, to);
}

LocalPlay ChessRules::PlayLocal(int from, int to, int8_t promotion) {
  if (from < 0 || from > 63 || to < 0 || to > 63 || (TargetsOf(from) >> to & 1) == 0) return LocalPlay::Refused;
  return Play(from, to, TypeOf(promotion)) ? LocalPlay::Complete : LocalPlay::Refused;
}

bool ChessRules::PlayMoveText(std::string_view text) {
  // A move text comes from the opponent (or his copy of the game): it is
  // read by the looser castling rule, and the position it leads to is
  // generated by the rules of chess again for the local player.
  receivedRules_ = true;
  const std::optional<ReadMove> read = ReadMoveText(*this, text);
  receivedRules_ = false;
  return read && Record(read->from, read->to, read->promotionType);
}

std::string ChessRules::MoveText(int index) const {
  if (index < 0 || index >= MoveCount()) return {};
  return chess::MoveText(history_[index]);
}

std::string ChessRules::MoveListText(int index) const {
  if (index < 0 || index >= MoveCount()) return {};
  return chess::MoveListText(history_[index]);
}

std::vector<Slide> ChessRules::SlidesOf(int index) const {
  if (index < 0 || index >= MoveCount()) return {};
  const ChessMove& move = history_[index];
  std::vector<Slide> slides{Slide{move.From(), move.To(), move.piece}};
  if (move.IsCastling()) {
    const bool kingSide = move.toCol > move.fromCol;
    slides.push_back(Slide{SquareAt(kingSide ? 7 : 0, move.fromRow), SquareAt(kingSide ? 5 : 3, move.fromRow),
                           CodeOf(kRook, SideOf(move.piece))});
  }
  return slides;
}

Board ChessRules::PositionAfter(int moves) const {
  Board board = start_;
  for (size_t i = startMoves_; i < history_.size() && i < static_cast<size_t>(moves > 0 ? moves : 0); ++i)
    ApplyToBoard(board, history_[i]);
  return board;
}

uint64_t ChessRules::Perft(int depth) {
  if (depth <= 0) return 1;
  history_.reserve(history_.size() + static_cast<size_t>(depth));
  return PerftNode(depth);
}

uint64_t ChessRules::PerftNode(int depth) {
  MoveList list;
  const Side side = toMove_;
  GenerateLegal(side, list);
  if (depth == 1) return static_cast<uint64_t>(list.count) + 3u * static_cast<uint64_t>(list.promotions);
  static constexpr int8_t kPromotions[4] = {kQueen, kRook, kBishop, kKnight};
  uint64_t nodes = 0;
  for (int i = 0; i < list.count; ++i) {
    const int from = list.steps[i].from, to = list.steps[i].to;
    if (TypeOf(board_[from]) == kPawn && RowOf(to) == PromotionRow(side)) {
      for (int8_t type : kPromotions) {
        const Undo undo = MakeMove(from, to, CodeOf(type, side), true);
        nodes += PerftNode(depth - 1);
        UnmakeMove(from, to, undo);
      }
    } else {
      const Undo undo = MakeMove(from, to, kEmpty, true);
      nodes += PerftNode(depth - 1);
      UnmakeMove(from, to, undo);
    }
  }
  return nodes;
}

}  // namespace games::chess

namespace games {

std::unique_ptr<BoardRules> MakeChessRules() { return std::make_unique<chess::ChessRules>(); }

}  // namespace games
