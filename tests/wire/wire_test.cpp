#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "wire/wire.h"
#include "text/binary_escape.h"
#include "text/cp1251.h"

using namespace wire;

namespace {

const std::string BB = "\xA6";

std::vector<std::string> FeedAll(ReceiveBuffer& buf, const std::vector<std::string>& chunks) {
  std::vector<std::string> lines;
  for (const auto& c : chunks) EXPECT_TRUE(buf.Feed(c, [&](const std::string& l) { lines.push_back(l); }));
  return lines;
}

TEST(ReceiveBuffer, RecordSplitOverTwoChunksDispatchesOneLineAndKeepsTheRest) {
  ReceiveBuffer buf;
  auto lines = FeedAll(buf, {"x" + BB + "Mess=hel", "lo;" + BB + "\nx" + BB});
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "x" + BB + "Mess=hello;" + BB);
  EXPECT_EQ(buf.Pending(), "x" + BB);
}

TEST(ReceiveBuffer, KeepsCarriageReturnsAndEmptyLines) {
  ReceiveBuffer buf;
  auto lines = FeedAll(buf, {"a\r\n\nb\n", "c"});
  EXPECT_EQ(lines, (std::vector<std::string>{"a\r", "", "b"}));
  EXPECT_EQ(buf.Pending(), "c");
}

TEST(ReceiveBuffer, HandlerClearingTheBufferStopsTheSplit) {
  // A handler that starts a new connection attempt empties the buffer: the
  // lines after it belong to the old connection and must not be dispatched.
  ReceiveBuffer buf;
  std::vector<std::string> lines;
  buf.Feed("one\ntwo\nthree\n", [&](const std::string& l) {
    lines.push_back(l);
    if (l == "one") buf.Clear();
  });
  EXPECT_EQ(lines, std::vector<std::string>{"one"});
  EXPECT_TRUE(buf.Pending().empty());
  buf.Feed("four\n", [&](const std::string& l) { lines.push_back(l); });
  EXPECT_EQ(lines.back(), "four");
}

TEST(ReceiveBuffer, IsBoundedWithoutALineFeed) {
  ReceiveBuffer buf(100);
  int lines = 0;
  auto count = [&](const std::string&) { ++lines; };
  EXPECT_TRUE(buf.Feed(std::string(60, 'a'), count));
  EXPECT_TRUE(buf.Feed(std::string(40, 'a'), count));  // exactly at the bound
  EXPECT_FALSE(buf.Feed("a", count));
  EXPECT_TRUE(buf.Pending().empty());
  // Long input made of short lines is fine.
  std::string many;
  for (int i = 0; i < 1000; ++i) many += "line\n";
  EXPECT_TRUE(buf.Feed(many, count));
  EXPECT_EQ(lines, 1000);
}

TEST(ReceiveBuffer, ByteByByteFeedingGivesTheSameLines) {
  const std::string stream = "x" + BB + "a=1;" + BB + "\n?5\r\ni|x\n\ntail";
  ReceiveBuffer whole, bytes;
  std::vector<std::string> a, b;
  whole.Feed(stream, [&](const std::string& l) { a.push_back(l); });
  for (char c : stream) bytes.Feed(std::string(1, c), [&](const std::string& l) { b.push_back(l); });
  EXPECT_EQ(a, b);
  EXPECT_EQ(whole.Pending(), bytes.Pending());
}

TEST(ClassifyLine, ClassesInOrder) {
  EXPECT_EQ(ClassifyLine("x" + BB + BB), LineClass::Record);
  EXPECT_TRUE(ParseRecord(RecordBody("x" + BB + BB)).empty());
  EXPECT_EQ(ClassifyLine("x" + BB), LineClass::Unknown);  // the frame byte is not also the closing one
  EXPECT_EQ(ClassifyLine("x" + BB + "a=1;"), LineClass::Unknown);
  EXPECT_EQ(ClassifyLine("x" + BB + "a=1;" + BB + "\r"), LineClass::Unknown);
  EXPECT_EQ(ClassifyLine("?5"), LineClass::Refusal);
  EXPECT_EQ(ClassifyLine("?5 "), LineClass::Unknown);
  EXPECT_EQ(ClassifyLine("i|anything"), LineClass::Ignored);
  EXPECT_EQ(ClassifyLine("p|name|1.2.3.4|"), LineClass::AddressReply);
  EXPECT_EQ(ClassifyLine("T|abc"), LineClass::FineList);
  EXPECT_EQ(ClassifyLine(""), LineClass::Unknown);
  EXPECT_EQ(RecordBody("x" + BB + "a=1;" + BB), "a=1;");
  EXPECT_EQ(FineListData("T|123name" + BB), "name" + BB);
  EXPECT_EQ(FineListData("T|12"), "");
}

