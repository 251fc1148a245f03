// The parts of chatd that need no socket: the drawn pictures, name rules,
// text cleaning and fine periods.
#include <gif_lib.h>

#include <cstdio>
#include <cstring>
#include <set>

#include <jpeglib.h>
#include <gtest/gtest.h>

#include "server/artwork.h"
#include "server/fines.h"
#include "server/name_rules.h"
#include "server/raw_targets.h"
#include "server/room.h"
#include "server/room_text.h"
#include "text/bytes.h"
#include "text/cp1251.h"

namespace {

using text::W;

struct Reader {
  const std::string* data;
  size_t at = 0;
};

int ReadGif(GifFileType* gif, GifByteType* out, int length) {
  auto* r = static_cast<Reader*>(gif->UserData);
  const size_t n = std::min(static_cast<size_t>(length), r->data->size() - r->at);
  std::memcpy(out, r->data->data() + r->at, n);
  r->at += n;
  return static_cast<int>(n);
}

TEST(ArtworkTest, GifsDecodeWithEveryDisposalMethodTransparencyAndStillPictures) {
  std::set<int> disposals;
  int animated = 0, still = 0, transparent = 0, gifs = 0;
  for (const auto& file : chatd::DrawArtwork("Robot")) {
    if (!text::EndsWith(file.path, ".gif")) continue;
    ++gifs;
    Reader reader{&file.bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, ReadGif, &error);
    ASSERT_NE(gif, nullptr) << file.path;
    ASSERT_EQ(DGifSlurp(gif), GIF_OK) << file.path;
    ASSERT_NE(gif->SColorMap, nullptr);
    (gif->ImageCount > 1 ? animated : still)++;
    bool anyTransparent = false;
    for (int i = 0; i < gif->ImageCount; ++i) {
      const SavedImage& frame = gif->SavedImages[i];
      EXPECT_GE(frame.ImageDesc.Left, 0);
      EXPECT_GE(frame.ImageDesc.Top, 0);
      EXPECT_LE(frame.ImageDesc.Left + frame.ImageDesc.Width, gif->SWidth) << file.path;
      EXPECT_LE(frame.ImageDesc.Top + frame.ImageDesc.Height, gif->SHeight) << file.path;
      for (int p = 0; p < frame.ImageDesc.Width * frame.ImageDesc.Height; ++p)
        ASSERT_LT(frame.RasterBits[p], gif->SColorMap->ColorCount);
      GraphicsControlBlock gcb{};
      if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK) {
        if (gif->ImageCount > 1) disposals.insert(gcb.DisposalMode);
        anyTransparent = anyTransparent || gcb.TransparentColor != NO_TRANSPARENT_COLOR;
      }
    }
    transparent += anyTransparent;
    DGifCloseFile(gif, &error);
  }
  EXPECT_GE(gifs, 40);
  EXPECT_EQ(disposals, (std::set<int>{0, 1, 2, 3}));
  EXPECT_GE(animated, 10);
  EXPECT_GE(still, 10);
  EXPECT_GE(transparent, 10);
}

TEST(ArtworkTest, PhotosAreJpegsOfTheirSizeUnderSafeNames) {
  int photos = 0;
  for (const auto& file : chatd::DrawArtwork("Robot")) {
    if (!text::EndsWith(file.path, ".jpg")) continue;
    ++photos;
    jpeg_decompress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(file.bytes.data()), file.bytes.size());
    ASSERT_EQ(jpeg_read_header(&info, TRUE), JPEG_HEADER_OK);
    EXPECT_EQ(info.image_width, 160u);
    EXPECT_EQ(info.image_height, 120u);
    jpeg_destroy_decompress(&info);
  }
  EXPECT_EQ(photos, 2);
  EXPECT_EQ(chatd::PhotoPath("Robot", 1), "photos/Robot_1.jpg");
  EXPECT_EQ(text::SafeFileName("../a/b"), "%2e.%2fa%2fb");
  EXPECT_EQ(text::SafeFileName("100%"), "100%25");
  EXPECT_NE(text::SafeFileName("a/b"), text::SafeFileName("a%2fb"));
}

