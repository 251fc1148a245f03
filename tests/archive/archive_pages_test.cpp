#include "archive/archive_pages.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "temp_dir.h"
#include "text/cp1251.h"

namespace {

using media::ArchivePages;
using media::ViewLine;
using text::W;

// Shows stored lines as they are, so a test sees exactly which bytes a page took.
ViewLine AsStored(std::string_view line) { return {std::string(line)}; }

// A stored archive line of `n`, padded to about `length` bytes.
std::string StoredLine(int n, size_t length = 60, const std::string& words = "") {
  std::string line = "09.12.26 07.05.03 (Wed)\xA6#ffffff\xA6#000000\xA6" + std::to_string(n) + " <b>Guest:</b> " +
                     words + " m" + std::to_string(n) + " ";
  if (line.size() < length) line.append(length - line.size(), 'x');
  return line;
}

class Pages : public ::testing::Test {
 protected:
  std::string Path() const { return dir_.File("private.arc"); }
  void Write(const std::vector<std::string>& lines) {
    std::ofstream out(Path(), std::ios::binary | std::ios::trunc);
    for (const auto& l : lines) out << l << '\n';
  }
  void AppendLines(const std::vector<std::string>& lines) {
    std::ofstream out(Path(), std::ios::binary | std::ios::app);
    for (const auto& l : lines) out << l << '\n';
  }
  // The shown lines without the two markers.
  static std::vector<std::string> Body(const ArchivePages& p) {
    std::vector<std::string> body;
    const auto& lines = p.Lines();
    for (size_t i = 1; i + 1 < lines.size(); ++i) body.push_back(lines[i].markup);
    return body;
  }
  // The stored lines whose bytes lie in [from, to).
  std::vector<std::string> StoredIn(const std::vector<std::string>& all, int64_t from, int64_t to) {
    std::vector<std::string> in;
    int64_t at = 0;
    for (const auto& l : all) {
      const int64_t end = at + static_cast<int64_t>(l.size()) + 1;
      if (at >= from && end <= to) in.push_back(l);
      at = end;
    }
    return in;
  }
  TempDir dir_;
};

const ViewLine kTopLink{W("<b><link=\"--- Листать вверх (Ctrl+PgUp) ---\"Page Up></b>")};
const ViewLine kBottomLink{W("<b><link=\"--- Листать вниз (Ctrl+PgDown)---\"Page Down></b>")};
const ViewLine kStart{W("<b>--- Начало архива ---</b>")};
const ViewLine kEnd{W("<b>--- Конец архива ---</b>")};

TEST_F(Pages, FirstViewOfAHundredThousandBytesStartsAfterTheLineFeedBefore38560) {
  std::vector<std::string> lines;
  int64_t size = 0;
  for (int n = 0; size < 100000; ++n) {
    lines.push_back(StoredLine(n, 50 + (n * 37) % 90));
    size += static_cast<int64_t>(lines.back().size()) + 1;
  }
  // Make the file exactly 100000 bytes by shortening the last line.
  const int64_t over = size - 100000;
  lines.back().resize(lines.back().size() - static_cast<size_t>(over));
  Write(lines);
  ASSERT_EQ(std::filesystem::file_size(Path()), 100000u);

  ArchivePages pages(Path(), ArchivePages::PageBytesOf(60), AsStored);
  pages.ShowLast();
  EXPECT_EQ(pages.PageStart(), 100000 - 61440);
  EXPECT_EQ(pages.PageEnd(), 100000);
  int64_t lastLineStartBefore = 0, at = 0;
  for (const auto& l : lines) {
    if (at <= 38560) lastLineStartBefore = at;
    at += static_cast<int64_t>(l.size()) + 1;
  }
  EXPECT_EQ(pages.ShownStart(), lastLineStartBefore);
  EXPECT_EQ(pages.ShownEnd(), 100000);
  ASSERT_GE(pages.Lines().size(), 3u);
  EXPECT_EQ(pages.Lines().front(), kTopLink);
  EXPECT_EQ(pages.Lines().back(), kEnd);
  EXPECT_EQ(Body(pages), StoredIn(lines, lastLineStartBefore, 100000));
  EXPECT_TRUE(pages.HasPrevious());
  EXPECT_FALSE(pages.HasNext());
  EXPECT_FALSE(pages.PageDown());
}

TEST_F(Pages, PagingUpAndDownShowsEveryLineWholeAndCrossingLinesOnBothPages) {
  std::vector<std::string> lines;
  for (int n = 0; n < 900; ++n) lines.push_back(StoredLine(n, 40 + (n * 53) % 200));
  lines[300] = StoredLine(300, 26000);  // longer than the look-around around a page edge
  Write(lines);
  const std::set<std::string> stored(lines.begin(), lines.end());

  ArchivePages pages(Path(), ArchivePages::PageBytesOf(10), AsStored);
  pages.ShowLast();
  std::vector<std::vector<std::string>> upward{Body(pages)};
  while (pages.PageUp()) upward.push_back(Body(pages));
  EXPECT_EQ(pages.Lines().front(), kStart);
  EXPECT_EQ(pages.Lines().back(), kBottomLink);
  EXPECT_FALSE(pages.PageUp());
  EXPECT_GT(upward.size(), 10u);

  std::set<std::string> seen;
  for (size_t p = 0; p < upward.size(); ++p) {
    for (const auto& l : upward[p]) {
      EXPECT_TRUE(stored.count(l)) << "page " << p << " shows a cut line of " << l.size() << " bytes";
      seen.insert(l);
    }
    // Consecutive pages overlap by at most the line that crosses their edge.
    if (p + 1 < upward.size() && !upward[p].empty() && !upward[p + 1].empty()) {
      const auto& newer = upward[p];
      const auto& older = upward[p + 1];
      auto at = std::find(lines.begin(), lines.end(), newer.front());
      auto olderEnd = std::find(lines.begin(), lines.end(), older.back());
      EXPECT_TRUE(olderEnd == at || olderEnd + 1 == at) << "page " << p;
    }
  }
  EXPECT_EQ(seen, stored);

  // And back down again to the end, page by page, the same pages.
  std::vector<std::vector<std::string>> downward{Body(pages)};
  while (pages.PageDown()) downward.push_back(Body(pages));
  EXPECT_EQ(pages.Lines().back(), kEnd);
  std::set<std::string> seenDown;
  for (const auto& page : downward)
    for (const auto& l : page) seenDown.insert(l);
  EXPECT_EQ(seenDown, stored);
}

TEST_F(Pages, EachStepReadsAboutOnePage) {
  std::vector<std::string> lines;
  for (int n = 0; n < 8000; ++n) lines.push_back(StoredLine(n, 100));
  Write(lines);
  const int64_t page = ArchivePages::PageBytesOf(20);
  ArchivePages pages(Path(), page, AsStored);
  pages.ShowLast();
  uint64_t before = pages.BytesRead();
  EXPECT_LE(before, static_cast<uint64_t>(page + 5000));
  int steps = 0;
  while (pages.PageUp()) {
    ++steps;
    EXPECT_LE(pages.BytesRead() - before, static_cast<uint64_t>(page + 10000)) << "step " << steps;
    before = pages.BytesRead();
  }
  EXPECT_GE(steps, 35);
}

TEST_F(Pages, MissingEmptyAndThenGrowingFile) {
  ArchivePages pages(Path(), ArchivePages::PageBytesOf(10), AsStored);
  pages.ShowLast();
  EXPECT_EQ(pages.Lines(), std::vector<ViewLine>{ViewLine{W("Архив пуст...")}});
  EXPECT_FALSE(pages.PageUp());
  EXPECT_FALSE(pages.PageDown());

  Write({});
  pages.ShowLast();
  EXPECT_EQ(pages.Lines(), std::vector<ViewLine>{ViewLine{W("Архив пуст...")}});
  pages.SetFilter("m1");
  EXPECT_EQ(pages.Lines(), std::vector<ViewLine>{ViewLine{W("Архив пуст...")}});
  pages.SetFilter("");

  // Messages arrive while the viewer shows the empty archive.
  AppendLines({StoredLine(1), StoredLine(2)});
  ASSERT_TRUE(pages.HasNext());
  ASSERT_TRUE(pages.PageDown());
  EXPECT_EQ(pages.Lines(), (std::vector<ViewLine>{kStart, {StoredLine(1)}, {StoredLine(2)}, kEnd}));
}

TEST_F(Pages, NewLinesAppendedWhileOpenAreReachedByPagingDown) {
  std::vector<std::string> lines;
  for (int n = 0; n < 400; ++n) lines.push_back(StoredLine(n, 80));
  Write(lines);
  ArchivePages pages(Path(), ArchivePages::PageBytesOf(10), AsStored);
  pages.ShowLast();
  EXPECT_FALSE(pages.HasNext());
  const std::vector<std::string> before = Body(pages);

  AppendLines({StoredLine(400, 80), StoredLine(401, 80)});
  EXPECT_TRUE(pages.HasNext());
  ASSERT_TRUE(pages.PageDown());
  EXPECT_EQ(Body(pages), (std::vector<std::string>{StoredLine(400, 80), StoredLine(401, 80)}));
  EXPECT_EQ(pages.Lines().back(), kEnd);
  ASSERT_TRUE(pages.PageUp());
  EXPECT_EQ(Body(pages).back(), lines.back());

  // A filter set now takes the new lines too.
  pages.SetFilter("m401 ");
  pages.ShowLast();
  EXPECT_EQ(Body(pages), std::vector<std::string>{StoredLine(401, 80)});

  // A trim cuts the file's start away under the viewer: paging still
  // shows whole lines of what is left.
  pages.SetFilter("");
  lines.erase(lines.begin(), lines.begin() + 300);
  Write(lines);
  pages.ShowLast();
  while (pages.PageUp()) {
  }
  EXPECT_EQ(Body(pages).front(), lines.front());
}

TEST_F(Pages, FilteredPagingBothWaysFoldsLookAlikesAndTakesWholeLines) {
  // Every 7th line names "Вася" in Cyrillic, every 11th in Latin look-alikes
  // ("Bacя"); some matching lines are long enough to cross the page-sized
  // stretches the filter reads.
  std::vector<std::string> lines, matching;
  for (int n = 0; n < 3000; ++n) {
    std::string words = n % 7 == 0 ? W("Вася") : n % 11 == 0 ? W("Bacя") : W("Петя");
    lines.push_back(StoredLine(n, n % 13 == 0 ? 3000 : 70, words));
    if (n % 7 == 0 || n % 11 == 0) matching.push_back(lines.back());
  }
  Write(lines);
  const int64_t page = ArchivePages::PageBytesOf(10);
  ArchivePages pages(Path(), page, AsStored);
  pages.ShowLast();
  pages.SetFilter(W("Вася"));

  std::vector<std::vector<std::string>> upward{Body(pages)};
  EXPECT_EQ(pages.Lines().back(), kEnd);
  while (pages.PageUp()) upward.push_back(Body(pages));
  EXPECT_EQ(pages.Lines().front(), kStart);
  EXPECT_GT(upward.size(), 5u);

  // Read from the oldest page to the newest, the pages give every matching
  // line exactly once, in file order.
  std::vector<std::string> joined;
  for (auto p = upward.rbegin(); p != upward.rend(); ++p) joined.insert(joined.end(), p->begin(), p->end());
  EXPECT_EQ(joined, matching);
  for (const auto& p : upward) {
    int64_t bytes = 0;
    for (const auto& l : p) bytes += static_cast<int64_t>(l.size()) + 1;
    EXPECT_LE(bytes, page + 3001);  // the limit, passed by at most one line
  }

  // Forward again from the first page.
  std::vector<std::string> forward = Body(pages);
  while (pages.PageDown()) {
    auto b = Body(pages);
    forward.insert(forward.end(), b.begin(), b.end());
  }
  EXPECT_EQ(forward, matching);
  EXPECT_EQ(pages.Lines().back(), kEnd);

  // Nothing matches: the whole file is searched, only the markers remain.
  pages.SetFilter("nobody at all");
  EXPECT_EQ(pages.Lines(), (std::vector<ViewLine>{kStart, kEnd}));

  // An empty filter shows the unfiltered page again.
  pages.SetFilter("");
  EXPECT_EQ(Body(pages).back(), lines.back());
}

TEST_F(Pages, FilterAppliedOnAnOlderPageEndsWhereThatPageEnds) {
  std::vector<std::string> lines;
  for (int n = 0; n < 1000; ++n) lines.push_back(StoredLine(n, 70, n % 2 ? "odd" : "even"));
  Write(lines);
  ArchivePages pages(Path(), ArchivePages::PageBytesOf(10), AsStored);
  pages.ShowLast();
  ASSERT_TRUE(pages.PageUp());
  ASSERT_TRUE(pages.PageUp());
  const std::string lastShown = Body(pages).back();
  pages.SetFilter("odd");
  const auto body = Body(pages);
  ASSERT_FALSE(body.empty());
  auto it = std::find(lines.begin(), lines.end(), lastShown);
  while (it->find("odd") == std::string::npos) --it;
  EXPECT_EQ(body.back(), *it);
  EXPECT_EQ(pages.Lines().back(), kBottomLink);
  EXPECT_TRUE(pages.HasNext());
}

TEST(PageBytes, ArcViewOutsideTheDialogRangeIsBroughtIntoIt) {
  EXPECT_EQ(ArchivePages::PageBytesOf(60), 61440);
  EXPECT_EQ(ArchivePages::PageBytesOf(0), 10 * 1024);
  EXPECT_EQ(ArchivePages::PageBytesOf(-5), 10 * 1024);
  EXPECT_EQ(ArchivePages::PageBytesOf(100000), 500 * 1024);
}

}  // namespace
