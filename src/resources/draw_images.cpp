// Draws the program's built-in pictures into PNG files, and the program's
// icon at the sizes of the desktop icon theme:
//   draw_images src/resources/images src/resources/icons
// The PNGs are committed and compiled in through images.qrc; run this again
// after changing the art.
#include <QDir>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>

#include "game_art.h"

namespace {

constexpr int kSize = 15;

// Pixels per unit of the drawing: 2 draws the same pictures for screens at
// 200 % (the "@2x" files); the drawing code keeps its 1x coordinates.
int gScale = 1;

QImage Canvas(int w = kSize, int h = kSize) {
  QImage image(w * gScale, h * gScale, QImage::Format_ARGB32);
  image.setDevicePixelRatio(gScale);
  image.fill(Qt::transparent);
  return image;
}

// A yellow face with a dark rim; `features` draws eyes and mouth.
QImage Face(const QColor& fill, const std::function<void(QPainter&)>& features) {
  QImage image = Canvas();
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(120, 80, 0), 1));
  p.setBrush(fill);
  p.drawEllipse(QRectF(0.5, 0.5, 14, 14));
  p.setPen(QPen(Qt::black, 1.2, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::black);
  features(p);
  return image;
}

void Eyes(QPainter& p) {
  p.drawEllipse(QRectF(4.2, 4.2, 1.8, 2.4));
  p.drawEllipse(QRectF(9.0, 4.2, 1.8, 2.4));
}

void Arc(QPainter& p, double y, double depth) {
  QPainterPath mouth;
  mouth.moveTo(4, y);
  mouth.quadTo(7.5, y + depth, 11, y);
  p.setBrush(Qt::NoBrush);
  p.drawPath(mouth);
}

const QColor kYellow(255, 215, 40);

std::vector<QImage> Smileys() {
  std::vector<QImage> s;
  s.push_back(Face(kYellow, [](QPainter& p) { Eyes(p); Arc(p, 9, 3); }));                 // :)  smile
  s.push_back(Face(kYellow, [](QPainter& p) { Eyes(p); Arc(p, 11.5, -3); }));             // :(  sad
  s.push_back(Face(kYellow, [](QPainter& p) {                                              // :u: wink
    p.drawEllipse(QRectF(4.2, 4.2, 1.8, 2.4));
    p.drawLine(QPointF(8.8, 5.6), QPointF(11, 5.6));
    Arc(p, 9, 3);
  }));
  s.push_back(Face(kYellow, [](QPainter& p) {                                              // :d: big grin
    Eyes(p);
    QPainterPath m;
    m.moveTo(3.5, 8.5);
    m.quadTo(7.5, 14.5, 11.5, 8.5);
    m.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(m);
  }));
  s.push_back(Face(kYellow, [](QPainter& p) {                                              // :w: surprised
    Eyes(p);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(6, 8.5, 3, 3.5));
  }));
  s.push_back(Face(QColor(255, 90, 60), [](QPainter& p) {                                 // :a: angry
    p.drawLine(QPointF(3.5, 3.5), QPointF(6.5, 5.2));
    p.drawLine(QPointF(11.5, 3.5), QPointF(8.5, 5.2));
    Eyes(p);
    Arc(p, 11.5, -2.5);
  }));
  s.push_back(Face(kYellow, [](QPainter& p) {                                              // :v: cool
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2.5, 4, 4.5, 3), 1, 1);
    p.drawRoundedRect(QRectF(8, 4, 4.5, 3), 1, 1);
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(QPointF(6.5, 5), QPointF(8.5, 5));
    Arc(p, 9.5, 2.5);
  }));
  s.push_back(Face(kYellow, [](QPainter& p) {                                              // :z: tongue
    Eyes(p);
    p.drawLine(QPointF(4, 9), QPointF(11, 9));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 60, 90));
    p.drawEllipse(QRectF(7, 9, 3, 3.5));
  }));
  s.push_back(Face(kYellow, [](QPainter& p) {                                              // :y: crying
    Eyes(p);
    Arc(p, 11.5, -2.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 120, 255));
    p.drawEllipse(QRectF(3.5, 7, 2, 3));
    p.drawEllipse(QRectF(9.5, 7, 2, 3));
  }));
  s.push_back(Face(kYellow, [](QPainter& p) {                                              // :h: kiss with heart
    Eyes(p);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 0, 60));
    QPainterPath heart;
    heart.moveTo(7.5, 13);
    heart.cubicTo(3, 10, 4.5, 7.5, 7.5, 9.5);
    heart.cubicTo(10.5, 7.5, 12, 10, 7.5, 13);
    p.drawPath(heart);
  }));
  return s;
}

