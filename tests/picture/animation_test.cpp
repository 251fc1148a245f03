// Animated URL pictures: each occurrence keeps its own frame; the view's
// clock advances and redraws only the visible ones; animation off and
// filtered-out lines stop them.
#include "markup/painter_access.h"
#include "picture/picture_anim.h"
#include "picture/pictures.h"

#include "chatd_process.h"
#include "gif_writer.h"
#include "markup/view_globals.h"
#include "pictures_fixture.h"
#include "scripted_server.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace picture;
using testing_http::SpinUntil;
using testing_picture::Pane;

namespace {

// 16 x 16, three frames of 0, 15 and 30 hundredths: played as 100, 150 and
// 300 milliseconds.
std::string ThreeFrameGif() {
  std::vector<testing_picture::TestFrame> frames;
  for (int i = 0; i < 3; ++i) {
    auto f = testing_picture::Solid(0, 0, 16, 16, uint8_t(i));
    f.delayCs = i * 15;
    frames.push_back(f);
  }
  return testing_picture::MakeGif(16, 16, {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)}, frames);
}

PictureAnim* Record(const markup::MarkupLine& line) {
  return line.Anims().size() == 1 ? dynamic_cast<PictureAnim*>(line.Anims()[0].get()) : nullptr;
}

// A bitmap the document's drawing really lands on.
class ImageView : public markup_test::RecordingView {
 public:
  class Canvas : public markup::MarkupCanvas, public markup::PainterAccess {
   public:
    explicit Canvas(QPainter& p) : p_(p) {}
    void FillRect(int x, int y, int w, int h, int32_t c) override {
      p_.fillRect(x, y, w, h, QColor(c & 255, (c >> 8) & 255, (c >> 16) & 255));
    }
    void DrawText(int, int, std::string_view, const markup::FontSpec&, int32_t) override {}
    void DrawDottedRect(int, int, int, int, int32_t) override {}
    void DrawLine(int, int, int, int, int32_t) override {}
    QPainter& Painter() override { return p_; }

   private:
    QPainter& p_;
  };
  void DrawOnBitmap(const std::function<void(markup::MarkupCanvas&)>& draw, int, int) override {
    QPainter painter(&image);
    Canvas canvas(painter);
    draw(canvas);
  }
  QImage image{300, 100, QImage::Format_ARGB32};
};

}  // namespace

TEST(Animation, EachStepDrawsTheNextFrameWhereTheOccurrenceIs) {
  testing_http::ScriptedServer server;
  const std::string gif = ThreeFrameGif();
  server.response = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(gif.size()) + "\r\n\r\n" + gif;
  Pictures registry;
  int64_t now = 0;
  registry.SetTimeSource([&] { return now; });
  markup_test::FixedMeasurer measurer;
  ImageView view;
  view.image.fill(Qt::white);
  markup::MarkupDocument doc(measurer, &registry);
  doc.AttachView(&view);
  doc.SetViewSize(300, 100);
  for (int i = 0; i < 10; ++i) doc.NewString("line " + std::to_string(i), 0, 0xFFFFFF);
  doc.NewString("some text <img src=" + server.Url("/a.gif") + ">", 0, 0xFFFFFF);
  doc.NewString("after", 0, 0xFFFFFF);
  doc.SetVertScrollPos(60);
  ASSERT_TRUE(SpinUntil([&] { return registry.Decodings() == 1; }));
  ASSERT_GT(doc.VertScrollPos(), 0);  // window rows differ from content rows
  PictureAnim* record = Record(*doc.lines()[10]);
  ASSERT_NE(record, nullptr);
  const QPoint inside(record->x + 8, record->y - doc.VertScrollPos() + 8);
  ASSERT_TRUE(view.image.rect().contains(inside));

  now = 100;
  registry.ClockOf(doc)->Tick();
  EXPECT_EQ(view.image.pixel(inside), qRgb(0, 255, 0));
  EXPECT_EQ(view.image.pixel(inside + QPoint(9, 0)), qRgb(255, 255, 255));  // beside it
  now = 250;
  registry.ClockOf(doc)->Tick();
  EXPECT_EQ(view.image.pixel(inside), qRgb(0, 0, 255));
}

// A long pane keeps the layout and animation state of the newest lines and
// of what shows; a line scrolled back into view is laid out and animates.
TEST(Animation, LinesFarBehindGiveUpTheirLayoutUntilTheyShowAgain) {
  testing_http::ScriptedServer server;
  const std::string gif = ThreeFrameGif();
  server.response = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(gif.size()) + "\r\n\r\n" + gif;
  const std::string line = "smiley <img src=" + server.Url("/anim.gif") + ">";
  Pictures registry;
  Pane pane(registry, 300, 100);
  pane.doc.NewString(line, 0, 0xFFFFFF);
  ASSERT_TRUE(SpinUntil([&] { return registry.Decodings() == 1; }));
  for (int i = 0; i < 400; ++i) pane.doc.NewString(line, 0, 0xFFFFFF);
  const auto& lines = pane.doc.lines();
  size_t animated = 0;
  for (const auto& l : lines) animated += l->Anims().empty() ? 0 : 1;
  EXPECT_LE(animated, 257u);
  EXPECT_TRUE(lines.front()->Anims().empty());
  EXPECT_TRUE(lines.front()->Ascents().empty());  // its rows' metrics went too, its height stays
  EXPECT_GT(lines.front()->height, 0);
  ASSERT_NE(Record(*lines.back()), nullptr);
  EXPECT_TRUE(Record(*lines.back())->Running());

  pane.doc.SetVertScrollPos(0);
  EXPECT_FALSE(lines.front()->Ascents().empty());
  ASSERT_NE(Record(*lines.front()), nullptr);
  EXPECT_TRUE(Record(*lines.front())->Running());
}

