// Tells the end-to-end test about the program's main window from outside. Run in the
// program's Wine prefix (same server) while the program runs. Every text is read from the
// windows in UTF-16 and printed in Windows-1251 (a character it lacks as "?"), or in UTF-8
// when the first argument is --utf8 (for texts that hold characters Windows-1251 lacks):
//   window_probe style    style 0x... exstyle 0x... client WxH sizing N maximize N
//   window_probe cursor   cursor HANDLE hand|arrow|other|unreadable   (or: cursor none)
// The cursor is the one the system shows now (that of the thread under the mouse). It is
// named by comparing its mask and colour bits with those of the stock hand and arrow
// loaded here; Wine does not let one process read another's cursor bits, so there it is
// "unreadable" and only its handle tells one cursor from another.
//   window_probe gadgets [ROWS]   what the main window's gadgets show, one item a line:
//     title TEXT               the main window's title
//     rows N                   rows of the result list
//     selected N               its selected row, -1 for none
//     text103 / text112 / text113 / text114 TEXT   the search field, the description and
//                              the title label, the download link (line ends as \n)
//     player 0|1               whether the player panel and its web view exist
//     focus N                  the gadget that has the keyboard focus, -1 for none
//     preview W H              the preview gadget's size
//     row I TOP BOTTOM TEXT    for the first ROWS rows: the row's place in the main
//                              window's client area and its text
//   The list's rows are read through a buffer in the program's memory, since its messages
//   carry pointers that are not carried across processes.
//   window_probe layout   the main window's scale and where its gadgets lie:
//     client X Y W H DPI       its client area on the screen, and its DPI
//     gadget N X Y W H FIT     gadget N's rectangle in the client area; FIT 1 when its text
//                              fits it as laid out in the toolkit's font for that DPI
//     name N TEXT              gadget N's accessible name, read through MSAA
//   window_probe dpi N    tells the main window that it moved to a display of N DPI, as the
//                         system does (WM_DPICHANGED, its own place suggested)
//   window_probe answers SECONDS   sends the main window WM_NULL every 20 ms for SECONDS:
//     answers N slowest MS over200 K   N answers, the slowest in ms, K slower than 200 ms
//                                      (an answer not given within 5 s counts there too)
//   window_probe dialog   the login dialog (window 0), one item a line:
//     dialog sysmenu 0|1 owner CLASS|none ownerenabled 0|1
//     mail TEXT                  the mail field
//     pass LENGTH mask XXXX      the password field's length and its mask character (hex
//                                UTF-16, 0000 when it shows its text)
//     focus N                    the field or button that has the keyboard focus, -1 for none
//   window_probe downloads    the downloads window, one item a line:
//     downloads SHOWN ABOVE    whether it is shown, whether it lies above the main window
//                              (0, 1; "downloads none" when it was never opened)
//     drow I C0|C1|C2|C3|C4    row I's five cells (file, size, arrived, speed, state)
//     selected N               its selected row, -1 for none
//     button ID ENABLED X Y TEXT   a button: enabled 0/1, its middle on the screen
//   window_probe foreground   foreground CLASS   the class of the window in front
//   window_probe message [yes|no]   message TEXT   the text of a message box shown within
//                                                10 s (line ends as \n), then presses its
//                                                OK (or Yes, or No)
// Exit code 1: no main window (style, gadgets), no dialog, no cursor information or no
// message box.
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <oleacc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dpi.h"

