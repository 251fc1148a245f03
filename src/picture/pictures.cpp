#include "picture/pictures.h"

#include "markup/markup_line.h"
#include "markup/painter_access.h"
#include "markup/markup_document.h"
#include "picture/decode_budget.h"
#include "picture/decode_thread.h"
#include "picture/http_loader.h"
#include "picture/picture_anim.h"
#include "markup/view_globals.h"
#include "text/cp1251.h"
#include "text/shown_text.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <unordered_set>
#include <vector>

namespace picture {
namespace {

constexpr int kPlaceholderSize = 20;

int64_t SteadyMilliseconds() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Pictures::Pictures(MemoryBudget* budget)
    : budget_(budget ? budget : &ProcessBudget()), now_(SteadyMilliseconds) {
  HttpPictureLoader::Hooks hooks;
  hooks.finished = [this](int number, const std::string&, const std::string& target, bool ok) {
    DownloadFinished(number, target, ok);
  };
  // Queueing happens while lines are parsed; the question box waits for
  // the event loop.
  hooks.duplicate = [this](const std::string& url) {
    QMetaObject::invokeMethod(
        &context_,
        [url] {
          if (OnDuplicateDownload) OnDuplicateDownload(url);
        },
        Qt::QueuedConnection);
  };
  hooks.activity = [this](int64_t w, int64_t l) { ReportTraffic(0, 0, w != 0, l != 0); };
  loader_ = std::make_unique<HttpPictureLoader>(std::move(hooks));
  decoder_ = std::make_unique<DecodeThread>(DeliverQueued(&context_, [this](DecodeJob& job) { Apply(job); }),
                                            budget_);
}

Pictures::~Pictures() {
  SaveCacheIndex();
  loader_.reset();
  decoder_.reset();
  // Lines may outlive the registry: their records stop for good.
  for (auto& [document, clock] : clocks_)
    for (PictureAnim* record : clock->records()) record->Detach();
  clocks_.clear();
}

int64_t Pictures::Now() const { return now_ ? now_() : SteadyMilliseconds(); }

const Picture* Pictures::Find(int number) const {
  auto it = pictures_.find(number);
  return it == pictures_.end() ? nullptr : it->second.get();
}

int Pictures::NumberOf(const std::string& url) const {
  auto it = numbers_.find(markup::UnquoteUrl(url));
  return it == numbers_.end() ? 0 : it->second;
}

size_t Pictures::DownloadsQueued() const { return loader_->queue().Size(); }

// ---- Loading ----

int Pictures::Register(const std::string& rawUrl, markup::MarkupLine* user) {
  const std::string url = markup::UnquoteUrl(rawUrl);
  auto [it, added] = numbers_.try_emplace(url, 0);
  if (added) {
    it->second = ++lastNumber_;
    auto created = std::make_unique<Picture>();
    created->number = it->second;
    created->url = url;
    Picture& picture = *created;
    pictures_.emplace(picture.number, std::move(created));
    if (user) {
      picture.users.insert(user);
      picture.namers.insert(user);
    }
    StartLoading(picture);
    return picture.number;
  }
  Picture& picture = *pictures_.at(it->second);
  if (user) picture.namers.insert(user);
  if (user && !picture.loaded) picture.users.insert(user);
  if (picture.stage == Picture::Stage::Cancelled) StartLoading(picture);
  return picture.number;
}

void Pictures::Release(const std::string& url, markup::MarkupLine* user) {
  auto it = numbers_.find(markup::UnquoteUrl(url));
  if (it == numbers_.end()) return;
  Picture& picture = *pictures_.at(it->second);
  picture.namers.erase(user);
  if (picture.users.erase(user) == 0 || !picture.users.empty()) return;
  if (picture.stage == Picture::Stage::Downloading) {
    // Nobody shows it any more: the download is aborted, and the next line
    // that names the picture starts it again.
    loader_->queue().Cancel(picture.number);
    picture.stage = Picture::Stage::Cancelled;
  }
}

void Pictures::StartLoading(Picture& picture) {
  picture.loaded = false;
  picture.image = DecodedImage();
  picture.framesReleased = false;
  if (auto cached = cache_.CachedFile(picture.url)) {
    picture.localFile = *cached;
    QueueDecoding(picture, true);
    return;
  }
  picture.localFile = cache_.NewLocalFile(picture.url);
  picture.stage = Picture::Stage::Downloading;
  ++downloadsStarted_;
  loader_->queue().Queue(picture.number, picture.url, picture.localFile);
}

void Pictures::QueueDecoding(Picture& picture, bool fromCache) {
  picture.stage = Picture::Stage::Decoding;
  picture.fromCache = fromCache;
  decoder_->Add(picture.localFile, picture.number, fromCache);
}

void Pictures::DownloadFinished(int number, const std::string& target, bool ok) {
  const int64_t received = loader_->queue().TrafficIn() - trafficSeen_;
  trafficSeen_ += received;
  // Downloads count what they receive; the sent total is the chat's own.
  if (ok || received > 0) ReportTraffic(static_cast<uint32_t>(received), 0, false, received > 0);

  auto it = pictures_.find(number);
  if (it == pictures_.end()) return;
  Picture& picture = *it->second;
  if (picture.stage != Picture::Stage::Downloading || picture.localFile != target) return;
  // A failed download leaves no usable file; decoding a missing file
  // yields the red cross like an undecodable one.
  if (!ok) QFile::remove(QFile::decodeName(target.c_str()));
  QueueDecoding(picture, false);
}

void Pictures::Apply(DecodeJob& job) {
  auto it = pictures_.find(job.picture);
  if (it == pictures_.end()) return;
  Picture& picture = *it->second;
  // A result for a file the picture no longer waits for (refreshed since).
  if (picture.stage != Picture::Stage::Decoding || picture.localFile != job.fileName) return;
  ++decodings_;
  if (job.image.overBudget) {
    // Room may be made by pictures nobody sees; one more try after that.
    if (!picture.retriedForBudget && ReleaseIdleFrames(job.image.wantedBytes, picture.number)) {
      picture.retriedForBudget = true;
      decoder_->Add(picture.localFile, picture.number, picture.fromCache);
      return;
    }
    TraceOverBudget(picture.url);
  }
  picture.retriedForBudget = false;
  if (picture.framesReleased) {
    picture.framesReleased = false;
    if (job.image.Loaded() && job.image.width == picture.image.width &&
        job.image.height == picture.image.height) {
      picture.image = std::move(job.image);
      picture.stage = Picture::Stage::Done;
      ShowAgain(picture);
      return;
    }
    // It cannot be shown again: it becomes a picture that did not load,
    // and every line naming it is laid out again.
    picture.users = picture.namers;
  }
  picture.image = std::move(job.image);
  picture.loaded = picture.image.Loaded();
  picture.stage = Picture::Stage::Done;
  // A picture refused for memory alone keeps its file for a later refresh.
  const bool keepFile = picture.image.overBudget;
  cache_.OnDecoded(picture.url, picture.localFile, picture.fromCache, picture.loaded || keepFile,
                   TodayDayNumber());
  if (!picture.loaded) emit PictureLoadFailed();
  TellUsers(picture);
}

void Pictures::TraceOverBudget(const std::string& url) {
  if (budgetTraced_) return;
  budgetTraced_ = true;
  if (OnTrace)
    OnTrace(text::Shown("Картинки сверх ", "Pictures beyond ") + std::to_string(budget_->Limit() / (1024 * 1024)) +
            text::Shown(" МБ памяти не показаны, первая: ", " MB of memory not shown, first: ") + url);
}

bool Pictures::OnScreen(const Picture& picture) const {
  for (const markup::MarkupLine* line : picture.namers) {
    const markup::MarkupDocument* doc = line->owner;
    if (!doc || line->hidden) continue;
    const int top = doc->VertScrollPos();
    const int bottom = top + doc->ClientHeight();
    const int height = std::accumulate(line->Ascents().begin(), line->Ascents().end(), 0) +
                       std::accumulate(line->Descents().begin(), line->Descents().end(), 0);
    if (line->top < bottom && line->top + height > top) return true;
  }
  return false;
}

bool Pictures::ReleaseIdleFrames(int64_t wanted, int except) {
  std::unordered_set<const Picture*> animating;
  for (auto& [document, clock] : clocks_)
    for (PictureAnim* record : clock->records())
      if (record->Running() && record->picture()) animating.insert(record->picture());
  struct Candidate {
    Picture* picture;
    bool animating;
    int64_t bytes;
  };
  std::vector<Candidate> candidates;
  int64_t available = 0;
  for (auto& [number, owned] : pictures_) {
    Picture& p = *owned;
    if (number == except || !p.loaded || p.framesReleased || !p.image.charge || !p.Done()) continue;
    const int64_t bytes = p.image.charge->Bytes();
    if (bytes <= 0 || OnScreen(p) || !QFile::exists(QFile::decodeName(p.localFile.c_str()))) continue;
    candidates.push_back({&p, animating.count(&p) > 0, bytes});
    available += bytes;
  }
  if (budget_->Used() - available + wanted > budget_->Limit()) return false;
  std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
    if (a.animating != b.animating) return !a.animating;
    return a.picture->lastShown < b.picture->lastShown;
  });
  bool released = false;
  for (const Candidate& c : candidates) {
    if (budget_->Used() + wanted <= budget_->Limit()) break;
    Picture& p = *c.picture;
    p.releasedFrames = int(p.image.frames.size());
    p.framesReleased = true;
    p.image.frames = {};
    p.image.charge.reset();
    ++framesReleasedCount_;
    released = true;
  }
  return released;
}

