#include "scan.h"

#include <cstdlib>

#include "cp1251.h"

namespace sitetest {

std::string Between(std::string_view text, std::string_view start, std::string_view end) {
  if (start.empty() || end.empty()) return "";
  size_t p1 = text.find(start);
  if (p1 == std::string_view::npos) return "";
  std::string_view rest = text.substr(p1 + start.size());
  size_t p2 = rest.find(end);
  if (p2 == std::string_view::npos) return "";
  return std::string(rest.substr(0, p2));
}

std::vector<std::string> Lines(std::string_view page) {
  std::vector<std::string> lines;
  size_t i = 0;
  while (i < page.size()) {
    size_t j = page.find_first_of("\r\n", i);
    if (j == std::string_view::npos) j = page.size();
    lines.emplace_back(page.substr(i, j - i));
    if (j < page.size() && page[j] == '\r' && j + 1 < page.size() && page[j + 1] == '\n') ++j;
    i = j + 1;
  }
  return lines;
}

ResultScan ScanResults(std::string_view page) {
  ResultScan r;
  for (std::string line : Lines(page)) {
    if (line.find("aname") != std::string::npos) {
      r.links.push_back(Between(line, "href=\"", "\""));
      r.titles.push_back(Between(line, "\">", "</a>"));
    }
    if (line.find("img src=") != std::string::npos) {
      line = Between(line, "img src=\"", "jpg");
      if (!line.empty()) r.pictures.push_back(line + "jpg");
    }
    if (line.find("adesc") != std::string::npos) {
      r.descriptions.push_back(Between(line, ">", "</div>"));
    }
  }
  return r;
}

PlayerScan ScanVideoPage(std::string_view page) {
  PlayerScan s;
  for (const std::string& line : Lines(page)) {
    if (line.find("loadFlashPlayer") == std::string::npos) continue;
    ++s.marker_lines;
    s.host_label = Between(line, "http:\\/\\/", ".");
    s.uid = Between(line, "uid\":\"", "\"");
    s.vtag = Between(line, "vtag\":\"", "\"");
    s.oid = Between(line, "oid\":\"", "\"");
    s.vid = Between(line, "vid\":\"", "\"");
    s.hash2 = Between(line, "hash2\":\"", "\"");
  }
  return s;
}

std::string DownloadAddress(const PlayerScan& s) {
  return "http://" + s.host_label + ".zq.test/u" + s.uid + "/video/" + s.vtag + ".480.mp4";
}

std::u32string DecodeHtml(std::string_view html) {
  std::string text(html);
  for (const char* mark : {"<span class=\"match\">", "</span>"}) {
    for (size_t p; (p = text.find(mark)) != std::string::npos;)
      text.erase(p, std::string(mark).size());
  }
  std::u32string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&') {
      size_t semi = text.find(';', i);
      std::string name = semi == std::string::npos ? "" : text.substr(i + 1, semi - i - 1);
      char32_t cp = 0;
      if (name == "amp")
        cp = '&';
      else if (name == "lt")
        cp = '<';
      else if (name == "gt")
        cp = '>';
      else if (name == "quot")
        cp = '"';
      else if (name == "laquo")
        cp = 0xAB;
      else if (name == "raquo")
        cp = 0xBB;
      else if (name.size() > 1 && name[0] == '#')
        cp = static_cast<char32_t>(std::atol(name.c_str() + 1));
      if (cp) {
        out += cp;
        i = semi;
        continue;
      }
    }
    out += site::Cp1251ToCodePoint(static_cast<unsigned char>(text[i]));
  }
  return out;
}

}  // namespace sitetest
