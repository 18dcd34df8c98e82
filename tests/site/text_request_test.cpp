// Code page conversion, folding, percent-decoding, and reading request heads and queries
// the way the program and browsers really send them.
#include <gtest/gtest.h>
#include <iconv.h>

#include "cp1251.h"
#include "request.h"

using namespace site;

namespace {

// glibc's converter, as an independent reference for the Windows-1251 table.
std::string Iconv(const char* to, const char* from, const std::string& in) {
  iconv_t cd = iconv_open(to, from);
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
  std::string out(in.size() * 4 + 8, '\0');
  char* src = const_cast<char*>(in.data());
  char* dst = &out[0];
  size_t src_left = in.size(), dst_left = out.size();
  size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
  iconv_close(cd);
  EXPECT_NE(rc, static_cast<size_t>(-1));
  out.resize(out.size() - dst_left);
  return out;
}

const std::string kFantastika = "\xD4\xE0\xED\xF2\xE0\xF1\xF2\xE8\xEA\xE0";  // Фантастика

}  // namespace

TEST(SiteCodePage, EveryByteMatchesTheSystemConverter) {
  for (int b = 0; b < 256; ++b) {
    if (b == 0x98) continue;  // unassigned in Windows-1251
    std::string one(1, static_cast<char>(b));
    std::string utf8 = Iconv("UTF-8", "CP1251", one);
    EXPECT_EQ(Cp1251ToUtf8(one), utf8) << "byte " << b;
    EXPECT_EQ(Utf8ToCp1251(utf8), one) << "byte " << b;
  }
}

TEST(SiteCodePage, MissingCharactersAndMalformedUtf8) {
  EXPECT_EQ(CodePointToCp1251(0x2605), -1);  // ★ is not in the code page
  EXPECT_EQ(Utf8ToCp1251("a\xE2\x98\x85z", '?'), "a?z");
  EXPECT_EQ(Utf8ToCp1251("\xC3(", '#'), "#(");  // a lead byte without its continuation
  std::vector<char32_t> cps = DecodeUtf8("\xC0\xAF\xED\xA0\x80x");  // overlong, surrogate
  ASSERT_FALSE(cps.empty());
  EXPECT_EQ(cps.back(), U'x');
  for (size_t i = 0; i + 1 < cps.size(); ++i) EXPECT_EQ(cps[i], 0xFFFDu);
  std::string back;
  for (char32_t cp : {U'Я', U'€', U'😀'}) AppendUtf8(back, cp);
  EXPECT_EQ(back, "Я€😀");
}

TEST(SiteCodePage, TellsBrowserUtf8FromProgramText) {
  EXPECT_TRUE(IsMultibyteUtf8("Фантастика"));
  EXPECT_FALSE(IsMultibyteUtf8(kFantastika));
  EXPECT_FALSE(IsMultibyteUtf8("plain ascii"));
  EXPECT_FALSE(IsMultibyteUtf8(""));
}

TEST(SiteCodePage, FoldingForSearch) {
  EXPECT_EQ(FoldCp1251(Utf8ToCp1251("ФАНТАСТИКА Sci-Fi")), Utf8ToCp1251("фантастика sci-fi"));
  EXPECT_EQ(FoldCp1251(Utf8ToCp1251("ЁЖИК ёжик")), Utf8ToCp1251("ежик ежик"));
  EXPECT_EQ(FoldCp1251(Utf8ToCp1251("ЎЇЄІЃЉ")), Utf8ToCp1251("ўїєіѓљ"));
  EXPECT_EQ(FoldCp1251("720 #$"), "720 #$");
}

TEST(SiteCodePage, PercentDecoding) {
  EXPECT_EQ(PercentDecode("%D4%e0%20720", false), "\xD4\xE0 720");
  EXPECT_EQ(PercentDecode("a+b", false), "a+b");
  EXPECT_EQ(PercentDecode("a+b", true), "a b");
  EXPECT_EQ(PercentDecode("100%", true), "100%");
  EXPECT_EQ(PercentDecode("%4", true), "%4");
  EXPECT_EQ(PercentDecode("%G1%", true), "%G1%");
  EXPECT_EQ(PercentDecode("%00x", false), std::string("\0x", 2));
}

TEST(SiteRequestHead, RewritesWhatTheProgramSends) {
  HeadLimits limits;
  std::string raw = "GET http://zq.test:80/gsearch.php?section=video&q=" + kFantastika +
                    " 720&name=1 HTTP/1.1\r\nHost: zq.test\r\nAccept: */*\r\n\r\n";
  RequestHead h = NormalizeHead(raw, limits);
  ASSERT_EQ(h.status, 0) << h.reason;
  EXPECT_TRUE(h.absolute_form);
  EXPECT_EQ(h.target_host, "zq.test");
  EXPECT_EQ(h.method, "GET");
  EXPECT_EQ(h.raw_target,
            "http://zq.test:80/gsearch.php?section=video&q=" + kFantastika + " 720&name=1");
  EXPECT_EQ(h.origin_target, "/gsearch.php?section=video&q=" + kFantastika + " 720&name=1");
  EXPECT_EQ(h.normalized, "GET /gsearch.php?section=video&q=" + kFantastika +
                              "%20720&name=1 HTTP/1.1\r\nAccept: */*\r\nHost: zq.test\r\n\r\n");
  EXPECT_EQ(h.host_header, "zq.test");
}

