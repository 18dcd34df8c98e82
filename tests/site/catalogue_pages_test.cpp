// The catalogue, the search over it, and the pages read the way the program reads them.
#include <gtest/gtest.h>

#include <set>

#include "catalogue.h"
#include "cp1251.h"
#include "pages.h"
#include "scan.h"

using namespace site;
using sitetest::Between;

namespace {

const std::string kDefaultQuery = "\xD4\xE0\xED\xF2\xE0\xF1\xF2\xE8\xEA\xE0 720";

Visitor Member() {
  Visitor v;
  v.logged_in = true;
  v.email = "demo@zq.test";
  return v;
}

bool HoldsFolded(const Video& v, const std::string& word) {
  std::string title = FoldCp1251(Utf8ToCp1251(v.title));
  std::string desc = FoldCp1251(Utf8ToCp1251(v.description));
  return title.find(word) != std::string::npos || desc.find(word) != std::string::npos;
}

}  // namespace

TEST(SiteCatalogue, EnoughDistinctVideosWithUsableKeys) {
  const auto& all = Catalogue();
  ASSERT_GE(all.size(), 60u);
  std::set<std::string> links, files;
  std::set<int> clips;
  bool russian = false, english = false;
  for (const Video& v : all) {
    EXPECT_TRUE(links.insert(VideoLink(v)).second) << VideoLink(v);
    EXPECT_TRUE(files.insert(std::to_string(v.uid) + "/" + v.vtag).second);
    EXPECT_EQ(v.vtag.size(), 10u);
    EXPECT_EQ(v.hash2.size(), 16u);
    EXPECT_EQ(v.vtag.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(PreviewAddress(v).find("jpg"), PreviewAddress(v).size() - 3)
        << "the program cuts picture addresses at their first \"jpg\"";
    EXPECT_GE(v.server, 1);
    EXPECT_LE(v.server, 9);
    EXPECT_GE(v.clip, 0);
    EXPECT_LT(v.clip, kClipCount);
    clips.insert(v.clip);
    EXPECT_EQ(v.title.find('\n'), std::string::npos);
    EXPECT_EQ(v.description.find('\n'), std::string::npos);
    EXPECT_EQ(v.title_folded.size(), v.title_cps.size());
    russian |= IsMultibyteUtf8(v.title);
    english |= !IsMultibyteUtf8(v.title);
    EXPECT_EQ(FindVideo(v.oid, v.vid), &v);
    EXPECT_EQ(FindByFile(v.uid, v.vtag), &v);
  }
  EXPECT_EQ(clips.size(), static_cast<size_t>(kClipCount));
  EXPECT_TRUE(russian && english);
  EXPECT_EQ(FindVideo(1, 1), nullptr);
  EXPECT_EQ(FindByFile(all[0].uid, "0000000000"), nullptr);
}

TEST(SiteCatalogue, SearchMatchesEveryWordInAnyLetterCase) {
  std::vector<std::string> words = QueryWords(kDefaultQuery);
  ASSERT_EQ(words.size(), 2u);
  std::vector<const Video*> found = Search(words);
  EXPECT_GE(found.size(), 5u);
  EXPECT_LT(found.size(), Catalogue().size());
  // Exactly the videos holding both words, checked against an independent folding.
  size_t expected = 0;
  for (const Video& v : Catalogue()) {
    bool both = HoldsFolded(v, words[0]) && HoldsFolded(v, words[1]);
    expected += both;
    bool listed = std::find(found.begin(), found.end(), &v) != found.end();
    EXPECT_EQ(listed, both) << v.title;
  }
  EXPECT_EQ(found.size(), expected);

  EXPECT_GT(Search(QueryWords("720")).size(), 51u);
  EXPECT_EQ(Search(QueryWords("")).size(), Catalogue().size());
  EXPECT_EQ(Search(QueryWords("  \t ")).size(), Catalogue().size());
  EXPECT_TRUE(Search(QueryWords("qqqqzzzz")).empty());
  EXPECT_EQ(Search(QueryWords(Utf8ToCp1251("ЗВЕЗДНЫЙ ПАТРУЛЬ"))).size(), 1u);  // ё as е
  EXPECT_EQ(Search(QueryWords("CATS")).size(), Search(QueryWords("cats")).size());
}

TEST(SiteCatalogue, MatchRangesMerge) {
  std::string folded = FoldCp1251(Utf8ToCp1251("фантастика фантастика"));
  auto r = MatchRanges(folded, {FoldCp1251(Utf8ToCp1251("фант")), FoldCp1251(Utf8ToCp1251("аст"))});
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0], std::make_pair(size_t{0}, size_t{7}));  // "фант" and "аст" overlap
  EXPECT_EQ(r[1], std::make_pair(size_t{11}, size_t{18}));
  EXPECT_TRUE(MatchRanges(folded, {}).empty());
}

