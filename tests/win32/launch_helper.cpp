// Started by the launcher tests, and the stand-in web browser of the end-to-end tests:
// writes its command line and working directory, in UTF-8, to the file named by the
// environment variable VS_HELPER_OUT, then exits. A window program (as browsers are), so
// that a shell that waits for a started program to take input waits for it: with
// VS_HELPER_IDLE_MS it takes that long, after writing, before it first looks for input,
// as a browser that is slow to come up does.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "wide.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
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
  if (!MoveFileW(partial.c_str(), out)) return 4;
  wchar_t idle[16] = L"";
  if (GetEnvironmentVariableW(L"VS_HELPER_IDLE_MS", idle, 16)) Sleep(wcstoul(idle, nullptr, 10));
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // takes input: idle from here on
  return 0;
}
