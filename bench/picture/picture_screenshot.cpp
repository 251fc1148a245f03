// Draws a pane with URL pictures from chatd (photos, smileys, the second
// picture set, one picture that fails) after its animations have played a
// while, and writes it to a PNG (the first argument, else the build tree).
#include "chatd_process.h"
#include "picture/picture_anim.h"
#include "picture/pictures.h"
#include "markup/ui/markup_view.h"
#include "text/cp1251.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <functional>

using markup::MarkupView;

namespace {

void SpinFor(int ms, const std::function<bool()>& done = {}) {
  QDeadlineTimer until(ms);
  while (!until.hasExpired() && !(done && done())) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (!std::getenv("XDG_RUNTIME_DIR")) setenv("XDG_RUNTIME_DIR", "/tmp/chat-test-runtime", 1);
  QApplication app(argc, argv);
  const std::string out = argc > 1 ? argv[1] : CHAT_BINARY_DIR "/picture-screenshot.png";

  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {"--bot", "Bob Smith"}, true);
  if (!chatd.ok()) {
    std::fprintf(stderr, "chatd did not start: %s\n", chatd.banner().c_str());
    return 1;
  }
  const std::string base = "http://127.0.0.1:" + std::to_string(chatd.httpPort());
  picture::Pictures& pictures = picture::InstallPictures();
  pictures.LoadCacheIndex(chatd.dataDir() + "/client/Cache/index.dat", chatd.dataDir() + "/client/Cache");

  MarkupView view;
  view.resize(520, 330);
  view.show();
  auto img = [&](const std::string& path) { return "<img src=\"" + base + path + "\">"; };
  view.NewString(text::W("<b>Фото</b> Bob Smith: ") + img("/photos/Bob Smith_1.jpg") + " " +
                     img("/photos/Bob Smith_2.jpg"),
                 0x000000, 0xFFFFFF);
  std::string smileys = text::W("<b>Смайлы:</b> ");
  for (int n : {0, 1, 2, 3, 100, 101, 102, 200, 201}) smileys += img("/smiles/" + std::to_string(n) + ".gif");
  view.NewString(smileys, 0x800000, 0xFFFFFF);
  std::string set = text::W("<b>Дополнительные смайлы:</b> ");
  for (int n = 1; n <= 10; ++n) set += img("/smileset/1_" + std::to_string(n) + ".gif");
  view.NewString(set, 0x008000, 0xE0F0FF);
  view.NewString(text::W("Не картинка (красный крест): ") + img("/photos/none.png") + text::W(" конец строки"),
                 0x0000C0, 0xFFFFFF);

  SpinFor(20000, [&] {
    for (int n = 1; n <= pictures.NumberOf(base + "/photos/none.png"); ++n)
      if (pictures.State(n) == markup::PictureState::Pending) return false;
    return true;
  });
  SpinFor(1300);  // the animations play on

  int animated = 0;
  for (const auto& line : view.Document().lines())
    for (const auto& record : line->Anims())
      if (auto* anim = dynamic_cast<picture::PictureAnim*>(record.get())) {
        std::printf("line %d key %d frame %d of %d\n", int(&line - &view.Document().lines()[0]),
                    anim->key, anim->frame, anim->picture()->FrameCount());
        ++animated;
      }
  std::printf("%d animated occurrences\n", animated);
  const bool saved = view.grab().save(QString::fromStdString(out));
  std::printf("%s %s\n", saved ? "wrote" : "could not write", out.c_str());
  return saved ? 0 : 1;
}
