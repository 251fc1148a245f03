#include "smileys/smileys_model.h"

#include <gtest/gtest.h>

#include "temp_dir.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/line_file.h"
#include "text_download_log.h"

namespace {

using media::SmileyMap;
using text::W;

TEST(SmileyGroups, AGroupExistsOnlyWithItsIndexPicture) {
  const SmileyMap table{{0, "http://h/0.gif"}, {1, "http://h/1.gif"}, {2, "http://h/2.gif"}, {105, "http://h/105.gif"}};
  EXPECT_EQ(media::SmileyGroups(table), std::vector<int>{0});
  EXPECT_EQ(media::SmileyIndexLine(table), W("<fsize=8><link=\"Обновить\"read>") + std::string(12, ' ') +
                                               "<link='http://h/0.gif'0>  " + W("  <link=\"Все\"-1>"));
  EXPECT_EQ(media::SmileyGroupLines(table, 0),
            std::vector<std::string>{"<link='http://h/0.gif'0>  <link='http://h/1.gif'1>  <link='http://h/2.gif'2>  "});
  EXPECT_TRUE(media::SmileyGroupLines(table, 1).empty());
  EXPECT_TRUE(media::SmileyGroupLines(table, 100).empty());
  EXPECT_EQ(media::SmileyCode(105), ":u105:");
}

TEST(SmileyGroups, AllShowsOneLinePerGroupInOrderAndSkipsUnusableUrls) {
  SmileyMap table{{300, "c"}, {301, "c1"}, {0, "a"}, {199, "b99"}, {100, "b"}, {9999, "z"}, {9900, "y"},
                  {-100, "neg"}, {10000, "big"}, {500, ""}, {501, "orphan"}};
  table[101] = "x'>injected";
  table[102] = "-5";
  table[103] = "7.gif";
  const auto all = media::SmileyGroupLines(table, media::kAllSmileyGroups);
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[0], "<link='a'0>  ");
  EXPECT_EQ(all[1], "<link='b'100>  <link='b99'199>  ");
  EXPECT_EQ(all[2], "<link='c'300>  <link='c1'301>  ");
  EXPECT_EQ(all[3], "<link='y'9900>  <link='z'9999>  ");
  table[0] = "bad'url";
  EXPECT_EQ(media::SmileyGroups(table), (std::vector<int>{1, 3, 99}));
}

struct RecordingView : media::SmileysView {
  std::string index;
  std::vector<std::string> pictures;
  void ShowIndex(const std::string& line) override { index = line; }
  void ShowPictures(const std::vector<std::string>& lines) override { pictures = lines; }
};

struct TableHost : media::SmileysHost {
  std::string path;
  SmileyMap table;
  int reloads = 0;
  std::vector<std::string> inserted;
  int64_t traffic = 0;
  const SmileyMap& SmileyTable() const override { return table; }
  // The same reading rules as the program's loader, enough for the tests.
  void ReloadSmileyTable() override {
    ++reloads;
    table.clear();
    for (const auto& line : text::ReadLineFile(path)) {
      const size_t bar = line.find('\xA6');
      if (bar == std::string::npos) break;
      table[*text::ParseInt(line.substr(0, bar))] = line.substr(bar + 1);
    }
  }
  void InsertIntoMessageLine(const std::string& code) override { inserted.push_back(code); }
  void CountTraffic(int64_t bytes) override { traffic += bytes; }
  void DownloadActivity() override {}
};

class Smileys : public ::testing::Test {
 protected:
  Smileys() {
    host_.path = dir_.File("csmile.dat");
    dir_.Put("csmile.dat", W("0¦old0\n1¦old1\n"));
    host_.ReloadSmileyTable();
    host_.reloads = 0;
    model_ = std::make_unique<media::SmileysModel>(
        media::SmileysSettings{dir_.Path(), "http://127.0.0.1:1/cgi-bin/chat/", false}, view_, host_, downloads_);
  }
  TempDir dir_;
  RecordingView view_;
  TableHost host_;
  testing_media::DownloadLog downloads_;
  std::unique_ptr<media::SmileysModel> model_;
};

