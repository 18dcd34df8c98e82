#include "startup.h"

#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <objbase.h>

void SystemStartup() {
  InitCommonControls();
  CoInitialize(nullptr);
}

void SystemEnd() { CoUninitialize(); }
