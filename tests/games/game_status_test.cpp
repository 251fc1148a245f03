// Captions and button states of a game window from the game's state.
#include <gtest/gtest.h>

#include "games/game.h"
#include "games/game_status.h"
#include "text/cp1251.h"

using namespace games;

TEST(GameStatus, CaptionsFollowKindStateAndReview) {
  Game chess(GameKind::Chess, "Bob", true, MakeRules(GameKind::Chess));
  EXPECT_EQ(StatusCaption(chess, true), text::W("Шахматы - ваш ход"));
  chess.EndWith(kDrawState);
  EXPECT_EQ(StatusCaption(chess, false), "Chess - stalemate, game over");
  chess.EndWith(kWon);
  chess.review = true;
  EXPECT_EQ(StatusCaption(chess, true), text::W("Шахматы - мат, вы выиграли [Просмотр]"));

  Game reversi(GameKind::Reversi, "Bob", false, MakeRules(GameKind::Reversi));
  EXPECT_EQ(StatusCaption(reversi, false), "Reversi - opponent move");
  reversi.EndWith(kDrawState);
  EXPECT_EQ(StatusCaption(reversi, true), text::W("Реверси - Ничья"));
  Game checkers(GameKind::Checkers, "Bob", true, MakeRules(GameKind::Checkers));
  checkers.EndWith(kDrawState);
  EXPECT_EQ(StatusCaption(checkers, true), text::W("Шашки - ничья"));
  checkers.EndWith(kSurrendered);
  EXPECT_EQ(StatusCaption(checkers, false), "Checkers - You surrended and lose");
}

TEST(GameStatus, ButtonsFollowTheShownPositionAndTheState) {
  Game g(GameKind::Checkers, "Bob", true, MakeRules(GameKind::Checkers));
  ControlStates c = ControlStatesOf(g, 0);
  EXPECT_FALSE(c.toStart || c.moveBack || c.play || c.moveFwd || c.toNow || c.onceMore);
  EXPECT_TRUE(c.ping && c.draw && c.surrender);

  ASSERT_TRUE(g.LoadParty("W;PC3-D4;PF6-E5;0"));
  g.review = true;
  c = ControlStatesOf(g, 1);
  EXPECT_TRUE(c.toStart && c.moveBack && c.play && c.moveFwd && c.toNow);
  c = ControlStatesOf(g, 2);
  EXPECT_FALSE(c.play || c.moveFwd || c.toNow);
  g.review = false;
  EXPECT_TRUE(ControlStatesOf(g, 0).moveBack);  // the shown position is the last one

  Game r(GameKind::Reversi, "Bob", true, MakeRules(GameKind::Reversi));
  EXPECT_FALSE(ControlStatesOf(r, 0).draw);  // reversi has no draw offers
  EXPECT_TRUE(ControlStatesOf(r, 0).surrender);
  r.EndWith(kLost);
  c = ControlStatesOf(r, 0);
  EXPECT_TRUE(c.onceMore);
  EXPECT_FALSE(c.ping || c.surrender);
}
