#pragma once
// State shared by every markup view of the process.  The main window fills
// the hooks at start-up; producers switch `russian` and `animation`.
#include <cstdint>
#include <functional>
#include <string>

namespace markup {

class MarkupCanvas;

struct ViewGlobals {
  // Animated pictures run.
  static inline bool animation = true;
  // Popup captions in Russian (else English).
  static inline bool russian = true;
  // Pictures with negative numbers: mode 0 draws picture `number` with its
  // top-left corner at (x, y) on `canvas`, mode 1 returns its width, mode 2
  // its height.  Unassigned: every such picture is 1 x 1 and draws nothing.
  static inline std::function<int(int number, MarkupCanvas* canvas, int x, int y, int mode)>
      OnStaticImage;
  // The text a picture stands for when a pane is read as text (copying,
  // finding, screen readers): a smiley's code, a picture's address.
  // Unassigned: the address of a numbered picture, nothing for the others.
  static inline std::function<std::string(int number, const std::string& address)> OnPictureText;
  // The tool tip of a picture (UTF-8), empty for none: what a delivery
  // mark or an online-list icon means, or where a picture link leads
  // (`link` its target, empty when it is no link).
  static inline std::function<std::string(int number, const std::string& link)> OnPictureTip;
  // Days a cached copy of a picture URL stays valid.
  static inline std::function<int(const std::string& url)> OnLifeTime;
  // Width of a vertical scroll bar, read once when the first view is made.
  static inline int scrollBarWidth = 16;
};

// Size and drawing of a negative (program-supplied) picture.
int StaticImageWidth(int number);
int StaticImageHeight(int number);
void DrawStaticImage(int number, MarkupCanvas& canvas, int x, int y);

}  // namespace markup
