// The video page's values against the promises made for them: the file address always
// names a host under the site domain and stays in its path, the player page always holds
// exactly one frame whose quoted source cannot be left, and a file name taken from a
// Content-Disposition header is one well-formed UTF-8 name inside the Downloads folder.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "codepage.h"
#include "videopage.h"

namespace {

bool Unreserved(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' ||
         c == '.' || c == '_' || c == '~' || c == '%';
}

void Check(bool ok) {
  if (!ok) std::abort();
}

// A name from a Content-Disposition header: well-formed UTF-8 without folder parts, and made
// safe, nothing Windows forbids in a file name.
void CheckFileName(const std::string& header) {
  std::string name = DispositionFileName(header), safe = SafeFileName(name);
  for (const std::string& s : {name, safe})
    Check(IsMultibyteUtf8(s) ||
          std::all_of(s.begin(), s.end(), [](unsigned char c) { return c < 0x80; }));
  Check(name.find_first_of("\\/") == std::string::npos && !safe.empty() && safe.size() <= 201);
  for (unsigned char c : safe) Check(c >= 0x20 && c != 0x7F && !std::strchr("\\/:*?\"<>|", c));
  Check(safe.front() != ' ' && safe.back() != ' ' && safe.back() != '.');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  String address;
  if (VideoFileAddress(line, "zq.test", address)) {
    Check(address.compare(0, 7, "http://") == 0);
    size_t host_end = address.find('/', 7);
    Check(host_end != std::string::npos);
    std::string host = address.substr(7, host_end - 7);
    Check(host.size() >= 8 && host.compare(host.size() - 8, 8, ".zq.test") == 0);
    Check(IsHostLabel(host.substr(0, host.size() - 8)));
    size_t video = address.find("/video/", host_end);
    Check(address.compare(host_end, 2, "/u") == 0 && video != std::string::npos);
    Check(address.size() >= 8 && address.compare(address.size() - 8, 8, ".480.mp4") == 0);
    for (size_t i = host_end + 2; i < address.size(); ++i)
      Check(Unreserved(address[i]) || (i >= video && i < video + 7));
  } else {
    Check(address.empty());
  }
  PlayerValues v = PlayerValuesOf(line);
  const std::string head =
      "<style>body{padding:0px;margin:0px;background:#000000;}</style><iframe src='http://zq.test/"
      "video_ext.php?oid=";
  const std::string tail = "' width='480' height='360' frameborder='0'></iframe>";
  std::string page = PlayerPageText("http://zq.test/", v.oid, v.vid, v.hash2);
  Check(page.compare(0, head.size(), head) == 0);
  Check(page.size() >= head.size() + tail.size() &&
        page.compare(page.size() - tail.size(), tail.size(), tail) == 0);
  std::string values = page.substr(head.size(), page.size() - head.size() - tail.size());
  for (char c : values) Check(Unreserved(c) || c == '&' || c == '=');
  CheckFileName(line);
  return 0;
}