TEST_F(Smileys, ShowLinksAndInsertion) {
  model_->Show();
  EXPECT_NE(view_.index.find("<link='old0'0>"), std::string::npos);
  EXPECT_EQ(view_.pictures, std::vector<std::string>{"<link='old0'0>  <link='old1'1>  "});
  model_->IndexLinkClicked("-1");
  EXPECT_EQ(view_.pictures.size(), 1u);
  model_->IndexLinkClicked("5");
  EXPECT_TRUE(view_.pictures.empty());
  model_->PictureLinkClicked("1");
  model_->PictureLinkClicked("not a number");
  EXPECT_EQ(host_.inserted, std::vector<std::string>{":u1:"});
  EXPECT_EQ(media::SmileysWindowCaption(true), W("Дополнительные смайлы"));
  EXPECT_EQ(media::SmileysWindowCaption(false), "Additional smiles");
}

TEST_F(Smileys, OneDownloadAtATimeAndAGoodListReplacesFileAndTable) {
  model_->Show();
  model_->IndexLinkClicked("read");
  model_->IndexLinkClicked("read");
  ASSERT_EQ(downloads_.started.size(), 1u);
  EXPECT_EQ(downloads_.started[0].url, "http://127.0.0.1:1/cgi-bin/chat/straf.cgi?gol=1");
  EXPECT_EQ(view_.pictures, std::vector<std::string>{W("Чтение файла доп. смайлов")});

  const std::string body = W("0¦new0\r\n100¦new100\r\n101¦new101\r\n");
  downloads_.Receiver().DownloadDone(body);
  EXPECT_FALSE(model_->Downloading());
  EXPECT_EQ(dir_.Get("csmile.dat"), body);
  EXPECT_EQ(host_.reloads, 1);
  EXPECT_EQ(host_.traffic, static_cast<int64_t>(body.size()));
  EXPECT_NE(view_.index.find("<link='new100'1>"), std::string::npos);
  EXPECT_EQ(view_.pictures, std::vector<std::string>{"<link='new0'0>  "});
  EXPECT_EQ(dir_.EntryCount(), 1u);  // no temporary file left

  model_->Refresh();
  EXPECT_EQ(downloads_.started.size(), 2u);
}

TEST_F(Smileys, ABodyWithoutBrokenBarOrAFailureKeepsTheOldList) {
  model_->Show();
  const std::string indexBefore = view_.index;
  model_->Refresh();
  downloads_.Receiver().DownloadDone("<html>Internal error</html>");
  EXPECT_EQ(dir_.Get("csmile.dat"), W("0¦old0\n1¦old1\n"));
  EXPECT_EQ(host_.reloads, 0);
  EXPECT_EQ(host_.table.at(1), "old1");
  EXPECT_EQ(view_.index, indexBefore);
  EXPECT_EQ(view_.pictures, std::vector<std::string>{W("Ошибка чтения списка смайлов")});

  model_->Refresh();
  ASSERT_EQ(downloads_.started.size(), 2u);
  downloads_.Receiver().DownloadFailed();
  EXPECT_EQ(view_.pictures, std::vector<std::string>{W("Ошибка чтения списка смайлов")});
  EXPECT_EQ(dir_.Get("csmile.dat"), W("0¦old0\n1¦old1\n"));

  // A list that cannot be stored is an error too, not a silent success.
  dir_.MakeReadOnly("csmile.dat");
  model_->Refresh();
  downloads_.Receiver().DownloadDone(W("0¦new\n"));
  EXPECT_EQ(host_.reloads, 0);
  EXPECT_EQ(view_.pictures, std::vector<std::string>{W("Ошибка чтения списка смайлов")});
  EXPECT_FALSE(model_->Downloading());

  downloads_.refuse = true;
  model_->Refresh();
  EXPECT_EQ(view_.pictures, std::vector<std::string>{W("Ошибка чтения списка смайлов")});
  EXPECT_FALSE(model_->Downloading());
}

}  // namespace
