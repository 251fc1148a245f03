// The pane operations chat logic calls: adding, replacing, finding and
// deleting lines, updates, events and the pictures lines hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

#include "fixed_metrics.h"
#include "markup/markup_parser.h"
#include "markup/picture_registry.h"
#include "markup/view_globals.h"
#include "text/cp1251.h"

namespace {

using markup::MarkupDocument;
using markup_test::FixedMeasurer;

// Logs registrations and releases in order, and can give a picture its
// real size.
class LoggingRegistry : public markup::NumberingPictureRegistry {
 public:
  int Register(const std::string& url, markup::MarkupLine* user) override {
    if (user) log.push_back("R:" + url);
    return NumberingPictureRegistry::Register(url, user);
  }
  void Release(const std::string& url, markup::MarkupLine* user) override {
    log.push_back("U:" + url);
    NumberingPictureRegistry::Release(url, user);
  }
  int Width(int) const override { return size; }
  int Height(int) const override { return size; }
  std::vector<std::string> log;
  int size = 20;
};

class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    markup::ViewGlobals::scrollBarWidth = 16;
    doc.SetViewSize(300, 200);
    doc.OnStrDestroy = [this](MarkupDocument& sender, const std::string& markup) {
      EXPECT_EQ(&sender, &doc);
      destroyed.push_back(markup);
    };
  }
  std::vector<std::string> Sources() const {
    std::vector<std::string> out;
    for (const auto& line : doc.lines()) out.push_back(line->source);
    return out;
  }

  std::vector<std::string> destroyed;  // outlives doc, whose lines report here
  FixedMeasurer measurer;
  LoggingRegistry pictures;
  MarkupDocument doc{measurer, &pictures};
};

const std::string kBlackOnWhite = "<fcol=000000><bcol=FFFFFF>";

TEST_F(DocumentTest, NewLinesStartWithTheirColors) {
  doc.AddString("hello");  // an empty pane starts white on black
  EXPECT_EQ(doc.GetLastStr(), "<fcol=FFFFFF><bcol=000000>hello");
  doc.AddString(" more");
  doc.SetColor(0x0000FF, 0xABCDEF);
  doc.AddLink(text::W("Вася"), "::x");
  EXPECT_EQ(doc.GetLastStr(), "<fcol=FFFFFF><bcol=000000>hello more<fcol=0000FF><bcol=ABCDEF><link=\"" +
                                  text::W("Вася") + "\"::x>");
  doc.NewString("", 0x123456, 0x00000A);
  EXPECT_EQ(doc.GetLastStr(), "<fcol=123456><bcol=00000A>");
  EXPECT_EQ(doc.LineCount(), 2u);
  doc.Clear();
  EXPECT_EQ(doc.GetLastStr(), "");
  doc.ReplaceLastStr("x");
  EXPECT_EQ(doc.GetLastStr(), "<fcol=FFFFFF><bcol=000000>x");
}

TEST_F(DocumentTest, AddOrReplaceFindsTheNewestLineByPrefix) {
  doc.AddOrReplaceIfExists("<id=1>", "first", false);  // empty pane: black on white
  EXPECT_EQ(Sources(), std::vector<std::string>{kBlackOnWhite + "first"});
  doc.AddOrReplaceIfExists("<id=1>", "ignored", true);  // keep rest, no match: nothing
  EXPECT_EQ(doc.LineCount(), 1u);

  const std::string p = kBlackOnWhite + "<id=7>";
  doc.NewString("<id=7>old one", 0, 0xFFFFFF);
  doc.NewString("<id=7>old two", 0, 0xFFFFFF);
  doc.AddOrReplaceIfExists(p, p + "new", true);
  EXPECT_EQ(Sources()[2], p + "newold two");
  EXPECT_EQ(Sources()[1], p + "old one");
  doc.AddOrReplaceIfExists(p, "plain", false);
  EXPECT_EQ(Sources()[2], "plain");
  EXPECT_TRUE(doc.StringExists(p));
  EXPECT_FALSE(doc.StringExists(p + "x"));
  EXPECT_TRUE(doc.StringExists(""));
}

