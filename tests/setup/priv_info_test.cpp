#include "setup/priv_info.h"

#include <gtest/gtest.h>

#include "temp_dir.h"
#include "text/cp1251.h"

namespace {

TEST(PrivInfo, LinesRoundTripAndAMissingFileIsEmpty) {
  TempDir dir;
  EXPECT_TRUE(media::ReadPrivInfo(dir.Path()).empty());
  std::vector<std::string> lines = {text::W("Привет"), "", "line three"};
  ASSERT_TRUE(media::WritePrivInfo(dir.Path(), lines));
  EXPECT_EQ(dir.Get("privinfo.txt"), text::W("Привет\r\n\r\nline three\r\n"));
  EXPECT_EQ(media::ReadPrivInfo(dir.Path()), lines);
  // Typed by hand: LF line ends and no line end after the last line.
  dir.Put("privinfo.txt", "a\nb");
  EXPECT_EQ(media::ReadPrivInfo(dir.Path()), (std::vector<std::string>{"a", "b"}));
}

}  // namespace