void Pictures::WantFrames(Picture& picture) const {
  if (!picture.framesReleased || picture.stage == Picture::Stage::Decoding) return;
  picture.stage = Picture::Stage::Decoding;
  picture.fromCache = true;
  decoder_->Add(picture.localFile, picture.number, true);
}

// The frames are back at the same size: the visible lines naming the
// picture are painted again, nothing is laid out.
void Pictures::ShowAgain(Picture& picture) {
  for (markup::MarkupLine* line : picture.namers) {
    const markup::MarkupLine& seen = *line;
    markup::MarkupDocument* doc = line->owner;
    if (!doc || line->hidden) continue;
    const int height = std::accumulate(seen.Ascents().begin(), seen.Ascents().end(), 0) +
                       std::accumulate(seen.Descents().begin(), seen.Descents().end(), 0);
    const int top = std::max(line->top, doc->VertScrollPos());
    const int bottom = std::min(line->top + height, doc->VertScrollPos() + doc->ClientHeight());
    if (top >= bottom) continue;
    doc->DrawOverBitmap([doc, top, bottom](markup::MarkupCanvas& canvas) { doc->DrawRange(canvas, top, bottom); },
                        top, bottom);
  }
}

// Layout runs from the given line to the end of its view, so each view is
// laid out once, from its first waiting line.
void Pictures::TellUsers(Picture& picture) {
  std::map<markup::MarkupDocument*, markup::MarkupLine*> first;
  for (markup::MarkupLine* line : picture.users) {
    auto& f = first[line->owner];
    if (!f || line->top < f->top) f = line;
  }
  if (picture.loaded) picture.users.clear();
  for (auto& [document, line] : first)
    if (document) line->PictureReady();
}

