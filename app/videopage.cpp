#include "videopage.h"

#include <algorithm>
#include <iterator>

#include "codepage.h"
#include "config.h"
#include "scrape.h"
#include "seqfile.h"
#include "wide.h"

void ForEachPlayerLine(ObjectNumber file, const std::function<void(const String& line)>& onLine) {
  while (!FileAtEnd(file)) {
    bool tooLong = false;
    String line = FileReadLine(file, SCAN_LINE_LIMIT, &tooLong);
    if (!tooLong && TextFind(line, "loadFlashPlayer", 1) != 0) onLine(line);
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

// %XX escapes decoded; a "%" without two hex digits stays as it is.
std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& ch : out) ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch + 32 : ch);
  return out;
}

std::string Trimmed(std::string_view text) {
  size_t start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return std::string();
  return std::string(text.substr(start, text.find_last_not_of(" \t") - start + 1));
}

// The name an extended parameter value (charset'language'percent-encoded) holds, in UTF-8.
// False for a charset other than UTF-8 and ISO-8859-1, or UTF-8 that is not well formed.
bool ExtendedValue(std::string_view value, std::string& name) {
  size_t first = value.find('\'');
  size_t second = first == std::string_view::npos ? first : value.find('\'', first + 1);
  if (second == std::string_view::npos) return false;
  std::string charset = LowerAscii(value.substr(0, first));
  std::string bytes = PercentDecoded(value.substr(second + 1));
  if (charset == "utf-8") {
    bool ascii = std::all_of(bytes.begin(), bytes.end(),
                             [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
    if (!ascii && !IsMultibyteUtf8(bytes)) return false;
    name = bytes;
    return true;
  }
  if (charset == "iso-8859-1") {
    name.clear();
    for (char ch : bytes) AppendUtf8(name, static_cast<unsigned char>(ch));
    return true;
  }
  return false;
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

std::string PathFromNameBytes(std::string_view bytes) {
  return IsMultibyteUtf8(bytes) ? std::string(bytes) : PathFromText(bytes);
}

std::string DispositionFileName(std::string_view header) {
  constexpr size_t npos = std::string_view::npos;
  std::string plain, extended;
  bool havePlain = false, haveExtended = false;
  // The disposition type, then parameters "; name=value"; a quoted value may hold ";" and
  // backslash-escaped characters. An item without "=" (the type) names nothing.
  size_t start = 0;
  while (start < header.size()) {
    size_t equals = header.find_first_of("=;", start);
    if (equals == npos) break;
    if (header[equals] == ';') {
      start = equals + 1;
      continue;
    }
    std::string name = LowerAscii(Trimmed(header.substr(start, equals - start)));
    std::string value;
    size_t i = equals + 1;
    while (i < header.size() && (header[i] == ' ' || header[i] == '\t')) ++i;
    size_t end;
    if (i < header.size() && header[i] == '"') {
      for (++i; i < header.size() && header[i] != '"'; ++i) {
        if (header[i] == '\\' && i + 1 < header.size()) ++i;
        value += header[i];
      }
      end = header.find(';', i);
    } else {
      end = header.find(';', i);
      value = Trimmed(header.substr(i, end == npos ? npos : end - i));
    }
    start = end == npos ? npos : end + 1;
    if (name == "filename" && !havePlain) {
      plain = PathFromNameBytes(value);
      havePlain = true;
    } else if (name == "filename*" && !haveExtended) {
      haveExtended = ExtendedValue(value, extended);
    }
  }
  std::string chosen = haveExtended ? extended : plain;
  size_t slash = chosen.find_last_of("\\/");
  if (slash != std::string::npos) chosen.erase(0, slash + 1);
  return chosen;
}

String SafeFileName(TextArg name) {
  static const std::string_view kForbidden = "\\/:*?\"<>|";
  String safe;
  for (char ch : name.view()) {
    unsigned char c = static_cast<unsigned char>(ch);
    safe += c < 0x20 || c == 0x7F || kForbidden.find(ch) != std::string_view::npos ? '_' : ch;
  }
  // Cut first, so that what the cut leaves at the front is trimmed and checked too.
  if (safe.size() > 200) {
    size_t cut = safe.size() - 200;
    // Never half a character: a cut inside one drops the rest of it too.
    while (cut < safe.size() && (static_cast<unsigned char>(safe[cut]) & 0xC0) == 0x80) ++cut;
    safe.erase(0, cut);
  }
  while (!safe.empty() && (safe.back() == '.' || safe.back() == ' ')) safe.pop_back();
  while (!safe.empty() && (safe.front() == '.' || safe.front() == ' ')) safe.erase(0, 1);
  if (safe.empty()) return "video.mp4";
  if (IsDeviceName(safe)) safe.insert(0, "_");
  return safe;
}

String AddressFileName(TextArg address) {
  std::string_view path = address.view();
  path = path.substr(0, path.find_first_of("?#"));
  size_t slash = path.find_last_of('/');
  if (slash != std::string_view::npos) path.remove_prefix(slash + 1);
  return SafeFileName(PathFromNameBytes(PercentDecoded(path)));
}

namespace {

// The extension of a file name, without its dot; empty when the name has none (a dot at
// its start does not begin one).
std::string_view ExtensionOf(std::string_view name) {
  size_t dot = name.find_last_of('.');
  return dot == std::string_view::npos || dot == 0 ? std::string_view() : name.substr(dot + 1);
}

}  // namespace

bool IsVideoExtension(std::string_view extension) {
  static const char* const kVideo[] = {"mp4", "webm", "mkv", "flv", "avi", "mov", "3gp", "m4v"};
  std::string lower = LowerAscii(extension);
  return std::any_of(std::begin(kVideo), std::end(kVideo),
                     [&](const char* video) { return lower == video; });
}

String VideoFileName(TextArg name, TextArg address) {
  const String fromAddress = AddressFileName(address);
  String safe = name.view().empty() ? fromAddress : SafeFileName(name);
  std::string_view extension = ExtensionOf(safe);
  if (IsVideoExtension(extension)) return safe;
  std::string_view addressExtension = ExtensionOf(fromAddress);
  String video = IsVideoExtension(addressExtension) ? String(addressExtension) : String("mp4");
  String stem = extension.empty() ? safe : safe.substr(0, safe.size() - extension.size() - 1);
  // Made safe again: the new end may take the name past its length, and the cut then
  // comes off the front.
  return SafeFileName(stem + "." + video);
}
