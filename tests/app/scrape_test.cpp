#include <gtest/gtest.h>

#include "scrape.h"
#include "config.h"
#include "seqfile.h"
#include "temp_dir.h"

TEST(CleanText, ReplacementTableInOrder) {
  EXPECT_EQ(CleanText("It&#39;s &laquo;Star&raquo; &#9733; &lt;HD&gt; &#8230;"),
            "It's \xABStar\xBB \x95 <HD> ...");
  EXPECT_EQ(CleanText("Big <span class=\"match\">720</span> &laquo;Trailer&raquo;"),
            "Big 720 \xABTrailer\xBB");
  EXPECT_EQ(CleanText("&#9679;&#9602;&#9603;&#9733;"), "\x95\x95\x95\x95");
  EXPECT_EQ(CleanText("&#036;5 &#33; #33; &amp;#33;"), "$5 ! ! &!");
  EXPECT_EQ(CleanText("&#8220;q&#8221; a&#8211;b &quot;z&quot;"), "\"q\" a-b \"z\"");
  // A mark quoted with &quot; becomes a mark, then goes.
  EXPECT_EQ(CleanText("<span class=&quot;match&quot;>x</span>"), "x");
  EXPECT_EQ(CleanText(""), "");
  EXPECT_EQ(CleanText("plain \xD4\xE8\xEB\xFC\xEC"), "plain \xD4\xE8\xEB\xFC\xEC");
}

TEST(CleanText, ReferencesAndMarksComeOutAsThePageMeantThem) {
  EXPECT_EQ(CleanText("<span class=\"match\">720</span>p &lt;b&gt; &amp; (<span "
                      "class=\"match\">720</span>p) a&nbsp;b salt; lt;gt; "),
            "720p <b> & (720p) a\xA0" "b salt; lt;gt;");
  // Each reference is decoded once: what it becomes is not read again.
  EXPECT_EQ(CleanText("&amp;lt; &amp;amp; &#38;gt;"), "&lt; &amp; &gt;");
  EXPECT_EQ(CleanText("&#60;span class=&quot;match&quot;&#62;x"), "<span class=\"match\">x");
  // Numeric references of characters the code page has, decimal or hexadecimal.
  EXPECT_EQ(CleanText("&#1025;&#x451;&#X401; &#8212; &#8470; &#36;&#x20AC;"),
            "\xA8\xB8\xA8 \x97 \xB9 $\x88");
  // The code page lacks these, control characters and malformed ones stay as they are.
  EXPECT_EQ(CleanText("&#8596; &#10; &#0; &#; &#x; &#12a; &#123456789; &#1025"),
            "&#8596; &#10; &#0; &#; &#x; &#12a; &#123456789; &#1025");
  EXPECT_EQ(CleanText("&nbsp; \t x &#32;"), "x");  // blanks at either end go
  EXPECT_EQ(CleanText(" <span class=\"match\"> </span>&nbsp;"), "");
}

TEST(CleanText, NeverMakesATextLonger) {
  String all = "&#9679;&#39;&#9602;&#9603;&#036;&#9733;&#33;#33;lt;gt;&#8221;&#8220;"
               "&#8211;&#8230;&quot;&laquo;&raquo;<span class=\"match\"></span>";
  for (size_t cut = 0; cut <= all.size(); ++cut) {
    String piece = all.substr(cut) + all.substr(0, cut);
    EXPECT_LE(CleanText(piece).size(), piece.size());
  }
}

class ScrapeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_app = AppState();
    AllocateResultArrays();
  }
  void Feed(const String& line) {
    ScrapeResultLine(line, counters, [this](const String& t) { rows.push_back(t); });
  }
  AppState& app = g_app;
  ScrapeCounters counters;
  std::vector<String> rows;
};

TEST_F(ScrapeTest, WorkedExamplePage) {
  Feed("<a href=\"video-12_34\" class=\"aname\">Big <span class=\"match\">720</span> "
       "&laquo;Trailer&raquo;</a>");
  Feed("<img src=\"pics/12_34.jpg\" width=\"130\" class=\"adesc\">");
  Feed("<div class=\"adesc\">Film &#8211; 2010 &quot;HD&quot;</div>");
  Feed("<img src='pics/56_78.jpg'>");
  ASSERT_EQ(rows, std::vector<String>{"Big 720 \xABTrailer\xBB"});
  EXPECT_EQ(app.videoLinks[0], "video-12_34");
  EXPECT_EQ(app.pictureUrls[0], "pics/12_34.jpg");
  EXPECT_EQ(app.pictureUrls[1], "");
  EXPECT_EQ(app.descriptions[0], "Film - 2010 \"HD\"");
  EXPECT_EQ(counters.linkCount, 1);
  EXPECT_EQ(counters.pictureCount, 1);
  EXPECT_EQ(counters.descriptionCount, 1);
}

TEST_F(ScrapeTest, EmptyCutsStillMakeRowsAndDescriptions) {
  Feed("class=\"aname\" no link here");
  Feed("<div class=\"adesc\">no end marker");
  EXPECT_EQ(rows, std::vector<String>{""});
  EXPECT_EQ(app.videoLinks[0], "");
  EXPECT_EQ(counters.descriptionCount, 1);
  EXPECT_EQ(app.descriptions[0], "");
}

TEST_F(ScrapeTest, AllThreeMarkersOnOneLine) {
  Feed("<a href=\"v1\" class=\"aname\">T</a><img src=\"http://p/1.jpg\"><i class=\"adesc\">D</div>");
  EXPECT_EQ(rows, std::vector<String>{"T"});
  EXPECT_EQ(app.pictureUrls[0], "http://p/1.jpg");
  EXPECT_EQ(counters.descriptionCount, 0);  // the description test saw only the cut
}

