#pragma once
// The pictures of a game board: the piece cells of the checkers or chess
// strip (clear where the strip is: checkers in the colour of its top-left
// pixel, chess in white) and the five board tiles, for one board size.
#include <QPixmap>
#include <vector>

#include "games/game_kind.h"

namespace games {

struct PieceImages {
  std::vector<QPixmap> pieces;  // piece code c is drawn with cell c - 1
  std::vector<QPixmap> tiles;   // light, dark, frame, highlighted light, highlighted dark

  // The picture of `code`, or a null pixmap for an empty square or an
  // unknown code.
  const QPixmap* Piece(int code) const;
};

// Decoded once per kind and size; reversi uses the checkers pictures.
const PieceImages& PiecesOf(GameKind kind, bool big);

}  // namespace games
