// Preference files of any bytes parse without a crash; a file only opened and closed keeps
// its bytes; a value written reads back after the rewrite, and the rewrite changes nothing
// but that key's line: the bytes of every other line come back as they were.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "memory_os.h"
#include "prefs.h"

namespace {

// The text as code units: bytes, or 16-bit units in UTF-16 files (an odd last byte as a
// unit of its own that is no character).
std::vector<unsigned> Units(const std::string& text, int encoding) {
  std::vector<unsigned> units;
  bool utf16 = encoding == PREFS_UTF16LE || encoding == PREFS_UTF16BE;
  for (size_t at = 0; at < text.size(); at += utf16 ? 2 : 1) {
    unsigned u = static_cast<unsigned char>(text[at]);
    if (utf16 && at + 1 == text.size()) u |= 0x10000;
    if (utf16 && at + 1 < text.size()) {
      unsigned next = static_cast<unsigned char>(text[at + 1]);
      u = encoding == PREFS_UTF16BE ? u << 8 | next : u | next << 8;
    }
    units.push_back(u);
  }
  return units;
}

// Where the two texts differ, the old one held part of one line (no line break) and the
// new one holds no more than a line break, the line "Fz = value 1" and another break.
bool OneLineChanged(const std::string& before, const std::string& after, int encoding) {
  std::vector<unsigned> a = Units(before, encoding), b = Units(after, encoding);
  size_t shorter = std::min(a.size(), b.size()), head = 0, tail = 0;
  while (head < shorter && a[head] == b[head]) ++head;
  while (tail < shorter - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;
  for (size_t at = head; at < a.size() - tail; ++at) {
    if (a[at] == '\r' || a[at] == '\n' || a[at] == 0) return false;
  }
  return b.size() - tail - head <= std::string("\r\nFz = value 1\r\n").size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  memory_os::Install();
  const std::string original(reinterpret_cast<const char*>(data), size);
  memory_os::g_files["p.ini"] = original;

  if (!PrefsOpen("p.ini")) abort();
  String mail;
  int mailFound = PrefsReadValue("mail", &mail);
  PrefsReadString("PASS", nullptr);
  if (PrefsClose() != PREFS_SAVED || memory_os::g_files["p.ini"] != original) abort();

  PrefsOpen("p.ini");
  int encoding = PrefsEncoding();
  PrefsWriteString("Fz", "value 1");
  if (PrefsReadString("fz", "") != "value 1") abort();
  if (PrefsClose() != PREFS_SAVED || memory_os::g_files.size() != 1) abort();
  const std::string rewritten = memory_os::g_files["p.ini"];
  if (!OneLineChanged(original, rewritten, encoding)) abort();

  // Read again, the written value is there; an untouched key reads as before, unless the
  // rewrite changed how a file without a byte-order mark reads (its only bytes that were
  // not UTF-8 may have been in the replaced line).
  PrefsOpen("p.ini");
  if (PrefsReadString("FZ", "") != "value 1") abort();
  String mailAgain;
  if (PrefsEncoding() == encoding && PrefsReadValue("mail", &mailAgain) != mailFound) abort();
  if (PrefsEncoding() == encoding && mailAgain != mail) abort();
  PrefsClose();
  return 0;
}
