// The line queue between the socket and the dispatcher: lines taken one at
// a time while more bytes arrive in between, the bound on an unfinished
// line, and constant cost per line however long the queue runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "session/line_queue.h"

using session::LineQueue;

TEST(LineQueue, HandsOutWholeLinesOneAtATimeAsBytesArrive) {
  LineQueue queue;
  std::string line;
  EXPECT_FALSE(queue.TakeLine(line));
  EXPECT_TRUE(queue.Append("one\ntw"));
  EXPECT_TRUE(queue.HasLine());
  ASSERT_TRUE(queue.TakeLine(line));
  EXPECT_EQ(line, "one");
  EXPECT_FALSE(queue.TakeLine(line));
  EXPECT_EQ(queue.Size(), 2u);
  EXPECT_TRUE(queue.Append("o\r\n\nthree\nfou"));
  std::vector<std::string> lines;
  while (queue.TakeLine(line)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"two\r", "", "three"}));
  EXPECT_EQ(queue.Unfinished(), "fou");
  // Byte by byte gives the same lines.
  LineQueue bytes;
  std::vector<std::string> again;
  for (char c : std::string("one\ntwo\r\n\nthree\nfou")) {
    ASSERT_TRUE(bytes.Append(std::string(1, c)));
    while (bytes.TakeLine(line)) again.push_back(line);
  }
  EXPECT_EQ(again, (std::vector<std::string>{"one", "two\r", "", "three"}));
  EXPECT_EQ(bytes.Unfinished(), "fou");
}

TEST(LineQueue, OnlyTheUnfinishedRestIsBounded) {
  LineQueue queue(100);
  std::string many;
  for (int i = 0; i < 100; ++i) many += "line\n";
  // Whole lines waiting do not count against the bound.
  EXPECT_TRUE(queue.Append(many + std::string(90, 'x')));
  EXPECT_GT(queue.Size(), 100u);
  EXPECT_TRUE(queue.Append(std::string(10, 'x')));  // exactly at the bound
  EXPECT_FALSE(queue.Append("x"));
  EXPECT_EQ(queue.Size(), 0u);
  EXPECT_FALSE(queue.HasLine());
  // A line feed in the same piece ends the unfinished line in time.
  EXPECT_TRUE(queue.Append(std::string(150, 'y') + "\nz"));
  std::string line;
  ASSERT_TRUE(queue.TakeLine(line));
  EXPECT_EQ(line.size(), 150u);
  queue.Clear();
  EXPECT_EQ(queue.Size(), 0u);
  EXPECT_FALSE(queue.TakeLine(line));
}

TEST(LineQueue, LongRunsStayWholeAndInOrderWhileTheFrontIsDropped) {
  LineQueue queue;
  std::string line;
  // Two lines in, one out, then the rest: the taken front is dropped again
  // and again while lines and a split line wait behind it.
  int taken = 0;
  for (int i = 0; i < 20000; ++i) {
    ASSERT_TRUE(queue.Append("line " + std::to_string(2 * i) + "\nline " + std::to_string(2 * i + 1)));
    ASSERT_TRUE(queue.Append("\n"));
    ASSERT_TRUE(queue.TakeLine(line));
    ASSERT_EQ(line, "line " + std::to_string(taken++));
  }
  while (queue.TakeLine(line)) ASSERT_EQ(line, "line " + std::to_string(taken++));
  EXPECT_EQ(taken, 40000);
  EXPECT_EQ(queue.Size(), 0u);
}
