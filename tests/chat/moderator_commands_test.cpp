#include <gtest/gtest.h>

#include "session/service_replies.h"
#include "settings/settings.h"
#include "text/cp1251.h"
#include "chat/moderator_commands.h"

using namespace window;

namespace {

class Host : public ModeratorHost, public session::ServiceRepliesHost {
 public:
  bool SocketOpen() override { return open; }
  void SendLine(const std::string& line) override { sent.push_back(line); }
  std::string Target() override { return target; }
  bool AskYesNo(const std::string& russian, const std::string& english) override {
    questions.push_back(russian + "|" + english);
    return answer;
  }
  void OpenUrl(const std::string& url) override { urls.push_back(url); }
  void ShowInfoWindow(const std::string&, const std::string&, const std::string&, int, int, bool) override {}
  void ModeratorChanged(bool) override {}
  bool open = true, answer = true;
  std::string target = "bob";
  std::vector<std::string> sent, questions, urls;
};

class Moderator : public ::testing::Test {
 protected:
  Moderator() {
    settings.FineType = 0;
    settings.CheckIP = true;
  }
  settings::Settings settings;
  Host host;
  session::ServiceReplies replies{settings, host};
  ModeratorCommands commands{settings, replies, host};
};

std::string FineLine(const std::string& cln, int period, int type, int ip) {
  return "x\xA6" "Fine;Cln=" + cln + ";Fdate=" + std::to_string(period) + ";Fprc=" + std::to_string(type) +
         ";FchkIP=" + std::to_string(ip) + ";\xA6\n";
}

}  // namespace

TEST_F(Moderator, EveryFineItemSendsItsPeriodAfterTheQuestion) {
  const int periods[7] = {0, 1, 2, 3, 4, 5, 365};
  for (int i = 0; i < 7; ++i) commands.Fine(i);
  ASSERT_EQ(host.sent.size(), 7u);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(host.sent[i], FineLine("bob", periods[i], 0, 1));
  // Removing a fine asks nothing; the others ask with their caption.
  ASSERT_EQ(host.questions.size(), 6u);
  EXPECT_EQ(host.questions[0], text::W("Оштрафовать bob на 10 мин?") + "|Fine bob on 10 min?");
  EXPECT_EQ(host.questions[5], text::W("Оштрафовать bob на 1 год?") + "|Fine bob on 1 year?");
}

TEST_F(Moderator, FineTypeAndIpControlFollowTheMenuAndNoSendsNothing) {
  commands.SetFineType(2);
  commands.SetCheckIp(false);
  host.target = "b;o|b";
  commands.Fine(3);
  ASSERT_EQ(host.sent.size(), 1u);
  EXPECT_EQ(host.sent[0], FineLine("b%3bo%7cb", 3, 2, 0));
  EXPECT_EQ(settings.FineType, 2);
  EXPECT_FALSE(settings.CheckIP);
  commands.SetFineType(7);  // not an item: unchanged
  EXPECT_EQ(settings.FineType, 2);

  host.answer = false;
  commands.Fine(6);
  EXPECT_EQ(host.sent.size(), 1u);
  commands.Fine(0);  // no question, sent at once
  EXPECT_EQ(host.sent.back(), FineLine("b%3bo%7cb", 0, 2, 0));
}

TEST_F(Moderator, NothingGoesOutOfflineOrWithoutATarget) {
  host.open = false;
  commands.Fine(0);
  commands.RequestAddress();
  commands.RequestWhois();
  host.open = true;
  host.target.clear();
  commands.Fine(0);
  commands.RequestAddress();
  commands.RequestWhois();
  commands.OpenFineForm();
  EXPECT_TRUE(host.sent.empty());
  EXPECT_TRUE(host.urls.empty());
  EXPECT_EQ(replies.PendingAddressRequests(), 0u);
}

TEST_F(Moderator, AddressAndWhoisRequests) {
  host.target = "a;b";
  commands.RequestAddress();
  commands.RequestAddress();
  commands.RequestWhois();
  EXPECT_EQ(host.sent, (std::vector<std::string>{"x\xA6GetIP=1;Cln=a%3bb;\xA6\n", "x\xA6GetIP=1;Cln=a%3bb;\xA6\n",
                                                 "x\xA6Whois=1;Cln=a%3bb;\xA6\n"}));
  EXPECT_EQ(replies.PendingAddressRequests(), 2u);
  // Each pending request turns one address answer into a window.
  replies.AddressLine("p|a%3bb|1.2.3.4|");
  EXPECT_EQ(replies.PendingAddressRequests(), 1u);
}

TEST_F(Moderator, FineFormCarriesTheIdentityWithBlanksAsUnderscores) {
  settings.ChatDir = "http://h:1/cgi-bin/chat/";
  settings.UserNum = "12";
  settings.UserName = "big mod";
  settings.Password = "p&w#1+%";
  host.target = text::W("злой тролль");
  commands.OpenFineForm();
  ASSERT_EQ(host.urls.size(), 1u);
  EXPECT_EQ(host.urls[0],
            "http://h:1/cgi-bin/chat/straf.cgi?act=2&un=12&uname=big_mod&pass=p%26w%231%2B%25&tnik=%E7%EB%EE%E9_"
            "%F2%F0%EE%EB%EB%FC");
}
