// A pane read back as text: plain text with smileys and pictures, offsets
// under the mouse and their rectangles, words, folding and the search.
#include <gtest/gtest.h>

#include "fixed_metrics.h"
#include "markup/pane_text.h"
#include "markup/picture_registry.h"
#include "markup/view_globals.h"
#include "text/cp1251.h"

namespace {

using markup::MarkupDocument;
using markup::TextPoint;
using markup_test::FixedMeasurer;
using text::W;

class PaneTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    markup::ViewGlobals::scrollBarWidth = 16;
    markup::ViewGlobals::OnPictureText = [](int n, const std::string& address) {
      return n == -1 ? std::string(":)") : n > 0 ? address : std::string();
    };
    doc.SetViewSize(300, 200);
  }
  void TearDown() override { markup::ViewGlobals::OnPictureText = nullptr; }

  FixedMeasurer measurer;
  markup::NumberingPictureRegistry pictures;
  MarkupDocument doc{measurer, &pictures};
};

TEST_F(PaneTextTest, PlainTextShowsSmileysAsCodesAndPicturesAsAddresses) {
  doc.NewString("<b>Ann:</b> hi <pict=-1> look <img src=http://x/p.gif> &lt;3<br>next", 0, 0xFFFFFF);
  const markup::LineText t = markup::PlainLineText(doc.PiecesAt(0));
  EXPECT_EQ(t.text, "Ann: hi :) look http://x/p.gif <3\nnext");
  // A built-in picture without meaning as text gives nothing.
  doc.NewString("a<pict=-22>b", 0, 0xFFFFFF);
  EXPECT_EQ(markup::PlainLineText(doc.PiecesAt(1)).text, "ab");
}

// With 6-pixel characters from x = 2 (the left indent), offsets follow the
// mouse character by character, across wrapped visual lines.
TEST_F(PaneTextTest, OffsetsUnderThePointAndTheirRectangles) {
  doc.NewString("abcdef ghijkl", 0, 0xFFFFFF);
  const MarkupDocument::Placement placement = doc.PlaceOf(0);
  const markup::LineText t = markup::PlainLineText(placement.pieces);
  const int top = doc.lines()[0]->top + 1;
  EXPECT_EQ(markup::OffsetAt(placement, t, measurer, 0, top), 0u);
  EXPECT_EQ(markup::OffsetAt(placement, t, measurer, 2 + 6 * 3 + 1, top), 3u);   // left half of "d"
  EXPECT_EQ(markup::OffsetAt(placement, t, measurer, 2 + 6 * 3 + 4, top), 4u);   // right half of "d"
  EXPECT_EQ(markup::OffsetAt(placement, t, measurer, 290, top), t.text.size());  // beyond the end
  EXPECT_EQ(markup::OffsetAt(placement, t, measurer, 10, top + 500), t.text.size());
  const std::vector<markup::TextRect> rects = markup::RangeRects(placement, t, measurer, 2, 5);
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0].x, 2 + 12);
  EXPECT_EQ(rects[0].width, 18);

  // A narrow pane wraps "ghijkl" onto a second visual line.
  doc.SetViewSize(16 + 2 + 6 * 9, 200);
  const MarkupDocument::Placement wrapped = doc.PlaceOf(0);
  ASSERT_GE(doc.lines()[0]->Ascents().size(), 2u);
  const int secondRow = doc.lines()[0]->top + doc.lines()[0]->Ascents()[0] + doc.lines()[0]->Descents()[0] + 1;
  EXPECT_EQ(markup::OffsetAt(wrapped, t, measurer, 2 + 6 + 1, secondRow), 8u);  // "h"
  EXPECT_EQ(markup::RangeRects(wrapped, t, measurer, 4, 10).size(), 2u);        // one per visual line
}

TEST_F(PaneTextTest, WordsAndFolding) {
  const std::string s = W("Привет, world_1 !");
  EXPECT_EQ(markup::WordAt(s, 2), (std::pair<size_t, size_t>{0, 6}));
  EXPECT_EQ(markup::WordAt(s, 9), (std::pair<size_t, size_t>{8, 15}));
  EXPECT_EQ(markup::WordAt(s, 6), (std::pair<size_t, size_t>{6, 7}));  // the comma alone
  // Case and look-alike letters: Cyrillic "Ас" matches Latin "ac".
  EXPECT_EQ(markup::SearchFold(W("АсЁё")), markup::SearchFold(W("acёЁ")));
  EXPECT_EQ(markup::MatchesIn(W("Кот и КОТ, кОт"), markup::SearchFold(W("кот"))),
            (std::vector<size_t>{0, 6, 11}));
}

TEST_F(PaneTextTest, FindGoesForwardAndBackAndWraps) {
  doc.NewString("<b>one</b> Cat", 0, 0xFFFFFF);
  doc.NewString("nothing", 0, 0xFFFFFF);
  doc.NewString(W("cat <pict=-1> саt"), 0, 0xFFFFFF);  // the second "саt" has Cyrillic "са"
  auto at = [](const std::optional<markup::TextMatch>& m) {
    return m ? std::to_string(m->at.line) + ":" + std::to_string(m->at.offset) : std::string("none");
  };
  EXPECT_EQ(at(markup::FindInDocument(doc, "CAT", {0, 0}, true)), "0:4");
  EXPECT_EQ(at(markup::FindInDocument(doc, "cat", {0, 5}, true)), "2:0");
  EXPECT_EQ(at(markup::FindInDocument(doc, "cat", {2, 1}, true)), "2:7");
  EXPECT_EQ(at(markup::FindInDocument(doc, "cat", {2, 8}, true)), "0:4");  // round to the top
  EXPECT_EQ(at(markup::FindInDocument(doc, "cat", {0, 4}, false)), "2:7");  // round to the bottom
  EXPECT_EQ(at(markup::FindInDocument(doc, ":)", {0, 0}, true)), "2:4");    // a smiley by its code
  EXPECT_EQ(at(markup::FindInDocument(doc, "dog", {0, 0}, true)), "none");
  doc.SetFilter("nothing");
  EXPECT_EQ(at(markup::FindInDocument(doc, "cat", {0, 0}, true)), "none");  // hidden lines are not searched
}

TEST_F(PaneTextTest, TextBetweenJoinsLines) {
  doc.NewString("first line", 0, 0xFFFFFF);
  doc.NewString("second <pict=-1>", 0, 0xFFFFFF);
  doc.NewString("third", 0, 0xFFFFFF);
  EXPECT_EQ(markup::TextBetween(doc, {0, 6}, {2, 3}), "line\nsecond :)\nthi");
  EXPECT_EQ(markup::TextBetween(doc, {2, 3}, {0, 6}), "line\nsecond :)\nthi");  // either order
  EXPECT_EQ(markup::TextBetween(doc, {1, 0}, {1, std::string::npos}), "second :)");
}

}  // namespace
