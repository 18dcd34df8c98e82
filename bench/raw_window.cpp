// The client's main window as a plain Win32 program would show it, and nothing else: the
// yardstick for how fast the client could show that window. The same twelve windows
// (classes, styles, places, sizes and texts as the client makes them, at 96 DPI), the same
// manifest, icon and statically imported libraries, the same picture on the screen; no
// toolkit, no pictures to decode (the background, flat areas and frames, is drawn with
// GDI), no login, no browser views. It runs until it is closed.
//
// The pictures must stay the same bytes as the client's: bench/startup_bench.sh compares
// them and the import lists of both programs. The program is written for 96 DPI only.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <string>

#include "client_ids.h"
#include "config.h"
#include "texts.h"

namespace {

constexpr COLORREF BACK = 0x151515;
constexpr COLORREF FRONT = RGB(137, 127, 98);
constexpr COLORREF LINE = 0x232323;
constexpr int LIST_PANEL_X = 507, LIST_PANEL_Y = 52, LIST_PANEL_WIDTH = 260,
              LIST_PANEL_HEIGHT = 510;
constexpr int TOGGLE_X = 460, TOGGLE_Y = 390;

HBRUSH backBrush;
HWND searchField, listView, toggle, preview;
int rowHeight = 0;

std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  int length = MultiByteToWideChar(1251, 0, text.data(), static_cast<int>(text.size()), &wide[0],
                                   static_cast<int>(wide.size()));
  wide.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return wide;
}

// The description label's text before a search: as the client composes it.
std::wstring AboutText() {
  std::string base = VS_SITE_BASE_ADDRESS;
  if (!base.empty() && base.back() == '/') base.pop_back();
  return Wide(std::string(TEXT_ABOUT_SITE) + base + "\r\n\r\n" + TEXT_ABOUT_FIRST_START +
              "\r\n\r\n" + TEXT_ABOUT_ENJOY);
}

// ---------------------------------------------------------------------------------------
// The background, as assets/make_pictures.sh draws it at 100 %: inclusive pixel ranges.

void Box(HDC dc, int x0, int y0, int x1, int y1, COLORREF color) {
  RECT area = {x0, y0, x1 + 1, y1 + 1};
  SetBkColor(dc, color);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);  // a fill without a brush
}

void Ring(HDC dc, int x0, int y0, int x1, int y1, COLORREF color) {
  Box(dc, x0, y0, x1, y0, color);
  Box(dc, x0, y1, x1, y1, color);
  Box(dc, x0, y0, x0, y1, color);
  Box(dc, x1, y0, x1, y1, color);
}

void Frame(HDC dc, int x0, int y0, int x1, int y1) {
  const COLORREF colours[] = {0x050505, 0x2F2F2F, 0x353535, 0x323232, 0x0C0C0C};
  for (int i = 0; i < 5; ++i) Ring(dc, x0 + i, y0 + i, x1 - i, y1 - i, colours[i]);
}

void DrawBackground(HDC dc) {
  Box(dc, 0, 0, MAIN_WIDTH - 1, MAIN_HEIGHT - 1, BACK);
  Frame(dc, 5, 6, 496, 414);
  Box(dc, 10, 372, 491, 409, 0x2F2F2F);
  Frame(dc, 5, 424, 496, 595);
  Box(dc, 283, 429, 287, 590, 0x2F2F2F);
  Frame(dc, 306, 445, 473, 574);
  Box(dc, 311, 450, 468, 569, 0x2F2F2F);
  Frame(dc, 503, 6, 771, 33);
  Frame(dc, 503, 40, 771, 575);
  // The panel icon (a screen on a stand) in its place.
  const COLORREF icon = RGB(101, 98, 97);
  Ring(dc, TOGGLE_X + 1, TOGGLE_Y, TOGGLE_X + 14, TOGGLE_Y + 8, icon);
  Box(dc, TOGGLE_X + 3, TOGGLE_Y + 2, TOGGLE_X + 12, TOGGLE_Y + 6, icon);
  Box(dc, TOGGLE_X + 7, TOGGLE_Y + 9, TOGGLE_X + 8, TOGGLE_Y + 10, icon);
  Box(dc, TOGGLE_X + 4, TOGGLE_Y + 11, TOGGLE_X + 11, TOGGLE_Y + 12, icon);
}

