// A pane used as a text view: selecting with the mouse and copying, the
// keys that scroll it, the find marks and the "new messages below" marker.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>
#include <memory>

#include "markup/pane_text.h"
#include "markup/ui/markup_view.h"
#include "text/cp1251.h"

using markup::MarkupView;
using markup::TextPoint;

namespace {

class ReadingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    markup::ViewGlobals::OnPictureText = [](int n, const std::string& address) {
      return n == -1 ? std::string(":)") : n > 0 ? address : std::string();
    };
    window = std::make_unique<QWidget>();
    auto* column = new QVBoxLayout(window.get());
    edit = new QLineEdit(window.get());
    view = new MarkupView(window.get());
    column->addWidget(edit);
    column->addWidget(view);
    window->resize(320, 240);
    window->show();
    window->activateWindow();
    QApplication::processEvents();
  }
  void TearDown() override { markup::ViewGlobals::OnPictureText = nullptr; }

  // The window point in the middle of byte `offset` of line `line`.
  QPoint PointOf(size_t line, size_t offset) {
    markup::MarkupDocument& doc = view->Document();
    const auto placement = doc.PlaceOf(line);
    const auto text = markup::PlainLineText(placement.pieces);
    const auto rects = markup::RangeRects(placement, text, doc.Measurer(), offset, offset + 1);
    EXPECT_FALSE(rects.empty());
    if (rects.empty()) return {};
    return view->contentsRect().topLeft() +
           QPoint(rects[0].x + rects[0].width / 4, rects[0].y + rects[0].height / 2 - doc.VertScrollPos());
  }
  void Mouse(QEvent::Type type, const QPoint& at, Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, view->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                  buttons, Qt::NoModifier);
    QApplication::sendEvent(view, &e);
  }
  void Fill(int lines) {
    for (int i = 0; i < lines; ++i) view->NewString("line " + std::to_string(i), 0, 0xFFFFFF);
  }

  std::unique_ptr<QWidget> window;
  QLineEdit* edit = nullptr;
  MarkupView* view = nullptr;
};

TEST_F(ReadingTest, DragAcrossThreeLinesCopiesTheirTextWithTheSmileyCode) {
  view->NewString("alpha one", 0, 0xFFFFFF);
  view->NewString("<b>beta</b> <pict=-1> two", 0, 0xFFFFFF);
  view->NewString("gamma three", 0, 0xFFFFFF);
  Mouse(QEvent::MouseButtonPress, PointOf(0, 6), Qt::LeftButton);
  Mouse(QEvent::MouseMove, PointOf(1, 3), Qt::LeftButton);
  Mouse(QEvent::MouseMove, PointOf(2, 5), Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, PointOf(2, 5), Qt::NoButton);
  EXPECT_TRUE(view->hasFocus());
  ASSERT_TRUE(view->HasSelection());
  EXPECT_EQ(view->SelectedText(), "one\nbeta :) two\ngamma");
  QApplication::clipboard()->clear();
  QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "one\nbeta :) two\ngamma");

  // The selection is drawn: the grabbed pane differs where it lies.
  const QImage selected = view->grab().toImage();
  view->ClearSelection();
  const QImage plain = view->grab().toImage();
  EXPECT_NE(selected, plain);

  // A double click takes the word; Ctrl+A everything.
  QMouseEvent dbl(QEvent::MouseButtonDblClick, PointOf(2, 8), view->mapToGlobal(PointOf(2, 8)), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view, &dbl);
  EXPECT_EQ(view->SelectedText(), "three");
  QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "alpha one\nbeta :) two\ngamma three");
}

