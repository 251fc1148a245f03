#include <gtest/gtest.h>

#include "session/login.h"
#include "text/bytes.h"
#include "text/cp1251.h"

using namespace session;

TEST(LoginLine, FieldsInOrderWithOptionalSexAndSound) {
  LoginInputs in;
  in.identity = {"bob", "pw", "b@x", "17", "", 1};
  in.textColor = "0000ff";
  in.backColor = "ff8000";
  in.version = "2.8";
  in.audioCapable = true;
  EXPECT_EQ(BuildLoginLine(in),
            "l\xA6Num=17;Name=bob;Email=b@x;Color_Bacg=#0080ff;Color_Text=#ff0000;Pass=pw;Type=7;Ver=2.8;Sex=m;Sound=1;\xA6\n");
  in.identity.sex = 2;
  in.audioCapable = false;
  EXPECT_TRUE(text::EndsWith(BuildLoginLine(in), ";Type=7;Ver=2.8;Sex=w;\xA6\n"));
  in.identity.sex = 0;
  EXPECT_TRUE(text::EndsWith(BuildLoginLine(in), ";Pass=pw;Type=7;Ver=2.8;\xA6\n"));
  // Fields go out as stored, unescaped.
  in.identity.userName = text::W("Вася=1");
  EXPECT_NE(BuildLoginLine(in).find(";Name=" + text::W("Вася=1") + ";"), std::string::npos);
}

TEST(LoginLine, VersionIsTheTextBeforeTheSecondDot) {
  EXPECT_EQ(LoginVersion("2.8.0.331"), "2.8");
  EXPECT_EQ(LoginVersion("2.8"), "2.8");
  EXPECT_EQ(LoginVersion("???"), "???");
}

TEST(Identity, CompleteOnlyWithSafeNamePasswordAndNumber) {
  Identity id{"bob", "pw", "", "5", "", 0};
  EXPECT_TRUE(IdentityComplete(id));
  id.userNum.clear();
  EXPECT_FALSE(IdentityComplete(id));
  id.userNum = "5";
  for (const char* bad : {"a;b", "a|b", "a\xA6", "50%", "a\nb", "a\r"}) {
    Identity broken = id;
    broken.password = bad;
    EXPECT_FALSE(IdentityComplete(broken)) << bad;
    EXPECT_FALSE(ForbiddenLoginChar(bad).empty()) << bad;
  }
  EXPECT_TRUE(ForbiddenLoginChar(text::W("Имя с пробелом=ok")).empty());
}

TEST(LoginDialog, OkNeedsMailOnlyInRegistration) {
  EXPECT_FALSE(LoginOkEnabled("bob", "", "", false));
  EXPECT_TRUE(LoginOkEnabled("bob", "pw", "", false));
  EXPECT_FALSE(LoginOkEnabled("bob", "pw", "", true));
  EXPECT_TRUE(LoginOkEnabled("bob", "pw", "m", true));
}
