// Tells the end-to-end test what the program's main window shows. Run in the program's
// Wine prefix while the program runs; prints, one item per line, in Windows-1251:
//   title TEXT               the main window's title
//   rows N                   rows of the result list
//   selected N               its selected row, -1 for none
//   text112 TEXT / text113 TEXT   the description and title labels (line ends as \n)
//   player 0|1               whether the player panel and its web view exist
//   preview W H              the preview gadget's size
//   row I TOP BOTTOM TEXT    for the first rows asked for (argument 1, default 0): the
//                            row's place in the main window's client area and its text
// The list's rows are read through a buffer in the program's memory, since its messages
// carry pointers that are not carried across processes. Exit code 1: no main window.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Search {
  int id;
  HWND found;
};

BOOL CALLBACK FindChild(HWND child, LPARAM param) {
  Search* s = reinterpret_cast<Search*>(param);
  if (GetDlgCtrlID(child) == s->id) {
    s->found = child;
    return FALSE;
  }
  return TRUE;
}

HWND Gadget(HWND main, int id) {
  Search s{id, nullptr};
  EnumChildWindows(main, FindChild, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

std::string Text(HWND window) {
  char buffer[4096] = "";
  DWORD_PTR got = 0;
  if (window)
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 5000, &got);
  std::string out;
  for (const char* p = buffer; *p; ++p) {
    if (*p == '\r') continue;
    if (*p == '\n')
      out += "\\n";
    else
      out += *p;
  }
  return out;
}

LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result))
    return -2;
  return static_cast<LRESULT>(result);
}

}  // namespace

int main(int argc, char** argv) {
  HWND main = FindWindowA("WindowClass_100", nullptr);
  if (!main) {
    std::printf("no main window\n");
    return 1;
  }
  HWND list = Gadget(main, 107);
  std::printf("title %s\n", Text(main).c_str());
  int rows = list ? static_cast<int>(Ask(list, LVM_GETITEMCOUNT, 0, 0)) : -1;
  std::printf("rows %d\n", rows);
  std::printf("selected %d\n",
              list ? static_cast<int>(Ask(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                          LVNI_SELECTED))
                   : -1);
  std::printf("text112 %s\n", Text(Gadget(main, 112)).c_str());
  std::printf("text113 %s\n", Text(Gadget(main, 113)).c_str());
  std::printf("player %d\n", Gadget(main, 109) && Gadget(main, 110) ? 1 : 0);
  RECT preview{};
  if (HWND p = Gadget(main, 108)) GetWindowRect(p, &preview);
  std::printf("preview %ld %ld\n", preview.right - preview.left, preview.bottom - preview.top);

  int asked = argc > 1 ? std::atoi(argv[1]) : 0;
  if (!list || asked <= 0) return 0;
  DWORD pid = 0;
  GetWindowThreadProcessId(list, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (!process) return 0;
  const SIZE_T kText = 1024;
  char* remote = static_cast<char*>(
      VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + sizeof(RECT) + kText, MEM_COMMIT, PAGE_READWRITE));
  if (!remote) return 0;
  char* remoteRect = remote + sizeof(LVITEMA);
  char* remoteText = remoteRect + sizeof(RECT);
  for (int i = 0; i < asked && i < rows; ++i) {
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    WriteProcessMemory(process, remoteRect, &rect, sizeof rect, nullptr);
    Ask(list, LVM_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remoteRect));
    ReadProcessMemory(process, remoteRect, &rect, sizeof rect, nullptr);
    MapWindowPoints(list, main, reinterpret_cast<POINT*>(&rect), 2);
    LVITEMA item{};
    item.iSubItem = 0;
    item.pszText = remoteText;
    item.cchTextMax = static_cast<int>(kText);
    WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
    Ask(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote));
    char text[1024] = "";
    ReadProcessMemory(process, remoteText, text, sizeof text - 1, nullptr);
    std::printf("row %d %ld %ld %s\n", i, rect.top, rect.bottom, text);
  }
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return 0;
}