// A small framed glyph for the state and list icons.
QImage Icon(const std::function<void(QPainter&)>& draw) {
  QImage image = Canvas();
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  draw(p);
  return image;
}

QImage Speaker(const QColor& color) {
  return Icon([color](QPainter& p) {
    p.setPen(QPen(color.darker(150), 1));
    p.setBrush(color);
    QPolygonF cone;
    cone << QPointF(1.5, 5.5) << QPointF(4.5, 5.5) << QPointF(8, 2) << QPointF(8, 13) << QPointF(4.5, 9.5)
         << QPointF(1.5, 9.5);
    p.drawPolygon(cone);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(7, 4.5, 5, 6), -60 * 16, 120 * 16);
    p.drawArc(QRectF(7, 2.5, 7.5, 10), -60 * 16, 120 * 16);
  });
}

QImage Ticks(const QColor& color, int count) {
  return Icon([color, count](QPainter& p) {
    p.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (int i = 0; i < count; ++i) {
      const double dx = count == 1 ? 2 : i * 4;
      QPolygonF tick;
      tick << QPointF(1 + dx, 8) << QPointF(4 + dx, 11) << QPointF(10 + dx, 3.5);
      p.drawPolyline(tick);
    }
  });
}

QImage Letter(const QColor& back, const QString& letter) {
  return Icon([back, letter](QPainter& p) {
    p.setPen(QPen(back.darker(140), 1));
    p.setBrush(back);
    p.drawRoundedRect(QRectF(0.5, 0.5, 14, 14), 3, 3);
    QFont f("DejaVu Sans");
    f.setPixelSize(11);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 0, 15, 15), Qt::AlignCenter, letter);
  });
}

std::vector<QImage> StateIcons() {
  std::vector<QImage> s;
  s.push_back(Icon([](QPainter& p) {  // -11 archive shortcut: a book
    p.setPen(QPen(QColor(90, 50, 10), 1));
    p.setBrush(QColor(200, 120, 40));
    p.drawRect(QRectF(2.5, 1.5, 10, 12));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 3.5, 6, 3));
    p.drawLine(QPointF(4.5, 11.5), QPointF(10.5, 11.5));
  }));
  s.push_back(Speaker(QColor(40, 170, 40)));    // -12 sound, same client version
  s.push_back(Speaker(QColor(150, 150, 150)));  // -13 sound, unknown version
  s.push_back(Speaker(QColor(40, 110, 230)));   // -14 sound, newer version
  s.push_back(Icon([](QPainter& p) {            // -15 waiting for the server: hourglass
    p.setPen(QPen(QColor(120, 80, 0), 1));
    p.setBrush(QColor(250, 200, 80));
    QPolygonF glass;
    glass << QPointF(3, 1.5) << QPointF(12, 1.5) << QPointF(7.5, 7.5) << QPointF(12, 13.5) << QPointF(3, 13.5)
          << QPointF(7.5, 7.5);
    p.drawPolygon(glass);
  }));
  s.push_back(Ticks(QColor(120, 120, 120), 1));  // -16 accepted by the server
  s.push_back(Ticks(QColor(0, 150, 0), 2));      // -17 delivered
  s.push_back(Icon([](QPainter& p) {             // -18 kept for an offline addressee: envelope
    p.setPen(QPen(QColor(60, 60, 140), 1));
    p.setBrush(QColor(235, 235, 255));
    p.drawRect(QRectF(1.5, 3.5, 12, 8));
    p.drawPolyline(QPolygonF{QPointF(1.5, 3.5), QPointF(7.5, 8.5), QPointF(13.5, 3.5)});
  }));
  s.push_back(Letter(QColor(40, 100, 220), "M"));  // -19 male
  s.push_back(Letter(QColor(220, 60, 150), "F"));  // -20 female
  s.push_back(Speaker(QColor(220, 130, 0)));       // -21 sound, older version
  s.push_back(Letter(QColor(0, 140, 140), "i"));   // -22 information with photos
  s.push_back(Letter(QColor(150, 150, 150), "i")); // -23 information without photos
  return s;
}

