// The PROXY protocol header: the parser on hostile bytes, and a real chatd
// behind a "balancer" that knows its clients by the address the header names.
#include <gtest/gtest.h>

#include <string>

#include "server/proxy_header.h"
#include "server_fixture.h"

namespace {

using chatd::ParseProxyHeader;
using State = chatd::ProxyHeader::State;

std::string V2(unsigned char command, unsigned char family, const std::string& block) {
  std::string h("\r\n\r\n\0\r\nQUIT\n", 12);
  h += static_cast<char>(0x20 | command);
  h += static_cast<char>(family);
  h += static_cast<char>(block.size() >> 8);
  h += static_cast<char>(block.size() & 0xFF);
  return h + block;
}

TEST(ProxyHeaderTest, BothVersionsGiveTheClientAddressAndTheirLength) {
  const std::string v1 = "PROXY TCP4 203.0.113.7 10.0.0.1 51000 8080\r\n";
  auto h = ParseProxyHeader(v1 + "l\xA6rest");
  EXPECT_EQ(h.state, State::kDone);
  EXPECT_EQ(h.length, v1.size());
  EXPECT_EQ(h.address, "203.0.113.7");
  EXPECT_EQ(ParseProxyHeader("PROXY TCP6 ::ffff:198.51.100.2 ::1 1 2\r\n").address, "198.51.100.2");
  EXPECT_EQ(ParseProxyHeader("PROXY TCP6 2001:db8::1 ::1 1 2\r\n").address, "2001:db8::1");
  h = ParseProxyHeader("PROXY UNKNOWN whatever\r\n");
  EXPECT_EQ(h.state, State::kDone);
  EXPECT_EQ(h.address, "");

  const std::string v4 = V2(1, 0x11, std::string("\xC6\x33\x64\x09\x0A\x00\x00\x01\x01\x02\x03\x04", 12));
  h = ParseProxyHeader(v4 + "tail");
  EXPECT_EQ(h.state, State::kDone);
  EXPECT_EQ(h.length, v4.size());
  EXPECT_EQ(h.address, "198.51.100.9");
  h = ParseProxyHeader(V2(0, 0x00, ""));  // the balancer's own health check
  EXPECT_EQ(h.state, State::kDone);
  EXPECT_EQ(h.address, "");
}

TEST(ProxyHeaderTest, PiecesWaitAndHostileHeadersAreRefused) {
  const std::string v1 = "PROXY TCP4 203.0.113.7 10.0.0.1 51000 8080\r\n";
  for (size_t n = 0; n < v1.size(); ++n)
    EXPECT_EQ(ParseProxyHeader(v1.substr(0, n)).state, State::kNeedMore) << n;
  const std::string v2 = V2(1, 0x11, std::string(12, '\x01'));
  for (size_t n = 0; n < v2.size(); ++n)
    EXPECT_EQ(ParseProxyHeader(v2.substr(0, n)).state, State::kNeedMore) << n;

  for (const std::string& bad : std::initializer_list<std::string>{
           std::string("l\xA6Name=a;\xA6\n"),                           // no header at all
           std::string("PROXY TCP4 999.1.1.1 10.0.0.1 1 2\r\n"),        // not an address
           std::string("PROXY TCP4 1.2.3.4 10.0.0.1 1 2 3\r\n"),        // a field too many
           std::string("PROXY TCP4 1.2.3.4 10.0.0.1 1 99999\r\n"),      // not a port
           std::string("PROXY TCP5 1.2.3.4 10.0.0.1 1 2\r\n"),
           std::string("PROXY TCP4 1.2.3.4\r\n"),
           "PROXY " + std::string(200, 'A'),                            // no line end in 107 bytes
           V2(2, 0x11, std::string(12, '\0')),                          // unknown command
           V2(1, 0x11, std::string(4, '\0')),                           // address block too short
           V2(1, 0x11, std::string(600, '\0')),                         // longer than chatd takes
       }) {
    EXPECT_EQ(ParseProxyHeader(bad).state, State::kBad) << bad;
  }
}

class ProxyChatdTest : public chatd_test::ChatdTest {};

TEST_F(ProxyChatdTest, TheAddressFromTheHeaderIsTheOneChatdTellsAndLimits) {
  StartChatd({"--proxy-protocol", "--per-address", "1"});
  auto behind = [&](const std::string& header) {
    auto c = std::make_unique<chatd_test::LineClient>(chatd_->chatPort());
    EXPECT_TRUE(c->Send(header));
    return c;
  };
  auto alice = behind("PROXY TCP4 203.0.113.7 10.0.0.1 51000 8080\r\n");
  ASSERT_NE(alice->Login("alice", "pw"), "");
  // Her own address, as a direct link would ask for it.
  alice->Send("p\xA6" "alice\xA6\n");
  auto answer = alice->ReadUntil([](const std::string& l) { return l.rfind("p|", 0) == 0; });
  ASSERT_TRUE(answer);
  EXPECT_EQ(*answer, "p|alice|203.0.113.7|");

  // One connection per address: a second from her address is refused, one
  // from another address behind the same balancer is not.
  auto again = behind(V2(1, 0x11, std::string("\xCB\x00\x71\x07\x0A\x00\x00\x01\x01\x02\x03\x04", 12)));
  EXPECT_TRUE(again->WaitClosed());
  auto bob = behind("PROXY TCP4 198.51.100.2 10.0.0.1 51001 8080\r\n");
  EXPECT_NE(bob->Login("bob", "pw"), "");

  auto hostile = behind("PROXY TCP4 1.2.3.4 10.0.0.1 1 99999\r\n");
  EXPECT_TRUE(hostile->WaitClosed());
  auto bare = behind("l\xA6Name=eve;Pass=pw;\xA6\n");
  EXPECT_TRUE(bare->WaitClosed()) << "without a header nothing is served";
}

}  // namespace
