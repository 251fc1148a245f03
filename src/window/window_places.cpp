#include "window/window_places.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QWidget>
#include <algorithm>

#include "settings/settings.h"
#include "text/bytes.h"

namespace window {
namespace {

std::vector<std::string_view> Fields(std::string_view text) {
  std::vector<std::string_view> out;
  size_t from = 0;
  for (;;) {
    const size_t comma = text.find(',', from);
    out.push_back(text.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from));
    if (comma == std::string_view::npos) return out;
    from = comma + 1;
  }
}

std::optional<std::vector<int>> Integers(std::string_view text, size_t count) {
  const std::vector<std::string_view> fields = Fields(text);
  if (fields.size() != count) return std::nullopt;
  std::vector<int> values;
  for (std::string_view f : fields) {
    const auto v = text::ParseInt(f);
    if (!v) return std::nullopt;
    values.push_back(*v);
  }
  return values;
}

int64_t Overlap(const PlaceRect& a, const PlaceRect& b) {
  const int64_t w = std::min<int64_t>(int64_t{a.x} + a.width, int64_t{b.x} + b.width) - std::max(a.x, b.x);
  const int64_t h = std::min<int64_t>(int64_t{a.y} + a.height, int64_t{b.y} + b.height) - std::max(a.y, b.y);
  return w > 0 && h > 0 ? w * h : 0;
}

std::vector<PlaceRect> AvailableScreens() {
  std::vector<PlaceRect> areas;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect r = screen->availableGeometry();
    areas.push_back({r.x(), r.y(), r.width(), r.height()});
  }
  return areas;
}

}  // namespace

std::string PlaceText(const PlaceRect& p) {
  return std::to_string(p.x) + "," + std::to_string(p.y) + "," + std::to_string(p.width) + "," +
         std::to_string(p.height);
}

std::optional<PlaceRect> ParsePlace(std::string_view text) {
  const auto v = Integers(text, 4);
  if (!v || (*v)[2] <= 0 || (*v)[3] <= 0) return std::nullopt;
  return PlaceRect{(*v)[0], (*v)[1], (*v)[2], (*v)[3]};
}

std::string SizesText(const std::vector<int>& sizes) {
  std::string out;
  for (int s : sizes) out += (out.empty() ? "" : ",") + std::to_string(s);
  return out;
}

std::optional<std::vector<int>> ParseSizes(std::string_view text, size_t count) {
  auto v = Integers(text, count);
  if (!v || std::any_of(v->begin(), v->end(), [](int s) { return s < 0; }) ||
      std::all_of(v->begin(), v->end(), [](int s) { return s == 0; }))
    return std::nullopt;
  return v;
}

PlaceRect ClampToAreas(PlaceRect place, const std::vector<PlaceRect>& areas) {
  if (areas.empty()) return place;
  const PlaceRect* best = &areas.front();
  int64_t bestOverlap = 0;
  for (const PlaceRect& area : areas) {
    const int64_t o = Overlap(place, area);
    if (o > bestOverlap) best = &area, bestOverlap = o;
  }
  place.width = std::min(place.width, best->width);
  place.height = std::min(place.height, best->height);
  place.x = std::clamp(place.x, best->x, best->x + best->width - place.width);
  place.y = std::clamp(place.y, best->y, best->y + best->height - place.height);
  return place;
}

void KeepPlace(settings::Settings& settings, const char* key, const QWidget& window, int offset) {
  QRect r = window.isMaximized() || window.isFullScreen() ? window.normalGeometry() : window.geometry();
  // The frame's corner, as move() takes it.
  if (!window.isMaximized() && !window.isFullScreen()) r.moveTopLeft(window.pos());
  if (r.width() <= 0 || r.height() <= 0) return;
  settings.File().Write(kWindowsSection, key,
                        PlaceText({r.x() - offset, r.y() - offset, r.width(), r.height()}));
}

bool RestorePlace(const settings::Settings& settings, const char* key, QWidget& window, int offset, bool withSize) {
  const auto kept = ParsePlace(settings.File().ReadString(kWindowsSection, key, ""));
  if (!kept) return false;
  PlaceRect place = *kept;
  place.x += offset;
  place.y += offset;
  if (!withSize) place.width = window.width(), place.height = window.height();
  place = ClampToAreas(place, AvailableScreens());
  if (withSize) window.resize(place.width, place.height);
  window.move(place.x, place.y);
  return true;
}

void KeepSplitter(settings::Settings& settings, const char* key, const QSplitter& splitter) {
  const QList<int> sizes = splitter.sizes();
  settings.File().Write(kWindowsSection, key, SizesText(std::vector<int>(sizes.begin(), sizes.end())));
}

void RestoreSplitter(const settings::Settings& settings, const char* key, QSplitter& splitter) {
  const auto sizes =
      ParseSizes(settings.File().ReadString(kWindowsSection, key, ""), static_cast<size_t>(splitter.count()));
  if (sizes) splitter.setSizes(QList<int>(sizes->begin(), sizes->end()));
}

}  // namespace window
