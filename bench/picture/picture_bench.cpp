// Decoding speed, and twenty pictures fetched over loopback HTTP and
// decoded (cold cache) against the same twenty decoded from cache files.
#include "test_data.h"
#include "gif_writer.h"
#include "picture/cache_index.h"
#include "picture/decode_thread.h"
#include "picture/http_loader.h"
#include "picture/picture_decode.h"
#include "picture/pictures.h"
#include "markup/markup_canvas.h"
#include "markup/markup_document.h"
#include "scripted_server.h"

#include <QDir>
#include <QFile>

#include <benchmark/benchmark.h>

#include <map>

using namespace picture;

namespace {

// A 120 x 90 animation of 12 frames, each a moving square with disposal 2.
std::string MovingSquare() {
  std::vector<QRgb> palette;
  for (int i = 0; i < 256; ++i) palette.push_back(qRgb(i, 255 - i, (i * 7) & 255));
  std::vector<testing_picture::TestFrame> frames;
  frames.push_back(testing_picture::Solid(0, 0, 120, 90, 3));
  for (int i = 1; i < 12; ++i) {
    auto f = testing_picture::Solid(i * 8, i * 5, 30, 30, uint8_t(i * 20), 2);
    for (size_t p = 0; p < f.pixels.size(); p += 3) f.pixels[p] = uint8_t(p);
    frames.push_back(f);
  }
  return testing_picture::MakeGif(120, 90, palette, frames);
}

std::string Read(const char* name) { return ReadTestData(std::string("pictures/") + name); }

void BM_DecodeAnimatedGif(benchmark::State& state) {
  const std::string gif = MovingSquare();
  for (auto _ : state) benchmark::DoNotOptimize(DecodeBytes(".gif", gif).frames.size());
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(gif.size()));
}
BENCHMARK(BM_DecodeAnimatedGif);

// Hostile GIFs of a few dozen bytes: a 4000 x 4000 screen with four
// one-pixel frames restored to "previous", and a 56318 x 254 screen with
// one.  Both must be refused at once instead of being composed.
void BM_DecodeHugeScreenGif(benchmark::State& state) {
  const std::vector<QRgb> palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
  const std::string gif =
      state.range(0) == 0
          ? testing_picture::MakeGif(4000, 4000, palette,
                                     std::vector<testing_picture::TestFrame>(4, testing_picture::Solid(0, 0, 1, 1, 1, 3)))
          : testing_picture::MakeGif(56318, 254, palette, {testing_picture::Solid(0, 0, 1, 1, 1)});
  for (auto _ : state) benchmark::DoNotOptimize(DecodeBytes(".gif", gif).frames.size());
}
BENCHMARK(BM_DecodeHugeScreenGif)->Arg(0)->Arg(1);

void BM_DecodeJpeg(benchmark::State& state) {
  const std::string jpeg = Read("progressive.jpg");
  for (auto _ : state) benchmark::DoNotOptimize(DecodeBytes(".jpg", jpeg).width);
}
BENCHMARK(BM_DecodeJpeg);

// Runs `count` pictures through queue, download and decoding; with `warm`
// the cache already holds them and only decoding runs.
void TwentyPictures(benchmark::State& state, bool warm) {
  const std::string gif = MovingSquare();
  testing_http::ScriptedServer server;
  server.response = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(gif.size()) + "\r\n\r\n" + gif;
  const std::string root = CHAT_BINARY_DIR "/picture-bench";
  constexpr int kCount = 20;
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    QDir(QString::fromStdString(root)).removeRecursively();
    CacheIndex cache;
    cache.LoadCacheIndex(root + "/Cache/index.dat", root + "/Cache", 100);
    std::map<int, std::string> urls;
    for (int i = 1; i <= kCount; ++i) urls[i] = server.Url("/r" + std::to_string(round) + "/" + std::to_string(i) + ".gif");
    ++round;
    if (warm)
      for (auto& [n, url] : urls) {
        std::string file = cache.NewLocalFile(url);
        QFile f(QString::fromStdString(file));
        f.open(QIODevice::WriteOnly);
        f.write(gif.data(), qint64(gif.size()));
        f.close();
        cache.OnDecoded(url, file, false, true, 100);
      }
    state.ResumeTiming();

    int shown = 0;
    QObject gui;
    {
      DecodeThread decoder(DeliverQueued(&gui, [&](DecodeJob& job) {
        cache.OnDecoded(urls[job.picture], job.fileName, job.fromCache, job.image.Loaded(), 100);
        ++shown;
      }));
      HttpPictureLoader::Hooks hooks;
      hooks.finished = [&](int n, const std::string&, const std::string& target, bool) {
        decoder.Add(target, n, false);
      };
      HttpPictureLoader loader(std::move(hooks));
      for (auto& [n, url] : urls) {
        if (auto cached = cache.CachedFile(url))
          decoder.Add(*cached, n, true);
        else
          loader.queue().Queue(n, url, cache.NewLocalFile(url));
      }
      testing_http::SpinUntil([&] { return shown == kCount; });
    }
  }
  QDir(QString::fromStdString(root)).removeRecursively();
}

