// The site's pages. Page texts are composed in UTF-8 and handed out in Windows-1251.
//
// The program reads the search result page line by line and recognises results by text
// markers only: a line with "aname" holds a video's link and title, a line with
// `img src="` its picture address ending in "jpg", a line with "adesc" its description.
// So nothing else on a result page may stand on a line with these markers (the style
// sheet is therefore a separate file, and the page never echoes the search text or the
// user's e-mail). Titles and descriptions carry the character references and the search
// highlight marks `<span class="match">` that the program cleans up.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "catalogue.h"

namespace site {

// Who is asking, as far as pages care.
struct Visitor {
  bool logged_in = false;
  std::string email;  // Windows-1251, only when logged in
  std::string token;  // the session cookie's value, as sent
};

// Catalogue text as HTML (UTF-8): markup characters, quotes, guillemets, dashes and the
// like as character references, characters missing from Windows-1251 as numeric
// references, and the given match ranges wrapped in the highlight mark.
std::string HtmlText(const std::vector<char32_t>& cps,
                     const std::vector<std::pair<size_t, size_t>>& highlight = {});
// Windows-1251 text (from a request) as HTML, UTF-8, with the markup characters escaped.
std::string HtmlFromCp1251(std::string_view cp1251);

std::string FileAddress(const Video& v);     // http://cs<N>.zq.test/u<uid>/video/<vtag>.480.mp4
std::string PreviewAddress(const Video& v);  // http://cs<N>.zq.test/u<uid>/preview/<vtag>.jpg
std::string VideoLink(const Video& v);       // video<oid>_<vid>, relative to the site root
std::string PlayerAddress(const Video& v);   // http://zq.test/video_ext.php?oid=..&id=..&hash=..

// The four result lines of one video (UTF-8, each ending in "\n"), highlighting `words`.
std::string ResultBlock(const Video& v, const std::vector<std::string>& words);

// Result page for a search; `withheld` shows the login request instead of the results
// (guests, unless search is open to everyone). Windows-1251.
std::string SearchPage(const std::vector<const Video*>& results,
                       const std::vector<std::string>& words, const Visitor& visitor,
                       bool withheld);
// Opening and closing part of a result page around result blocks (UTF-8), for pages
// assembled elsewhere (test scenarios).
std::string SearchPageHead(const Visitor& visitor, size_t count);
std::string SearchPageTail();

// The loadFlashPlayer call line of a video page (UTF-8, without line end).
std::string PlayerCallLine(const Video& v);
// Video page around a given player call line (UTF-8 in, Windows-1251 out).
std::string VideoPageWith(const Video& v, const Visitor& visitor,
                          const std::vector<std::string>& call_lines);
std::string VideoPage(const Video& v, const Visitor& visitor);
// The embeddable player: an HTML5 video element with an object and a link inside for
// engines that do not know the element.
std::string PlayerPage(const Video& v);

std::string HomePage(const Visitor& visitor);
// The page a visitor without a live session gets where a member would get content: the
// message and the login form (kLoginFormMarker), and nothing a result or video page has.
std::string LoginRequiredPage(const Visitor& visitor, std::string_view message_utf8);
// The login endpoint's answer to a wrong e-mail or password: the error and the form.
std::string LoginFailedPage();
std::string AuthorPage();
std::string ErrorPage(int status, std::string_view message_utf8);

// What marks the site's login page on any page: the start of its login form, whose action
// is the login endpoint. Pages served to a visitor with a live session never hold it.
extern const char kLoginFormMarker[];

extern const char kStyleSheet[];
extern const char kPlayerScript[];

}  // namespace site
