#include <gtest/gtest.h>

#include "session/service_replies.h"
#include "settings/settings.h"
#include "text/cp1251.h"

using namespace session;

namespace {

const std::string BB = "\xA6";

struct Shown {
  std::string key, title, text;
  int width, height;
  bool append;
};

class Host : public ServiceRepliesHost {
 public:
  void ShowInfoWindow(const std::string& key, const std::string& title, const std::string& text, int width,
                      int height, bool append) override {
    shown.push_back({key, title, text, width, height, append});
  }
  void OpenUrl(const std::string& url) override { urls.push_back(url); }
  void ModeratorChanged(bool on) override { moderator.push_back(on); }
  std::vector<Shown> shown;
  std::vector<std::string> urls;
  std::vector<bool> moderator;
};

class Replies : public ::testing::Test {
 protected:
  Replies() {
    settings.UserName = "me";
    settings.ChatDir = "http://127.0.0.1:8081/cgi-bin/chat/";
    replies.SetClock([this] { return now; });
  }
  wire::Record Rec(const std::string& body) { return wire::ParseRecord(body); }
  settings::Settings settings;
  Host host;
  ServiceReplies replies{settings, host};
  int64_t now = 2'000'000'000;
};

std::string Photo(const std::string& user, const std::string& n) {
  return "<a href=\"http://127.0.0.1:8081/photos/" + user + "_" + n + ".jpg\">" + text::W("Фото ") + n + "</a> ";
}

}  // namespace

TEST_F(Replies, OwnInformationListsPhotosWithDeleteAndNextAddNumber) {
  replies.OwnInformation(Rec("GetInfo=about%3B me<InfF3,9>;"));
  ASSERT_EQ(host.shown.size(), 1u);
  const Shown& s = host.shown[0];
  EXPECT_EQ(s.key, "me");
  EXPECT_EQ(s.title, "Visitor request");
  EXPECT_EQ(s.text, text::W("Информация о <b>") + "me</b>:<br><br>" + Photo("me", "3") +
                        "(<a href=\"--DelPict--3\">" + text::W("Удалить") + "</a>)   " + Photo("me", "9") +
                        "(<a href=\"--DelPict--9\">" + text::W("Удалить") + "</a>)   " +
                        "   <a href=\"--AddPict--10\">" + text::W("Добавить фото") + "</a><BR>about; me");
  EXPECT_FALSE(s.append);
  EXPECT_EQ(s.width, -1);

  settings.RussianInterface = true;
  replies.OwnInformation(Rec("GetInfo=plain;"));
  EXPECT_EQ(host.shown[1].title, text::W("Запрос о посетителе"));
  EXPECT_EQ(host.shown[1].text, text::W("Информация о <b>") + "me</b>:<br><br>   <a href=\"--AddPict--1\">" +
                                    text::W("Добавить фото") + "</a><BR>plain");
  // A tag that is not at the very end, or holds other bytes, stays text.
  replies.OwnInformation(Rec("GetInfo=<InfF7> tail;"));
  EXPECT_NE(host.shown[2].text.find("--AddPict--1\""), std::string::npos);
  EXPECT_NE(host.shown[2].text.find("<InfF7> tail"), std::string::npos);
  replies.OwnInformation(Rec("GetInfo=x<InfF7a>;"));
  EXPECT_NE(host.shown[3].text.find("x<InfF7a>"), std::string::npos);
  replies.OwnInformation(Rec("GetInfo=x<InfF7>;"));
  EXPECT_NE(host.shown[4].text.find(Photo("me", "7")), std::string::npos);
  EXPECT_NE(host.shown[4].text.find("--AddPict--8\""), std::string::npos);
  EXPECT_EQ(host.shown[4].text.find("<InfF"), std::string::npos);
  // A line end after the tag still ends the text.
  replies.OwnInformation(Rec("GetInfo=x<InfF12>%0A;"));
  EXPECT_NE(host.shown[5].text.find(Photo("me", "12")), std::string::npos);
  EXPECT_NE(host.shown[5].text.find("--AddPict--13\""), std::string::npos);
  EXPECT_EQ(host.shown[5].text.find("<InfF"), std::string::npos);
}