TEST(SiteRequestHead, OddButValidForms) {
  HeadLimits limits;
  // Bare LF line ends, empty lines before the request, a second '?', absolute form
  // without a path, and a Range header that is taken out for the site to serve.
  RequestHead h = NormalizeHead(
      "\r\n\nHEAD /a?b=c?d#e HTTP/1.0\nRange: bytes=0-1\nAccept-Encoding: gzip\n\n", limits);
  ASSERT_EQ(h.status, 0) << h.reason;
  EXPECT_EQ(h.normalized, "HEAD /a?b=c%3Fd%23e HTTP/1.0\r\n\r\n");
  EXPECT_EQ(h.range_header, "bytes=0-1");
  h = NormalizeHead("GET HTTP://CS7.ZQ.TEST?x=1 HTTP/1.1\r\nHost: other\r\n\r\n", limits);
  ASSERT_EQ(h.status, 0) << h.reason;
  EXPECT_EQ(h.target_host, "cs7.zq.test");
  EXPECT_EQ(h.origin_target, "/?x=1");
  EXPECT_EQ(h.normalized, "GET /?x=1 HTTP/1.1\r\nHost: cs7.zq.test\r\n\r\n");
  EXPECT_EQ(h.host_header, "other");
  // A rewritten head is accepted again as it is.
  EXPECT_EQ(NormalizeHead(h.normalized, limits).normalized, h.normalized);
  h = NormalizeHead("GET / HTTP/1.1\r\nHost: zq.test\r\nCookie: a=1\r\nCookie: b=2\r\n\r\n",
                    limits);
  EXPECT_EQ(h.cookie_header, "a=1");
}

TEST(SiteRequestHead, RefusesWithClearStatuses) {
  HeadLimits limits;
  limits.max_request_line = 100;
  limits.max_header_line = 50;
  limits.max_head = 400;
  struct Case {
    std::string head;
    int status;
  } cases[] = {
      {"GARBAGE\r\n\r\n", 400},
      {"GET /\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\n\r\n", 400},                        // no Host
      {"GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", 400},  // two Hosts
      {"GET / HTTP/1.1\r\nHost: a\r\n folded\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nHost: a\r\nno colon\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nHost: a\r\nContent-Length: 5\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n", 400},
      {std::string("GET /\0 HTTP/1.1\r\nHost: a\r\n\r\n", 29), 400},
      {"GET relative HTTP/1.1\r\nHost: a\r\n\r\n", 400},
      {"GET http:/// HTTP/1.1\r\n\r\n", 400},
      {"G(T / HTTP/1.1\r\nHost: a\r\n\r\n", 400},
      {"GET / HTTP/x\r\nHost: a\r\n\r\n", 400},
      {"GET / HTTP/2.0\r\nHost: a\r\n\r\n", 505},
      {"POST / HTTP/1.1\r\nHost: a\r\n\r\n", 405},
      {"OPTIONS * HTTP/1.1\r\nHost: a\r\n\r\n", 405},
      {"BREW / HTTP/1.1\r\nHost: a\r\n\r\n", 501},
      {"GET /" + std::string(100, 'a') + " HTTP/1.1\r\nHost: a\r\n\r\n", 414},
      {"GET / HTTP/1.1\r\nHost: a\r\nX: " + std::string(60, 'b') + "\r\n\r\n", 431},
      {"GET / HTTP/1.1\r\nHost: a\r\n" + std::string(400, 'c') + "\r\n\r\n", 431},
  };
  for (const Case& c : cases) {
    RequestHead h = NormalizeHead(c.head, limits);
    EXPECT_EQ(h.status, c.status) << c.head.substr(0, 60);
    EXPECT_FALSE(h.reason.empty());
    EXPECT_TRUE(h.normalized.empty());
  }
  // HTTP/1.0 may omit the Host header.
  EXPECT_EQ(NormalizeHead("GET / HTTP/1.0\r\n\r\n", limits).status, 0);
}

TEST(SiteRequestHead, HostNamesAndTheSitesHosts) {
  EXPECT_EQ(HostName("ZQ.Test:80"), "zq.test");
  EXPECT_EQ(HostName("user:pw@cs7.zq.test:8080"), "cs7.zq.test");
  EXPECT_EQ(HostName("zq.test."), "zq.test");
  EXPECT_EQ(HostName("[::1]:80"), "[::1]");
  EXPECT_EQ(HostName("zq.test:8o"), "");
  EXPECT_EQ(HostName("zq test"), "");
  EXPECT_EQ(HostName(""), "");

  EXPECT_EQ(ClassifyHost("zq.test").kind, HostKind::kSite);
  EXPECT_EQ(ClassifyHost("127.0.0.1").kind, HostKind::kSite);
  EXPECT_EQ(ClassifyHost("login.zq.test").kind, HostKind::kLogin);
  EXPECT_EQ(ClassifyHost("author.zq.test").kind, HostKind::kAuthor);
  HostInfo cs = ClassifyHost("cs17.zq.test");
  EXPECT_EQ(cs.kind, HostKind::kFileServer);
  EXPECT_EQ(cs.server, 17);
  for (const char* other : {"cs0.zq.test", "cs01.zq.test", "cs12345.zq.test", "csx.zq.test",
                            "cs7.zq.test.evil", "other.zq.test", "evil.example", "zq.test2"}) {
    EXPECT_EQ(ClassifyHost(other).kind, HostKind::kUnknown) << other;
  }
}

