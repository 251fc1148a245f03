// The view widget on the offscreen platform: scroll bar, wheel, hover,
// clicks, the popup, painting.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QFontDatabase>
#include <QImage>
#include <QMenu>
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <cstdlib>
#include <memory>

#include "markup/markup_parser.h"
#include "markup/ui/markup_view.h"
#include "markup/painter_access.h"
#include "text/cp1251.h"

using markup::MarkupView;

namespace {

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    markup::ViewGlobals::russian = true;
    markup::ViewGlobals::OnStaticImage = nullptr;
    view = std::make_unique<MarkupView>();
    view->resize(300, 200);
    view->show();
    QApplication::processEvents();
  }
  void TearDown() override { markup::ViewGlobals::OnStaticImage = nullptr; }

  // Points are in client coordinates (inside the border).
  QPoint At(int x, int y) const { return view->contentsRect().topLeft() + QPoint(x, y); }
  void Move(int x, int y) {
    QMouseEvent e(QEvent::MouseMove, At(x, y), view->mapToGlobal(At(x, y)), Qt::NoButton,
                  Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view.get(), &e);
  }
  void Press(int x, int y, Qt::MouseButton button) {
    QMouseEvent e(QEvent::MouseButtonPress, At(x, y), view->mapToGlobal(At(x, y)), button, button,
                  Qt::NoModifier);
    QApplication::sendEvent(view.get(), &e);
  }
  bool Wheel(int delta) {
    QWheelEvent e(At(10, 10), view->mapToGlobal(At(10, 10)), QPoint(), QPoint(0, delta),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.get(), &e);
    return e.isAccepted();
  }
  void Fill(int lines) {
    for (int i = 0; i < lines; ++i) view->NewString("line " + std::to_string(i), 0, 0xFFFFFF);
  }
  int LineHeight() const { return view->Document().lines()[0]->Ascents()[0] + view->Document().lines()[0]->Descents()[0]; }

  std::unique_ptr<MarkupView> view;
};

TEST_F(ViewTest, ScrollBarMirrorsTheDocumentAndDrivesIt) {
  Fill(3);
  EXPECT_FALSE(view->ScrollBar()->isVisible());
  Fill(100);
  const auto& doc = view->Document();
  QScrollBar* bar = view->ScrollBar();
  ASSERT_TRUE(bar->isVisible());
  EXPECT_EQ(bar->maximum(), doc.VertScrollRange() - doc.ClientHeight());
  EXPECT_EQ(bar->value(), doc.VertScrollPos());
  EXPECT_EQ(bar->pageStep(), doc.ClientHeight());
  EXPECT_EQ(doc.ClientWidth(), view->contentsRect().width() - bar->width());
  const int bottom = doc.VertScrollPos();
  bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(doc.VertScrollPos(), bottom - 10);
  bar->triggerAction(QAbstractSlider::SliderPageStepSub);
  EXPECT_EQ(doc.VertScrollPos(), bottom - 10 - (doc.ClientHeight() - 10));
  EXPECT_EQ(bar->value(), doc.VertScrollPos());
  EXPECT_FALSE(doc.AtBottom());
  bar->setValue(7);  // dragging the thumb
  EXPECT_EQ(doc.VertScrollPos(), 7);
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(doc.VertScrollPos(), bottom);
  EXPECT_TRUE(doc.AtBottom());
  view->resize(250, 150);  // a pane at the end stays at the end when resized
  EXPECT_EQ(doc.VertScrollPos(), doc.ContentHeight() - doc.ClientHeight());
  EXPECT_EQ(bar->maximum(), doc.VertScrollPos());
  view->Clear();
  EXPECT_FALSE(bar->isVisible());
}

// A pane at its end taking line after line: the bar looks the same and is
// not painted again; a thumb that moves is.
TEST_F(ViewTest, TheScrollBarIsPaintedAgainOnlyWhenItsThumbMoves) {
  struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++paints;
      return false;
    }
  } counter;
  Fill(3000);
  QScrollBar* bar = view->ScrollBar();
  bar->installEventFilter(&counter);
  QApplication::processEvents();
  const QImage atEnd = bar->grab().toImage();
  QApplication::processEvents();
  counter.paints = 0;
  for (int i = 0; i < 5; ++i) {
    Fill(1);
    QTest::qWait(20);  // past a frame, so a repaint would have happened
  }
  EXPECT_EQ(counter.paints, 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  bar->triggerAction(QAbstractSlider::SliderToMinimum);
  EXPECT_TRUE(QTest::qWaitFor([&] { return counter.paints > 0; }, 5000));
  EXPECT_NE(bar->grab().toImage(), atEnd);
}

