#pragma once
// The program's built-in pictures, compiled in as Qt resources.
#include <QIcon>
#include <QImage>
#include <string>
#include <vector>

namespace resources {

constexpr int kImageCount = 23;  // pictures -1 .. -23 of the markup

// Picture -n of the markup is Image(n - 1): 0..9 smileys, 10 the archive
// shortcut, 11..22 state and online-list icons.  15 x 15 pixels.
const QImage& Image(int index);

// The service logo, picture -100, at its own size.
const QImage& Logo();

// The program's icon at 16, 32, 48 and 256 pixels.
const QIcon& AppIcon();

// Traffic lamps: 0 send off, 1 send on, 2 receive off, 3 receive on.
const QImage& Led(int index);

// The same pictures drawn for a device of that pixel ratio: above 1 the
// twice-as-fine drawing, whose device pixel ratio of 2 makes a painter draw
// it at the size of the plain one.  Sizes for layout come from the plain ones.
const QImage& ImageFor(int index, qreal devicePixelRatio);
const QImage& LogoFor(qreal devicePixelRatio);
const QImage& LedFor(int index, qreal devicePixelRatio);

// The game strips as GIF bytes, by resource name: "CHECKERS",
// "CHECKERSSMALL", "CHESS", "CHESSSMALL", "BOARD", "BOARDSMALL"; empty for
// any other name.
std::string GameStrip(const std::string& name);

// Glyphs of the replay buttons: 0 to the start, 1 back, 2 play, 3 forward,
// 4 to the present.
const QImage& ReplayGlyph(int index);

}  // namespace resources
