// Accounts, sessions and cookies, the request log line, and the oversized PNG header.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "accounts.h"
#include "cp1251.h"
#include "reqlog.h"
#include "scenarios.h"

using namespace site;

TEST(SiteAccounts, UsersFileLines) {
  Accounts a;
  int n = a.Load(
      "# comment\r\n"
      "\r\n"
      "demo@zq.test demo\r\n"
      "Tester@ZQ.test pa&ss w0rd \n"
      "nopassword\n"
      "рус@zq.test пароль\n");
  EXPECT_EQ(n, 3);
  EXPECT_EQ(a.size(), 3u);
  auto check = [&](const std::string& query) { return a.Check(LoginQuery(query)); };
  EXPECT_TRUE(check("act=login&email=demo@zq.test&pass=demo&expire=&zq ="));
  EXPECT_FALSE(check("act=login&email=demo@zq.test&pass=demo2&expire=&zq ="));
  EXPECT_FALSE(check("act=login&email=nobody@zq.test&pass=demo&expire=&zq ="));
  EXPECT_FALSE(check("act=login&email=nopassword&pass=&expire=&zq ="));
  // The password is everything after the first blank, trailing blank included; raw, as
  // the download service sends it (blanks escaped) and as a form sends it.
  EXPECT_TRUE(check("act=login&email=tester@zq.test&pass=pa&ss w0rd &expire=&zq ="));
  EXPECT_TRUE(check("act=login&email=TESTER@zq.test&pass=pa&ss%20w0rd%20&expire=&zq%20="));
  EXPECT_TRUE(check("act=login&email=tester%40zq.test&pass=pa%26ss+w0rd+&expire="));
  EXPECT_FALSE(check("act=login&email=tester@zq.test&pass=pa&ss w0rd&expire=&zq ="));
  // A UTF-8 users file matches the Windows-1251 bytes the program sends.
  EXPECT_TRUE(check("act=login&email=" + Utf8ToCp1251("рус@zq.test") +
                    "&pass=" + Utf8ToCp1251("пароль") + "&expire=&zq ="));
  EXPECT_FALSE(a.Check(LoginFields()));
}

TEST(SiteAccounts, SessionsAndCookies) {
  Sessions s;
  std::string t1 = s.Open("a@zq.test"), t2 = s.Open("b@zq.test");
  EXPECT_EQ(t1.size(), 32u);
  EXPECT_NE(t1, t2);
  EXPECT_EQ(s.Lookup(t1), "a@zq.test");
  EXPECT_EQ(s.Lookup(t2), "b@zq.test");
  EXPECT_EQ(s.Lookup("0123"), "");
  EXPECT_EQ(s.Lookup(""), "");
  s.Close(t1);
  EXPECT_EQ(s.Lookup(t1), "");

  EXPECT_EQ(Sessions::TokenFromCookies("a=1; zqsid=abc; b=2"), "abc");
  EXPECT_EQ(Sessions::TokenFromCookies("zqsid=abc"), "abc");
  EXPECT_EQ(Sessions::TokenFromCookies("xzqsid=abc; zqsidx=1"), "");
  EXPECT_EQ(Sessions::TokenFromCookies(""), "");

  auto epoch = std::chrono::system_clock::from_time_t(0);
  EXPECT_EQ(HttpDate(epoch), "Thu, 01 Jan 1970 00:00:00 GMT");
  std::string cookie = Sessions::CookieHeader("tok", epoch);
  EXPECT_EQ(cookie,
            "zqsid=tok; expires=Sat, 31 Jan 1970 00:00:00 GMT; path=/; domain=.zq.test; HttpOnly");
  EXPECT_NE(Sessions::ClearingCookieHeader().find("1970"), std::string::npos);
}

