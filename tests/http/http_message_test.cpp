#include "markup/http/http_message.h"

#include <gtest/gtest.h>

using namespace http;

TEST(SplitUrl, SchemeHostPortAndPath) {
  auto u = SplitUrl("http://pics.example:8081/a/b.gif?x=1");
  ASSERT_TRUE(u);
  EXPECT_EQ(u->host, "pics.example:8081");
  EXPECT_EQ(u->connectHost, "pics.example");
  EXPECT_EQ(u->port, 8081);
  EXPECT_EQ(u->path, "/a/b.gif?x=1");

  u = SplitUrl("host/x");  // no scheme at all
  ASSERT_TRUE(u);
  EXPECT_EQ(u->host, "host");
  EXPECT_EQ(u->port, 80);

  u = SplitUrl("[::1]:99/p");
  ASSERT_TRUE(u);
  EXPECT_EQ(u->connectHost, "::1");
  EXPECT_EQ(u->port, 99);
}

TEST(SplitUrl, RefusesWhatCannotBeRequested) {
  EXPECT_FALSE(SplitUrl("http://host"));         // no path
  EXPECT_FALSE(SplitUrl("http:///path"));        // no host
  EXPECT_FALSE(SplitUrl("http://h:0/p"));        // port out of range
  EXPECT_FALSE(SplitUrl("http://h:65536/p"));
  EXPECT_FALSE(SplitUrl("http://h:+80/p"));      // a sign is not a port
  EXPECT_FALSE(SplitUrl("http://h:/p"));
  // Only a scheme of four letters is cut off; anything else becomes the host.
  EXPECT_FALSE(SplitUrl("https://h/p"));         // "https:" is no host:port
}

TEST(BuildRequest, ExactBytes) {
  auto u = SplitUrl("http://h.example:81/a.gif");
  ASSERT_TRUE(u);
  EXPECT_EQ(BuildRequest(*u, false), "GET /a.gif HTTP/1.0\nHost: h.example:81\n\n");
  EXPECT_EQ(BuildRequest(*u, true), "GET /a.gif HTTP/1.1\nAccept-Encoding: gzip\nHost: h.example:81\n\n");
}

TEST(ParseResponseHeader, FindsEndLengthAndEncoding) {
  EXPECT_FALSE(ParseResponseHeader("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n"));

  std::string r = "HTTP/1.0 200 OK\r\nContent-Length: 12\r\nContent-Encoding: gzip\r\n\r\nbody";
  auto h = ParseResponseHeader(r);
  ASSERT_TRUE(h);
  EXPECT_EQ(h->headerBytes, r.size() - 4);
  EXPECT_EQ(h->contentLength, 12);
  EXPECT_TRUE(h->gzip);

  // Field names are matched exactly; other spellings are not understood.
  h = ParseResponseHeader("HTTP/1.0 200 OK\r\ncontent-length: 5\r\ncontent-encoding: gzip\r\n\r\n");
  ASSERT_TRUE(h);
  EXPECT_EQ(h->contentLength, -1);
  EXPECT_FALSE(h->gzip);

  // A length that is no number, or a negative one, is unknown.
  EXPECT_EQ(ParseResponseHeader("X\r\nContent-Length: 1x\r\n\r\n")->contentLength, -1);
  EXPECT_EQ(ParseResponseHeader("X\r\nContent-Length: -4\r\n\r\n")->contentLength, -1);
  EXPECT_EQ(ParseResponseHeader("X\r\nContent-Length: 99999999999\r\n\r\n")->contentLength, -1);

  // The header ends at the first blank line; later lines belong to the body.
  h = ParseResponseHeader("X\r\n\r\nContent-Length: 4\r\nContent-Encoding: gzip\r\n\r\n");
  ASSERT_TRUE(h);
  EXPECT_EQ(h->headerBytes, 5u);
  EXPECT_EQ(h->contentLength, -1);
  EXPECT_FALSE(h->gzip);
}
