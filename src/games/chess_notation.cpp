#include "games/chess_notation.h"

#include "games/game_notes.h"
#include "games/chess_rules.h"
#include "text/cp1251.h"

namespace games::chess {
namespace {

constexpr std::string_view kLetters = "PRNBQK";

char LetterOf(int8_t code) {
  const int8_t type = TypeOf(code);
  return type >= kPawn && type <= kKing ? kLetters[type - 1] : '?';
}

int8_t TypeOfLetter(char letter) {
  const size_t at = kLetters.find(letter);
  return at == std::string_view::npos ? kEmpty : static_cast<int8_t>(at + 1);
}

void AppendSquare(std::string& out, int col, int row, char firstFile) {
  out += static_cast<char>(firstFile + col);
  out += static_cast<char>('1' + row);
}

// Column and row of "A1" … "H8"; -1 when `at` does not hold one.
int ReadSquare(std::string_view text, size_t at) {
  if (at + 2 > text.size()) return -1;
  const char file = text[at], rank = text[at + 1];
  if (file < 'A' || file > 'H' || rank < '1' || rank > '8') return -1;
  return SquareAt(file - 'A', rank - '1');
}

std::string RedLetter(int8_t code) {
  static const text::ShownText* const kLetters[] = {nullptr,
                                                    &notes::kRookLetter,
                                                    &notes::kKnightLetter,
                                                    &notes::kBishopLetter,
                                                    &notes::kQueenLetter,
                                                    &notes::kKingLetter};
  const int8_t type = TypeOf(code);
  if (type <= kPawn || type > kKing) return std::string();  // nothing for a pawn
  return "<fcol=ff0000>" + text::Shown(*kLetters[type - 1]) + "<fcol=000000>";
}

}  // namespace

std::string MoveText(const ChessMove& move) {
  std::string out;
  out += LetterOf(move.piece);
  AppendSquare(out, move.fromCol, move.fromRow, 'A');
  if (move.IsEnPassant()) {
    out += ":+";
  } else if (move.captured != kEmpty) {
    out += ':';
    out += LetterOf(move.captured);
  } else {
    out += '-';
  }
  AppendSquare(out, move.toCol, move.toRow, 'A');
  if (move.IsPromotion()) out += LetterOf(move.extra);
  return out;
}

std::optional<ReadMove> ReadMoveText(ChessRules& rules, std::string_view text) {
  if (text.size() < 6 || text.size() > 8) return std::nullopt;
  const int8_t type = TypeOfLetter(text[0]);
  const int from = ReadSquare(text, 1);
  if (type == kEmpty || from < 0) return std::nullopt;
  const Side side = rules.ToMove();
  if (rules.At(from) != CodeOf(type, side)) return std::nullopt;

  size_t at = 4;
  char capture = '-';
  if (text[3] == ':') {
    capture = text[4];
    at = 5;
  } else if (text[3] != '-') {
    return std::nullopt;
  }
  const int to = ReadSquare(text, at);
  if (to < 0 || !rules.IsLegal(from, to)) return std::nullopt;
  at += 2;

  // The capture part must say what the move takes on this board.
  const int8_t target = rules.At(to);
  const bool enPassant = type == kPawn && ColumnOf(from) != ColumnOf(to) && target == kEmpty;
  if (capture == '-') {
    if (target != kEmpty || enPassant) return std::nullopt;
  } else if (capture == '+') {
    if (!enPassant) return std::nullopt;
  } else if (target == kEmpty || TypeOfLetter(capture) != TypeOf(target)) {
    return std::nullopt;
  }

  ReadMove move{from, to, kEmpty};
  if (rules.IsPromotion(from, to)) {
    if (at >= text.size()) return std::nullopt;
    move.promotionType = TypeOfLetter(text[at++]);
    if (move.promotionType < kRook || move.promotionType > kQueen) return std::nullopt;
  }
  if (at != text.size()) return std::nullopt;
  return move;
}

std::string MoveListText(const ChessMove& move) {
  // In Russian "О" is the Cyrillic letter, as the list has always shown it.
  std::string out;
  if (move.IsCastling()) {
    out = text::Shown(move.toCol > move.fromCol ? notes::kKingSideCastling : notes::kQueenSideCastling);
  } else {
    out = RedLetter(move.piece);  // nothing for a pawn
    AppendSquare(out, move.fromCol, move.fromRow, 'a');
    out += move.captured != kEmpty || move.IsEnPassant() ? 'x' : '-';
    AppendSquare(out, move.toCol, move.toRow, 'a');
    if (move.IsPromotion()) out += RedLetter(move.extra);
  }
  switch (move.mark) {
    case Mark::Check: out += "<fcol=0000ff>+<fcol=000000>"; break;
    case Mark::Checkmate: out += "<fcol=0000ff>++<fcol=000000>"; break;
    case Mark::Stalemate: out += "<fcol=0000ff>--<fcol=000000>"; break;
    case Mark::None: break;
  }
  return out;
}

}  // namespace games::chess