namespace {

// The code page texts are printed in: Windows-1251 unless --utf8 is given.
UINT outputCodePage = 1251;

// A text read from a window, for printing: line ends as \n.
std::string Printable(const std::wstring& text) {
  std::wstring oneLine;
  for (wchar_t c : text) {
    if (c == L'\r') continue;
    if (c == L'\n')
      oneLine += L"\\n";
    else
      oneLine += c;
  }
  if (oneLine.empty()) return std::string();
  int size = WideCharToMultiByte(outputCodePage, 0, oneLine.data(),
                                 static_cast<int>(oneLine.size()), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(outputCodePage, 0, oneLine.data(), static_cast<int>(oneLine.size()), &out[0],
                      size, nullptr, nullptr);
  return out;
}

// The bits of a bitmap, or nothing when it cannot be read.
std::vector<unsigned char> BitsOf(HBITMAP bitmap) {
  std::vector<unsigned char> bits;
  BITMAP info;
  if (!bitmap || GetObjectW(bitmap, sizeof info, &info) != sizeof info) return bits;
  bits.resize(static_cast<size_t>(info.bmWidthBytes) * info.bmHeight);
  if (GetBitmapBits(bitmap, static_cast<LONG>(bits.size()), bits.data()) <= 0) bits.clear();
  return bits;
}

// The cursor's picture: mask bits then colour bits (empty when it cannot be read).
std::vector<unsigned char> PictureOf(HCURSOR cursor) {
  std::vector<unsigned char> picture;
  ICONINFO icon;
  if (!cursor || !GetIconInfo(cursor, &icon)) return picture;
  picture = BitsOf(icon.hbmMask);
  std::vector<unsigned char> colour = BitsOf(icon.hbmColor);
  picture.insert(picture.end(), colour.begin(), colour.end());
  if (icon.hbmMask) DeleteObject(icon.hbmMask);
  if (icon.hbmColor) DeleteObject(icon.hbmColor);
  return picture;
}

int Style() {
  HWND window = FindWindowW(L"WindowClass_100", nullptr);
  if (!window) return 1;
  LONG style = GetWindowLongW(window, GWL_STYLE);
  LONG exstyle = GetWindowLongW(window, GWL_EXSTYLE);
  RECT client = {};
  GetClientRect(window, &client);
  std::printf("style 0x%08lx exstyle 0x%08lx client %ldx%ld sizing %d maximize %d\n", style,
              exstyle, client.right, client.bottom, (style & WS_THICKFRAME) ? 1 : 0,
              (style & WS_MAXIMIZEBOX) ? 1 : 0);
  return 0;
}

int Cursor() {
  CURSORINFO info = {};
  info.cbSize = sizeof info;
  if (!GetCursorInfo(&info)) {
    std::fprintf(stderr, "window_probe: GetCursorInfo failed (error %lu)\n", GetLastError());
    return 1;
  }
  if (!info.hCursor || !(info.flags & CURSOR_SHOWING)) {
    std::printf("cursor none\n");
    return 0;
  }
  std::vector<unsigned char> shown = PictureOf(info.hCursor);
  const char* name = "other";
  if (shown.empty())
    name = "unreadable";
  else if (shown == PictureOf(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649))))  // IDC_HAND
    name = "hand";
  else if (shown == PictureOf(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512))))  // IDC_ARROW
    name = "arrow";
  std::printf("cursor %p %s\n", static_cast<void*>(info.hCursor), name);
  return 0;
}

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
  wchar_t buffer[4096] = L"";
  DWORD_PTR got = 0;
  if (window)
    SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 5000, &got);
  return Printable(buffer);
}

LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result))
    return -2;
  return static_cast<LRESULT>(result);
}

// Reads list rows through a buffer in the list's process: its messages carry pointers, which
// are not carried across processes.
class RemoteRows {
 public:
  explicit RemoteRows(HWND list) : list_(list) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_)
      remote_ = static_cast<char*>(VirtualAllocEx(
          process_, nullptr, sizeof(LVITEMW) + sizeof(RECT) + kText * sizeof(wchar_t), MEM_COMMIT,
          PAGE_READWRITE));
  }
  ~RemoteRows() {
    if (remote_) VirtualFreeEx(process_, remote_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  bool Ok() const { return remote_ != nullptr; }
  RECT Rect(int row) {
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    char* remoteRect = remote_ + sizeof(LVITEMW);
    WriteProcessMemory(process_, remoteRect, &rect, sizeof rect, nullptr);
    Ask(list_, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remoteRect));
    ReadProcessMemory(process_, remoteRect, &rect, sizeof rect, nullptr);
    return rect;
  }
  std::string Text(int row, int column) {
    char* remoteText = remote_ + sizeof(LVITEMW) + sizeof(RECT);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<wchar_t*>(remoteText);
    item.cchTextMax = static_cast<int>(kText);
    WriteProcessMemory(process_, remote_, &item, sizeof item, nullptr);
    Ask(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote_));
    wchar_t text[kText + 1] = L"";
    ReadProcessMemory(process_, remoteText, text, kText * sizeof(wchar_t), nullptr);
    return Printable(text);
  }

 private:
  static constexpr SIZE_T kText = 1024;  // characters
  HWND list_;
  HANDLE process_ = nullptr;
  char* remote_ = nullptr;
};

