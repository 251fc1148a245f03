// The colour button on the offscreen platform: the chooser confirmed and
// cancelled (answered through the real QColorDialog), the order of the
// change and click reports, and the painted face, edge and focus frame.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QImage>
#include <QTimer>
#include <QVBoxLayout>
#include <string>
#include <vector>

#include "markup/ui/color_button.h"

using markup::ColorButton;

namespace {

// Answers the colour chooser that the next click opens.
void AnswerChooser(const QColor& pick, bool accept) {
  QTimer::singleShot(0, [pick, accept] {
    auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->testOption(QColorDialog::NoButtons));
    dialog->setCurrentColor(pick);
    if (accept)
      dialog->accept();
    else
      dialog->reject();
  });
}

struct Recorder {
  std::vector<std::string> events;
  QColor colorAtClick;
  void Attach(ColorButton& b) {
    QObject::connect(&b, &ColorButton::Changed, [this](ColorButton*) { events.push_back("change"); });
    QObject::connect(&b, &QPushButton::clicked, [this, &b] {
      events.push_back("click");
      colorAtClick = b.Color();
    });
  }
};

}  // namespace

TEST(ColorButton, StartsRedAndTwentySixByTwentyOne) {
  ColorButton b;
  EXPECT_EQ(b.Color(), QColor(255, 0, 0));
  EXPECT_EQ(b.ColorValue(), 0x0000FFu);
  EXPECT_EQ(b.size(), QSize(26, 21));
  b.SetColorValue(0x00FF8000);  // blue high byte, green middle
  EXPECT_EQ(b.Color(), QColor(0, 0x80, 0xFF));
  EXPECT_EQ(b.ColorValue(), 0x00FF8000u);
}

TEST(ColorButton, ConfirmedChoiceChangesThenClicks) {
  ColorButton b;
  Recorder r;
  r.Attach(b);
  AnswerChooser(QColor(0, 200, 0), true);
  b.click();
  EXPECT_EQ(b.Color(), QColor(0, 200, 0));
  EXPECT_EQ(r.events, (std::vector<std::string>{"change", "click"}));
  EXPECT_EQ(r.colorAtClick, QColor(0, 200, 0));
}

TEST(ColorButton, CancelledChooserKeepsColourButStillClicks) {
  ColorButton b;
  b.SetColor(QColor(10, 20, 30));
  Recorder r;
  r.Attach(b);
  AnswerChooser(QColor(0, 200, 0), false);
  b.click();
  EXPECT_EQ(b.Color(), QColor(10, 20, 30));
  EXPECT_EQ(r.events, (std::vector<std::string>{"click"}));
}

TEST(ColorButton, ChooserOpensOnTheCurrentColour) {
  ColorButton b;
  b.SetColor(QColor(1, 2, 3));
  QColor seen;
  QTimer::singleShot(0, [&seen] {
    auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    seen = dialog->currentColor();
    dialog->reject();
  });
  b.click();
  EXPECT_EQ(seen, QColor(1, 2, 3));
}

TEST(ColorButton, FaceEdgeAndFocusFrameFollowThePress) {
  QDialog owner;
  auto* layout = new QVBoxLayout(&owner);
  auto* b = new ColorButton(&owner);
  layout->addWidget(b);
  b->SetColor(QColor(0, 0, 255));
  owner.show();
  QApplication::setActiveWindow(&owner);
  b->setFocus();
  ASSERT_TRUE(b->hasFocus());
  const QColor light = b->palette().color(QPalette::Light);
  const QColor dark = b->palette().color(QPalette::Dark);
  const QColor frame(255, 255, 0);  // opposite of the blue face

  const QImage raised = b->grab().toImage();
  EXPECT_EQ(raised.pixel(13, 10), QColor(0, 0, 255).rgb());
  EXPECT_EQ(raised.pixel(0, 0), QColor(light).rgb());
  EXPECT_EQ(raised.pixel(25, 20), QColor(dark).rgb());
  EXPECT_EQ(raised.pixel(3, 3), QColor(frame).rgb());
  EXPECT_EQ(raised.pixel(4, 4), QColor(0, 0, 255).rgb());

  b->setDown(true);
  const QImage pressed = b->grab().toImage();
  EXPECT_EQ(pressed.pixel(0, 0), QColor(dark).rgb());
  EXPECT_EQ(pressed.pixel(25, 20), QColor(light).rgb());
  EXPECT_EQ(pressed.pixel(4, 4), QColor(frame).rgb());
  EXPECT_EQ(pressed.pixel(3, 3), QColor(0, 0, 255).rgb());

  b->setDown(false);
  b->clearFocus();
  const QImage unfocused = b->grab().toImage();
  EXPECT_EQ(unfocused.pixel(3, 3), QColor(0, 0, 255).rgb());
}
