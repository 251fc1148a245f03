#include "chat/smiley_codes.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <iterator>

#include "settings/settings.h"
#include "text/cp1251.h"

namespace {

using text::W;
using window::CodesToMarkup;
using window::SmileyTable;

constexpr const char* kQel = "http://q/set/";

settings::Settings CodeSettings(bool translit = false) {
  settings::Settings s;
  s.QelDir = kQel;
  s.UserSmileNum = "77";
  s.Translit = translit;
  s.TranslitTable = settings::DefaultTranslitTable();
  return s;
}

SmileyTable Table() { return {{12, "http://s/12.gif"}, {100, "http://s/g1.gif"}}; }

// Converts UTF-8 `utf8` and gives UTF-8 back.
std::string Convert(const std::string& utf8, bool own, const settings::Settings& s = CodeSettings()) {
  std::string t = W(utf8);
  CodesToMarkup(t, own, s, Table());
  return text::Cp1251ToUtf8(t);
}

std::string Img(const std::string& src) { return "<img src=" + src + ">"; }

TEST(CodesToMarkup, BuiltinSmileysInTableOrder) {
  EXPECT_EQ(Convert(":):(", false), "<pict=-1><pict=-2>");
  EXPECT_EQ(Convert("a :u: :d: :w: :a: :v: :z: :y: :h: b", true),
            "a <pict=-3> <pict=-4> <pict=-5> <pict=-6> <pict=-7> <pict=-8> <pict=-9> <pict=-10> b");
  // Existing markup passes through.
  EXPECT_EQ(Convert("<b>x</b>:)", false), "<b>x</b><pict=-1>");
}

TEST(CodesToMarkup, LastByteNeverStartsACodeAndCutCodesStay) {
  EXPECT_EQ(Convert("x:)", false), "x<pict=-1>");
  EXPECT_EQ(Convert("a:", false), "a:");
  EXPECT_EQ(Convert(":", false), ":");
  EXPECT_EQ(Convert(":u12", false), ":u12");
  EXPECT_EQ(Convert(":12p3", false), ":12p3");
  EXPECT_EQ(Convert(":p5", true), ":p5");
}

TEST(CodesToMarkup, SecondPictureSetOnlyInReceivedText) {
  EXPECT_EQ(Convert(":12p3:", false), Img(std::string(kQel) + "12_3.gif"));
  EXPECT_EQ(Convert(":12p3:", true), ":12p3:");
  EXPECT_EQ(Convert(":12p:", false), ":12p:");
  EXPECT_EQ(Convert(":12x3: :p3:", false), ":12x3: :p3:");
  // A failed second-set code tries no other form, but the walk goes on.
  EXPECT_EQ(Convert(":1:)", false), ":1<pict=-1>");
}

TEST(CodesToMarkup, OwnPicturesOnlyInThePreview) {
  const std::string own = Img(std::string(kQel) + "77_5.gif");
  EXPECT_EQ(Convert(":p5: :р5: :п5:", true), own + " " + own + " " + own);
  EXPECT_EQ(Convert(":p5:", false), ":p5:");
  EXPECT_EQ(Convert(":p:", true), ":p:");
}

TEST(CodesToMarkup, AdditionalSmileysFromTheTable) {
  const std::string twelve = Img("http://s/12.gif");
  EXPECT_EQ(Convert(":u12: :у12: :d12:", false), twelve + " " + twelve + " " + twelve);
  EXPECT_EQ(Convert(":u012:", true), twelve);
  EXPECT_EQ(Convert(":u100:", false), Img("http://s/g1.gif"));  // group pictures too
  EXPECT_EQ(Convert(":u13:", false), Img(""));
  // Digits beyond 32 bits stay text; what follows is still converted.
  EXPECT_EQ(Convert(":u99999999999:)", false), ":u99999999999<pict=-1>");
  EXPECT_EQ(Convert(":u2147483647: :u2147483648:", false), Img("") + " :u2147483648:");
}

TEST(CodesToMarkup, TransliteratesOnlyTheUsersOwnText) {
  const settings::Settings s = CodeSettings(true);
  EXPECT_EQ(Convert("privet :p5: :)", true, s),
            "привет " + Img(std::string(kQel) + "77_5.gif") + " <pict=-1>");
  EXPECT_EQ(Convert("privet :u12:", false, s), "privet " + Img("http://s/12.gif"));
}

// What the preview showed as the user's own picture is what receivers show
// after the rewrite that precedes sending.
TEST(RewriteOwnPictureCodes, ReceiversSeeWhatThePreviewShowed) {
  for (const char* typed : {":p5: и :р6:", ":u:p5:", ":p5:p6:", "::п7:", ":u12::p3:", ":d9999999999:p4:",
                            ":p:", "x:p1"}) {
    std::string sent = W(typed);
    window::RewriteOwnPictureCodes(sent, "77");
    std::string preview = W(typed);
    CodesToMarkup(preview, true, CodeSettings(), Table());
    CodesToMarkup(sent, false, CodeSettings(), Table());
    EXPECT_EQ(text::Cp1251ToUtf8(sent), text::Cp1251ToUtf8(preview)) << typed;
  }
  std::string t = W(":p5: и :р6:");
  window::RewriteOwnPictureCodes(t, "77");
  EXPECT_EQ(text::Cp1251ToUtf8(t), ":77p5: и :77p6:");
  window::RewriteOwnPictureCodes(t = ":p5:", "");
  EXPECT_EQ(t, ":p5:");
}

TEST(ImgMarkers, RewrittenOnePairAtATimeWithTheCaretAfterTheTag) {
  std::string t = "a[img]x.gif[/img]b";
  size_t caret = 0;
  ASSERT_TRUE(window::RewriteImgMarkers(t, &caret));
  EXPECT_EQ(t, "a<img src=x.gif>b");
  EXPECT_EQ(caret, 16u);
  EXPECT_FALSE(window::RewriteImgMarkers(t, &caret));

  t = "[img]1[/img][img]2[/img]";
  ASSERT_TRUE(window::RewriteImgMarkers(t, &caret));
  EXPECT_EQ(t, "<img src=1>[img]2[/img]");
  ASSERT_TRUE(window::RewriteImgMarkers(t, &caret));
  EXPECT_EQ(t, "<img src=1><img src=2>");
  EXPECT_EQ(caret, t.size());

  for (std::string left : {"[/img][img]", "[img]x", "x[/img]", ""}) {
    std::string before = left;
    EXPECT_FALSE(window::RewriteImgMarkers(left, &caret));
    EXPECT_EQ(left, before);
  }
}

class SmileyFile : public ::testing::Test {
 protected:
  std::string Path() const { return dir_.filePath("csmile.dat").toStdString(); }
  void Put(const std::string& bytes) const { std::ofstream(Path(), std::ios::binary) << bytes; }
  QTemporaryDir dir_;
};

TEST_F(SmileyFile, ReadsUntilTheFirstBadLine) {
  Put(W("0¦http://a/0.gif\r\n5¦first\n5¦second¦with bar\n-3¦neg\nbad¦x\n7¦after\n"));
  SmileyTable table = {{99, "stale"}};
  window::LoadSmileyTable(Path(), table);
  EXPECT_EQ(table, (SmileyTable{{-3, "neg"}, {0, "http://a/0.gif"}, {5, W("second¦with bar")}}));

  Put(W("1¦a\nno bar here\n2¦b\n"));
  window::LoadSmileyTable(Path(), table);
  EXPECT_EQ(table, (SmileyTable{{1, "a"}}));

  Put(W("1¦a\n2¦unterminated"));
  window::LoadSmileyTable(Path(), table);
  EXPECT_EQ(table, (SmileyTable{{1, "a"}}));

  Put(W("99999999999¦big\n"));
  window::LoadSmileyTable(Path(), table);
  EXPECT_TRUE(table.empty());
}

TEST_F(SmileyFile, MissingFileEmptiesTheTableAndSaveReplacesIt) {
  SmileyTable table = {{1, "x"}};
  window::LoadSmileyTable(Path(), table);
  EXPECT_TRUE(table.empty());

  Put("old");
  const std::string body = W("4¦http://s/4.gif\n");
  ASSERT_TRUE(window::SaveSmileyFile(Path(), body));
  std::ifstream in(Path(), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), body);
  window::LoadSmileyTable(Path(), table);
  EXPECT_EQ(table, (SmileyTable{{4, "http://s/4.gif"}}));

  EXPECT_FALSE(window::SaveSmileyFile(dir_.filePath("no/such/dir/csmile.dat").toStdString(), body));
  EXPECT_EQ(window::SmileyFilePath("/p/"), "/p/csmile.dat");
}

}  // namespace
