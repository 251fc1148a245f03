#include <gtest/gtest.h>

#include "text/cp1251.h"
#include "text/perl_regex.h"

TEST(PerlRegex, WorksOnWindows1251BytesAndReplacesOnlyTheFirstMatch) {
  const text::PerlRegex bold("^<b>[^<]*</b> ");
  // Cyrillic bytes are not valid UTF-8; they must match as plain bytes.
  const std::string name = text::W("<b>Вася:</b> ");
  EXPECT_TRUE(bold.Matches(name + "hi"));
  EXPECT_EQ(bold.ReplaceFirst(name + name + "hi", ""), name + "hi");
  EXPECT_EQ(bold.ReplaceFirst(" " + name, ""), " " + name);  // anchored
  EXPECT_FALSE(bold.Matches("<b>a<i>b</i></b> x"));

  const text::PerlRegex web(R"(^(mailto:|http:/|ftp:/|www\.|ftp\.))");
  EXPECT_TRUE(web.Matches("www.x.ru"));
  EXPECT_FALSE(web.Matches("wwwx.ru"));
  EXPECT_FALSE(web.Matches("WWW.x.ru"));  // case-sensitive
  EXPECT_EQ(web.ReplaceFirst("ftp.x", "$1"), "$1x");  // replacement is literal
  EXPECT_THROW(text::PerlRegex("("), std::invalid_argument);
}
