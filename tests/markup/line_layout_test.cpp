// Layout, painting and hit-testing of lines with fixed metrics: 6 pixels per
// character, lines of 12 pixels (ascent 10, descent 2), left indent 2.
#include <gtest/gtest.h>

#include "fixed_metrics.h"
#include "markup/picture_registry.h"
#include "markup/view_globals.h"

namespace {

using markup::MarkupDocument;
using markup_test::FixedMeasurer;
using markup_test::RecordingCanvas;
using markup_test::RecordingView;

class LayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    markup::ViewGlobals::scrollBarWidth = 16;
    markup::ViewGlobals::OnStaticImage = nullptr;
    doc.AttachView(&view);
    doc.SetViewSize(100, 120);
  }
  void TearDown() override { markup::ViewGlobals::OnStaticImage = nullptr; }

  // Paints the visible band onto a fresh recording.
  RecordingCanvas& Paint() {
    canvas.Reset();
    doc.DrawRange(canvas, doc.VertScrollPos(), doc.VertScrollPos() + doc.ClientHeight());
    return canvas;
  }
  const markup::MarkupLine& Line(size_t i) { return *doc.lines()[i]; }
  void Text(const std::string& markup) { doc.NewString(markup, 0, 0xFFFFFF); }

  FixedMeasurer measurer;
  markup::NumberingPictureRegistry pictures;
  MarkupDocument doc{measurer, &pictures};
  RecordingView view;
  RecordingCanvas canvas;
};

void ExpectText(const RecordingCanvas& c, const std::string& text, int x, int top) {
  const auto* t = c.Find(text);
  ASSERT_NE(t, nullptr) << "not drawn: " << text;
  EXPECT_EQ(t->x, x) << text;
  EXPECT_EQ(t->top, top) << text;
}

TEST_F(LayoutTest, WrapsAtBreakingPointsKeepingTheBreakCharacter) {
  Text("aaaa bbbb cccc dddd eeee");
  EXPECT_EQ(Line(0).Ascents().size(), 2u);
  EXPECT_EQ(doc.ContentHeight(), 24);
  Paint();
  ExpectText(canvas, "aaaa bbbb cccc ", 2, 0);
  ExpectText(canvas, "dddd eeee", 2, 12);

  Text("a,b.c-d:e;f");  // every one of these characters is a breaking point
  doc.RecalculateTextW(2 + 6 * 4);
  EXPECT_EQ(Line(1).Ascents().size(), 3u);
  Paint();
  ExpectText(canvas, "a,b.", 2, doc.lines()[1]->top);
}

TEST_F(LayoutTest, AWordWiderThanTheViewOverflowsOnItsOwnLine) {
  const std::string word(30, 'w');
  Text("xx " + word + " z");
  Paint();
  ExpectText(canvas, "xx ", 2, 0);
  ExpectText(canvas, word + " ", 2, 12);
  ExpectText(canvas, "z", 2, 24);
  Text(word);
  EXPECT_EQ(Line(1).Ascents().size(), 1u);  // no empty visual line before it
}

TEST_F(LayoutTest, NoBreakNeverWrapsAndIgnoresBreaks) {
  Text("<nobr>aaaa bbbb cccc dddd eeee<br>ffff</nobr><br>g");
  EXPECT_EQ(Line(0).Ascents().size(), 2u);
  Paint();
  ExpectText(canvas, "aaaa bbbb cccc dddd eeee", 2, 0);
  ExpectText(canvas, "ffff", 2 + 24 * 6, 0);
  ExpectText(canvas, "g", 2, 12);
}

TEST_F(LayoutTest, XPosIsAbsoluteAndMayMoveLeft) {
  Text("abcdefghij<xpos=20>X<xpos=95>abc");
  Paint();
  ExpectText(canvas, "X", 20, 0);
  ExpectText(canvas, "abc", 2, 12);  // nothing fits at 95: wrapped first
  doc.SetLeftIndent(10);
  Text("<xpos=0>Y");
  Paint();
  ExpectText(canvas, "Y", 0, Line(1).top);
}

