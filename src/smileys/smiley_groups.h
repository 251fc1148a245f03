#pragma once
// The additional smileys as the smileys window lists them: group g (0..99)
// owns the numbers 100 g .. 100 g + 99 and exists when its entry 100 g (its
// index picture) is not empty.  Markup and codes are Windows-1251.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace media {

// Picture number -> URL, the smiley table of csmile.dat.
using SmileyMap = std::map<int32_t, std::string>;

inline constexpr int kSmileyGroupCount = 100;
inline constexpr int kAllSmileyGroups = -1;

// The groups that exist, in order.
std::vector<int> SmileyGroups(const SmileyMap& table);

// The index pane's one line: the refresh link "Обновить" (target "read"),
// one picture link per group (target the group number), and "Все" (target
// "-1").
std::string SmileyIndexLine(const SmileyMap& table);

// The picture pane's lines for group `group`, or one line per existing
// group for kAllSmileyGroups: a picture link per non-empty entry, its
// target the picture number.  A group that does not exist gives no line.
std::vector<std::string> SmileyGroupLines(const SmileyMap& table, int group);

// What a click on picture `number` puts into the message line.
std::string SmileyCode(int32_t number);

// Whether `url` can stand as a link face: a quote or ">" would end the
// link tag early, and a leading digit or "-" would make it a built-in
// picture number.  Entries with such URLs are left out of both panes (their
// codes still work in messages).
bool UsableSmileyUrl(const std::string& url);

}  // namespace media
