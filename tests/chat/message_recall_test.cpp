// Up/Down through the messages sent and Tab completion of online names.
#include <gtest/gtest.h>

#include "chat/message_recall.h"
#include "text/cp1251.h"

using window::CompleteName;
using window::Completion;
using window::LineEdit;
using window::MessageHistory;

namespace {

TEST(MessageHistory, UpAndDownWalkTheLastFiftyAndReturnToTheDraft) {
  MessageHistory history;
  EXPECT_FALSE(history.Older("draft"));
  for (int i = 0; i < 60; ++i) history.Sent("m" + std::to_string(i));
  history.Sent("m59");  // a repeat is kept once
  EXPECT_EQ(history.Size(), MessageHistory::kKept);
  EXPECT_EQ(history.Older("draft").value(), "m59");
  EXPECT_EQ(history.Older("ignored").value(), "m58");
  EXPECT_EQ(history.Newer().value(), "m59");
  EXPECT_EQ(history.Newer().value(), "draft");
  EXPECT_FALSE(history.Newer());
  for (int i = 0; i < 49; ++i) ASSERT_TRUE(history.Older("x"));
  EXPECT_EQ(history.Older("x").value(), "m10");  // the oldest kept
  EXPECT_EQ(history.Older("x"), std::nullopt);
  history.Sent("new");
  EXPECT_EQ(history.Older("").value(), "new");
}

TEST(NameCompletion, CompletesAtTheCaretAndCyclesOnTab) {
  const std::vector<std::string> names = {"Bob", "boris", text::W("Вася"), "Anna"};
  LineEdit line{"bo", 0, 0, 2};
  std::optional<Completion> first = CompleteName(line, names, std::nullopt);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->edit.text, "Bob, ");
  EXPECT_EQ(first->edit.caret, 5);
  std::optional<Completion> second = CompleteName(first->edit, names, first);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->edit.text, "boris, ");
  std::optional<Completion> third = CompleteName(second->edit, names, second);
  EXPECT_EQ(third->edit.text, "Bob, ");  // round again

  // In the middle of a line, with Cyrillic look-alikes typed in Latin.
  LineEdit middle{"hi Ba and", 0, 0, 5};
  std::optional<Completion> c = CompleteName(middle, names, std::nullopt);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->edit.text, "hi " + text::W("Вася") + "  and");
  EXPECT_FALSE(CompleteName(LineEdit{"zz", 0, 0, 2}, names, std::nullopt));
  EXPECT_FALSE(CompleteName(LineEdit{"hi ", 0, 0, 3}, names, std::nullopt));  // nothing typed: Tab moves on
}

}  // namespace
