#include "games/game_records.h"

#include <filesystem>
#include <system_error>

#include "games/game.h"
#include "text/bytes.h"
#include "text/line_file.h"

namespace games {
namespace {

// A record is a few kilobytes; anything far larger is not one.
constexpr size_t kMaxRecordBytes = 1 << 20;

}  // namespace

std::string RecordText(const Game& game) {
  const BoardRules& rules = game.Rules();
  std::string s = game.White() ? "White\r\n" : "Black\r\n";
  for (int i = 0; i < rules.MoveCount(); i += 2) {
    s += std::to_string(i / 2 + 1) + ": " + rules.MoveText(i);
    if (i + 1 < rules.MoveCount()) s += "   " + rules.MoveText(i + 1);
    s += "\r\n";
  }
  return s + std::to_string(game.State()) + "\r\n";
}

std::optional<std::string> PartyFromRecord(std::string_view bytes) {
  std::string party;
  bool first = true;
  size_t pos = 0;
  // Lines end at LF (a CR before it belongs to the line end); bytes after
  // the last LF are no line.
  for (size_t lf = bytes.find('\n'); lf != std::string_view::npos; pos = lf + 1, lf = bytes.find('\n', pos)) {
    std::string_view line = bytes.substr(pos, lf - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      party = line == "White" ? "W;" : "B;";
      first = false;
      continue;
    }
    const size_t colon = line.find(": ");
    if (colon == std::string_view::npos) {
      if (!text::ParseInt(line)) return std::nullopt;
      return party + std::string(line);
    }
    std::string moves(line.substr(colon + 2));
    const size_t gap = moves.find("   ");
    if (gap != std::string::npos) moves = moves.substr(0, gap) + ";" + moves.substr(gap + 3);
    party += moves + ";";
  }
  return std::nullopt;  // the state line is missing
}

GameRecords::GameRecords(std::string programDir) : dir_(std::move(programDir)) {
  if (!dir_.empty() && dir_.back() != '/') dir_ += '/';
  dir_ += "Games/";
}

std::string GameRecords::PathOf(GameKind kind, std::string_view name) const {
  return text::UserFilePath(dir_, name, RecordExtensionOf(kind));
}

bool GameRecords::Exists(GameKind kind, std::string_view name) const {
  if (name.empty()) return false;
  std::error_code ec;
  return std::filesystem::is_regular_file(PathOf(kind, name), ec);
}

bool GameRecords::Save(const Game& game) const {
  if (game.MoveCount() == 0 || game.Opponent().empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(dir_, ec);
  return text::ReplaceFileAtomically(PathOf(game.Kind(), game.Opponent()), RecordText(game));
}

GameRecords::LoadResult GameRecords::Load(GameKind kind, std::string_view name, std::string* party) const {
  if (!Exists(kind, name)) return LoadResult::Missing;
  std::error_code ec;
  const auto size = std::filesystem::file_size(PathOf(kind, name), ec);
  if (ec || size > kMaxRecordBytes) return LoadResult::Damaged;
  const auto bytes = text::ReadWholeFile(PathOf(kind, name));
  if (!bytes) return LoadResult::Damaged;
  auto text = PartyFromRecord(*bytes);
  if (!text || !PartyPlaysWholly(kind, *text)) return LoadResult::Damaged;
  if (party) *party = std::move(*text);
  return LoadResult::Loaded;
}

}  // namespace games
