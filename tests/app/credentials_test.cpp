#include "credentials.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "addresses.h"
#include "config.h"
#include "temp_dir.h"
#include "texts.h"

namespace {

TEST(Addresses, TypedValuesArriveAsEscapedWindows1251Bytes) {
  // "Фантастика 720": each letter one Windows-1251 byte, escaped; the blank as %20.
  EXPECT_EQ(SearchAddress("http://zq.test/", "\xD4\xE0\xED\xF2\xE0\xF1\xF2\xE8\xEA\xE0 720"),
            "http://zq.test/gsearch.php?section=video&q="
            "%D4%E0%ED%F2%E0%F1%F2%E8%EA%E0%20720&name=1");
  EXPECT_EQ(SearchAddress("http://zq.test/", ""),
            "http://zq.test/gsearch.php?section=video&q=&name=1");
  // What would change the query's meaning is escaped too: "+" read as a blank, "#" ending
  // the address, "%" starting an escape, "&" a field; the rest of ASCII stays readable.
  EXPECT_EQ(EscapeQueryValue("C++ #1 & 100%\t\x7F\x98\xFF"),
            "C%2B%2B%20%231%20%26%20100%25%09%7F%98%FF");
  EXPECT_EQ(EscapeQueryValue("me@x.test/a-b_c.d~e!*'()=?:,;$"), "me@x.test/a-b_c.d~e!*'()=?:,;$");
  EXPECT_EQ(LoginAddress("http://login.zq.test/", "me@x.test", "p&ss w\xEF"),
            "http://login.zq.test/?act=login&email=me@x.test&pass=p%26ss%20w%EF&expire=&zq%20=");
  EXPECT_EQ(LoginAddress("http://l/", "", ""), "http://l/?act=login&email=&pass=&expire=&zq%20=");
}

TEST(Addresses, SiteDomain) {
  EXPECT_EQ(SiteDomain("http://zq.test/"), "zq.test");
  EXPECT_EQ(SiteDomain("http://host:8080/x"), "host");
  EXPECT_EQ(SiteDomain(SITE_BASE_ADDRESS), "zq.test");
  EXPECT_EQ(String(SITE_BASE_ADDRESS).back(), '/');
  EXPECT_NE(SiteDomain(SITE_LOGIN_ENDPOINT), SiteDomain(SITE_BASE_ADDRESS));
}

// Registration.ini lies in the current folder, here one whose name no single code page
// holds ("用户 Пользователь"): reading, writing and naming it must not care.
class CredentialsTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    old = std::filesystem::current_path();
    root_ = dir_;
    dir_ +=
        "\xE7\x94\xA8\xE6\x88\xB7 \xD0\x9F\xD0\xBE\xD0\xBB\xD1\x8C\xD0\xB7\xD0\xBE"
        "\xD0\xB2\xD0\xB0\xD1\x82\xD0\xB5\xD0\xBB\xD1\x8C";
    std::filesystem::create_directory(std::filesystem::u8path(dir_));
    dir_ += static_cast<char>(std::filesystem::path::preferred_separator);
    std::filesystem::current_path(std::filesystem::u8path(dir_));
    g_app = AppState();
  }
  void TearDown() override {
    std::filesystem::current_path(old);
    dir_ = root_;
    ScratchDirTest::TearDown();
    g_app = AppState();
  }
  std::filesystem::path old;
  std::string root_;
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

  std::filesystem::remove(std::filesystem::u8path(file));
  std::filesystem::create_directory(std::filesystem::u8path(file));
  g_app.loginMail = "typed@x.test";
  PathMessage failed = StoreCredentials();
  EXPECT_EQ(failed.path, file);
  EXPECT_EQ(failed.after.find(String("\r\n") + TEXT_SAVE_DIRECTORY), 0u);
  EXPECT_EQ(g_app.loginMail, "typed@x.test");
}

}  // namespace
