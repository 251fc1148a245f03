// The game artwork: checkers men and crowned kings, the six chess figures
// of both colours, wooden board tiles, and the replay glyphs.  Everything is
// drawn here with QPainter; the strips are written as GIF files.
#include "game_art.h"

#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>
#include <functional>

namespace game_art {
namespace {

using Draw = std::function<void(QPainter&)>;

// Wood colours of the board (also what piece edges are blended against).
const QColor kLightWood(236, 210, 164);
const QColor kDarkWood(146, 96, 52);
const QColor kFrameWood(214, 178, 124);

// Pieces are drawn with soft edges on transparency; each pixel then becomes
// either the piece blended over `under` or exactly `key` (the colour the
// window treats as transparent).
QImage Keyed(const QImage& drawn, QRgb under, QRgb key) {
  QImage out(drawn.size(), QImage::Format_RGB32);
  for (int y = 0; y < drawn.height(); ++y)
    for (int x = 0; x < drawn.width(); ++x) {
      const QRgb p = drawn.pixel(x, y);
      const int a = qAlpha(p);
      if (a < 110) {
        out.setPixel(x, y, key);
        continue;
      }
      auto mix = [a](int front, int back) { return (front * a + back * (255 - a)) / 255; };
      QRgb c = qRgb(mix(qRed(p), qRed(under)), mix(qGreen(p), qGreen(under)), mix(qBlue(p), qBlue(under)));
      if ((c & 0xFFFFFF) == (key & 0xFFFFFF)) c = qRgb(qRed(c) ^ 1, qGreen(c), qBlue(c));
      out.setPixel(x, y, c);
    }
  return out;
}

// One cell drawn in a design space of `designW` x `designH`, scaled to w x h.
QImage Cell(int w, int h, double designW, double designH, const Draw& draw) {
  QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(w / designW, h / designH);
  draw(p);
  return image;
}

QImage Strip(const std::vector<QImage>& cells) {
  QImage strip(cells[0].width() * int(cells.size()), cells[0].height(), QImage::Format_RGB32);
  QPainter p(&strip);
  for (size_t i = 0; i < cells.size(); ++i) p.drawImage(int(i) * cells[0].width(), 0, cells[i]);
  return strip;
}

// ---- checkers --------------------------------------------------------------

// A man seen from slightly above: a thick disc with a rim, in a 50 x 48 space.
void Man(QPainter& p, bool white) {
  const QColor top = white ? QColor(250, 244, 226) : QColor(92, 72, 64);
  const QColor deep = white ? QColor(196, 180, 150) : QColor(24, 16, 14);
  const QColor rim = white ? QColor(120, 100, 70) : QColor(8, 4, 4);
  p.setPen(QPen(rim, 1.6));
  // The side of the disc.
  QLinearGradient side(0, 0, 50, 0);
  side.setColorAt(0, deep.darker(120));
  side.setColorAt(0.4, deep.lighter(white ? 105 : 160));
  side.setColorAt(1, deep.darker(140));
  p.setBrush(side);
  p.drawEllipse(QRectF(3, 9, 44, 36));
  // The top face with light from the upper left.
  QRadialGradient face(18, 12, 34);
  face.setColorAt(0, top.lighter(white ? 103 : 170));
  face.setColorAt(0.6, top);
  face.setColorAt(1, deep);
  p.setBrush(face);
  p.drawEllipse(QRectF(3, 3, 44, 36));
  // Two carved rings.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(white ? QColor(170, 150, 115) : QColor(140, 115, 100), 1.4));
  p.drawEllipse(QRectF(10, 9, 30, 24));
  p.drawEllipse(QRectF(16, 14, 18, 14));
}

void Crown(QPainter& p, bool white) {
  QPainterPath crown;
  crown.moveTo(13, 28);
  crown.lineTo(11, 13);
  crown.lineTo(18.5, 20);
  crown.lineTo(25, 9);
  crown.lineTo(31.5, 20);
  crown.lineTo(39, 13);
  crown.lineTo(37, 28);
  crown.closeSubpath();
  QLinearGradient gold(0, 9, 0, 30);
  gold.setColorAt(0, QColor(255, 236, 120));
  gold.setColorAt(1, QColor(196, 128, 10));
  p.setPen(QPen(white ? QColor(120, 70, 0) : QColor(255, 220, 120), 1.3));
  p.setBrush(gold);
  p.drawPath(crown);
  p.setBrush(QColor(220, 30, 40));
  p.setPen(Qt::NoPen);
  for (double x : {11.0, 25.0, 39.0}) p.drawEllipse(QPointF(x, x == 25.0 ? 9 : 13), 2.3, 2.3);
  p.setBrush(QColor(40, 120, 230));
  p.drawEllipse(QPointF(25, 24), 2.2, 2.2);
}

QImage CheckersStrip(int w, int h, QRgb key) {
  std::vector<QImage> cells;
  for (bool white : {true, false})
    for (bool king : {false, true}) {
      const QImage drawn = Cell(w, h, 50, 48, [white, king](QPainter& p) {
        Man(p, white);
        if (king) Crown(p, white);
      });
      cells.push_back(Keyed(drawn, QColor(190, 150, 110).rgb(), key));
    }
  return Strip(cells);
}

// ---- chess -----------------------------------------------------------------

// The figures in a 60 x 68 space, standing on y = 62.
QPainterPath Base() {
  QPainterPath path;
  path.addRoundedRect(QRectF(13, 55, 34, 8), 3, 3);
  return path;
}

QPainterPath Pawn() {
  QPainterPath path;
  path.moveTo(20, 56);
  path.quadTo(24, 40, 27, 31);
  path.lineTo(33, 31);
  path.quadTo(36, 40, 40, 56);
  path.closeSubpath();
  path.addEllipse(QRectF(21, 27, 18, 6));
  path.addEllipse(QPointF(30, 19), 8.5, 8.5);
  return path;
}

QPainterPath Rook() {
  QPainterPath path;
  path.moveTo(17, 56);
  path.lineTo(20, 28);
  path.lineTo(40, 28);
  path.lineTo(43, 56);
  path.closeSubpath();
  QPolygonF top;
  top << QPointF(15, 29) << QPointF(15, 10) << QPointF(22, 10) << QPointF(22, 16) << QPointF(27, 16)
      << QPointF(27, 10) << QPointF(33, 10) << QPointF(33, 16) << QPointF(38, 16) << QPointF(38, 10)
      << QPointF(45, 10) << QPointF(45, 29);
  path.addPolygon(top);
  path.closeSubpath();
  return path;
}

QPainterPath Knight() {
  QPainterPath path;
  path.moveTo(17, 56);
  path.quadTo(19, 46, 25, 38);
  path.lineTo(15, 37);
  path.quadTo(8, 36, 8, 30);
  path.quadTo(8, 26, 12, 23);
  path.quadTo(20, 14, 27, 10);
  path.lineTo(29, 3);
  path.lineTo(34, 9);
  path.quadTo(47, 14, 47, 32);
  path.quadTo(46, 46, 44, 56);
  path.closeSubpath();
  return path;
}

QPainterPath Bishop() {
  QPainterPath path;
  path.moveTo(19, 56);
  path.quadTo(26, 46, 26, 39);
  path.lineTo(34, 39);
  path.quadTo(34, 46, 41, 56);
  path.closeSubpath();
  path.addEllipse(QRectF(21, 34, 18, 7));
  QPainterPath mitre;
  mitre.moveTo(30, 10);
  mitre.cubicTo(43, 18, 41, 32, 36, 36);
  mitre.lineTo(24, 36);
  mitre.cubicTo(19, 32, 17, 18, 30, 10);
  path.addPath(mitre);
  path.addEllipse(QPointF(30, 8), 3.6, 3.6);
  return path;
}

QPainterPath Body() {
  QPainterPath path;
  path.moveTo(18, 56);
  path.quadTo(25, 42, 24, 32);
  path.lineTo(36, 32);
  path.quadTo(35, 42, 42, 56);
  path.closeSubpath();
  path.addEllipse(QRectF(20, 29, 20, 7));
  return path;
}

QPainterPath Queen() {
  QPainterPath path = Body();
  QPolygonF crown;
  crown << QPointF(20, 31) << QPointF(12, 13) << QPointF(19, 22) << QPointF(21, 9) << QPointF(26, 20)
        << QPointF(30, 6) << QPointF(34, 20) << QPointF(39, 9) << QPointF(41, 22) << QPointF(48, 13)
        << QPointF(40, 31);
  path.addPolygon(crown);
  path.closeSubpath();
  for (const QPointF& tip : {QPointF(12, 12), QPointF(21, 8), QPointF(30, 5), QPointF(39, 8), QPointF(48, 12)})
    path.addEllipse(tip, 2.8, 2.8);
  return path;
}

QPainterPath King() {
  QPainterPath path = Body();
  QPainterPath crown;
  crown.moveTo(20, 32);
  crown.quadTo(11, 19, 21, 16);
  crown.quadTo(28, 15, 30, 22);
  crown.quadTo(32, 15, 39, 16);
  crown.quadTo(49, 19, 40, 32);
  crown.closeSubpath();
  path.addPath(crown);
  path.addRect(QRectF(28, 2, 4, 15));
  path.addRect(QRectF(23.5, 6, 13, 4));
  return path;
}

void Figure(QPainter& p, int type, bool white) {
  static const std::function<QPainterPath()> shapes[] = {Pawn, Rook, Knight, Bishop, Queen, King};
  QPainterPath shape = shapes[type]();
  shape.setFillRule(Qt::WindingFill);
  shape = shape.united(Base()).simplified();
  QLinearGradient fill(10, 0, 50, 0);
  if (white) {
    fill.setColorAt(0, QColor(253, 252, 246));
    fill.setColorAt(1, QColor(196, 192, 178));
  } else {
    fill.setColorAt(0, QColor(96, 92, 88));
    fill.setColorAt(1, QColor(18, 16, 16));
  }
  p.setPen(QPen(QColor(20, 20, 20), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(fill);
  p.drawPath(shape);
  // Inner lines that make the figure read: collar, eye, mane, slit, band.
  p.setPen(QPen(white ? QColor(40, 40, 40) : QColor(210, 205, 195), 1.4, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawLine(QPointF(17, 55), QPointF(43, 55));
  switch (type) {
    case 1: p.drawLine(QPointF(20, 28), QPointF(40, 28)); break;
    case 2:
      p.setBrush(white ? QColor(40, 40, 40) : QColor(210, 205, 195));
      p.drawEllipse(QPointF(24, 19), 2, 2);
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(30, 14, 14, 36), 30 * 16, 110 * 16);
      break;
    case 3: p.drawLine(QPointF(33, 17), QPointF(27, 26)); break;
    case 4:
    case 5: p.drawLine(QPointF(21, 31), QPointF(39, 31)); break;
    default: break;
  }
}

QImage ChessStrip(int w, int h) {
  const QRgb white = qRgb(255, 255, 255);
  std::vector<QImage> cells;
  for (bool isWhite : {true, false})
    for (int type = 0; type < 6; ++type)
      cells.push_back(
          Keyed(Cell(w, h, 60, 68, [type, isWhite](QPainter& p) { Figure(p, type, isWhite); }), qRgb(224, 224, 224),
                white));
  return Strip(cells);
}

// ---- board -----------------------------------------------------------------

// A wooden tile: base colour with soft grain lines; `seed` shifts the grain.
QImage Tile(int side, const QColor& base, int seed, bool highlighted) {
  QImage tile(side, side, QImage::Format_RGB32);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) {
      const double u = double(x) / side, v = double(y) / side;
      const double grain = std::sin((v * 9 + std::sin(u * 3.1 + seed) * 0.8 + seed) * 3.14159 * 2);
      const double ring = std::sin((u * 2.3 + v * 0.4 + seed * 0.7) * 3.14159 * 6);
      const int shade = int(grain * 9 + ring * 4);
      QColor c = base;
      if (highlighted) c = QColor::fromRgb((c.red() + 90) / 2, std::min(255, (c.green() + 255) / 2), c.blue() / 2);
      tile.setPixel(x, y, qRgb(std::clamp(c.red() + shade, 0, 255), std::clamp(c.green() + shade, 0, 255),
                               std::clamp(c.blue() + shade / 2, 0, 255)));
    }
  QPainter p(&tile);
  p.setPen(QColor(0, 0, 0, 40));
  p.drawLine(0, side - 1, side - 1, side - 1);
  p.drawLine(side - 1, 0, side - 1, side - 1);
  return tile;
}

QImage BoardStrip(int side) {
  return Strip({Tile(side, kLightWood, 0, false), Tile(side, kDarkWood, 2, false), Tile(side, kFrameWood, 5, false),
                Tile(side, kLightWood, 0, true), Tile(side, kDarkWood, 2, true)});
}

// ---- replay glyphs ---------------------------------------------------------

QImage Glyph(const Draw& draw) {
  QImage image(12, 11, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(30, 30, 30));
  draw(p);
  return image;
}

void Triangle(QPainter& p, double x, double w, bool right) {
  QPolygonF t;
  if (right)
    t << QPointF(x, 1) << QPointF(x + w, 5.5) << QPointF(x, 10);
  else
    t << QPointF(x + w, 1) << QPointF(x, 5.5) << QPointF(x + w, 10);
  p.drawPolygon(t);
}

std::vector<QImage> ReplayGlyphs() {
  return {
      Glyph([](QPainter& p) {  // to the start: bar and two triangles
        p.drawRect(QRectF(0.5, 1, 2, 9));
        Triangle(p, 2.5, 4.5, false);
        Triangle(p, 7, 4.5, false);
      }),
      Glyph([](QPainter& p) { Triangle(p, 3, 5.5, false); }),  // one move back
      Glyph([](QPainter& p) {                                  // play: a green arrow
        p.setBrush(QColor(0, 130, 0));
        Triangle(p, 2, 8, true);
      }),
      Glyph([](QPainter& p) {  // one move forward: triangle and bar
        Triangle(p, 2.5, 5.5, true);
        p.drawRect(QRectF(8.5, 1, 2, 9));
      }),
      Glyph([](QPainter& p) {  // to the present: two triangles and bar
        Triangle(p, 0.5, 4.5, true);
        Triangle(p, 5, 4.5, true);
        p.drawRect(QRectF(9.5, 1, 2, 9));
      }),
  };
}

bool Report(bool ok, const QString& path) {
  if (!ok) std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  return ok;
}

}  // namespace

bool WriteGameArt(const QDir& out) {
  bool ok = true;
  // The checkers strips are clear in the colour of their top-left pixel.
  const unsigned checkersKey = qRgb(255, 0, 255);
  const unsigned chessKey = qRgb(255, 255, 255);
  auto gif = [&](const QImage& image, const char* name, const unsigned* key) {
    const QString path = out.filePath(name);
    ok &= Report(WriteGif(image, path, key), path);
  };
  gif(CheckersStrip(50, 48, checkersKey), "checkers.gif", &checkersKey);
  gif(CheckersStrip(26, 25, checkersKey), "checkerssmall.gif", &checkersKey);
  gif(ChessStrip(60, 68), "chess.gif", &chessKey);
  gif(ChessStrip(30, 34), "chesssmall.gif", &chessKey);
  gif(BoardStrip(70), "board.gif", nullptr);
  gif(BoardStrip(35), "boardsmall.gif", nullptr);
  int n = 0;
  for (const QImage& glyph : ReplayGlyphs()) {
    const QString path = out.filePath(QString("replay%1.png").arg(n++));
    ok &= Report(glyph.save(path, "PNG"), path);
  }
  return ok;
}

}  // namespace game_art
