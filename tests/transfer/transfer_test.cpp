// Picture transfer: the encoders and the defensive decoder, the recode
// choices, the send route by version, and the receive path with the kept
// files.
#include <QBuffer>
#include <QImageWriter>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>

#include "transfer/picture_codec.h"
#include "transfer/picture_transfer.h"
#include "transfer/recode_model.h"
#include "transfer/transfer_host.h"
#include "gif_writer.h"
#include "link/link_frame.h"
#include "qt_wait.h"
#include "temp_dir.h"
#include "text/binary_escape.h"
#include "text/cp1251.h"

namespace {

using namespace transfer;
using text::W;

// A smooth picture with thousands of colours.
QImage Gradient(int w = 96, int h = 64) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x + y) * 255 / (w + h)));
  return image;
}

double MeanError(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 1e9;
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
    }
  return sum / (3.0 * a.width() * a.height());
}

std::string Png(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter(&buffer, "png").write(image);
  return bytes.toStdString();
}

TEST(PictureCodec, GifKeepsFewColoursExactlyAndReducesManyToAPalette) {
  QImage few(20, 10, QImage::Format_RGB32);
  const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 128, 0), qRgb(1, 2, 3), qRgb(250, 250, 250)};
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) few.setPixel(x, y, colours[(x / 3 + y) % 4]);
  const std::optional<QImage> back = DecodePicture(EncodeGif(few));
  ASSERT_TRUE(back);
  EXPECT_EQ(MeanError(*back, few), 0.0);

  const QImage many = Gradient();
  const std::string gif = EncodeGif(many);
  ASSERT_EQ(gif.substr(0, 4), "GIF8");
  const std::optional<QImage> reduced = DecodePicture(gif);
  ASSERT_TRUE(reduced);
  std::set<QRgb> used;
  for (int y = 0; y < reduced->height(); ++y)
    for (int x = 0; x < reduced->width(); ++x) used.insert(reduced->pixel(x, y));
  EXPECT_LE(used.size(), 256u);
  EXPECT_GT(used.size(), 64u);  // the palette is spent, not collapsed
  EXPECT_LT(MeanError(*reduced, many), 6.0);

  // Transparency is sent as white, never as black.
  QImage clear(4, 4, QImage::Format_ARGB32);
  clear.fill(Qt::transparent);
  EXPECT_EQ(DecodePicture(EncodeGif(clear))->pixel(1, 1), qRgb(255, 255, 255));
}

TEST(PictureCodec, JpegQualityTradesSizeForFidelity) {
  const QImage image = Gradient(160, 120);
  const std::string low = EncodeJpeg(image, 1), high = EncodeJpeg(image, 100);
  ASSERT_FALSE(low.empty());
  ASSERT_FALSE(high.empty());
  EXPECT_LT(low.size() * 3, high.size());
  const double lowError = MeanError(*DecodePicture(low), image), highError = MeanError(*DecodePicture(high), image);
  EXPECT_LT(highError, 3.0);
  EXPECT_GT(lowError, 2 * highError);
}

TEST(PictureCodec, DecodeTakesBitmapGifAndJpegAndRefusesEverythingElse) {
  const QImage image = Gradient(30, 20);
  const std::string bmp = EncodeBmp(image), gif = EncodeGif(image), jpeg = EncodeJpeg(image, 80);
  ASSERT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(MeanError(*DecodePicture(bmp), image), 0.0);
  EXPECT_TRUE(DecodePicture(gif));
  EXPECT_TRUE(DecodePicture(jpeg));

  EXPECT_FALSE(DecodePicture(""));
  EXPECT_FALSE(DecodePicture(Png(image)));
  EXPECT_FALSE(DecodePicture("plain text, no picture at all"));
  // Truncated pictures from a peer: no crash, and no half-read header
  // taken for a picture.
  EXPECT_FALSE(DecodePicture(bmp.substr(0, 30)));
  EXPECT_FALSE(DecodePicture(gif.substr(0, 13)));
  EXPECT_FALSE(DecodePicture(jpeg.substr(0, 20)));
  // Cut in the middle of the data: shown as far as it goes, at its own size.
  for (const std::string* whole : {&bmp, &gif, &jpeg}) {
    if (std::optional<QImage> part = DecodePicture(whole->substr(0, whole->size() / 2))) {
      EXPECT_EQ(part->size(), image.size());
    }
  }

  // A bitmap header that declares a gigantic picture is refused before
  // anything is allocated for it.
  std::string huge = bmp;
  auto put32 = [&huge](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) huge[at + i] = char((v >> (8 * i)) & 0xFF);
  };
  put32(18, 100000);
  put32(22, 100000);
  EXPECT_FALSE(DecodePicture(huge));
}

