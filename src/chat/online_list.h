#pragma once
// The online list pane and the two contact lists (friends, black list).
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace markup {
class MarkupDocument;
}
namespace settings {
class Settings;
}

namespace window {

struct ContactLists {
  std::vector<std::string> friends;    // offline.lst
  std::vector<std::string> blackList;  // boffline.lst
  bool IsFriend(const std::string& name) const;
  bool IsBlackListed(const std::string& name) const;
  void Load(const std::string& programDir);
  bool Save(const std::string& programDir) const;
};

class OnlineList {
 public:
  // No real room comes near this many users; entries past it are dropped.
  static constexpr size_t kMaxEntries = 5000;

  OnlineList(settings::Settings& settings, ContactLists& contacts, markup::MarkupDocument& users);

  // Rebuilds the pane from a list body; true when a friend came online.
  bool ShowOnlineList(const std::string& body);
  // Entries the last list had past kMaxEntries.
  size_t DroppedEntries() const { return dropped_; }
  // Friends already online now do not count as newcomers later.
  void TakeFriendsSnapshot() { previouslyOnline_ = contacts_.friends; }
  const std::string& LastListText() const { return lastListText_; }
  const std::vector<std::string>& NamesOnline() const { return previouslyOnline_; }

  // The names of the last list, in its order (for completing names).
  std::vector<std::string> Names() const;

  // Audio client version of an online user, empty when none.
  std::string ClientInfo(const std::string& name) const;
  // The user runs a client of this program's kind (games possible).
  bool PeerHasGameClient(const std::string& name) const;

  // The version this client sends at login, compared with the others'.
  std::string ownVersion = "2.8";

 private:
  struct Entry {
    std::string name, ver, sex, sound, inf;
  };
  std::vector<Entry> FieldEntries(size_t* dropped = nullptr) const;
  // The rest of the bracket after the code of the first compact entry of
  // `name` whose code is one of `codes`.
  std::optional<std::string_view> CompactEntry(const std::string& name,
                                               std::initializer_list<std::string_view> codes) const;
  std::string CompactClientInfo(const std::string& name) const;

  settings::Settings& settings_;
  ContactLists& contacts_;
  markup::MarkupDocument& users_;
  std::string lastListText_;
  std::vector<std::string> previouslyOnline_;
  size_t dropped_ = 0;
};

}  // namespace window