TEST(NameRulesTest, RegistrableNamesAndLookAlikeKeys) {
  for (const std::string& good : {std::string("a"), std::string(32, 'x'), W("Вася Пупкин"), std::string("a-b.c")})
    EXPECT_TRUE(chatd::IsValidName(good)) << good;
  for (const std::string& bad : {std::string(), std::string(33, 'x'), std::string("a\xA6" "b"), std::string("a|b"),
                                 std::string("a;b"), std::string("a%b"), std::string("a,b"), std::string("a=b"),
                                 std::string("<b>"), std::string("a\"b"), std::string("a\tb"), std::string(" a"),
                                 std::string("a "), std::string("HTTP:x"), std::string("ftp:x"), std::string("WWW.x"),
                                 std::string("--a"), std::string("::a")})
    EXPECT_FALSE(chatd::IsValidName(bad)) << bad;
  EXPECT_EQ(chatd::AccountKey(W("КОТ")), chatd::AccountKey("kot"));
  EXPECT_EQ(chatd::AccountKey(W("кот")), chatd::AccountKey("KOT"));
  EXPECT_EQ(chatd::AccountKey(W("Тайга")), chatd::AccountKey(W("тaйгa")));
  EXPECT_NE(chatd::AccountKey(W("Вася")), chatd::AccountKey(W("Ваня")));
}

TEST(CleaningTest, MessageTextsKeepEscapesWholeAndLoseRawSeparators) {
  EXPECT_EQ(chatd::CleanEscapedText("a\xA6" "b|c\r\nd", 100), "a%a6b%7cc  d");
  EXPECT_EQ(chatd::CleanEscapedText("abc%3b", 5), "abc");   // "%3" would be half an escape
  EXPECT_EQ(chatd::CleanEscapedText("abcd%3b", 5), "abcd");
  EXPECT_EQ(chatd::CleanEscapedText("ab%3bcd", 5), "ab%3b");
  EXPECT_EQ(chatd::CleanWireColor("#A0b0C0", "#ffffff"), "#a0b0c0");
  EXPECT_EQ(chatd::CleanWireColor("#12345", "#ffffff"), "#ffffff");
  EXPECT_EQ(chatd::CleanWireColor("#12345;", "#000000"), "#000000");
  EXPECT_EQ(chatd::CleanVersion("2.8;User=x,y"), "2.8Userxy");
}

TEST(RawTargetsTest, RequestLinesSplitAnywhereGiveBackTheirRawTargetsInOrder) {
  chatd::RawTargets raw;
  const std::string first = "GET /photos/" + W("Вася") + "_1.jpg HTTP/1.0\nHost: x\n\n";
  const std::string second = "GET /perl/whois?searchtext=" + W("Ёж") + "&x=%41 HTTP/1.1\r\nHost: x\r\n\r\n";
  const std::string ascii = "GET /members.html HTTP/1.0\n\n";
  const std::string all = first + ascii + second;
  for (size_t i = 0; i < all.size(); i += 7) raw.Feed(std::string_view(all).substr(i, 7));
  // Qt's view: every Windows-1251 byte became U+FFFD, other bytes re-encoded.
  const std::string fffd = "%EF%BF%BD";
  EXPECT_TRUE(chatd::RawTargets::NeedsRaw("/photos/" + fffd + "_1.jpg"));
  EXPECT_FALSE(chatd::RawTargets::NeedsRaw("/members.html"));
  EXPECT_EQ(raw.Take("/photos/" + fffd + fffd + fffd + fffd + "_1.jpg").value_or(""), "/photos/" + W("Вася") + "_1.jpg");
  EXPECT_EQ(raw.Take("/perl/whois?searchtext=" + fffd + fffd + "&x=A").value_or(""),
            "/perl/whois?searchtext=" + W("Ёж") + "&x=%41");
  EXPECT_FALSE(raw.Take("/photos/" + fffd + "_1.jpg"));  // each target is given once
  // A header line that merely looks odd is no request line.
  raw.Feed("X-Note: GET /" + W("ж") + " HTTP/1.0\n");
  EXPECT_FALSE(raw.Take("/" + fffd));
}

TEST(FinesTest, PeriodCodes) {
  EXPECT_EQ(chatd::FinePeriodSeconds(0), 0);
  EXPECT_EQ(chatd::FinePeriodSeconds(1), 600);
  EXPECT_EQ(chatd::FinePeriodSeconds(5), 864000);
  EXPECT_EQ(chatd::FinePeriodSeconds(365), 365 * 86400);
  EXPECT_EQ(chatd::FinePeriodSeconds(-3), 0);
  EXPECT_EQ(chatd::FinePeriodSeconds(2147483647), int64_t{2147483647} * 86400);
}

}  // namespace