TEST_F(LayoutTest, FontSizeAndBoldChangeMetricsAndWidths) {
  Text("<fsize=20>aaaa bbbb cccc dddd");
  ASSERT_EQ(Line(0).Ascents().size(), 2u);
  EXPECT_EQ(Line(0).Ascents()[0], 20);
  EXPECT_EQ(Line(0).Descents()[0], 5);
  EXPECT_EQ(Line(0).Ascents()[1], 20);  // a wrapped visual line takes the current font
  EXPECT_EQ(doc.ContentHeight(), 50);
  Paint();
  ExpectText(canvas, "aaaa bbbb cccc ", 2, 0);

  Text("<b>aaaa bbbb ccccc</b> d");  // 7 pixels per bold character: only two words fit
  Paint();
  ExpectText(canvas, "aaaa bbbb ", 2, 50);
  ExpectText(canvas, "ccccc", 2, 62);
  EXPECT_TRUE(canvas.Find("ccccc")->font.bold);
  EXPECT_FALSE(canvas.Find(" d")->font.bold);
  // Each line starts with the view's font again.
  Text("<fsize=5>small");
  Text("normal");
  EXPECT_EQ(Line(3).Ascents()[0], 10);
}

TEST_F(LayoutTest, PicturesStandOnTheBaselineWithOnePixelMargins) {
  Text("a<img src=u>b");
  EXPECT_EQ(doc.ContentHeight(), 22);  // ascent raised to 20, descent kept
  Paint();
  ASSERT_EQ(canvas.squares.size(), 1u);
  EXPECT_EQ(canvas.squares[0].x, 9);
  EXPECT_EQ(canvas.squares[0].y, 0);
  EXPECT_EQ(canvas.squares[0].w, 20);
  ExpectText(canvas, "a", 2, 10);  // text shares the picture's baseline
  ExpectText(canvas, "b", 30, 10);
  bool filled = false;
  for (const auto& f : canvas.fills) filled |= f.x == 8 && f.w == 22 && f.h == 22;
  EXPECT_TRUE(filled);
}

TEST_F(LayoutTest, PictureWrapsOnlyAwayFromTheIndentAndOutsideNoBreak) {
  Text("<xpos=85><img src=u>");
  EXPECT_EQ(Line(0).Ascents().size(), 2u);
  Paint();
  ASSERT_EQ(canvas.squares.size(), 1u);
  EXPECT_EQ(canvas.squares[0].x, 3);
  EXPECT_EQ(canvas.squares[0].y, 12);

  Text("<nobr><xpos=85><img src=u></nobr>");
  EXPECT_EQ(Line(1).Ascents().size(), 1u);

  markup::ViewGlobals::OnStaticImage = [](int, markup::MarkupCanvas*, int, int, int mode) {
    return mode == 1 ? 200 : 12;
  };
  Text("<pict=-4>x");
  // At the indent the picture is placed, overflowing; only the text wraps.
  EXPECT_EQ(Line(2).Ascents().size(), 2u);
  Paint();
  ExpectText(canvas, "x", 2, Line(2).top + 14);
}

TEST_F(LayoutTest, StaticPicturesComeFromTheHook) {
  Text("a<pict=-1>b");  // no hook: 1 x 1
  Paint();
  ExpectText(canvas, "b", 11, 0);

  std::vector<std::tuple<int, int, int>> drawn;
  markup::ViewGlobals::OnStaticImage = [&drawn](int n, markup::MarkupCanvas* c, int x, int y, int mode) {
    if (mode == 0) {
      EXPECT_NE(c, nullptr);
      drawn.emplace_back(n, x, y);
    }
    return mode == 1 ? 16 : 12;
  };
  doc.RecalculateText();
  Paint();
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0], std::make_tuple(-1, 9, 0));
  ExpectText(canvas, "b", 8 + 18, 2);  // baseline lowered by the 12-pixel picture
}

TEST_F(LayoutTest, ColorsFollowTagsAndTheLinkColorStack) {
  Text("<fcol=0000ff>red<a href=x>link</a>after</a></a>still");
  Paint();
  EXPECT_EQ(canvas.Find("red")->color, 0x0000FF);
  EXPECT_EQ(canvas.Find("link")->color, 0xFF0000);
  EXPECT_EQ(canvas.Find("after")->color, 0x0000FF);
  EXPECT_EQ(canvas.Find("still")->color, 0x0000FF);  // popping an empty stack changes nothing
  Text("<bcol=00ff00>x");
  Paint();
  bool green = false;
  for (const auto& f : canvas.fills) green |= f.color == 0x00FF00 && f.y == Line(1).top && f.h == 12;
  EXPECT_TRUE(green);
}

