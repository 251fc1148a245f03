#pragma once
// A canvas that draws with a QPainter.  The markup engine itself never
// paints images; pictures and the program's own images reach the painter
// through this, so the engine's headers stay free of Qt.
#include "markup/markup_canvas.h"

class QPainter;

namespace markup {

class PainterAccess {
 public:
  virtual ~PainterAccess() = default;
  virtual QPainter& Painter() = 0;
};

// The painter behind `canvas`, or null when it draws without one (tests).
inline QPainter* PainterOf(MarkupCanvas& canvas) {
  auto* access = dynamic_cast<PainterAccess*>(&canvas);
  return access ? &access->Painter() : nullptr;
}

}  // namespace markup
