#include "markup/view_globals.h"

namespace markup {

int StaticImageWidth(int number) {
  return ViewGlobals::OnStaticImage ? ViewGlobals::OnStaticImage(number, nullptr, 0, 0, 1) : 1;
}

int StaticImageHeight(int number) {
  return ViewGlobals::OnStaticImage ? ViewGlobals::OnStaticImage(number, nullptr, 0, 0, 2) : 1;
}

void DrawStaticImage(int number, MarkupCanvas& canvas, int x, int y) {
  if (ViewGlobals::OnStaticImage) ViewGlobals::OnStaticImage(number, &canvas, x, y, 0);
}

}  // namespace markup
