#pragma once
// Where the windows were when they closed: molvat.ini's [Windows] section
// keeps "x,y,width,height" per kind of window and "a,b" per splitter, and
// the windows open there again, moved inside the screens that exist now.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QSplitter;
class QWidget;

namespace settings {
class Settings;
}

namespace window {

inline constexpr char kWindowsSection[] = "Windows";

struct PlaceRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const PlaceRect&) const = default;
};

std::string PlaceText(const PlaceRect& place);
// Four integers separated by ",", the size positive; anything else: none.
std::optional<PlaceRect> ParsePlace(std::string_view text);
std::string SizesText(const std::vector<int>& sizes);
// `count` integers of 0 or more separated by ",", not all 0; else none.
std::optional<std::vector<int>> ParseSizes(std::string_view text, size_t count);
// `place` inside the area it overlaps most (the first area when it
// overlaps none): shrunk to the area's size when bigger, then moved in.
PlaceRect ClampToAreas(PlaceRect place, const std::vector<PlaceRect>& areas);

// ---- Widgets ----
// Writes the window's place (its normal place when maximized) under `key`.
void KeepPlace(settings::Settings& settings, const char* key, const QWidget& window, int offset = 0);
// Moves (and, with `withSize`, resizes) the window to the place kept under
// `key`, `offset` pixels right and down, inside the available screens.
// False when nothing is kept.
bool RestorePlace(const settings::Settings& settings, const char* key, QWidget& window, int offset = 0,
                  bool withSize = true);
void KeepSplitter(settings::Settings& settings, const char* key, const QSplitter& splitter);
void RestoreSplitter(const settings::Settings& settings, const char* key, QSplitter& splitter);

}  // namespace window
