#include "games/game_kind.h"

namespace games {

std::string_view PrefixOf(GameKind kind) {
  switch (kind) {
    case GameKind::Checkers: return "Gm:Chk:";
    case GameKind::Chess: return "Gm:Chs:";
    case GameKind::Reversi: return "Gm:Rvs:";
  }
  return {};
}

std::string_view RecordExtensionOf(GameKind kind) {
  switch (kind) {
    case GameKind::Checkers: return ".chk";
    case GameKind::Chess: return ".chs";
    case GameKind::Reversi: return ".rvs";
  }
  return {};
}

std::optional<GameKind> GameKindOf(std::string_view text) {
  for (GameKind kind : kAllGameKinds)
    if (text.substr(0, PrefixOf(kind).size()) == PrefixOf(kind)) return kind;
  return std::nullopt;
}

bool MentionsGame(std::string_view text) {
  for (GameKind kind : kAllGameKinds)
    if (text.find(PrefixOf(kind)) != std::string_view::npos) return true;
  return false;
}

}  // namespace games
