#include "pages.h"

#include <cstdio>

#include "cp1251.h"
#include "scenarios.h"

namespace site {

const char kLoginFormMarker[] = "<form id=\"login_form\" action=\"http://login.zq.test/\"";

namespace {

const char kSite[] = "http://zq.test/";

std::string Server(const Video& v) { return "cs" + std::to_string(v.server) + ".zq.test"; }

// Character references the site writes; the program's clean-up turns them back.
const char* Reference(char32_t cp) {
  switch (cp) {
    case '&':
      return "&amp;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    case '"':
      return "&quot;";
    case '\'':
      return "&#39;";
    case '!':
      return "&#33;";
    case '$':
      return "&#036;";
    case 0x00AB:
      return "&laquo;";
    case 0x00BB:
      return "&raquo;";
    case 0x2013:
      return "&#8211;";
    case 0x2026:
      return "&#8230;";
    case 0x201C:
      return "&#8220;";
    case 0x201D:
      return "&#8221;";
    default:
      return nullptr;
  }
}

std::string Duration(int seconds) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%d:%02d", seconds / 60, seconds % 60);
  return buf;
}

// Appends one character as HTML, in UTF-8 or (with `cp1251`) in Windows-1251.
void AppendHtmlChar(std::string& out, char32_t cp, bool cp1251) {
  if (const char* ref = Reference(cp)) {
    out += ref;
    return;
  }
  if (cp < 0x20) {
    out += ' ';
    return;
  }
  int byte = CodePointToCp1251(cp);
  if (byte < 0) {
    out += "&#" + std::to_string(static_cast<unsigned long>(cp)) + ";";
  } else if (cp1251) {
    out += static_cast<char>(byte);
  } else {
    AppendUtf8(out, cp);
  }
}

void AppendHtmlText(std::string& out, const std::vector<char32_t>& cps,
                    const std::vector<std::pair<size_t, size_t>>& highlight, bool cp1251) {
  size_t r = 0;
  for (size_t i = 0; i < cps.size(); ++i) {
    if (r < highlight.size() && highlight[r].first == i) out += "<span class=\"match\">";
    AppendHtmlChar(out, cps[i], cp1251);
    if (r < highlight.size() && highlight[r].second == i + 1) {
      out += "</span>";
      ++r;
    }
  }
}

// The result lines of one video, in UTF-8 or in Windows-1251.
void AppendResultBlock(std::string& out, const Video& v, const std::vector<std::string>& words,
                       bool cp1251) {
  const std::string link = VideoLink(v);
  out += "<div class=\"video_row\" id=\"" + link + "\">\n";
  out += "<a href=\"" + link + "\" class=\"aname\">";
  AppendHtmlText(out, v.title_cps, MatchRanges(v.title_folded, words), cp1251);
  out += "</a>\n";
  out += "<img src=\"" + PreviewAddress(v) + "\" width=\"160\" height=\"120\" alt=\"\">\n";
  out += "<div class=\"adesc\">";
  AppendHtmlText(out, v.description_cps, MatchRanges(v.description_folded, words), cp1251);
  out += "</div>\n";
  out += "<div class=\"vinfo\">" + Duration(v.seconds) + "</div>\n</div>\n";
}

// A JSON string value as the player call writes it: slashes escaped as "\/" (which is
// what makes the file server address read "http:\/\/cs<N>..."), quotes and backslashes
// escaped, and characters outside Windows-1251 as \u escapes.
std::string JsonText(const std::vector<char32_t>& cps) {
  std::string out;
  for (char32_t cp : cps) {
    if (cp == '"' || cp == '\\' || cp == '/') {
      out += '\\';
      out += static_cast<char>(cp);
    } else if (cp < 0x20 || cp == '<' || cp == '>' || cp == '&' || CodePointToCp1251(cp) < 0) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(cp & 0xFFFF));
      out += buf;
    } else {
      AppendUtf8(out, cp);
    }
  }
  return out;
}

std::string JsonAddress(std::string_view address) {
  std::string out;
  for (char c : address) {
    if (c == '/') out += '\\';
    out += c;
  }
  return out;
}

std::string Head(std::string_view title_html, std::string_view extra = "") {
  std::string out =
      "<!DOCTYPE html>\n"
      "<html>\n"
      "<head>\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\n"
      "<title>";
  out += title_html;
  out +=
      "</title>\n"
      "<link rel=\"stylesheet\" type=\"text/css\" href=\"/css/site.css\">\n";
  out += extra;
  out += "</head>\n<body>\n";
  return out;
}

