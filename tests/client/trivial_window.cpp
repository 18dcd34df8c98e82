// The smallest Win32 program with a window: the yardstick for the client's start-up time.
// Shows a 300 x 200 window and runs until it is closed. Built with TRIVIAL_SAME_DLLS it
// also imports the system libraries the client imports, without using them, so that the
// loading of those libraries can be told from the client's own start-up.
#include <windows.h>

#ifdef TRIVIAL_SAME_DLLS
#include <commctrl.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>
#include <urlmon.h>
#include <wininet.h>

// One function of each library, so that the linker keeps the import.
void* volatile imports[] = {
    reinterpret_cast<void*>(&InitCommonControls), reinterpret_cast<void*>(&GetStockObject),
    reinterpret_cast<void*>(&CoInitialize),       reinterpret_cast<void*>(&SysAllocString),
    reinterpret_cast<void*>(&ShellExecuteExA),    reinterpret_cast<void*>(&ObtainUserAgentString),
    reinterpret_cast<void*>(&InternetOpenA),      reinterpret_cast<void*>(&timeBeginPeriod)};
#endif

static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = Proc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = "TrivialWindow";
  RegisterClassA(&windowClass);
  CreateWindowExA(0, "TrivialWindow", "trivial", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300,
                  200, nullptr, nullptr, instance, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
