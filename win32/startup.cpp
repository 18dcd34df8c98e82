#include "startup.h"

#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <objbase.h>
#include <shlwapi.h>  // DLLVERSIONINFO

namespace {

// Off on the Windows 95 family and before Windows XP, which have no themes.
bool SystemHasThemes() {
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExW(&version) || version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) return false;
  return version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1);
}

// Major version in the high 16 bits, minor in the low; 1.0 when the library cannot tell.
DWORD CommonControlsVersion() {
  HMODULE controls = GetModuleHandleW(L"COMCTL32.DLL");
  if (!controls) controls = LoadLibraryW(L"COMCTL32.DLL");
  auto getVersion = LibraryEntry<DLLGETVERSIONPROC>(controls, "DllGetVersion");
  DLLVERSIONINFO info = {};
  info.cbSize = sizeof info;
  if (!getVersion || FAILED(getVersion(&info))) return 1u << 16;
  return (info.dwMajorVersion << 16) | (info.dwMinorVersion & 0xFFFF);
}

bool AppThemed() {
  HMODULE uxtheme = LoadLibraryW(L"uxtheme.dll");
  auto isAppThemed = LibraryEntry<BOOL(WINAPI*)()>(uxtheme, "IsAppThemed");
  bool themed = isAppThemed && isAppThemed();
  if (uxtheme) FreeLibrary(uxtheme);
  return themed;
}

}  // namespace

void SystemStartup() { InitCommonControls(); }

namespace {
bool comStarted = false;
}

void SystemStartCom() {
  if (!comStarted) comStarted = SUCCEEDED(CoInitialize(nullptr));
}

void SystemEnd() {
  if (comStarted) CoUninitialize();
  comStarted = false;
}

bool SystemThemedLook() {
  static const bool themed = SystemHasThemes() && CommonControlsVersion() > 0x5FFFF && AppThemed();
  return themed;
}
