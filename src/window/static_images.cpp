#include "window/static_images.h"

#include <QPainter>

#include "markup/painter_access.h"
#include "markup/picture_registry.h"
#include "markup/view_globals.h"
#include "resources/images.h"

namespace window {

namespace {
// The size of the program's own pictures, also kept free for a number
// that names none.
constexpr int kImageSize = 15;
}  // namespace

void InstallStaticImages() {
  markup::ViewGlobals::OnStaticImage = [](int number, markup::MarkupCanvas* canvas, int x, int y, int mode) -> int {
    const QImage* image = nullptr;
    if (number == -100)
      image = &resources::Logo();
    else if (number <= -1 && number >= -resources::kImageCount)
      image = &resources::Image(-number - 1);
    // An unknown number draws nothing in a picture's space.
    if (!image || image->isNull()) return mode == 0 ? 0 : kImageSize;
    if (mode == 1) return image->width();
    if (mode == 2) return image->height();
    if (QPainter* painter = canvas ? markup::PainterOf(*canvas) : nullptr) {
      // On a fine bitmap the fine drawing, at the same place and size.
      const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
      painter->drawImage(x, y, number == -100 ? resources::LogoFor(ratio) : resources::ImageFor(-number - 1, ratio));
    }
    return 0;
  };
}

}  // namespace window