// ---------------------------------------------------------------------------------------
// The result list's grid: a line under each row's place, one at the column's right edge,
// and (the list not themed, as under Wine) the lines the client draws under its hidden
// header.

void DrawLine(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

void DrawGrid(HDC dc) {
  RECT client;
  GetClientRect(listView, &client);
  HPEN line = CreatePen(PS_SOLID, 1, LINE);
  HPEN back = CreatePen(PS_SOLID, 1, BACK);
  HGDIOBJ old = SelectObject(dc, line);
  for (int y = rowHeight - 1; y < client.bottom; y += rowHeight)
    if (y > 0) DrawLine(dc, 0, y, client.right, y);
  SelectObject(dc, back);
  DrawLine(dc, 0, 0, client.right, 0);
  SelectObject(dc, line);
  DrawLine(dc, 0, 1, client.right, 1);
  DrawLine(dc, client.right - 1, 1, client.right - 1, client.bottom);
  SelectObject(dc, old);
  DeleteObject(back);
  DeleteObject(line);
}

LRESULT Colours(HDC dc, HWND control) {
  if (control == toggle || control == preview)
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));  // the background shows
  SetTextColor(dc, FRONT);
  SetBkColor(dc, BACK);
  return reinterpret_cast<LRESULT>(backBrush);
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      DrawBackground(reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      return Colours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) SetFocus(searchField);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ERASEBKGND) {
    RECT client;
    GetClientRect(panel, &client);
    FillRect(reinterpret_cast<HDC>(wParam), &client, backBrush);
    return 1;
  }
  if (message == WM_NOTIFY) {
    auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
    if (draw->nmcd.hdr.hwndFrom == listView && draw->nmcd.hdr.code == NM_CUSTOMDRAW) {
      if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYPOSTPAINT;
      if (draw->nmcd.dwDrawStage == CDDS_POSTPAINT) DrawGrid(draw->nmcd.hdc);
      return CDRF_DODEFAULT;
    }
  }
  return DefWindowProcW(panel, message, wParam, lParam);
}

HWND Child(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style, int x,
           int y, int width, int height) {
  HWND control = CreateWindowExW(0, className, text.c_str(), style, x, y, width, height, parent,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               FALSE);
  return control;
}

// The longest beginning of `text` that fits the label with "..." after it, as the client
// cuts a description that does not fit.
std::wstring FittedText(HWND label, const std::wstring& text) {
  RECT client;
  GetClientRect(label, &client);
  const UINT format = DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX | DT_LEFT | DT_CALCRECT;
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  auto fits = [&](const std::wstring& candidate) {
    RECT box = {0, 0, client.right, 0};
    DrawTextW(dc, candidate.c_str(), static_cast<int>(candidate.size()), &box, format);
    return box.right <= client.right && box.bottom <= client.bottom;
  };
  std::wstring shown = text;
  if (!fits(text)) {
    size_t low = 0, high = text.size();
    while (low < high) {
      size_t middle = (low + high + 1) / 2;
      if (fits(text.substr(0, middle) + L"..."))
        low = middle;
      else
        high = middle - 1;
    }
    shown = text.substr(0, low);
    shown.erase(shown.find_last_not_of(L" \t\r\n") + 1);
    shown += L"...";
  }
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  return shown;
}