void Pictures::RefreshFailed() {
  for (auto& [number, picture] : pictures_)
    if (picture->Done() && !picture->loaded) StartLoading(*picture);
}

void Pictures::StopDownloads() {
  loader_->queue().CancelAll();
  for (auto& [number, picture] : pictures_)
    if (picture->stage == Picture::Stage::Downloading) picture->stage = Picture::Stage::Cancelled;
  SaveCacheIndex();
}

void Pictures::LoadCacheIndex(const std::string& indexFile, const std::string& folder) {
  cache_.LoadCacheIndex(indexFile, folder, TodayDayNumber(), [](const std::string& url) {
    return markup::ViewGlobals::OnLifeTime ? markup::ViewGlobals::OnLifeTime(url) : kDefaultLifeTime;
  });
}

void Pictures::ClearCache() { cache_.ClearCache(); }

bool Pictures::SaveCacheIndex() const { return cache_.Save(); }

void Pictures::ReportTraffic(uint32_t in, uint32_t out, bool send, bool receive) {
  emit TrafficReport(in, out, send, receive);
}

// ---- Size and drawing ----

int Pictures::Width(int number) const {
  const Picture* p = Find(number);
  return p && p->loaded ? p->image.width : kPlaceholderSize;
}

int Pictures::Height(int number) const {
  const Picture* p = Find(number);
  return p && p->loaded ? p->image.height : kPlaceholderSize;
}