TEST_F(LayoutTest, ClicksHitLinkTextAndLinkedPicturesOnly) {
  Text("<a href=t>aaaa bbbb cccc dddd</a> tail");
  EXPECT_EQ(doc.Click(10, 5), std::vector<std::string>{"t"});
  EXPECT_EQ(doc.Click(10, 15), std::vector<std::string>{"t"});  // the wrapped part
  EXPECT_TRUE(doc.Click(40, 15).empty());                       // " tail"
  EXPECT_TRUE(doc.Click(1, 5).empty());                         // left of the indent

  markup::ViewGlobals::OnStaticImage = [](int, markup::MarkupCanvas*, int, int, int mode) {
    return mode == 1 ? 16 : 12;
  };
  Text("<link='-1'pic>");
  const int top = Line(1).top;
  EXPECT_EQ(doc.Click(5, top + 5), std::vector<std::string>{"pic"});
  EXPECT_TRUE(doc.Click(2, top + 5).empty());    // the margin pixel
  EXPECT_TRUE(doc.Click(5, top + 12).empty());   // below the picture's baseline
  EXPECT_TRUE(doc.Click(19, top + 5).empty());
  doc.DeleteStr("pic");
  doc.Clear();
  EXPECT_TRUE(doc.Click(5, 5).empty());
}

TEST_F(LayoutTest, FilteredLinesTakeNoSpaceAndNoClicks) {
  Text("one foo");
  Text("<a href=two>two</a>");
  Text("<a href=three>three foo</a>");
  doc.SetFilter("foo");
  EXPECT_EQ(doc.ContentHeight(), 24);
  EXPECT_EQ(Line(2).top, 12);
  EXPECT_EQ(doc.Click(5, 14), std::vector<std::string>{"three"});
  Paint();
  EXPECT_EQ(canvas.Find("two"), nullptr);
  Text("four");  // lines added later are filtered too
  EXPECT_TRUE(Line(3).hidden);
  EXPECT_EQ(doc.ContentHeight(), 24);
  doc.SetFilter("FOO");  // case-sensitive
  EXPECT_EQ(doc.ContentHeight(), 0);
  doc.SetFilter("fcol");  // the raw markup is searched
  EXPECT_EQ(doc.ContentHeight(), 48);
  doc.SetFilter("");
  EXPECT_EQ(doc.ContentHeight(), 48);
  EXPECT_EQ(doc.Click(5, 14), std::vector<std::string>{"two"});
}

TEST_F(LayoutTest, HoverUnderlinesTheLinkUnderTheMouse) {
  Text("x <a href=t>link</a> y");
  auto update = doc.MouseMove(20, 5, &canvas);
  EXPECT_EQ(update.cursor, markup::CursorRequest::Hand);
  ASSERT_NE(canvas.Find("link"), nullptr);
  EXPECT_TRUE(canvas.Find("link")->font.underline);
  ASSERT_EQ(update.bands.size(), 1u);
  EXPECT_EQ(update.bands[0], std::make_pair(0, 12));
  EXPECT_EQ(doc.HoveredLine(), &Line(0));

  canvas.Reset();
  update = doc.MouseMove(60, 5, &canvas);  // same line, off the link
  EXPECT_EQ(update.cursor, markup::CursorRequest::Arrow);
  EXPECT_FALSE(canvas.Find("link")->font.underline);

  doc.MouseMove(20, 5, &canvas);
  canvas.Reset();
  update = doc.MouseMove(20, 50, &canvas);  // below the content
  EXPECT_EQ(update.cursor, markup::CursorRequest::Arrow);
  EXPECT_EQ(doc.HoveredLine(), nullptr);
  EXPECT_FALSE(canvas.Find("link")->font.underline);
  EXPECT_EQ(doc.MouseLeave(&canvas).cursor, markup::CursorRequest::Unchanged);
}

TEST_F(LayoutTest, StaysAtTheBottomUntilTheUserScrollsUp) {
  for (int i = 0; i < 30; ++i) Text("line " + std::to_string(i));
  EXPECT_TRUE(doc.VertScrollVisible());
  EXPECT_EQ(doc.VertScrollPos(), 360 - 120);
  EXPECT_TRUE(doc.AtBottom());
  doc.SetVertScrollPos(0);
  EXPECT_FALSE(doc.AtBottom());
  for (int i = 0; i < 5; ++i) Text("more");
  EXPECT_EQ(doc.VertScrollPos(), 0);
  EXPECT_EQ(doc.VertScrollRange(), 420);
  doc.Scroll(MarkupDocument::ScrollCode::Bottom);
  EXPECT_EQ(doc.VertScrollPos(), 300);
  EXPECT_TRUE(doc.AtBottom());
  Text("last");
  EXPECT_EQ(doc.VertScrollPos(), 312);
}