std::string Header(const Visitor& visitor) {
  std::string out = "<div id=\"page_header\"><a href=\"http://zq.test/\" class=\"logo\">ZQ</a> ";
  if (visitor.logged_in) {
    out +=
        "<span class=\"who\">Вы вошли на сайт</span> <a href=\"http://zq.test/logout\">Выйти</a>";
  } else {
    out += "<span class=\"who\">Гость</span>";
  }
  out += "</div>\n";
  return out;
}

const char kSearchForm[] =
    "<form id=\"search_form\" action=\"http://zq.test/gsearch.php\" method=\"get\">"
    "<input type=\"hidden\" name=\"section\" value=\"video\">"
    "<input type=\"text\" name=\"q\" size=\"40\">"
    "<input type=\"hidden\" name=\"name\" value=\"1\">"
    "<input type=\"submit\" value=\"Найти\"></form>\n";

const std::string kLoginForm = std::string(kLoginFormMarker) +
                               " method=\"get\">"
                               "<input type=\"hidden\" name=\"act\" value=\"login\">"
                               "E-mail: <input type=\"text\" name=\"email\" size=\"24\"> "
                               "Пароль: <input type=\"password\" name=\"pass\" size=\"16\">"
                               "<input type=\"hidden\" name=\"expire\" value=\"\">"
                               "<input type=\"submit\" value=\"Войти\"></form>\n";

const char kTail[] = "</body>\n</html>\n";

}  // namespace

const char kStyleSheet[] =
    "body{margin:0;font:13px Tahoma,Arial,sans-serif;background:#f4f5f7;color:#222}\n"
    "#page_header{background:#3b5a7a;color:#fff;padding:8px 16px}\n"
    "#page_header a{color:#fff}\n"
    ".logo{font-weight:bold;font-size:18px;text-decoration:none;margin-right:16px}\n"
    "form{margin:12px 16px}\n"
    "#search_summary{margin:0 16px 8px;color:#555}\n"
    ".video_row{background:#fff;margin:8px 16px;padding:8px;overflow:hidden}\n"
    ".video_row img{float:left;margin-right:12px}\n"
    ".video_row a{font-weight:bold;color:#2b587a;text-decoration:none}\n"
    ".match{background:#ffe38a}\n"
    ".vinfo{color:#888;font-size:11px}\n"
    "#video_title{margin:12px 16px;font-size:18px}\n"
    "#video_player{margin:0 16px;width:480px;height:360px;background:#000}\n"
    "#video_desc,#video_links{margin:12px 16px}\n";

const char kPlayerScript[] =
    "// Shows a video in the page's player box: an HTML5 video element where the engine\n"
    "// plays MP4, otherwise a link to the file.\n"
    "function loadFlashPlayer(vars, opts) {\n"
    "  var box = document.getElementById('video_player');\n"
    "  if (!box) return;\n"
    "  var src = vars.host + 'u' + vars.uid + '/video/' + vars.vtag + '.480.mp4';\n"
    "  var w = (opts && opts.width) || 480, h = (opts && opts.height) || 360;\n"
    "  var v = document.createElement('video');\n"
    "  if (v.canPlayType && v.canPlayType('video/mp4')) {\n"
    "    v.src = src; v.controls = true; v.width = w; v.height = h;\n"
    "    if (vars.jpg) v.poster = vars.jpg;\n"
    "    box.appendChild(v);\n"
    "  } else {\n"
    "    box.innerHTML = '<a href=\"' + src + '\">MP4</a>';\n"
    "  }\n"
    "}\n";

std::string HtmlText(const std::vector<char32_t>& cps,
                     const std::vector<std::pair<size_t, size_t>>& highlight) {
  std::string out;
  out.reserve(cps.size() * 2);
  AppendHtmlText(out, cps, highlight, false);
  return out;
}

std::string HtmlFromCp1251(std::string_view cp1251) {
  std::vector<char32_t> cps;
  cps.reserve(cp1251.size());
  for (char c : cp1251) cps.push_back(Cp1251ToCodePoint(static_cast<unsigned char>(c)));
  return HtmlText(cps);
}

