#include "single_instance.h"

#include <windows.h>

namespace {

// Named objects of the session's own namespace. The mutex marks that a copy runs; the
// mapping tells the other copies which process it is.
constexpr wchar_t INSTANCE_MUTEX[] = L"Local\\VideoSearchZQ.Running";
constexpr wchar_t OWNER_MAPPING[] = L"Local\\VideoSearchZQ.Owner";
// How long a second copy waits for the first one's window (it may still be starting).
constexpr int WINDOW_WAIT_MS = 3000;
constexpr int WINDOW_POLL_MS = 100;

// Kept open for the life of the process: they are the claim.
HANDLE g_mutex = nullptr;
HANDLE g_mapping = nullptr;

void PublishOwner() {
  g_mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(DWORD),
                                 OWNER_MAPPING);
  if (!g_mapping) return;
  if (void* view = MapViewOfFile(g_mapping, FILE_MAP_WRITE, 0, 0, sizeof(DWORD))) {
    *static_cast<volatile DWORD*>(view) = GetCurrentProcessId();
    UnmapViewOfFile(view);
  }
}

// The process id the running copy published, 0 when it has not yet.
DWORD OwnerProcess() {
  HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, OWNER_MAPPING);
  if (!mapping) return 0;
  DWORD pid = 0;
  if (void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof(DWORD))) {
    pid = *static_cast<volatile DWORD*>(view);
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
  return pid;
}

struct WindowSearch {
  DWORD pid;
  HWND found;
};

// Top-level windows come in Z order, so the first visible one of the process is the one
// it shows in front: its main window, its login dialog, or a message box over either.
BOOL CALLBACK TakeForemost(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->pid || !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

void BringOwnerToFront() {
  for (int waited = 0; waited < WINDOW_WAIT_MS; waited += WINDOW_POLL_MS) {
    WindowSearch search = {OwnerProcess(), nullptr};
    if (search.pid) EnumWindows(TakeForemost, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      if (IsIconic(search.found)) ShowWindow(search.found, SW_RESTORE);
      SetForegroundWindow(search.found);
      return;
    }
    Sleep(WINDOW_POLL_MS);
  }
}

}  // namespace

bool ClaimSingleInstance() {
  g_mutex = CreateMutexW(nullptr, FALSE, INSTANCE_MUTEX);
  if (!g_mutex) return true;  // no claim possible: better to run than to refuse
  if (GetLastError() != ERROR_ALREADY_EXISTS) {
    PublishOwner();
    return true;
  }
  // Not holding it while waiting, so that a first copy that ends meanwhile takes the
  // mutex with it.
  CloseHandle(g_mutex);
  g_mutex = nullptr;
  BringOwnerToFront();
  return false;
}
