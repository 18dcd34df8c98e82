// System libraries the program needs on its user-interface thread: the common controls,
// set up once at start before any window is created, and COM (for the web view), which
// may come later; and whether the system draws the common controls themed.
#pragma once

#include <windows.h>

// The function `name` of the loaded library `module` as type Fn; null when the module or
// the function is missing (a system older than the function).
template <typename Fn>
Fn LibraryEntry(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                : nullptr;
}

void SystemStartup();
// COM for this thread. Its library is loaded at the first call (cmake/DelayLoad.cmake), so
// the program calls this once its window shows, where nothing needs COM sooner.
void SystemStartCom();
// Undoes SystemStartCom at program end.
void SystemEnd();

// Whether the system draws themed common controls itself, alpha pictures and list headers
// included: on Windows XP or later of the NT family, with version 6 or later of the common
// controls ("COMCTL32.DLL" DllGetVersion; a library without it counts as version 1) and an
// application that is themed ("uxtheme.dll" IsAppThemed). Determined once.
bool SystemThemedLook();