int Downloads() {
  HWND window = FindWindowW(L"WindowClass_200", nullptr);
  if (!window) {
    std::printf("downloads none\n");
    return 0;
  }
  // Above the main window when it comes first from the top of the z-order.
  HWND main = FindWindowW(L"WindowClass_100", nullptr);
  HWND first = GetTopWindow(nullptr);
  while (first && first != window && first != main) first = GetWindow(first, GW_HWNDNEXT);
  std::printf("downloads %d %d\n", IsWindowVisible(window) ? 1 : 0, first == window ? 1 : 0);
  HWND list = Gadget(window, 120);
  int rows = list ? static_cast<int>(Ask(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
  RemoteRows remote(list);
  for (int i = 0; i < rows && remote.Ok(); ++i) {
    std::printf("drow %d", i);
    for (int column = 0; column < 5; ++column)
      std::printf("%s%s", column ? "|" : " ", remote.Text(i, column).c_str());
    std::printf("\n");
  }
  std::printf("selected %d\n", list ? static_cast<int>(Ask(list, LVM_GETNEXTITEM,
                                                           static_cast<WPARAM>(-1), LVNI_SELECTED))
                                    : -1);
  for (int id = 121; id <= 124; ++id) {
    HWND button = Gadget(window, id);
    if (!button) continue;
    RECT rect{};
    GetWindowRect(button, &rect);
    std::printf("button %d %d %ld %ld %s\n", id, IsWindowEnabled(button) ? 1 : 0,
                (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2, Text(button).c_str());
  }
  return 0;
}

int Gadgets(int asked) {
  HWND main = FindWindowW(L"WindowClass_100", nullptr);
  if (!main) {
    std::printf("no main window\n");
    return 1;
  }
  HWND list = Gadget(main, 107);
  std::printf("title %s\n", Text(main).c_str());
  int rows = list ? static_cast<int>(Ask(list, LVM_GETITEMCOUNT, 0, 0)) : -1;
  std::printf("rows %d\n", rows);
  std::printf("selected %d\n", list ? static_cast<int>(Ask(list, LVM_GETNEXTITEM,
                                                           static_cast<WPARAM>(-1), LVNI_SELECTED))
                                    : -1);
  for (int id : {103, 112, 113, 114})
    std::printf("text%d %s\n", id, Text(Gadget(main, id)).c_str());
  std::printf("player %d\n", Gadget(main, 109) && Gadget(main, 110) ? 1 : 0);
  GUITHREADINFO thread = {};
  thread.cbSize = sizeof thread;
  bool known =
      GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &thread) && thread.hwndFocus;
  std::printf("focus %d\n", known ? GetDlgCtrlID(thread.hwndFocus) : -1);
  RECT preview{};
  if (HWND p = Gadget(main, 108)) GetWindowRect(p, &preview);
  std::printf("preview %ld %ld\n", preview.right - preview.left, preview.bottom - preview.top);

  if (!list || asked <= 0) return 0;
  RemoteRows remote(list);
  for (int i = 0; i < asked && i < rows && remote.Ok(); ++i) {
    RECT rect = remote.Rect(i);
    MapWindowPoints(list, main, reinterpret_cast<POINT*>(&rect), 2);
    std::printf("row %d %ld %ld %s\n", i, rect.top, rect.bottom, remote.Text(i, 0).c_str());
  }
  return 0;
}

int Dialog() {
  HWND dialog = FindWindowW(L"WindowClass_0", nullptr);
  if (!dialog || !IsWindowVisible(dialog)) {
    std::printf("no dialog\n");
    return 1;
  }
  HWND owner = GetWindow(dialog, GW_OWNER);
  wchar_t ownerClass[256] = L"";
  if (owner) GetClassNameW(owner, ownerClass, 256);
  std::printf("dialog sysmenu %d owner %s ownerenabled %d\n",
              (GetWindowLongW(dialog, GWL_STYLE) & WS_SYSMENU) ? 1 : 0,
              owner ? Printable(ownerClass).c_str() : "none", owner && IsWindowEnabled(owner));
  std::printf("mail %s\n", Text(Gadget(dialog, 2)).c_str());
  HWND pass = Gadget(dialog, 4);
  std::printf("pass %d mask %04X\n", static_cast<int>(Ask(pass, WM_GETTEXTLENGTH, 0, 0)),
              static_cast<unsigned>(Ask(pass, EM_GETPASSWORDCHAR, 0, 0)));
  GUITHREADINFO thread = {};
  thread.cbSize = sizeof thread;
  bool known =
      GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &thread) && thread.hwndFocus;
  std::printf("focus %d\n", known ? GetDlgCtrlID(thread.hwndFocus) : -1);
  return 0;
}

// Whether the window text of a gadget fits its client area in `font`: a link or an edit
// field as one line (the edit field beside its margins), a label wrapped as it wraps it.
bool TextFits(HWND gadget, int id, HFONT font) {
  wchar_t text[4096] = L"";
  int length = GetWindowTextW(gadget, text, 4096);
  RECT client, box = {0, 0, 0, 0};
  GetClientRect(gadget, &client);
  HDC dc = GetDC(gadget);
  SelectObject(dc, font);
  // Labels wrap at their width; the edit field keeps its margins free.
  UINT wrap = id == 112 || id == 113 ? DT_WORDBREAK : DT_SINGLELINE;
  box.right = id == 112 || id == 113 ? client.right : 0;
  DrawTextW(dc, text, length, &box, DT_CALCRECT | DT_EXPANDTABS | DT_NOPREFIX | wrap);
  LRESULT margins = id == 103 ? Ask(gadget, EM_GETMARGINS, 0, 0) : 0;
  ReleaseDC(gadget, dc);
  return box.right + LOWORD(margins) + HIWORD(margins) <= client.right &&
         box.bottom <= client.bottom;
}

// The accessible name of a window's client object, as a screen reader reads it. (The
// interface's identifier is spelt out: the import library's IID_IAccessible links to the
// wrong bytes.)
std::wstring AccessibleName(HWND window) {
  const IID accessible = {
      0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
  IAccessible* object = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), accessible,
                                        reinterpret_cast<void**>(&object))))
    return L"(no accessible object)";
  VARIANT self = {};
  self.vt = VT_I4;  // CHILDID_SELF
  BSTR text = nullptr;
  object->get_accName(self, &text);
  std::wstring name(text ? text : L"", text ? SysStringLen(text) : 0);
  SysFreeString(text);
  object->Release();
  return name;
}

