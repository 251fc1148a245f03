#include "smileys/smiley_groups.h"

#include "smileys/smileys_texts.h"
#include "text/cp1251.h"

namespace media {
namespace {

const std::string* Entry(const SmileyMap& table, int32_t number) {
  auto it = table.find(number);
  return it == table.end() || it->second.empty() ? nullptr : &it->second;
}

bool GroupExists(const SmileyMap& table, int group) {
  const std::string* url = Entry(table, 100 * group);
  return url && UsableSmileyUrl(*url);
}

std::string PictureLink(const std::string& url, int32_t target) {
  return "<link='" + url + "'" + std::to_string(target) + ">";
}

std::string GroupLine(const SmileyMap& table, int group) {
  std::string line;
  for (auto it = table.lower_bound(100 * group); it != table.end() && it->first < 100 * group + 100; ++it)
    if (!it->second.empty() && UsableSmileyUrl(it->second)) line += PictureLink(it->second, it->first) + "  ";
  return line;
}

}  // namespace

bool UsableSmileyUrl(const std::string& url) {
  if (url.empty() || (url[0] >= '0' && url[0] <= '9') || url[0] == '-') return false;
  return url.find_first_of("'>") == std::string::npos;
}

std::vector<int> SmileyGroups(const SmileyMap& table) {
  std::vector<int> groups;
  for (int g = 0; g < kSmileyGroupCount; ++g)
    if (GroupExists(table, g)) groups.push_back(g);
  return groups;
}

std::string SmileyIndexLine(const SmileyMap& table) {
  std::string line = text::Shown(media::smileys_texts::kRefresh) + std::string(12, ' ');
  for (int g : SmileyGroups(table)) line += PictureLink(*Entry(table, 100 * g), g) + "  ";
  return line + text::Shown(media::smileys_texts::kAllGroups);
}

std::vector<std::string> SmileyGroupLines(const SmileyMap& table, int group) {
  std::vector<std::string> lines;
  if (group == kAllSmileyGroups) {
    for (int g : SmileyGroups(table)) lines.push_back(GroupLine(table, g));
  } else if (group >= 0 && group < kSmileyGroupCount && GroupExists(table, group)) {
    lines.push_back(GroupLine(table, group));
  }
  return lines;
}

std::string SmileyCode(int32_t number) { return ":u" + std::to_string(number) + ":"; }

}  // namespace media
