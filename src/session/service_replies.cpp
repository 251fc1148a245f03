#include "session/service_replies.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "session/session_texts.h"
#include "settings/settings.h"
#include "text/bytes.h"
#include "text/cp1251.h"

namespace session {

namespace {

constexpr const char* kQuote = "\"";

std::string Link(const std::string& target, const std::string& caption) {
  return std::string("<a href=") + kQuote + target + kQuote + ">" + caption + "</a>";
}

// The photo numbers of a trailing <InfF1,2,…> tag, which is cut off the text.
std::vector<std::string> TakePhotoList(std::string& info) {
  // "<InfF" + digits and commas + ">" at the very end (a line end may follow).
  std::vector<std::string> numbers;
  const size_t open = info.rfind("<InfF");
  if (open == std::string::npos) return numbers;
  const size_t close = info.find_first_not_of("0123456789,", open + 5);
  if (close == std::string::npos || info[close] != '>') return numbers;
  const std::string_view after = std::string_view(info).substr(close + 1);
  if (!(after.empty() || after == "\n")) return numbers;
  // The tag may still be followed by a line end, which "\Z" allows.
  const std::string list = info.substr(open + 5, info.find('>', open) - open - 5);
  info.erase(open);
  size_t from = 0;
  while (from <= list.size()) {
    const size_t comma = std::min(list.find(',', from), list.size());
    if (comma > from) numbers.push_back(list.substr(from, comma - from));
    if (numbers.size() == ServiceReplies::kMaxPhotos) break;
    from = comma + 1;
  }
  return numbers;
}

int64_t NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

int64_t FinePeriodSeconds(int64_t code) {
  static constexpr int64_t kFixed[] = {0, 600, 1800, 3600, 86400, 864000};
  if (code < 0) return 0;
  if (code <= 5) return kFixed[code];
  return code * 86400;
}

std::string FineTypeName(int64_t type) {
  switch (type) {
    case 0:
    case 1:
    case 2:
    case 3: return text::Shown(texts::kFineTypes[type]);
    default: return text::Shown(texts::kFineTypes[4]);
  }
}

std::string FineTime(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm parts{};
  gmtime_r(&t, &parts);
  char out[32];
  std::snprintf(out, sizeof out, "%02d.%02d.%02d %02d.%02d", parts.tm_mday, parts.tm_mon + 1,
                parts.tm_year % 100 < 0 ? -(parts.tm_year % 100) : parts.tm_year % 100, parts.tm_hour,
                parts.tm_min);
  return out;
}

std::string WebRoot(const std::string& url) {
  const size_t scheme = url.find("://");
  const size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
  const size_t slash = url.find('/', hostStart);
  const std::string root = url.substr(0, slash);
  return scheme == std::string::npos ? "http://" + root : root;
}

ServiceReplies::ServiceReplies(const settings::Settings& settings, ServiceRepliesHost& host)
    : settings_(settings), host_(host), now_(NowSeconds) {}

bool ServiceReplies::Russian() const { return settings_.RussianInterface; }

std::string ServiceReplies::PhotoFolder() const { return WebRoot(settings_.ChatDir) + "/photos/"; }

std::string ServiceReplies::WhoisPage(const std::string& searched) const {
  return WebRoot(settings_.ChatDir) + "/perl/whois?form_type=simple&full_query_string=&searchtext=" + searched;
}

std::string ServiceReplies::AddressTitle() const {
  return Russian() ? text::W("IP Адрес посетителя") : "Visitor IP address";
}

// Someone else's information (a Cln naming another user) is shown under his
// name with his photos, without the links that change one's own photos.
void ServiceReplies::OwnInformation(const wire::Record& record) {
  std::string info = wire::UnescapeField(wire::Field(record, "GetInfo"));
  const std::string other = wire::UnescapeField(wire::Field(record, "Cln"));
  const bool own = other.empty() || other == settings_.UserName;
  // Someone else's information only answers a request of ours.
  if (!own) {
    if (infoRequests_ == 0) return;
    --infoRequests_;
  }
  const std::string name = own ? settings_.UserName : other;
  const std::vector<std::string> photos = TakePhotoList(info);

  std::string part;
  for (const std::string& n : photos) {
    part += Link(PhotoFolder() + name + "_" + n + ".jpg", text::Shown(texts::kPhoto) + n) + " ";
    if (own) part += "(" + Link("--DelPict--" + n, text::Shown(texts::kDeletePhoto)) + ")";
    part += "   ";
  }
  if (own) {
    const int64_t last = photos.empty() ? 0 : text::ParseIntOr(photos.back(), 0);
    part += "   " + Link("--AddPict--" + std::to_string(last + 1), text::Shown(texts::kAddPhoto));
  }
  part += "<BR>";
  host_.ShowInfoWindow(name, Russian() ? text::W("Запрос о посетителе") : "Visitor request",
                       text::Shown(texts::kInformationAbout) + name + "</b>:<br><br>" + part + info, -1, -1, false);
}

void ServiceReplies::Rights(const wire::Record& record) {
  // A Mod field of "0" is read as no rights.
  moderator_ = wire::Has(record, "Mod") && wire::Field(record, "Mod") != "0";
  host_.ModeratorChanged(moderator_);
}

void ServiceReplies::AddressRecord(const wire::Record& record) {
  if (!WantsWindow()) return;
  const std::string name = wire::UnescapeField(wire::Field(record, "Cln"));
  host_.ShowInfoWindow("IP::" + name, AddressTitle(), "IP <b>" + name + "</b>: " + wire::Field(record, "GetIP"), -1,
                       -1, false);
}

void ServiceReplies::WhoisRecord(const wire::Record& record, const std::string& body) {
  // An answer nobody asked for opens neither a window nor a page.
  if (whoisRequests_ == 0) return;
  --whoisRequests_;
  const std::string name = wire::UnescapeField(wire::Field(record, "Cln"));
  if (name.empty()) {
    host_.OpenUrl(WhoisPage(wire::UnescapeField(body)));
    return;
  }
  host_.ShowInfoWindow("WhoIs::" + name, "WhoIs",
                       "WhoIs <b>" + name + "</b>: " + wire::UnescapeField(wire::Field(record, "WhoIs")), -1, -1,
                       false);
}

void ServiceReplies::AddressLine(const std::string& line) {
  std::string data = line.size() > 2 ? line.substr(2) : std::string();
  if (!data.empty() && data.back() == '|') data.pop_back();
  const size_t bar = data.find('|');
  if (bar == std::string::npos) return;
  const std::string name = wire::UnescapeField(data.substr(0, bar));
  const std::string address = data.substr(bar + 1);
  if (WantsWindow())
    host_.ShowInfoWindow("IP::" + name, AddressTitle(), "IP <b>" + name + "</b>: " + wire::UnescapeField(address), -1,
                         -1, false);
  else
    host_.OpenUrl(WhoisPage(wire::UnescapeField(address)));
  if (!pending_.empty()) pending_.pop_front();
}

void ServiceReplies::FineList(const std::string& line) {
  std::string data = line.size() > 5 ? line.substr(5) : std::string();
  std::string out = text::Shown(texts::kFinesHeading) + "<xpos=80>" +
                    text::Shown(texts::kFineAddress) + "<xpos=165>" + text::Shown(texts::kFinePeriod) + "<xpos=305>" + text::Shown(texts::kFineType) +
                    "<xpos=420>" + text::Shown(texts::kFineIpTest);
  const int64_t now = now_();
  // The fields are taken from a moving start, never by cutting the front
  // off the rest: the list costs time in proportion to its length.
  size_t at = 0;
  auto take = [&data, &at]() -> std::string {
    if (at >= data.size()) return {};
    const size_t bar = data.find('\xA6', at);
    const size_t end = bar == std::string::npos ? data.size() : bar;
    std::string field = data.substr(at, end - at);
    at = bar == std::string::npos ? data.size() : bar + 1;
    return field;
  };
  std::string name = take();
  for (int rows = 0; at < data.size(); ++rows) {
    if (rows == kMaxFineRows) {
      out += "...<br>";
      break;
    }
    const std::string thisName = name;
    const std::string start = take();
    const std::string address = take();
    take();  // the moderator who gave it
    const std::string period = take();
    const std::string type = take();
    std::string iptest = take();
    if (!iptest.empty() && iptest.front() == ':') {
      name = iptest.substr(1);
      iptest = "0";
    } else {
      const std::string next = take();
      name = next.empty() ? next : next.substr(1);
    }
    const auto startSeconds = text::ParseInt(start);
    const auto periodCode = text::ParseInt(period);
    const auto typeCode = text::ParseInt(type);
    if (!startSeconds || !periodCode || !typeCode) {
      out += "Unrecognized string: " + thisName + "|" + start + "|" + address + "|" + period + "|" + type + "|" +
             iptest + "<br>";
      break;
    }
    // Whether a fine still runs is decided on the real clock; only the
    // shown times carry the service's offset.
    const int64_t end = int64_t{*startSeconds} + FinePeriodSeconds(*periodCode);
    out += end > now ? "<fcol=000080>" : "<fcol=008000>";
    out += "<nobr>" + wire::UnescapeField(thisName) + "<xpos=80>" + address + "<xpos=165>" + "<fsize=7>" +
           FineTime(*startSeconds + kShownOffset) + " - " + FineTime(end + kShownOffset) + "<fsize=8>" +
           "<xpos=305>" + FineTypeName(*typeCode) + "<xpos=420>" + (iptest == "1" ? "+" : "-") + "</nobr><br>";
  }
  host_.ShowInfoWindow("FINE", Russian() ? text::W("Штрафы") : "Fines", out, 480, -1, false);
}

}  // namespace session