TEST(SiteQuery, SearchTextInEveryForm) {
  const std::string want = kFantastika + " 720";
  EXPECT_EQ(SearchText("section=video&q=" + kFantastika + " 720&name=1"), want);
  EXPECT_EQ(SearchText("section=video&q=" + kFantastika + "%20720&name=1"), want);
  EXPECT_EQ(SearchText("section=video&q=%D4%E0%ED%F2%E0%F1%F2%E8%EA%E0+720&name=1"), want);
  // A browser's address bar escapes UTF-8.
  EXPECT_EQ(SearchText("q=%D0%A4%D0%B0%D0%BD%D1%82%D0%B0%D1%81%D1%82%D0%B8%D0%BA%D0%B0%20720"),
            want);
  EXPECT_EQ(SearchText("section=video&q=tom & jerry&name=1"), "tom & jerry");
  EXPECT_EQ(SearchText("name=1&q=  padded  &section=video"), "padded");
  EXPECT_EQ(SearchText("section=video&q=&name=1"), "");
  EXPECT_EQ(SearchText("section=video&name=1"), "");
  EXPECT_EQ(SearchText("faq=1&name=1"), "");  // "q=" inside another field's name
  EXPECT_EQ(RawField("a=1&bb=2&b=3", "b"), std::optional<std::string>("3"));
  EXPECT_EQ(RawField("a=1", "b"), std::nullopt);
}

TEST(SiteQuery, LoginFieldsFromTheirFixedPlaces) {
  LoginFields f = LoginQuery("act=login&email=me@zq.test&pass=a&b c=d&expire=&zq =");
  ASSERT_TRUE(f.present);
  EXPECT_EQ(f.email_raw, "me@zq.test");
  EXPECT_EQ(f.pass_raw, "a&b c=d");
  f = LoginQuery("act=login&email=me%40zq.test&pass=a%26b%20c&expire=&zq%20=");
  ASSERT_TRUE(f.present);
  EXPECT_EQ(f.email, "me@zq.test");
  EXPECT_EQ(f.pass, "a&b c");
  // A password holding "&expire=" itself: the last one ends it.
  f = LoginQuery("act=login&email=x&pass=p&expire=q&expire=&zq =");
  EXPECT_EQ(f.pass_raw, "p&expire=q");
  EXPECT_EQ(LoginQuery("act=login&email=x&pass=&expire=&zq =").pass_raw, "");
  EXPECT_FALSE(LoginQuery("act=other&email=x&pass=y&expire=").present);
  EXPECT_FALSE(LoginQuery("act=login&email=x").present);
  EXPECT_FALSE(LoginQuery("").present);
}

TEST(SiteQuery, ByteRanges) {
  struct Case {
    const char* header;
    RangeKind kind;
    size_t begin, end;
  } cases[] = {
      {"bytes=0-9", RangeKind::kPartial, 0, 10},
      {"bytes=5-", RangeKind::kPartial, 5, 100},
      {"bytes=-10", RangeKind::kPartial, 90, 100},
      {"bytes=-1000", RangeKind::kPartial, 0, 100},
      {"bytes=90-1000", RangeKind::kPartial, 90, 100},
      {"BYTES = 1-1", RangeKind::kWhole, 0, 0},  // unit must be followed by '='
      {"bytes=100-", RangeKind::kUnsatisfiable, 0, 0},
      {"bytes=-0", RangeKind::kUnsatisfiable, 0, 0},
      {"bytes=5-2", RangeKind::kWhole, 0, 0},
      {"bytes=0-1,4-5", RangeKind::kWhole, 0, 0},
      {"items=0-1", RangeKind::kWhole, 0, 0},
      {"bytes=a-b", RangeKind::kWhole, 0, 0},
      {"bytes=99999999999999999999-", RangeKind::kWhole, 0, 0},
      {"", RangeKind::kWhole, 0, 0},
  };
  for (const Case& c : cases) {
    ByteRange r = ParseRange(c.header, 100);
    EXPECT_EQ(r.kind, c.kind) << c.header;
    if (c.kind == RangeKind::kPartial) {
      EXPECT_EQ(r.begin, c.begin) << c.header;
      EXPECT_EQ(r.end, c.end) << c.header;
    }
  }
  EXPECT_EQ(ParseRange("bytes=0-", 0).kind, RangeKind::kUnsatisfiable);
}