// Contrast ratio of two colours as accessibility guidelines measure it.
double ContrastOf(const QColor& a, const QColor& b) {
  auto lum = [](const QColor& c) {
    auto ch = [](int v) {
      const double x = v / 255.0;
      return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * ch(c.red()) + 0.7152 * ch(c.green()) + 0.0722 * ch(c.blue());
  };
  const double la = lum(a), lb = lum(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(ReadingTest, HighContrastPaletteKeepsThePaneColoursAndShowsSelectionAndFocus) {
  // A dark high-contrast theme: black windows, a light cyan highlight that
  // would vanish on the pane's white.
  const QPalette before = QApplication::palette();
  QPalette contrast(before);
  contrast.setColor(QPalette::Window, Qt::black);
  contrast.setColor(QPalette::WindowText, Qt::white);
  contrast.setColor(QPalette::Base, Qt::black);
  contrast.setColor(QPalette::Text, Qt::white);
  contrast.setColor(QPalette::Highlight, QColor(0x1A, 0xEB, 0xFF));
  contrast.setColor(QPalette::HighlightedText, Qt::black);
  QApplication::setPalette(contrast);
  // Without a running event loop Qt passes a new palette only to new widgets.
  window.reset();
  SetUp();
  ASSERT_EQ(view->palette().color(QPalette::Highlight), QColor(0x1A, 0xEB, 0xFF));
  view->NewString("alpha one two three four", 0, 0xFFFFFF);
  view->setFocus();
  ASSERT_TRUE(view->hasFocus());
  QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
  const QImage image = view->grab().toImage();
  const QRect cr = view->contentsRect();
  const QColor white(Qt::white);
  // The pane's own colour follows the palette; its line keeps the chat's white.
  const QColor black(Qt::black);
  EXPECT_EQ(image.pixelColor(cr.center().x(), cr.bottom() - 10), black);
  const QPoint start = PointOf(0, 5);  // the blank after "alpha"
  // The focus frame along the left edge, below the text, stands out.
  double frame = 0;
  for (int y = cr.center().y(); y < cr.center().y() + 20; ++y)
    frame = std::max(frame, ContrastOf(image.pixelColor(cr.left(), y), black));
  EXPECT_GE(frame, 3.0);
  // So does the selection's fill between the words, over the line's white.
  double selection = 0;
  for (int y = start.y() - 3; y <= start.y() + 3; ++y)
    selection = std::max(selection, std::min(ContrastOf(image.pixelColor(start.x(), y), white),
                                             ContrastOf(image.pixelColor(start.x() + 1, y), white)));
  EXPECT_GE(selection, 2.0);
  EXPECT_LT(selection, 10.0);  // a tint, not a black bar over the text
  QApplication::setPalette(before);
}

TEST_F(ReadingTest, TabReachesThePaneAndKeysScrollIt) {
  Fill(200);
  edit->setFocus();
  ASSERT_TRUE(edit->hasFocus());
  QTest::keyClick(edit, Qt::Key_Tab);
  ASSERT_TRUE(view->hasFocus());
  const markup::MarkupDocument& doc = view->Document();
  const int bottom = doc.VertScrollPos();
  ASSERT_GT(bottom, 0);
  QTest::keyClick(view, Qt::Key_Home);
  EXPECT_EQ(doc.VertScrollPos(), 0);
  QTest::keyClick(view, Qt::Key_Down);
  EXPECT_EQ(doc.VertScrollPos(), doc.VertScrollIncrement());
  QTest::keyClick(view, Qt::Key_PageDown);
  EXPECT_EQ(doc.VertScrollPos(), doc.ClientHeight());
  QTest::keyClick(view, Qt::Key_Up);
  EXPECT_EQ(doc.VertScrollPos(), doc.ClientHeight() - doc.VertScrollIncrement());
  QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(doc.VertScrollPos(), bottom);
  QTest::keyClick(view, Qt::Key_PageUp);
  EXPECT_EQ(doc.VertScrollPos(), bottom - (doc.ClientHeight() - doc.VertScrollIncrement()));
  EXPECT_EQ(view->ScrollBar()->value(), doc.VertScrollPos());
}

TEST_F(ReadingTest, FindMarksMatchesAndGoesNextAndPrevious) {
  view->NewString("a cat here", 0, 0xFFFFFF);
  Fill(150);
  view->NewString(text::W("another CAT and a саt"), 0, 0xFFFFFF);  // Cyrillic "са" looks Latin
  view->Document().SetVertScrollPos(0);
  const QImage before = view->grab().toImage();
  view->SetFindText("cat");
  EXPECT_NE(view->grab().toImage(), before);  // the match on screen is marked
  ASSERT_TRUE(view->FindNext(true));
  EXPECT_EQ(view->CurrentMatch()->at, (TextPoint{0, 2}));
  ASSERT_TRUE(view->FindNext(true));
  EXPECT_EQ(view->CurrentMatch()->at, (TextPoint{151, 8}));
  // Scrolled into view.
  const markup::MarkupDocument& doc = view->Document();
  const int top = doc.lines()[151]->top;
  EXPECT_GE(top, doc.VertScrollPos());
  EXPECT_LE(top, doc.VertScrollPos() + doc.ClientHeight());
  ASSERT_TRUE(view->FindNext(true));
  EXPECT_EQ(view->CurrentMatch()->at, (TextPoint{151, 18}));
  ASSERT_TRUE(view->FindNext(true));
  EXPECT_EQ(view->CurrentMatch()->at, (TextPoint{0, 2}));  // round again
  EXPECT_EQ(doc.VertScrollPos(), 0);
  ASSERT_TRUE(view->FindNext(false));
  EXPECT_EQ(view->CurrentMatch()->at, (TextPoint{151, 18}));
  view->SetFindText("dog");
  EXPECT_FALSE(view->FindNext(true));
}

TEST_F(ReadingTest, NewMessagesMarkerWhileScrolledUp) {
  Fill(100);
  EXPECT_TRUE(!view->NewLinesMarker() || view->NewLinesMarker()->isHidden());
  QTest::keyClick(view, Qt::Key_Home);
  const int kept = view->Document().VertScrollPos();
  view->NewString("fresh", 0, 0xFFFFFF);
  ASSERT_TRUE(view->NewLinesMarker());
  EXPECT_TRUE(view->NewLinesMarker()->isVisible());
  EXPECT_EQ(view->Document().VertScrollPos(), kept);  // the reader keeps his place
  view->NewLinesMarker()->click();
  EXPECT_TRUE(view->Document().AtBottom());
  EXPECT_FALSE(view->NewLinesMarker()->isVisible());
  // At the bottom new lines need no marker.
  view->NewString("more", 0, 0xFFFFFF);
  EXPECT_FALSE(view->NewLinesMarker()->isVisible());
}

}  // namespace

namespace {

// A screen reader following a busy pane: the text it reads grows with every
// line as the line comes, and stays exactly the text of the readable lines
// when the window of readable lines moves on.
TEST_F(ReadingTest, AScreenReaderReadsTheNewestLinesAsTheyCome) {
  QAccessible::setActive(true);
  QAccessibleInterface* pane = QAccessible::queryAccessibleInterface(view);
  ASSERT_TRUE(pane && pane->textInterface());
  QAccessibleTextInterface* text = pane->textInterface();
  const auto expected = [](int from, int to) {
    QStringList lines;
    for (int i = from; i < to; ++i) lines << QString("line %1").arg(i);
    return lines.join('\n');
  };
  Fill(20);
  EXPECT_EQ(text->text(0, text->characterCount()), expected(0, 20));
  for (int i = 20; i < 10010; ++i) {
    view->NewString("line " + std::to_string(i), 0, 0xFFFFFF);
    if (i % 997 == 0 || i >= 9998) {
      QApplication::processEvents();
      EXPECT_TRUE(view->LastAnnouncement().endsWith(QString("\nline %1").arg(i))) << i;
    }
  }
  // 10,010 lines: the readable window starts at line 5,000.
  EXPECT_EQ(text->text(0, text->characterCount()), expected(5000, 10010));
  view->Document().Clear();
  view->NewString("after clear", 0, 0xFFFFFF);
  QApplication::processEvents();
  EXPECT_EQ(text->text(0, text->characterCount()), "after clear");
  QAccessible::setActive(false);
}

}  // namespace
