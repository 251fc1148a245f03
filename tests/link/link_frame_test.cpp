#include "link/link_frame.h"

#include <gtest/gtest.h>

namespace {

TEST(LinkFrame, EncodesAndTakesFramesAndRefusesGarbageAndOversize) {
  const std::string hello = direct::EncodeFrame('c', "hello");
  EXPECT_EQ(hello, std::string("c\x05\0\0\0\0\0\0\0hello", 14));
  std::string buffer = hello.substr(0, 10);
  char type = 0;
  std::string payload;
  EXPECT_EQ(direct::TakeFrame(buffer, type, payload), direct::FrameResult::Incomplete);
  buffer += hello.substr(10) + direct::EncodeFrame('a', "x");
  ASSERT_EQ(direct::TakeFrame(buffer, type, payload), direct::FrameResult::Frame);
  EXPECT_EQ(payload, "hello");
  ASSERT_EQ(direct::TakeFrame(buffer, type, payload), direct::FrameResult::Frame);
  EXPECT_EQ(type, 'a');
  EXPECT_TRUE(buffer.empty());

  buffer = "z" + std::string(20, '\0');
  EXPECT_EQ(direct::TakeFrame(buffer, type, payload), direct::FrameResult::Garbage);
  EXPECT_TRUE(buffer.empty());
  buffer = direct::EncodeFrame('c', std::string(100, 'q'));
  EXPECT_EQ(direct::TakeFrame(buffer, type, payload, 99), direct::FrameResult::Garbage);
}

}  // namespace
