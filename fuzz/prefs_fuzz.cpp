// Preference files of any bytes parse without a crash; a file only opened and closed keeps
// its bytes; a value written reads back after the rewrite, and the rewrite changes nothing
// but that key's line: the bytes of every other line come back as they were.
#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "memory_os.h"
#include "prefs.h"

namespace {

// Where the two texts differ, the old one held part of one line (no line feed, checked
// where bytes are units) and the new one no more than a line break, the line
// "Fz = value 1" and another line break.
bool OneLineChanged(const std::string& before, const std::string& after, int encoding) {
  size_t unit = encoding == PREFS_UTF16LE || encoding == PREFS_UTF16BE ? 2 : 1;
  size_t shorter = std::min(before.size(), after.size()), head = 0, tail = 0;
  while (head < shorter && before[head] == after[head]) ++head;
  while (tail < shorter - head &&
         before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
    ++tail;
  std::string_view old = std::string_view(before).substr(head, before.size() - tail - head);
  if (unit == 1 && old.find_first_of(std::string_view("\r\n\0", 3)) != old.npos) return false;
  return after.size() - tail - head <= unit * (std::string("\r\nFz = value 1\r\n").size() + 1);
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