TEST(SitePages, ResultPageGivesTheProgramOneRowPerResult) {
  for (std::string text :
       {kDefaultQuery, std::string("720"), std::string(""), std::string("cats")}) {
    std::vector<std::string> words = QueryWords(text);
    std::vector<const Video*> found = Search(words);
    std::string page = SearchPage(found, words, Member(), false);
    EXPECT_FALSE(IsMultibyteUtf8(page)) << "pages are Windows-1251";
    EXPECT_NE(page.find("charset=windows-1251"), std::string::npos);
    sitetest::ResultScan scan = sitetest::ScanResults(page);
    ASSERT_EQ(scan.links.size(), found.size()) << text;
    ASSERT_EQ(scan.pictures.size(), found.size());
    ASSERT_EQ(scan.descriptions.size(), found.size());
    for (size_t i = 0; i < found.size(); ++i) {
      EXPECT_EQ(scan.links[i], VideoLink(*found[i]));
      EXPECT_EQ(scan.pictures[i], PreviewAddress(*found[i]));
      std::u32string title = sitetest::DecodeHtml(scan.titles[i]);
      EXPECT_EQ(title, std::u32string(found[i]->title_cps.begin(), found[i]->title_cps.end()));
      std::u32string desc = sitetest::DecodeHtml(scan.descriptions[i]);
      EXPECT_EQ(desc,
                std::u32string(found[i]->description_cps.begin(), found[i]->description_cps.end()));
    }
  }
}

TEST(SitePages, SearchWordsAreHighlightedAndReferencesWritten) {
  std::vector<std::string> words = QueryWords(kDefaultQuery);
  std::vector<const Video*> found = Search(words);
  ASSERT_FALSE(found.empty());
  std::string page = SearchPage(found, words, Member(), false);
  sitetest::ResultScan scan = sitetest::ScanResults(page);
  for (const std::string& title : scan.titles) {
    std::string marked = Between(title, "<span class=\"match\">", "</span>");
    ASSERT_FALSE(marked.empty()) << title;
    EXPECT_TRUE(FoldCp1251(marked) == words[0] || FoldCp1251(marked) == words[1]) << marked;
  }
  // The first result's title carries guillemets and a dash as references.
  EXPECT_NE(scan.titles[0].find("&laquo;"), std::string::npos);
  EXPECT_NE(scan.titles[0].find("&#8211;"), std::string::npos);
  // A character outside the code page becomes a numeric reference.
  std::string star = HtmlText(DecodeUtf8("a ★ b"));
  EXPECT_EQ(star, "a &#9733; b");
  EXPECT_EQ(HtmlText(DecodeUtf8("<x> & \"y\" 'z' $!")),
            "&lt;x&gt; &amp; &quot;y&quot; &#39;z&#39; &#036;&#33;");
}

TEST(SitePages, GuestsAndEmptyResultsCarryNoMarkers) {
  std::vector<std::string> words = QueryWords("720");
  std::string withheld = SearchPage(Search(words), words, Visitor(), true);
  sitetest::ResultScan scan = sitetest::ScanResults(withheld);
  EXPECT_TRUE(scan.links.empty());
  EXPECT_TRUE(scan.pictures.empty());
  EXPECT_TRUE(scan.descriptions.empty());
  EXPECT_NE(withheld.find("login.zq.test"), std::string::npos);
  scan = sitetest::ScanResults(SearchPage({}, words, Member(), false));
  EXPECT_TRUE(scan.links.empty() && scan.pictures.empty() && scan.descriptions.empty());
  // The home page does not tell the program anything either.
  scan = sitetest::ScanResults(HomePage(Member()));
  EXPECT_TRUE(scan.links.empty() && scan.pictures.empty() && scan.descriptions.empty());
}

TEST(SitePages, VideoPageLeadsToTheFileAndThePlayer) {
  for (const Video& v : Catalogue()) {
    std::string page = VideoPage(v, Member());
    sitetest::PlayerScan s = sitetest::ScanVideoPage(page);
    ASSERT_EQ(s.marker_lines, 1) << v.title;
    EXPECT_EQ(s.host_label, "cs" + std::to_string(v.server));
    EXPECT_EQ(s.uid, std::to_string(v.uid));
    EXPECT_EQ(s.oid, std::to_string(v.oid));
    EXPECT_EQ(s.vid, std::to_string(v.vid));
    EXPECT_EQ(s.vtag, v.vtag);
    EXPECT_EQ(s.hash2, v.hash2);
    EXPECT_EQ(sitetest::DownloadAddress(s), FileAddress(v));
  }
  // A title with quotes stays inside its JSON string.
  const Video& quoted = Catalogue()[2];
  ASSERT_NE(quoted.title.find('"'), std::string::npos);
  std::string line = PlayerCallLine(quoted);
  EXPECT_NE(line.find("\"md_title\":\"\\\""), std::string::npos) << line;
  EXPECT_EQ(line.find('\n'), std::string::npos);
}

TEST(SitePages, PlayerPagePlaysTheFileWithFallbacks) {
  const Video& v = Catalogue()[5];
  std::string page = PlayerPage(v);
  std::string file = FileAddress(v);
  EXPECT_NE(page.find("<video"), std::string::npos);
  EXPECT_NE(page.find("<source src=\"" + file + "\" type=\"video/mp4\">"), std::string::npos);
  EXPECT_NE(page.find("<object type=\"video/mp4\" data=\"" + file + "\""), std::string::npos);
  EXPECT_NE(page.find("<a href=\"" + file + "\">"), std::string::npos);
  EXPECT_EQ(PlayerAddress(v), "http://zq.test/video_ext.php?oid=" + std::to_string(v.oid) +
                                  "&id=" + std::to_string(v.vid) + "&hash=" + v.hash2);
}