TEST_F(ViewTest, WheelScrollsFortyPixelsPerNotchOnlyWithTheBarShown) {
  Fill(2);
  EXPECT_FALSE(Wheel(-120));
  EXPECT_EQ(view->VertScrollPos(), 0);
  Fill(100);
  view->Document().SetVertScrollPos(0);
  EXPECT_TRUE(Wheel(-120));
  EXPECT_EQ(view->VertScrollPos(), 40);
}

TEST_F(ViewTest, HoverUnderlinesALinkAndShowsTheHand) {
  view->NewString("<link=\"click here\"target> plain", 0, 0xFFFFFF);
  const QImage before = view->Bitmap().toImage();
  Move(5, 5);
  EXPECT_EQ(view->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(view->Document().HoveredLine(), view->Document().lines()[0].get());
  const QImage hovered = view->Bitmap().toImage();
  EXPECT_NE(hovered, before);  // the underline
  Move(280, 5);
  EXPECT_EQ(view->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(view->Bitmap().toImage(), before);
  Move(5, 5);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(view.get(), &leave);
  EXPECT_EQ(view->Document().HoveredLine(), nullptr);
  EXPECT_EQ(view->Bitmap().toImage(), before);
}

TEST_F(ViewTest, ClickReportsTheLinkAfterTheWalkAndNotForADeadView) {
  std::vector<std::string> links;
  view->OnLink = [&links](markup::MarkupDocument&, const std::string& s) { links.push_back(s); };
  view->NewString("<link=\"click here\"target>", 0, 0xFFFFFF);
  Press(5, 5, Qt::LeftButton);
  EXPECT_TRUE(links.empty());  // queued, not called inside the walk
  QApplication::processEvents();
  EXPECT_EQ(links, std::vector<std::string>{"target"});

  // A handler that clears the pane is safe.
  view->OnLink = [this, &links](markup::MarkupDocument&, const std::string& s) {
    links.push_back(s);
    view->Clear();
  };
  view->NewString("<link=\"x\"second><link=\"y\"third>", 0, 0xFFFFFF);
  Press(5, view->Document().lines()[1]->top + 5, Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(links.back(), "second");
  EXPECT_EQ(view->Document().LineCount(), 0u);

  view->NewString("<link=\"click here\"gone>", 0, 0xFFFFFF);
  Press(5, 5, Qt::LeftButton);
  view.reset();
  QApplication::processEvents();
  EXPECT_EQ(links.back(), "second");
}

TEST_F(ViewTest, PopupOffersFiveItemsInTheChosenLanguage) {
  std::vector<std::string> copies;
  view->OnCopy = [&copies](markup::MarkupDocument&, const std::string& s) { copies.push_back(s); };
  view->NewString("a &lt; <b>b</b>", 0, 0xFFFFFF);
  Press(5, 150, Qt::RightButton);  // no StdPopup: nothing
  EXPECT_EQ(view->PopupMenu(), nullptr);

  view->SetStdPopup(true);
  Press(5, 150, Qt::RightButton);  // below the last line: the last line
  QMenu* menu = view->PopupMenu();
  ASSERT_NE(menu, nullptr);
  auto actions = menu->actions();
  ASSERT_EQ(actions.size(), 5);
  EXPECT_TRUE(actions[3]->isSeparator());
  EXPECT_EQ(actions[0]->text(), QString::fromUtf8("Копировать текст в буфер обмена"));
  EXPECT_EQ(actions[1]->text(), QString::fromUtf8("Копировать текст в строку сообщения"));
  EXPECT_EQ(actions[2]->text(), QString::fromUtf8("Копировать текст вместе c тэгами"));
  EXPECT_EQ(actions[4]->text(), QString::fromUtf8("Очистить окно"));
  actions[0]->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), QString("a < b"));
  actions[1]->trigger();
  actions[2]->trigger();
  ASSERT_EQ(copies.size(), 2u);
  EXPECT_EQ(copies[0], "a < b");
  EXPECT_EQ(copies[1], "<fcol=000000><bcol=FFFFFF>a < <b>b</b>");
  actions[4]->trigger();
  EXPECT_EQ(view->Document().LineCount(), 0u);
  menu->hide();

  markup::ViewGlobals::russian = false;
  view->NewString("x", 0, 0xFFFFFF);
  Press(5, 5, Qt::RightButton);
  actions = view->PopupMenu()->actions();
  ASSERT_EQ(actions.size(), 5);
  EXPECT_EQ(actions[0]->text(), QString("Copy text to clipboard"));
  EXPECT_EQ(actions[1]->text(), QString("Copy text to message box"));
  EXPECT_EQ(actions[2]->text(), QString("Copy message with tags"));
  EXPECT_EQ(actions[4]->text(), QString("Clear window"));
  view->PopupMenu()->hide();
}

TEST_F(ViewTest, BorderStyleChangesTheClientAreaAndViewsAreListed) {
  const int framed = view->Document().ClientWidth();
  view->SetBorderStyle(markup::ViewBorder::None);
  EXPECT_EQ(view->Document().ClientWidth(), view->width());
  EXPECT_GT(view->Document().ClientWidth(), framed);
  EXPECT_EQ(MarkupView::ViewOf(view->Document()), view.get());
  const auto* document = &view->Document();
  view.reset();
  for (auto* v : MarkupView::alltexts) EXPECT_NE(&v->Document(), document);
}

TEST_F(ViewTest, AppendingAtTheBottomPaintsWhatAFullRepaintPaints) {
  view->SetViewColor(0xE0E0E0);
  Fill(40);
  view->NewString("<fcol=0000ff>last <b>bold</b> <link=\"link\"t>", 0, 0xFFFFFF);
  const QImage incremental = view->Bitmap().toImage();
  view->PaintAll();
  EXPECT_EQ(view->Bitmap().toImage(), incremental);
  view->Document().SetVertScrollPos(view->VertScrollPos() - 25);
  const QImage scrolled = view->Bitmap().toImage();
  view->PaintAll();
  EXPECT_EQ(view->Bitmap().toImage(), scrolled);
}

// Lines appended within one turn of the event loop are painted once, at
// its end; the picture is the one line-by-line painting gives, for a burst
// shorter than the view, one longer than it, a change to the last line and
// a burst while the user looks at older lines.
TEST_F(ViewTest, ABurstPaintedOnceAtTheEndOfTheTurnLooksLikeLineByLinePainting) {
  MarkupView single;
  for (MarkupView* v : {&single, view.get()}) {
    v->resize(300, 200);
    v->show();
    v->SetViewColor(0xE0E0E0);
  }
  QApplication::processEvents();
  auto append = [](MarkupView& v, int from, int count) {
    for (int i = from; i < from + count; ++i) {
      v.NewString("<b>" + std::to_string(i) + "</b> a line of the room ", 0, i % 3 ? 0xFFFFFF : 0xCCFFCC);
      v.AddLink("bob:", "bob");
      v.AddString(" and <i>some</i> text after it");
    }
  };
  auto same = [&](const char* what) {
    QApplication::processEvents();
    EXPECT_EQ(single.VertScrollPos(), view->VertScrollPos()) << what;
    EXPECT_EQ(view->Bitmap().toImage(), single.Bitmap().toImage()) << what;
    EXPECT_EQ(view->grab().toImage(), single.grab().toImage()) << what;
  };
  int next = 0;
  for (int burst : {3, 40, 1, 25}) {
    for (int i = 0; i < burst; ++i) {
      append(single, next + i, 1);
      single.FlushPaint();
    }
    append(*view, next, burst);
    next += burst;
    same("burst");
  }
  for (MarkupView* v : {&single, view.get()}) v->ReplaceLastStr("<fcol=ff0000>the last line, replaced");
  same("replaced");
  // Scrolled up: what arrives below changes only the scroll bar's range.
  for (MarkupView* v : {&single, view.get()}) v->Document().SetVertScrollPos(v->VertScrollPos() - 70);
  same("scrolled");
  for (int i = 0; i < 5; ++i) {
    append(single, next + i, 1);
    single.FlushPaint();
  }
  append(*view, next, 5);
  same("burst while scrolled up");
}

// A flood: the lines that arrive while a frame that scrolls by a whole
// pane is coming are laid out only where they show when it comes, with the
// real frame timer, and the picture is the one line-by-line painting gives.
TEST_F(ViewTest, AFloodIsLaidOutOnlyWhereItShowsAndLooksAsLineByLine) {
  MarkupView single;
  for (MarkupView* v : {&single, view.get()}) {
    v->resize(300, 200);
    v->show();
  }
  QApplication::processEvents();
  auto append = [](MarkupView& v, int from, int count) {
    for (int i = from; i < from + count; ++i) {
      v.NewString("<b>" + std::to_string(i) + "</b> a line of the room " + std::string(i % 7 * 6, 'w'), 0,
                  i % 3 ? 0xFFFFFF : 0xCCFFCC);
      v.AddString(" and <i>some</i> text after it");
    }
  };
  int next = 0;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 300; ++i) {
      append(single, next + i, 1);
      single.FlushPaint();
    }
    const uint64_t laidBefore = view->Document().LinesLaidOut();
    append(*view, next, 300);
    next += 300;
    if (round > 0) {
      // The frame before scrolled by the whole pane: this one is paced and
      // the lines wait for it.
      EXPECT_FALSE(view->Document().Settled());
      ASSERT_TRUE(QTest::qWaitFor([&] { return view->Document().Settled(); }, 5000));
      EXPECT_LT(view->Document().LinesLaidOut() - laidBefore, 60u);
    }
    EXPECT_TRUE(view->Document().AtBottom());
    EXPECT_EQ(view->Bitmap().toImage(), single.Bitmap().toImage()) << "round " << round;
  }
  // Scrolling up through lines that were never laid out keeps the picture
  // still and lays them out as they come into view.
  const QImage bottom = view->Bitmap().toImage();
  QTest::keyClick(view.get(), Qt::Key_PageUp);
  QTest::keyClick(view.get(), Qt::Key_PageDown);
  EXPECT_EQ(view->Bitmap().toImage(), bottom);
}

