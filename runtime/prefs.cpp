#include "prefs.h"

#include <list>

namespace {

enum EntryKind { ENTRY_KEY = 0, ENTRY_GROUP = 1, ENTRY_COMMENT = 2 };

struct PrefsEntry {
  EntryKind kind;
  String key;   // key entries only
  String text;  // group name, comment text or value
};

struct PrefsState {
  OsFile file = 0;
  // The name given to PrefsOpen: the file to rewrite at close, or, when it could not be
  // opened (no handle), the file to create at close.
  String name;
  bool modified = false;
  bool readOnly = false;
  int encoding = PREFS_ANSI;
  std::list<PrefsEntry> entries;
};

PrefsState g_prefs;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// ASCII-only case-insensitive equality, the rule of _stricmp.
bool KeysEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

void ParseLine(std::string_view line) {
  while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
  if (line.empty()) return;
  if (line.front() == ';') {
    line.remove_prefix(1);
    if (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    g_prefs.entries.push_back({ENTRY_COMMENT, String(), String(line)});
  } else if (line.front() == '[') {
    line.remove_prefix(1);
    size_t close = line.find(']');
    g_prefs.entries.push_back({ENTRY_GROUP, String(), String(line.substr(0, close))});
  } else {
    size_t eq = line.find('=');
    std::string_view key = line.substr(0, eq), value;
    if (eq != std::string_view::npos) {
      value = line.substr(eq + 1);
      while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
    }
    while (!key.empty() && IsBlank(key.back())) key.remove_suffix(1);
    g_prefs.entries.push_back({ENTRY_KEY, String(key), String(value)});
  }
}

// Any run of CR and LF bytes is one line break. NUL bytes, which no value can hold, also
// break lines, so that nothing after them is lost when the file is rewritten.
void Parse(std::string_view text) {
  static constexpr std::string_view kBreaks("\r\n\0", 3);
  size_t at = text.find_first_not_of(kBreaks);
  while (at != std::string_view::npos) {
    size_t end = text.find_first_of(kBreaks, at);
    if (end == std::string_view::npos) end = text.size();
    ParseLine(text.substr(at, end - at));
    at = text.find_first_not_of(kBreaks, end);
  }
}

// Single bytes are mapped as ISO 8859-1 code points in UTF-8 files.
String ToUtf8(std::string_view s) {
  String out;
  out.reserve(s.size() * 2);
  for (unsigned char b : s) {
    if (b < 0x80) {
      out += static_cast<char>(b);
    } else {
      out += static_cast<char>(0xC0 + (b >> 6));
      out += static_cast<char>(0x80 + (b & 0x3F));
    }
  }
  return out;
}

String FromUtf8(std::string_view s) {
  String out;
  size_t i = 0, n = s.size();
  auto continuation = [&](size_t k) {
    return k < n && (static_cast<unsigned char>(s[k]) & 0xC0) == 0x80;
  };
  while (i < n) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
    } else if (b >= 0xC0 && b <= 0xDF) {
      if (continuation(i + 1)) {
        unsigned code = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu);
        out += code < 256 ? static_cast<char>(code) : '?';
        i += 2;
      } else if (i + 1 >= n) {
        ++i;  // a lead cut off by the end of the text gives nothing
      } else {
        out += '?';
        ++i;
      }
    } else if (b >= 0xE0 && b <= 0xF7) {
      size_t need = b <= 0xEF ? 2 : 3;
      size_t k = i + 1;
      while (k < n && k <= i + need && continuation(k)) ++k;
      if (k - i - 1 < need && k >= n) {
        i = n;  // cut off by the end of the text
      } else {
        out += '?';
        i = k;
      }
    } else {
      ++i;  // stray continuation bytes and 0xF8..0xFF give nothing
    }
  }
  return out;
}

bool IsOpen() { return g_prefs.file != 0 || !g_prefs.name.empty(); }

std::list<PrefsEntry>::iterator FindKey(std::string_view key) {
  for (auto it = g_prefs.entries.begin(); it != g_prefs.entries.end(); ++it) {
    if (it->kind == ENTRY_GROUP) break;
    if (it->kind == ENTRY_KEY && KeysEqual(it->key, key)) return it;
  }
  return g_prefs.entries.end();
}

String BuildText() {
  String out;
  if (g_prefs.encoding == PREFS_UTF8) out = "\xEF\xBB\xBF";
  for (const PrefsEntry& e : g_prefs.entries) {
    switch (e.kind) {
      case ENTRY_GROUP: out += "[" + e.text + "]"; break;
      case ENTRY_COMMENT: out += "; " + e.text; break;
      case ENTRY_KEY: out += e.key + " = " + e.text; break;
    }
    out += "\r\n";
  }
  return out;
}

