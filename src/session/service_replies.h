#pragma once
// The server's answers to the client's own requests: information about a
// user with his photos, the settings echo carrying moderator rights, a
// user's network address, WHOIS texts and the list of fines.  Each answer
// becomes the text of a keyed information window or opens a web page.
#include <cstdint>
#include <algorithm>
#include <deque>
#include <functional>
#include <string>

#include "wire/wire.h"

namespace settings {
class Settings;
}

namespace session {

class ServiceRepliesHost {
 public:
  virtual ~ServiceRepliesHost() = default;
  // Width and height of -1 leave the window's size as it is.
  virtual void ShowInfoWindow(const std::string& key, const std::string& title, const std::string& text, int width,
                              int height, bool append) = 0;
  virtual void OpenUrl(const std::string& url) = 0;
  virtual void ModeratorChanged(bool moderator) = 0;
};

// Seconds a fine of the given period code lasts.
int64_t FinePeriodSeconds(int64_t code);
// The caption of a fine type.
std::string FineTypeName(int64_t type);
// Seconds since 1970 as "dd.mm.yy hh.mm".
std::string FineTime(int64_t seconds);
// "http://host[:port]" of a web address, without the path.
std::string WebRoot(const std::string& url);

class ServiceReplies {
 public:
  // Fine times are shown shifted by this many seconds (the service's zone).
  static constexpr int64_t kShownOffset = 4 * 3600;

  ServiceReplies(const settings::Settings& settings, ServiceRepliesHost& host);

  void OwnInformation(const wire::Record& record);
  void Rights(const wire::Record& record);
  void AddressRecord(const wire::Record& record);
  void WhoisRecord(const wire::Record& record, const std::string& body);
  void AddressLine(const std::string& line);   // "p|"
  void FineList(const std::string& line);      // "T|"

  bool Moderator() const { return moderator_; }
  // An address request of the moderator menu waits for its answer.
  void PushAddressRequest() { pending_.push_back(false); }
  // A WHOIS or information request about someone else waits for its
  // answer: only then does such an answer open a window.
  void PushWhoisRequest() { whoisRequests_ = std::min(whoisRequests_ + 1, kMaxPendingRequests); }
  void PushInfoRequest() { infoRequests_ = std::min(infoRequests_ + 1, kMaxPendingRequests); }
  void ClearAddressRequests() {
    pending_.clear();
    whoisRequests_ = infoRequests_ = 0;
  }
  // What a server's answers may show at most.
  static constexpr size_t kMaxPhotos = 100;
  static constexpr int kMaxFineRows = 5000;
  static constexpr int kMaxPendingRequests = 32;
  size_t PendingAddressRequests() const { return pending_.size(); }

  std::string PhotoFolder() const;
  std::string WhoisPage(const std::string& searched) const;
  // The clock for the colours of the fine list (seconds since 1970).
  void SetClock(std::function<int64_t()> now) { now_ = std::move(now); }

 private:
  bool WantsWindow() const { return !pending_.empty() && !pending_.front(); }
  std::string AddressTitle() const;
  bool Russian() const;

  const settings::Settings& settings_;
  ServiceRepliesHost& host_;
  bool moderator_ = false;
  std::deque<bool> pending_;
  int whoisRequests_ = 0;
  int infoRequests_ = 0;
  std::function<int64_t()> now_;
};

}  // namespace session
