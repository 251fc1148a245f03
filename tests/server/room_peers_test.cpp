// Messages between nodes: what one node encodes the other reads back, and
// what a broken or hostile node sends is refused whole.
#include <gtest/gtest.h>

#include "server/room_peers.h"

namespace {

using chatd::DecodePeer;
using chatd::EncodePeer;
using chatd::PeerMessage;

TEST(RoomPeersTest, EveryKindReadsBackAsItWasWritten) {
  const PeerMessage sent{"private", 7, {"bob", "alice", "Alice", "12", "hi%3Bthere"}, "x\xA6Mess=hi;\xA6\n"};
  auto got = DecodePeer(EncodePeer(sent));
  ASSERT_TRUE(got);
  EXPECT_EQ(got->kind, "private");
  EXPECT_EQ(got->node, 7);
  EXPECT_EQ(got->fields, sent.fields);
  EXPECT_EQ(got->line, sent.line);
  auto on = DecodePeer(EncodePeer({"on", 63, {"bob", "Bob", "2.8", "m", "1", "0", "10.0.0.1", "17", "0"}, {}}));
  ASSERT_TRUE(on);
  EXPECT_EQ(on->fields[7], "17");
  // A line feed smuggled into a field cannot shift the fields after it.
  auto fenced = DecodePeer(EncodePeer({"off", 2, {"bob\nx", "5"}, {}}));
  ASSERT_TRUE(fenced);
  EXPECT_EQ(fenced->fields[1], "5");
}

TEST(RoomPeersTest, MalformedMessagesAreRefused) {
  const std::string line = "x\xA6Mess=hi;\xA6\n";
  for (const std::string& bad : std::initializer_list<std::string>{
           "",
           "public\n1\n",                                   // no line number, no line
           "public\n1\n5\n",                                // no line
           "public\n1\n5\n" + line + line,                  // two lines where one belongs
           "public\n1\n5\nno line feed",                    // not a whole line
           "public\n0\n5\n" + line,                         // node 0
           "public\n64\n5\n" + line,                        // past the last node
           "public\n01\n5\n" + line,                        // not a plain number
           "shout\n1\n" + line,                             // unknown kind
           "beat\n1\ntrailing",                             // bytes after a message without a line
           "off\n1\nbob\n",                                 // a field missing
           "line\n1\n" + std::string(70000, 'k') + "\n" + line,  // a field past its bound
       }) {
    EXPECT_FALSE(DecodePeer(bad)) << bad.substr(0, 60);
  }
  EXPECT_FALSE(DecodePeer("line\n1\nbob\nx\xA6" + std::string(chatd::kMaxPeerPayload, 'a') + "\n"));
}

}  // namespace
