// chatd's input guards without sockets: the line splitter, the request
// guard of the web side and the counting refusal log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/line_splitter.h"
#include "server/refusal_log.h"
#include "server/request_guard.h"

namespace {

using chatd::LineSplitter;
using chatd::RefusalLog;
using chatd::RequestGuard;
using Verdict = RequestGuard::Verdict;

std::vector<std::string> FeedAll(LineSplitter& s, const std::vector<std::string>& reads, bool* fits = nullptr) {
  std::vector<std::string> lines;
  bool ok = true;
  for (const auto& r : reads)
    ok = s.Feed(r, [&](std::string_view l) {
      lines.emplace_back(l);
      return true;
    }) && ok;
  if (fits) *fits = ok;
  return lines;
}

TEST(LineSplitterTest, LinesAcrossReadsEmptyLinesAndTheTail) {
  LineSplitter s(1024);
  const auto lines = FeedAll(s, {"ab", "c\n\nde", "f\ng", "", "h\n"});
  EXPECT_EQ(lines, (std::vector<std::string>{"abc", "", "def", "gh"}));
  EXPECT_EQ(s.Pending(), 0u);
  FeedAll(s, {"partial"});
  EXPECT_EQ(s.Pending(), 7u);
}

TEST(LineSplitterTest, TheBoundCountsOnlyTheUnfinishedLineAndCanBeRaised) {
  LineSplitter s(8);
  bool fits = false;
  // Long complete lines inside one read are fine; only what waits counts.
  auto lines = FeedAll(s, {std::string(100, 'a') + "\n1234567"}, &fits);
  EXPECT_TRUE(fits);
  EXPECT_EQ(lines.size(), 1u);
  // The tail grows past 8 across reads, also when its end comes.
  FeedAll(s, {"89\n"}, &fits);
  EXPECT_FALSE(fits);
  EXPECT_EQ(s.Pending(), 0u);
  FeedAll(s, {"123456789"}, &fits);
  EXPECT_FALSE(fits);
  s.SetLimit(64);
  lines = FeedAll(s, {"123456789", "0\n"}, &fits);
  EXPECT_TRUE(fits);
  EXPECT_EQ(lines, std::vector<std::string>{"1234567890"});
}

TEST(LineSplitterTest, AHandlerThatStopsThrowsTheRestAway) {
  LineSplitter s(1024);
  std::vector<std::string> lines;
  s.Feed("a\nb\nc", [&](std::string_view l) {
    lines.emplace_back(l);
    return false;
  });
  EXPECT_EQ(lines, std::vector<std::string>{"a"});
  EXPECT_EQ(s.Pending(), 0u);
}

TEST(RequestGuardTest, HeadsEndAtAnEmptyLineWithCrLfOrBareLfAndPipelinedRequestsCount) {
  RequestGuard g;
  EXPECT_FALSE(g.InRequest());
  EXPECT_EQ(g.Feed("GET / HTTP/1.1\r\nHost: x\r"), Verdict::Fine);
  EXPECT_TRUE(g.InRequest());
  EXPECT_EQ(g.Feed("\n\r\nGET /a HTTP/1.0\n\n\r\nGET /b HTTP/1.1\nHost: y\n"), Verdict::Fine);
  EXPECT_EQ(g.Completed(), 2u);
  EXPECT_TRUE(g.InRequest());
  EXPECT_EQ(g.Feed("\n"), Verdict::Fine);
  EXPECT_EQ(g.Completed(), 3u);
  EXPECT_FALSE(g.InRequest());
  // Blank lines between requests start nothing.
  EXPECT_EQ(g.Feed("\r\n\r\n"), Verdict::Fine);
  EXPECT_FALSE(g.InRequest());
}

TEST(RequestGuardTest, AHeadPastTheBoundIsRefusedAlsoWhenItComesInPieces) {
  RequestGuard g;
  EXPECT_EQ(g.Feed("GET /" + std::string(RequestGuard::kMaxHead - 100, 'a')), Verdict::Fine);
  EXPECT_EQ(g.Feed(std::string(50, 'a')), Verdict::Fine);
  EXPECT_EQ(g.Feed(std::string(100, 'a')), Verdict::HeadTooLong);
  // Many short header lines add up the same.
  RequestGuard lines;
  Verdict v = lines.Feed("GET / HTTP/1.1\r\n");
  for (int i = 0; i < 10000 && v == Verdict::Fine; ++i) v = lines.Feed("X-A: bbbbbbbbbbbb\r\n");
  EXPECT_EQ(v, Verdict::HeadTooLong);
}

TEST(RequestGuardTest, BodiesAreCountedAndOnlySmallOnesWithAKnownLengthPass) {
  RequestGuard g;
  EXPECT_EQ(g.Feed("GET / HTTP/1.1\r\ncontent-length:  5 \r\n\r\nabc"), Verdict::Fine);
  EXPECT_TRUE(g.InRequest());
  // The body's end is not taken for a new request's head.
  EXPECT_EQ(g.Feed("\r\nGET"), Verdict::Fine);
  EXPECT_EQ(g.Completed(), 1u);
  EXPECT_TRUE(g.InRequest());
  EXPECT_EQ(RequestGuard().Feed("POST / HTTP/1.1\r\nContent-Length: 1025\r\n\r\n"), Verdict::BodyTooLong);
  EXPECT_EQ(RequestGuard().Feed("POST / HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n"),
            Verdict::BadFraming);
  EXPECT_EQ(RequestGuard().Feed("POST / HTTP/1.1\r\nContent-Length: -1\r\n\r\n"), Verdict::BadFraming);
  EXPECT_EQ(RequestGuard().Feed("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"), Verdict::BadFraming);
}

struct FakeLog {
  int64_t now = 0;
  std::vector<std::string> lines;
  RefusalLog log{[this](std::string_view l) { lines.emplace_back(l); }, [this] { return now; }};
};

TEST(RefusalLogTest, TheFirstRefusalIsWrittenAtOnceRepeatsAsOneCountedLinePerSecond) {
  FakeLog f;
  f.log.Note("client 1", "line dropped", "first");
  ASSERT_EQ(f.lines.size(), 1u);
  EXPECT_EQ(f.lines[0], "client 1: line dropped (\"first\")");
  for (int i = 0; i < 1000; ++i) f.log.Note("client 1", "line dropped", "again");
  f.log.Note("client 1", "other kind");
  f.now = 999;
  f.log.Flush();
  EXPECT_EQ(f.lines.size(), 1u) << "a second line within the second";
  f.now = 1000;
  f.log.Note("client 1", "line dropped");  // due now: written with the others
  ASSERT_EQ(f.lines.size(), 2u);
  EXPECT_EQ(f.lines[1], "client 1: 1001 x line dropped (\"again\"); other kind");
  // Another connection has its own second.
  f.log.Note("client 2", "line dropped");
  EXPECT_EQ(f.lines.size(), 3u);
}

TEST(RefusalLogTest, CountsOfAConnectionThatLeftAreStillWrittenThenForgotten) {
  FakeLog f;
  f.log.Note("client 1", "k");
  f.log.Note("client 1", "k");
  f.log.Done("client 1");
  f.log.Flush();
  EXPECT_EQ(f.lines.size(), 1u);
  f.now = 1000;
  f.log.Flush();
  ASSERT_EQ(f.lines.size(), 2u);
  EXPECT_EQ(f.lines[1], "client 1: k");
  EXPECT_EQ(f.log.Subjects(), 0u);
  // A quiet connection is forgotten too.
  f.log.Note("client 3", "k");
  f.now = 3000;
  f.log.Flush();
  EXPECT_EQ(f.log.Subjects(), 0u);
}

TEST(RefusalLogTest, OnlyAShortEscapedPrefixAndABoundedNumberOfConnections) {
  FakeLog f;
  f.log.Note("client 1", "k", "\x1b[2J\n" + std::string(5000, 'A'));
  ASSERT_EQ(f.lines.size(), 1u);
  EXPECT_EQ(f.lines[0].find('\x1b'), std::string::npos);
  EXPECT_EQ(f.lines[0].find('\n'), std::string::npos);
  EXPECT_NE(f.lines[0].find("\\x1b[2J\\x0a"), std::string::npos);
  EXPECT_LT(f.lines[0].size(), 120u);
  for (int i = 0; i < 10000; ++i) f.log.Note("address " + std::to_string(i), "k");
  EXPECT_LE(f.log.Subjects(), RefusalLog::kMaxSubjects + 1);
  EXPECT_LE(f.lines.size(), RefusalLog::kMaxSubjects + 2);
}

}  // namespace
