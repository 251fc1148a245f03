// Audio messages and pictures between real clients through a real chatd:
// over a direct link between two loopback addresses, and through chatd when
// the peer's link cannot be made.  A tone file stands in for the microphone.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QHostAddress>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest/QTest>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "chatd_process.h"
#include "line_client.h"
#include "audio/adpcm.h"
#include "audio/file_audio_devices.h"
#include "audio/wav_file.h"
#include "link/direct_link.h"
#include "link/link_manager.h"
#include "archive/private_archive.h"
#include "transfer/ui/picture_windows.h"
#include "test_data.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/line_file.h"
#include "chat/media_session.h"
#include "window/media_widgets.h"
#include "window/qt_text.h"
#include "window_fixture.h"

using text::W;

namespace {

namespace fs = std::filesystem;

// Loopback addresses of this test process, so parallel runs never meet.
std::string Loopback(int host) {
  const int p = int(getpid());
  return "127." + std::to_string(1 + p % 250) + "." + std::to_string((p / 250) % 250) + "." + std::to_string(host);
}

std::vector<int16_t> ToneSamples() {
  const std::string bytes = text::ReadWholeFile(TestData("audio/tone-440-8k.wav")).value_or("");
  std::string error;
  const auto info = audio::ParseWav(bytes, error);
  return info ? audio::PcmSamples(*info) : std::vector<int16_t>();
}

// Signal to noise of `got` against the start of `want`, in decibels.
double SnrDb(const std::vector<int16_t>& want, const std::vector<int16_t>& got, size_t n) {
  double signal = 0, noise = 0;
  for (size_t i = 0; i < n && i < want.size() && i < got.size(); ++i) {
    signal += double(want[i]) * want[i];
    noise += (double(want[i]) - got[i]) * (double(want[i]) - got[i]);
  }
  return noise == 0 ? 100 : 10 * std::log10(signal / noise);
}

struct Client {
  Client(const std::string& name, const std::string& number, int port, int host, const std::string& tone)
      : fixture("[Global]\r\nUserName=" + name + "\r\nPassword=pw\r\nUserNum=" + number + "\r\nPort1=" +
                std::to_string(port) + "\r\nSndArchiving=1\r\nRussianInterface=1\r\n[Sounds]\r\nPlayNow=1\r\n[DirectLink]\r\nLocalAddress=" +
                Loopback(host) + "\r\n") {
    auto file = std::make_unique<audio::FileAudioDevices>(tone);
    devices = file.get();
    fixture.form->MediaUi().ReplaceAudioDevices(std::move(file));
  }
  MainWindow& Form() { return *fixture.form; }
  MarkupView* Pane(const char* name) { return Find<MarkupView>(Form(), name); }
  window::MediaSession& Media() { return Form().MediaUi().Session(); }
  const direct::DirectLink* LinkTo(const std::string& peer) { return Media().Links().Find(peer); }

  WindowFixture fixture;
  audio::FileAudioDevices* devices = nullptr;
};

class MediaEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(chatd.ok());
    for (const char* name : {"alice", "bob", "carol"}) {
      chatd_test::LineClient c(chatd.chatPort());
      numbers[name] = c.Login(name, "pw");
      ASSERT_FALSE(numbers[name].empty());
    }
  }

  // `from` picks `to` alone as the private recipient.
  void PickAlone(Client& from, const std::string& to) {
    for (const std::string& n : from.Form().Chat().Addressees().Names())
      if (n != to) from.Pane("towhom")->Document().DoLink(n);
    if (from.Form().Chat().Addressees().Names().empty()) from.Pane("users")->Document().DoLink(to);
  }

  // Holds SendWav for about `buffers` quarter seconds of the tone.
  void Record(Client& from, int buffers) {
    auto* button = Find<QPushButton>(from.Form(), "SendWav");
    ASSERT_TRUE(WaitFor([&] { return button->isEnabled(); }));
    QTest::mousePress(button, Qt::LeftButton);
    auto* size = Find<QLabel>(from.Form(), "AudioSize");
    const QString target = ToQ(W("Размер: ") + std::to_string(buffers * 1024 / 1000) + W(" кб"));
    ASSERT_TRUE(WaitFor([&] { return size->text() == target; }, 10000));
    QTest::mouseRelease(button, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !from.Media().AudioBusy(); }));
  }

  // The clipboard picture through the recode window, sent as GIF.
  void SendClipboardPicture(Client& from, const QImage& image) {
    QGuiApplication::clipboard()->setImage(image);
    const int before = transfer::PictureRecoder::OpenCount();
    from.Form().MediaUi().SendBufClick();
    ASSERT_EQ(transfer::PictureRecoder::OpenCount(), before + 1);
    transfer::PictureRecoder* recoder = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* r = dynamic_cast<transfer::PictureRecoder*>(w); r && r->isVisible()) recoder = r;
    ASSERT_NE(recoder, nullptr);
    auto* send = Find<QPushButton>(*recoder, "Send");
    ASSERT_TRUE(send->isEnabled());
    if (const char* shots = getenv("CHAT_SCREENSHOT_DIR")) recoder->grab().save(QString(shots) + "/recoder.png");
    send->click();
    ASSERT_TRUE(WaitFor([&] { return transfer::PictureRecoder::OpenCount() == before; }));
  }

  void ExpectToneKept(Client& to, const std::string& file) {
    const fs::path kept = fs::path(to.fixture.programDir) / "Sounds" / file;
    ASSERT_TRUE(WaitFor([&] { return fs::exists(kept); }));
    const std::string data = text::ReadWholeFile(kept.string()).value_or("");
    EXPECT_EQ(data.size() % 256, 0u);
    EXPECT_GE(data.size(), 1024u + 256u);
    const std::vector<int16_t> decoded = audio::Decode(data);
    EXPECT_GT(SnrDb(ToneSamples(), decoded, 1500), 15.0);
  }

  chatd_test::ChatdProcess chatd{CHAT_BINARY_DIR "/bin/chatd", {}, true};
  std::map<std::string, std::string> numbers;
};

