// The site server as a process, talked to over loopback the way the program and its
// download service talk to it: login, cookies, searches in every escaping, the pages'
// markers, files and ranges, the test scenarios, bad input and stopping.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "catalogue.h"
#include "cp1251.h"
#include "pages.h"
#include "scan.h"
#include "scenarios.h"
#include "site_process.h"

using sitetest::Fetch;
using sitetest::Parse;
using sitetest::Response;
using sitetest::RoundTrip;
using sitetest::SiteProcess;

namespace {

const std::string kFantastika = "\xD4\xE0\xED\xF2\xE0\xF1\xF2\xE8\xEA\xE0";  // Фантастика

std::string ReadMedia(const std::string& name) {
  std::ifstream in(std::string(VS_SITE_MEDIA_DIR) + "/" + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// A gzip or zlib stream decoded; "<bad stream>" when it is not one.
std::string Inflate(const std::string& packed) {
  z_stream z{};
  if (inflateInit2(&z, 32 + 15) != Z_OK) return "<bad stream>";
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  z.avail_in = static_cast<uInt>(packed.size());
  std::string out;
  int rc = Z_OK;
  while (rc == Z_OK) {
    char buf[65536];
    z.next_out = reinterpret_cast<Bytef*>(buf);
    z.avail_out = sizeof buf;
    rc = inflate(&z, Z_NO_FLUSH);
    out.append(buf, sizeof buf - z.avail_out);
  }
  inflateEnd(&z);
  return rc == Z_STREAM_END && z.avail_in == 0 ? out : "<bad stream>";
}

// The body of a chunked answer decoded, and whether its last (empty) chunk came.
std::string Dechunk(const std::string& body, bool* ended, int* chunks) {
  std::string out;
  size_t pos = 0;
  *ended = false;
  *chunks = 0;
  for (;;) {
    size_t eol = body.find("\r\n", pos);
    if (eol == std::string::npos) return out;
    size_t size = std::stoul(body.substr(pos, eol - pos), nullptr, 16);
    if (size == 0) {
      *ended = body.compare(eol, 4, "\r\n\r\n") == 0;
      return out;
    }
    out += body.substr(eol + 2, size);  // a broken-off chunk gives what came of it
    if (body.size() < eol + 2 + size + 2) return out;
    ++*chunks;
    pos = eol + 2 + size + 2;
  }
}

// GET of a scenario file, in proxy form.
Response GetScenarioFile(int port, const std::string& vtag, const std::string& extra = "",
                         int timeout_ms = 5000) {
  return Parse(RoundTrip(port,
                         "GET http://cs1.zq.test:80/u9/video/" + vtag +
                             ".480.mp4 HTTP/1.1\r\nHost: cs1.zq.test\r\n" + extra +
                             "Connection: close\r\n\r\n",
                         timeout_ms));
}

std::string Cookie(const std::string& token) { return "Cookie: zqsid=" + token + "\r\n"; }

// The search as the program sends it: in proxy form, the text unescaped.
std::string SearchRequest(const std::string& text, const std::string& extra = "") {
  return "GET http://zq.test:80/gsearch.php?section=video&q=" + text +
         "&name=1 HTTP/1.1\r\nHost: zq.test\r\n" + extra + "Connection: close\r\n\r\n";
}

std::vector<std::string> Links(const std::vector<const site::Video*>& videos) {
  std::vector<std::string> links;
  for (const site::Video* v : videos) links.push_back(site::VideoLink(*v));
  return links;
}

// Host and target of an absolute address.
std::pair<std::string, std::string> SplitAddress(const std::string& address) {
  std::string rest = address.substr(address.find("//") + 2);
  size_t slash = rest.find('/');
  return {rest.substr(0, slash), rest.substr(slash)};
}

class SiteServer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new SiteProcess({"--stall-seconds", "2", "--head-timeout", "1"});
    token_ = sitetest::Login(server_->port(), "demo@zq.test", "demo");
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(server_->port(), 0);
    ASSERT_FALSE(token_.empty());
  }
  static int port() { return server_->port(); }
  static Response Search(const std::string& text) {
    return Parse(RoundTrip(port(), SearchRequest(text, Cookie(token_))));
  }

  static SiteProcess* server_;
  static std::string token_;
};
SiteProcess* SiteServer::server_ = nullptr;
std::string SiteServer::token_;

}  // namespace

TEST_F(SiteServer, LoginWithAmpersandAndBlankInThePassword) {
  for (const char* blank : {" ", "%20"}) {
    std::string target = std::string("http://login.zq.test:80/?act=login&email=tester@zq.test") +
                         "&pass=pa&ss" + blank + "w0rd&expire=&zq" + blank + "=";
    Response r = Parse(RoundTrip(port(), "GET " + target +
                                             " HTTP/1.1\r\nHost: login.zq.test\r\n"
                                             "Connection: close\r\n\r\n"));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.status, 302) << blank;
    EXPECT_EQ(r.Header("location"), "http://zq.test/");
    std::string cookie = r.Header("set-cookie");
    EXPECT_EQ(cookie.rfind("zqsid=", 0), 0u) << cookie;
    EXPECT_NE(cookie.find("; domain=.zq.test"), std::string::npos);
    EXPECT_NE(cookie.find("; expires="), std::string::npos);
    EXPECT_NE(cookie.find("; path=/"), std::string::npos);
  }
  // A wrong password, or half of the right one, sets nothing.
  for (const char* pass : {"pa", "pa&ss", "pa&ss%20w0rd%20", "demo"}) {
    Response r =
        Fetch(port(), "login.zq.test",
              std::string("/?act=login&email=tester@zq.test&pass=") + pass + "&expire=&zq%20=");
    EXPECT_EQ(r.status, 200) << pass;
    EXPECT_EQ(r.Header("set-cookie"), "") << pass;
  }
  EXPECT_EQ(Fetch(port(), "login.zq.test", "/elsewhere").status, 404);
}

