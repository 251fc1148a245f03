// "Settings ..." of a real main window against a real chatd: the new look
// reaches the room in a Nastr line, a changed transliteration table is used
// by the next message, a name black-listed in the dialog is filtered from
// comm at once; and the desktop reactions' wave checks.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "chatd_process.h"
#include "line_client.h"
#include "markup/ui/color_button.h"
#include "setup/ui/settings_dialog.h"
#include "temp_dir.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "window/desktop_reactions.h"
#include "window/settings_menu.h"
#include "window_fixture.h"

using text::W;

namespace {


// Reads `client` while the window's event loop runs, so the window can
// send meanwhile; the first line that matches, or nullopt.
std::optional<std::string> Await(chatd_test::LineClient& client, const std::function<bool(const std::string&)>& match) {
  std::optional<std::string> found;
  WaitFor(
      [&] {
        while (std::optional<std::string> line = client.ReadLine(10))
          if (match(*line)) {
            found = line;
            return true;
          }
        return false;
      },
      chatd_test::kWaitMs);
  return found;
}

bool IsPublicFrom(const std::string& line, const std::string& name) {
  const std::optional<wire::Record> r = chatd_test::AsRecord(line);
  return r && wire::Field(*r, "Public") == "1" && text::Contains(wire::Field(*r, "Mess"), "<b>" + name + ":</b>");
}

class SettingsAgainstChatd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(chatd.ok());
    const std::string aliceNum = Register(chatd, "alice");
    ASSERT_FALSE(bob.Login("bob", "pw").empty());
    alice = std::make_unique<WindowFixture>(IniFor("alice", aliceNum, chatd.chatPort(), chatd.httpPort()));
    alice->form->show();
    ASSERT_TRUE(WaitFor([&] { return ListsOnline(*alice, "bob"); }, 10000));
  }

  chatd_test::ChatdProcess chatd{CHAT_BINARY_DIR "/bin/chatd", {}, true};
  chatd_test::LineClient bob{chatd.chatPort()};
  std::unique_ptr<WindowFixture> alice;
};

TEST_F(SettingsAgainstChatd, NewColoursAndSexReachTheRoom) {
  EditSettings(*alice->form, [](media::SettingsDialog& d) {
    QTimer::singleShot(0, [] {
      auto* chooser = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(chooser, nullptr);
      chooser->setCurrentColor(QColor(255, 0, 0));
      chooser->accept();
    });
    Find<markup::ColorButton>(d, "TextColor")->click();
    Find<QRadioButton>(d, "Sex2")->click();
  });
  EXPECT_EQ(alice->settings->TextColor, "0000FF");
  EXPECT_EQ(alice->settings->Sex, 2);
  EXPECT_TRUE(text::Contains(alice->ReadIni(), "TextColor=0000FF"));
  // chatd took the new sex: the list it sends after it shows alice as "w".
  ASSERT_TRUE(Await(bob, [](const std::string& l) { return text::Contains(l, "User=alice,Ver=2.8,Sex=w"); }));
  // And the new colour: alice's next public message carries it.
  Say(*alice->form, "in red");
  const std::optional<std::string> said = Await(bob, [](const std::string& l) { return IsPublicFrom(l, "alice"); });
  ASSERT_TRUE(said);
  EXPECT_EQ(text::Lower(wire::Field(*chatd_test::AsRecord(*said), "CText")), "#ff0000");
}

