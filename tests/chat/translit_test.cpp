#include "chat/translit.h"

#include <gtest/gtest.h>

#include "settings/settings.h"
#include "text/cp1251.h"

namespace {

using text::W;

settings::Settings TranslitOn() {
  settings::Settings s;
  s.Translit = true;
  s.TranslitTable = settings::DefaultTranslitTable();
  s.Divider = "_";
  return s;
}

// Transliterates UTF-8 `typed` as the user's own text and gives UTF-8 back.
std::string Own(const std::string& typed, const settings::Settings& s = TranslitOn()) {
  std::string t = W(typed);
  window::Transliterate(t, true, s);
  return text::Cp1251ToUtf8(t);
}

TEST(Transliterate, DefaultTableLongestMatchAndCapitals) {
  EXPECT_EQ(Own("privet"), "привет");
  EXPECT_EQ(Own("Shchuka"), "Щука");
  EXPECT_EQ(Own("ya yo"), "я ыо");
  EXPECT_EQ(Own("Sh SH sH"), "Ш Ш ш");
  EXPECT_EQ(Own("mmzttz"), "ьъ");
  // Letters no entry covers, digits, punctuation and Cyrillic stay.
  EXPECT_EQ(Own("x q w 12, уже!"), "x q w 12, уже!");
  EXPECT_EQ(Own("<b>"), "<б>");
}

TEST(Transliterate, DividerSplitsOnlyWhereNothingMatches) {
  EXPECT_EQ(Own("s_hema"), "схема");
  EXPECT_EQ(Own("a__b_"), "аб");
  settings::Settings s = TranslitOn();
  s.Divider = "";
  EXPECT_EQ(Own("s_hema", s), "с_хема");
  s.Divider = "-+";  // only the first character counts
  EXPECT_EQ(Own("s-hema s+h", s), "схема с+х");
  // A divider that is itself a table entry converts instead of vanishing.
  s.Divider = "_";
  s.TranslitTable[29] = "_";  // "ъ"
  EXPECT_EQ(Own("s_h", s), "съх");
}

TEST(Transliterate, BracketsProtectAndVanish) {
  EXPECT_EQ(Own("[hello] mir"), "hello мир");
  EXPECT_EQ(Own("a]b"), "аб");
  EXPECT_EQ(Own("[abc"), "abc");
  EXPECT_EQ(Own("[[a]b]"), "aб");  // no nesting: the first "]" ends it
  EXPECT_EQ(Own("[www.site.ru] da"), "www.site.ru да");
}

TEST(Transliterate, SmileyAndPictureCodesPassIntact) {
  EXPECT_EQ(Own(":) :p15: :d7: :u3: mir"), ":) :p15: :d7: :u3: мир");
  EXPECT_EQ(Own(":u: :h: :y: :z:"), ":u: :h: :y: :z:");
  // No digits, or no closing colon: not a code.
  EXPECT_EQ(Own(":p:"), ":п:");
  EXPECT_EQ(Own(":p12 da"), ":п12 да");
  EXPECT_EQ(Own("da:"), "да:");
  // The jump covers the code and nothing after it.
  EXPECT_EQ(Own(":d7:da"), ":d7:да");
}

TEST(Transliterate, UserTableEarlierLetterWinsTiesAndCaseOfEntriesIgnored) {
  settings::Settings s = TranslitOn();
  s.TranslitTable[1] = "a";   // "б" shares "a" with "а"
  s.TranslitTable[2] = "QW";  // "в", stored with capitals by hand
  s.TranslitTable[3] = "";    // "г" empty: never matches
  EXPECT_EQ(Own("aqwg", s), "авg");
  EXPECT_EQ(Own("Qw", s), "В");
}

TEST(Transliterate, OffOrReceivedTextIsUntouched) {
  settings::Settings off = TranslitOn();
  off.Translit = false;
  EXPECT_EQ(Own("[privet] s_h", off), "[privet] s_h");
  std::string received = "[privet] s_h";
  window::Transliterate(received, false, TranslitOn());
  EXPECT_EQ(received, "[privet] s_h");
}

TEST(TranslitPanel, LineHoldsOneLinkPerLetterInOrder) {
  std::string line = text::Cp1251ToUtf8(window::TranslitPanelLine());
  ASSERT_EQ(line.rfind("<b> <link=\" а \"а><link=\" б \"б>", 0), 0u);
  EXPECT_NE(line.find("<link=\" ь \"ь><link=\" ы \"ы><link=\" ъ \"ъ>"), std::string::npos);
  const std::string last = "<link=\" я \"я>";
  EXPECT_EQ(line.substr(line.size() - last.size()), last);
  size_t links = 0;
  for (size_t at = line.find("<link="); at != std::string::npos; at = line.find("<link=", at + 1))
    ++links;
  EXPECT_EQ(links, 33u);
}

TEST(TranslitPanel, ClickInsertsTheLetterAndShiftMakesItCapital) {
  auto click = [](const char* utf8, bool shift) {
    return text::Cp1251ToUtf8(window::TranslitPanelInsertion(W(utf8), shift));
  };
  EXPECT_EQ(click("а", false), "а");
  EXPECT_EQ(click("а", true), "А");
  EXPECT_EQ(click("ё", true), "Ё");
  EXPECT_EQ(click("я", true), "Я");
  EXPECT_EQ(click("ъ", true), "Ъ");
  EXPECT_EQ(click("", true), "");
}

}  // namespace