std::string FileAddress(const Video& v) {
  return "http://" + Server(v) + "/u" + std::to_string(v.uid) + "/video/" + v.vtag + ".480.mp4";
}

std::string PreviewAddress(const Video& v) {
  return "http://" + Server(v) + "/u" + std::to_string(v.uid) + "/preview/" + v.vtag + ".jpg";
}

std::string VideoLink(const Video& v) {
  return "video" + std::to_string(v.oid) + "_" + std::to_string(v.vid);
}

std::string PlayerAddress(const Video& v) {
  return std::string(kSite) + "video_ext.php?oid=" + std::to_string(v.oid) +
         "&id=" + std::to_string(v.vid) + "&hash=" + v.hash2;
}

std::string ResultBlock(const Video& v, const std::vector<std::string>& words) {
  std::string out;
  AppendResultBlock(out, v, words, false);
  return out;
}

std::string SearchPageHead(const Visitor& visitor, size_t count) {
  std::string out = Head("Видеозаписи");
  out += Header(visitor);
  out += kSearchForm;
  out += "<div id=\"search_summary\">";
  out += count ? "Найдено видеозаписей: " + std::to_string(count) : "Ничего не найдено";
  out += "</div>\n<div id=\"results\">\n";
  return out;
}

std::string SearchPageTail() { return std::string("</div>\n") + kTail; }

std::string SearchPage(const std::vector<const Video*>& results,
                       const std::vector<std::string>& words, const Visitor& visitor,
                       bool withheld) {
  if (withheld) {
    return LoginRequiredPage(visitor,
                             "Поиск видеозаписей доступен только участникам сайта. "
                             "Войдите, чтобы увидеть результаты.");
  }
  std::string out;
  // The hot path: the blocks are written in Windows-1251 straight away.
  out = Utf8ToCp1251(SearchPageHead(visitor, results.size()));
  out.reserve(out.size() + results.size() * 600 + 64);
  for (const Video* v : results) AppendResultBlock(out, *v, words, true);
  out += SearchPageTail();  // ASCII
  return out;
}

std::string PlayerCallLine(const Video& v) {
  std::string out = "<script type=\"text/javascript\">loadFlashPlayer({";
  out += "\"uid\":\"" + std::to_string(v.uid) + "\",";
  out += "\"vid\":\"" + std::to_string(v.vid) + "\",";
  out += "\"oid\":\"" + std::to_string(v.oid) + "\",";
  out += "\"host\":\"" + JsonAddress("http://" + Server(v) + "/") + "\",";
  out += "\"vtag\":\"" + v.vtag + "\",";
  out += "\"hash2\":\"" + v.hash2 + "\",";
  out += "\"jpg\":\"" + JsonAddress(PreviewAddress(v)) + "\",";
  out += "\"duration\":" + std::to_string(v.seconds) + ",";
  out += "\"md_title\":\"" + JsonText(v.title_cps) + "\"";
  out += "}, {\"width\":480,\"height\":360});</script>";
  return out;
}

std::string VideoPageWith(const Video& v, const Visitor& visitor,
                          const std::vector<std::string>& call_lines) {
  std::string title = HtmlText(v.title_cps);
  std::string out =
      Head(title, "<script type=\"text/javascript\" src=\"/js/player.js\"></script>\n");
  out += Header(visitor);
  out += "<h1 id=\"video_title\">" + title + "</h1>\n";
  out += "<div id=\"video_player\"></div>\n";
  for (const std::string& line : call_lines) out += line + "\n";
  out += "<div id=\"video_desc\">" + HtmlText(v.description_cps) + "</div>\n";
  out += "<div id=\"video_links\"><a href=\"" + HtmlFromCp1251(PlayerAddress(v)) +
         "\">Открыть плеер</a> | <a href=\"" + FileAddress(v) + "\">Скачать MP4</a> | " +
         Duration(v.seconds) + "</div>\n";
  out += kTail;
  return Utf8ToCp1251(out);
}

std::string VideoPage(const Video& v, const Visitor& visitor) {
  return VideoPageWith(v, visitor, {PlayerCallLine(v)});
}