TEST_F(SiteServer, SearchNeedsTheSessionCookie) {
  std::string query = kFantastika + "%20720";
  Response guest = Parse(RoundTrip(port(), SearchRequest(query)));
  Response bogus = Parse(RoundTrip(port(), SearchRequest(query, Cookie("0123456789abcdef"))));
  Response member = Search(query);
  for (const Response* r : {&guest, &bogus, &member}) {
    ASSERT_EQ(r->status, 200);
    EXPECT_EQ(r->Header("content-type"), "text/html; charset=windows-1251");
  }
  EXPECT_TRUE(sitetest::ScanResults(guest.body).links.empty());
  EXPECT_TRUE(sitetest::ScanResults(bogus.body).links.empty());
  EXPECT_FALSE(sitetest::ScanResults(member.body).links.empty());

  // Logging out ends the session for good.
  std::string token = sitetest::Login(port(), "demo@zq.test", "demo");
  ASSERT_FALSE(token.empty());
  Response out = Fetch(port(), "zq.test", "/logout", Cookie(token));
  EXPECT_EQ(out.status, 302);
  EXPECT_NE(out.Header("set-cookie").find("1970"), std::string::npos);
  Response after = Parse(RoundTrip(port(), SearchRequest(query, Cookie(token))));
  EXPECT_TRUE(sitetest::ScanResults(after.body).links.empty());
}

TEST_F(SiteServer, PagesAreCompressedOnlyWhenAskedAndFilesNever) {
  std::string query = "%37%320";  // 720, spelt so that the log lines are this test's own
  Response plain = Search(query);
  ASSERT_EQ(plain.status, 200);
  EXPECT_EQ(plain.Header("content-encoding"), "");
  struct Case {
    const char* accept;
    const char* coding;
  } cases[] = {{"gzip, deflate, br", "gzip"}, {"deflate", "deflate"}, {"x-gzip;q=0.5", "gzip"},
               {"gzip;q=0, deflate;q=0", ""}, {"identity", ""},       {"br", ""}};
  for (const Case& c : cases) {
    Response r = Parse(RoundTrip(
        port(), SearchRequest(query, Cookie(token_) + "Accept-Encoding: " + c.accept + "\r\n")));
    ASSERT_EQ(r.status, 200) << c.accept;
    EXPECT_EQ(r.Header("content-encoding"), c.coding) << c.accept;
    EXPECT_EQ(r.Header("vary"), "Accept-Encoding") << c.accept;
    if (*c.coding) {
      EXPECT_LT(r.body.size(), plain.body.size() / 3) << c.accept;
      EXPECT_EQ(Inflate(r.body), plain.body) << c.accept;
    } else {
      EXPECT_EQ(r.body, plain.body) << c.accept;
    }
  }
  // The log tells which answers went compressed.
  std::vector<std::string> logged = server_->WaitForLog("q=%37%320&name=1\t", 7);
  auto coded = [&](const std::string& coding) {
    return std::count_if(logged.begin(), logged.end(), [&](const std::string& line) {
      return line.find("\t" + coding + "\t") != std::string::npos;
    });
  };
  EXPECT_EQ(coded("gzip"), 2);
  EXPECT_EQ(coded("deflate"), 1);
  EXPECT_EQ(coded("-"), 4);
  // Files go out as they are, whatever the client accepts.
  auto [host, target] = SplitAddress(site::PreviewAddress(site::Catalogue()[0]));
  Response picture = Fetch(port(), host, target, "Accept-Encoding: gzip\r\n");
  EXPECT_EQ(picture.status, 200);
  EXPECT_EQ(picture.Header("content-encoding"), "");
  EXPECT_EQ(picture.body.compare(0, 3, "\xFF\xD8\xFF"), 0);
}

// What a client must tell apart: a refused login, a live session, and one the site forgot.
TEST(SiteServerSessions, RefusedLoginAndExpiredSessionGetTheLoginPage) {
  SiteProcess server;
  ASSERT_NE(server.port(), 0);
  int port = server.port();
  auto is_login_page = [](const Response& r) {
    return r.status == 200 && r.body.find(site::kLoginFormMarker) != std::string::npos;
  };
  Response refused =
      Fetch(port, "login.zq.test", "/?act=login&email=demo@zq.test&pass=wrong&expire=&zq%20=");
  EXPECT_TRUE(is_login_page(refused));
  EXPECT_EQ(refused.Header("set-cookie"), "");
  EXPECT_NE(refused.body.find(site::Utf8ToCp1251("Неверный e-mail или пароль.")),
            std::string::npos);

  std::string token = sitetest::Login(port, "demo@zq.test", "demo");
  ASSERT_FALSE(token.empty());
  std::string page = "/" + site::VideoLink(site::Catalogue()[0]);
  auto search = [&] { return Parse(RoundTrip(port, SearchRequest("720", Cookie(token)))); };
  Response member = search();
  EXPECT_FALSE(is_login_page(member));
  EXPECT_GT(sitetest::ScanResults(member.body).links.size(), 51u);
  Response video = Fetch(port, "zq.test", page, Cookie(token));
  EXPECT_FALSE(is_login_page(video));
  EXPECT_EQ(sitetest::ScanVideoPage(video.body).marker_lines, 1);
  Response guest_video = Fetch(port, "zq.test", page);
  EXPECT_TRUE(is_login_page(guest_video));
  EXPECT_EQ(sitetest::ScanVideoPage(guest_video.body).marker_lines, 0);

  Response expired = Fetch(port, "zq.test", "/zqtest-expire-sessions");
  EXPECT_EQ(expired.body, "expired 1\n");
  Response after = search();
  EXPECT_TRUE(is_login_page(after));
  EXPECT_TRUE(sitetest::ScanResults(after.body).links.empty());
  EXPECT_TRUE(is_login_page(Fetch(port, "zq.test", page, Cookie(token))));
  // The log tells the logins apart by their status.
  EXPECT_EQ(server.WaitForLog("\tlogin.zq.test\t0\t200\t").size(), 1u);
  EXPECT_EQ(server.WaitForLog("\tlogin.zq.test\t0\t302\t").size(), 1u);

  // Sessions may also end by themselves.
  SiteProcess short_lived({"--session-seconds", "1"});
  ASSERT_NE(short_lived.port(), 0);
  token = sitetest::Login(short_lived.port(), "demo@zq.test", "demo");
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_TRUE(
      is_login_page(Parse(RoundTrip(short_lived.port(), SearchRequest("720", Cookie(token))))));
}

