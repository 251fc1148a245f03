// The move-text readers of the three games.  The first byte picks the game;
// the rest is move texts separated by ";" or line feeds, played in turn.
// Every text the rules accept must, written back by them, read the same in a
// second copy of the game: the two copies stay in the same position.
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "games/board_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const games::GameKind kind = games::kAllGameKinds[data[0] % 3];
  std::string_view moves = fuzz::Bytes(data + 1, size - 1);
  auto rules = games::MakeRules(kind);
  auto copy = games::MakeRules(kind);
  int played = 0;
  while (!moves.empty() && played < 400) {
    size_t end = moves.find_first_of(";\n");
    const std::string_view text = moves.substr(0, end);
    moves = end == std::string_view::npos ? std::string_view() : moves.substr(end + 1);

    const games::Board before = rules->Position();
    const int count = rules->MoveCount();
    if (!rules->PlayMoveText(text)) {
      // A refused text changes nothing.
      FUZZ_CHECK(rules->Position() == before);
      FUZZ_CHECK(rules->MoveCount() == count);
      continue;
    }
    ++played;
    FUZZ_CHECK(rules->MoveCount() == count + 1);
    const std::string written = rules->MoveText(count);
    FUZZ_CHECK(copy->PlayMoveText(written));
    FUZZ_CHECK(copy->MoveText(count) == written);
    FUZZ_CHECK(copy->Position() == rules->Position());
    FUZZ_CHECK(copy->ToMove() == rules->ToMove());
    FUZZ_CHECK(rules->PositionAfter(count + 1) == rules->Position());
    FUZZ_CHECK(rules->PositionAfter(count) == before);
    (void)rules->MoveListText(count);
    (void)rules->SlidesOf(count);
  }
  return 0;
}
