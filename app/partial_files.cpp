#include "partial_files.h"

#include <windows.h>

#include <cstdio>
#include <cwctype>
#include <new>
#include <string>

#include "os.h"
#include "videopage.h"
#include "wide.h"

namespace {

constexpr const char* PARTIAL_EXTENSION = ".vspart";
constexpr const char* INFO_EXTENSION = ".vsinfo";
constexpr const char* INFO_HEAD = "[VideoSearch partial file]";
// Names with the same hash (of different addresses) take the next of these.
constexpr int NAME_CHOICES = 16;
constexpr uint64_t DAY_IN_FILE_TIME = 24ull * 60 * 60 * 10000000;  // 100 ns units

uint64_t AddressHash(const String& address) {
  uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a
  for (unsigned char c : address) hash = (hash ^ c) * 0x100000001B3ull;
  return hash;
}

// The address and validator kept in an info file; false when there is none.
bool ReadInfo(const std::string& path, String& address, String& validator) {
  OsFile file = g_os.open(path.c_str(), OS_OPEN_READ);
  if (!file) return false;
  std::string text(64 * 1024, '\0');
  long got = g_os.read(file, &text[0], static_cast<long>(text.size()));
  g_os.close(file);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  address.clear();
  validator.clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, 8, "address=") == 0) address = line.substr(8);
    if (line.compare(0, 10, "validator=") == 0) validator = line.substr(10);
    start = end + 1;
  }
  return !address.empty();
}

// Whether `name` is one this program gives: "...<.16 hex digits>[-N].vspart" or ".vsinfo".
bool IsPartialFileName(const std::wstring& name) {
  size_t dot = name.find_last_of(L'.');
  if (dot == std::wstring::npos) return false;
  std::wstring extension = name.substr(dot);
  if (extension != WideFromPath(PARTIAL_EXTENSION) && extension != WideFromPath(INFO_EXTENSION))
    return false;
  std::wstring stem = name.substr(0, dot);
  size_t dash = stem.find_last_of(L'-');
  size_t hashDot = stem.find_last_of(L'.');
  if (hashDot == std::wstring::npos) return false;
  if (dash != std::wstring::npos && dash > hashDot) stem.resize(dash);
  if (stem.size() - hashDot != 17) return false;
  for (size_t i = hashDot + 1; i < stem.size(); ++i)
    if (!iswxdigit(stem[i])) return false;
  return true;
}

// A value on one line of the info file: control bytes (a line end would make another line of
// what the server said) are left out.
std::string OneLine(const String& value) {
  std::string line;
  for (char c : value)
    if (static_cast<unsigned char>(c) >= 0x20) line += c;
  return line;
}

struct StaleSearch {
  std::string folder;
};

DWORD WINAPI RemoveStale(void* parameter) {
  auto* search = static_cast<StaleSearch*>(parameter);
  std::wstring folder = WideFromPath(search->folder);
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"*.vs*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      if (!IsPartialFileName(found.cFileName)) continue;
      std::wstring path = folder + found.cFileName;
      // Looked at again just before: a download of this run may have taken the file up.
      WIN32_FILE_ATTRIBUTE_DATA now;
      FILETIME clock;
      GetSystemTimeAsFileTime(&clock);
      if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &now)) continue;
      auto ticks = [](const FILETIME& t) {
        return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
      };
      // A file dated after the clock (the clock set back) is not old, whatever the difference.
      if (ticks(clock) > ticks(now.ftLastWriteTime) &&
          ticks(clock) - ticks(now.ftLastWriteTime) > DAY_IN_FILE_TIME)
        DeleteFileW(path.c_str());
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  delete search;
  return 0;
}

}  // namespace

PartialFile PartialFileFor(const std::string& folder, const String& address) {
  String stem = AddressFileName(address);
  if (stem.size() > 80) stem = "video";
  char hash[24];
  std::snprintf(hash, sizeof hash, ".%016llx",
                static_cast<unsigned long long>(AddressHash(address)));
  PartialFile partial;
  for (int choice = 0; choice < NAME_CHOICES; ++choice) {
    std::string base = folder + stem + hash;
    if (choice > 0) base += "-" + std::to_string(choice);
    partial.path = base + PARTIAL_EXTENSION;
    partial.infoPath = base + INFO_EXTENSION;
    String keptAddress, validator;
    if (!ReadInfo(partial.infoPath, keptAddress, validator)) {
      // A partial file whose address is not known starts afresh under this name.
      partial.validator.clear();
      return partial;
    }
    if (keptAddress == address) {
      // Bytes without their file are nothing to continue.
      partial.validator = g_os.pathInfo(partial.path.c_str()).exists ? validator : String();
      return partial;
    }
  }
  return partial;  // the last name, afresh: sixteen addresses with one hash do not happen
}

bool PartialFileRemember(const PartialFile& partial, const String& address) {
  std::string text = std::string(INFO_HEAD) + "\r\naddress=" + OneLine(address) +
                     "\r\nvalidator=" + OneLine(partial.validator) + "\r\n";
  OsFile file = g_os.open(partial.infoPath.c_str(), OS_CREATE_ALWAYS);
  if (!file) return false;
  bool whole = g_os.write(file, text.data(), static_cast<long>(text.size())) ==
               static_cast<long>(text.size());
  g_os.close(file);
  return whole;
}

void PartialFileForget(const PartialFile& partial) {
  g_os.remove(partial.path.c_str());
  g_os.remove(partial.infoPath.c_str());
}

void RemoveStalePartialFiles(const std::string& folder) {
  if (folder.empty()) return;
  auto* search = new (std::nothrow) StaleSearch{folder};
  if (!search) return;
  HANDLE thread = CreateThread(nullptr, 0, RemoveStale, search, 0, nullptr);
  if (thread)
    CloseHandle(thread);
  else
    delete search;
}