TEST_F(LayoutTest, ScrollBarAppearingNarrowsTheLayoutAndHidingWidensIt) {
  Text("aaaa bbbb cccc");  // 86 pixels: fits 100, not 84
  EXPECT_EQ(Line(0).Ascents().size(), 1u);
  EXPECT_FALSE(doc.VertScrollVisible());
  for (int i = 0; i < 12; ++i) Text("x");
  EXPECT_TRUE(doc.VertScrollVisible());
  EXPECT_EQ(doc.ClientWidth(), 84);
  EXPECT_EQ(doc.LayoutWidth(), 84);
  doc.SetVertScrollPos(0);  // the first line is laid out at the new width when it shows
  EXPECT_EQ(Line(0).Ascents().size(), 2u);
  EXPECT_GT(view.scrollChanges, 0);
  doc.Clear();
  EXPECT_FALSE(doc.VertScrollVisible());
  EXPECT_EQ(doc.LayoutWidth(), 100);
  EXPECT_EQ(doc.VertScrollPos(), 0);
}

// Counts the measuring work, which is what layout costs.
class CountingMeasurer : public FixedMeasurer {
 public:
  markup::FontMetrics Metrics(const markup::FontSpec& f) override { ++calls; return FixedMeasurer::Metrics(f); }
  int Width(const markup::FontSpec& f, std::string_view t) override { ++calls; return FixedMeasurer::Width(f, t); }
  long calls = 0;
};

TEST(LayoutCost, AppendingLaysOutOnlyTheNewLine) {
  CountingMeasurer measurer;
  markup::NumberingPictureRegistry pictures;
  MarkupDocument doc(measurer, &pictures);
  RecordingView view;
  doc.AttachView(&view);
  doc.SetViewSize(300, 200);
  auto appendCost = [&] {
    const long before = measurer.calls;
    doc.NewString("12:00 <b>name</b>: some words, www.x.ru and more", 0, 0xFFFFFF);
    return measurer.calls - before;
  };
  for (int i = 0; i < 100; ++i) appendCost();
  const long at100 = appendCost();
  for (int i = 0; i < 2000; ++i) appendCost();
  EXPECT_EQ(appendCost(), at100);
  EXPECT_TRUE(doc.VertScrollVisible());
}

TEST_F(LayoutTest, WheelAndScrollCodesMoveByTheirRules) {
  Text("short");
  EXPECT_FALSE(doc.MouseWheel(-120));
  EXPECT_EQ(doc.VertScrollPos(), 0);
  for (int i = 0; i < 40; ++i) Text("line");
  doc.Scroll(MarkupDocument::ScrollCode::Top);
  EXPECT_TRUE(doc.MouseWheel(-120));
  EXPECT_EQ(doc.VertScrollPos(), 40);
  doc.MouseWheel(120);
  EXPECT_EQ(doc.VertScrollPos(), 0);
  doc.MouseWheel(120);
  EXPECT_EQ(doc.VertScrollPos(), 0);
  doc.MouseWheel(-120 * 1000);
  EXPECT_EQ(doc.VertScrollPos(), doc.ContentHeight() - 120);
  doc.Scroll(MarkupDocument::ScrollCode::Top);
  doc.Scroll(MarkupDocument::ScrollCode::LineDown);
  EXPECT_EQ(doc.VertScrollPos(), 10);
  doc.Scroll(MarkupDocument::ScrollCode::PageDown);
  EXPECT_EQ(doc.VertScrollPos(), 120);
  doc.Scroll(MarkupDocument::ScrollCode::PageUp);
  EXPECT_EQ(doc.VertScrollPos(), 10);
  doc.Scroll(MarkupDocument::ScrollCode::LineUp);
  EXPECT_EQ(doc.VertScrollPos(), 0);
  doc.Scroll(MarkupDocument::ScrollCode::Thumb, 55);
  EXPECT_EQ(doc.VertScrollPos(), 55);
  doc.SetVertScrollIncrement(5);
  doc.MouseWheel(-120);
  EXPECT_EQ(doc.VertScrollPos(), 75);
  doc.SetVertScrollIncrement(-3);
  EXPECT_EQ(doc.VertScrollIncrement(), 0);
  doc.SetLeftIndent(-3);
  EXPECT_EQ(doc.LeftIndent(), 0);
}

