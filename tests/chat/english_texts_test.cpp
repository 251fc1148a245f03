// English mode shows English: every caption and note table has an English
// form without a Cyrillic letter, the texts built from them follow the
// language switch, and Russian mode keeps its texts byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/archive_pages.h"
#include "archive/archive_texts.h"
#include "audio/audio_lines.h"
#include "audio/audio_texts.h"
#include "chat/captions.h"
#include "chat/chat_texts.h"
#include "chat/main_texts.h"
#include "games/chess_rules.h"
#include "games/game_notes.h"
#include "games/game_texts.h"
#include "link/link_manager.h"
#include "session/session_texts.h"
#include "setup/settings_texts.h"
#include "smileys/smiley_groups.h"
#include "smileys/smileys_texts.h"
#include "text/cp1251.h"
#include "text/shown_text.h"
#include "transfer/transfer_texts.h"
#include "text/bytes.h"

namespace {

using text::HasCyrillic;
using text::W;

struct Row {
  std::string table, russian, english;
};

template <typename Table>
void AddShown(std::vector<Row>& rows, const char* name, const Table& table) {
  for (const text::ShownText& t : table) rows.push_back({name, t.russian, t.english});
}

std::vector<Row> AllTables() {
  std::vector<Row> rows;
  for (const window::Caption& c : window::MainWindowCaptions()) rows.push_back({"main window", c.russian, c.english});
  for (const media::SettingsCaption& c : media::SettingsCaptions())
    rows.push_back({"settings dialog", c.russian, c.english});
  AddShown(rows, "settings questions", media::questions::kAll);
  AddShown(rows, "session", session::texts::kAll);
  AddShown(rows, "chat", window::texts::kAll);
  AddShown(rows, "games", games::notes::kAll);
  AddShown(rows, "archive", media::texts::kAll);
  AddShown(rows, "smileys", media::smileys_texts::kAll);
  AddShown(rows, "pictures", transfer::texts::kAll);
  AddShown(rows, "audio", audio::texts::kAll);
  for (games::GameKind kind : games::kAllGameKinds) {
    const games::KindTexts& t = games::TextsOf(kind);
    rows.push_back({"game questions", t.askRu, t.askEn});
    rows.push_back({"game questions", t.continueRu, t.continueEn});
  }
  const std::vector<std::string> sexRu = media::SexItems(true), sexEn = media::SexItems(false);
  const std::vector<std::string> eventRu = media::EventItems(true), eventEn = media::EventItems(false);
  for (size_t i = 0; i < sexEn.size(); ++i) rows.push_back({"sex items", sexRu[i], sexEn[i]});
  for (size_t i = 0; i < eventEn.size(); ++i) rows.push_back({"event items", eventRu[i], eventEn[i]});
  rows.push_back({"translit page", media::TranslitDescription(true), media::TranslitDescription(false)});
  return rows;
}

class EnglishMode : public ::testing::Test {
 protected:
  void TearDown() override { text::SetEnglishShown(false); }
};

TEST_F(EnglishMode, EveryTableTextHasAnEnglishFormWithoutCyrillic) {
  const std::vector<Row> rows = AllTables();
  ASSERT_GT(rows.size(), 200u);
  for (const Row& r : rows) {
    EXPECT_FALSE(r.english.empty()) << r.table << ": " << r.russian;
    EXPECT_FALSE(HasCyrillic(r.english.c_str())) << r.table << ": " << r.english;
    EXPECT_FALSE(r.russian.empty()) << r.table << ": " << r.english;
  }
  // A caption cut short in an earlier version is whole.
  for (const media::SettingsCaption& c : media::SettingsCaptions()) {
    if (std::string(c.control) == "CreateArchive") {
      EXPECT_EQ(std::string(c.english), "Create archive");
    }
  }
}

// Whether markup shows a Cyrillic letter.  A link target "Для name:" is an
// address that goes into the message line and onto the wire as it is, so
// it does not count.
bool ShowsCyrillic(const std::string& cp1251) {
  const std::string shown = text::ReplaceAll(cp1251, W("\"Для "), "\"");
  return HasCyrillic(text::Cp1251ToUtf8(shown).c_str());
}

TEST_F(EnglishMode, BuiltTextsFollowTheLanguageAndRussianStaysAsItWas) {
  games::chess::ChessRules rules;
  for (const char* move : {"PE2-E4", "PE7-E5", "NG1-F3", "NB8-C6", "BF1-C4", "BF8-C5", "KE1-G1"})
    ASSERT_TRUE(rules.PlayMoveText(move)) << move;
  media::SmileyMap noSmileys;

  text::SetEnglishShown(true);
  EXPECT_EQ(rules.MoveListText(2), "<fcol=ff0000>N<fcol=000000>g1-f3");
  EXPECT_EQ(rules.MoveListText(6), "O-O");
  EXPECT_EQ(media::ArchivePages::TopMarker(true).markup, "<b>--- Start of archive ---</b>");
  EXPECT_EQ(direct::StateText(direct::kImpossible), "Impossible");
  const std::vector<std::string> english = {
      window::AboutText("localhost:8081", "2.8.0.7"), media::ArchivePages::TopMarker(false).markup,
      media::ArchivePages::BottomMarker(true).markup, media::ArchivePages::BottomMarker(false).markup,
      media::ArchivePages::EmptyArchiveLine().markup, media::SmileyIndexLine(noSmileys),
      audio::SentSoundLine("bob", 2048, 3), audio::ReceivedSoundLine("bob", 2048, 3)};
  for (const std::string& shown : english) EXPECT_FALSE(ShowsCyrillic(shown)) << text::Cp1251ToUtf8(shown);
  for (int state = direct::kConnecting; state <= direct::kImpossible; ++state)
    EXPECT_FALSE(ShowsCyrillic(direct::StateText(state))) << state;

  text::SetEnglishShown(false);
  EXPECT_EQ(rules.MoveListText(2), W("<fcol=ff0000>К<fcol=000000>g1-f3"));
  EXPECT_EQ(rules.MoveListText(6), W("О-О"));
  EXPECT_EQ(media::ArchivePages::TopMarker(false).markup, W("<b><link=\"--- Листать вверх (Ctrl+PgUp) ---\"Page Up></b>"));
  EXPECT_EQ(media::ArchivePages::BottomMarker(false).markup,
            W("<b><link=\"--- Листать вниз (Ctrl+PgDown)---\"Page Down></b>"));
  EXPECT_EQ(direct::StateText(direct::kImpossible), W("Невозможно"));
  EXPECT_EQ(audio::ReceivedSoundLine("bob", 2048, 3),
            W("От <b><link=\"bob\"bob></b>: Звуковое сообщение, размер 2048, <link=\"Воспроизвести\"::Play3>, "
              "<link=\"Прервать\"::Stop3>, <link=\"Удалить\"::Delt3>, <link=\"Сохранить\"::Save3>, "
              "<link=\"В архив\"::Arch3-bob>"));
  // The archive entry of a kept sound is part of the file: Russian in both modes.
  text::SetEnglishShown(true);
  EXPECT_EQ(audio::ReceivedArchiveEntry("bob", ""), W("#ffffff|#000000|00:00 <b>bob:</b> Звуковое сообщение"));
}

}  // namespace