QImage Logo() {
  QImage image = Canvas(160, 32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(30, 90, 200));
  p.drawRoundedRect(QRectF(1, 3, 26, 20), 6, 6);
  QPolygonF tail;
  tail << QPointF(7, 22) << QPointF(5, 30) << QPointF(14, 22);
  p.drawPolygon(tail);
  p.setBrush(Qt::white);
  for (int i = 0; i < 3; ++i) p.drawEllipse(QRectF(6 + i * 6, 11, 4, 4));
  QFont f("DejaVu Sans");
  f.setPixelSize(15);
  f.setBold(true);
  p.setFont(f);
  p.setPen(QColor(30, 90, 200));
  const double chatWidth = QFontMetricsF(f).horizontalAdvance("Chat ");
  p.drawText(QRectF(31, 0, 129, 32), Qt::AlignVCenter | Qt::AlignLeft, "Chat");
  p.setPen(QColor(230, 120, 0));
  p.drawText(QRectF(31 + chatWidth, 0, 129 - chatWidth, 32), Qt::AlignVCenter | Qt::AlignLeft, "browser");
  return image;
}

// The program's icon: the speech bubble of the logo, filling a square of
// `size` pixels, for the desktop's icon theme.
QImage AppIcon(int size) {
  QImage image = Canvas(size, size);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 32.0, size / 32.0);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(30, 90, 200));
  p.drawRoundedRect(QRectF(1, 2, 30, 22), 7, 7);
  QPolygonF tail;
  tail << QPointF(8, 22) << QPointF(5, 31) << QPointF(17, 22);
  p.drawPolygon(tail);
  p.setBrush(QColor(230, 120, 0));
  p.drawEllipse(QRectF(22, 0, 9, 9));  // the orange of "browser": something new waits
  p.setBrush(Qt::white);
  for (int i = 0; i < 3; ++i) p.drawEllipse(QRectF(7 + i * 7, 10.5, 4.5, 4.5));
  return image;
}

constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// The lamps: send off/on, receive off/on, 9 x 7 each.
std::vector<QImage> Lamps() {
  std::vector<QImage> s;
  const QColor colors[] = {QColor(110, 30, 30), QColor(255, 40, 40), QColor(20, 90, 20), QColor(40, 240, 40)};
  for (const QColor& c : colors) {
    QImage image = Canvas(9, 7);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(c);
    p.drawRoundedRect(QRectF(0.5, 0.5, 8, 6), 2, 2);
    s.push_back(image);
  }
  return s;
}

bool Save(const QImage& image, const QString& path) {
  if (!image.save(path, "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: draw_images <output folder> [<icon folder>]\n");
    return 2;
  }
  QDir out(QString::fromLocal8Bit(argv[1]));
  out.mkpath(".");
  bool ok = true;
  for (int scale : {1, 2}) {
    gScale = scale;
    const QString suffix = scale == 1 ? ".png" : "@2x.png";
    int n = 1;
    for (const QImage& image : Smileys()) ok &= Save(image, out.filePath(QString("image%1").arg(n++) + suffix));
    for (const QImage& image : StateIcons()) ok &= Save(image, out.filePath(QString("image%1").arg(n++) + suffix));
    ok &= Save(Logo(), out.filePath("logo" + suffix));
    int lamp = 0;
    for (const QImage& image : Lamps()) ok &= Save(image, out.filePath(QString("led%1").arg(lamp++) + suffix));
  }
  gScale = 1;
  ok &= game_art::WriteGameArt(out);
  if (argc == 3) {
    QDir icons(QString::fromLocal8Bit(argv[2]));
    icons.mkpath(".");
    for (int size : kIconSizes) ok &= Save(AppIcon(size), icons.filePath(QString("chat-browser-%1.png").arg(size)));
  }
  return ok ? 0 : 1;
}
