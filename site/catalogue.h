// The site's videos and the search over them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace site {

// Number of distinct generated clips; catalogue entries share them.
constexpr int kClipCount = 8;

struct Video {
  int index = 0;  // position in the catalogue; names the preview file
  int oid = 0;    // owner; the video page is "video<oid>_<vid>"
  int vid = 0;
  int uid = 0;        // uploader; the file server path begins "/u<uid>/"
  int server = 0;     // N of the file server cs<N>.zq.test holding the file
  int clip = 0;       // which generated clip plays (0 .. kClipCount-1)
  int seconds = 0;    // running time
  std::string vtag;   // file name stem on the file server
  std::string hash2;  // key the embeddable player checks
  std::string title;  // UTF-8
  std::string description;
  // The same texts as code points, and folded to Windows-1251 one byte per code point
  // (characters the code page lacks become 0x01, which no query holds), so that match
  // positions in the folded text are positions in the code points.
  std::vector<char32_t> title_cps, description_cps;
  std::string title_folded, description_folded;
};

// All videos, in catalogue order.
const std::vector<Video>& Catalogue();
const Video* FindVideo(int oid, int vid);
// The video whose file is "/u<uid>/.../<vtag>...": nullptr when there is none.
const Video* FindByFile(int uid, std::string_view vtag);

// Builds a video record with its ids and derived keys (also used for test scenarios).
Video MakeVideo(int index, int oid, int vid, int server, int clip, std::string title,
                std::string description);

// The folded words of a Windows-1251 search text (split at blanks and tabs; at most 16).
std::vector<std::string> QueryWords(std::string_view cp1251_text);
// Videos whose title or description holds every word, in catalogue order; all videos for
// an empty word list.
std::vector<const Video*> Search(const std::vector<std::string>& words);

// Positions (in code points) of all occurrences of the words in a folded text, merged
// into non-overlapping [begin, end) ranges in order.
std::vector<std::pair<size_t, size_t>> MatchRanges(std::string_view folded,
                                                   const std::vector<std::string>& words);

}  // namespace site
