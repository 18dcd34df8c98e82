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

String PlayerPageText(TextArg siteBase, TextArg oid, TextArg vid, TextArg hash2) {
  String page = "<style>body{padding:0px;margin:0px;background:#000000;}</style><iframe src='";
  page += siteBase.view();
  page += "video_ext.php?oid=" + EscapeAddressValue(oid) + "&id=" + EscapeAddressValue(vid) +
          "&hash=" + EscapeAddressValue(hash2);
  page += "' width='480' height='360' frameborder='0'></iframe>";
  return page;
}
