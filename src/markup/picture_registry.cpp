#include "markup/picture_registry.h"

#include <algorithm>

#include "markup/markup_canvas.h"

namespace markup {

namespace {
NumberingPictureRegistry& BuiltIn() {
  static NumberingPictureRegistry registry;
  return registry;
}
PictureRegistry* installed = nullptr;

constexpr int kPlaceholderSize = 20;
constexpr int32_t kBlack = 0x000000;
constexpr int32_t kRed = 0x0000FF;
}  // namespace

PictureRegistry& ProcessPictureRegistry() { return installed ? *installed : BuiltIn(); }

void InstallPictureRegistry(PictureRegistry* registry) { installed = registry; }

void DrawPicturePlaceholder(MarkupCanvas& canvas, int x, int y, bool failed) {
  canvas.DrawDottedRect(x, y, kPlaceholderSize, kPlaceholderSize, kBlack);
  if (failed) {
    canvas.DrawLine(x + 2, y + 2, x + 9, y + 9, kRed);
    canvas.DrawLine(x + 2, y + 8, x + 9, y + 1, kRed);
  }
}

std::string UnquoteUrl(const std::string& url) {
  if (url.size() > 1 && url.front() == '"' && url.back() == '"')
    return url.substr(1, url.size() - 2);
  return url;
}

int NumberingPictureRegistry::Register(const std::string& rawUrl, MarkupLine* user) {
  const std::string url = UnquoteUrl(rawUrl);
  auto [it, added] = numbers_.try_emplace(url, 0);
  if (added) it->second = ++lastNumber_;
  auto& users = users_[it->second];
  if (user && std::find(users.begin(), users.end(), user) == users.end()) users.push_back(user);
  return it->second;
}

void NumberingPictureRegistry::Release(const std::string& rawUrl, MarkupLine* user) {
  auto it = numbers_.find(UnquoteUrl(rawUrl));
  if (it == numbers_.end()) return;
  auto& users = users_[it->second];
  users.erase(std::remove(users.begin(), users.end(), user), users.end());
}

int NumberingPictureRegistry::Width(int) const { return kPlaceholderSize; }
int NumberingPictureRegistry::Height(int) const { return kPlaceholderSize; }
PictureState NumberingPictureRegistry::State(int) const { return PictureState::Pending; }

void NumberingPictureRegistry::Draw(int, MarkupCanvas& canvas, int x, int y) const {
  DrawPicturePlaceholder(canvas, x, y, false);
}

size_t NumberingPictureRegistry::UserCount(const std::string& url) const {
  auto it = numbers_.find(UnquoteUrl(url));
  if (it == numbers_.end()) return 0;
  auto u = users_.find(it->second);
  return u == users_.end() ? 0 : u->second.size();
}

int NumberingPictureRegistry::NumberOf(const std::string& url) const {
  auto it = numbers_.find(UnquoteUrl(url));
  return it == numbers_.end() ? 0 : it->second;
}

}  // namespace markup