void MakeResultList(HWND window) {
  WNDCLASSW panelClass = {};
  panelClass.lpfnWndProc = PanelProc;
  panelClass.hInstance = GetModuleHandleW(nullptr);
  panelClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
  panelClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  panelClass.cbWndExtra = sizeof(LONG_PTR);
  panelClass.lpszClassName = L"VeroContainer";
  RegisterClassW(&panelClass);
  HWND panel = Child(window, L"VeroContainer", L"", WS_CHILD | WS_VISIBLE, LIST_PANEL_X,
                     LIST_PANEL_Y, LIST_PANEL_WIDTH, LIST_PANEL_HEIGHT);
  listView = Child(panel, WC_LISTVIEWW, Wide(TEXT_RESULT_LIST_NAME), 0x5001404D, 0, 0,
                   LIST_PANEL_WIDTH, LIST_PANEL_HEIGHT);
  SendMessageW(listView, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_DOUBLEBUFFER);
  SendMessageW(listView, LVM_SETTEXTCOLOR, 0, FRONT);
  SendMessageW(listView, LVM_SETBKCOLOR, 0, BACK);
  SendMessageW(listView, LVM_SETTEXTBKCOLOR, 0, BACK);
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  column.cx = LIST_PANEL_WIDTH;
  column.pszText = const_cast<wchar_t*>(L"--------");
  SendMessageW(listView, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  // Whole rows only: the height of a row, measured on a row put in and taken out again.
  LVITEMW item = {};
  item.mask = LVIF_TEXT;
  item.pszText = const_cast<wchar_t*>(L"");
  SendMessageW(listView, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  RECT row = {LVIR_BOUNDS, 0, 0, 0};
  SendMessageW(listView, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
  SendMessageW(listView, LVM_DELETEALLITEMS, 0, 0);
  rowHeight = row.bottom - row.top;
  if (rowHeight > 0)
    SetWindowPos(listView, nullptr, 0, 0, LIST_PANEL_WIDTH,
                 LIST_PANEL_HEIGHT / rowHeight * rowHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  backBrush = CreateSolidBrush(BACK);

  WNDCLASSW windowClass = {};
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = MainProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
  windowClass.lpszClassName = L"WindowClass_100";
  RegisterClassW(&windowClass);
  const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT outer = {0, 0, MAIN_WIDTH, MAIN_HEIGHT};
  AdjustWindowRectEx(&outer, style, FALSE, WS_EX_TOPMOST);
  int width = outer.right - outer.left, height = outer.bottom - outer.top;
  HWND window = CreateWindowExW(WS_EX_TOPMOST, L"WindowClass_100", Wide(TEXT_MAIN_TITLE).c_str(),
                                style, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                                (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height,
                                nullptr, nullptr, instance, nullptr);

  // In the client's tab order, which is also its order of windows.
  searchField = Child(window, L"Edit", Wide(TEXT_SEARCH_DEFAULT), 0x50030080, 520, 13, 170, 15);
  Child(window, L"STATIC", Wide(TEXT_SEARCH_LINK), 0x50010000, 710, 13, 40, 15);
  MakeResultList(window);
  Child(window, L"STATIC", Wide(TEXT_DOWNLOAD_LINK), 0x50010000, 230, 573, 50, 15);
  toggle = Child(window, L"STATIC", L"", 0x50010100, TOGGLE_X, TOGGLE_Y, 16, 13);
  Child(window, L"STATIC", Wide(VS_AUTHOR_ADDRESS), 0x50010000, 630, 585, 130, 15);
  preview = Child(window, L"STATIC", L"", 0x50000100, 310, 450, PREVIEW_WIDTH, PREVIEW_HEIGHT);
  Child(window, L"Static", Wide(TEXT_TITLE_DEFAULT), 0x50020081, 15, 440, 263, 15);
  HWND description = Child(window, L"Static", L"", 0x50020080, 15, 465, 263, 108);
  SetWindowTextW(description, FittedText(description, AboutText()).c_str());
  Child(window, L"Button", L"", 0x50030000, 0, 0, 0, 0);
  ShowWindow(window, SW_SHOWNORMAL);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
