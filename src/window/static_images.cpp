#include "window/static_images.h"

#include <QPainter>

#include "markup/painter_access.h"
#include "markup/view_globals.h"
#include "resources/images.h"

namespace window {

void InstallStaticImages() {
  markup::ViewGlobals::OnStaticImage = [](int number, markup::MarkupCanvas* canvas, int x, int y, int mode) -> int {
    const QImage* image = nullptr;
    if (number == -100)
      image = &resources::Logo();
    else if (number <= -1 && number >= -resources::kImageCount)
      image = &resources::Image(-number - 1);
    if (!image || image->isNull()) return mode == 0 ? 0 : 1;
    if (mode == 1) return image->width();
    if (mode == 2) return image->height();
    if (QPainter* painter = canvas ? markup::PainterOf(*canvas) : nullptr) painter->drawImage(x, y, *image);
    return 0;
  };
}

}  // namespace window
