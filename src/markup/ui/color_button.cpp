#include "markup/ui/color_button.h"

#include <QColorDialog>
#include <QEvent>
#include <QPainter>
#include <QPointer>

namespace markup {

ColorButton::ColorButton(QWidget* parent) : QPushButton(parent) {
  resize(21 + 5, 21);
  setMinimumSize(size());
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  // Connected before any owner can connect, so the chooser runs first.
  connect(this, &QAbstractButton::clicked, this, &ColorButton::PickColor);
}

void ColorButton::SetColor(const QColor& color) {
  const QColor rgb = color.toRgb();
  if (rgb == color_) return;
  color_ = rgb;
  update();
}

uint32_t ColorButton::ColorValue() const {
  return uint32_t(color_.red()) | uint32_t(color_.green()) << 8 | uint32_t(color_.blue()) << 16;
}

void ColorButton::SetColorValue(uint32_t bgr) {
  SetColor(QColor(int(bgr & 0xFF), int(bgr >> 8 & 0xFF), int(bgr >> 16 & 0xFF)));
}

void ColorButton::PickColor() {
  QPointer<ColorButton> self(this);
  QColorDialog dialog(color_, this);
  dialog.setObjectName("ColorDialog");
  dialog.setOption(QColorDialog::DontUseNativeDialog);  // the custom colours stay visible
  const bool ok = dialog.exec() == QDialog::Accepted;
  if (!self || !ok) return;
  const QColor chosen = dialog.selectedColor();
  if (!chosen.isValid()) return;
  SetColor(chosen);
  emit Changed(this);
}

void ColorButton::changeEvent(QEvent* event) {
  QPushButton::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) update();
}

void ColorButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect();
  const bool pressed = isDown();
  // One-pixel edge: light above and left when raised, dark when sunken.
  const QColor light = palette().color(QPalette::Light);
  const QColor dark = palette().color(QPalette::Dark);
  const QColor topLeft = pressed ? dark : light;
  const QColor bottomRight = pressed ? light : dark;
  p.setPen(topLeft);
  p.drawLine(r.topLeft(), r.topRight());
  p.drawLine(r.topLeft(), r.bottomLeft());
  p.setPen(bottomRight);
  p.drawLine(r.bottomLeft(), r.bottomRight());
  p.drawLine(r.topRight(), r.bottomRight());

  const QRect face = r.adjusted(1, 1, -1, -1);
  p.fillRect(face, palette().color(QPalette::Button));
  p.fillRect(face, color_);

  // The focus frame of the active button, one pixel right and down while
  // pressed, in the colour opposite the face so that it shows on any.
  if (hasFocus() && (isDefault() || autoDefault())) {
    QRect focus = r.adjusted(3, 3, -3, -3);
    if (pressed) focus.translate(1, 1);
    p.setPen(QColor(255 - color_.red(), 255 - color_.green(), 255 - color_.blue()));
    // Every other pixel of the frame, starting at its top-left corner.
    for (int x = focus.left(); x <= focus.right(); ++x)
      for (int y : {focus.top(), focus.bottom()})
        if ((x - focus.left() + y - focus.top()) % 2 == 0) p.drawPoint(x, y);
    for (int y = focus.top() + 1; y < focus.bottom(); ++y)
      for (int x : {focus.left(), focus.right()})
        if ((x - focus.left() + y - focus.top()) % 2 == 0) p.drawPoint(x, y);
  }
}

}  // namespace markup