TEST_F(SettingsAgainstChatd, TransliterationTableAndBlackListApplyAtOnce) {
  MarkupView* comm = Find<MarkupView>(*alice->form, "comm");
  ASSERT_TRUE(bob.Send("x\xA6Mess=before the list;\xA6\n"));
  ASSERT_TRUE(WaitFor([&] { return PaneHas(comm, "before the list"); }));
  EXPECT_FALSE(Find<QWidget>(*alice->form, "TransPanelBig")->isVisible());

  EditSettings(*alice->form, [](media::SettingsDialog& d) {
    Find<QCheckBox>(d, "TranslCheck")->click();
    Find<QListWidget>(d, "RepList")->setCurrentRow(0);  // а
    auto* eng = Find<QLineEdit>(d, "Eng");
    eng->clear();
    QTest::keyClicks(eng, "q");
    QTest::keyClicks(Find<QLineEdit>(d, "ToAdd"), "bob");
    Find<QPushButton>(d, "ButAdd")->click();
    Find<QListWidget>(d, "OffList")->setCurrentRow(0);
    Find<QPushButton>(d, "ToBlack")->click();
    Find<QCheckBox>(d, "FilterAll")->click();
  });
  EXPECT_TRUE(Find<QWidget>(*alice->form, "TransPanelBig")->isVisible());
  EXPECT_EQ(alice->form->Chat().Contacts().blackList, std::vector<std::string>{"bob"});
  EXPECT_TRUE(alice->form->Chat().Contacts().friends.empty());

  // The next message goes out transliterated with the new table.
  Say(*alice->form, "qqq");
  const std::optional<std::string> said = Await(bob, [](const std::string& l) { return IsPublicFrom(l, "alice"); });
  ASSERT_TRUE(said);
  EXPECT_TRUE(text::EndsWith(wire::UnescapeField(wire::Field(*chatd_test::AsRecord(*said), "Mess")), W("ааа")));

  // Bob is filtered from comm at once; carol, after him, is shown.
  chatd_test::LineClient carol(chatd.chatPort());
  ASSERT_FALSE(carol.Login("carol", "pw").empty());
  ASSERT_TRUE(bob.Send("x\xA6Mess=filtered now;\xA6\n"));
  ASSERT_TRUE(Await(bob, [](const std::string& l) { return IsPublicFrom(l, "bob"); }));
  ASSERT_TRUE(carol.Send("x\xA6Mess=carol is shown;\xA6\n"));
  ASSERT_TRUE(WaitFor([&] { return PaneHas(comm, "carol is shown"); }));
  EXPECT_FALSE(PaneHas(comm, "filtered now"));
}

TEST(DesktopReactions, UnplayableWavesAreTracedOnceAndNeverBlock) {
  TempDir dir;
  dir.Put("text.wav", "this is no wave file at all");
  // A tiny valid wave: 8 kHz mono 16-bit, 8 samples of silence.
  std::string wav = "RIFF";
  auto u32 = [](uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
  auto u16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
  wav += u32(36 + 16) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(8000) + u32(16000) + u16(2) + u16(16);
  wav += "data" + u32(16) + std::string(16, '\0');
  dir.Put("ok.wav", wav);

  QWidget window;
  std::vector<std::string> trace;
  window::DesktopReactions reactions(window, [&trace](const std::string& line) { trace.push_back(line); });
  EXPECT_FALSE(reactions.PlayWave(dir.File("missing.wav")));
  EXPECT_FALSE(reactions.PlayWave(dir.File("missing.wav")));
  EXPECT_FALSE(reactions.PlayWave(dir.File("text.wav")));
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_TRUE(text::Contains(trace[0], "missing.wav"));
  EXPECT_TRUE(text::Contains(trace[1], "text.wav"));
  EXPECT_FALSE(reactions.PlayWave(""));

  const bool hasOutput = !QMediaDevices::audioOutputs().isEmpty();
  EXPECT_EQ(reactions.PlayWave(dir.File("ok.wav")), hasOutput);
  reactions.PlayWave(dir.File("ok.wav"));
  EXPECT_EQ(trace.size(), hasOutput ? 2u : 3u);

  EXPECT_TRUE(window::DesktopReactions::LooksLikeWave(wav.substr(0, 12)));
  EXPECT_FALSE(window::DesktopReactions::LooksLikeWave("RIFF"));
}

TEST(DesktopReactions, BringToFrontRestoresAMinimizedWindow) {
  QWidget window;
  window.showMinimized();
  QApplication::processEvents();
  window::DesktopReactions reactions(window, nullptr);
  reactions.BringToFront();
  EXPECT_FALSE(window.isMinimized());
  EXPECT_TRUE(window.isVisible());
}

}  // namespace
