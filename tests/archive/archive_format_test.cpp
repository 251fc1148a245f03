#include "archive/archive_format.h"

#include <gtest/gtest.h>

#include "text/cp1251.h"

namespace {

using media::ViewLine;
using text::W;

// Marks where the code conversion ran, so a test sees which text went through it.
std::string Codes(const std::string& t) { return "[" + t + "]"; }

TEST(PublicArchiveLine, TagLeadNameLinkAndColours) {
  EXPECT_EQ(media::FormatPublicArchiveLine(W("123¦x¦#ffffff¦#000000¦12:30 <b>Guest:</b> hi"), "Me", Codes),
            (ViewLine{W("23 - 12:30 <b><a href=\"Для Guest(23):\">Guest:</a></b> <fcol=000000><bcol=FFFFFF>[hi]")}));
  // Colour words, wire colours in red-green-blue order, a CR before the line
  // feed, and whatever follows a further "¦" in the entry.
  EXPECT_EQ(media::FormatPublicArchiveLine(W("7¦0¦ Black ¦#FF8000¦1:02 <b>A%7cB:</b> x%3by¦tail\r"), "", Codes)
                .markup,
            W("7 - 1:02 <b><a href=\"Для A|B(7):\">A|B:</a></b> <fcol=0080FF><bcol=000000>[x;y]"));
  EXPECT_EQ(media::FormatPublicArchiveLine(W("5¦0¦white¦black¦t <b>N:</b> z"), "", Codes).markup,
            W("5 - t <b><a href=\"Для N(5):\">N:</a></b> <fcol=000000><bcol=FFFFFF>[z]"));
}

TEST(PublicArchiveLine, OwnNameColours) {
  const std::string line = W("1¦0¦#ffffff¦#000000¦12:30 <b>Guest:</b> привет, Вася");
  EXPECT_NE(media::FormatPublicArchiveLine(line, W("Вася"), Codes).markup.find("><fcol=0000ff>Guest:</a>"),
            std::string::npos);
  const std::string mine = W("1¦0¦#ffffff¦#000000¦12:30 <b>Вася:</b> hello");
  EXPECT_NE(media::FormatPublicArchiveLine(mine, W("Вася"), Codes).markup.find(W("><fcol=008000>Вася:</a>")),
            std::string::npos);
  // Not logged in yet: an empty own name is in every text, yet names nobody.
  EXPECT_EQ(media::FormatPublicArchiveLine(line, "", Codes).markup.find("<fcol=0000ff>"), std::string::npos);
  EXPECT_EQ(media::FormatPublicArchiveLine(W("1¦0¦#ffffff¦#000000¦12:30 <b>:</b> x"), "", Codes)
                .markup.find("<fcol=008000>"),
            std::string::npos);
}

TEST(PublicArchiveLine, WithoutBoldNameShownUnchangedWhiteOnRed) {
  EXPECT_EQ(media::FormatPublicArchiveLine(W("9¦0¦#ffffff¦#000000¦just text\r"), "", Codes),
            (ViewLine{W("9¦0¦#ffffff¦#000000¦just text"), 0xFFFFFF, 0x0000FF}));
  EXPECT_EQ(media::FormatPublicArchiveLine("garbage", "", Codes), (ViewLine{"garbage", 0xFFFFFF, 0x0000FF}));
}

TEST(PublicArchiveBody, LinesInOrderCrLfAndBlankLinesDropped) {
  const auto lines =
      media::FormatPublicArchive(W("101¦0¦#ffffff¦#000000¦1 <b>A:</b> a\r\n\r\n\n102¦0¦#ffffff¦#000000¦2 <b>B:</b> b"),
                                 "", Codes);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].markup.substr(0, 6), "1 - 1 ");
  EXPECT_EQ(lines[1].markup.substr(0, 6), "2 - 2 ");
  EXPECT_TRUE(media::FormatPublicArchive("", "", Codes).empty());
}

TEST(PrivateArchiveLine, ReceivedSentAndOther) {
  const std::string stamp = "09.12.26 07.05.03 (Wed)";
  EXPECT_EQ(media::FormatPrivateArchiveLine(stamp + W("¦#ffffff¦#0000ff¦12:30 <b>Guest:</b> a¦b"), Codes),
            (ViewLine{"<i>" + stamp + "</i> 12:30 <b><a href=\"" + W("Для Guest:\">Guest:</a></b> ") +
                      "<fcol=FF0000><bcol=FFFFFF>[a]"}));
  EXPECT_EQ(
      media::FormatPrivateArchiveLine(
          stamp + W("¦#ffff00¦#000000¦<id=17><pict=-17>(Послано-->Guest): 12:31:05 привет\r"), Codes)
          .markup,
      "<i>" + stamp + "</i> " + W("<id=17><pict=-17>(Послано--><link=\"Guest\"Для Guest:>): 12:31:05 ") +
          "<fcol=000000><bcol=00FFFF>" + W("[привет]"));
  // A short text or one without a time has no lead.
  EXPECT_EQ(media::FormatPrivateArchiveLine(stamp + W("¦#ffffff¦#000000¦<id=1><pict=-16>(Послано-->A%3bB): hi there"),
                                            Codes)
                .markup,
            "<i>" + stamp + "</i> " + W("<id=1><pict=-16>(Послано--><link=\"A;B\"Для A;B:>): ") +
                "<fcol=000000><bcol=FFFFFF>[hi there]");
  EXPECT_EQ(media::FormatPrivateArchiveLine(stamp + W("¦#ffffff¦#000000¦<a href=\"::PlAr1\">sound</a>"), Codes),
            (ViewLine{stamp + W("¦#ffffff¦#000000¦<a href=\"::PlAr1\">sound</a>"), 0xFFFFFF, 0x0000FF}));
}

TEST(ArchiveColours, WordsWireColoursAndShortFields) {
  EXPECT_EQ(media::ArchiveColor("WHITE", 1), 0xFFFFFFu);
  EXPECT_EQ(media::ArchiveColor(" black", 1), 0u);
  EXPECT_EQ(media::ArchiveColor("#ff0000", 1), 0x0000FFu);
  EXPECT_EQ(media::ArchiveColor("#12345", 7), 7u);
  EXPECT_EQ(media::MarkupColor(0x0000FF), "0000FF");
  EXPECT_EQ(media::MarkupColor(0xFF123456), "123456");
}

}  // namespace
