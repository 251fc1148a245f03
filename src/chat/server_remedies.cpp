#include "chat/server_remedies.h"

#include <QObject>

#include "http/http_text_download.h"
#include "session/service_replies.h"
#include "settings/settings.h"
#include "text/bytes.h"

namespace window {
namespace {

const std::string kBar = "\xA6";
constexpr size_t kValueWindow = 100;

bool Blank(unsigned char c) { return c <= ' '; }

}  // namespace

std::optional<std::string> AnnouncementValue(const std::string& text, const std::string& key) {
  const std::string marker = key + kBar;
  size_t start;
  if (text.compare(0, marker.size(), marker) == 0) {
    start = marker.size();
  } else {
    const size_t at = text.find("\n" + marker);
    if (at == std::string::npos) return std::nullopt;
    start = at + 1 + marker.size();
  }
  std::string value = text.substr(start, kValueWindow);
  const size_t lf = value.find('\n');
  if (lf != std::string::npos) value.resize(lf);
  size_t from = 0, to = value.size();
  while (from < to && Blank(value[from])) ++from;
  while (to > from && Blank(value[to - 1])) --to;
  return value.substr(from, to - from);
}

std::optional<ServerAddress> ReadAnnouncement(const std::string& body) {
  const size_t begin = body.find("BEGIN_INFO");
  const size_t end = body.find("END_INFO");
  if (begin == std::string::npos || end == std::string::npos) return std::nullopt;
  const size_t from = begin + std::string("BEGIN_INFO").size();
  const std::string info = end > from ? body.substr(from, end - from) : std::string();
  const auto sip = AnnouncementValue(info, "sip");
  const auto port = AnnouncementValue(info, "port");
  const auto href = AnnouncementValue(info, "href");
  if (!sip || !port || !href) return std::nullopt;
  const auto number = text::ParseInt(*port);
  if (!number || *number < 0 || *number > 65535) return std::nullopt;
  return ServerAddress{*sip, static_cast<int>(*number), *href};
}

void RestartRequest::Start(const std::string& chatDir) {
  if (download_) return;
  download_ = downloader_.Start(chatDir + "zp9.cgi?start=1", false, *this);
}

// One page download; it reports to the discovery that owns it.
class ServerDiscovery::Slot : public media::TextDownloadReceiver {
 public:
  explicit Slot(ServerDiscovery& owner) : owner_(owner) {}
  std::unique_ptr<media::TextDownload> download;

 private:
  void DownloadProgress(int64_t, int64_t) override {}
  void DownloadActivity() override {}
  void DownloadDone(const std::string& body) override { owner_.PageDone(*this, body); }
  void DownloadFailed() override { download.reset(); }

  ServerDiscovery& owner_;
};

ServerDiscovery::ServerDiscovery(media::TextDownloader& downloader, DiscoveryHost& host)
    : downloader_(downloader), host_(host) {
  for (auto& slot : slots_) slot = std::make_unique<Slot>(*this);
}

ServerDiscovery::~ServerDiscovery() = default;

bool ServerDiscovery::Busy() const {
  if (found_) return true;
  for (const auto& slot : slots_)
    if (slot->download) return true;
  return false;
}

void ServerDiscovery::Start() {
  if (Busy()) return;
  const auto pages = host_.AnnouncementPages();
  for (size_t i = 0; i < slots_.size(); ++i) slots_[i]->download = downloader_.Start(pages[i], false, *slots_[i]);
}

void ServerDiscovery::PageDone(Slot& slot, const std::string& body) {
  const auto address = found_ ? std::nullopt : ReadAnnouncement(body);
  if (!address) {
    slot.download.reset();
    return;
  }
  found_ = true;
  for (auto& s : slots_) s->download.reset();
  const ServerAddress now = host_.ConfiguredAddress();
  if (address->sip == now.sip && address->port == now.port && address->href == now.href) return;
  if (host_.AskToTakeAddress()) host_.TakeAddress(*address);
}

ServerRemedies::ServerRemedies(settings::Settings& settings, std::function<bool()> ask)
    : settings_(settings),
      ask_(std::move(ask)),
      context_(std::make_unique<QObject>()),
      // Announcement pages are small: 64 KiB each at most.
      http_(std::make_unique<media::HttpTextDownloader>(context_.get(), media::TextLimits{int64_t(64) << 10, 30'000})),
      restart_(std::make_unique<RestartRequest>(*http_)),
      discovery_(std::make_unique<ServerDiscovery>(*http_, static_cast<DiscoveryHost&>(*this))) {}

// The downloads go before the downloader and its context.
ServerRemedies::~ServerRemedies() {
  discovery_.reset();
  restart_.reset();
}

ServerAddress ServerRemedies::ConfiguredAddress() { return {settings_.Server, settings_.Port1, settings_.ChatDir}; }

std::array<std::string, 3> ServerRemedies::AnnouncementPages() { return settings_.DiscoveryPages; }

void ServerRemedies::TakeAddress(const ServerAddress& address) {
  settings_.SetServerAddress(address.href, address.port, address.sip);
}

}  // namespace window
