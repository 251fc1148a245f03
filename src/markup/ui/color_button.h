#pragma once
// ColorButton: a push button whose face is one colour.  A click opens the
// colour chooser on that colour; a confirmed choice becomes the button's
// colour and is announced by Changed().  The button's ordinary clicked()
// follows the chooser either way, so owners connected to clicked() run
// after it.
#include <QColor>
#include <QPushButton>

namespace markup {

class ColorButton : public QPushButton {
  Q_OBJECT

 public:
  explicit ColorButton(QWidget* parent = nullptr);

  QColor Color() const { return color_; }
  // Stores and repaints when the colour differs; raises no Changed().
  void SetColor(const QColor& color);
  // The colour as a Windows colour value, red in the low byte.
  uint32_t ColorValue() const;
  void SetColorValue(uint32_t bgr);

  QSize sizeHint() const override { return size(); }

 signals:
  // The user confirmed a colour in the chooser.
  void Changed(markup::ColorButton* sender);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void PickColor();

  QColor color_{255, 0, 0};
};

}  // namespace markup