TEST(SiteServerOpen, OpenSearchServesGuests) {
  SiteProcess open({"--open-search"});
  ASSERT_NE(open.port(), 0);
  Response r = Parse(RoundTrip(open.port(), SearchRequest("720")));
  EXPECT_GT(sitetest::ScanResults(r.body).links.size(), 51u);
}

TEST_F(SiteServer, RawAndEscapedCyrillicQueriesAgree) {
  std::vector<std::string> want = Links(site::Search(site::QueryWords(kFantastika + " 720")));
  ASSERT_GE(want.size(), 5u);
  const std::string forms[] = {
      kFantastika + "%20720",                  // the download service
      kFantastika + " 720",                    // raw blank
      "%D4%E0%ED%F2%E0%F1%F2%E8%EA%E0%20720",  // fully escaped
      "%d4%e0%ed%f2%e0%f1%f2%e8%ea%e0+720",    // a form, lower-case hex
      "%D0%A4%D0%B0%D0%BD%D1%82%D0%B0%D1%81%D1%82%D0%B8%D0%BA%D0%B0%20720",  // UTF-8
      site::Utf8ToCp1251("ФАНТАСТИКА") + "%20%20720%20",                     // case, extra blanks
  };
  for (const std::string& q : forms) {
    Response r = Search(q);
    ASSERT_EQ(r.status, 200) << q;
    EXPECT_EQ(sitetest::ScanResults(r.body).links, want) << q;
  }
}

TEST_F(SiteServer, MoreThan51Results) {
  sitetest::ResultScan all = sitetest::ScanResults(Search("").body);
  EXPECT_EQ(all.links.size(), site::Catalogue().size());
  sitetest::ResultScan hd = sitetest::ScanResults(Search("720").body);
  EXPECT_GT(hd.links.size(), 51u);
  EXPECT_EQ(hd.pictures.size(), hd.links.size());
  EXPECT_EQ(hd.descriptions.size(), hd.links.size());
}

TEST_F(SiteServer, EveryResultLeadsToAVideoPageAndAPlayer) {
  sitetest::ResultScan scan = sitetest::ScanResults(Search(kFantastika + "%20720").body);
  ASSERT_FALSE(scan.links.empty());
  for (size_t i = 0; i < scan.links.size(); ++i) {
    // The program appends the link to the site base address.
    Response page = Parse(RoundTrip(port(), "GET http://zq.test:80/" + scan.links[i] +
                                                " HTTP/1.1\r\nHost: zq.test\r\n" + Cookie(token_) +
                                                "Connection: close\r\n\r\n"));
    ASSERT_EQ(page.status, 200) << scan.links[i];
    sitetest::PlayerScan s = sitetest::ScanVideoPage(page.body);
    EXPECT_EQ(s.marker_lines, 1);
    EXPECT_EQ(s.host_label.rfind("cs", 0), 0u);
    // The player frame's address as the program builds it.
    std::string player = "/video_ext.php?oid=" + s.oid + "&id=" + s.vid + "&hash=" + s.hash2;
    Response frame = Fetch(port(), "zq.test", player);
    ASSERT_EQ(frame.status, 200) << player;
    EXPECT_NE(frame.body.find("<source src=\"" + sitetest::DownloadAddress(s) + "\""),
              std::string::npos);
    EXPECT_EQ(Fetch(port(), "zq.test", player + "x").status, 403);
    // The preview picture is a JPEG of the expected size.
    auto [pic_host, pic_target] = SplitAddress(scan.pictures[i]);
    Response pic = Fetch(port(), pic_host, pic_target);
    ASSERT_EQ(pic.status, 200) << scan.pictures[i];
    EXPECT_EQ(pic.Header("content-type"), "image/jpeg");
    ASSERT_GT(pic.body.size(), 200u);
    EXPECT_EQ(pic.body.compare(0, 3, "\xFF\xD8\xFF"), 0);
    EXPECT_EQ(pic.body.compare(pic.body.size() - 2, 2, "\xFF\xD9"), 0);
  }
  EXPECT_EQ(Fetch(port(), "zq.test", "/video1_1").status, 404);
  EXPECT_EQ(Fetch(port(), "zq.test", "/video_ext.php?oid=1201&id=x&hash=y").status, 404);
}