TEST(SiteRequestLog, OneLineOfTenFields) {
  LogEntry e;
  e.method = "GET";
  e.target = "http://zq.test:80/gsearch.php?q=\xD4\xE0\t\\x";
  e.host = "zq.test";
  e.cookie = true;
  e.status = 200;
  e.bytes = 12345;
  e.connection = 7;
  e.request = 3;
  std::string line = FormatLogLine(
      e, std::chrono::system_clock::from_time_t(86400) + std::chrono::milliseconds(7));
  EXPECT_EQ(line,
            "1970-01-02T00:00:00.007Z\tGET\thttp://zq.test:80/gsearch.php?q=\xD4\xE0\\x09\\x5Cx"
            "\tzq.test\t1\t200\t12345\t-\t7\t3\n");
  e.coding = "gzip";
  line = FormatLogLine(e, std::chrono::system_clock::from_time_t(0));
  EXPECT_EQ(line.substr(line.find("\t200\t")), "\t200\t12345\tgzip\t7\t3\n");
  e.coding.clear();

  char path[] = "/tmp/vs_site_log_XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  {
    RequestLog log;
    ASSERT_TRUE(log.Open(path));
    log.Write(e);
    e.cookie = false;
    log.Write(e);
  }
  std::FILE* f = std::fopen(path, "rb");
  ASSERT_NE(f, nullptr);
  char buf[1024] = {};
  size_t n = std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  std::remove(path);
  std::string text(buf, n);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
  EXPECT_NE(text.find("\t1\t200\t12345\t-\t7\t3\n"), std::string::npos);
  EXPECT_NE(text.find("\t0\t200\t12345\t-\t7\t3\n"), std::string::npos);
  RequestLog unopened;
  unopened.Write(e);  // no file: nothing happens
  EXPECT_FALSE(unopened.Open("/nonexistent-dir/x.log"));
}

namespace {

struct PngSource {
  const std::string* data;
  size_t pos;
};

void ReadFromString(png_structp png, png_bytep out, png_size_t n) {
  auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
  if (src->pos + n > src->data->size()) png_error(png, "past the end");
  std::memcpy(out, src->data->data() + src->pos, n);
  src->pos += n;
}

}  // namespace

TEST(SiteScenarioFiles, PngHeaderClaimsItsSizeAndIsWellFormed) {
  std::string png = PngHeaderFile(60000, 60000);
  ASSERT_EQ(png.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
  // Every chunk's CRC checks out.
  size_t pos = 8;
  int chunks = 0;
  while (pos + 12 <= png.size()) {
    auto be32 = [&](size_t at) {
      return (uint32_t(uint8_t(png[at])) << 24) | (uint32_t(uint8_t(png[at + 1])) << 16) |
             (uint32_t(uint8_t(png[at + 2])) << 8) | uint32_t(uint8_t(png[at + 3]));
    };
    uint32_t len = be32(pos);
    ASSERT_LE(pos + 12 + len, png.size());
    uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(png.data() + pos + 4), len + 4));
    EXPECT_EQ(crc, be32(pos + 8 + len));
    pos += 12 + len;
    ++chunks;
  }
  EXPECT_EQ(pos, png.size());
  EXPECT_EQ(chunks, 3);

  // libpng reads the header and reports the claimed size.
  png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(p);
  png_set_user_limits(p, 0x7fffffff, 0x7fffffff);
  PngSource src{&png, 0};
  png_uint_32 w = 0, h = 0;
  if (setjmp(png_jmpbuf(p)) == 0) {
    png_set_read_fn(p, &src, ReadFromString);
    png_read_info(p, info);
    w = png_get_image_width(p, info);
    h = png_get_image_height(p, info);
  }
  png_destroy_read_struct(&p, &info, nullptr);
  EXPECT_EQ(w, 60000u);
  EXPECT_EQ(h, 60000u);
}

TEST(SiteScenarioFiles, EveryScenarioIsNamedAndDescribed) {
  ASSERT_GE(Scenarios().size(), 12u);
  for (const ScenarioInfo& s : Scenarios()) {
    EXPECT_EQ(std::string(s.name).rfind("zqtest-", 0), 0u) << s.name;
    EXPECT_GT(std::strlen(s.what), 10u);
  }
}