TEST_F(DocumentTest, RestoredColoredLineIsKeptExactlySoItCanBeFoundAgain) {
  const std::string prefix = kBlackOnWhite + "<id=ack42>";
  doc.AddOrReplaceIfExists(prefix, prefix + "<pict=-18> text", false);
  EXPECT_EQ(doc.GetLastStr(), prefix + "<pict=-18> text");
  doc.AddOrReplaceIfExists(prefix, prefix + "<pict=-17>", true);
  EXPECT_EQ(doc.GetLastStr(), prefix + "<pict=-17><pict=-18> text");
  EXPECT_EQ(doc.LineCount(), 1u);
}

TEST_F(DocumentTest, DeleteAffectsTheOldestMatchOnly) {
  doc.NewString("a key 1", 0, 0xFFFFFF);
  doc.NewString("b key 2", 0, 0xFFFFFF);
  doc.NewString("c", 0, 0xFFFFFF);
  const int height = doc.ContentHeight();
  doc.DeleteStr("key");
  EXPECT_EQ(doc.LineCount(), 2u);
  EXPECT_EQ(Sources()[0], kBlackOnWhite + "b key 2");
  EXPECT_EQ(destroyed, std::vector<std::string>{kBlackOnWhite + "a key 1"});
  EXPECT_EQ(doc.ContentHeight(), height - 12);
  EXPECT_EQ(doc.lines()[0]->top, 0);
  doc.DeleteStr("absent");
  EXPECT_EQ(doc.LineCount(), 2u);
  doc.DeleteArc(" key");
  EXPECT_EQ(Sources()[0], kBlackOnWhite + "b");
  EXPECT_EQ(Sources()[1], kBlackOnWhite + "c");
}

TEST_F(DocumentTest, UpdatesDeferLayoutToTheOutermostEnd) {
  doc.NewString("last", 0, 0xFFFFFF);
  doc.BeginUpdate();
  doc.BeginUpdate();
  doc.NewStringFront("second", 0x0000FF, 0xFFFFFF);
  doc.NewStringFront("first", 0, 0xFFFFFF);
  doc.AddString(" tail");
  EXPECT_EQ(doc.ContentHeight(), 12);
  doc.EndUpdate(true);
  EXPECT_EQ(doc.ContentHeight(), 12);  // still inside the outer update
  doc.EndUpdate(true);
  doc.EndUpdate(true);  // unbalanced: ignored
  EXPECT_EQ(Sources(), (std::vector<std::string>{kBlackOnWhite + "first", "<fcol=0000FF><bcol=FFFFFF>second",
                                                 kBlackOnWhite + "last tail"}));
  EXPECT_EQ(doc.ContentHeight(), 36);
  for (size_t i = 0; i < doc.LineCount(); ++i) EXPECT_EQ(doc.lines()[i]->top, static_cast<int>(12 * i));
}

TEST_F(DocumentTest, EveryDestroyedLineIsReported) {
  {
    FixedMeasurer m;
    std::vector<std::string> gone;
    auto local = std::make_unique<MarkupDocument>(m, &pictures);
    local->OnStrDestroy = [&gone](MarkupDocument&, const std::string& s) { gone.push_back(s); };
    local->NewString("one", 0, 0xFFFFFF);
    local->NewString("two", 0, 0xFFFFFF);
    local.reset();  // oldest first
    EXPECT_EQ(gone, (std::vector<std::string>{kBlackOnWhite + "one", kBlackOnWhite + "two"}));
  }
  doc.NewString("x", 0, 0xFFFFFF);
  doc.NewString("y", 0, 0xFFFFFF);
  doc.Clear();
  EXPECT_EQ(destroyed.size(), 2u);
  EXPECT_EQ(doc.ContentHeight(), 0);
}

