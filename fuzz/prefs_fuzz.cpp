// Preference files of any bytes parse without a crash; a file only opened and closed keeps
// its bytes; a value written reads back after the rewrite.
#include <cstdlib>

#include "memory_os.h"
#include "prefs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  memory_os::Install();
  const std::string original(reinterpret_cast<const char*>(data), size);
  memory_os::g_files["p.ini"] = original;

  if (!PrefsOpen("p.ini")) abort();
  PrefsReadString("mail", "");
  PrefsReadString("PASS", nullptr);
  PrefsClose();
  if (memory_os::g_files["p.ini"] != original) abort();

  PrefsOpen("p.ini");
  int encoding = PrefsEncoding();
  PrefsWriteString("Fz", "value 1");
  if (PrefsReadString("fz", "") != "value 1") abort();
  PrefsClose();
  // The rewrite drops leading blanks and NUL bytes; when that brings the three bytes of a
  // UTF-8 byte-order mark to the front, the file reads as UTF-8 afterwards, and the rest may
  // parse differently. Any other rewrite must keep the written value.
  PrefsOpen("p.ini");
  if (PrefsEncoding() == encoding && PrefsReadString("FZ", "") != "value 1") abort();
  PrefsClose();
  return 0;
}
