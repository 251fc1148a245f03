// Any byte string is markup: it parses, lays out, paints and takes clicks,
// and what layout computed is what painting and hit-testing use.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "fixed_metrics.h"
#include "markup/markup_parser.h"
#include "markup/picture_registry.h"
#include "markup/view_globals.h"

namespace {

std::string RandomMarkup(std::mt19937& rng) {
  static const char* kBits[] = {"<", ">", "&", "#", ";", "b", "/", "=", "\"", "'", "-", " ", ",",
                                "<br>", "<nl>", "<nobr>", "</nobr>", "<fsize=", "<xpos=", "<fcol=",
                                "<img src=", "<pict=-", "<link=\"", "<link='", "www.", "http:/",
                                "<a href=", "</a>", "<i>", "<b>", "</b>", "&#", "&lt", "&quot", "1",
                                "99", "<id=", "ftp.", "xxxxxxxxxxxxxxxxxxxxxxxx"};
  std::string s;
  const int parts = static_cast<int>(rng() % 60);
  for (int i = 0; i < parts; ++i) {
    if (rng() % 3 == 0)
      s += static_cast<char>(rng() & 0xFF);
    else
      s += kBits[rng() % (sizeof kBits / sizeof *kBits)];
  }
  return s;
}

TEST(RandomMarkup, PiecesKeepTheLanguageLimits) {
  std::mt19937 rng(7);
  markup::NumberingPictureRegistry pictures;
  int withUrls = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::string s = RandomMarkup(rng);
    std::vector<std::string> urls;
    const auto pieces = markup::ParseMarkup(s, &pictures, nullptr, &urls);
    // Lines are parsed on arrival only when they may name URL pictures.
    if (!urls.empty()) {
      EXPECT_TRUE(markup::MayNameUrlPictures(s)) << s;
      ++withUrls;
    }
    for (const auto& p : pieces) {
      switch (p.kind) {
        case markup::PieceKind::Picture: EXPECT_NE(p.value, 0) << s; break;
        case markup::PieceKind::FontSize: EXPECT_TRUE(p.value >= 1 && p.value <= 29) << s; break;
        case markup::PieceKind::XPos: EXPECT_TRUE(p.value >= -99 && p.value <= 999) << s; break;
        default: EXPECT_LE(p.kind, markup::PieceKind::PopColor); break;
      }
    }
    // The shown text never holds more than the markup did.
    EXPECT_LE(markup::DelTags(s).size(), s.size());
  }
  EXPECT_GT(withUrls, 100);
  EXPECT_FALSE(markup::MayNameUrlPictures("<b>x</b> <link=\"--- up ---\"Page Up> <pict=-3> <link='-4'a>"));
  EXPECT_TRUE(markup::MayNameUrlPictures("a <LINK='http://x/y.gif'7> b"));
  EXPECT_TRUE(markup::MayNameUrlPictures("<&#105;mg src=x.gif>"));
}

TEST(RandomMarkup, LayoutPaintingAndHitsAgree) {
  std::mt19937 rng(11);
  markup::ViewGlobals::scrollBarWidth = 16;
  markup_test::FixedMeasurer measurer;
  markup::NumberingPictureRegistry pictures;
  markup::MarkupDocument doc(measurer, &pictures);
  markup_test::RecordingView view;
  doc.AttachView(&view);
  doc.SetViewSize(90, 150);
  for (int round = 0; round < 400; ++round) {
    const std::string s = RandomMarkup(rng);
    switch (rng() % 6) {
      case 0: doc.AddString(s); break;
      case 1: doc.ReplaceLastStr(s); break;
      case 2: doc.SetFilter(rng() % 4 ? "" : std::string(1, static_cast<char>('a' + rng() % 3))); break;
      default: doc.NewString(s, 0, 0xFFFFFF); break;
    }
    const int x = static_cast<int>(rng() % 120) - 10, y = static_cast<int>(rng() % 170) - 10;
    for (const auto& link : doc.Click(x, y)) EXPECT_FALSE(link.empty());
    markup_test::RecordingCanvas hover;
    doc.MouseMove(x, y, &hover);
  }

  // Lines follow each other without gaps, laid out or not; hidden ones take
  // no height.
  int placedTop = 0;
  for (const auto& line : doc.lines()) {
    ASSERT_EQ(line->top, placedTop);
    if (!line->hidden) placedTop += std::max(line->height, 0);
  }
  EXPECT_EQ(doc.ContentHeight(), placedTop);
  doc.LayOutAll();
  int expectedTop = 0;
  for (const auto& line : doc.lines()) {
    ASSERT_EQ(line->top, expectedTop);
    ASSERT_EQ(line->Ascents().size(), line->Descents().size());
    if (line->hidden) continue;
    ASSERT_FALSE(line->Ascents().empty());
    for (size_t i = 0; i < line->Ascents().size(); ++i) expectedTop += line->Ascents()[i] + line->Descents()[i];
  }
  EXPECT_EQ(doc.ContentHeight(), expectedTop);

  // Painting the whole content draws nothing outside it.
  doc.SetVertScrollPos(0);
  markup_test::RecordingCanvas canvas;
  doc.DrawRange(canvas, 0, doc.ContentHeight());
  for (const auto& t : canvas.texts) {
    EXPECT_GE(t.top, 0);
    EXPECT_LT(t.top, doc.ContentHeight());
  }
  for (const auto& f : canvas.fills) EXPECT_LE(f.y + f.h, std::max(doc.ContentHeight(), 150));
}

}  // namespace
