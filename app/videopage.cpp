#include "videopage.h"

#include "scrape.h"
#include "seqfile.h"

void ForEachPlayerLine(ObjectNumber file, const std::function<void(const String& line)>& onLine) {
  while (!FileAtEnd(file)) {
    String line = FileReadLine(file);
    if (TextFind(line, "loadFlashPlayer", 1) != 0) onLine(line);
  }
}

namespace {

bool IsAlnum(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

String EscapeAddressValue(TextArg value) {
  static const char kHex[] = "0123456789ABCDEF";
  String out;
  out.reserve(value.view().size());
  for (char ch : value.view()) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (IsAlnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

bool IsHostLabel(TextArg label) {
  for (char ch : label.view())
    if (!IsAlnum(static_cast<unsigned char>(ch)) && ch != '-') return false;
  return true;
}

bool VideoFileAddress(TextArg line, TextArg siteDomain, String& address) {
  String label = TextBetween(line, "http:\\/\\/", ".");
  if (!IsHostLabel(label)) return false;
  String uid = TextBetween(line, "uid\":\"", "\"");
  String vtag = TextBetween(line, "vtag\":\"", "\"");
  address = "http://" + label + "." + String(siteDomain.view()) + "/u" + EscapeAddressValue(uid) +
            "/video/" + EscapeAddressValue(vtag) + ".480.mp4";
  return true;
}

PlayerValues PlayerValuesOf(TextArg line) {
  return {TextBetween(line, "oid\":\"", "\""), TextBetween(line, "vid\":\"", "\""),
          TextBetween(line, "hash2\":\"", "\"")};
}

String PlayerFrameAddress(TextArg siteBase, TextArg oid, TextArg vid, TextArg hash2) {
  return String(siteBase.view()) + "video_ext.php?oid=" + EscapeAddressValue(oid) +
         "&id=" + EscapeAddressValue(vid) + "&hash=" + EscapeAddressValue(hash2);
}

String PlayerPageText(TextArg siteBase, TextArg oid, TextArg vid, TextArg hash2) {
  String page = "<style>body{padding:0px;margin:0px;background:#000000;}</style><iframe src='";
  page += PlayerFrameAddress(siteBase, oid, vid, hash2);
  page += "' width='480' height='360' frameborder='0'></iframe>";
  return page;
}

namespace {

int HexValue(char h) {
  if (h >= '0' && h <= '9') return h - '0';
  if (h >= 'a' && h <= 'f') return h - 'a' + 10;
  if (h >= 'A' && h <= 'F') return h - 'A' + 10;
  return -1;
}

// Names that stay devices whatever their extension: CON, PRN, AUX, NUL, COM1-9, LPT1-9.
bool IsDeviceName(const String& name) {
  String stem = name.substr(0, name.find('.'));
  for (char& ch : stem) ch = static_cast<char>(ch >= 'a' && ch <= 'z' ? ch - 32 : ch);
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

String SafeFileName(TextArg name) {
  static const std::string_view kForbidden = "\\/:*?\"<>|";
  String safe;
  for (char ch : name.view()) {
    unsigned char c = static_cast<unsigned char>(ch);
    safe += c < 0x20 || c == 0x7F || kForbidden.find(ch) != std::string_view::npos ? '_' : ch;
  }
  while (!safe.empty() && (safe.back() == '.' || safe.back() == ' ')) safe.pop_back();
  while (!safe.empty() && (safe.front() == '.' || safe.front() == ' ')) safe.erase(0, 1);
  if (safe.empty()) return "video.mp4";
  if (IsDeviceName(safe)) safe.insert(0, "_");
  if (safe.size() > 200) safe.erase(0, safe.size() - 200);
  return safe;
}

String AddressFileName(TextArg address) {
  std::string_view path = address.view();
  path = path.substr(0, path.find_first_of("?#"));
  size_t slash = path.find_last_of('/');
  if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
  String name;
  for (size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '%' && i + 2 < path.size() && HexValue(path[i + 1]) >= 0 &&
        HexValue(path[i + 2]) >= 0) {
      name += static_cast<char>(HexValue(path[i + 1]) * 16 + HexValue(path[i + 2]));
      i += 2;
    } else {
      name += path[i];
    }
  }
  return SafeFileName(name);
}
