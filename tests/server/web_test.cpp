// The web side over real sockets, with and without gzip.
#include "server/gzip.h"
#include "server_fixture.h"

namespace chatd_test {
namespace {

using text::W;

class WebTest : public ChatdTest {
 protected:
  void SetUp() override {
    StartChatd({"--bot", "Robot", "--moderator", "Mod"});
    ASSERT_TRUE(chatd_->AddUser("Mod", "modpw"));
  }

  // The body, after checking the framing the client relies on.
  std::string Fetch(const std::string& path, bool gzip, int status = 200) {
    auto reply = HttpGet(chatd_->httpPort(), path, gzip);
    EXPECT_TRUE(reply) << path;
    if (!reply) return {};
    EXPECT_EQ(reply->status, status) << path;
    EXPECT_TRUE(text::Contains(reply->headers, "\r\nContent-Length: ")) << reply->headers;
    EXPECT_FALSE(text::Contains(text::Lower(reply->headers), "chunked")) << reply->headers;
    const bool packed = text::Contains(reply->headers, "\r\nContent-Encoding: gzip");
    EXPECT_EQ(packed, gzip) << path;
    if (!packed) return reply->body;
    auto body = chatd::Gunzip(reply->body);
    EXPECT_TRUE(body) << path;
    return body.value_or("");
  }
};

TEST_F(WebTest, PagesAreTheSameWithAndWithoutGzip) {
  auto a = Join("Alice");  // the bot greets her, so the archive is not empty
  ASSERT_TRUE(NextRecordWith(*a, "Mess"));
  for (const char* path : {"/cgi-bin/chat/index1.html", "/cgi-bin/chat/index2.html", "/cgi-bin/chat/zp9.cgi?start=1",
                           "/cgi-bin/chat/straf.cgi?gol=1", "/a/gloc.html", "/members.html", "/smiles/101.gif",
                           "/smileset/1_2.gif", "/photos/Robot_1.jpg", "/cgi-bin/chat/arx.cgi?arx=1"}) {
    const std::string plain = Fetch(path, false);
    EXPECT_FALSE(plain.empty()) << path;
    EXPECT_EQ(Fetch(path, true), plain) << path;
  }
  // A photo asked for under another spelling of the account's name.
  EXPECT_EQ(Fetch("/photos/robot_1.jpg", false), Fetch("/photos/Robot_1.jpg", false));
  Fetch("/photos/nobody_1.jpg", false, 404);
  Fetch("/cgi-bin/chat/nothing.cgi", false, 404);
  Fetch("/cgi-bin/chat/arx.cgi?arx=11", true, 404);
  // No way out of the picture folders.
  Fetch("/photos/..%2Fchatd.sqlite", false, 404);
  Fetch("/photos/../chatd.sqlite", false, 404);
  Fetch("/smiles/%2E%2E%2F%2E%2E%2Fetc%2Fpasswd", false, 404);
}

TEST_F(WebTest, AnnouncementsNameThisServer) {
  for (const char* page : {"/a/gloc.html", "/b/gloc.html", "/c/gloc.html"}) {
    const std::string body = Fetch(page, false);
    const size_t begin = body.find("BEGIN_INFO"), end = body.find("END_INFO");
    ASSERT_NE(begin, std::string::npos);
    ASSERT_NE(end, std::string::npos);
    const std::string info = body.substr(begin + 10, end - begin - 10);
    EXPECT_TRUE(text::Contains(info, "\nsip\xA6" "127.0.0.1\n"));
    EXPECT_TRUE(text::Contains(info, "\nport\xA6" + std::to_string(chatd_->chatPort()) + "\n"));
    EXPECT_TRUE(text::Contains(info, "\nhref\xA6http://127.0.0.1:" + std::to_string(chatd_->httpPort()) +
                                         "/cgi-bin/chat/\n"));
  }
}

TEST_F(WebTest, SmileyListPointsAtAnimatedGifsServedHere) {
  const std::string list = Fetch("/cgi-bin/chat/straf.cgi?gol=1", true);
  int entries = 0, groups = 0, animated = 0;
  const std::string prefix = "http://127.0.0.1:" + std::to_string(chatd_->httpPort());
  for (const auto& line : text::Split(list, '\n')) {
    if (line.empty()) continue;
    const size_t bar = line.find('\xA6');
    ASSERT_NE(bar, std::string::npos) << line;
    const auto number = text::ParseInt(line.substr(0, bar));
    ASSERT_TRUE(number) << line;
    const std::string url = line.substr(bar + 1);
    ASSERT_TRUE(text::StartsWith(url, prefix)) << url;
    const std::string gif = Fetch(url.substr(prefix.size()), false);
    ASSERT_TRUE(text::StartsWith(gif, "GIF89a")) << url;
    animated += text::Contains(gif, "NETSCAPE2.0") ? 1 : 0;
    groups += *number % 100 == 0 ? 1 : 0;
    ++entries;
  }
  EXPECT_GE(entries, 30);
  EXPECT_EQ(groups, 3);
  EXPECT_GE(animated, 10);
  EXPECT_TRUE(text::StartsWith(Fetch("/photos/Robot_2.jpg", true), "\xFF\xD8\xFF"));
}

TEST_F(WebTest, PublicArchiveHoldsTheLastMessagesInTheArchiveFormat) {
  auto a = Join("Alice");
  for (int i = 0; i < 3; ++i) {
    a->Send("x\xA6Mess=line " + std::to_string(i) + " %7c pipe;Mid=" + std::to_string(i + 1) + ";\xA6\n");
    ASSERT_TRUE(NextRecordWith(*a, "Status"));
  }
  const std::string body = Fetch("/cgi-bin/chat/arx.cgi?arx=1", true);
  std::vector<std::string> mine;
  for (const auto& line : text::Split(body, '\n')) {
    if (text::Contains(line, "<b>Alice:</b>")) mine.push_back(line);
  }
  ASSERT_EQ(mine.size(), 3u) << body;
  for (int i = 0; i < 3; ++i) {
    auto fields = text::Split(mine[i], '\xA6');
    ASSERT_EQ(fields.size(), 5u) << mine[i];
    EXPECT_TRUE(text::ParseInt(fields[0]));
    EXPECT_EQ(fields[2], "#ffffff");
    EXPECT_EQ(fields[3], "#000000");
    EXPECT_TRUE(text::EndsWith(wire::UnescapeField(fields[4]), "<b>Alice:</b> line " + std::to_string(i) + " | pipe"));
  }
  // Older pages exist but are empty on a young server.
  EXPECT_TRUE(Fetch("/cgi-bin/chat/arx.cgi?arx=2", false).empty());
}

TEST_F(WebTest, FineFormOnlyForModeratorsAndItsSubmissionFines) {
  auto mod = Join("Mod", "modpw");
  auto bob = Join("Bob Smith");
  const std::string denied = Fetch("/cgi-bin/chat/straf.cgi?act=2&un=1&uname=Bob%20Smith&pass=pw&tnik=Mod", false, 403);
  const std::string form = Fetch("/cgi-bin/chat/straf.cgi?act=2&un=1&uname=Mod&pass=modpw&tnik=Bob_Smith", false);
  EXPECT_TRUE(text::Contains(form, "Bob Smith"));
  EXPECT_TRUE(text::Contains(form, "name=fdate"));
  Fetch("/cgi-bin/chat/straf.cgi?act=3&uname=Mod&pass=wrong&tnik=Bob_Smith&fdate=4&fprc=0", false, 403);
  Fetch("/cgi-bin/chat/straf.cgi?act=3&uname=Mod&pass=modpw&tnik=Bob_Smith&fdate=4&fprc=0", false);
  EXPECT_TRUE(bob->ReadUntil([](const std::string& l) { return l == "?5"; }));
}

TEST_F(WebTest, WhoisAndMembersPagesKnowTheUsers) {
  auto a = Join(W("Ёжик"));
  const std::string members = Fetch("/members.html", true);
  EXPECT_TRUE(text::Contains(members, W("Ёжик")));
  EXPECT_TRUE(text::Contains(members, "Robot"));
  // The name arrives percent-encoded in Windows-1251.
  const std::string whois = Fetch("/perl/whois?form_type=simple&full_query_string=&searchtext=%A8%E6%E8%EA", false);
  EXPECT_TRUE(text::Contains(whois, W("Ёжик")));
  EXPECT_TRUE(text::Contains(whois, "127.0.0.1"));
  const std::string nobody = Fetch("/perl/whois?form_type=simple&full_query_string=&searchtext=%3Cscript%3E", false);
  EXPECT_FALSE(text::Contains(nobody, "<script>"));
}

TEST_F(WebTest, GarbageAndFloodsOnTheWebPortDropOnlyThatConnection) {
  {
    LineClient junk(chatd_->httpPort());
    junk.Send("\x01\x02 not http at all\n\n");
    EXPECT_TRUE(junk.WaitClosed());
  }
  {
    // One endless header line: the connection goes, the server stays.
    LineClient flood(chatd_->httpPort());
    flood.Send("GET /members.html HTTP/1.1\nX-Long: ");
    const std::string chunk(1 << 20, 'a');
    for (int i = 0; i < 20 && flood.Send(chunk); ++i) {
    }
    EXPECT_TRUE(flood.WaitClosed());
  }
  EXPECT_TRUE(text::Contains(Fetch("/members.html", false), "Robot"));
  EXPECT_TRUE(chatd_->Running());
}

TEST(WebRawBytesTest, UnescapedWindows1251BytesInAPathStillFindTheirFile) {
  ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {"--bot", "Робот"});  // UTF-8 on the command line
  ASSERT_TRUE(chatd.ok());
  const std::string name = W("Робот");
  for (const std::string& path : {"/photos/" + name + "_1.jpg", std::string("/photos/%D0%EE%E1%EE%F2_2.jpg")}) {
    for (bool gzip : {false, true}) {
      auto reply = HttpGet(chatd.httpPort(), path, gzip);
      ASSERT_TRUE(reply) << path;
      EXPECT_EQ(reply->status, 200) << path;
      const std::string body = gzip ? chatd::Gunzip(reply->body).value_or("") : reply->body;
      EXPECT_TRUE(text::StartsWith(body, "\xFF\xD8\xFF")) << path;
    }
  }
  auto whois = HttpGet(chatd.httpPort(), "/perl/whois?form_type=simple&full_query_string=&searchtext=" + name, false);
  ASSERT_TRUE(whois);
  EXPECT_TRUE(text::Contains(whois->body, W("Номер: 1001")));
}

}  // namespace
}  // namespace chatd_test
