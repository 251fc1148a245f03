// perft GAME DEPTH [MOVES]: plays MOVES (move texts joined by ";") from the
// initial position of GAME (checkers, chess, reversi) and prints the number
// of leaves of the move tree of DEPTH whole moves from there.
#include <cstdio>
#include <string>
#include <string_view>

#include "games/board_rules.h"
#include "text/bytes.h"

namespace {

constexpr int kMaxDepth = 30;

int Usage() {
  std::fprintf(stderr, "usage: perft checkers|chess|reversi DEPTH [MOVES]\n"
                       "  DEPTH  0 to %d\n"
                       "  MOVES  move texts joined by \";\", played from the initial position\n",
               kMaxDepth);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) return Usage();
  const std::string_view game = argv[1];
  games::GameKind kind;
  if (game == "checkers") kind = games::GameKind::Checkers;
  else if (game == "chess") kind = games::GameKind::Chess;
  else if (game == "reversi") kind = games::GameKind::Reversi;
  else {
    std::fprintf(stderr, "perft: unknown game \"%s\" (checkers, chess or reversi)\n", argv[1]);
    return 2;
  }
  const auto depth = text::ParseInt(argv[2]);
  if (!depth || *depth < 0 || *depth > kMaxDepth) {
    std::fprintf(stderr, "perft: depth \"%s\" is not a number from 0 to %d\n", argv[2], kMaxDepth);
    return 2;
  }
  auto rules = games::MakeRules(kind);
  if (!rules) {
    std::fprintf(stderr, "perft: the %s rules are not part of this build\n", argv[1]);
    return 3;
  }
  if (argc == 4) {
    int number = 0;
    for (const std::string& move : text::Split(argv[3], ';')) {
      if (move.empty()) continue;
      ++number;
      if (!rules->PlayMoveText(move)) {
        std::fprintf(stderr, "perft: move %d \"%s\" is not a legal move in its position\n", number,
                     move.c_str());
        return 1;
      }
    }
  }
  const unsigned long long nodes = rules->Perft(*depth);
  std::printf("perft %s %d: %llu\n", argv[1], *depth, nodes);
  return 0;
}