// Fills a view with representative lines and writes it as a PNG for a
// person to look at; the checks below make sure the main features drew.
TEST_F(ViewTest, RepresentativePaneRendersToPng) {
  markup::ViewGlobals::OnStaticImage = [](int n, markup::MarkupCanvas* canvas, int x, int y, int mode) {
    if (mode == 1) return 16;
    if (mode == 2) return n == -100 ? 24 : 16;
    if (QPainter* painter = canvas ? markup::PainterOf(*canvas) : nullptr) {
      QPainter& p = *painter;
      p.setBrush(QColor(255, 200, 0));
      p.setPen(Qt::black);
      p.drawEllipse(x, y, 15, 15);
      p.drawPoint(x + 5, y + 5);
      p.drawPoint(x + 10, y + 5);
    }
    return 0;
  };
  view->resize(520, 420);
  QApplication::processEvents();
  const std::string W = text::W("Вася");
  view->NewString("4821 - 12:00:01 <link=\"" + W + "\"::" + W + "> <fcol=800000>" +
                      text::W("Привет всем! <b>жирный</b>, <i>курсив</i> и <b><i>оба</i></b>"),
                  0, 0xFFFFFF);
  view->NewString("<fcol=0000FF>red text<fcol=008000> green <bcol=00FFFF>yellow back<bcol=FFFFFF> white", 0, 0xFFFFFF);
  view->NewString("See www.example.com/page, (http://host.ru/a) and ftp.gnu.org.", 0, 0xFFFFFF);
  view->NewString("name<xpos=120>status<xpos=220>room", 0, 0xFFFFFF);
  view->NewString("<b>Petya</b><xpos=120>online<xpos=220>comm", 0, 0xFFFFFF);
  view->NewString("smileys <pict=-1> <pict=-2> link <link='-3'smile> and a URL picture <img src=http://h/p.gif>", 0, 0xFFFFFF);
  view->NewString("<nobr>This nobr text does not wrap even though it is much longer than the pane is wide<br>and ignores br</nobr>", 0, 0xFFFFFF);
  view->NewString("Wrapping: Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod "
                  "tempor incididunt ut labore et dolore magna aliqua; ut enim ad minim veniam.", 0, 0xFFFFFF);
  view->NewString("<fsize=16>Big <fsize=8>small <fsize=10>normal<br>after a break &lt;tags&gt; &#65;&#66;", 0, 0xFFFFFF);
  view->NewString("<a href=x>anchor link</a> then <link=\"shown\"target> and unknown <tag here>", 0, 0xFFFFFF);
  view->NewString("<pict=-100> logo line", 0xFFFFFF, 0x800000);
  view->FlushPaint();  // the frame after a resize may still be waiting for its time

  const QImage image = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
  const QString path = QString(CHAT_BINARY_DIR) + "/markup_visual.png";
  ASSERT_TRUE(image.save(path));

  // Text is antialiased: count pixels close to the color.
  auto count = [&image](QRgb color) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QRgb p = image.pixel(x, y);
        n += std::abs(qRed(p) - qRed(color)) + std::abs(qGreen(p) - qGreen(color)) +
                 std::abs(qBlue(p) - qBlue(color)) < 90;
      }
    return n;
  };
  EXPECT_GT(count(qRgb(0, 0, 255)), 100);    // links and automatic links
  EXPECT_GT(count(qRgb(255, 0, 0)), 20);     // red text
  EXPECT_GT(count(qRgb(255, 255, 0)), 100);  // yellow background
  EXPECT_GT(count(qRgb(255, 200, 0)), 100);  // static pictures
  EXPECT_GT(count(qRgb(0, 0, 128)), 500);    // the dark-blue logo line's background
}

