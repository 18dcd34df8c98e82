// Reading a 10 MB result page line by line and scraping every line, and cleaning one
// 200-byte title. Prints MB/s and ns per call.
#include <cstdio>
#include <string>

#include "scrape.h"
#include "seqfile.h"
#include "timing.h"

namespace {

// A synthetic result page: per video a title line, a picture line and a description line,
// between lines of ordinary markup, until the page reaches `bytes`.
std::string MakePage(size_t bytes) {
  std::string page = "<html><head><meta charset=\"windows-1251\"></head><body>\r\n";
  for (int i = 0; page.size() < bytes; ++i) {
    std::string id = std::to_string(i);
    page += "<div class=\"result\"><div class=\"row\"><span class=\"info\">" + id +
            " views</span></div>\r\n";
    page += "<a href=\"video-1_" + id + "\" class=\"aname\">\xD4\xE0\xED\xF2\xE0\xF1\xF2\xE8"
            "\xEA\xE0 <span class=\"match\">720</span> &laquo;Trailer " + id +
            "&raquo;</a>\r\n";
    page += "<img src=\"http://cs7.zq.test/u1/pics/" + id + ".jpg\" width=\"130\">\r\n";
    page += "<div class=\"adesc\">Film &#8211; 2010 &quot;HD&quot; number " + id +
            " with a longer description text</div>\r\n";
    page += "<div class=\"spacer\" style=\"height: 4px; clear: both;\"></div></div>\r\n";
  }
  return page + "</body></html>\r\n";
}

}  // namespace

int main() {
  const std::string path = TempDirectory() + "vs-bench-page.txt";
  const std::string page = MakePage(10 << 20);
  {
    FileOpenReadWrite(1, path);
    FileWriteLine(1, page);
    FileClose(1);
  }
  AllocateResultArrays();
  long rows = 0;
  auto scan = [&] {
    ScrapeCounters counters;
    FileOpenRead(0, path);
    while (!FileAtEnd(0)) {
      ScrapeResultLine(FileReadLine(0), counters, [&](const String&) { ++rows; });
      // Start the arrays afresh so that every title line is cut, not only the first 51.
      if (counters.linkCount == RESULT_ENTRIES) counters = ScrapeCounters();
    }
    FileClose(0);
  };
  Timing t = TimeIt(scan, 1.0, 3);
  std::printf("read+scrape 10 MB page: %.1f MB/s (%.1f ms per page)\n",
              static_cast<double>(page.size()) / t.bestSeconds / 1e6, t.bestSeconds * 1e3);

  std::string title = "<span class=\"match\">\xD4\xE0\xED\xF2\xE0\xF1\xF2\xE8\xEA\xE0</span> "
                      "&laquo;Star&raquo; &#9733; It&#39;s &lt;HD&gt; &#8230; ";
  while (title.size() < 200) title += "plain words ";
  title.resize(200);
  size_t sink = 0;
  Timing c = TimeIt([&] { sink += CleanText(title).size(); });
  std::printf("CleanText of a 200-byte title: %.0f ns per call\n", c.bestSeconds * 1e9);
  FileDelete(path);
  return sink == 0 && rows == 0;
}