TEST_F(SiteServer, VideoFilesWithRanges) {
#if !VS_SITE_HAVE_CLIPS
  GTEST_SKIP() << "ffmpeg was missing at build time: no clips";
#endif
  const site::Video& v = site::Catalogue()[3];
  std::string file = ReadMedia("clip-" + std::to_string(v.clip) + ".mp4");
  ASSERT_GT(file.size(), 1000u);
  EXPECT_EQ(file.compare(4, 4, "ftyp"), 0);
  EXPECT_NE(file.find("avc1"), std::string::npos);
  EXPECT_NE(file.find("mp4a"), std::string::npos);
  // The address the program builds from the video page, asked through the proxy form.
  std::string address = site::FileAddress(v);
  auto [host, target] = SplitAddress(address);
  std::string size = std::to_string(file.size());
  auto get = [&](const std::string& extra, const std::string& method = "GET") {
    return Parse(RoundTrip(port(), method + " " + address.substr(0, 7) + host + ":80" + target +
                                       " HTTP/1.1\r\nHost: " + host + "\r\n" + extra +
                                       "Connection: close\r\n\r\n"));
  };
  Response whole = get("");
  ASSERT_EQ(whole.status, 200);
  EXPECT_EQ(whole.body, file);
  EXPECT_EQ(whole.Header("content-type"), "video/mp4");
  EXPECT_EQ(whole.Header("accept-ranges"), "bytes");
  EXPECT_EQ(whole.Header("content-disposition"), "attachment; filename=\"" + v.vtag + ".480.mp4\"");

  Response first = get("Range: bytes=0-99\r\n");
  EXPECT_EQ(first.status, 206);
  EXPECT_EQ(first.Header("content-range"), "bytes 0-99/" + size);
  EXPECT_EQ(first.body, file.substr(0, 100));
  Response tail = get("Range: bytes=-10\r\n");
  EXPECT_EQ(tail.status, 206);
  EXPECT_EQ(tail.body, file.substr(file.size() - 10));
  Response from = get("Range: bytes=" + std::to_string(file.size() - 5) + "-\r\n");
  EXPECT_EQ(from.body, file.substr(file.size() - 5));
  Response beyond = get("Range: bytes=" + size + "-\r\n");
  EXPECT_EQ(beyond.status, 416);
  EXPECT_EQ(beyond.Header("content-range"), "bytes */" + size);
  Response several = get("Range: bytes=0-1,5-6\r\n");
  EXPECT_EQ(several.status, 200);
  EXPECT_EQ(several.body.size(), file.size());
  Response head = get("", "HEAD");
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.Header("content-length"), size);
  EXPECT_TRUE(head.body.empty());
  // A resumed download names what it has: only the same file's validators keep the range.
  std::string etag = whole.Header("etag"), date = whole.Header("last-modified");
  ASSERT_EQ(etag.size(), 18u) << etag;
  EXPECT_EQ(get("").Header("etag"), etag);
  EXPECT_EQ(date.size(), 29u) << date;
  for (const std::string& validator : {etag, date}) {
    Response kept = get("Range: bytes=100-\r\nIf-Range: " + validator + "\r\n");
    EXPECT_EQ(kept.status, 206) << validator;
    EXPECT_EQ(kept.body, file.substr(100));
  }
  for (const std::string& other : {std::string("\"0000000000000000\""), "W/" + etag,
                                   std::string("Mon, 01 Jan 2024 00:00:00 GMT")}) {
    Response anew = get("Range: bytes=100-\r\nIf-Range: " + other + "\r\n");
    EXPECT_EQ(anew.status, 200) << other;
    EXPECT_EQ(anew.body, file) << other;
  }

  // Only the file server that holds the file serves it.
  std::string other = "cs" + std::to_string(v.server % 9 + 1) + ".zq.test";
  EXPECT_EQ(Fetch(port(), other, target).status, 404);
  EXPECT_EQ(Fetch(port(), host, "/u" + std::to_string(v.uid) + "/video/0000000000.480.mp4").status,
            404);
  EXPECT_EQ(
      Fetch(port(), host, "/u" + std::to_string(v.uid) + "/video/" + v.vtag + ".720.mp4").status,
      404);
}

TEST_F(SiteServer, ScenarioFilesResumeIgnoreRangesAndDiffer) {
  const size_t cut_size = 20u << 20;
  Response broken = GetScenarioFile(port(), "cut");
  ASSERT_EQ(broken.status, 200);
  EXPECT_EQ(broken.Header("content-length"), std::to_string(cut_size));
  ASSERT_EQ(broken.body.size(), 5u << 20);
  // Asked again from where it broke, under the same validator, it gives the rest.
  Response rest = GetScenarioFile(port(), "cut",
                                  "Range: bytes=" + std::to_string(broken.body.size()) +
                                      "-\r\nIf-Range: " + broken.Header("etag") + "\r\n");
  EXPECT_EQ(rest.status, 206);
  EXPECT_EQ(rest.Header("content-range"), "bytes 5242880-20971519/20971520");
  EXPECT_TRUE(broken.body + rest.body == site::ScenarioFileBytes("cut", 0, cut_size));
  // The bytes follow the documented formula: the top byte of (base + i + 1) * K.
  const uint64_t K = 0x9E3779B97F4A7C15ull;
  EXPECT_EQ(static_cast<unsigned char>(broken.body[12345]), (12346 * K) >> 56);

  // The range-less file answers a range with the whole file and no sign of ranges.
  Response whole = GetScenarioFile(port(), "norange", "Range: bytes=100-199\r\n", 300);
  EXPECT_EQ(whole.status, 200);
  EXPECT_EQ(whole.Header("content-length"), std::to_string(cut_size));
  EXPECT_EQ(whole.Header("accept-ranges"), "");
  EXPECT_EQ(whole.Header("etag"), "");
  ASSERT_GE(whole.body.size(), 200u);
  EXPECT_EQ(whole.body.substr(0, 200), site::ScenarioFileBytes("norange", 0, 200));

  // The two big files differ everywhere a test would look; the slow one is slow.
  Response a = GetScenarioFile(port(), "big50", "Range: bytes=1000-1063\r\n");
  Response b = GetScenarioFile(port(), "big50b", "Range: bytes=1000-1063\r\n");
  EXPECT_EQ(a.body, site::ScenarioFileBytes("big50", 1000, 64));
  EXPECT_EQ(b.body, site::ScenarioFileBytes("big50b", 1000, 64));
  EXPECT_NE(a.body, b.body);
  EXPECT_NE(a.Header("etag"), b.Header("etag"));
  long long start = NowMs();
  Response slow = GetScenarioFile(port(), "slow50", "Range: bytes=0-1048575\r\n");
  EXPECT_EQ(slow.body.size(), 1u << 20);
  EXPECT_GE(NowMs() - start, 150);
  Response end = GetScenarioFile(port(), "big1g", "Range: bytes=-16\r\n");
  EXPECT_EQ(end.Header("content-range"), "bytes 1073741808-1073741823/1073741824");
  EXPECT_EQ(end.body, site::ScenarioFileBytes("big1g", (1u << 30) - 16, 16));

  // A hostile name also arrives after a redirect to another file server.
  Response hop = GetScenarioFile(port(), "toname11");
  EXPECT_EQ(hop.status, 302);
  EXPECT_EQ(hop.Header("location"), "http://cs2.zq.test/u9/video/name11.480.mp4");
  auto [host, target] = SplitAddress(hop.Header("location"));
  std::string name = Fetch(port(), host, target).Header("content-disposition");
  EXPECT_GT(name.size(), 1023u);
  const std::string last = "; filename=\"long-header.mp4\"";
  EXPECT_EQ(name.substr(name.size() - last.size()), last);
}

