#include "games/game_texts.h"

namespace games {

const KindTexts& TextsOf(GameKind kind) {
  static const KindTexts kCheckers{"Let us play checkers?",
                                   ": Сыграем в шашки?",
                                   ": Let's play checkers?",
                                   ": Продолжим игру в шашки?",
                                   ": Let's continue checkers game?",
                                   true,
                                   100};
  static const KindTexts kChess{"Let us play chess?",
                                ": Сыграем в шахматы?",
                                ": Let's play chess?",
                                ": Продолжим игру в шахматы?",
                                ": Let's continue chess game?",
                                true,
                                101};
  static const KindTexts kReversi{"Let us play reversi?",
                                  ": Сыграем в реверси?",
                                  ": Let's play reversi?",
                                  ": Продолжим игру в реверси?",
                                  ": Let's continue reversi game?",
                                  false,
                                  100};
  switch (kind) {
    case GameKind::Checkers: return kCheckers;
    case GameKind::Chess: return kChess;
    case GameKind::Reversi: break;
  }
  return kReversi;
}

}  // namespace games
