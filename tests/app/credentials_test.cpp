#include "credentials.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "addresses.h"
#include "config.h"
#include "temp_dir.h"
#include "texts.h"

namespace {

// Typed values reach the site as their Windows-1251 bytes, escaped: the address is ASCII.
TEST(Addresses, LoginAddressEscapesValues) {
  EXPECT_EQ(LoginAddress("http://login.zq.test/", "me@x.test", "p&ss w\xEF"),
            "http://login.zq.test/?act=login&email=me@x.test&pass=p%26ss%20w%EF&expire=&zq%20=");
  EXPECT_EQ(LoginAddress("http://l/", "", ""), "http://l/?act=login&email=&pass=&expire=&zq%20=");
}

TEST(Addresses, SearchAddressAndDomain) {
  EXPECT_EQ(SearchAddress("http://zq.test/", "\xD4\xE0\xED\xF2\xE0\xF1\xF2\xE8\xEA\xE0 720"),
            "http://zq.test/gsearch.php?section=video&q="
            "%D4%E0%ED%F2%E0%F1%F2%E8%EA%E0%20720&name=1");
  EXPECT_EQ(SearchAddress("http://zq.test/", ""),
            "http://zq.test/gsearch.php?section=video&q=&name=1");
  // Also what would change the query's meaning: "+" (a blank), "#", "%", "&".
  EXPECT_EQ(EscapeQueryValue("C++ #1 & 100%\t\x7F\x98"), "C%2B%2B%20%231%20%26%20100%25%09%7F%98");
  EXPECT_EQ(EscapeQueryValue("me@x.test/a-b_c.d~e!*'()=?:,;$"), "me@x.test/a-b_c.d~e!*'()=?:,;$");
  EXPECT_EQ(SiteDomain("http://zq.test/"), "zq.test");
  EXPECT_EQ(SiteDomain("http://host:8080/x"), "host");
  EXPECT_EQ(SiteDomain(SITE_BASE_ADDRESS), "zq.test");
  EXPECT_EQ(String(SITE_BASE_ADDRESS).back(), '/');
  EXPECT_NE(SiteDomain(SITE_LOGIN_ENDPOINT), SiteDomain(SITE_BASE_ADDRESS));
}

class CredentialsTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    old = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
    g_app = AppState();
  }
  void TearDown() override {
    std::filesystem::current_path(old);
    ScratchDirTest::TearDown();
    g_app = AppState();
  }
  std::filesystem::path old;
};

TEST_F(CredentialsTest, MissingFileAsksAndStoringWritesTwoLines) {
  ReadCredentials();
  EXPECT_TRUE(NeedsLoginDialog());
  g_app.loginMail = "user@zq.test";
  g_app.loginPass = " p&ss word ";
  StoreCredentials();
  EXPECT_EQ(ReadWholeFile(dir_ + CREDENTIALS_FILE),
            "mail = user@zq.test\r\npass =  p&ss word \r\n");
  ReadCredentials();
  EXPECT_FALSE(NeedsLoginDialog());
  EXPECT_EQ(g_app.loginPass, "p&ss word");  // trimmed when read back
}

TEST_F(CredentialsTest, UpperCaseKeysSkipTheDialogAndFileStaysUnchanged) {
  const String bytes = "MAIL=a@b.test\nPASS=secret";
  WriteWholeFile(dir_ + CREDENTIALS_FILE, bytes);
  ReadCredentials();
  EXPECT_EQ(g_app.loginMail, "a@b.test");
  EXPECT_EQ(g_app.loginPass, "secret");
  EXPECT_FALSE(NeedsLoginDialog());
  EXPECT_EQ(ReadWholeFile(dir_ + CREDENTIALS_FILE), bytes);
}

TEST_F(CredentialsTest, OneValueMissingAsksAndKeepsTheOther) {
  WriteWholeFile(dir_ + CREDENTIALS_FILE, "mail = kept@x.test\r\npass =   \r\n");
  ReadCredentials();
  EXPECT_TRUE(NeedsLoginDialog());
  EXPECT_EQ(g_app.loginMail, "kept@x.test");
  EXPECT_EQ(g_app.loginPass, "");
}

TEST_F(CredentialsTest, AValueWithoutAWindows1251FormIsRefusedAndAFailedSaveIsTold) {
  const String file = dir_ + CREDENTIALS_FILE;
  WriteWholeFile(file,
                 "\xEF\xBB\xBFmail = \xD1\x8F@x.test\r\npass = \xE2\x98\x85\r\n");  // я, a star
  PathMessage unreadable = ReadCredentials();
  EXPECT_EQ(unreadable.path, file);
  EXPECT_EQ(unreadable.after.find(String("\r\n") + TEXT_NOT_CP1251_VALUE + "pass"), 0u);
  EXPECT_EQ(g_app.loginMail + "|" + g_app.loginPass, "\xFF@x.test|");

  std::filesystem::remove(file);
  std::filesystem::create_directory(file);
  g_app.loginMail = "typed@x.test";
  PathMessage failed = StoreCredentials();
  EXPECT_EQ(failed.path, file);
  EXPECT_EQ(failed.after.find(String("\r\n") + TEXT_SAVE_DIRECTORY), 0u);
  EXPECT_EQ(g_app.loginMail, "typed@x.test");
}

}  // namespace