TEST(RecodeModel, TheChoiceDecidesWhatIsSentAndShown) {
  RecodeModel model;
  EXPECT_FALSE(model.SetSource("not a picture"));
  const std::string bmp = EncodeBmp(Gradient());
  ASSERT_TRUE(model.SetSource(bmp));
  // GIF at the start; the size field is the GIF's size.
  EXPECT_EQ(model.RecodeChoice(), Recode::Gif);
  EXPECT_FALSE(model.QualityEnabled());
  EXPECT_EQ(model.SendData().substr(0, 4), "GIF8");
  EXPECT_EQ(model.SizeText(), std::to_string(model.SendData().size()));

  model.SetRecode(Recode::Unchanged);
  EXPECT_EQ(model.SendData(), bmp);
  EXPECT_EQ(model.SizeText(), std::to_string(bmp.size()));

  model.SetRecode(Recode::Jpeg);
  EXPECT_TRUE(model.QualityEnabled());
  EXPECT_EQ(model.Quality(), 26);
  const std::string at26 = model.SendData();
  model.SetQuality(100);
  EXPECT_GT(model.SendData().size(), at26.size());
  EXPECT_LT(MeanError(model.Preview(), model.Image()), MeanError(*DecodePicture(at26), model.Image()));
  model.SetQuality(500);
  EXPECT_EQ(model.Quality(), 100);
  model.SetQuality(-3);
  EXPECT_EQ(model.Quality(), 1);
}

TEST(RecodeModel, PreviewFitsWithAMarginAndCentresWhatIsSmaller) {
  // 1:1: own size; larger than the box, so both scroll bars.
  PreviewPlacement p = PlacePreview({400, 300}, {200, 200}, true);
  EXPECT_EQ(p.rect, QRect(0, 0, 400, 300));
  EXPECT_TRUE(p.horizontalBar && p.verticalBar);
  // Fitted: f = 1.02 * max(300/200, 400/200) = 2.04.
  p = PlacePreview({400, 300}, {200, 200}, false);
  EXPECT_EQ(p.rect.size(), QSize(196, 147));
  EXPECT_EQ(p.rect.topLeft(), QPoint(2, 26));
  EXPECT_FALSE(p.horizontalBar || p.verticalBar);
  // A small picture is enlarged to almost fill the box.
  p = PlacePreview({10, 10}, {100, 50}, false);
  EXPECT_EQ(p.rect.size(), QSize(49, 49));
}

struct Host : TransferHost {
  std::string user = "Alice";
  std::vector<std::string> sent, priv, traces, warnings, shown;
  std::vector<std::pair<std::string, std::string>> direct;
  bool directWorks = true;
  TempDir dir;

  std::string UserName() const override { return user; }
  void SendLine(const std::string& line) override { sent.push_back(line); }
  bool SendDirect(const std::string& name, const std::string& payload) override {
    direct.emplace_back(name, payload);
    return directWorks;
  }
  void AddPrivLine(const std::string& markup) override { priv.push_back(markup); }
  void Trace(const std::string& text) override { traces.push_back(text); }
  std::string ProgramDir() const override { return dir.Path(); }
  bool showWorks = true;
  bool ShowPicture(const std::string& sender, const std::string& bytes, const QImage&) override {
    if (!showWorks) return false;
    shown.push_back(sender + ":" + std::to_string(bytes.size()));
    return true;
  }
  void Warn(const std::string& text) override { warnings.push_back(text); }
};

TEST(PictureSend, NewClientsGetItOverTheLinkOthersAndRefusedLinksThroughTheServer) {
  const std::string gif = EncodeGif(Gradient(8, 8));
  Host host;
  ASSERT_TRUE(SendPicture(host, "Bob", "2.8", gif));
  ASSERT_EQ(host.direct.size(), 2u);
  EXPECT_EQ(host.direct[0].second, "");  // the link is made first
  EXPECT_EQ(host.direct[1].second, "f|Alice|2P" + gif);
  EXPECT_TRUE(host.sent.empty());
  EXPECT_EQ(host.priv.back(), W("Файл длиной ") + std::to_string(gif.size()) + W(" послан Bob"));

  // An old client, and a link that cannot be made: the escaped server line.
  for (auto [version, works] : {std::pair{"2.1", true}, std::pair{"", true}, std::pair{"2.8", false}}) {
    Host h;
    h.directWorks = works;
    ASSERT_TRUE(SendPicture(h, "Bob", version, gif));
    ASSERT_EQ(h.sent.size(), 1u) << version;
    EXPECT_EQ(h.sent[0], "f\xA6" "Bob\xA6" "2P" + text::EscapeBinary(gif, '2') + "\xA6\n");
    EXPECT_EQ(h.sent[0].find('\n'), h.sent[0].size() - 1);
  }

  Host big;
  EXPECT_FALSE(SendPicture(big, "Bob", "2.8", std::string(kMaxPictureBytes + 1, 'x')));
  EXPECT_TRUE(big.sent.empty() && big.direct.empty() && big.priv.empty());
  EXPECT_EQ(big.traces.size(), 1u);
}