int Layout() {
  HWND main = FindWindowW(L"WindowClass_100", nullptr);
  if (!main) return 1;
  RECT client;
  GetClientRect(main, &client);
  POINT origin = {0, 0};
  ClientToScreen(main, &origin);
  int dpi = DpiOfWindow(main);
  std::printf("client %ld %ld %ld %ld %d\n", origin.x, origin.y, client.right, client.bottom, dpi);
  HFONT font = DpiScaledFont(static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)), dpi);
  CoInitialize(nullptr);
  for (int id : {102, 103, 104, 107, 108, 111, 112, 113, 114, 116}) {
    HWND gadget = Gadget(main, id);
    RECT rect = {};
    GetWindowRect(gadget, &rect);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rect), 2);
    bool texted = id == 103 || id == 104 || id == 112 || id == 113 || id == 114 || id == 116;
    std::printf("gadget %d %ld %ld %ld %ld %s\n", id, rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top, texted ? (TextFits(gadget, id, font) ? "1" : "0") : "-");
    if (id != 102 && id != 108 && id != 111)
      std::printf("name %d %s\n", id, Printable(AccessibleName(gadget)).c_str());
  }
  CoUninitialize();
  return 0;
}

// The message carries a pointer: the rectangle is written into the program's memory.
int ChangeDpi(int dpi) {
  HWND main = FindWindowW(L"WindowClass_100", nullptr);
  DWORD pid = 0;
  GetWindowThreadProcessId(main, &pid);
  HANDLE process =
      main ? OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid) : nullptr;
  void* remote = process
                     ? VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE)
                     : nullptr;
  if (!remote) return 1;
  RECT place;
  GetWindowRect(main, &place);
  WriteProcessMemory(process, remote, &place, sizeof place, nullptr);
  Ask(main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(remote));
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return 0;
}

