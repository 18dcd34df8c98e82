// Started by the launcher tests: writes its command line and working directory, in UTF-8,
// to the file named by the environment variable VS_HELPER_OUT, then exits.
#include <windows.h>

#include <string>

#include "wide.h"

int main() {
  wchar_t out[MAX_PATH] = L"";
  if (!GetEnvironmentVariableW(L"VS_HELPER_OUT", out, MAX_PATH)) return 2;
  wchar_t directory[MAX_PATH] = L"";
  GetCurrentDirectoryW(MAX_PATH, directory);
  std::string report = PathFromWide(GetCommandLineW()) + "\n" + PathFromWide(directory) + "\n";
  std::wstring partial = std::wstring(out) + L".part";
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  WriteFile(file, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
  CloseHandle(file);
  // Appear all at once, so that the test never reads half a file.
  return MoveFileW(partial.c_str(), out) ? 0 : 4;
}