// The regular files in Pictures/ and their bytes.
std::pair<size_t, uint64_t> KeptPictures(const std::string& programDir) {
  namespace fs = std::filesystem;
  std::pair<size_t, uint64_t> kept{0, 0};
  std::error_code ec;
  for (fs::directory_iterator it(fs::path(programDir) / "Pictures", ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file()) {
      ++kept.first;
      kept.second += it->file_size();
    }
  return kept;
}

TEST(PictureReceive, APictureIsShownAndKeptUnderASafeNameInsideItsFolder) {
  namespace fs = std::filesystem;
  Host host;
  PictureInbox inbox(host);
  const std::string gif = EncodeGif(Gradient(12, 9));
  const std::string sender = "../../evil/.x";
  inbox.HandlePacket(sender, "2P" + text::EscapeBinary(gif, '2'), true);
  inbox.HandlePacket(sender, "2P" + gif, false);
  ASSERT_TRUE(WaitFor([&] { return host.shown.size() == 2; }));
  EXPECT_EQ(host.shown[0], sender + ":" + std::to_string(gif.size()));
  EXPECT_TRUE(host.warnings.empty());
  EXPECT_EQ(inbox.Pending(), 0u);

  // Both kept, as two files, both inside Pictures/, bytes intact.
  const fs::path dir = fs::path(host.dir.Path()) / "Pictures";
  std::vector<fs::path> files;
  for (const auto& e : fs::recursive_directory_iterator(host.dir.Path()))
    if (e.is_regular_file()) files.push_back(e.path());
  ASSERT_EQ(files.size(), 2u);
  for (const fs::path& f : files) {
    EXPECT_EQ(f.parent_path(), dir);
    EXPECT_EQ(f.extension(), ".gif");
    EXPECT_EQ(fs::file_size(f), gif.size());
  }
  EXPECT_NE(files[0], files[1]);
}

TEST(PictureReceive, PicturesPastTheFolderBoundAreShownButNotKept) {
  namespace fs = std::filesystem;
  Host host;
  const std::string gif = EncodeGif(Gradient(12, 9));
  // A file of the user's own counts as well.
  fs::create_directories(fs::path(host.dir.Path()) / "Pictures");
  host.dir.Put("Pictures/mine.gif", gif);
  {
    PictureInbox inbox(host, {3 * gif.size() + 10, 100});
    for (const char* sender : {"Bob", "Carol", "Bob"}) inbox.HandlePacket(sender, "2P" + gif, false);
    ASSERT_TRUE(WaitFor([&] { return host.shown.size() == 3; }));
    EXPECT_EQ(KeptPictures(host.dir.Path()), std::make_pair(size_t(3), 3 * uint64_t(gif.size())));
    ASSERT_EQ(host.traces.size(), 1u);
    EXPECT_EQ(host.traces[0], W("Картинка от Bob не сохранена: папка Pictures заполнена"));
  }
  // The number of files is bounded too, whatever their size.
  PictureInbox inbox(host, {uint64_t(1) << 30, 4});
  inbox.HandlePacket("Dave", "2P" + gif, false);
  inbox.HandlePacket("Dave", "2P" + gif, false);
  ASSERT_TRUE(WaitFor([&] { return host.shown.size() == 5; }));
  EXPECT_EQ(KeptPictures(host.dir.Path()).first, 4u);
  EXPECT_EQ(host.traces.size(), 2u);
}

TEST(PictureReceive, APictureTheViewersHaveNoRoomForIsKeptAndSaidSo) {
  Host host;
  host.showWorks = false;
  PictureInbox inbox(host);
  inbox.HandlePacket("Bob", "2P" + EncodeGif(Gradient(12, 9)), false);
  ASSERT_TRUE(WaitFor([&] { return !host.traces.empty(); }));
  EXPECT_EQ(KeptPictures(host.dir.Path()).first, 1u);
  EXPECT_EQ(host.traces, std::vector<std::string>{W("Картинка от Bob не показана: открыто слишком много картинок")});
}

TEST(PictureReceive, UnknownPacketsBadEscapesAndUnknownFormatsShowNothing) {
  Host host;
  PictureInbox inbox(host);
  inbox.HandlePacket("Bob", "2Qabcdef", false);
  ASSERT_EQ(host.traces.size(), 1u);
  EXPECT_EQ(host.traces[0], W("От <b>Bob</b>: файл неизвестного типа, длина = 5, "));

  inbox.HandlePacket("Bob", std::string("2Pab\x0F", 5), true);  // ends right after the escape byte
  ASSERT_EQ(host.traces.size(), 2u);
  EXPECT_EQ(host.traces[1], W("Неверный пакет при приеме звука, пропущен"));

  inbox.HandlePacket("Bob", "2P" + Png(Gradient(5, 5)), false);
  ASSERT_TRUE(WaitFor([&] { return host.warnings.size() == 1; }));
  EXPECT_EQ(host.warnings[0], W("Присланный файл не может быть показан. Неизвестный формат"));
  EXPECT_TRUE(host.shown.empty());
  const std::filesystem::path kept = std::filesystem::path(host.dir.Path()) / "Pictures";
  EXPECT_TRUE(!std::filesystem::exists(kept) || std::filesystem::is_empty(kept));
}

TEST(PictureReceive, PictureBombsAreRefusedUndecodedAndOneSenderCannotHoldUpAnother) {
  const std::string bomb = testing_picture::GifBomb(4096, 3);
  ASSERT_LT(bomb.size(), 200u);
  EXPECT_EQ(DeclaredDecodeWork(bomb), 3 * 4096 * 4096);
  EXPECT_GT(DeclaredDecodeWork(bomb), kMaxDecodeWork);
  EXPECT_FALSE(DecodePicture(bomb));
  // One such frame is an honest large picture, and is decoded.
  EXPECT_LE(DeclaredDecodeWork(testing_picture::GifBomb(4096, 1)), kMaxDecodeWork);
  EXPECT_EQ(DeclaredDecodeWork(EncodeGif(Gradient(12, 9))), 12 * 9);

  Host host;
  PictureInbox inbox(host);
  for (int i = 0; i < 100; ++i) inbox.HandlePacket("Mallory", "2P" + text::EscapeBinary(bomb, '2'), true);
  // Handing them in decoded nothing: at most a sender's share waits.
  EXPECT_LE(inbox.Pending(), size_t(PictureInbox::kPerSender));
  const std::string probe = EncodeGif(Gradient(12, 9));
  inbox.HandlePacket("Carol", "2P" + probe, false);
  ASSERT_TRUE(WaitFor([&] { return !host.shown.empty(); }));
  EXPECT_EQ(host.shown, std::vector<std::string>{"Carol:" + std::to_string(probe.size())});
  ASSERT_TRUE(WaitFor([&] { return inbox.Pending() == 0; }));
  EXPECT_EQ(host.warnings.size(), size_t(PictureInbox::kPerSender));
  EXPECT_EQ(KeptPictures(host.dir.Path()).first, 1u);
  EXPECT_EQ(host.traces.size(), 100u - PictureInbox::kPerSender);
  // Mallory's next picture is taken again once his earlier ones are done.
  inbox.HandlePacket("Mallory", "2P" + probe, false);
  ASSERT_TRUE(WaitFor([&] { return host.shown.size() == 2; }));
}

TEST(PictureReceive, ThreeThousandPicturesAreKeptWithoutListingTheFolderAgain) {
  Host host;
  text::KeptFolder folder(host.dir.Path() + "Pictures/");
  std::filesystem::create_directories(folder.Dir());
  host.dir.Put("Pictures/Bob1.gif", "taken earlier");
  const std::string gif = EncodeGif(Gradient(4, 4));
  for (int i = 0; i < 3000; ++i) {
    const std::string sender = i % 3 ? "Bob" : "Carol";
    ASSERT_FALSE(KeepPicture(folder, sender, gif + std::to_string(i)).empty()) << i;
  }
  EXPECT_EQ(folder.Scans(), 1);
  EXPECT_EQ(folder.Files(), 3001u);
  EXPECT_EQ(KeptPictures(host.dir.Path()).first, 3001u);
  // Numbers go on from the first free one per sender, none overwritten.
  EXPECT_EQ(host.dir.Get("Pictures/Bob1.gif"), "taken earlier");
  EXPECT_EQ(host.dir.Get("Pictures/Bob2.gif"), gif + "1");
  EXPECT_EQ(host.dir.Get("Pictures/Carol1000.gif"), gif + "2997");
  EXPECT_EQ(folder.Bytes(), KeptPictures(host.dir.Path()).second);
}

}  // namespace