TEST_F(SiteServer, AnswersThatBreakTheRules) {
  // A chunked page: the head and five rows, each a chunk, then the end of the connection.
  bool ended = true;
  int chunks = 0;
  Response page = Parse(RoundTrip(port(), SearchRequest("zqtest-chunked-cut"), 3000, false));
  EXPECT_EQ(page.Header("transfer-encoding"), "chunked");
  EXPECT_EQ(page.Header("content-length"), "");
  std::string decoded = Dechunk(page.body, &ended, &chunks);
  EXPECT_FALSE(ended);
  EXPECT_EQ(chunks, 6);
  EXPECT_EQ(sitetest::ScanResults(decoded).links.size(), 5u);
  // A chunked file: one chunk announcing 20 MiB, of which 5 MiB come.
  Response file = GetScenarioFile(port(), "chunkcut");
  EXPECT_EQ(file.Header("transfer-encoding"), "chunked");
  EXPECT_EQ(file.body.compare(0, 9, "1400000\r\n"), 0);
  decoded = Dechunk(file.body, &ended, &chunks);
  EXPECT_FALSE(ended);
  EXPECT_EQ(chunks, 0);
  EXPECT_TRUE(decoded == site::ScenarioFileBytes("chunkcut", 0, 5u << 20));

  // Bare statuses, for a page and for files.
  EXPECT_EQ(RoundTrip(port(), SearchRequest("zqtest-204"), 2000, false),
            "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(RoundTrip(port(), SearchRequest("zqtest-304"), 2000, false),
            "HTTP/1.1 304 Not Modified\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(GetScenarioFile(port(), "status204").status, 204);
  Response error = GetScenarioFile(port(), "htmlerror");
  EXPECT_EQ(error.Header("content-type"), "text/html; charset=windows-1251");
  Response packed = GetScenarioFile(port(), "gzipped");
  EXPECT_EQ(packed.Header("content-encoding"), "gzip");
  EXPECT_EQ(Inflate(packed.body), site::ScenarioFileBytes("big50", 0, 1u << 20));

  // Redirects: away to another host, and round a loop for as long as a client follows.
  Response away = Search("zqtest-redirect-evil");
  EXPECT_EQ(away.status, 302);
  EXPECT_EQ(away.Header("location").rfind("http://evil.test/", 0), 0u);
  auto [host, target] = SplitAddress(away.Header("location"));
  EXPECT_EQ(sitetest::ScanResults(Fetch(port(), host, target).body).links.size(), 3u);
  std::string next = Search("zqtest-redirect-loop").Header("location");
  std::vector<std::string> seen;
  for (int hop = 0; hop < 7; ++hop) {
    Response r = Parse(RoundTrip(port(), "GET " + next + " HTTP/1.1\r\nConnection: close\r\n\r\n"));
    ASSERT_EQ(r.status, 302) << next;
    seen.push_back(next);
    next = r.Header("location");
  }
  EXPECT_EQ(seen[0], "http://zq.test/zqtest-loop/1");
  EXPECT_EQ(seen[3], seen[0]);
  EXPECT_EQ(seen[6], seen[0]);
  EXPECT_NE(seen[1], seen[0]);
  EXPECT_EQ(server_->WaitForLog("\thttp://zq.test/zqtest-loop/", 7).size(), 7u);
}

TEST_F(SiteServer, ScenarioPagesThatStrainTheReader) {
  Response longline = Search("zqtest-longline");
  ASSERT_EQ(longline.status, 200);
  size_t longest = 0;
  for (const std::string& line : sitetest::Lines(longline.body))
    longest = std::max(longest, line.size());
  EXPECT_GE(longest, 1u << 20);
  sitetest::ResultScan scan = sitetest::ScanResults(longline.body);
  ASSERT_GE(scan.titles.size(), 2u);
  EXPECT_GE(scan.titles[0].size(), (1u << 20) - 100);

  Response nul = Search("zqtest-nul");
  EXPECT_GE(std::count(nul.body.begin(), nul.body.end(), '\0'), 64);
  EXPECT_GE(sitetest::ScanResults(nul.body).links.size(), 3u);

  Response many = Search("ZQTEST-10000");  // names ignore letter case
  scan = sitetest::ScanResults(many.body);
  EXPECT_EQ(scan.links.size(), 10000u);
  EXPECT_EQ(scan.pictures.size(), 10000u);

  scan = sitetest::ScanResults(Search("zqtest-noend").body);
  EXPECT_NE(std::find(scan.links.begin(), scan.links.end(), ""), scan.links.end());
  EXPECT_NE(std::find(scan.titles.begin(), scan.titles.end(), ""), scan.titles.end());
  EXPECT_NE(std::find(scan.descriptions.begin(), scan.descriptions.end(), ""),
            scan.descriptions.end());
  EXPECT_LT(scan.pictures.size(), scan.links.size());

  Response missing = Search("zqtest-404");
  EXPECT_EQ(missing.status, 404);
  EXPECT_NE(missing.body.find("</html>"), std::string::npos);
  Response empty = Search("zqtest-empty");
  EXPECT_EQ(empty.status, 200);
  EXPECT_EQ(empty.Header("content-length"), "0");
  // Unknown names are ordinary searches.
  EXPECT_EQ(Search("zqtest-nosuch").status, 200);
}

TEST_F(SiteServer, ScenarioPicturesThatAreNotWhatTheySeem) {
  sitetest::ResultScan scan = sitetest::ScanResults(Search("zqtest-notpicture").body);
  ASSERT_EQ(scan.pictures.size(), 4u);
  std::vector<std::string> bodies;
  for (const std::string& address : scan.pictures) {
    auto [host, target] = SplitAddress(address);
    Response r = Fetch(port(), host, target);
    EXPECT_EQ(r.status, 200) << address;
    EXPECT_EQ(r.Header("content-type"), "image/jpeg");
    bodies.push_back(r.body);
  }
  EXPECT_NE(bodies[0].compare(0, 2, "\xFF\xD8"), 0);  // text
  EXPECT_EQ(bodies[1].size(), 300u);                  // truncated
  EXPECT_EQ(bodies[1].compare(0, 3, "\xFF\xD8\xFF"), 0);
  EXPECT_TRUE(bodies[2].empty());      // empty
  EXPECT_EQ(bodies[3].size(), 4096u);  // random
  EXPECT_EQ(bodies[3], Fetch(port(), SplitAddress(scan.pictures[3]).first,
                             SplitAddress(scan.pictures[3]).second)
                           .body);  // same each time

  scan = sitetest::ScanResults(Search("zqtest-hugepng").body);
  ASSERT_FALSE(scan.pictures.empty());
  auto [host, target] = SplitAddress(scan.pictures[0]);
  Response png = Fetch(port(), host, target);
  ASSERT_GE(png.body.size(), 24u);
  EXPECT_EQ(png.body.compare(0, 8, "\x89PNG\r\n\x1a\n"), 0);
  EXPECT_EQ(png.body.substr(12, 12), std::string("IHDR\x00\x00\xEA\x60\x00\x00\xEA\x60", 12));
}

TEST_F(SiteServer, ScenarioVideoPagesWithHostileValues) {
  auto pages = [&](const std::string& name) {
    std::vector<sitetest::PlayerScan> out;
    for (const std::string& link : sitetest::ScanResults(Search(name).body).links) {
      Response r = Fetch(port(), "zq.test", "/" + link);
      EXPECT_EQ(r.status, 200) << link;
      out.push_back(sitetest::ScanVideoPage(r.body));
    }
    return out;
  };
  auto quotes = pages("zqtest-video-quotes");
  ASSERT_EQ(quotes.size(), 2u);
  EXPECT_EQ(quotes[0].uid, "9\\");
  EXPECT_NE(quotes[1].oid.find('\''), std::string::npos);
  auto script = pages("zqtest-video-script");
  ASSERT_EQ(script.size(), 1u);
  EXPECT_EQ(script[0].vid, "<script>alert(1)</script>");
  EXPECT_NE(script[0].oid.find("</iframe>"), std::string::npos);
  auto other = pages("zqtest-video-otherhost");
  ASSERT_EQ(other.size(), 4u);
  EXPECT_EQ(other[0].host_label, "other");
  EXPECT_EQ(other[1].uid, "\\/\\/other.host\\/");
  EXPECT_EQ(other[2].vtag.rfind("..\\/..\\/", 0), 0u);
  EXPECT_EQ(other[3].host_label, "");  // no "." follows the escaped address
  // The program's download address for the first one names a host the site refuses.
  auto [host, target] = SplitAddress(sitetest::DownloadAddress(other[0]));
  EXPECT_EQ(Fetch(port(), host, target).status, 421);

  auto twice = pages("zqtest-video-twice");
  ASSERT_EQ(twice.size(), 1u);
  EXPECT_EQ(twice[0].marker_lines, 2);
  EXPECT_EQ(sitetest::DownloadAddress(twice[0]), site::FileAddress(site::Catalogue()[1]));
  auto none = pages("zqtest-video-nomarker");
  ASSERT_EQ(none.size(), 1u);
  EXPECT_EQ(none[0].marker_lines, 0);
}

TEST_F(SiteServer, ScenarioStallAndCut) {
  // The stall: half the page at once, the rest only after the pause (2 s here).
  {
    long long start = NowMs();
    std::string raw = RoundTrip(port(), SearchRequest("zqtest-stall"), 1000);
    EXPECT_LT(NowMs() - start, 1500);
    Response part = Parse(raw);
    ASSERT_EQ(part.status, 200);
    size_t length = std::stoul(part.Header("content-length"));
    EXPECT_GT(part.body.size(), 0u);
    EXPECT_LT(part.body.size(), length);
    start = NowMs();
    Response whole = Parse(RoundTrip(port(), SearchRequest("zqtest-stall"), 6000));
    EXPECT_GE(NowMs() - start, 1800);
    EXPECT_EQ(whole.body.size(), std::stoul(whole.Header("content-length")));
    EXPECT_EQ(sitetest::ScanResults(whole.body).links.size(), 20u);
  }
  // The cut: the connection ends half-way, well before the promised length.
  long long start = NowMs();
  Response cut = Parse(RoundTrip(port(), SearchRequest("zqtest-cut"), 4000));
  EXPECT_LT(NowMs() - start, 1500);
  ASSERT_EQ(cut.status, 200);
  EXPECT_GT(cut.body.size(), 0u);
  EXPECT_LT(cut.body.size(), std::stoul(cut.Header("content-length")));
}

TEST_F(SiteServer, BadInputGetsClearErrors) {
  struct Case {
    std::string request;
    int status;
  } cases[] = {
      {"GARBAGE\r\n\r\n", 400},
      {std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", 16), 400},  // TLS hello
      {"GET / HTTP/1.1\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nHost: zq.test\r\nHost: zq.test\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nHost: zq.test\r\nContent-Length: 3\r\n\r\nabc", 400},
      {std::string("GET /\0 HTTP/1.1\r\nHost: zq.test\r\n\r\n", 34), 400},
      {"POST /gsearch.php HTTP/1.1\r\nHost: zq.test\r\nContent-Length: 1\r\n\r\nx", 405},
      {"BREW / HTTP/1.1\r\nHost: zq.test\r\n\r\n", 501},
      {"GET / HTTP/3.0\r\nHost: zq.test\r\n\r\n", 505},
      {"GET /" + std::string(9000, 'a') + " HTTP/1.1\r\nHost: zq.test\r\n\r\n", 414},
      {"GET /" + std::string(1 << 20, 'a'), 414},  // no line end at all
      {"GET / HTTP/1.1\r\nHost: zq.test\r\nX-Big: " + std::string(100000, 'b') + "\r\n\r\n", 431},
      {"GET / HTTP/1.1\r\nHost: zq.test\r\n" +
           [] {
             std::string many;
             for (int i = 0; i < 20000; ++i) many += "X-" + std::to_string(i) + ": v\r\n";
             return many;
           }() +
           "\r\n",
       431},
      {"GET / HTTP/1.1\r\nHost: unknown.example\r\n\r\n", 421},
      {"GET http://evil.example/ HTTP/1.1\r\nHost: zq.test\r\n\r\n", 421},
      {"GET / HTTP/1.1\r\nHost: bad host\r\n\r\n", 400},
      {"GET /no/such/page HTTP/1.1\r\nHost: zq.test\r\n\r\n", 404},
      {"GET /u1201/nothing HTTP/1.1\r\nHost: cs1.zq.test\r\n\r\n", 404},
      {"GET /x HTTP/1.1\r\nHost: author.zq.test\r\n\r\n", 404},
  };
  for (const Case& c : cases) {
    Response r = Parse(RoundTrip(port(), c.request, 4000));
    ASSERT_TRUE(r.ok) << c.request.substr(0, 50);
    EXPECT_EQ(r.status, c.status) << c.request.substr(0, 50);
    EXPECT_FALSE(r.body.empty()) << c.status;
    EXPECT_EQ(r.Header("content-length"), std::to_string(r.body.size()));
  }
  EXPECT_EQ(Parse(RoundTrip(port(), "POST / HTTP/1.1\r\nHost: zq.test\r\n\r\n")).Header("allow"),
            "GET, HEAD");
  // A head that never ends is cut off after the head time-out (1 s here).
  long long start = NowMs();
  Response slow = Parse(RoundTrip(port(), "GET / HTTP/1.1\r\nHost: zq.test\r\n", 5000));
  EXPECT_EQ(slow.status, 408);
  EXPECT_LT(NowMs() - start, 3000);
  // And the server still answers.
  EXPECT_EQ(Fetch(port(), "zq.test", "/").status, 200);
  EXPECT_EQ(Fetch(port(), "author.zq.test", "/").status, 200);
  EXPECT_EQ(Fetch(port(), "127.0.0.1:" + std::to_string(port()), "/css/site.css").status, 200);
}

TEST_F(SiteServer, KeepAliveAndPipelining) {
  std::string two =
      "GET /css/site.css?keepalive HTTP/1.1\r\nHost: zq.test\r\n\r\n"
      "GET http://zq.test/js/player.js?keepalive HTTP/1.1\r\nConnection: close\r\n\r\n";
  std::string raw = RoundTrip(port(), two, 5000, false);
  Response first = Parse(raw);
  ASSERT_EQ(first.status, 200);
  size_t length = std::stoul(first.Header("content-length"));
  EXPECT_EQ(first.Header("content-type"), "text/css");
  Response second = Parse(first.body.substr(length));
  EXPECT_EQ(second.status, 200);
  EXPECT_NE(second.body.find("function loadFlashPlayer"), std::string::npos);
  // The log numbers them as requests 1 and 2 of one connection.
  std::vector<std::string> lines = server_->WaitForLog("?keepalive\t", 2);
  ASSERT_EQ(lines.size(), 2u);
  auto connection_and_request = [](const std::string& line) {
    size_t tab = line.rfind('\t', line.rfind('\t') - 1);
    return line.substr(tab + 1);
  };
  std::string a = connection_and_request(lines[0]), b = connection_and_request(lines[1]);
  EXPECT_EQ(a.substr(0, a.find('\t')), b.substr(0, b.find('\t')));
  EXPECT_EQ(a.substr(a.find('\t')), "\t1");
  EXPECT_EQ(b.substr(b.find('\t')), "\t2");
}

TEST_F(SiteServer, RealHttpClientDirectAndThroughTheProxySetting) {
  httplib::Client direct("127.0.0.1", port());
  auto r = direct.Get("/gsearch.php?section=video&q=720&name=1",
                      {{"Host", "zq.test"}, {"Cookie", "zqsid=" + token_}});
  ASSERT_TRUE(r);
  EXPECT_EQ(r->status, 200);
  EXPECT_GT(sitetest::ScanResults(r->body).links.size(), 51u);

  httplib::Client proxied("cs1.zq.test", 80);
  proxied.set_proxy("127.0.0.1", port());
  const site::Video& v = site::Catalogue()[0];
  auto pic = proxied.Get(SplitAddress(site::PreviewAddress(v)).second.c_str());
  ASSERT_TRUE(pic);
  EXPECT_EQ(pic->status, 200);
  EXPECT_EQ(pic->body, ReadMedia("preview-000.jpg"));
  // It asked in proxy form, as the program's download service does.
  std::string asked = "\thttp://" + SplitAddress(site::PreviewAddress(v)).first + ":80" +
                      SplitAddress(site::PreviewAddress(v)).second + "\t";
  EXPECT_EQ(server_->WaitForLog(asked).size(), 1u) << asked;
}

TEST_F(SiteServer, RequestLogRecordsEachRequestAsReceived) {
  std::string marker = "/gsearch.php?section=video&q=" + kFantastika + "%20log" +
                       std::to_string(NowMs()) + "&name=1";
  std::string target = "http://zq.test:80" + marker;
  Response r = Parse(RoundTrip(port(), "GET " + target + " HTTP/1.1\r\nHost: zq.test\r\n" +
                                           Cookie(token_) + "Connection: close\r\n\r\n"));
  ASSERT_EQ(r.status, 200);
  Fetch(port(), "unknown.example", marker);
  std::vector<std::string> found = server_->WaitForLog(marker, 2);
  ASSERT_EQ(found.size(), 2u);
  auto fields = [](const std::string& line) {
    std::vector<std::string> f;
    std::stringstream s(line);
    for (std::string x; std::getline(s, x, '\t');) f.push_back(x);
    return f;
  };
  std::vector<std::string> a = fields(found[0]), b = fields(found[1]);
  if (a.size() > 3 && a[3] != "zq.test") std::swap(a, b);  // lines come in answer order
  ASSERT_EQ(a.size(), 10u);
  ASSERT_EQ(b.size(), 10u);
  EXPECT_EQ(a[0].size(), 24u);  // 2024-01-01T00:00:00.000Z
  EXPECT_EQ(a[1], "GET");
  EXPECT_EQ(a[2], target);  // raw Windows-1251 bytes and the absolute form, unchanged
  EXPECT_EQ(a[3], "zq.test");
  EXPECT_EQ(a[4], "1");
  EXPECT_EQ(a[5], "200");
  EXPECT_EQ(a[6], std::to_string(r.body.size()));
  EXPECT_EQ(b[2], marker);
  EXPECT_EQ(b[3], "unknown.example");
  EXPECT_EQ(b[4], "0");
  EXPECT_EQ(b[5], "421");
}

TEST(SiteServerStop, EndsOnSignalsEvenWithBusyConnections) {
  for (int sig : {SIGTERM, SIGINT}) {
    SiteProcess server({"--stall-seconds", "30"});
    ASSERT_NE(server.port(), 0);
    // A stalled response and an idle kept-alive connection are in progress.
    std::thread stalled([&] { RoundTrip(server.port(), SearchRequest("zqtest-stall"), 8000); });
    std::thread idle(
        [&] { RoundTrip(server.port(), "GET / HTTP/1.1\r\nHost: zq.test\r\n\r\n", 8000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    long long start = NowMs();
    server.Signal(sig);
    int status = server.WaitExit(3000);
    EXPECT_LT(NowMs() - start, 3000);
    ASSERT_NE(status, -1) << "still running after signal " << sig;
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    stalled.join();
    idle.join();
  }
}

TEST(SiteServerStop, EndsWhenStdinClosesOrWhenIdle) {
  SiteProcess piped;
  ASSERT_NE(piped.port(), 0);
  EXPECT_EQ(piped.WaitExit(300), -1);  // it keeps running while stdin is open
  piped.CloseStdin();
  int status = piped.WaitExit(3000);
  ASSERT_NE(status, -1);
  EXPECT_EQ(WEXITSTATUS(status), 0);

  SiteProcess idle({"--idle-exit", "1"});
  ASSERT_NE(idle.port(), 0);
  EXPECT_EQ(Fetch(idle.port(), "zq.test", "/").status, 200);
  status = idle.WaitExit(4000);
  ASSERT_NE(status, -1);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(SiteServerStop, EndsWhenItsParentEnds) {
  // A shell starts the server in the background (stdin from /dev/null, so only the
  // parent's end can stop it), prints its process id and exits.
  std::string command = std::string("'") + VS_SITE_EXE +
                        "' --port 0 --media /nonexistent </dev/null >/dev/null 2>&1 & "
                        "echo $!; sleep 0.3";
  FILE* shell = popen(command.c_str(), "r");
  ASSERT_NE(shell, nullptr);
  int pid = 0;
  ASSERT_EQ(std::fscanf(shell, "%d", &pid), 1);
  pclose(shell);  // the shell has ended
  ASSERT_GT(pid, 0);
  // The server is gone (or a zombie waiting for its new parent to reap it).
  auto running = [pid] {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
  };
  long long deadline = NowMs() + 3000;
  while (running() && NowMs() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  bool still = running();
  if (still) kill(pid, SIGKILL);
  EXPECT_FALSE(still) << "vs_site " << pid << " outlived its parent";
}
