#include "http/http_message.h"

#include <gtest/gtest.h>

using namespace http;

TEST(ParseResponseHeader, EndLengthAndEncoding) {
  EXPECT_FALSE(ParseResponseHeader("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n"));

  std::string r = "HTTP/1.0 200 OK\r\nContent-Length: 12\r\nContent-Encoding: gzip\r\n\r\nbody";
  auto h = ParseResponseHeader(r);
  ASSERT_TRUE(h);
  EXPECT_EQ(h->headerBytes, r.size() - 4);
  EXPECT_EQ(h->contentLength, 12);
  EXPECT_TRUE(h->gzip);

  // Names are matched exactly; lengths that are no 32-bit count are unknown.
  h = ParseResponseHeader("HTTP/1.0 200 OK\r\ncontent-length: 5\r\ncontent-encoding: gzip\r\n\r\n");
  EXPECT_EQ(h->contentLength, -1);
  EXPECT_FALSE(h->gzip);
  for (const char* bad : {"1x", "-4", "99999999999", ""})
    EXPECT_EQ(ParseResponseHeader(std::string("X\r\nContent-Length: ") + bad + "\r\n\r\n")->contentLength, -1)
        << bad;

  // The header ends at the first blank line; later lines belong to the body.
  h = ParseResponseHeader("X\r\n\r\nContent-Length: 4\r\nContent-Encoding: gzip\r\n\r\n");
  EXPECT_EQ(h->headerBytes, 5u);
  EXPECT_EQ(h->contentLength, -1);
  EXPECT_FALSE(h->gzip);
}

TEST(SplitUrl, HostWithControlBytesOrBlanksIsRefused) {
  // A "%0a" in a message reaches the URL as a line feed; in the host it
  // would end the "Host:" header and start one of the sender's choosing.
  for (const std::string& host : std::initializer_list<std::string>{"127.0.0.1\nX-Evil: 1", "a\rb", std::string("a\0b", 3), "a\tb", "a b", "a\x7F",
                           "\n127.0.0.1", "127.0.0.1:8081\n"}) {
    EXPECT_FALSE(SplitUrl("http://" + host + "/p.gif")) << host;
    EXPECT_FALSE(SplitUrl(host + "/p.gif")) << host;
  }
  // Control bytes in the path are the request line's business (escaped
  // there), and high bytes in the host are left to the name lookup.
  auto parts = SplitUrl("http://127.0.0.1:8081/a\nb");
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->host, "127.0.0.1:8081");
  EXPECT_EQ(parts->port, 8081);
  EXPECT_EQ(parts->path, "/a\nb");
  parts = SplitUrl("http://\xE0\xE1.\xF0\xF4/x");
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->connectHost, "\xE0\xE1.\xF0\xF4");
}
