// The reaction to chat and game events, from the [Sounds] settings: the
// one rule the chat window and the game windows share.
#include <gtest/gtest.h>

#include "chat/reaction.h"
#include "settings/settings.h"

using settings::ReactionSet;
using window::ReactionFor;

TEST(Reaction, FollowsTheSettingsOfItsOwnSet) {
  settings::Settings s;
  constexpr size_t kGame = static_cast<size_t>(ReactionSet::Game);
  constexpr size_t kPublic = static_cast<size_t>(ReactionSet::Public);
  s.StealFocus[kGame] = true;
  s.AnswerType[kGame] = 2;
  s.Wave[kGame] = "move.wav";
  s.StealFocus[kPublic] = false;
  s.AnswerType[kPublic] = 1;

  const auto game = ReactionFor(s, ReactionSet::Game, false, false);
  EXPECT_TRUE(game.bringForward);
  EXPECT_FALSE(game.beep);
  EXPECT_EQ(game.wave, "move.wav");

  const auto pub = ReactionFor(s, ReactionSet::Public, false, false);
  EXPECT_FALSE(pub.bringForward);
  EXPECT_TRUE(pub.beep);
  EXPECT_TRUE(pub.wave.empty());

  s.AnswerType[kPublic] = 0;
  const auto silent = ReactionFor(s, ReactionSet::Public, false, false);
  EXPECT_FALSE(silent.beep);
  EXPECT_TRUE(silent.wave.empty());
}

TEST(Reaction, SettingsDialogKeepsTheFocusAndMutingKeepsTheWindowPart) {
  settings::Settings s;
  constexpr size_t kPersonal = static_cast<size_t>(ReactionSet::Personal);
  s.StealFocus[kPersonal] = true;
  s.AnswerType[kPersonal] = 1;

  const auto overDialog = ReactionFor(s, ReactionSet::Personal, true, false);
  EXPECT_FALSE(overDialog.bringForward);
  EXPECT_TRUE(overDialog.beep);

  const auto muted = ReactionFor(s, ReactionSet::Personal, false, true);
  EXPECT_TRUE(muted.bringForward);
  EXPECT_FALSE(muted.beep);
  EXPECT_TRUE(muted.wave.empty());
}