TEST(ParseRecord, FieldsAndTheirConsequences) {
  Record r = ParseRecord("Mess=%3b%7c%a6%25;Mid=7;");
  EXPECT_EQ(Field(r, "Mess"), "%3b%7c%a6%25");
  EXPECT_EQ(UnescapeField(Field(r, "Mess")), ";|" + BB + "%");
  EXPECT_EQ(Field(r, "Mid"), "7");
  EXPECT_EQ(Field(r, "Absent"), "");
  EXPECT_FALSE(Has(r, "Absent"));

  // A last field without ";" is empty and its text is read again as a key.
  r = ParseRecord("a=1;b=2");
  EXPECT_EQ(r, (Record{{"a", "1"}, {"b", ""}}));
  r = ParseRecord("a=1;b=x=y");
  EXPECT_EQ(r, (Record{{"a", "1"}, {"b", ""}, {"x", ""}}));

  EXPECT_TRUE(ParseRecord("=1;a=2;").empty());
  EXPECT_EQ(ParseRecord("a=1;junk"), (Record{{"a", "1"}}));
  EXPECT_EQ(ParseRecord("a=1;a=2;"), (Record{{"a", "2"}}));
  // Keys and values are neither trimmed nor decoded; keys are case-sensitive.
  r = ParseRecord(" k = v ;K=w;");
  EXPECT_EQ(Field(r, " k "), " v ");
  EXPECT_EQ(Field(r, "K"), "w");
  // The fine request's bare key carries no "=" and swallows the next field name.
  r = ParseRecord("Fine;Cln=bob;");
  EXPECT_EQ(Field(r, "Fine;Cln"), "bob");
}

TEST(EscapeField, EscapesExactlyFourBytes) {
  EXPECT_EQ(EscapeField("a=b;c"), "a=b%3bc");
  EXPECT_EQ(UnescapeField("a=b%3bc"), "a=b;c");
  EXPECT_EQ(EscapeField(BB + "|%;"), "%a6%7c%25%3b");
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string escaped = EscapeField(all);
  EXPECT_EQ(escaped.size(), 256u + 4 * 2);
  EXPECT_EQ(UnescapeField(escaped), all);
}

TEST(UnescapeField, DigitRuleShortTailsAndEntity) {
  EXPECT_EQ(UnescapeField("100%"), "100%");
  EXPECT_EQ(UnescapeField("x%4"), "x%4");
  EXPECT_EQ(UnescapeField("%41%4a%4A"), "AJJ");
  // Digits are not validated: 'z' | 0x20 = 122 -> 35; (16*35+35) mod 256 = 83 ('S').
  EXPECT_EQ(UnescapeField("%zz"), "S");
  EXPECT_EQ(UnescapeField("a&gt;b&lt;c"), "a>b&lt;c");
  EXPECT_EQ(UnescapeField("%26gt;"), ">");  // the entity step runs after decoding
  EXPECT_EQ(UnescapeField("&gt;gt;"), ">gt;");
}

TEST(Colors, WireAndSettingConversions) {
  EXPECT_EQ(ColorToWire("ff8000"), "0080ff");
  EXPECT_EQ(ColorToWire("abc"), "abc");
  EXPECT_EQ(WireToColor("#ff0000", 7), 255u);
  EXPECT_EQ(WireToColor("#00FF00", 7), 0x00FF00u);
  EXPECT_EQ(WireToColor("#0000ff", 7), 0xFF0000u);
  EXPECT_EQ(WireToColor("#12345", 7), 7u);
  EXPECT_EQ(WireToColor("x123456", 7), 0x563412u);  // the first byte is not checked
  EXPECT_EQ(ColorSettingToValue("0000FF"), 255u);
  EXPECT_EQ(ColorSettingToValue("ff0000"), 0xFF0000u);
  EXPECT_EQ(ColorSettingToValue("0000f"), 0u);
  EXPECT_EQ(CheckWireColor("#a0b0c0", "#000000"), "#a0b0c0");
  EXPECT_EQ(CheckWireColor("#a0b0c", "#000000"), "#000000");
  EXPECT_EQ(CheckWireColor("a0b0c0x", "#000000"), "#000000");
  // A setting sent on the wire and read back is the same color.
  EXPECT_EQ(WireToColor("#" + ColorToWire("40a0ff"), 0), ColorSettingToValue("40a0ff"));
}