bool WriteAll(OsFile file, const String& text) {
  long done = 0, size = static_cast<long>(text.size());
  while (done < size) {
    long n = g_os.write(file, text.data() + done, size - done);
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

// Rewrites an existing file without risking its old content: the new text goes to a
// sibling file first, which then replaces the original in one step. Only when no sibling
// can be made is the file rewritten in place.
void RewriteOpenFile(const String& text) {
  String fresh = g_prefs.name + ".new";
  OsFile out = g_os.open(fresh.c_str(), OS_CREATE_ALWAYS);
  if (out) {
    bool written = WriteAll(out, text) && g_os.flush(out);
    g_os.close(out);
    if (written) {
      g_os.close(g_prefs.file);
      g_prefs.file = 0;
      if (g_os.replace(fresh.c_str(), g_prefs.name.c_str())) return;
    }
    g_os.remove(fresh.c_str());
    if (!written || g_prefs.file == 0) return;  // the original stays as it was
  }
  if (g_prefs.file && g_os.seekStart(g_prefs.file, 0) == 0 && WriteAll(g_prefs.file, text))
    g_os.truncate(g_prefs.file);
}

}  // namespace

OsFile PrefsOpen(TextArg name) {
  PrefsClose();
  String path(name.view());
  OsFile file = g_os.open(path.c_str(), OS_OPEN_READ_WRITE);
  if (!file) {
    file = g_os.open(path.c_str(), OS_OPEN_READ);
    if (!file) file = g_os.open(path.c_str(), OS_OPEN_READ_SHARE_ALL);
    g_prefs.readOnly = true;
  }
  g_prefs.name = path;
  if (!file) {
    g_prefs.readOnly = false;
    return 0;
  }
  g_prefs.file = file;
  int64_t size = g_os.size(file);
  if (size < 0) size = 0;
  String text;
  if (size > 0 && size < (int64_t{1} << 30)) {
    text.resize(static_cast<size_t>(size));
    size_t got = 0;
    while (got < text.size()) {
      long n = g_os.read(file, &text[got], static_cast<long>(text.size() - got));
      if (n <= 0) break;
      got += static_cast<size_t>(n);
    }
    text.resize(got);  // a short read shrinks the text to what was read
  }
  std::string_view body = text;
  if (body.size() >= 3 && body.substr(0, 3) == "\xEF\xBB\xBF") {
    g_prefs.encoding = PREFS_UTF8;
    body.remove_prefix(3);
  }
  Parse(body);
  return file;
}

String PrefsReadString(TextArg key, TextArg fallback) {
  if (!IsOpen()) return String(fallback.view());
  bool utf8 = g_prefs.encoding == PREFS_UTF8;
  auto it = utf8 ? FindKey(ToUtf8(key.view())) : FindKey(key.view());
  if (it == g_prefs.entries.end()) return String(fallback.view());
  if (utf8) return String(TrimBlanks(FromUtf8(it->text)));
  return String(TrimBlanks(it->text));
}

void PrefsWriteString(TextArg key, TextArg value) {
  if (!IsOpen()) return;
  bool utf8 = g_prefs.encoding == PREFS_UTF8;
  String k = utf8 ? ToUtf8(key.view()) : String(key.view());
  String v = utf8 ? ToUtf8(value.view()) : String(value.view());
  auto it = FindKey(k);
  if (it != g_prefs.entries.end()) {
    it->key = k;
    it->text = v;
  } else {
    // After the last entry before the first group header, or at the head.
    auto at = g_prefs.entries.begin();
    while (at != g_prefs.entries.end() && at->kind != ENTRY_GROUP) ++at;
    g_prefs.entries.insert(at, {ENTRY_KEY, k, v});
  }
  g_prefs.modified = true;
}

void PrefsClose() {
  if (g_prefs.file && g_prefs.modified && g_prefs.readOnly) {
    // A file that could only be opened read-only keeps its content.
    g_os.close(g_prefs.file);
    g_prefs.file = 0;
  } else if (g_prefs.modified && !g_prefs.file && !g_prefs.name.empty()) {
    OsFile created = g_os.open(g_prefs.name.c_str(), OS_OPEN_READ_WRITE_ALWAYS);
    if (created) {
      String text = BuildText();
      if (WriteAll(created, text)) g_os.truncate(created);
      g_os.close(created);
    }
  } else if (g_prefs.file) {
    if (g_prefs.modified) RewriteOpenFile(BuildText());
    if (g_prefs.file) g_os.close(g_prefs.file);
  }
  g_prefs = PrefsState();
}

int PrefsEncoding() { return g_prefs.encoding; }
