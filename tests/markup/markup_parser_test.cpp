// The tag language: tokenising, tags, entities, colors, automatic links.
#include <gtest/gtest.h>

#include <cstdio>

#include "markup/markup_parser.h"
#include "markup/picture_registry.h"

namespace {

using markup::MarkupLine;

// Pieces in a compact form: T(text) or T(text->link), b, /b, i, /i,
// pic(n->link), id(x), fc(BBGGRR), bc(BBGGRR), fs(n), x(n), br, nobr, /nobr,
// push, pop.
std::string Describe(const std::vector<MarkupLine::Piece>& pieces) {
  std::string out;
  for (const auto& p : pieces) {
    if (!out.empty()) out += '|';
    char hex[16];
    std::snprintf(hex, sizeof hex, "%06X", static_cast<unsigned>(p.value));
    switch (p.kind) {
      case markup::PieceKind::Text: out += "T(" + p.text + (p.link.empty() ? "" : "->" + p.link) + ")"; break;
      case markup::PieceKind::BoldOn: out += "b"; break;
      case markup::PieceKind::BoldOff: out += "/b"; break;
      case markup::PieceKind::ItalicOn: out += "i"; break;
      case markup::PieceKind::ItalicOff: out += "/i"; break;
      case markup::PieceKind::Picture:
        out += "pic(" + std::to_string(p.value) + (p.link.empty() ? "" : "->" + p.link) + ")";
        break;
      case markup::PieceKind::Id: out += "id(" + p.text + ")"; break;
      case markup::PieceKind::FontColor: out += std::string("fc(") + hex + ")"; break;
      case markup::PieceKind::BackColor: out += std::string("bc(") + hex + ")"; break;
      case markup::PieceKind::FontSize: out += "fs(" + std::to_string(p.value) + ")"; break;
      case markup::PieceKind::XPos: out += "x(" + std::to_string(p.value) + ")"; break;
      case markup::PieceKind::Break: out += "br"; break;
      case markup::PieceKind::NoBreakOn: out += "nobr"; break;
      case markup::PieceKind::NoBreakOff: out += "/nobr"; break;
      case markup::PieceKind::PushColor: out += "push"; break;
      case markup::PieceKind::PopColor: out += "pop"; break;
    }
  }
  return out;
}

class ParserTest : public ::testing::Test {
 protected:
  std::string Parse(const std::string& markup) {
    return Describe(markup::ParseMarkup(markup, &pictures, nullptr));
  }
  markup::NumberingPictureRegistry pictures;
};

TEST(Entities, DecodeByTheirRules) {
  const std::pair<const char*, const char*> cases[] = {
      {"&lt;b&gt;", "<b&gt;"},     // "gt" is no entity
      {"&ltb", "<b"},              // only the two letters are consumed
      {"&lt;;", "<;"},             // one semicolon only
      {"&quot;x&quot", "\"x\""},
      {"&quotient", "\"ient"},
      {"&amp;", "&amp;"},          // unknown names stay whole, semicolon too
      {"&#65;", "A"},
      {"&#65", "A"},
      {"&#7;", "?"},               // below 32
      {"&#255;", "?"},             // above 254
      {"&#254;", "\xFE"},
      {"&#032;", " "},             // three digits with a leading zero
      {"&#1234;", "?"},            // more than three digits: all consumed
      {"&#0065;x", "?x"},
      {"&#;", "&#"},               // no digit: kept, its semicolon consumed
      {"&#x41;", "&#x41;"},
      {"a & b", "a & b"},
      {"&", "&"},
      {"&&lt;", "&<"},
      {"&LT;", "&LT;"},            // names are lower-case only
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(markup::DecodeEntities(in), out) << in;
}

TEST(Colors, AreBlueGreenRedHexWithLenientDigits) {
  EXPECT_EQ(markup::ParseColor("0000ff"), 0x0000FF);  // red
  EXPECT_EQ(markup::ParseColor("FF0000"), 0xFF0000);  // blue
  EXPECT_EQ(markup::ParseColor("ffffff123"), 0xFFFFFF);
  EXPECT_EQ(markup::ParseColor("ff00"), 0);
  EXPECT_EQ(markup::ParseColor(""), 0);
  // Not hexadecimal: some color, computed by the same digit rule.
  EXPECT_EQ(markup::ParseColor("gg0000"), (('g' - 87) * 16 + ('g' - 87)) * 65536);
  EXPECT_EQ(markup::ParseColor("#00000"), (('#' - 48) * 16) * 65536);
}

TEST_F(ParserTest, TagNamesAreCaseInsensitiveAndNeedASeparator) {
  EXPECT_EQ(Parse("<B>x</B>"), "b|T(x)|/b");
  EXPECT_EQ(Parse("<I>x</i>"), "i|T(x)|/i");
  EXPECT_EQ(Parse("a<b2>c"), "T(ac)");        // dropped, the text around merges
  EXPECT_EQ(Parse("<b/>x"), "T(x)");
  EXPECT_EQ(Parse("<fcol ff0000>"), "fc(FF0000)");
  EXPECT_EQ(Parse("<fcol=ff0000>"), "fc(FF0000)");
  EXPECT_EQ(Parse("<FCOL=ff00>"), "fc(000000)");
  EXPECT_EQ(Parse("<bcol=00ff00>"), "bc(00FF00)");
  EXPECT_EQ(Parse("<br><NL><nobr></nobr>"), "br|br|nobr|/nobr");
  EXPECT_EQ(Parse("<id=abc def>"), "id(abc def)");
}

TEST_F(ParserTest, UnknownTagsShowTheirAttributesAsText) {
  EXPECT_EQ(Parse("<foo bar>"), "T(<bar>)");
  EXPECT_EQ(Parse("<foo>"), "T(<>)");
  EXPECT_EQ(Parse("<>"), "T(<>)");
  EXPECT_EQ(Parse("< x>"), "T(<x>)");
  EXPECT_EQ(Parse("1 <foo www.x.ru> 2"), "T(1 <)|push|fc(FF0000)|T(www.x.ru>->http://www.x.ru>)|pop|T( 2)");
}

TEST_F(ParserTest, MissingClosingBracketMakesTheRestLiteral) {
  EXPECT_EQ(Parse("a < b"), "T(a < b)");
  EXPECT_EQ(Parse("a < &lt; b"), "T(a < &lt; b)");  // entities stay undecoded
  EXPECT_EQ(Parse("&lt;<b>x<i"), "T(<)|b|T(x<i)");
  EXPECT_EQ(Parse("<"), "T(<)");
}

TEST_F(ParserTest, BadOrOutOfRangeNumbersDropOnlyTheirTag) {
  for (const char* tag : {"<fsize=30>", "<fsize=0>", "<fsize=abc>", "<fsize=12 >", "<xpos=1000>",
                          "<xpos=-100>", "<pict=5>", "<pict=0>", "<pict=x>", "<fsize=99999999999>"})
    EXPECT_EQ(Parse(std::string("a") + tag + "b"), "T(ab)") << tag;
  EXPECT_EQ(Parse("<fsize=1><fsize=29><fsize=+5>"), "fs(1)|fs(29)|fs(5)");
  EXPECT_EQ(Parse("<xpos=-99><xpos=999><xpos 80>"), "x(-99)|x(999)|x(80)");
  EXPECT_EQ(Parse("<pict=-3>"), "pic(-3)");
}

TEST_F(ParserTest, EntitiesInsideTagsAreDecodedBeforeQuotesAreSeen) {
  EXPECT_EQ(Parse("<fcol=&#48;&#48;00ff>"), "fc(0000FF)");
  // A decoded quote ends the shown text of a link.
  EXPECT_EQ(Parse("<link=\"a&quot;b\">"), "push|fc(FF0000)|T(a->b\")|pop");
  // Decoded twice: "&#38;lt;" becomes "&lt;" and then "<".
  EXPECT_EQ(Parse("<foo &#38;lt;>"), "T(<<>)");
}

TEST_F(ParserTest, AnchorsColorAndLinkTheirText) {
  EXPECT_EQ(Parse("<a href=x>one</a> two"), "push|fc(FF0000)|T(one->x)|pop|T( two)");
  EXPECT_EQ(Parse("<a target=_blank HREF = \"u v\">t www.q.ru</a>"),
            "push|fc(FF0000)|T(t www.q.ru->u v)|pop");
  EXPECT_EQ(Parse("<a name=z>t</a>"), "push|fc(FF0000)|T(t)|pop");  // no href: no link
  EXPECT_EQ(Parse("<a href=x><pict=-2></a>"), "push|fc(FF0000)|pic(-2->x)|pop");
  EXPECT_EQ(Parse("</a>plain"), "pop|T(plain)");
}

TEST(Attributes, ScanWordsAndValues) {
  EXPECT_EQ(markup::AttributeValue("src=a.gif", "src"), "a.gif");
  EXPECT_EQ(markup::AttributeValue("alt = \"x y\" src = \"b c\"", "SRC"), "b c");
  EXPECT_EQ(markup::AttributeValue("srcx=1 src=2", "src"), "2");
  EXPECT_EQ(markup::AttributeValue("src src=3", "src"), "3");   // a word without "=" is skipped
  EXPECT_EQ(markup::AttributeValue("1src=4", "src"), "4");      // a digit is skipped before a word
  EXPECT_EQ(markup::AttributeValue("src=\"open", "src"), "open");
  EXPECT_EQ(markup::AttributeValue("src=1 src=2", "src"), "1");
  EXPECT_EQ(markup::AttributeValue("href=", "href"), "");
  EXPECT_EQ(markup::AttributeValue("", "href"), "");
}

TEST_F(ParserTest, LinkTagForms) {
  EXPECT_EQ(Parse("<link=\"shown\"::target with spaces>"),
            "push|fc(FF0000)|T(shown->::target with spaces)|pop");
  EXPECT_EQ(Parse("<link=\"shown\">"), "push|fc(FF0000)|T(shown)|pop");
  EXPECT_EQ(Parse("<link=\"no close>"), "push|fc(FF0000)|T(->no close)|pop");
  EXPECT_EQ(Parse("<link='-5'go>"), "pic(-5->go)");
  EXPECT_EQ(Parse("<link='5'go>"), "");
  EXPECT_EQ(Parse("<link='-x'go>"), "");
  EXPECT_EQ(Parse("<link='http://h/p.gif'go>"), "pic(1->go)");
  EXPECT_EQ(Parse("<link=''go>"), "");  // an empty URL names no picture
  EXPECT_EQ(Parse("<link=>x<link=plain>"), "T(x)");
  // The "link" tag never changes the anchor's target.
  EXPECT_EQ(Parse("<a href=u><link=\"s\"t>x</a>"), "push|fc(FF0000)|push|fc(FF0000)|T(s->t)|pop|T(x->u)|pop");
}

TEST_F(ParserTest, UrlPicturesShareNumbersAndRecordTheirUsers) {
  MarkupLine a(nullptr, 0), b(nullptr, 0);
  auto first = markup::ParseMarkup("<img src=\"http://h/a.gif\"><img src=http://h/b.gif>", &pictures, &a);
  auto second = markup::ParseMarkup("<IMG SRC=http://h/a.gif><a href=t><img src=x></a>", &pictures, &b);
  EXPECT_EQ(Describe(first), "pic(1)|pic(2)");
  EXPECT_EQ(Describe(second), "pic(1)|push|fc(FF0000)|pic(3->t)|pop");
  EXPECT_EQ(first[0].text, "http://h/a.gif");
  EXPECT_EQ(pictures.UserCount("http://h/a.gif"), 2u);
  EXPECT_EQ(pictures.UserCount("http://h/b.gif"), 1u);
  EXPECT_EQ(Parse("<img alt=x><img src=>"), "");
  // Registering again for the same line adds no second user.
  markup::ParseMarkup("<img src=http://h/a.gif>", &pictures, &a);
  EXPECT_EQ(pictures.UserCount("http://h/a.gif"), 2u);
  EXPECT_EQ(pictures.Register("\"http://h/b.gif\"", nullptr), 2);
}

TEST_F(ParserTest, AutomaticLinks) {
  EXPECT_EQ(Parse("see www.host.ru."),
            "T(see )|push|fc(FF0000)|T(www.host.ru->http://www.host.ru)|pop|T(.)");
  EXPECT_EQ(Parse("(http://x.ru/a)"), "T(()|push|fc(FF0000)|T(http://x.ru/a->http://x.ru/a)|pop|T())");
  EXPECT_EQ(Parse("ftp.gnu.org!"), "push|fc(FF0000)|T(ftp.gnu.org->ftp://ftp.gnu.org)|pop|T(!)");
  EXPECT_EQ(Parse("ftp://a/b c"), "push|fc(FF0000)|T(ftp://a/b->ftp://a/b)|pop|T( c)");
  EXPECT_EQ(Parse("http:/"), "push|fc(FF0000)|T(http:/->http:/)|pop");
  EXPECT_EQ(Parse("www."), "T(www.)");
  EXPECT_EQ(Parse("a www.\"]}) b"), "T(a www.\"]}) b)");
  EXPECT_EQ(Parse("Www.x.ru HTTP://y"), "T(Www.x.ru HTTP://y)");  // case-sensitive
  // The earliest address wins; a later pattern inside it is part of it.
  EXPECT_EQ(Parse("http://www.a.ru/ftp.x www.b.ru"),
            "push|fc(FF0000)|T(http://www.a.ru/ftp.x->http://www.a.ru/ftp.x)|pop|T( )|"
            "push|fc(FF0000)|T(www.b.ru->http://www.b.ru)|pop");
  // Inside an anchor text is not scanned for addresses.
  EXPECT_EQ(Parse("<a href=t>www.a.ru</a>"), "push|fc(FF0000)|T(www.a.ru->t)|pop");
}

TEST_F(ParserTest, ManyAddressesInOneHugeLineAreAllFound) {
  std::string line;
  for (int i = 0; i < 20000; ++i) line += "x www.a" + std::to_string(i) + ".ru, ";
  line += "http://end";
  auto pieces = markup::ParseMarkup(line, &pictures, nullptr);
  int links = 0;
  for (const auto& p : pieces)
    if (p.kind == markup::PieceKind::Text && !p.link.empty()) ++links;
  EXPECT_EQ(links, 20001);
  EXPECT_EQ(pieces.back().kind, markup::PieceKind::PopColor);
  EXPECT_EQ(pieces[pieces.size() - 2].link, "http://end");
}

TEST_F(ParserTest, PlainTextMergesIntoOnePiece) {
  EXPECT_EQ(Parse("ab&lt;cd<b2>ef<id=q>gh"), "T(ab<cdef)|id(q)|T(gh)");
  MarkupLine line(nullptr, 0);
  line.Append("abc ");
  line.Append("def");
  EXPECT_EQ(Describe(line.Parse()), "T(abc def)");
}

TEST(DelTags, KeepsVisibleTextAndDoubleQuoteLinkText) {
  EXPECT_EQ(markup::DelTags("<b>Hi</b> <link=\"there\"::x>!"), "Hi there!");
  EXPECT_EQ(markup::DelTags("a > b"), "a > b");
  EXPECT_EQ(markup::DelTags("<fcol=000000>x &lt; y<pict=-1><link='-2'z>"), "x &lt; y");
  EXPECT_EQ(markup::DelTags("<<b>>x"), "x");
  EXPECT_EQ(markup::DelTags("a<b"), "a");
  EXPECT_EQ(markup::DelTags("<link=\"open"), "");
}

// A ">" inside the shown text ends the tag for the parser; the plain text
// must be what the parser shows and never longer than the markup.
TEST_F(ParserTest, DelTagsAgreesWithTheParserWhenTheShownTextHoldsAnAngle) {
  for (std::string_view m : {"<link=\">12345678\"", "<link=\"a>b\"::t>c", "x<link=\"p>\">q"}) {
    SCOPED_TRACE(std::string(m));
    const std::string plain = markup::DelTags(m);
    EXPECT_LE(plain.size(), m.size());
    std::string shown;
    for (const auto& p : markup::ParseMarkup(m, &pictures, nullptr))
      if (p.kind == markup::PieceKind::Text) shown += p.text;
    EXPECT_EQ(plain, shown);
  }
  EXPECT_EQ(markup::DelTags("<link=\">12345678\""), "12345678\"");
  EXPECT_EQ(markup::DelTags("<link=\"ok\"::t> <link=\"a>b\""), "ok b\"");
}

}  // namespace