TEST_F(ViewTest, TheFineListsPeriodEndsBeforeItsTypeColumn) {
  if (!QFontDatabase::hasFamily("Liberation Sans"))
    GTEST_SKIP() << "Liberation Sans (fonts-liberation2) is not installed";
  EXPECT_EQ(view->font().family(), "Liberation Sans");
  view->resize(480, 100);
  view->Document().SetFontSize(11);  // the information windows' default
  // A fine list row as the service lays it out: the widest digits.
  view->NewString("<nobr><xpos=165><fsize=7>28.08.28 08.48 - 08.08.08 08.08<fsize=8></nobr>", 0x000000, 0xFFFFFF);
  view->clearFocus();  // no focus frame among the text's pixels
  view->FlushPaint();
  const QImage image = view->grab(view->contentsRect()).toImage().convertToFormat(QImage::Format_RGB32);
  int first = -1, last = -1;
  for (int x = 0; x < image.width(); ++x)
    for (int y = 0; y < image.height(); ++y)
      if (qGray(image.pixel(x, y)) < 128) {
        if (first < 0) first = x;
        last = x;
        break;
      }
  ASSERT_GE(first, 165);
  EXPECT_LT(last, 305);
}

TEST_F(ViewTest, AnyBytesPaintAndTakeTheMouse) {
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
  static const char* kBits[] = {"<", ">", "&", "#", ";", "b", "/", "=", "\"", "'", "-", " ", "<br>",
                                "<nobr>", "<fsize=29>", "<xpos=-99>", "<img src=u>", "<pict=-1>",
                                "<link=\"", "www.", "<a href=", "</a>", "<i>", "&#", "&lt", "0"};
  view->SetStdPopup(false);
  for (int round = 0; round < 150; ++round) {
    std::string line;
    const int parts = static_cast<int>(next() % 40);
    for (int i = 0; i < parts; ++i) {
      if (next() % 3 == 0)
        line += static_cast<char>(next() & 0xFF);
      else
        line += kBits[next() % (sizeof kBits / sizeof *kBits)];
    }
    switch (next() % 4) {
      case 0: view->AddString(line); break;
      case 1: view->ReplaceLastStr(line); break;
      default: view->NewString(line, 0, 0xFFFFFF); break;
    }
    Move(static_cast<int>(next() % 300), static_cast<int>(next() % 200));
    Press(static_cast<int>(next() % 300), static_cast<int>(next() % 200), Qt::LeftButton);
    Wheel(next() % 2 ? 120 : -120);
  }
  QApplication::processEvents();
  EXPECT_FALSE(view->grab().isNull());
  const auto& lines = view->Document().lines();
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_GE(lines[i]->top, lines[i - 1]->top);
}

}  // namespace
