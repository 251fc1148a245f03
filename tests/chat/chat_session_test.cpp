// The session behind the main window, without widgets: what it asks the
// window to show, the preview, the message-line rewrite and the
// duplicate test of the common pane.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "fixed_metrics.h"
#include "markup/markup_document.h"
#include "settings/settings.h"
#include "text/cp1251.h"
#include "recording_view.h"
#include "chat/chat_session.h"

using namespace window;

namespace {

const std::string BB = "\xA6";

using View = RecordingView;

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    programDir = dir.path().toStdString() + "/";
    settings.Load(programDir);
    settings.UserName = "me";
    for (auto* d : {&comm, &priv, &users, &towhom, &prev}) d->SetViewSize(400, 300);
    session = std::make_unique<ChatSession>(settings, ChatPanes{comm, priv, users, towhom, prev}, view);
  }
  static std::string Msg(const std::string& fields) { return "x" + BB + fields + BB; }
  std::string PreviewText() const { return prev.lines().empty() ? "" : prev.GetLastStr(); }

  QTemporaryDir dir;
  std::string programDir;
  settings::Settings settings;
  markup_test::FixedMeasurer measurer;
  markup::MarkupDocument comm{measurer}, priv{measurer}, users{measurer}, towhom{measurer}, prev{measurer};
  View view;
  std::unique_ptr<ChatSession> session;
};

TEST_F(SessionTest, PreviewSwitchedOnAgainShowsTheCurrentLine) {
  session->SetPreview(true, "");
  session->EnterChanged("first");
  EXPECT_EQ(PreviewText(), "<fcol=000000><bcol=ffffff>first");
  session->SetPreview(false, "first");
  session->EnterChanged("second");
  EXPECT_EQ(PreviewText(), "<fcol=000000><bcol=ffffff>first");  // off: not followed
  session->SetPreview(true, "second");
  EXPECT_EQ(PreviewText(), "<fcol=000000><bcol=ffffff>second");
  EXPECT_TRUE(settings.Preview);
}

TEST_F(SessionTest, EveryImgPairIsRewrittenWithTheCaretAfterTheLast) {
  session->SetPreview(true, "");
  const auto edit = session->EnterChanged("a[img]u1[/img] b[img]u2[/img]");
  ASSERT_TRUE(edit);
  EXPECT_EQ(edit->text, "a<img src=u1> b<img src=u2>");
  EXPECT_EQ(edit->caret, 27);
  EXPECT_EQ(PreviewText().find("img"), std::string::npos);  // it waits for the rewritten line
  EXPECT_FALSE(session->EnterChanged("[/img]x[img]"));  // close before open: left alone
}

TEST_F(SessionTest, UserInfoNeedsOneAddresseeAndSendWavOneWithAudio) {
  session->Chat().ShowOnlineList("User=bob,Ver=2.8,Sound=1;User=eve,Ver=2.8;");
  session->Chat().UsersLink("eve", nullptr);
  EXPECT_TRUE(view.userInfo);
  EXPECT_FALSE(view.sendWav);
  session->Chat().UsersLink("bob", nullptr);
  EXPECT_FALSE(view.userInfo);  // two addressees
  session->Chat().TowhomLink("eve");
  EXPECT_TRUE(view.userInfo);
  EXPECT_TRUE(view.sendWav);
}

TEST_F(SessionTest, RefusedLoginStopsAndWarns) {
  session->Chat().Dispatch("?5");
  ASSERT_EQ(view.warnings.size(), 1u);
  EXPECT_TRUE(session->Connection().UserStopped());
}

TEST_F(SessionTest, ModeratorRightsAndTheTraceFollowTheSettingsEcho) {
  settings.DebugMode = true;
  session->Chat().Dispatch(Msg("Nastr=1;Mod=1;"));
  EXPECT_TRUE(view.moderator);
  session->Chat().Dispatch(Msg("Nastr=1;Mod=0;"));
  EXPECT_FALSE(view.moderator);
  EXPECT_FALSE(session->Chat().TraceEnabled());
}

// The "i" badge and "?" ask for anybody's information; the reply opens his
// window, and the moderator's fine goes out on the open connection only.
TEST_F(SessionTest, InformationRepliesReachTheViewAndFinesNeedTheConnection) {
  session->Chat().Replies().PushInfoRequest();
  session->Chat().Dispatch(Msg("GetInfo=hi<InfF4>;Cln=bob;"));
  ASSERT_EQ(view.shown.size(), 1u);
  EXPECT_TRUE(view.shown[0].starts_with("bob=")) << view.shown[0];
  EXPECT_NE(view.shown[0].find("/photos/bob_4.jpg"), std::string::npos);
  session->Chat().TowhomLink("bob");
  session->Moderator().Fine(2);
  EXPECT_TRUE(view.questions.empty());  // offline: not even asked
}

// A public message without a time has the bold sender name as its lead.
// Clearing the pane must forget it like any other, or it never shows again.
TEST_F(SessionTest, DuplicateTestForgetsClearedLinesWhateverTheirLead) {
  auto& chat = session->Chat();
  const std::string timed = Msg("Mess=12:00 <b>bob:</b> hi;Public=1;FrName=bob;Line=12;");
  const std::string untimed = Msg("Mess=<b>bob:</b> hi;Public=1;FrName=bob;Line=12;");
  const std::string untimedEve = Msg("Mess=<b>eve:</b> hi;Public=1;FrName=eve;Line=12;");
  for (const std::string& line : {timed, untimed, untimedEve}) {
    const size_t before = comm.lines().size();
    chat.Dispatch(line);
    EXPECT_EQ(comm.lines().size(), before + 1) << line;
    chat.Dispatch(line);
    EXPECT_EQ(comm.lines().size(), before + 1) << "the repeat is a duplicate: " << line;
  }
  comm.Clear();
  for (const std::string& line : {timed, untimed, untimedEve}) chat.Dispatch(line);
  EXPECT_EQ(comm.lines().size(), 3u);
}

}  // namespace