std::string PlayerPage(const Video& v) {
  std::string file = FileAddress(v);
  std::string out =
      "<!DOCTYPE html>\n"
      "<html>\n"
      "<head>\n"
      "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\n"
      "<meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">\n"
      "<title>";
  out += HtmlText(v.title_cps);
  out +=
      "</title>\n"
      "<style>html,body{margin:0;padding:0;background:#000;overflow:hidden;color:#ccc;"
      "font:12px sans-serif}a{color:#8cf}</style>\n"
      "</head>\n<body>\n";
  out +=
      "<video id=\"player\" width=\"480\" height=\"360\" controls autoplay preload=\"auto\" "
      "poster=\"" +
      PreviewAddress(v) + "\">\n";
  out += "<source src=\"" + file + "\" type=\"video/mp4\">\n";
  out += "<object type=\"video/mp4\" data=\"" + file +
         "\" width=\"480\" height=\"360\">"
         "<param name=\"src\" value=\"" +
         file + "\"><param name=\"autoplay\" value=\"true\">\n";
  out += "<a href=\"" + file + "\">Скачать видео (MP4)</a>\n";
  out += "</object>\n</video>\n";
  out += kTail;
  return Utf8ToCp1251(out);
}

std::string HomePage(const Visitor& visitor) {
  std::string out = Head("ZQ &#8211; видеозаписи");
  out += Header(visitor);
  if (visitor.logged_in) {
    out +=
        "<p style=\"margin:12px 16px\">Вы вошли как " + HtmlFromCp1251(visitor.email) + ".</p>\n";
  } else {
    out += kLoginForm;
  }
  out += kSearchForm;
  out += "<ul id=\"popular\">\n";
  const auto& all = Catalogue();
  for (size_t i = 0; i < all.size() && i < 12; ++i) {
    out +=
        "<li><a href=\"/" + VideoLink(all[i]) + "\">" + HtmlText(all[i].title_cps) + "</a></li>\n";
  }
  out += "</ul>\n";
  out +=
      "<h2 style=\"margin:12px 16px;font-size:14px\">Сценарии для проверки программы</h2>\n<ul "
      "id=\"scenarios\">\n";
  for (const ScenarioInfo& s : Scenarios()) {
    out += "<li><a href=\"/gsearch.php?section=video&amp;q=" + std::string(s.name) +
           "&amp;name=1\">" + s.name + "</a> &#8211; " + HtmlText(DecodeUtf8(s.what)) + "</li>\n";
  }
  out += "</ul>\n<ul id=\"test_addresses\">\n";
  out +=
      "<li><a href=\"/zqtest-expire-sessions\">/zqtest-expire-sessions</a> &#8211; forgets every "
      "session at once (answers &quot;expired N&quot;)</li>\n"
      "<li><a href=\"/zqtest-loop/1\">/zqtest-loop/1</a> &#8211; a redirect loop of three "
      "addresses</li>\n"
      "<li><a href=\"http://evil.test/\">http://evil.test/</a> &#8211; a host outside the site "
      "with a result page</li>\n";
  out += "</ul>\n";
  out += kTail;
  return Utf8ToCp1251(out);
}

std::string LoginRequiredPage(const Visitor& visitor, std::string_view message_utf8) {
  std::string out = Head("Вход на сайт");
  out += Header(visitor);
  out += "<div id=\"search_summary\">" + HtmlText(DecodeUtf8(message_utf8)) + "</div>\n";
  out += kLoginForm;
  out += kTail;
  return Utf8ToCp1251(out);
}

std::string LoginFailedPage() {
  std::string out = Head("Вход не выполнен");
  out +=
      "<p id=\"login_error\" style=\"margin:12px 16px;color:#c00;font-weight:bold\">"
      "Неверный e-mail или пароль.</p>\n";
  out += kLoginForm;
  out += kTail;
  return Utf8ToCp1251(out);
}

std::string AuthorPage() {
  std::string out = Head("Об авторе");
  out +=
      "<p style=\"margin:12px 16px\">Программа поиска видеозаписей. Этот сайт &#8211; "
      "учебная замена настоящего сервиса для проверки программы.</p>\n";
  out += kTail;
  return Utf8ToCp1251(out);
}

std::string ErrorPage(int status, std::string_view message_utf8) {
  std::string code = std::to_string(status);
  std::string out = Head(code);
  out += "<h1 style=\"margin:12px 16px\">" + code + "</h1>\n<p style=\"margin:12px 16px\">";
  out += HtmlText(DecodeUtf8(message_utf8));
  out += "</p>\n";
  out += kTail;
  return Utf8ToCp1251(out);
}

}  // namespace site