TEST_F(ScrapeTest, ArraysGrowPastTheirFirstEntriesAndOlderEntriesSurvive) {
  app.pictureUrls[3] = "old-picture";
  for (int i = 0; i < 60; ++i) {
    Feed("<a href=\"v" + std::to_string(i) + "\" class=\"aname\">t" + std::to_string(i) + "</a>");
    if (i < 3) Feed("<img src=\"http://p/" + std::to_string(i) + ".jpg\">");
    Feed("<div class=\"adesc\">d" + std::to_string(i) + "</div>");
  }
  ASSERT_EQ(rows.size(), 60u);
  EXPECT_EQ(rows.back(), "t59");
  // Every row has its entries, also past the 51 the arrays start with.
  ASSERT_EQ(app.videoLinks.size(), 60u);
  EXPECT_EQ(app.videoLinks[50], "v50");
  EXPECT_EQ(app.videoLinks[59], "v59");
  ASSERT_EQ(app.descriptions.size(), 60u);
  EXPECT_EQ(app.descriptions[59], "d59");
  EXPECT_EQ(app.pictureUrls[2], "http://p/2.jpg");
  EXPECT_EQ(app.pictureUrls[3], "old-picture");
  // Rows past the pictures found still have a picture entry (empty) to be read by index.
  ASSERT_EQ(app.pictureUrls.size(), 60u);
  EXPECT_EQ(app.pictureUrls[59], "");

  // A second, shorter search overwrites from 0 up and leaves the rest.
  rows.clear();
  counters = ScrapeCounters();
  Feed("<a href=\"new\" class=\"aname\">n</a>");
  EXPECT_EQ(rows, std::vector<String>{"n"});
  EXPECT_EQ(app.videoLinks[0], "new");
  EXPECT_EQ(app.videoLinks[59], "v59");
}

TEST_F(ScrapeTest, RowsStopAtTheLimit) {
  for (int i = 0; i < RESULT_ROWS_LIMIT + 5; ++i) Feed("class=\"aname\"");
  EXPECT_EQ(rows.size(), static_cast<size_t>(RESULT_ROWS_LIMIT));
  EXPECT_EQ(counters.linkCount, RESULT_ROWS_LIMIT);
  EXPECT_EQ(counters.rowsLeftOut, 5);  // counted, so that the user can be told
  EXPECT_EQ(app.videoLinks.size(), static_cast<size_t>(RESULT_ROWS_LIMIT));
}

TEST_F(ScrapeTest, WholeFileWithLineEndsOfEveryKindAndNulBytes) {
  std::string dir = MakeScratchDir();
  std::string page =
      "<html>\r\n<a href=\"v1\" class=\"aname\">One</a>\n<img src=\"http://p/1.jpg\">\r"
      "<div class=\"adesc\">first</div>\r\n"
      "<a href=\"v2\" class=\"aname\">T";
  page += '\0';  // a NUL ends a line, like a line end
  page += "wo</a>\n<div class=\"adesc\">second</div>";
  WriteWholeFile(dir + "Text.txt", page);
  ASSERT_NE(FileOpenRead(0, dir + "Text.txt"), 0);
  ScrapeCounters got =
      ScrapeResultFile(0, [this](const String& t) { rows.push_back(t); });
  FileClose(0);
  RemoveScratchDir(dir);
  EXPECT_EQ(rows, (std::vector<String>{"One", ""}));
  EXPECT_EQ(got.linkCount, 2);
  EXPECT_EQ(got.pictureCount, 1);
  EXPECT_EQ(got.descriptionCount, 2);
  EXPECT_EQ(app.videoLinks[1], "v2");
  EXPECT_EQ(app.descriptions[1], "second");
}

TEST_F(ScrapeTest, ALineLongerThanTheScanLimitIsSkippedAndCounted) {
  std::string dir = MakeScratchDir();
  std::string huge = "<a href=\"v0\" class=\"aname\">" + std::string(SCAN_LINE_LIMIT, 'x');
  WriteWholeFile(dir + "Text.txt", huge + "</a>\n<a href=\"v1\" class=\"aname\">One</a>\n");
  ASSERT_NE(FileOpenRead(0, dir + "Text.txt"), 0);
  ScrapeCounters got = ScrapeResultFile(0, [this](const String& t) { rows.push_back(t); });
  FileClose(0);
  RemoveScratchDir(dir);
  EXPECT_EQ(rows, (std::vector<String>{"One"}));
  EXPECT_EQ(got.linesTooLong, 1);
  EXPECT_EQ(app.videoLinks[0], "v1");
}

TEST_F(ScrapeTest, TitleStartsAfterTheFirstQuoteBracketOfTheLine) {
  Feed("<div class=\"x\"><a href=\"v9\" class=\"aname\">Title</a>");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], "<a href=\"v9\" class=\"aname\">Title");
}

TEST(LoginPage, OnlyTheFormThatLogsInToTheEndpointMarksIt) {
  std::string dir = MakeScratchDir();
  auto isLoginPage = [&](const std::string& page) {
    WriteWholeFile(dir + "page.htm", page);
    EXPECT_NE(FileOpenRead(0, dir + "page.htm"), 0);
    bool found = FileIsLoginPage(0, "http://login.zq.test/");
    FileClose(0);
    return found;
  };
  EXPECT_TRUE(
      isLoginPage("<p>\xCD\xE5</p>\r\n<form id=\"login_form\" action=\"http://login.zq.test/\""));
  // A result, or a form that sends elsewhere, is no log-in page.
  EXPECT_FALSE(isLoginPage("<a href=\"v1\" class=\"aname\">login_form</a>\n"));
  EXPECT_FALSE(isLoginPage("<form id=\"login_form\" action=\"http://login.zq.test/x\">\n"));
  RemoveScratchDir(dir);
}
