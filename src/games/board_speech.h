#pragma once
// What a screen reader says of a game board, in either interface language
// (UTF-8): the board by its game and whose move it is (or how the game
// ended), each square by its coordinate and the piece on it.  No Qt.
#include <cstdint>
#include <string>

#include "games/board_rules.h"
#include "games/game_kind.h"

namespace games {

// "Шашки, ход белых" / "Checkers, white to move"; once the rules end the
// game "…, белые выиграли" / "…, white won" or a draw; a game ended by the
// players (surrender, agreed draw) "…, игра окончена" / "…, game over".
std::string BoardSpeech(GameKind kind, bool running, Side toMove, Outcome outcome, bool russian);

// "белый ферзь" / "white queen"; "пусто" / "empty" for no piece.
std::string PieceSpeech(GameKind kind, int8_t piece, bool russian);

// "e4, белая шашка" / "e4, white man"; an empty square "e4, пусто" / "e4, empty".
std::string SquareSpeech(GameKind kind, int square, int8_t piece, bool russian);

}  // namespace games