TEST_F(LayoutTest, PaintingMovesTheBitmapAndRepaintsOnlyWhatChanged) {
  for (int i = 0; i < 30; ++i) Text("line");
  view.bands.clear();
  view.scrolls.clear();
  Text("new");  // at the bottom: the old rows move up by one line
  ASSERT_EQ(view.scrolls, std::vector<int>{-12});
  ASSERT_EQ(view.bands.size(), 1u);
  EXPECT_EQ(view.bands[0].first, 360);
  EXPECT_EQ(view.bands[0].second, doc.VertScrollPos() + 120);
  view.bands.clear();
  doc.SetVertScrollPos(0);  // a jump further than a page repaints everything
  ASSERT_EQ(view.bands.size(), 1u);
  EXPECT_EQ(view.bands[0], std::make_pair(0, 120));
}

TEST_F(LayoutTest, ReplacingTheLastLineWithLessClearsTheBandBelow) {
  Text("aaaa bbbb cccc dddd eeee");
  view.bands.clear();
  doc.ReplaceLastStr("short");
  EXPECT_EQ(doc.GetLastStr(), "short");
  EXPECT_EQ(doc.ContentHeight(), 12);
  bool cleared = false;
  for (const auto& band : view.bands) cleared |= band.first <= 12 && band.second >= 24;
  EXPECT_TRUE(cleared);
}

}  // namespace

// A long page laid out lazily shows, step by step, exactly what the same
// page laid out in full shows, while walking only the lines that showed.
TEST(LazyLayout, ShowsWhatAFullLayoutShowsAndWalksOnlyWhatShows) {
  markup::ViewGlobals::scrollBarWidth = 16;
  struct Pane {
    FixedMeasurer measurer;
    markup::NumberingPictureRegistry pictures;
    MarkupDocument doc{measurer, &pictures};
    RecordingView view;
    explicit Pane(bool full) {
      doc.AttachView(&view);
      doc.SetViewSize(200, 150);
      doc.BeginUpdate();
      for (int i = 0; i < 600; ++i) {
        std::string words = "line " + std::to_string(i);
        for (int w = 0; w < (i * 7) % 23; ++w) words += " word" + std::to_string(w);
        if (i % 5 == 0) words = "<b>" + words + "</b>";
        if (i % 11 == 0) words += "<fsize=16> big";
        doc.NewString(words, 0, 0xFFFFFF);
      }
      doc.EndUpdate(true);
      if (full) doc.LayOutAll();
      doc.Scroll(MarkupDocument::ScrollCode::Bottom);
    }
    std::vector<std::string> Shown() {
      RecordingCanvas canvas;
      doc.DrawRange(canvas, doc.VertScrollPos(), doc.VertScrollPos() + doc.ClientHeight());
      std::vector<std::string> shown;
      for (const auto& t : canvas.texts)
        shown.push_back(std::to_string(t.x) + "," + std::to_string(t.top) + (t.font.bold ? " b " : " ") +
                        std::to_string(t.font.size) + " " + t.text);
      return shown;
    }
  };
  Pane lazy(false), full(true);
  using Code = MarkupDocument::ScrollCode;
  auto same = [&](const char* step) {
    const auto shown = lazy.Shown();
    ASSERT_FALSE(shown.empty()) << step;
    ASSERT_EQ(shown, full.Shown()) << step;
  };
  same("bottom");
  for (int i = 0; i < 6; ++i) {
    lazy.doc.Scroll(Code::PageUp), full.doc.Scroll(Code::PageUp);
    same("page up");
  }
  for (int i = 0; i < 4; ++i) {
    lazy.doc.Scroll(Code::LineUp), full.doc.Scroll(Code::LineUp);
    same("line up");
  }
  lazy.doc.MouseWheel(240), full.doc.MouseWheel(240);
  same("wheel up");
  lazy.doc.Scroll(Code::PageDown), full.doc.Scroll(Code::PageDown);
  same("page down");
  lazy.doc.Scroll(Code::Top), full.doc.Scroll(Code::Top);
  same("top");
  for (int i = 0; i < 3; ++i) {
    lazy.doc.Scroll(Code::PageDown), full.doc.Scroll(Code::PageDown);
    same("page down from the top");
  }
  EXPECT_LT(lazy.doc.LinesLaidOut(), 200u);
  EXPECT_EQ(lazy.doc.AtBottom(), full.doc.AtBottom());

  // Laying out the rest lands on the full layout's figures.
  lazy.doc.LayOutAll();
  EXPECT_EQ(lazy.doc.ContentHeight(), full.doc.ContentHeight());
  for (size_t i = 0; i < lazy.doc.LineCount(); ++i) ASSERT_EQ(lazy.doc.lines()[i]->top, full.doc.lines()[i]->top);
}