int Foreground() {
  wchar_t name[256] = L"";
  HWND front = GetForegroundWindow();
  if (front) GetClassNameW(front, name, 256);
  std::printf("foreground %s\n", front ? Printable(name).c_str() : "none");
  return 0;
}

int Message(const char* answer) {
  int button = std::strcmp(answer, "yes") == 0  ? IDYES
               : std::strcmp(answer, "no") == 0 ? IDNO
                                                : IDOK;
  for (int i = 0; i < 100; ++i, Sleep(100)) {
    HWND box = FindWindowW(L"#32770", nullptr);
    if (!box || !IsWindowVisible(box)) continue;
    std::printf("message %s\n", Text(GetDlgItem(box, 0xFFFF)).c_str());  // the text's static
    PostMessageW(box, WM_COMMAND, button, 0);
    return 0;
  }
  return 1;
}

}  // namespace

int Answers(double seconds) {
  HWND window = FindWindowW(L"WindowClass_100", nullptr);
  if (!window) return 1;
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  auto elapsed = [&] {
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - start.QuadPart) / frequency.QuadPart;
  };
  int answers = 0, over = 0;
  double slowest = 0;
  while (elapsed() < seconds) {
    double before = elapsed();
    DWORD_PTR result = 0;
    bool answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
    double ms = (elapsed() - before) * 1000;
    if (!answered && !IsWindow(window)) break;
    if (answered) ++answers;
    if (!answered || ms > 200) ++over;
    if (ms > slowest) slowest = ms;
    Sleep(20);
  }
  std::printf("answers %d slowest %.0f over200 %d\n", answers, slowest, over);
  return 0;
}

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--utf8") == 0) {
    outputCodePage = CP_UTF8;
    --argc;
    ++argv;
  }
  if (argc > 1 && std::strcmp(argv[1], "style") == 0) return Style();
  if (argc > 2 && std::strcmp(argv[1], "answers") == 0) return Answers(std::atof(argv[2]));
  if (argc > 1 && std::strcmp(argv[1], "cursor") == 0) return Cursor();
  if (argc > 1 && std::strcmp(argv[1], "gadgets") == 0)
    return Gadgets(argc > 2 ? std::atoi(argv[2]) : 0);
  if (argc > 1 && std::strcmp(argv[1], "foreground") == 0) return Foreground();
  if (argc > 1 && std::strcmp(argv[1], "dialog") == 0) return Dialog();
  if (argc > 1 && std::strcmp(argv[1], "layout") == 0) return Layout();
  if (argc > 2 && std::strcmp(argv[1], "dpi") == 0) return ChangeDpi(std::atoi(argv[2]));
  if (argc > 1 && std::strcmp(argv[1], "message") == 0) return Message(argc > 2 ? argv[2] : "");
  if (argc > 1 && std::strcmp(argv[1], "downloads") == 0) return Downloads();
  std::fprintf(
      stderr,
      "usage: window_probe [--utf8] style|cursor|gadgets [ROWS]|answers SECONDS|foreground|"
      "message [yes|no]|downloads|dialog|layout|dpi N\n");
  return 2;
}