TEST(Helpers, SplitFirstWordAndTakeField) {
  std::string s = "12:00:01 <b>bob:</b> hi";
  EXPECT_EQ(SplitFirstWord(s), "12:00:01");
  EXPECT_EQ(s, "<b>bob:</b> hi");
  s = "noblank";
  EXPECT_EQ(SplitFirstWord(s), "");
  EXPECT_EQ(s, "noblank");

  s = "a" + BB + "b" + BB;
  EXPECT_EQ(TakeField(s), "a");
  EXPECT_EQ(TakeField(s), "b");
  EXPECT_EQ(s, "");
  s = "last";
  EXPECT_EQ(TakeField(s), "last");
  EXPECT_EQ(s, "");
  EXPECT_EQ(ReplaceChar("a" + BB + "b" + BB, '\xA6', '|'), "a|b|");
}

TEST(OutgoingLines, Shapes) {
  EXPECT_EQ(RecordWriter().Escaped("Cln", "bo;b").Escaped("Mess", "hi|").Raw("Mid", "5").Line(),
            "x" + BB + "Cln=bo%3bb;Mess=hi%7c;Mid=5;" + BB + "\n");
  EXPECT_EQ(RecordWriter().Key("Fine").Escaped("Cln", "bob").Line(), "x" + BB + "Fine;Cln=bob;" + BB + "\n");
  EXPECT_EQ(RecordWriter().Raw("Num", "").Line('l'), "l" + BB + "Num=;" + BB + "\n");
  EXPECT_EQ(PeerAddressLine("a|b"), "p" + BB + "a%7cb" + BB + "\n");
  EXPECT_EQ(DirectLinkNoticeLine("bob", "12"), "m" + BB + "bob" + BB + "DirectLink::TryToConnect" + BB + "12" + BB + "\n");
  EXPECT_EQ(BuildPositionalLine('f', {"bob", text::EscapeBinary("\n", '0')}),
            "f" + BB + "bob" + BB + "0\x0F\x01" + BB + "\n");
}

// Bad input never crashes or hangs: random and truncated byte strings through
// every decoding entry point.
TEST(WireFuzz, RandomAndTruncatedInputs) {
  std::mt19937 rng(12345);
  const std::string alphabet = "x\xA6|%;=&gt?5ip T\n\r\x0F\x01\x00" "0123456789abcdefAF";
  const std::string seed = "x" + BB + "Mess=12:00:00 <b>a:</b> %3b%7c;Public=1;Mid=9;" + BB + "\n";
  for (int round = 0; round < 4000; ++round) {
    std::string input;
    if (round % 2 == 0) {
      input = seed.substr(0, rng() % (seed.size() + 1));
    } else {
      size_t len = rng() % 200;
      for (size_t i = 0; i < len; ++i)
        input += (rng() % 3 == 0) ? static_cast<char>(rng() & 0xFF) : alphabet[rng() % alphabet.size()];
    }
    ReceiveBuffer buf(64);
    size_t dispatched = 0;
    buf.Feed(input, [&](const std::string& line) {
      ++dispatched;
      EXPECT_EQ(line.find('\n'), std::string::npos);
      if (ClassifyLine(line) == LineClass::Record) {
        for (const auto& [k, v] : ParseRecord(RecordBody(line))) {
          EXPECT_FALSE(k.empty());
          UnescapeField(v);
        }
      }
      FineListData(line);
    });
    EXPECT_LE(dispatched, static_cast<size_t>(std::count(input.begin(), input.end(), '\n')));
    ParseRecord(input);
    EXPECT_LE(UnescapeField(input).size(), input.size());
    auto bin = text::UnescapeBinary(input, 100);
    if (bin) {
      EXPECT_LE(bin->size(), 100u);
    }
    std::string s = input;
    while (!s.empty()) TakeField(s);
  }
}

}  // namespace
