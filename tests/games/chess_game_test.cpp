// Chess games played between two players' copies: each move made locally
// on one side and read from its message on the other, to mate and to
// stalemate.
#include <gtest/gtest.h>

#include <string>

#include "games/board_rules.h"
#include "games/game.h"
#include "text/cp1251.h"

namespace games {
namespace {

// Ann plays white against Bob; each window is named by its opponent.
struct Players {
  Game white{GameKind::Chess, "bob", true, MakeRules(GameKind::Chess)};
  Game black{GameKind::Chess, "ann", false, MakeRules(GameKind::Chess)};
  std::string whiteNote, blackNote;

  // The mover drags the piece of `text`; the other side reads the message.
  void Play(const std::string& text) {
    Game& mover = white.Rules().ToMove() == Side::White ? white : black;
    Game& receiver = &mover == &white ? black : white;
    const auto square = [&](size_t at) { return SquareAt(text[at] - 'A', text[at + 1] - '1'); };
    const int to = square(text[3] == ':' ? 5 : 4);
    ASSERT_EQ(mover.PlayLocal(square(1), to, 0, &mover == &white ? &whiteNote : &blackNote), LocalPlay::Complete)
        << text;
    const std::string message = mover.MoveMessage(mover.MoveCount() - 1);
    ASSERT_EQ(message, std::to_string(mover.MoveCount()) + ":" + text);
    ASSERT_TRUE(receiver.PlayOpponentMove(message.substr(message.find(':') + 1),
                                          &receiver == &white ? &whiteNote : &blackNote))
        << text;
    ASSERT_EQ(receiver.Rules().Position(), mover.Rules().Position());
  }
};

TEST(ChessGame, MateEndsBothSidesWithTheirNotesAndResultLine) {
  Players p;
  for (const char* move : {"PF2-F3", "PE7-E5", "PG2-G4"}) p.Play(move);
  EXPECT_EQ(p.white.State(), kOpponentMove);
  EXPECT_EQ(p.black.State(), kOwnMove);
  // Not the local player's turn: the drag is refused.
  EXPECT_EQ(p.white.PlayLocal(SquareAt(0, 1), SquareAt(0, 2), 0, nullptr), LocalPlay::Refused);
  p.Play("QD8-H4");
  EXPECT_EQ(p.black.State(), kWon);
  EXPECT_EQ(p.white.State(), kLost);
  EXPECT_EQ(p.blackNote, text::W("Мат! Вы выиграли у ann"));
  EXPECT_EQ(p.whiteNote, text::W("Мат! Вы проиграли bob"));
  for (const Game* game : {&p.white, &p.black}) {
    const auto& list = game->MoveList();
    ASSERT_GE(list.size(), 2u);
    EXPECT_NE(list[list.size() - 2].markup.find("<fcol=0000ff>++<fcol=000000>"), std::string::npos);
    EXPECT_NE(list.back().markup.find(text::W("<b>Мат</b>")), std::string::npos);
  }
  EXPECT_FALSE(p.white.PlayOpponentMove("PA7-A6", nullptr));
}

TEST(ChessGame, StalemateIsADrawOnBothSides) {
  Players p;
  // The shortest known stalemate from the initial position, ten moves long.
  for (const char* move : {"PE2-E3", "PA7-A5", "QD1-H5", "RA8-A6", "QH5:PA5", "PH7-H5", "PH2-H4", "RA6-H6",
                           "QA5:PC7", "PF7-F6", "QC7:PD7", "KE8-F7", "QD7:PB7", "QD8-D3", "QB7:NB8", "QD3-H7",
                           "QB8:BC8", "KF7-G6", "QC8-E6"})
    p.Play(move);
  EXPECT_EQ(p.white.State(), kDrawState);
  EXPECT_EQ(p.black.State(), kDrawState);
  EXPECT_EQ(p.whiteNote, text::W("Пат!"));
  EXPECT_EQ(p.blackNote, text::W("Пат!"));
  EXPECT_EQ(p.white.Rules().Result(), Outcome::Drawn);
  EXPECT_NE(p.black.MoveList().back().markup.find(text::W("<b>Пат</b>")), std::string::npos);
  // The check on move 11 carries its mark; the last move the stalemate mark.
  EXPECT_NE(p.white.Rules().MoveListText(10).find("<fcol=0000ff>+<fcol=000000>"), std::string::npos);
  EXPECT_NE(p.white.Rules().MoveListText(18).find("<fcol=0000ff>--<fcol=000000>"), std::string::npos);
  // The whole game travels as one party text and loads to the same end.
  Game reloaded(GameKind::Chess, "bob", true, MakeRules(GameKind::Chess));
  EXPECT_TRUE(reloaded.LoadParty(p.white.PartyText()));
  EXPECT_EQ(reloaded.State(), kDrawState);
  EXPECT_EQ(reloaded.MoveList(), p.white.MoveList());
}

}  // namespace
}  // namespace games
