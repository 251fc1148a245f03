// A hostile user sends the room one public message naming six copies of a
// tiny GIF that claims a 4000 x 4000 screen with four frames restored to
// "previous".  A client made of the real pieces (main window, session,
// picture registry) receives it through chatd, downloads the six pictures
// from an HTTP peer and must neither swell nor stop working.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>

#include "chatd_process.h"
#include "gif_writer.h"
#include "line_client.h"
#include "process_memory.h"
#include "picture/decode_budget.h"
#include "picture/pictures.h"
#include "scripted_server.h"
#include "text/bytes.h"
#include "window_fixture.h"

namespace {

// AddressSanitizer keeps freed memory in quarantine and shadows every
// allocation, so resident memory says nothing about the client's bounds.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kResidentMemoryMeans = false;
#else
constexpr bool kResidentMemoryMeans = true;
#endif

std::string BombGif() {
  std::vector<testing_picture::TestFrame> frames(4, testing_picture::Solid(0, 0, 1, 1, 1, 3));
  return testing_picture::MakeGif(4000, 4000, {qRgb(0, 0, 0), qRgb(255, 255, 255)}, frames);
}

TEST(PictureBomb, SixHugeScreensInOneMessageLeaveTheClientSmallAndWorking) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok());
  const std::string victimNum = Register(chatd, "victim");
  chatd_test::LineClient attacker(chatd.chatPort());
  ASSERT_FALSE(attacker.Login("attacker", "pw").empty());

  const std::string gif = BombGif();
  ASSERT_LT(gif.size(), 200u);
  testing_http::ScriptedServer web;
  web.response = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(gif.size()) + "\r\n\r\n" + gif;

  WindowFixture victim(IniFor("victim", victimNum, chatd.chatPort()));
  victim.form->show();
  MarkupView* comm = Find<MarkupView>(*victim.form, "comm");
  ASSERT_TRUE(WaitFor([&] { return ListsOnline(victim, "attacker"); }, 10000));
  picture::Pictures* registry = picture::InstalledPictures();
  ASSERT_NE(registry, nullptr);

  const int64_t before = int64_t{chatd_test::StatusKiB("VmRSS")} * 1024;
  std::vector<std::string> urls;
  std::string message;
  for (int i = 1; i <= 6; ++i) {
    urls.push_back(web.Url("/bomb" + std::to_string(i) + ".gif"));
    message += "<img src=" + urls.back() + ">";
  }
  ASSERT_TRUE(attacker.Send("x\xA6Mess=" + message + ";Mid=1;\xA6\n"));

  auto settled = [&] {
    for (const std::string& url : urls) {
      const int n = registry->NumberOf(url);
      if (n == 0 || registry->State(n) == markup::PictureState::Pending) return false;
    }
    return true;
  };
  ASSERT_TRUE(WaitFor(settled, 60000));
  EXPECT_EQ(web.Connections(), 6);
  // Each one is refused and shown as the red cross; nothing of them is held.
  for (const std::string& url : urls) EXPECT_EQ(registry->State(registry->NumberOf(url)), markup::PictureState::Failed);
  EXPECT_LE(registry->budget().Used(), registry->budget().Limit());

  if (kResidentMemoryMeans) {
    // Whatever is decoded stays within the picture budget; with everything
    // refused the client grows by far less than that.
    const int64_t grown = int64_t{chatd_test::StatusKiB("VmHWM")} * 1024 - before;
    EXPECT_LT(grown, int64_t(96) * 1024 * 1024) << "resident memory grew by " << grown / (1024 * 1024) << " MiB";
  }

  // The room still works for the victim.
  ASSERT_TRUE(attacker.Send("x\xA6Mess=still here;Mid=2;\xA6\n"));
  EXPECT_TRUE(WaitFor([&] { return PaneHas(comm, "still here"); }, 10000));
}

}  // namespace
