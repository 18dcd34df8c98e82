// The line reader returns every byte that is not a line end, in order, whatever the input;
// a write after reading lands where reading stopped.
#include <cstdlib>

#include "memory_os.h"
#include "seqfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  memory_os::Install();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  memory_os::g_files["page.txt"] = bytes;

  std::string expected;
  for (char c : bytes)
    if (c != '\r' && c != '\n' && c != '\0') expected += c;

  if (!FileOpenRead(0, "page.txt")) abort();
  std::string joined;
  size_t lines = 0;
  while (!FileAtEnd(0)) {
    std::string line = FileReadLine(0);
    if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) abort();
    joined += line;
    if (++lines > size + 1) abort();  // every line consumes at least one byte
  }
  if (FileReadLine(0) != "") abort();
  FileClose(0);
  if (joined != expected) abort();

  // Read one line, then write: the write starts right after the bytes that line consumed.
  size_t consumed = bytes.find_first_of(std::string("\r\n\0", 3));
  if (consumed == std::string::npos) {
    consumed = bytes.size();
  } else {
    consumed += (bytes[consumed] == '\r' && consumed + 1 < bytes.size() &&
                 bytes[consumed + 1] == '\n') ? 2 : 1;
  }
  std::string after = bytes.substr(0, consumed) + "W\r\n";
  if (bytes.size() > after.size()) after += bytes.substr(after.size());
  FileOpenReadWrite(1, "page.txt");
  FileReadLine(1);
  FileWriteLine(1, "W");
  FileClose(1);
  if (memory_os::g_files["page.txt"] != after) abort();
  return 0;
}
