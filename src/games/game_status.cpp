#include "games/game_status.h"

#include "games/game.h"
#include "games/game_texts.h"
#include "text/cp1251.h"

namespace games {
namespace {

const char* StateText(GameKind kind, int8_t state, bool ru) {
  const bool chess = kind == GameKind::Chess;
  switch (state) {
    case kOwnMove: return ru ? "ваш ход" : "your move";
    case kOpponentMove: return ru ? "ход соперника" : "opponent move";
    case kWon: return chess ? (ru ? "мат, вы выиграли" : "mate, you won") : (ru ? "Вы выиграли" : "You won");
    case kLost: return chess ? (ru ? "мат, вы проиграли" : "mate, you lose") : (ru ? "Вы проиграли" : "You lose");
    case kOpponentSurrendered: return ru ? "Соперник сдался, вы выиграли" : "opponent surrended, you won";
    case kSurrendered: return ru ? "Вы сдались и проиграли" : "You surrended and lose";
    case kDrawState:
      if (chess) return ru ? "пат, игра окончена" : "stalemate, game over";
      if (kind == GameKind::Reversi) return ru ? "Ничья" : "Draw";
      return ru ? "ничья" : "draw";
    case kAgreedChessDraw: return chess ? (ru ? "ничья" : "draw") : "";
    default: return "";
  }
}

const char* NamePart(GameKind kind, bool ru) {
  switch (kind) {
    case GameKind::Checkers: return ru ? "Шашки - " : "Checkers - ";
    case GameKind::Chess: return ru ? "Шахматы - " : "Chess - ";
    case GameKind::Reversi: break;
  }
  return ru ? "Реверси - " : "Reversi - ";
}

}  // namespace

std::string StatusCaption(const Game& game, bool russian) {
  std::string caption = std::string(NamePart(game.Kind(), russian)) + StateText(game.Kind(), game.State(), russian);
  if (game.review) caption += russian ? " [Просмотр]" : " [Review]";
  return text::W(caption);
}

ControlStates ControlStatesOf(const Game& game, int shownMoves) {
  ControlStates c;
  const int n = game.MoveCount();
  const int p = game.review ? shownMoves : n;
  c.toStart = c.moveBack = p != 0;
  c.play = c.moveFwd = c.toNow = p != n;
  c.onceMore = !game.Running();
  c.ping = game.Running();
  c.surrender = game.State() == kOwnMove;
  c.draw = c.surrender && TextsOf(game.Kind()).hasDraw;
  return c;
}

}  // namespace games
