#pragma once
// Saved games: one file per opponent and kind in the "Games" folder of the
// program directory, holding the colour, the move texts two per line and
// the state, so an interrupted game can be loaded again.  No Qt.
#include <optional>
#include <string>
#include <string_view>

#include "games/game_kind.h"

namespace games {

class Game;

// The record of a game with at least one move, and the PartyText of a
// record's bytes (nothing when the state line is missing or not a number).
std::string RecordText(const Game& game);
std::optional<std::string> PartyFromRecord(std::string_view bytes);

class GameRecords {
 public:
  // `programDir` is the directory the "Games" folder lives in.
  explicit GameRecords(std::string programDir);

  std::string PathOf(GameKind kind, std::string_view name) const;
  bool Exists(GameKind kind, std::string_view name) const;
  // Writes the game atomically; a game without moves writes nothing and
  // leaves an older record in place.  Answers whether a record was written.
  bool Save(const Game& game) const;

  enum class LoadResult { Loaded, Missing, Damaged };
  // The PartyText of the record for `name`; a record that is truncated,
  // damaged or holds a move that cannot be played is Damaged.
  LoadResult Load(GameKind kind, std::string_view name, std::string* party) const;

 private:
  std::string dir_;
};

}  // namespace games
