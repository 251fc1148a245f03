#pragma once
// What the client tries in the background while connection attempts keep
// failing: asking the chat service's web script to start the chat server,
// and reading the three announcement pages that name the server's current
// address.  Both are HTTP downloads that report on the owner's thread.
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "http/text_download.h"

class QObject;

namespace settings {
class Settings;
}

namespace window {

// The chat server's address as an announcement page names it.
struct ServerAddress {
  std::string sip;   // chat server host
  int port = 0;      // chat server port
  std::string href;  // chat script folder (the new ChatDir)
};

// The value of `key` in an announcement text (the part between the page's
// markers): at the very start or right after a line feed, "key" + "¦", up to
// the next line feed within 100 characters, trimmed of blanks and control
// characters.  Nothing when the key is not there.
std::optional<std::string> AnnouncementValue(const std::string& text, const std::string& key);
// The address a page's body announces between "BEGIN_INFO" and "END_INFO";
// nothing when a marker or a key is missing or the port is not a number.
std::optional<ServerAddress> ReadAnnouncement(const std::string& body);

// "zp9.cgi?start=1": one request at a time, its answer not looked at.
class RestartRequest : private media::TextDownloadReceiver {
 public:
  explicit RestartRequest(media::TextDownloader& downloader) : downloader_(downloader) {}
  bool Pending() const { return download_ != nullptr; }
  void Start(const std::string& chatDir);
  void Stop() { download_.reset(); }

 private:
  void DownloadProgress(int64_t, int64_t) override {}
  void DownloadActivity() override {}
  void DownloadDone(const std::string&) override { download_.reset(); }
  void DownloadFailed() override { download_.reset(); }

  media::TextDownloader& downloader_;
  std::unique_ptr<media::TextDownload> download_;
};

class DiscoveryHost {
 public:
  virtual ~DiscoveryHost() = default;
  virtual ServerAddress ConfiguredAddress() = 0;
  // The addresses of the three announcement pages.
  virtual std::array<std::string, 3> AnnouncementPages() = 0;
  // "New server address found. Change parameters?"; true for Yes.
  virtual bool AskToTakeAddress() = 0;
  // Stores the address at once; the next connection attempt uses it.
  virtual void TakeAddress(const ServerAddress& address) = 0;
};

// Runs the three page downloads at once.  The first page that names a
// complete address ends the search for the rest of the run: the other
// downloads are cancelled and the user is asked once, only when the address
// differs from the configured one.
class ServerDiscovery {
 public:
  ServerDiscovery(media::TextDownloader& downloader, DiscoveryHost& host);
  ~ServerDiscovery();
  // Found, or a download still running.
  bool Busy() const;
  bool Found() const { return found_; }
  void Start();

 private:
  class Slot;
  void PageDone(Slot& slot, const std::string& body);

  media::TextDownloader& downloader_;
  DiscoveryHost& host_;
  std::array<std::unique_ptr<Slot>, 3> slots_;
  bool found_ = false;
};

// Both remedies of one session over the program's HTTP client, with the
// address question answered by `ask` and a taken address stored in the
// settings file at once.
class ServerRemedies : private DiscoveryHost {
 public:
  ServerRemedies(settings::Settings& settings, std::function<bool()> ask);
  ~ServerRemedies() override;
  RestartRequest& Restart() { return *restart_; }
  ServerDiscovery& Discovery() { return *discovery_; }

 private:
  ServerAddress ConfiguredAddress() override;
  std::array<std::string, 3> AnnouncementPages() override;
  bool AskToTakeAddress() override { return ask_(); }
  void TakeAddress(const ServerAddress& address) override;

  settings::Settings& settings_;
  std::function<bool()> ask_;
  std::unique_ptr<QObject> context_;  // the downloads report on its thread
  std::unique_ptr<media::TextDownloader> http_;
  std::unique_ptr<RestartRequest> restart_;
  std::unique_ptr<ServerDiscovery> discovery_;
};

}  // namespace window
