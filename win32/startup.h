// System libraries the program needs on its user-interface thread, set up once at start
// before any window is created: the common controls and COM (for the web view); and
// whether the system draws the common controls themed.
#pragma once

void SystemStartup();
// Undoes SystemStartup's COM initialisation at program end.
void SystemEnd();

// Whether the system draws themed common controls itself, alpha pictures and list headers
// included: on Windows XP or later of the NT family, with version 6 or later of the common
// controls ("COMCTL32.DLL" DllGetVersion; a library without it counts as version 1) and an
// application that is themed ("uxtheme.dll" IsAppThemed). Determined once.
bool SystemThemedLook();
