// What the program takes from the site's pages, read the way it reads them: line by line,
// with first-occurrence text markers. Tests use it to check that pages carry what the
// program needs, and nothing else that it would pick up.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sitetest {

// The text between the first `start` and the next `end` after it; empty when either is
// missing or empty.
std::string Between(std::string_view text, std::string_view start, std::string_view end);

// Lines of a page; a line ends at CR, LF or CR LF.
std::vector<std::string> Lines(std::string_view page);

struct ResultScan {
  std::vector<std::string> links, titles, pictures, descriptions;  // raw, not cleaned
};
// Title lines ("aname"), picture lines ("img src=") and description lines ("adesc").
ResultScan ScanResults(std::string_view page);

struct PlayerScan {
  int marker_lines = 0;
  std::string host_label, uid, vtag, oid, vid, hash2;  // from the last marker line
};
PlayerScan ScanVideoPage(std::string_view page);

// The video file address built from a marker line, for the site domain zq.test.
std::string DownloadAddress(const PlayerScan& s);

// A title or description as HTML decoded back into code points: the highlight marks
// removed and the character references the site writes turned into characters.
std::u32string DecodeHtml(std::string_view cp1251_html);

}  // namespace sitetest
