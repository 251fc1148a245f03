#include "window/static_images.h"

#include <QPainter>

#include "markup/painter_access.h"
#include "markup/picture_registry.h"
#include "markup/view_globals.h"
#include "resources/images.h"

namespace window {

namespace {
// The size of a picture that is not there, as for URL pictures.
constexpr int kPlaceholderSize = 20;
}  // namespace

void InstallStaticImages() {
  markup::ViewGlobals::OnStaticImage = [](int number, markup::MarkupCanvas* canvas, int x, int y, int mode) -> int {
    const QImage* image = nullptr;
    if (number == -100)
      image = &resources::Logo();
    else if (number <= -1 && number >= -resources::kImageCount)
      image = &resources::Image(-number - 1);
    if (!image || image->isNull()) {
      // An unknown number takes the placeholder's place, like a picture
      // that did not load.
      if (mode == 0 && canvas) markup::DrawPicturePlaceholder(*canvas, x, y, true);
      return mode == 0 ? 0 : kPlaceholderSize;
    }
    if (mode == 1) return image->width();
    if (mode == 2) return image->height();
    if (QPainter* painter = canvas ? markup::PainterOf(*canvas) : nullptr) painter->drawImage(x, y, *image);
    return 0;
  };
}

}  // namespace window
