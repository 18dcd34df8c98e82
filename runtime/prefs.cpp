#include "prefs.h"

#include <algorithm>
#include <new>
#include <vector>

#include "codepage.h"

namespace {

enum EntryKind { ENTRY_KEY = 0, ENTRY_GROUP = 1, ENTRY_COMMENT = 2 };

// One parsed line, as positions in code units of the file's text (bytes, or 16-bit units
// in UTF-16 files), or a line that PrefsWriteString added. The line runs from its first
// unit to its line end; a key line's value runs from valueBegin to the line end.
struct PrefsEntry {
  EntryKind kind = ENTRY_KEY;
  size_t lineBegin = 0, lineEnd = 0, keyBegin = 0, keyEnd = 0, valueBegin = 0;
  bool written = false;  // replaced by "key = value" at close
  bool added = false;    // not in the file: inserted after the line before it
  String key, value;     // written and added lines, Windows-1251
};

// Files larger than this are not read (and so never rewritten).
constexpr int64_t MAX_FILE_SIZE = int64_t{1} << 30;

struct PrefsState {
  OsFile file = 0;
  // The name given to PrefsOpen: the file to rewrite at close, or, when it could not be
  // opened (no handle), the file to create at close.
  String name;
  bool modified = false;
  bool readOnly = false;  // opened, but not for writing
  bool complete = true;   // the whole file was read: only then may it be rewritten
  int encoding = PREFS_ANSI;
  size_t markSize = 0;  // bytes of the byte-order mark
  String bytes;         // the file as read
  std::vector<PrefsEntry> entries;
};

PrefsState g_prefs;

bool Utf16() { return g_prefs.encoding == PREFS_UTF16LE || g_prefs.encoding == PREFS_UTF16BE; }
size_t UnitSize() { return Utf16() ? 2 : 1; }
size_t UnitCount() { return (g_prefs.bytes.size() - g_prefs.markSize) / UnitSize(); }

unsigned Unit(size_t i) {
  const String& b = g_prefs.bytes;
  size_t at = g_prefs.markSize + i * UnitSize();
  unsigned first = static_cast<unsigned char>(b[at]);
  if (!Utf16()) return first;
  unsigned second = static_cast<unsigned char>(b[at + 1]);
  return g_prefs.encoding == PREFS_UTF16LE ? first | second << 8 : first << 8 | second;
}

bool IsBreak(unsigned u) { return u == '\r' || u == '\n' || u == 0; }
bool IsBlank(unsigned u) { return u == ' ' || u == '\t'; }

// The characters of units [begin, end): code points in UTF-8 and UTF-16 files (malformed
// parts as U+FFFD), the bytes themselves in Windows-1251 files.
std::u32string Decode(size_t begin, size_t end) {
  std::u32string out;
  if (g_prefs.encoding == PREFS_UTF8) {
    std::string_view text(g_prefs.bytes);
    text = text.substr(g_prefs.markSize + begin, end - begin);
    for (size_t i = 0; i < text.size();) {
      char32_t cp;
      i += DecodeUtf8At(text, i, &cp);
      out += cp;
    }
  } else if (Utf16()) {
    for (size_t i = begin; i < end; ++i) {
      unsigned u = Unit(i);
      if (u >= 0xD800 && u <= 0xDBFF && i + 1 < end && Unit(i + 1) >= 0xDC00 &&
          Unit(i + 1) <= 0xDFFF) {
        out += static_cast<char32_t>(0x10000 + ((u - 0xD800) << 10) + (Unit(++i) - 0xDC00));
      } else {
        out += (u >= 0xD800 && u <= 0xDFFF) ? U'\xFFFD' : static_cast<char32_t>(u);
      }
    }
  } else {
    for (size_t i = begin; i < end; ++i) out += static_cast<char32_t>(Unit(i));
  }
  return out;
}

// The caller's Windows-1251 text as Decode gives the file's.
std::u32string CharactersOf(std::string_view text) {
  std::u32string out;
  for (char c : text) {
    unsigned char b = static_cast<unsigned char>(c);
    out += g_prefs.encoding == PREFS_ANSI ? static_cast<char32_t>(b) : Cp1251ToCodePoint(b);
  }
  return out;
}

// The caller's Windows-1251 text in the file's encoding.
String Encode(std::string_view text) {
  if (g_prefs.encoding == PREFS_ANSI) return String(text);
  String out;
  for (char c : text) {
    char32_t cp = Cp1251ToCodePoint(static_cast<unsigned char>(c));
    if (g_prefs.encoding == PREFS_UTF8) {
      AppendUtf8(out, cp);
    } else {
      char high = static_cast<char>(cp >> 8), low = static_cast<char>(cp & 0xFF);
      out += g_prefs.encoding == PREFS_UTF16LE ? String{low, high} : String{high, low};
    }
  }
  return out;
}

// ASCII-only case-insensitive equality, the rule of _stricmp.
bool KeysEqual(const std::u32string& a, const std::u32string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char32_t x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x += 32;
    if (y >= 'A' && y <= 'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

void ParseLine(size_t begin, size_t end) {
  PrefsEntry e;
  e.lineBegin = begin;
  e.lineEnd = end;
  size_t at = begin;
  while (at < end && IsBlank(Unit(at))) ++at;
  if (at == end) return;
  if (Unit(at) == ';') {
    e.kind = ENTRY_COMMENT;
  } else if (Unit(at) == '[') {
    e.kind = ENTRY_GROUP;
  } else {
    e.keyBegin = at;
    size_t eq = at;
    while (eq < end && Unit(eq) != '=') ++eq;
    e.keyEnd = eq;
    while (e.keyEnd > at && IsBlank(Unit(e.keyEnd - 1))) --e.keyEnd;
    e.valueBegin = eq < end ? eq + 1 : end;
  }
  g_prefs.entries.push_back(e);
}

// CR, LF and NUL units end lines; a run of them is one break, so blank lines are no
// entries (they are kept all the same: a rewrite copies everything between entries).
void Parse() {
  size_t count = UnitCount(), at = 0;
  while (at < count) {
    while (at < count && IsBreak(Unit(at))) ++at;
    size_t end = at;
    while (end < count && !IsBreak(Unit(end))) ++end;
    if (end > at) ParseLine(at, end);
    at = end;
  }
}

void DetectEncoding() {
  std::string_view b(g_prefs.bytes);
  if (b.substr(0, 2) == "\xFF\xFE") {
    g_prefs.encoding = PREFS_UTF16LE, g_prefs.markSize = 2;
  } else if (b.substr(0, 2) == "\xFE\xFF") {
    g_prefs.encoding = PREFS_UTF16BE, g_prefs.markSize = 2;
  } else if (b.substr(0, 3) == "\xEF\xBB\xBF") {
    g_prefs.encoding = PREFS_UTF8, g_prefs.markSize = 3;
  } else if (IsMultibyteUtf8(b)) {
    g_prefs.encoding = PREFS_UTF8;  // as editors save UTF-8 without a mark
  }
}

bool IsOpen() { return g_prefs.file != 0 || !g_prefs.name.empty(); }

// The index of the first visible key entry matching `key`, or -1.
int FindKey(std::string_view key) {
  const std::u32string wanted = CharactersOf(key);
  for (size_t i = 0; i < g_prefs.entries.size(); ++i) {
    const PrefsEntry& e = g_prefs.entries[i];
    if (e.kind == ENTRY_GROUP) break;
    if (e.kind != ENTRY_KEY) continue;
    bool equal = e.written ? KeysEqual(CharactersOf(e.key), wanted)
                           : KeysEqual(Decode(e.keyBegin, e.keyEnd), wanted);
    if (equal) return static_cast<int>(i);
  }
  return -1;
}

// The unit after the line end that follows `lineEnd` (CR LF, or one CR, LF or NUL);
// `hasBreak` false when the line is the last one and has none.
size_t AfterLineEnd(size_t lineEnd, bool* hasBreak) {
  size_t count = UnitCount();
  *hasBreak = lineEnd < count;
  if (lineEnd + 1 < count && Unit(lineEnd) == '\r' && Unit(lineEnd + 1) == '\n') return lineEnd + 2;
  return *hasBreak ? lineEnd + 1 : lineEnd;
}

// The file as read with the written lines replaced and the added ones inserted.
String BuildText() {
  const String& bytes = g_prefs.bytes;
  String out = bytes.substr(0, g_prefs.markSize);
  size_t copied = 0;  // units of the file taken over so far
  auto copyTo = [&](size_t unit) {
    out.append(bytes, g_prefs.markSize + copied * UnitSize(), (unit - copied) * UnitSize());
    copied = unit;
  };
  size_t insertAt = 0;  // where added lines go: after the last line of the file before them
  bool hasBreak = true;
  for (const PrefsEntry& e : g_prefs.entries) {
    if (e.added) {
      copyTo(insertAt);
      if (!hasBreak) out += Encode("\r\n");
      hasBreak = true;
      out += Encode(e.key + " = " + e.value + "\r\n");
      continue;
    }
    if (e.written) {
      copyTo(e.lineBegin);
      out += Encode(e.key + " = " + e.value);
      copied = e.lineEnd;
    }
    insertAt = AfterLineEnd(e.lineEnd, &hasBreak);
  }
  copyTo(UnitCount());
  out.append(bytes, g_prefs.markSize + copied * UnitSize(), String::npos);  // odd last byte
  return out;
}

bool WriteAll(OsFile file, const String& text) {
  size_t done = 0;
  while (done < text.size()) {
    size_t chunk = text.size() - done;
    if (chunk > (1u << 30)) chunk = 1u << 30;
    long n = g_os.write(file, text.data() + done, static_cast<long>(chunk));
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void ReleaseFileHandle() {
  if (g_prefs.file) g_os.close(g_prefs.file);
  g_prefs.file = 0;
}

// Leftovers of a save that was interrupted: "NAME.part" was never finished; "NAME.new" was,
// and replaces the file unless the file changed after it (or is read-only, or a directory).
void FinishInterruptedSave(const String& name) {
  if (name.empty()) return;
  g_os.remove((name + ".part").c_str());
  const String fresh = name + ".new";
  OsPathInfo next = g_os.pathInfo(fresh.c_str());
  if (!next.exists || next.directory) return;
  OsPathInfo now = g_os.pathInfo(name.c_str());
  bool adopt = !now.exists || (!now.directory && !now.readOnly && next.modified >= now.modified);
  if (!adopt || !g_os.replace(fresh.c_str(), name.c_str())) g_os.remove(fresh.c_str());
}

// Writes "NAME.part", renames it to "NAME.new", then that to NAME. Returns false, with
// `siblingMade` false, when the ".part" file cannot even be created.
bool SaveThroughSibling(const String& text, bool* siblingMade) {
  const String part = g_prefs.name + ".part", fresh = g_prefs.name + ".new";
  OsFile out = g_os.open(part.c_str(), OS_CREATE_ALWAYS);
  *siblingMade = out != 0;
  if (!out) return false;
  bool written = WriteAll(out, text) && g_os.flush(out);
  g_os.close(out);
  if (!written || !g_os.replace(part.c_str(), fresh.c_str())) {
    g_os.remove(part.c_str());
    return false;
  }
  ReleaseFileHandle();  // the system replaces no file that is open
  if (g_os.replace(fresh.c_str(), g_prefs.name.c_str())) return true;
  g_os.remove(fresh.c_str());
  return false;
}

int Save() {
  OsPathInfo info = g_os.pathInfo(g_prefs.name.c_str());
  if (info.directory) return PREFS_SAVE_DIRECTORY;
  if (info.exists && info.readOnly) return PREFS_SAVE_READ_ONLY;
  // A file that is there but could not be opened for writing, or not read whole, is not
  // replaced by one made from what is known of it.
  if ((info.exists && (!g_prefs.file || g_prefs.readOnly)) || !g_prefs.complete)
    return PREFS_SAVE_FAILED;
  String text;
  try {
    text = BuildText();
  } catch (const std::bad_alloc&) {
    return PREFS_SAVE_FAILED;
  }
  bool siblingMade = false;
  if (SaveThroughSibling(text, &siblingMade)) return PREFS_SAVED;
  if (siblingMade) return PREFS_SAVE_FAILED;
  // No file can be made beside it (a directory without write rights that holds a
  // writable file): the file is rewritten in place.
  OsFile file = g_prefs.file;
  if (!file) file = g_os.open(g_prefs.name.c_str(), OS_OPEN_READ_WRITE_ALWAYS);
  bool written = file && g_os.seekStart(file, 0) == 0 && WriteAll(file, text) &&
                 g_os.truncate(file) && g_os.flush(file);
  if (file && file != g_prefs.file) g_os.close(file);
  return written ? PREFS_SAVED : PREFS_SAVE_FAILED;
}

void ReadWholeFile() {
  int64_t size = g_os.size(g_prefs.file);
  if (size < 0 || size > MAX_FILE_SIZE) {
    g_prefs.complete = false;
    return;
  }
  try {
    g_prefs.bytes.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    g_prefs.complete = false;
    return;
  }
  size_t got = 0;
  while (got < g_prefs.bytes.size()) {
    long n = g_os.read(g_prefs.file, &g_prefs.bytes[got],
                       static_cast<long>(std::min<size_t>(g_prefs.bytes.size() - got, 1u << 30)));
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  if (got < g_prefs.bytes.size()) {
    g_prefs.bytes.resize(got);  // what was read still counts for reading
    g_prefs.complete = false;
  }
}

}  // namespace

OsFile PrefsOpen(TextArg name) {
  PrefsClose();
  String path(name.view());
  FinishInterruptedSave(path);
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
  ReadWholeFile();
  DetectEncoding();
  try {
    Parse();
  } catch (const std::bad_alloc&) {
    g_prefs.entries.clear();
    g_prefs.complete = false;
  }
  return file;
}

int PrefsReadValue(TextArg key, String* value) {
  if (!IsOpen()) return PREFS_MISSING;
  int i = FindKey(key.view());
  if (i < 0) return PREFS_MISSING;
  const PrefsEntry& e = g_prefs.entries[static_cast<size_t>(i)];
  String text;
  if (e.written) {
    text = e.value;
  } else {
    for (char32_t c : Decode(e.valueBegin, e.lineEnd)) {
      int byte = g_prefs.encoding == PREFS_ANSI ? static_cast<int>(c) : CodePointToCp1251(c);
      if (byte < 0) return PREFS_NOT_CP1251;
      text += static_cast<char>(byte);
    }
  }
  size_t first = text.find_first_not_of(" \t");
  size_t last = text.find_last_not_of(" \t");
  *value = first == String::npos ? String() : text.substr(first, last - first + 1);
  return PREFS_FOUND;
}

String PrefsReadString(TextArg key, TextArg fallback) {
  String value;
  return PrefsReadValue(key, &value) == PREFS_FOUND ? value : String(fallback.view());
}

void PrefsWriteString(TextArg key, TextArg value) {
  if (!IsOpen()) return;
  std::string_view v = value.view();
  v = v.substr(0, v.find_first_of(std::string_view("\r\n\0", 3)));
  int i = FindKey(key.view());
  try {
    if (i < 0) {
      // After the last entry before the first group header, or at the head.
      size_t at = 0;
      while (at < g_prefs.entries.size() && g_prefs.entries[at].kind != ENTRY_GROUP) ++at;
      i = static_cast<int>(at);
      g_prefs.entries.insert(g_prefs.entries.begin() + i, PrefsEntry());
      g_prefs.entries[at].added = true;
    }
    PrefsEntry& e = g_prefs.entries[static_cast<size_t>(i)];
    e.written = true;
    e.key = String(key.view());
    e.value = String(v);
  } catch (const std::bad_alloc&) {
    return;
  }
  g_prefs.modified = true;
}

int PrefsClose() {
  int result = PREFS_SAVED;
  if (g_prefs.modified) result = Save();
  ReleaseFileHandle();
  g_prefs = PrefsState();
  return result;
}

int PrefsEncoding() { return g_prefs.encoding; }