TEST_F(DocumentTest, ReplacingKeepsPicturesNamedByBothTexts) {
  doc.NewString("<img src=http://h/a.gif>", 0, 0xFFFFFF);
  pictures.log.clear();
  doc.ReplaceLastStr("<img src=http://h/a.gif><img src=http://h/b.gif>");
  for (const auto& entry : pictures.log) EXPECT_NE(entry, "U:http://h/a.gif");
  EXPECT_EQ(pictures.UserCount("http://h/a.gif"), 1u);

  pictures.log.clear();
  doc.ReplaceLastStr("<link='http://h/c.gif'go>");
  // The new picture is registered before the old ones are let go.
  auto pos = [this](const std::string& e) {
    return std::find(pictures.log.begin(), pictures.log.end(), e) - pictures.log.begin();
  };
  EXPECT_LT(pos("R:http://h/c.gif"), pos("U:http://h/a.gif"));
  EXPECT_LT(pos("R:http://h/c.gif"), pos("U:http://h/b.gif"));
  EXPECT_EQ(pictures.UserCount("http://h/a.gif"), 0u);

  doc.DeleteStr("c.gif");
  EXPECT_EQ(pictures.UserCount("http://h/c.gif"), 0u);
  EXPECT_EQ(pictures.NumberOf("http://h/c.gif"), 3);
}

TEST_F(DocumentTest, APictureGettingItsSizeRelaysFromItsLine) {
  doc.NewString("above", 0, 0xFFFFFF);
  doc.NewString("<img src=u>", 0, 0xFFFFFF);
  doc.NewString("below", 0, 0xFFFFFF);
  EXPECT_EQ(doc.lines()[2]->top, 12 + 22);
  pictures.size = 50;
  doc.lines()[1]->PictureReady();
  EXPECT_EQ(doc.lines()[2]->top, 12 + 52);
  EXPECT_EQ(doc.ContentHeight(), 12 + 52 + 12);
}

TEST_F(DocumentTest, PopupTargetsTheLineUnderThePointerOrTheLast) {
  std::string markup, plain;
  EXPECT_FALSE(doc.PopupTarget(5, &markup, &plain));
  doc.NewString("<b>one</b>", 0, 0xFFFFFF);
  doc.NewString("two &lt; <link=\"three\"x>", 0, 0xFFFFFF);
  ASSERT_TRUE(doc.PopupTarget(5, &markup, &plain));
  EXPECT_EQ(plain, "one");
  ASSERT_TRUE(doc.PopupTarget(150, &markup, &plain));  // below the last line
  EXPECT_EQ(markup, kBlackOnWhite + "two &lt; <link=\"three\"x>");
  EXPECT_EQ(plain, "two &lt; three");
  doc.NewString("hidden", 0, 0xFFFFFF);
  doc.SetFilter("<b>");
  ASSERT_TRUE(doc.PopupTarget(150, &markup, &plain));  // never a filtered-out line
  EXPECT_EQ(plain, "one");
  doc.SetFilter("nothing matches");
  EXPECT_FALSE(doc.PopupTarget(5, &markup, &plain));
}

TEST_F(DocumentTest, IdentifierSearchAgreesWithAScanOfEveryLine) {
  std::mt19937 rng(3);
  auto id = [&rng] { return "<id=" + std::to_string(rng() % 6) + ">"; };
  auto scan = [this](const std::string& prefix) {
    for (const auto& line : doc.lines())
      if (markup::BeginsWith(line->source, prefix)) return true;
    return false;
  };
  static const char* kSplit[] = {"<i", "d=", "3>", "<id=4", ">", "x"};
  for (int round = 0; round < 3000; ++round) {
    switch (rng() % 7) {
      case 0: doc.NewString(id() + "x", 0, 0xFFFFFF); break;
      case 1: doc.AddString(rng() % 2 ? id() : kSplit[rng() % 6]); break;
      case 2: doc.ReplaceLastStr(kBlackOnWhite + id() + "y"); break;
      case 3: doc.AddOrReplaceIfExists(kBlackOnWhite + id(), kBlackOnWhite + id() + "z", rng() % 2); break;
      case 4: doc.DeleteStr(id()); break;
      case 5: doc.DeleteArc("<id=" + std::to_string(rng() % 6)); break;
      default:
        if (rng() % 30 == 0) {
          doc.Clear();
        } else {
          doc.BeginUpdate();
          doc.NewStringFront(id(), 0, 0xFFFFFF);
          doc.EndUpdate(true);
        }
    }
    for (int k = 0; k < 6; ++k) {
      const std::string prefix = kBlackOnWhite + "<id=" + std::to_string(k) + ">";
      ASSERT_EQ(doc.StringExists(prefix), scan(prefix)) << "round " << round << " id " << k;
    }
  }
}

}  // namespace
