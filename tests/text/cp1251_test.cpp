#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>

#include "text/binary_escape.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/fold.h"

namespace {

std::optional<std::string> Iconv(const char* from, const char* to, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string input = in;
  char buf[64];
  char* inp = input.data();
  size_t inleft = input.size();
  char* outp = buf;
  size_t outleft = sizeof buf;
  size_t r = iconv(cd, &inp, &inleft, &outp, &outleft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return std::nullopt;
  return std::string(buf, outp);
}

TEST(Cp1251, EveryByteMatchesSystemIconvBothWays) {
  int compared = 0;
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const std::string ours = text::Cp1251ToUtf8(byte);
    auto theirs = Iconv("CP1251", "UTF-8", byte);
    if (b == 0x98) {
      // Unassigned in the code page: iconv refuses it, we keep it as U+0098.
      EXPECT_FALSE(theirs.has_value());
      EXPECT_EQ(ours, "\xC2\x98");
    } else {
      ASSERT_TRUE(theirs.has_value()) << b;
      EXPECT_EQ(ours, *theirs) << "byte " << b;
      auto back = Iconv("UTF-8", "CP1251", ours);
      ASSERT_TRUE(back.has_value()) << b;
      EXPECT_EQ(*back, byte) << "byte " << b;
      ++compared;
    }
    EXPECT_EQ(text::Utf8ToCp1251(ours), byte) << "byte " << b;
  }
  EXPECT_EQ(compared, 255);
}

TEST(Cp1251, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(text::Utf8ToCp1251("a\xE4\xB8\xAD" "b"), "a?b");       // CJK
  EXPECT_EQ(text::Utf8ToCp1251("\xF0\x9F\x98\x80"), "?");           // emoji
  EXPECT_EQ(text::Utf8ToCp1251("\xC3\xA9"), "?");                   // é is not in 1251
  EXPECT_EQ(text::Utf8ToCp1251("\xFF" "a"), "?a");                  // invalid lead byte
  EXPECT_EQ(text::Utf8ToCp1251("\xD0"), "?");                       // truncated sequence
  EXPECT_EQ(text::Utf8ToCp1251("\xD0" "a"), "?a");                  // bad continuation
  EXPECT_EQ(text::W("Привет"), "\xCF\xF0\xE8\xE2\xE5\xF2");
}

TEST(Bytes, CaseFoldingCoversCyrillic) {
  EXPECT_EQ(text::Lower(text::W("ПРИВЕТ Ёж ABC")), text::W("привет ёж abc"));
  EXPECT_EQ(text::Upper(text::W("їжак")), text::W("ЇЖАК"));
  EXPECT_TRUE(text::EqualsIgnoreCase(text::W("Транслит"), text::W("тРАНСЛИТ")));
  EXPECT_FALSE(text::EqualsIgnoreCase("ab", "abc"));
  for (int b = 0; b < 256; ++b) {
    char c = static_cast<char>(b);
    // Lower and upper must be inverse wherever a byte changes.
    if (text::LowerByte(c) != c) {
      EXPECT_EQ(text::UpperByte(text::LowerByte(c)), c) << b;
    }
  }
}

TEST(Bytes, IntegerTextIsSignAndDigitsWithin32Bits) {
  EXPECT_EQ(text::ParseInt("42"), 42);
  EXPECT_EQ(text::ParseInt("-7"), -7);
  EXPECT_EQ(text::ParseInt("+7"), 7);
  EXPECT_EQ(text::ParseInt("2147483647"), 2147483647);
  EXPECT_EQ(text::ParseInt("-2147483648"), INT32_MIN);
  EXPECT_FALSE(text::ParseInt("2147483648"));
  EXPECT_FALSE(text::ParseInt("99999999999999999999"));
  EXPECT_FALSE(text::ParseInt(""));
  EXPECT_FALSE(text::ParseInt("-"));
  EXPECT_FALSE(text::ParseInt(" 1"));
  EXPECT_FALSE(text::ParseInt("1x"));
  EXPECT_FALSE(text::ParseInt("0x10"));
  EXPECT_EQ(text::ParseIntOr("z", 5), 5);
}

TEST(Bytes, ReplaceAllAndSplit) {
  EXPECT_EQ(text::ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(text::ReplaceAll("x", "", "y"), "x");
  EXPECT_EQ(text::Split("a,,b,", ','), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(text::Trim(" \t a b \r\n"), "a b");
}

TEST(FoldLookAlikes, CyrillicLookAlikesBecomeLatin) {
  EXPECT_EQ(text::FoldLookAlikes(text::W("АаВЕеНКМОоРрСсТХху")), "AaBEeHKMOoPpCcTXxy");
  // Letters without a Latin twin stay as they are.
  EXPECT_EQ(text::FoldLookAlikes(text::W("Бог")), text::W("Б") + "o" + text::W("г"));
  EXPECT_EQ(text::FoldLookAlikes(text::W("Сева")), text::FoldLookAlikes(text::W("Ceвa")));
}

TEST(BinaryEscape, RoundTripsAndAvoidsLineBreakingBytes) {
  const std::string data("\x41\x0A\x00\x7C\xA6\x0F", 6);
  const std::string escaped = text::EscapeBinary(data, '0');
  EXPECT_EQ(escaped, std::string("\x30\x41\x0F\x01\x0F\x02\x0F\x03\x0F\x04\x0F\x05", 12));
  EXPECT_EQ(text::UnescapeBinary(escaped, 6), data);

  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string e = text::EscapeBinary(all, '2');
  for (char bad : {'\n', '\0', '|', '\xA6'}) EXPECT_EQ(e.find(bad), std::string::npos);
  EXPECT_EQ(text::UnescapeBinary(e, 256), all);
}

TEST(BinaryEscape, UnescapeFailures) {
  // Over capacity, by one byte.
  EXPECT_FALSE(text::UnescapeBinary("0abc", 2));
  EXPECT_EQ(text::UnescapeBinary("0ab", 2), "ab");
  // A trailing 0x0F has no code byte.
  EXPECT_FALSE(text::UnescapeBinary("0a\x0F", 10));
  // 0x0F before an unknown code byte stands for 0x0F and consumes it.
  EXPECT_EQ(text::UnescapeBinary("0\x0Fzq", 10), "\x0Fq");
  // The marker alone decodes to nothing.
  EXPECT_EQ(text::UnescapeBinary("0", 0), "");
  EXPECT_EQ(text::UnescapeBinary("", 0), "");
}

}  // namespace
