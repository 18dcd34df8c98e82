#include "scenarios.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <memory>
#include <thread>

#include "cp1251.h"
#include "front.h"
#include "pieces.h"

namespace site {
namespace {

const char kHtml[] = "text/html; charset=windows-1251";
constexpr uint64_t kHugeTitleBytes = 16u << 20;
constexpr uint64_t kHugeLineBytes = 100000000;
constexpr int kLongVtagVid = 44;  // video pages whose player line holds a value of 5000
constexpr int kLongHashVid = 45;  // characters

const std::vector<ScenarioInfo> kScenarios = {
    {"zqtest-longline", "one result line of 1 MiB (a title line), then normal results"},
    {"zqtest-nul", "NUL bytes inside titles, links, picture addresses and descriptions"},
    {"zqtest-10000", "10,000 results"},
    {"zqtest-noend",
     "markers without their end markers: no href, unclosed link quote, no </a>, picture "
     "address without jpg, single-quoted picture, description without </div>"},
    {"zqtest-notpicture",
     "picture addresses that give no picture: HTML text, a truncated JPEG, an empty file, "
     "random bytes after a JPEG start marker"},
    {"zqtest-hugepng", "a picture address giving a PNG whose header claims 60000 x 60000"},
    {"zqtest-video-quotes", "video pages whose player values hold double and single quotes"},
    {"zqtest-video-script", "video pages whose player values hold <script> and </iframe>"},
    {"zqtest-video-otherhost",
     "video pages with \\/\\/other.host\\/ tricks: another host first, in uid, a path "
     "climbing up in vtag, an escaped address with no dot after it"},
    {"zqtest-video-twice", "a video page with two player lines (the second one counts)"},
    {"zqtest-video-nomarker", "a video page without a player line"},
    {"zqtest-video-thrice", "a video page with three player lines (the third one counts)"},
    {"zqtest-video-files",
     "three videos whose files are a 50 MiB file, a file whose connection ends at 5 of 20 MiB "
     "(resumable from there) and a second 50 MiB file with other bytes"},
    {"zqtest-video-norange", "a video whose file ignores Range: always the whole 20 MiB"},
    {"zqtest-video-slow", "a video whose 50 MiB file comes at 5 MiB/s"},
    {"zqtest-video-big1g", "a video whose file is 1 GiB, sent as fast as it can go"},
    {"zqtest-video-chunked-cut",
     "a video whose file comes chunked, one chunk announcing 20 MiB, and breaks off after 5 MiB"},
    {"zqtest-video-names",
     "eleven videos whose files come with hostile Content-Disposition names: setup.exe, "
     "run.bat, video.lnk, video.mp4.exe, evil.dll, ../../x.exe, a name ending in dots and "
     "blanks, xfilename= before filename=, a raw UTF-8 name, filename*= beside a fallback, a "
     "header over 1023 bytes"},
    {"zqtest-video-names-redirect",
     "the same eleven, each file address first redirecting (302) to another file server"},
    {"zqtest-video-status",
     "four videos whose files answer 204, 304, 200 with an HTML error page, and 200 video/mp4 "
     "gzip-compressed unasked"},
    {"zqtest-references",
     "titles and descriptions with &lt;, &gt;, &amp;, &nbsp;, numeric references and "
     "search-word marks inside words, and a title too long for one line"},
    {"zqtest-stall", "the result page stops half-way for 30 s, then finishes"},
    {"zqtest-stall-60", "the same with a pause of 60 s (any number of seconds up to 3600)"},
    {"zqtest-silent", "the connection is accepted and the request read, but nothing is ever sent"},
    {"zqtest-cut", "the connection closes half-way through the result page"},
    {"zqtest-chunked-cut",
     "the result page comes chunked, one result row a chunk, and breaks off after 5 of 11 rows "
     "without the last chunk"},
    {"zqtest-204", "the result page answers 204 No Content (no body, no length)"},
    {"zqtest-304", "the result page answers 304 Not Modified unasked"},
    {"zqtest-video-longvalue",
     "two video pages whose player lines hold a vtag, and a hash, of 5000 characters"},
    {"zqtest-hugetitle", "a result whose title is 16 MiB, then normal results"},
    {"zqtest-100mb-line", "a page line of 100,000,000 bytes without markers, then normal results"},
    {"zqtest-1000000", "1,000,000 results (about 320 MB, made on the fly)"},
    {"zqtest-preview-2g", "a result whose picture address gives 2 GiB"},
    {"zqtest-bigpicture", "a result whose picture is a real JPEG of 2000 x 2000"},
    {"zqtest-redirect-evil",
     "the result page redirects (302) to http://evil.test/..., which answers with a page of "
     "three results from outside the site"},
    {"zqtest-redirect-loop",
     "the result page redirects to /zqtest-loop/1, which redirects to 2, then 3, then 1 again, "
     "for ever"},
    {"zqtest-404", "the result page answers 404 Not Found"},
    {"zqtest-empty", "the result page is empty (200, no bytes)"},
};

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// One result in the page's markup, from UTF-8 parts given as HTML already.
std::string Block(const std::string& link, const std::string& title_html,
                  const std::string& picture, const std::string& description_html) {
  std::string out = "<div class=\"video_row\">\n";
  out += "<a href=\"" + link + "\" class=\"aname\">" + title_html + "</a>\n";
  out += "<img src=\"" + picture + "\" width=\"160\" height=\"120\" alt=\"\">\n";
  out += "<div class=\"adesc\">" + description_html + "</div>\n</div>\n";
  return out;
}

const Video& Entry(size_t i) { return Catalogue()[i % Catalogue().size()]; }

std::string Picture(const std::string& name) { return "http://cs1.zq.test/u9/preview/" + name; }

std::string ScenarioLink(int vid) {
  return "video" + std::to_string(kScenarioOwner) + "_" + std::to_string(vid);
}

// Ordinary results, for the default search unless another text is given.
// "Фантастика 720" in Windows-1251: eleven results.
const char kDefaultSearch[] = "\xD4\xE0\xED\xF2\xE0\xF1\xF2\xE8\xEA\xE0 720";

std::string OrdinaryResults(size_t count, std::string_view text = kDefaultSearch) {
  std::vector<std::string> words = QueryWords(text);
  std::vector<const Video*> found = Search(words);
  std::string out;
  for (size_t i = 0; i < found.size() && i < count; ++i) out += ResultBlock(*found[i], words);
  return out;
}

std::string LongLinePage(const Visitor& visitor) {
  std::string head = SearchPageHead(visitor, 4);
  std::string open = "<a href=\"" + VideoLink(Entry(0)) + "\" class=\"aname\">";
  std::string close = "</a>";
  const size_t kLine = 1 << 20;  // bytes of the long line, without its line end
  std::string filler = Utf8ToCp1251("Очень длинное название 720 ");
  std::string line = open;
  while (line.size() + filler.size() + close.size() <= kLine) line += filler;
  line.append(kLine - close.size() - line.size(), 'x');
  line += close;
  std::string out = Utf8ToCp1251(head);
  out += line + "\n";
  out += "<img src=\"" + PreviewAddress(Entry(0)) + "\" width=\"160\" height=\"120\">\n";
  out += "<div class=\"adesc\">" + Utf8ToCp1251("Описание к длинной строке.") + "</div>\n";
  out += Utf8ToCp1251(OrdinaryResults(3) + SearchPageTail());
  return out;
}

std::string NulPage(const Visitor& visitor) {
  const std::string nul(1, '\0');
  std::string out = Utf8ToCp1251(SearchPageHead(visitor, 4));
  // A title with a NUL in the middle, a link with one, and a whole line of them.
  out += "<a href=\"" + VideoLink(Entry(1)) + "\" class=\"aname\">Nul" + nul + "title " +
         Utf8ToCp1251("Фантастика") + "</a>\n";
  out += "<img src=\"" + PreviewAddress(Entry(1)) + "\" width=\"160\" height=\"120\">\n";
  out += "<div class=\"adesc\">Desc" + nul + nul + "ription</div>\n";
  out += std::string(64, '\0') + "\n";
  out += "<a href=\"video" + nul + "1201_456102\" class=\"aname\">Link with NUL</a>\n";
  out += "<img src=\"http://cs1.zq.test/u9/preview/n" + nul + "ul.jpg\" width=\"160\">\n";
  out += "<div class=\"adesc\">" + nul + "</div>\n";
  out += nul + "<a href=\"" + VideoLink(Entry(3)) + "\" class=\"aname\">NUL before the line</a>\n";
  out += Utf8ToCp1251(OrdinaryResults(1) + SearchPageTail());
  return out;
}

std::string ManyResultsPage(const Visitor& visitor) {
  const size_t kCount = 10000;
  std::string out = SearchPageHead(visitor, kCount);
  out.reserve(kCount * 700);
  std::vector<std::string> words;
  for (size_t i = 0; i < kCount; ++i) out += ResultBlock(Entry(i), words);
  out += SearchPageTail();
  return Utf8ToCp1251(out);
}

std::string NoEndPage(const Visitor& visitor) {
  std::string out = SearchPageHead(visitor, 7);
  out += "<a class=\"aname\">Title without a link</a>\n";
  out += "<a href=\"" + VideoLink(Entry(1)) + " class=aname>Link quote never closed</a>\n";
  out += "<a href=\"" + VideoLink(Entry(2)) + "\" class=\"aname\">Title without its end\n";
  out += "<img src=\"http://cs1.zq.test/u9/preview/noend.png\" width=\"160\" alt=\"\">\n";
  out += "<img src='" + PreviewAddress(Entry(3)) + "' width='160'>\n";
  out += "<div class=\"adesc\">Description without its end\n";
  out += "aname\n";
  out += "<div class=\"adesc\"></div>\n";
  out += OrdinaryResults(1);
  out += SearchPageTail();
  return Utf8ToCp1251(out);
}

std::string NotPicturePage(const Visitor& visitor) {
  std::string out = SearchPageHead(visitor, 4);
  const char* names[] = {"notpicture.jpg", "truncated.jpg", "empty.jpg", "random.jpg"};
  const char* what[] = {"HTML text instead of a picture", "a JPEG cut after 300 bytes",
                        "an empty file", "random bytes after a JPEG start"};
  for (int i = 0; i < 4; ++i) {
    out += Block(VideoLink(Entry(i)), HtmlText(Entry(i).title_cps), Picture(names[i]),
                 HtmlText(DecodeUtf8(what[i])));
  }
  out += SearchPageTail();
  return Utf8ToCp1251(out);
}

// A result whose picture address gives `picture`, then an ordinary one.
std::string PicturePage(const Visitor& visitor, const std::string& picture, const char* what) {
  std::string out = SearchPageHead(visitor, 2);
  out += Block(VideoLink(Entry(0)), HtmlText(Entry(0).title_cps), Picture(picture), what);
  out += ResultBlock(Entry(1), {});
  out += SearchPageTail();
  return Utf8ToCp1251(out);
}

// Adds exactly `bytes` bytes of the filler repeated, its last copy cut short.
void AddFiller(Pieces& page, const std::string& filler, uint64_t bytes) {
  page.Add(filler, bytes / filler.size());
  page.Add(filler.substr(0, bytes % filler.size()));
}

// A result whose title is 16 MiB, then ordinary results; made on the fly.
void HugeTitlePage(const Visitor& visitor, httplib::Response& res) {
  auto page = std::make_shared<Pieces>();
  page->Add(Utf8ToCp1251(SearchPageHead(visitor, 4)));
  page->Add("<div class=\"video_row\">\n<a href=\"" + VideoLink(Entry(0)) + "\" class=\"aname\">");
  AddFiller(*page, Utf8ToCp1251("Огромное название 720 "), kHugeTitleBytes);
  page->Add("</a>\n<img src=\"" + PreviewAddress(Entry(0)) +
            "\" width=\"160\" height=\"120\" alt=\"\">\n<div class=\"adesc\">" +
            Utf8ToCp1251("Название в 16 МиБ.") + "</div>\n</div>\n");
  page->Add(Utf8ToCp1251(OrdinaryResults(3) + SearchPageTail()));
  SendPieces(page, kHtml, res);
}

// A line of 100,000,000 bytes without markers, then ordinary results; made on the fly.
void HugeLinePage(const Visitor& visitor, httplib::Response& res) {
  const std::string open = "<div class=\"filler\">", close = "</div>";
  auto page = std::make_shared<Pieces>();
  page->Add(Utf8ToCp1251(SearchPageHead(visitor, 5)));
  page->Add(open);
  AddFiller(*page, "a line of 100 MB without a line end, ",
            kHugeLineBytes - open.size() - close.size());
  page->Add(close + "\n");
  page->Add(Utf8ToCp1251(OrdinaryResults(5) + SearchPageTail()));
  SendPieces(page, kHtml, res);
}

// A million results, the catalogue over and over; made on the fly.
void MillionResultsPage(const Visitor& visitor, httplib::Response& res) {
  const size_t kCount = 1000000, cycle = Catalogue().size();
  std::string all;
  for (size_t i = 0; i < cycle; ++i) all += ResultBlock(Entry(i), {});
  std::string rest;
  for (size_t i = 0; i < kCount % cycle; ++i) rest += ResultBlock(Entry(i), {});
  auto page = std::make_shared<Pieces>();
  page->Add(Utf8ToCp1251(SearchPageHead(visitor, kCount)));
  page->Add(Utf8ToCp1251(all), kCount / cycle);
  page->Add(Utf8ToCp1251(rest + SearchPageTail()));
  SendPieces(page, kHtml, res);
}

// Titles and descriptions whose references and marks a careless clean-up corrupts: each
// must come out as the text in the comment.
std::string ReferencesPage(const Visitor& visitor) {
  const std::string mark = "<span class=\"match\">720</span>";
  const std::string titles[] = {
      "&lt;b&gt; &amp; " + mark + "p",  // <b> & 720p
      mark + "p (" + mark +
          "p) &#1025;&#x451; &amp;lt;i&amp;gt;&nbsp;",  // 720p (720p) Ёё &lt;i&gt;
      "A title far too long for one line of the list or of the title label, " + mark +
          "p, with more words after it",
  };
  const std::string descriptions[] = {"Tom &amp; Jerry &lt;3", "&#8470; 5 &#8212; " + mark + "p",
                                      "Long title"};
  std::string out = SearchPageHead(visitor, 3);
  for (size_t i = 0; i < 3; ++i)
    out += Block(VideoLink(Entry(i)), titles[i], PreviewAddress(Entry(i)), descriptions[i]);
  out += SearchPageTail();
  return Utf8ToCp1251(out);
}

// Result rows pointing at scenario video pages.
std::string VideoRowsPage(const Visitor& visitor,
                          const std::vector<std::pair<int, const char*>>& rows) {
  std::string out = SearchPageHead(visitor, rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    out += Block(ScenarioLink(rows[i].first), HtmlText(DecodeUtf8(rows[i].second)),
                 PreviewAddress(Entry(i)), "scenario video page " + ScenarioLink(rows[i].first));
  }
  out += SearchPageTail();
  return Utf8ToCp1251(out);
}

// The rows of a scenario search that lists file videos; empty for other names.
std::vector<std::pair<int, const char*>> FileRowsOf(const std::string& name) {
  std::vector<std::pair<int, const char*>> rows;
  for (const FileVideo& f : FileVideos()) {
    if (name == f.scenario) rows.emplace_back(f.vid, f.title.c_str());
  }
  return rows;
}

// The address of hop n of the redirect loop, which sends on to hop n % 3 + 1.
constexpr int kLoopHops = 3;
std::string LoopHop(int n) { return "http://zq.test/zqtest-loop/" + std::to_string(n); }

// A page split in two at a line end near its middle.
size_t MiddleLineEnd(const std::string& page) {
  size_t nl = page.find('\n', page.size() / 2);
  return nl == std::string::npos ? page.size() / 2 : nl + 1;
}

void Stall(httplib::Response& res, std::string page, const ScenarioOptions& options) {
  auto data = std::make_shared<std::string>(std::move(page));
  size_t half = MiddleLineEnd(*data);
  int stall_ms = options.stall_ms;
  const std::atomic<bool>* stopping = options.stopping;
  auto stalled = std::make_shared<bool>(false);
  res.set_content_provider(data->size(), kHtml,
                           [data, half, stall_ms, stopping, stalled](size_t offset, size_t length,
                                                                     httplib::DataSink& sink) {
                             if (offset >= half && !*stalled) {
                               *stalled = true;
                               auto until = std::chrono::steady_clock::now() +
                                            std::chrono::milliseconds(stall_ms);
                               while (std::chrono::steady_clock::now() < until) {
                                 if (stopping && *stopping) return false;
                                 Exchange* ex = CurrentExchange();
                                 if (ex && ex->PeerClosed()) return false;
                                 std::this_thread::sleep_for(std::chrono::milliseconds(50));
                               }
                             }
                             size_t end = offset < half ? half : data->size();
                             size_t n = std::min(length, end - offset);
                             return sink.write(data->data() + offset, n);
                           });
}

// Holds the request without sending a byte until the peer gives up or the site stops
// (and after 10 minutes at the latest).
void Silent(const ScenarioOptions& options) {
  auto until = std::chrono::steady_clock::now() + std::chrono::minutes(10);
  while (std::chrono::steady_clock::now() < until) {
    if (options.stopping && *options.stopping) return;
    Exchange* ex = CurrentExchange();
    if (ex && ex->PeerClosed()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

// The seconds of a "zqtest-stall-N" name, -1 for any other name.
int StallSecondsOf(const std::string& name) {
  const std::string prefix = "zqtest-stall-";
  if (name.compare(0, prefix.size(), prefix) != 0 || name.size() == prefix.size() ||
      name.size() > prefix.size() + 4)
    return -1;
  int seconds = 0;
  for (size_t i = prefix.size(); i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return -1;
    seconds = seconds * 10 + (name[i] - '0');
  }
  return seconds <= 3600 ? seconds : -1;
}

// A chunked page that breaks off: its head and the first five of the eleven results for
// the default search come as chunks, one row each, then the connection closes without the
// last, empty chunk.
void ChunkedCut(const Visitor& visitor, httplib::Response& res) {
  std::vector<std::string> words = QueryWords(kDefaultSearch);
  std::vector<const Video*> found = Search(words);
  auto chunks = std::make_shared<std::vector<std::string>>();
  chunks->push_back(Utf8ToCp1251(SearchPageHead(visitor, found.size())));
  for (size_t i = 0; i < found.size() && i < 5; ++i)
    chunks->push_back(Utf8ToCp1251(ResultBlock(*found[i], words)));
  auto next = std::make_shared<size_t>(0);
  res.set_chunked_content_provider(kHtml, [chunks, next](size_t, httplib::DataSink& sink) {
    if (*next == chunks->size()) return false;  // closes the connection
    const std::string& chunk = (*chunks)[(*next)++];
    return sink.write(chunk.data(), chunk.size());
  });
}

void Cut(httplib::Response& res, std::string page) {
  auto data = std::make_shared<std::string>(std::move(page));
  size_t half = MiddleLineEnd(*data);
  res.set_content_provider(
      data->size(), kHtml, [data, half](size_t offset, size_t length, httplib::DataSink& sink) {
        if (offset >= half) return false;  // closes the connection
        return sink.write(data->data() + offset, std::min(length, half - offset));
      });
}

uint32_t Crc(const std::string& bytes) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

void PutBe32(std::string& out, uint32_t v) {
  out += static_cast<char>(v >> 24);
  out += static_cast<char>(v >> 16);
  out += static_cast<char>(v >> 8);
  out += static_cast<char>(v);
}

void PngChunk(std::string& out, const char* type, const std::string& data) {
  PutBe32(out, static_cast<uint32_t>(data.size()));
  std::string typed = std::string(type, 4) + data;
  out += typed;
  PutBe32(out, Crc(typed));
}

// Parts of the scenario video pages' player lines.
const std::string kCall = "<script type=\"text/javascript\">loadFlashPlayer({";
const std::string kHost = "\"host\":\"http:\\/\\/cs1.zq.test\\/\",";
const std::string kTail = "\"jpg\":\"\",\"duration\":4}, {\"width\":480,\"height\":360});</script>";

// The player lines of the scenario video pages 1 to 10, whose values are hostile.
std::vector<std::string> HostileCallLines(int vid, const Video& v) {
  std::vector<std::string> lines;
  switch (vid) {
    case 1:  // double quotes inside values, escaped as JSON would
      lines.push_back(kCall + "\"uid\":\"9\\\"1\",\"vid\":\"1\\\" onerror=\\\"alert(1)\"," +
                      "\"oid\":\"-9\\\"\"," + kHost + "\"vtag\":\"quo\\\"te\"," +
                      "\"hash2\":\"h\\\"ash\"," + kTail);
      break;
    case 2:  // a single quote that ends the player frame's attribute
      lines.push_back(kCall + "\"uid\":\"9\",\"vid\":\"2\",\"oid\":\"-9' onload='alert(1)\"," +
                      kHost + "\"vtag\":\"" + v.vtag + "\",\"hash2\":\"x' y='z\"," + kTail);
      break;
    case 3:  // markup in the values
      lines.push_back(kCall + "\"uid\":\"9\",\"vid\":\"<script>alert(1)</script>\"," +
                      "\"oid\":\"</iframe><script>alert(2)</script>\"," + kHost +
                      "\"vtag\":\"<b>tag</b>\",\"hash2\":\"<script>alert(3)</script>\"," + kTail);
      break;
    case 4:  // another host's escaped address stands first on the line
      lines.push_back(kCall + "\"ref\":\"http:\\/\\/other.host\\/page\",\"uid\":\"9\"," +
                      "\"vid\":\"4\",\"oid\":\"-9\"," + kHost + "\"vtag\":\"" + v.vtag +
                      "\",\"hash2\":\"" + v.hash2 + "\"," + kTail);
      break;
    case 5:  // an address trick inside uid
      lines.push_back(kCall + "\"uid\":\"\\/\\/other.host\\/\",\"vid\":\"5\",\"oid\":\"-9\"," +
                      kHost + "\"vtag\":\"" + v.vtag + "\",\"hash2\":\"" + v.hash2 + "\"," + kTail);
      break;
    case 6:  // a file name climbing up the path
      lines.push_back(kCall + "\"uid\":\"9\",\"vid\":\"6\",\"oid\":\"-9\"," + kHost +
                      "\"vtag\":\"..\\/..\\/..\\/etc\\/passwd\",\"hash2\":\"" + v.hash2 + "\"," +
                      kTail);
      break;
    case 7:  // no "." follows the only escaped address: the host label is cut empty
      lines.push_back(kCall + "\"uid\":\"9\",\"vid\":\"7\",\"oid\":\"-9\"," +
                      "\"host\":\"http:\\/\\/localhost\\/\",\"vtag\":\"" + v.vtag +
                      "\",\"hash2\":\"" + v.hash2 + "\"," + kTail);
      break;
    case 8:  // two player lines: the program keeps the second
      lines.push_back(PlayerCallLine(Entry(0)));
      lines.push_back(PlayerCallLine(Entry(1)));
      break;
    case 9:  // no player line at all
      break;
    case 10:  // three player lines: the program keeps the third
      for (size_t i = 2; i < 5; ++i) lines.push_back(PlayerCallLine(Entry(i)));
      break;
    case kLongVtagVid:  // values far longer than any real one
    case kLongHashVid: {
      std::string long_value;
      while (long_value.size() < 5000) long_value += "0123456789abcdef";
      long_value.resize(5000);
      bool vtag = vid == kLongVtagVid;
      lines.push_back(kCall + "\"uid\":\"9\",\"vid\":\"" + std::to_string(vid) +
                      "\",\"oid\":\"-9\"," + kHost + "\"vtag\":\"" + (vtag ? long_value : v.vtag) +
                      "\",\"hash2\":\"" + (vtag ? v.hash2 : long_value) + "\"," + kTail);
      break;
    }
  }
  return lines;
}

}  // namespace

const std::vector<ScenarioInfo>& Scenarios() { return kScenarios; }

std::string PngHeaderFile(uint32_t width, uint32_t height) {
  std::string png = "\x89PNG\r\n\x1a\n";
  std::string ihdr;
  PutBe32(ihdr, width);
  PutBe32(ihdr, height);
  ihdr += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  PngChunk(png, "IHDR", ihdr);
  // The image data holds a single row of zeros: a decoder that trusts the header runs out.
  std::string raw(1 + 3 * 16, '\0');
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string z(size, '\0');
  compress2(reinterpret_cast<Bytef*>(&z[0]), &size, reinterpret_cast<const Bytef*>(raw.data()),
            static_cast<uLong>(raw.size()), 9);
  z.resize(size);
  PngChunk(png, "IDAT", z);
  PngChunk(png, "IEND", "");
  return png;
}

bool AnswerScenarioSearch(std::string_view text, const Visitor& visitor,
                          const ScenarioOptions& options, httplib::Response& res) {
  std::string name = LowerAscii(text);
  if (name.compare(0, 7, "zqtest-") != 0) return false;
  if (name == "zqtest-longline") {
    res.set_content(LongLinePage(visitor), kHtml);
  } else if (name == "zqtest-nul") {
    res.set_content(NulPage(visitor), kHtml);
  } else if (name == "zqtest-10000") {
    res.set_content(ManyResultsPage(visitor), kHtml);
  } else if (name == "zqtest-noend") {
    res.set_content(NoEndPage(visitor), kHtml);
  } else if (name == "zqtest-notpicture") {
    res.set_content(NotPicturePage(visitor), kHtml);
  } else if (name == "zqtest-hugepng") {
    res.set_content(PicturePage(visitor, "hugepng.jpg", "PNG 60000 x 60000"), kHtml);
  } else if (name == "zqtest-video-quotes") {
    res.set_content(
        VideoRowsPage(visitor, {{1, "Double quotes in the values"}, {2, "A single quote in oid"}}),
        kHtml);
  } else if (name == "zqtest-video-script") {
    res.set_content(VideoRowsPage(visitor, {{3, "<script> in the values"}}), kHtml);
  } else if (name == "zqtest-video-otherhost") {
    res.set_content(VideoRowsPage(visitor, {{4, "Another host first"},
                                            {5, "\\/\\/other.host\\/ in uid"},
                                            {6, "../ in vtag"},
                                            {7, "Escaped address without a dot"}}),
                    kHtml);
  } else if (name == "zqtest-video-twice") {
    res.set_content(VideoRowsPage(visitor, {{8, "Two player lines"}}), kHtml);
  } else if (name == "zqtest-video-nomarker") {
    res.set_content(VideoRowsPage(visitor, {{9, "No player line"}}), kHtml);
  } else if (name == "zqtest-video-thrice") {
    res.set_content(VideoRowsPage(visitor, {{10, "Three player lines"}}), kHtml);
  } else if (std::vector<std::pair<int, const char*>> rows = FileRowsOf(name); !rows.empty()) {
    res.set_content(VideoRowsPage(visitor, rows), kHtml);
  } else if (name == "zqtest-references") {
    res.set_content(ReferencesPage(visitor), kHtml);
  } else if (name == "zqtest-stall" || StallSecondsOf(name) >= 0) {
    ScenarioOptions stall = options;
    if (name != "zqtest-stall") stall.stall_ms = StallSecondsOf(name) * 1000;
    std::string page = SearchPageHead(visitor, 20) + OrdinaryResults(20, "720") + SearchPageTail();
    Stall(res, Utf8ToCp1251(page), stall);
  } else if (name == "zqtest-silent") {
    Silent(options);
    res.status = 503;
    res.set_content(ErrorPage(503, "zqtest-silent"), kHtml);
  } else if (name == "zqtest-cut") {
    std::string page = SearchPageHead(visitor, 20) + OrdinaryResults(20, "720") + SearchPageTail();
    Cut(res, Utf8ToCp1251(page));
  } else if (name == "zqtest-chunked-cut") {
    ChunkedCut(visitor, res);
  } else if (name == "zqtest-204") {
    SendBareStatus(204, "No Content", res);
  } else if (name == "zqtest-304") {
    SendBareStatus(304, "Not Modified", res);
  } else if (name == "zqtest-video-longvalue") {
    res.set_content(VideoRowsPage(visitor, {{kLongVtagVid, "A vtag of 5000 characters"},
                                            {kLongHashVid, "A hash of 5000 characters"}}),
                    kHtml);
  } else if (name == "zqtest-hugetitle") {
    HugeTitlePage(visitor, res);
  } else if (name == "zqtest-100mb-line") {
    HugeLinePage(visitor, res);
  } else if (name == "zqtest-1000000") {
    MillionResultsPage(visitor, res);
  } else if (name == "zqtest-preview-2g") {
    res.set_content(PicturePage(visitor, "huge2g.jpg", "a preview of 2 GiB"), kHtml);
  } else if (name == "zqtest-bigpicture") {
    res.set_content(PicturePage(visitor, "big2000.jpg", "a real JPEG of 2000 x 2000"), kHtml);
  } else if (name == "zqtest-redirect-evil") {
    res.set_redirect("http://evil.test/gsearch.php?section=video&q=zqtest-evil&name=1", 302);
  } else if (name == "zqtest-redirect-loop") {
    res.set_redirect(LoopHop(1), 302);
  } else if (name == "zqtest-404") {
    res.status = 404;
    res.set_content(ErrorPage(404, "Страница не найдена (zqtest-404)."), kHtml);
  } else if (name == "zqtest-empty") {
    res.set_content("", kHtml);
  } else {
    return false;
  }
  return true;
}

bool AnswerRedirectLoop(const std::string& path, httplib::Response& res) {
  for (int n = 1; n <= kLoopHops; ++n) {
    if (path == "/zqtest-loop/" + std::to_string(n)) {
      res.set_redirect(LoopHop(n % kLoopHops + 1), 302);
      return true;
    }
  }
  return false;
}

std::string ForeignResultPage() {
  std::string out = SearchPageHead(Visitor(), 3);
  for (size_t i = 0; i < 3; ++i) {
    out += Block(VideoLink(Entry(i)),
                 HtmlText(DecodeUtf8("Чужой сайт: " + std::to_string(i + 1) + " ")) +
                     HtmlText(Entry(i).title_cps),
                 PreviewAddress(Entry(i)), "evil.test is not the site");
  }
  out += SearchPageTail();
  return Utf8ToCp1251(out);
}

bool AnswerScenarioVideo(int vid, const Visitor& visitor, httplib::Response& res) {
  const FileVideo* file = nullptr;
  for (const FileVideo& f : FileVideos()) {
    if (f.vid == vid) file = &f;
  }
  bool hostile = (vid >= 1 && vid <= 10) || vid == kLongVtagVid || vid == kLongHashVid;
  if (!hostile && !file) return false;
  Video v = MakeVideo(-1, kScenarioOwner, vid, 1, 0, "Test scenario " + std::to_string(vid),
                      "A video page that misbehaves on purpose.");
  std::vector<std::string> lines;
  if (file) {  // the files of the scenario owner: see AnswerScenarioFile
    lines.push_back(kCall + "\"uid\":\"9\",\"vid\":\"" + std::to_string(vid) +
                    "\",\"oid\":\"-9\"," + kHost + "\"vtag\":\"" + file->vtag + "\",\"hash2\":\"" +
                    v.hash2 + "\"," + kTail);
  } else {
    lines = HostileCallLines(vid, v);
  }
  res.set_content(VideoPageWith(v, visitor, lines), kHtml);
  return true;
}

}  // namespace site