TEST_F(MediaEndToEnd, AudioAndPicturesTravelOverADirectLinkOrThroughChatdWhenItIsRefused) {
  // Carol's link port is held by something that hangs up at once.
  QTcpServer squatter;
  ASSERT_TRUE(squatter.listen(QHostAddress(QString::fromStdString(Loopback(4))), 3686));
  QObject::connect(&squatter, &QTcpServer::newConnection, [&] {
    while (QTcpSocket* s = squatter.nextPendingConnection()) s->abort();
  });

  Client alice("alice", numbers["alice"], chatd.chatPort(), 2, TestData("audio/tone-440-8k.wav"));
  Client bob("bob", numbers["bob"], chatd.chatPort(), 3, "");
  Client carol("carol", numbers["carol"], chatd.chatPort(), 4, "");
  for (Client* c : {&alice, &bob, &carol}) c->Form().show();
  EXPECT_TRUE(alice.Media().Links().Listening());
  EXPECT_FALSE(carol.Media().Links().Listening());
  ASSERT_TRUE(WaitFor([&] {
    return alice.Form().Chat().Online().ClientInfo("bob") >= "2.2" &&
           alice.Form().Chat().Online().ClientInfo("carol") >= "2.2";
  }, 15000));

  // ---- alice -> bob over the direct link ----
  // chatd tells a user's address only to someone who has had a private
  // word with him lately.
  PickAlone(alice, "bob");
  Say(alice.Form(), "hello bob");
  ASSERT_TRUE(WaitFor([&] { return PaneHas(bob.Pane("priv"), "hello bob"); }, 10000));
  Record(alice, 3);
  const std::string announced = W("От <b><link=\"alice\"alice></b>: Звуковое сообщение, размер ");
  ASSERT_TRUE(WaitFor([&] { return PaneHas(bob.Pane("priv"), announced); }, 10000));
  EXPECT_TRUE(PaneHas(alice.Pane("priv"), W("Послано для <link=\"bob\"Для bob:>: Звуковое сообщение")));
  ASSERT_NE(alice.LinkTo("bob"), nullptr);
  EXPECT_EQ(alice.LinkTo("bob")->state, direct::kLinked);
  EXPECT_EQ(bob.LinkTo("alice")->state, direct::kLinked);
  EXPECT_TRUE(PaneHas(alice.Pane("dirconn"), W("Соединились")));
  ExpectToneKept(bob, "alice1.cwv");
  // PlayNow played it at bob's.
  ASSERT_TRUE(WaitFor([&] { return bob.devices->Played().size() >= 1500; }));
  EXPECT_GT(SnrDb(ToneSamples(), bob.devices->Played(), 1500), 15.0);

  // Replayed from bob's archive line.
  const std::string archive = text::ReadWholeFile(media::ArchiveFilePath(bob.fixture.programDir)).value_or("");
  ASSERT_TRUE(text::Contains(archive, W("<b>alice:</b> Звуковое сообщение <link=\"Воспроизвести\"::PlAralice1>")));
  const size_t heard = bob.devices->Played().size();
  bob.Form().Chat().LinkAction("::PlAralice1", {}, false);
  ASSERT_TRUE(WaitFor([&] { return bob.devices->Played().size() > heard + 1500; }));

  QImage picture(40, 30, QImage::Format_RGB32);
  picture.fill(qRgb(200, 30, 60));
  const int viewers = transfer::PictureWindow::OpenCount();
  SendClipboardPicture(alice, picture);
  ASSERT_TRUE(WaitFor([&] { return transfer::PictureWindow::OpenCount() == viewers + 1; }));
  EXPECT_TRUE(fs::exists(fs::path(bob.fixture.programDir) / "Pictures" / "alice1.gif"));
  EXPECT_TRUE(PaneHas(alice.Pane("priv"), W(" послан bob")));

  // ---- alice -> carol: the link is refused, chatd carries both ----
  PickAlone(alice, "carol");
  Record(alice, 2);
  ASSERT_TRUE(WaitFor([&] { return PaneHas(carol.Pane("priv"), announced); }, 10000));
  ASSERT_NE(alice.LinkTo("carol"), nullptr);
  EXPECT_EQ(alice.LinkTo("carol")->state, direct::kImpossible);
  ExpectToneKept(carol, "alice1.cwv");

  SendClipboardPicture(alice, picture);
  ASSERT_TRUE(WaitFor([&] { return transfer::PictureWindow::OpenCount() == viewers + 2; }));
  EXPECT_TRUE(fs::exists(fs::path(carol.fixture.programDir) / "Pictures" / "alice1.gif"));
  if (const char* shots = getenv("CHAT_SCREENSHOT_DIR"))
    for (QWidget* w : QApplication::topLevelWidgets())
      if (dynamic_cast<transfer::PictureWindow*>(w)) w->grab().save(QString(shots) + "/picture.png");
  // Closing the main window takes its picture windows along.
  bob.Form().close();
  carol.Form().close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(transfer::PictureWindow::OpenCount(), viewers);
}

}  // namespace
