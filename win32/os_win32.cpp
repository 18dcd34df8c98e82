// The seam on Windows: the ANSI file functions of the system.
#include <windows.h>

#include "os.h"

namespace {

HANDLE H(OsFile file) { return reinterpret_cast<HANDLE>(file); }

OsFile WinOpen(const char* name, OsOpenMode mode) {
  if (!name || !*name) return 0;
  DWORD access = GENERIC_READ, share = FILE_SHARE_READ, disposition = OPEN_EXISTING;
  switch (mode) {
    case OS_OPEN_READ: break;
    case OS_OPEN_READ_SHARE_ALL: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    case OS_OPEN_READ_WRITE: access |= GENERIC_WRITE; break;
    case OS_OPEN_READ_WRITE_ALWAYS:
      access |= GENERIC_WRITE;
      disposition = OPEN_ALWAYS;
      break;
    case OS_CREATE_ALWAYS:
      access |= GENERIC_WRITE;
      share = 0;
      disposition = CREATE_ALWAYS;
      break;
  }
  HANDLE h = CreateFileA(name, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE || h == nullptr) return 0;
  return reinterpret_cast<OsFile>(h);
}

long WinRead(OsFile file, void* buffer, long size) {
  DWORD got = 0;
  if (!ReadFile(H(file), buffer, static_cast<DWORD>(size), &got, nullptr)) return -1;
  return static_cast<long>(got);
}

long WinWrite(OsFile file, const void* buffer, long size) {
  DWORD put = 0;
  if (!WriteFile(H(file), buffer, static_cast<DWORD>(size), &put, nullptr))
    return put > 0 ? static_cast<long>(put) : -1;
  return static_cast<long>(put);
}

int64_t WinSeek(OsFile file, int64_t offset, DWORD method) {
  LARGE_INTEGER distance, now;
  distance.QuadPart = offset;
  if (!SetFilePointerEx(H(file), distance, &now, method)) return -1;
  return now.QuadPart;
}
int64_t WinSeekRelative(OsFile file, int64_t offset) { return WinSeek(file, offset, FILE_CURRENT); }
int64_t WinSeekStart(OsFile file, int64_t offset) { return WinSeek(file, offset, FILE_BEGIN); }

int64_t WinSize(OsFile file) {
  LARGE_INTEGER size;
  return GetFileSizeEx(H(file), &size) ? size.QuadPart : -1;
}

bool WinTruncate(OsFile file) { return SetEndOfFile(H(file)) != 0; }
bool WinFlush(OsFile file) { return FlushFileBuffers(H(file)) != 0; }
void WinClose(OsFile file) { CloseHandle(H(file)); }
bool WinRemove(const char* name) { return name && DeleteFileA(name) != 0; }
bool WinReplace(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// GetTempPathA, then the long form of it when the system offers GetLongPathNameA. A failing
// long-path call gives the empty string; a long path that does not fit keeps the short form.
std::string WinTempPath() {
  char buffer[MAX_PATH + 1] = {};
  DWORD length = GetTempPathA(MAX_PATH, buffer);
  if (length == 0 || length > MAX_PATH) return std::string();
  HMODULE kernel = LoadLibraryA("Kernel32.DLL");
  if (kernel) {
    using LongPathFn = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);
    auto longPath = reinterpret_cast<LongPathFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetLongPathNameA")));
    if (longPath) {
      char longForm[MAX_PATH + 1] = {};
      DWORD longLength = longPath(buffer, longForm, MAX_PATH);
      if (longLength == 0) {
        length = 0;
      } else if (longLength < MAX_PATH) {
        memcpy(buffer, longForm, longLength + 1);
        length = longLength;
      }
    }
    FreeLibrary(kernel);
  }
  return std::string(buffer, length);
}

OsPathInfo WinPathInfo(const char* name) {
  OsPathInfo info;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!name || !GetFileAttributesExA(name, GetFileExInfoStandard, &data)) return info;
  info.exists = true;
  info.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.readOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  info.modified =
      static_cast<int64_t>((static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                           data.ftLastWriteTime.dwLowDateTime);
  return info;
}

std::string WinFullPath(const char* name) {
  if (!name || !*name) return std::string();
  DWORD length = GetFullPathNameA(name, 0, nullptr, nullptr);
  if (length == 0) return name;
  std::string full(length, '\0');
  length = GetFullPathNameA(name, length, &full[0], nullptr);
  if (length == 0 || length >= full.size()) return name;
  full.resize(length);
  return full;
}

const OsApi kWinApi = {WinOpen,    WinRead,     WinWrite,    WinSeekRelative, WinSeekStart,
                       WinSize,    WinTruncate, WinFlush,    WinClose,        WinRemove,
                       WinReplace, WinTempPath, WinPathInfo, WinFullPath};

}  // namespace

OsApi g_os = kWinApi;
const OsApi& OsSystemApi() { return kWinApi; }
