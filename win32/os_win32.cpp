// The seam on Windows: the wide file functions of the system, with the program's UTF-8
// paths converted at the call (wide.h), so that any folder name works under any code page.
#include <windows.h>

#include <cstdio>

#include "os.h"
#include "wide.h"

namespace {

HANDLE H(OsFile file) { return reinterpret_cast<HANDLE>(file); }

// A wide path of a system call that fills a buffer of `size` characters and returns the
// length it wrote, or the size it needs when the buffer is too small, or 0 on failure
// (GetTempPathW, GetLongPathNameW, GetFullPathNameW). Empty on failure.
template <typename Call>
std::wstring WidePathOf(Call call) {
  std::wstring buffer(MAX_PATH + 1, L'\0');
  DWORD length = call(static_cast<DWORD>(buffer.size()), &buffer[0]);
  if (length >= buffer.size()) {  // too small: the size it needs, with the terminating zero
    buffer.assign(length, L'\0');
    length = call(static_cast<DWORD>(buffer.size()), &buffer[0]);
    if (length >= buffer.size()) length = 0;
  }
  buffer.resize(length);
  return buffer;
}

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
  HANDLE h = CreateFileW(WideFromPath(name).c_str(), access, share, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
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
bool WinRemove(const char* name) { return name && DeleteFileW(WideFromPath(name).c_str()) != 0; }
bool WinReplace(const char* from, const char* to) {
  return MoveFileExW(WideFromPath(from).c_str(), WideFromPath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// GetTempPathW, then its long form: the system may give the short (8.3) form of a folder
// whose name holds other characters, and the program names the folder to the user. A
// failing long-path call gives the empty string.
std::string WinTempPath() {
  std::wstring temp =
      WidePathOf([](DWORD size, wchar_t* buffer) { return GetTempPathW(size, buffer); });
  if (temp.empty()) return std::string();
  std::wstring longForm = WidePathOf(
      [&](DWORD size, wchar_t* buffer) { return GetLongPathNameW(temp.c_str(), buffer, size); });
  return PathFromWide(longForm);
}

OsPathInfo WinPathInfo(const char* name) {
  OsPathInfo info;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!name || !GetFileAttributesExW(WideFromPath(name).c_str(), GetFileExInfoStandard, &data))
    return info;
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
  std::wstring wide = WideFromPath(name);
  std::wstring full = WidePathOf([&](DWORD size, wchar_t* buffer) {
    return GetFullPathNameW(wide.c_str(), size, buffer, nullptr);
  });
  return full.empty() ? std::string(name) : PathFromWide(full);
}

FILE* WinOpenStream(const char* name) {
  return name && *name ? _wfopen(WideFromPath(name).c_str(), L"rb") : nullptr;
}

const OsApi kWinApi = {WinOpen,    WinRead,     WinWrite,    WinSeekRelative, WinSeekStart,
                       WinSize,    WinTruncate, WinFlush,    WinClose,        WinRemove,
                       WinReplace, WinTempPath, WinPathInfo, WinFullPath,     WinOpenStream};

}  // namespace

OsApi g_os = kWinApi;
const OsApi& OsSystemApi() { return kWinApi; }
