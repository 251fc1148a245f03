#pragma once
// The texts that differ between the three games on the channel.
#include <cstdint>
#include <string>

#include "games/game_kind.h"

namespace games {

struct KindTexts {
  const char* invitation;     // the wire text after the prefix
  const char* askRu;          // after the inviter's name
  const char* askEn;
  const char* continueRu;     // after the opponent's name
  const char* continueEn;
  bool hasDraw;               // draw offers are part of the game
  int8_t drawState;           // the state of an agreed draw
};

// The texts of `kind`; the Cyrillic ones are UTF-8 (convert with text::W).
const KindTexts& TextsOf(GameKind kind);

}  // namespace games