markup::PictureState Pictures::State(int number) const {
  const Picture* p = Find(number);
  if (p && p->loaded) return markup::PictureState::Loaded;
  if (p && p->Done()) return markup::PictureState::Failed;
  return markup::PictureState::Pending;
}

bool Pictures::IsAnimated(int number) const {
  const Picture* p = Find(number);
  return p && p->Animated();
}

void Pictures::Draw(int number, markup::MarkupCanvas& canvas, int x, int y) const {
  auto it = pictures_.find(number);
  Picture* p = it == pictures_.end() ? nullptr : it->second.get();
  if (!p || !p->loaded) {
    markup::DrawPicturePlaceholder(canvas, x, y, p && p->Done());
    return;
  }
  p->lastShown = ++paintCount_;
  if (p->framesReleased) {
    WantFrames(*p);
    return;
  }
  if (QPainter* painter = markup::PainterOf(canvas)) painter->drawImage(QPoint(x, y), p->image.frames.front());
}

// ---- Animation ----

ViewClock* Pictures::ClockOf(const markup::MarkupDocument& document) const {
  auto it = clocks_.find(&document);
  return it == clocks_.end() ? nullptr : it->second.get();
}

ViewClock* Pictures::ClockFor(markup::MarkupDocument& document) {
  auto& clock = clocks_[&document];
  if (!clock) {
    const markup::MarkupDocument* key = &document;
    clock = std::make_unique<ViewClock>(document, [this] { return Now(); },
                                        [this, key] { clocks_.erase(key); });
  }
  return clock.get();
}

void Pictures::PlaceOccurrence(markup::MarkupLine& line, int number, int key, int x, int y,
                               int32_t background) {
  for (auto& record : line.Anims())
    if (record->key == key) {
      record->x = x;
      record->y = y;
      return;
    }
  const Picture* picture = Find(number);
  if (!picture || !picture->Animated()) return;
  auto record = std::make_unique<PictureAnim>(picture, line.owner ? ClockFor(*line.owner) : nullptr);
  record->key = key;
  record->x = x;
  record->y = y;
  record->background = background;
  PictureAnim* placed = record.get();
  line.Anims().push_back(std::move(record));
  placed->StartOrStop(line.hidden);
}

void Pictures::PaintOccurrence(markup::MarkupLine& line, int key, int x, int y,
                               markup::MarkupCanvas& canvas) {
  for (auto& data : line.Anims()) {
    if (data->key != key) continue;
    auto* record = dynamic_cast<PictureAnim*>(data.get());
    if (!record) return;
    record->x = x;
    record->y = y + (line.owner ? line.owner->VertScrollPos() : 0);
    if (const Picture* shown = record->picture()) {
      Picture& p = *pictures_.at(shown->number);
      p.lastShown = ++paintCount_;
      if (p.framesReleased) WantFrames(p);
    }
    record->CatchUp(Now());
    record->DrawFrame(canvas, x, y);
    if (record->Running() && record->clock()) record->clock()->Wake(record->Due());
    return;
  }
}

// ---- The process-wide registry ----

namespace {
std::unique_ptr<Pictures>& Installed() {
  static std::unique_ptr<Pictures> registry;
  return registry;
}
}  // namespace

Pictures& InstallPictures() {
  auto& registry = Installed();
  if (!registry) {
    registry = std::make_unique<Pictures>();
    markup::InstallPictureRegistry(registry.get());
    static bool hooked = false;
    if (auto* app = QCoreApplication::instance(); app && !hooked) {
      hooked = true;
      QObject::connect(app, &QCoreApplication::aboutToQuit, app, [] {
        if (Pictures* r = InstalledPictures()) r->SaveCacheIndex();
      });
      // Downloads and the decoding thread end before the application does.
      qAddPostRoutine(RemovePictures);
    }
  }
  return *registry;
}

Pictures* InstalledPictures() { return Installed().get(); }

void RemovePictures() {
  auto& registry = Installed();
  if (!registry) return;
  markup::InstallPictureRegistry(nullptr);
  registry.reset();
}

}  // namespace picture
