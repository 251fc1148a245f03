#include "chat/online_list.h"

#include <algorithm>
#include <unordered_set>

#include "markup/markup_document.h"
#include "settings/settings.h"
#include "wire/wire.h"
#include "text/bytes.h"
#include "text/line_file.h"

namespace window {

namespace {

bool ContainsName(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kHeading = 0x808000;

}  // namespace

bool ContactLists::IsFriend(const std::string& name) const { return ContainsName(friends, name); }
bool ContactLists::IsBlackListed(const std::string& name) const { return ContainsName(blackList, name); }

void ContactLists::Load(const std::string& programDir) {
  friends = text::ReadLineFile(programDir + "offline.lst");
  blackList = text::ReadLineFile(programDir + "boffline.lst");
}

bool ContactLists::Save(const std::string& programDir) const {
  const bool a = text::WriteLineFile(programDir + "offline.lst", friends);
  const bool b = text::WriteLineFile(programDir + "boffline.lst", blackList);
  return a && b;
}

OnlineList::OnlineList(settings::Settings& settings, ContactLists& contacts, markup::MarkupDocument& users)
    : settings_(settings), contacts_(contacts), users_(users) {}

std::vector<std::string> OnlineList::Names() const {
  std::vector<std::string> names;
  for (const Entry& e : FieldEntries()) names.push_back(e.name);
  return names;
}

std::vector<OnlineList::Entry> OnlineList::FieldEntries(size_t* dropped) const {
  std::vector<Entry> entries;
  std::string_view rest = lastListText_;
  if (dropped) *dropped = 0;
  while (!rest.empty()) {
    const size_t semi = rest.find(';');
    // An entry without its closing ";" ends the list.
    if (semi == std::string_view::npos) break;
    if (entries.size() >= kMaxEntries) {
      // Only counted: one more find per entry keeps a hostile list linear.
      if (!dropped) break;
      rest.remove_prefix(semi + 1);
      ++*dropped;
      continue;
    }
    const std::string entry = wire::ReplaceChar(rest.substr(0, semi + 1), ',', ';');
    rest.remove_prefix(semi + 1);
    const wire::Record r = wire::ParseRecord(entry);
    const std::string& name = wire::Field(r, "User");
    if (name.empty()) continue;
    entries.push_back({name, wire::Field(r, "Ver"), wire::Field(r, "Sex"), wire::Field(r, "Sound"),
                       wire::Field(r, "Inf")});
  }
  return entries;
}

bool OnlineList::ShowOnlineList(const std::string& body) {
  lastListText_ = body;
  users_.BeginUpdate();
  users_.Clear();
  users_.NewString("<nobr> <b>-- OnLine --</b></nobr>", kHeading, kWhite);
  std::vector<std::string> online;
  const std::unordered_set<std::string> blackListed(contacts_.blackList.begin(), contacts_.blackList.end());
  for (const Entry& e : FieldEntries(&dropped_)) {
    if (settings_.FilterAll && blackListed.count(e.name)) continue;
    online.push_back(e.name);
    users_.NewString("<nobr><b>", kBlack, kWhite);
    users_.AddLink("PR", e.name);
    users_.AddString("</b>");
    int32_t color = 0xFF00FF;
    if (text::StartsWith(text::Lower(e.ver), "html"))
      color = kBlack;
    else if (text::Contains(e.ver, "Java"))
      color = 0x808080;
    users_.SetColor(color, kWhite);
    users_.AddString(" " + e.name);
    if (e.sex == "m")
      users_.AddString(" <pict=-19>");
    else if (e.sex == "w")
      users_.AddString(" <pict=-20>");
    if (e.sound == "1") {
      const std::string v = wire::ReplaceChar(e.ver, 'p', '.');
      if (v.empty())
        users_.AddString(" <pict=-13>");
      else if (v < ownVersion)
        users_.AddString(" <pict=-21>");
      else if (v == ownVersion)
        users_.AddString(" <pict=-12>");
      else
        users_.AddString(" <pict=-14>");
    }
    if (e.inf == "T")
      users_.AddString("<a href=\"--INFO--" + e.name + "\"><pict=-22></a>");
    else if (e.inf == "F")
      users_.AddString("<a href=\"--INFO--" + e.name + "\"><pict=-23></a>");
    users_.AddString("</nobr>");
  }
  bool friendCame = false;
  bool offlineHeading = false;
  const std::unordered_set<std::string> onlineNow(online.begin(), online.end());
  const std::unordered_set<std::string> onlineBefore(previouslyOnline_.begin(), previouslyOnline_.end());
  for (const std::string& f : contacts_.friends) {
    if (!onlineNow.count(f)) {
      if (!offlineHeading) {
        users_.NewString("", kBlack, kWhite);
        users_.NewString("<nobr> <b>-- OffLine --</b></nobr>", kHeading, kWhite);
        offlineHeading = true;
      }
      users_.NewString("<nobr><b>", kBlack, kWhite);
      users_.AddLink("PR", f);
      users_.AddString("</b>");
      users_.SetColor(kBlack, kWhite);
      users_.AddString(" " + f + "</nobr>");
    } else if (!onlineBefore.count(f)) {
      friendCame = true;
    }
  }
  previouslyOnline_ = online;
  users_.EndUpdate(true);
  return friendCame;
}

std::optional<std::string_view> OnlineList::CompactEntry(const std::string& name,
                                                        std::initializer_list<std::string_view> codes) const {
  // name "<" code(2) rest ">" separator, after two leading bytes.
  if (lastListText_.size() < 2) return std::nullopt;
  std::string_view s = std::string_view(lastListText_).substr(2);
  while (!s.empty()) {
    const size_t open = s.find('<');
    if (open == std::string_view::npos) break;
    const size_t close = s.find('>', open);
    if (close == std::string_view::npos) break;
    const std::string entryName = wire::UnescapeField(s.substr(0, open));
    const std::string_view bracket = s.substr(open + 1, close - open - 1);
    s.remove_prefix(std::min(s.size(), close + 2));
    if (entryName != name || bracket.size() < 2) continue;
    for (std::string_view code : codes)
      if (bracket.substr(0, 2) == code) return bracket.substr(2);
  }
  return std::nullopt;
}

std::string OnlineList::CompactClientInfo(const std::string& name) const {
  const std::optional<std::string_view> found = CompactEntry(name, {"cf"});
  if (!found) return {};
  std::string rest(*found);
  if (!rest.empty() && (rest[0] == 'm' || rest[0] == 'w' || rest[0] == 'n')) rest.erase(0, 1);
  return wire::ReplaceChar(rest, 'p', '.');
}

namespace {
bool OwnKindOfClient(const std::string& ver) {
  return !ver.empty() && !text::StartsWith(text::Lower(ver), "html") && !text::Contains(ver, "Java");
}
}  // namespace

std::string OnlineList::ClientInfo(const std::string& name) const {
  for (const Entry& e : FieldEntries())
    if (e.name == name) return OwnKindOfClient(e.ver) && e.sound == "1" ? wire::ReplaceChar(e.ver, 'p', '.') : "";
  return CompactClientInfo(name);
}

bool OnlineList::PeerHasGameClient(const std::string& name) const {
  for (const Entry& e : FieldEntries())
    if (e.name == name) return OwnKindOfClient(e.ver);
  // Both codes are this program's clients, with or without a version.
  return CompactEntry(name, {"cp", "cf"}).has_value();
}

}  // namespace window