TEST_F(Replies, SomeoneElsesInformationIsKeyedByHisNameWithoutEditLinks) {
  replies.PushInfoRequest();
  replies.OwnInformation(Rec("GetInfo=hello<InfF2>;Cln=bob;"));
  ASSERT_EQ(host.shown.size(), 1u);
  EXPECT_EQ(host.shown[0].key, "bob");
  EXPECT_EQ(host.shown[0].text, text::W("Информация о <b>") + "bob</b>:<br><br>" + Photo("bob", "2") + "   <BR>hello");
  // Own name in Cln is the own information.
  replies.OwnInformation(Rec("GetInfo=x;Cln=me;"));
  EXPECT_NE(host.shown[1].text.find("--AddPict--1"), std::string::npos);
}

TEST_F(Replies, RightsFollowTheModField) {
  replies.Rights(Rec("Nastr=1;Mod=1;"));
  EXPECT_TRUE(replies.Moderator());
  replies.Rights(Rec("Nastr=1;"));
  EXPECT_FALSE(replies.Moderator());
  replies.Rights(Rec("Nastr=1;Mod=0;"));
  EXPECT_FALSE(replies.Moderator());
  EXPECT_EQ(host.moderator, (std::vector<bool>{true, false, false}));
}

TEST_F(Replies, AddressRecordNeedsAPendingRequestAndNeverTakesIt) {
  replies.AddressRecord(Rec("GetIP=10.0.0.1;Cln=bob;"));
  EXPECT_TRUE(host.shown.empty());
  replies.PushAddressRequest();
  replies.AddressRecord(Rec("GetIP=10.0.0.1;Cln=b%3Bob;"));
  replies.AddressRecord(Rec("GetIP=10.0.0.2;Cln=b%3Bob;"));
  ASSERT_EQ(host.shown.size(), 2u);
  EXPECT_EQ(host.shown[0].key, "IP::b;ob");
  EXPECT_EQ(host.shown[0].title, "Visitor IP address");
  EXPECT_EQ(host.shown[1].text, "IP <b>b;ob</b>: 10.0.0.2");
  EXPECT_EQ(replies.PendingAddressRequests(), 1u);
  EXPECT_TRUE(host.urls.empty());
}

TEST_F(Replies, AddressLineShowsOrSearchesAndTakesOneRequest) {
  replies.PushAddressRequest();
  replies.AddressLine("p|guest|10.0.0.1|");
  ASSERT_EQ(host.shown.size(), 1u);
  EXPECT_EQ(host.shown[0].key, "IP::guest");
  EXPECT_EQ(host.shown[0].text, "IP <b>guest</b>: 10.0.0.1");
  EXPECT_EQ(replies.PendingAddressRequests(), 0u);
  replies.AddressLine("p|guest|10.0.0.1|");
  ASSERT_EQ(host.urls.size(), 1u);
  EXPECT_EQ(host.urls[0],
            "http://127.0.0.1:8081/perl/whois?form_type=simple&full_query_string=&searchtext=10.0.0.1");
  // Without a second bar nothing happens, not even the queue changes.
  replies.PushAddressRequest();
  replies.AddressLine("p|guest|");
  replies.AddressLine("p|");
  EXPECT_EQ(replies.PendingAddressRequests(), 1u);
  EXPECT_EQ(host.shown.size(), 1u);
  replies.ClearAddressRequests();
  EXPECT_EQ(replies.PendingAddressRequests(), 0u);
}

TEST_F(Replies, WhoisWindowByNameOrPageForTheWholeBody) {
  replies.PushWhoisRequest();
  replies.PushWhoisRequest();
  replies.WhoisRecord(Rec("Whois=1;Cln=bob;WhoIs=line%7Cone;"), "Whois=1;Cln=bob;WhoIs=line%7Cone;");
  ASSERT_EQ(host.shown.size(), 1u);
  EXPECT_EQ(host.shown[0].key, "WhoIs::bob");
  EXPECT_EQ(host.shown[0].title, "WhoIs");
  EXPECT_EQ(host.shown[0].text, "WhoIs <b>bob</b>: line|one");
  replies.WhoisRecord(Rec("Whois=1.2.3.4;Cln=;"), "Whois=1.2.3.4;Cln=;");
  ASSERT_EQ(host.urls.size(), 1u);
  EXPECT_EQ(host.urls[0], "http://127.0.0.1:8081/perl/whois?form_type=simple&full_query_string=&searchtext="
                          "Whois=1.2.3.4;Cln=;");
}