TEST(Animation, OnlyVisibleOccurrencesAdvanceAndEachKeepsItsOwnFrame) {
  testing_http::ScriptedServer server;
  const std::string gif = ThreeFrameGif();
  server.response = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(gif.size()) + "\r\n\r\n" + gif;
  const std::string url = server.Url("/anim.gif");

  Pictures registry;
  int64_t now = 1000;
  registry.SetTimeSource([&] { return now; });
  Pane pane(registry, 300, 100);
  pane.doc.NewString("top <img src=" + url + ">", 0, 0xFFFFFF);
  for (int i = 0; i < 30; ++i) pane.doc.NewString("filler " + std::to_string(i), 0, 0xFFFFFF);
  pane.doc.NewString("last <img src=" + url + ">", 0, 0xFFFFFF);
  pane.doc.SetVertScrollPos(0);
  ASSERT_TRUE(SpinUntil([&] { return registry.Decodings() == 1; }));
  ASSERT_TRUE(registry.IsAnimated(1));

  PictureAnim* top = Record(*pane.doc.lines().front());
  PictureAnim* last = Record(*pane.doc.lines().back());
  ASSERT_TRUE(top && last);
  EXPECT_TRUE(top->Running());
  EXPECT_TRUE(last->Running());
  ViewClock* clock = registry.ClockOf(pane.doc);
  ASSERT_NE(clock, nullptr);
  EXPECT_EQ(clock->Records(), 2u);

  auto tickAt = [&](int64_t t) {
    now = t;
    clock->Tick();
  };
  tickAt(1099);
  EXPECT_EQ(top->frame, 0);
  EXPECT_TRUE(pane.view.drawn.empty());
  tickAt(1100);  // a delay of 0 plays as 100 ms
  EXPECT_EQ(top->frame, 1);
  ASSERT_EQ(pane.view.drawn.size(), 1u);
  EXPECT_EQ(pane.view.drawn[0], std::make_pair(top->y, top->y + 16));
  ASSERT_FALSE(pane.view.canvas.fills.empty());
  EXPECT_EQ(pane.view.canvas.fills.back().color, 0xFFFFFF);
  EXPECT_EQ(pane.view.canvas.fills.back().w, 16);
  tickAt(1249);
  EXPECT_EQ(top->frame, 1);
  tickAt(1250);
  tickAt(1550);
  EXPECT_EQ(top->frame, 0);
  EXPECT_EQ(pane.view.drawn.size(), 3u);
  // The occurrence below the visible band was never touched.
  EXPECT_EQ(last->frame, 0);

  // Scrolled into view it shows the frame its own time has reached:
  // one whole round (550 ms) and 100 ms more since it started.
  pane.doc.SetVertScrollPos(pane.doc.VertScrollRange());
  now = 1650;
  markup_test::RecordingCanvas canvas;
  pane.doc.DrawRange(canvas, pane.doc.VertScrollPos(), pane.doc.VertScrollPos() + 100);
  EXPECT_EQ(last->frame, 1);
  const size_t drawnBefore = pane.view.drawn.size();
  tickAt(1800);
  EXPECT_EQ(last->frame, 2);
  EXPECT_EQ(top->frame, 0);  // now it is the one out of sight
  EXPECT_EQ(pane.view.drawn.size(), drawnBefore + 1);

  // Animation off: nothing runs, nothing is drawn, the clock sleeps.
  markup::ViewGlobals::animation = false;
  pane.doc.UpdateAnimations();
  EXPECT_FALSE(top->Running());
  EXPECT_FALSE(last->Running());
  tickAt(5000);
  EXPECT_EQ(last->frame, 2);
  EXPECT_EQ(pane.view.drawn.size(), drawnBefore + 1);
  EXPECT_FALSE(clock->Active());

  // On again: every occurrence runs except those of filtered-out lines.
  markup::ViewGlobals::animation = true;
  pane.doc.SetFilter("last");
  pane.doc.UpdateAnimations();
  EXPECT_FALSE(top->Running());
  EXPECT_TRUE(last->Running());
  pane.doc.SetFilter("");
  pane.doc.UpdateAnimations();
  EXPECT_TRUE(top->Running());

  // The records die with their lines, the clock with the last of them.
  pane.doc.Clear();
  EXPECT_EQ(registry.ClockOf(pane.doc), nullptr);
}

TEST(Animation, AChatdSmileyPlaysOnTheViewClock) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok()) << chatd.banner();
  const std::string base = "http://127.0.0.1:" + std::to_string(chatd.httpPort()) + "/smileset/1_";

  Pictures registry;
  Pane pane(registry, 400, 200);
  std::string markup;
  for (int n = 1; n <= 10; ++n) markup += "<img src=" + base + std::to_string(n) + ".gif>";
  pane.doc.NewString(markup, 0, 0xFFFFFF);
  ASSERT_TRUE(SpinUntil([&] { return registry.Decodings() == 10; }));
  const auto& anims = pane.doc.lines()[0]->Anims();
  ASSERT_FALSE(anims.empty());  // the set has animated pictures
  auto* record = dynamic_cast<PictureAnim*>(anims[0].get());
  ASSERT_TRUE(record && record->Running());
  ASSERT_TRUE(SpinUntil([&] { return record->frame != 0 && !pane.view.drawn.empty(); }));
}
