#pragma once
// The three board games and the text that marks their messages.
#include <optional>
#include <string_view>

namespace games {

enum class GameKind { Checkers, Chess, Reversi };

inline constexpr GameKind kAllGameKinds[] = {GameKind::Checkers, GameKind::Chess, GameKind::Reversi};

// "Gm:Chk:", "Gm:Chs:", "Gm:Rvs:": every game message begins with one of these.
std::string_view PrefixOf(GameKind kind);
// ".chk", ".chs", ".rvs": the record file extension.
std::string_view RecordExtensionOf(GameKind kind);
// The kind whose prefix begins `text`, if any.
std::optional<GameKind> GameKindOf(std::string_view text);
// Some game's prefix occurs anywhere in `text` (the server's confirmation
// quotes the message after its time and name).
bool MentionsGame(std::string_view text);

}  // namespace games