TEST(FineCodes, PeriodsTypesAndTimes) {
  EXPECT_EQ(FinePeriodSeconds(0), 0);
  EXPECT_EQ(FinePeriodSeconds(1), 600);
  EXPECT_EQ(FinePeriodSeconds(3), 3600);
  EXPECT_EQ(FinePeriodSeconds(5), 864000);
  EXPECT_EQ(FinePeriodSeconds(6), 6 * 86400);
  EXPECT_EQ(FinePeriodSeconds(365), 365 * 86400);
  EXPECT_EQ(FinePeriodSeconds(-3), 0);
  EXPECT_EQ(FineTypeName(2), text::W("Чтение всего"));
  EXPECT_EQ(FineTypeName(7), text::W("Неизвестно"));
  EXPECT_EQ(FineTime(0), "01.01.70 00.00");
  EXPECT_EQ(FineTime(1'000'000'000 + ServiceReplies::kShownOffset), "09.09.01 05.46");
  EXPECT_EQ(WebRoot("http://h:81/a/b/"), "http://h:81");
  EXPECT_EQ(WebRoot("h/x"), "http://h");
}

TEST_F(Replies, FineListRowsColoursAndNextNames) {
  const std::string header = text::W("<nobr><b>Информация о штрафах</nobr><br><br><fsize=9><nobr>Имя") +
                             "<xpos=80>" + text::W("Адрес") + "<xpos=165>" + text::W("Период") + "<xpos=305>" +
                             text::W("Тип") + "<xpos=420>" + text::W("IP тест</b></nobr><br><fsize=8>");
  // bob: running one hour with IP test; ann (name taken from the IP field's
  // ":"): ended, no IP test; cy: a year long, still running.
  now = 1'000'000'000 + 86400 * 100;
  const int64_t start = now - 1800;
  const std::string line = "T|ok|b%3Bob" + BB + std::to_string(start) + BB + "1.1.1.1" + BB + "mod" + BB + "3" + BB +
                           "0" + BB + "1" + BB + ":ann" + BB + "0" + BB + "2.2.2.2" + BB + "mod" + BB + "4" + BB +
                           "1" + BB + ":cy" + BB + "1000000000" + BB + "3.3.3.3" + BB + "mod" + BB + "365" + BB +
                           "9" + BB + "0" + BB;
  replies.FineList(line);
  ASSERT_EQ(host.shown.size(), 1u);
  const Shown& s = host.shown[0];
  EXPECT_EQ(s.key, "FINE");
  EXPECT_EQ(s.title, "Fines");
  EXPECT_EQ(s.width, 480);
  const std::string bobRow = "<fcol=000080><nobr>b;ob<xpos=80>1.1.1.1<xpos=165><fsize=7>" +
                             FineTime(start + 14400) + " - " + FineTime(start + 3600 + 14400) +
                             "<fsize=8><xpos=305>" + text::W("Не пускать на сервер") + "<xpos=420>+</nobr><br>";
  const std::string annRow = "<fcol=008000><nobr>ann<xpos=80>2.2.2.2<xpos=165><fsize=7>01.01.70 04.00 - "
                             "02.01.70 04.00<fsize=8><xpos=305>" +
                             text::W("Чтение архивов") + "<xpos=420>-</nobr><br>";
  const std::string cyRow = "<fcol=000080><nobr>cy<xpos=80>3.3.3.3<xpos=165><fsize=7>09.09.01 05.46 - "
                            "09.09.02 05.46<fsize=8><xpos=305>" +
                            text::W("Неизвестно") + "<xpos=420>-</nobr><br>";
  EXPECT_EQ(s.text, header + bobRow + annRow + cyRow);
}

TEST_F(Replies, FineListStopsAtAFieldThatIsNotANumber) {
  replies.FineList("T|ok|bob" + BB + "12x" + BB + "1.1.1.1" + BB + "m" + BB + "1" + BB + "0" + BB + "1" + BB +
                   ":ann" + BB + "0" + BB + "2.2.2.2" + BB + "m" + BB + "1" + BB + "0" + BB + "0" + BB);
  ASSERT_EQ(host.shown.size(), 1u);
  const std::string& t = host.shown[0].text;
  EXPECT_TRUE(t.ends_with("<fsize=8>Unrecognized string: bob|12x|1.1.1.1|1|0|1<br>")) << t;
  EXPECT_EQ(t.find("ann"), std::string::npos);
  // An empty list is the header alone; a short line does not break.
  replies.FineList("T|ok|");
  replies.FineList("T|");
  EXPECT_TRUE(host.shown[1].text.ends_with("<fsize=8>"));
  EXPECT_EQ(host.shown[2].text, host.shown[1].text);
}

TEST_F(Replies, AnswersNobodyAskedForOpenNothingAndListsAreBounded) {
  // 5,000 WHOIS answers and 2,000 others' information without a request.
  for (int i = 0; i < 5000; ++i) {
    const std::string body = "Whois=1;Cln=u" + std::to_string(i) + ";WhoIs=x;";
    replies.WhoisRecord(Rec(body), body);
  }
  replies.WhoisRecord(Rec("Whois=1.2.3.4;Cln=;"), "Whois=1.2.3.4;Cln=;");
  for (int i = 0; i < 2000; ++i) replies.OwnInformation(Rec("GetInfo=x;Cln=u" + std::to_string(i) + ";"));
  EXPECT_TRUE(host.shown.empty());
  EXPECT_TRUE(host.urls.empty());
  // One request, one window; the own information needs none.
  replies.PushInfoRequest();
  replies.OwnInformation(Rec("GetInfo=x;Cln=bob;"));
  replies.OwnInformation(Rec("GetInfo=x;Cln=eve;"));
  replies.OwnInformation(Rec("GetInfo=mine;"));
  ASSERT_EQ(host.shown.size(), 2u);
  EXPECT_EQ(host.shown[0].key, "bob");
  EXPECT_EQ(host.shown[1].key, "me");
  // A reconnect forgets what was asked.
  replies.PushWhoisRequest();
  replies.ClearAddressRequests();
  replies.WhoisRecord(Rec("Whois=1;Cln=bob;WhoIs=x;"), "Whois=1;Cln=bob;WhoIs=x;");
  EXPECT_EQ(host.shown.size(), 2u);

  // A million photo numbers: a hundred shown.
  std::string numbers;
  for (int i = 1; i <= 1000000; ++i) numbers += std::to_string(i) + ",";
  replies.OwnInformation(Rec("GetInfo=x<InfF" + numbers + ">;"));
  ASSERT_EQ(host.shown.size(), 3u);
  const std::string& text = host.shown.back().text;
  EXPECT_NE(text.find("me_100.jpg"), std::string::npos);
  EXPECT_EQ(text.find("me_101.jpg"), std::string::npos);
  EXPECT_LT(text.size(), 20000u);
}

TEST_F(Replies, AFineListOfEightyThousandRowsShowsFiveThousand) {
  std::string line = "T|ok|n0";
  for (int i = 0; i < 80000; ++i)
    line += BB + "1000000000" + BB + "1.1.1.1" + BB + "mod" + BB + "3" + BB + "0" + BB + "1" + BB + ":n" +
            std::to_string(i + 1);
  line += BB;
  replies.FineList(line);
  ASSERT_EQ(host.shown.size(), 1u);
  const std::string& text = host.shown[0].text;
  size_t rows = 0;
  for (size_t at = text.find("</nobr><br>"); at != std::string::npos; at = text.find("</nobr><br>", at + 1)) ++rows;
  EXPECT_EQ(rows, 2u + size_t(ServiceReplies::kMaxFineRows));  // the header's two lines and the rows
  EXPECT_NE(text.find(">n4999<"), std::string::npos);
  EXPECT_EQ(text.find(">n5000<"), std::string::npos);
}
