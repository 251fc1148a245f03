#pragma once
// The game artwork of draw_images: the piece and board strips as GIF files
// and the five replay button glyphs as PNG files.
class QDir;
class QImage;
class QString;

namespace game_art {

// Writes checkers.gif, checkerssmall.gif, chess.gif, chesssmall.gif,
// board.gif, boardsmall.gif and replay0.png … replay4.png into `out`.
bool WriteGameArt(const QDir& out);

// An opaque picture as a GIF of at most 256 colours (median cut).  When
// `keyColor` is given, exactly the pixels of that colour keep it; no other
// pixel is mapped onto it, so it can serve as the transparent colour.
bool WriteGif(const QImage& image, const QString& path, const unsigned* keyColor);

}  // namespace game_art