void BM_TwentyPicturesColdCache(benchmark::State& state) { TwentyPictures(state, false); }
void BM_TwentyPicturesWarmCache(benchmark::State& state) { TwentyPictures(state, true); }
BENCHMARK(BM_TwentyPicturesColdCache)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwentyPicturesWarmCache)->Unit(benchmark::kMillisecond);

// Pane level: one line naming twenty new pictures, from the line being
// added until all twenty are loaded and the line is laid out at their real
// size.  Cold: an empty cache, every picture downloaded.  Warm: a previous
// run left them in the cache.
class BenchMeasurer : public markup::TextMeasurer {
 public:
  markup::FontMetrics Metrics(const markup::FontSpec& f) override { return {f.size, f.size / 4}; }
  int Width(const markup::FontSpec&, std::string_view text) override { return int(text.size()) * 6; }
};

bool AllShown(const Pictures& registry, const markup::MarkupDocument& doc, int count) {
  for (int n = 1; n <= count; ++n)
    if (registry.State(n) != markup::PictureState::Loaded) return false;
  return doc.lines()[0]->Ascents()[0] == registry.Height(1);
}

void PaneTwentyPictures(benchmark::State& state, bool warm) {
  const std::string gif = MovingSquare();
  testing_http::ScriptedServer server;
  server.response = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(gif.size()) + "\r\n\r\n" + gif;
  const std::string root = CHAT_BINARY_DIR "/picture-pane-bench";
  constexpr int kCount = 20;
  int round = 0;
  BenchMeasurer measurer;
  for (auto _ : state) {
    state.PauseTiming();
    QDir(QString::fromStdString(root)).removeRecursively();
    std::string line;
    for (int i = 1; i <= kCount; ++i)
      line += "<img src=" + server.Url("/p" + std::to_string(round) + "/" + std::to_string(i) + ".gif") + ">";
    ++round;
    if (warm) {
      Pictures earlier;
      earlier.LoadCacheIndex(root + "/Cache/index.dat", root + "/Cache");
      markup::MarkupDocument doc(measurer, &earlier);
      doc.SetViewSize(600, 400);
      doc.NewString(line, 0, 0xFFFFFF);
      testing_http::SpinUntil([&] { return AllShown(earlier, doc, kCount); });
    }
    {
      Pictures registry;
      registry.LoadCacheIndex(root + "/Cache/index.dat", root + "/Cache");
      markup::MarkupDocument doc(measurer, &registry);
      doc.SetViewSize(600, 400);
      state.ResumeTiming();
      doc.NewString(line, 0, 0xFFFFFF);
      testing_http::SpinUntil([&] { return AllShown(registry, doc, kCount); });
      state.PauseTiming();
      if (registry.DownloadsStarted() != (warm ? 0 : kCount)) state.SkipWithError("cache not as expected");
    }
    state.ResumeTiming();
  }
  QDir(QString::fromStdString(root)).removeRecursively();
}

void BM_PaneTwentyPicturesColdCache(benchmark::State& state) { PaneTwentyPictures(state, false); }
void BM_PaneTwentyPicturesWarmCache(benchmark::State& state) { PaneTwentyPictures(state, true); }
BENCHMARK(BM_PaneTwentyPicturesColdCache)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaneTwentyPicturesWarmCache)->Unit(benchmark::kMillisecond);

}  // namespace
