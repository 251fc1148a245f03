#include "games/board_speech.h"

#include "text/shown_text.h"

namespace games {
namespace {

using text::ShownText;

const char* Pick(const ShownText& t, bool russian) { return russian ? t.russian : t.english; }

ShownText GameName(GameKind kind) {
  switch (kind) {
    case GameKind::Chess: return {"Шахматы", "Chess"};
    case GameKind::Reversi: return {"Реверси", "Reversi"};
    case GameKind::Checkers: break;
  }
  return {"Шашки", "Checkers"};
}

// Piece codes: checkers 1..4 (white man, white king, black man, black
// king); chess 1..6 white pawn..king, 7..12 black; reversi 1 white, 3 black.
ShownText PieceName(GameKind kind, int8_t piece) {
  static constexpr ShownText kCheckers[] = {{"белая шашка", "white man"},
                                            {"белая дамка", "white king"},
                                            {"черная шашка", "black man"},
                                            {"черная дамка", "black king"}};
  static constexpr ShownText kChess[] = {
      {"белая пешка", "white pawn"},  {"белая ладья", "white rook"},   {"белый конь", "white knight"},
      {"белый слон", "white bishop"}, {"белый ферзь", "white queen"},  {"белый король", "white king"},
      {"черная пешка", "black pawn"}, {"черная ладья", "black rook"},  {"черный конь", "black knight"},
      {"черный слон", "black bishop"}, {"черный ферзь", "black queen"}, {"черный король", "black king"}};
  static constexpr ShownText kEmpty{"пусто", "empty"};
  switch (kind) {
    case GameKind::Chess: return piece >= 1 && piece <= 12 ? kChess[piece - 1] : kEmpty;
    case GameKind::Reversi:
      if (piece == 1) return {"белая фишка", "white disc"};
      if (piece == 3) return {"черная фишка", "black disc"};
      return kEmpty;
    case GameKind::Checkers: break;
  }
  return piece >= 1 && piece <= 4 ? kCheckers[piece - 1] : kEmpty;
}

}  // namespace

std::string BoardSpeech(GameKind kind, bool running, Side toMove, Outcome outcome, bool russian) {
  ShownText state{"игра окончена", "game over"};
  if (running)
    state = toMove == Side::White ? ShownText{"ход белых", "white to move"} : ShownText{"ход черных", "black to move"};
  else if (outcome == Outcome::WhiteWon)
    state = {"белые выиграли", "white won"};
  else if (outcome == Outcome::BlackWon)
    state = {"черные выиграли", "black won"};
  else if (outcome == Outcome::Drawn)
    state = kind == GameKind::Chess ? ShownText{"пат", "stalemate"} : ShownText{"ничья", "draw"};
  return std::string(Pick(GameName(kind), russian)) + ", " + Pick(state, russian);
}

std::string PieceSpeech(GameKind kind, int8_t piece, bool russian) { return Pick(PieceName(kind, piece), russian); }

std::string SquareSpeech(GameKind kind, int square, int8_t piece, bool russian) {
  std::string name{char('a' + ColumnOf(square)), char('1' + RowOf(square))};
  return name + ", " + Pick(PieceName(kind, piece), russian);
}

}  // namespace games
