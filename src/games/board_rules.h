#pragma once
// The rules of one game behind one interface: the position, the moves played
// so far, what the side to move may do, the texts of a move, the end of the
// game.  The game channel, the game window and the perft tool use every game
// through it.  No Qt.
//
// Squares are numbered row * 8 + column: column 0 is file a, row 0 is rank 1.
// Piece codes are those of each game (0 is always an empty square).
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "games/game_kind.h"

namespace games {

enum class Side : uint8_t { White = 0, Black = 1 };

inline constexpr Side Other(Side s) { return s == Side::White ? Side::Black : Side::White; }
inline constexpr int SquareAt(int column, int row) { return row * 8 + column; }
inline constexpr int ColumnOf(int square) { return square % 8; }
inline constexpr int RowOf(int square) { return square / 8; }

using Board = std::array<int8_t, 64>;

// How the game stands by its rules (agreed draws and surrenders are the
// channel's business, not the rules').
enum class Outcome : uint8_t {
  Running,
  WhiteWon,
  BlackWon,
  Drawn,  // reversi: equal disc counts; chess: stalemate
};

// What a move of the local player did.
enum class LocalPlay : uint8_t {
  Refused,    // not a legal move now: nothing changed
  Continues,  // checkers: a capture that must go on with the same piece
  Complete,   // the move is recorded; send it
};

// One piece sliding across the board, for the window's animation and replay.
struct Slide {
  int from = 0;
  int to = 0;
  int8_t piece = 0;  // code of the sliding piece before it moved
};

class BoardRules {
 public:
  virtual ~BoardRules() = default;

  virtual GameKind Kind() const = 0;

  // The initial position, no moves, White to move.
  virtual void Reset() = 0;

  virtual const Board& Position() const = 0;
  // The side whose move it is (reversi passes are taken into account).
  virtual Side ToMove() const = 0;
  virtual Outcome Result() const = 0;

  // Number of moves in the history (a checkers capture sequence is one move;
  // reversi passes are not moves).
  virtual int MoveCount() const = 0;

  // Squares from which the side to move may move now, and where the piece on
  // `from` may go.  Reversi: the legal squares, each its own only target.
  // Checkers in the middle of a capture: only the capturing piece.
  virtual uint64_t MovableSquares() const = 0;
  virtual uint64_t TargetsOf(int from) const = 0;

  // Chess: whether moving from `from` to `to` is a promotion that needs the
  // player's choice of piece.  The other games never ask.
  virtual bool NeedsPromotion(int from, int to) const { (void)from; (void)to; return false; }

  // The local player moves the piece on `from` to `to` (reversi: from == to,
  // the square clicked).  `promotion` is the code of the chosen piece, 0 when
  // none is needed.
  virtual LocalPlay PlayLocal(int from, int to, int8_t promotion) = 0;

  // Reads a move text and plays it as the move of the side to move,
  // recording it.  A text that is not a legal whole move of the side to move
  // changes nothing and answers false: the copies of the game differ and the
  // caller repairs them.
  virtual bool PlayMoveText(std::string_view text) = 0;

  // Texts of move `index` (0-based) of the history: the one the opponent
  // receives, and the markup shown in the move list (with its marks; reversi
  // with the disc counts after the move).
  virtual std::string MoveText(int index) const = 0;
  virtual std::string MoveListText(int index) const = 0;

  // The position after the first `moves` moves, and the slides of move
  // `index` in the order they happen (checkers: every step; chess: the king
  // and its castling rook; reversi: the placed disc as a slide onto itself).
  virtual Board PositionAfter(int moves) const = 0;
  virtual std::vector<Slide> SlidesOf(int index) const = 0;

  // Leaf count of the move tree of `depth` whole moves from the current
  // position; leaves the position unchanged.  Checkers and chess count only
  // the nodes at `depth`; in reversi a pass is a move when the other side
  // can still place, and a finished game is a leaf wherever it ends.
  virtual uint64_t Perft(int depth) = 0;
};

// The rules of each kind, in the initial position.
std::unique_ptr<BoardRules> MakeCheckersRules();
std::unique_ptr<BoardRules> MakeReversiRules();
// Defined by the chess module (chess_rules.cpp).
std::unique_ptr<BoardRules> MakeChessRules();

std::unique_ptr<BoardRules> MakeRules(GameKind kind);

}  // namespace games
