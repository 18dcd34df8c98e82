// List-icon gadget: creation styles, rows and columns from line feeds, selection, texts,
// colours (list and cells, read back from the screen), pictures, real clicks with their
// event sequences, and the toolkit's own grid lines.
#include "listicon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "gadget_items.h"
#include "startup.h"
#include "tk_test_util.h"
#include "toolkit_internal.h"
// after windows.h
#include <commctrl.h>

namespace {

const COLORREF GREEN = RGB(0, 200, 0);
const COLORREF RED = RGB(220, 0, 0);
const COLORREF BLUE = RGB(0, 0, 230);
const COLORREF DARK = RGB(21, 21, 21);

class ListIconTest : public ToolkitTest {
 protected:
  void SetUp() override { OpenWindow(100, 100, 420, 320, "list"); }
  HWND Create(int flags, int number = 7, int width = 280, int height = 240) {
    list_ = reinterpret_cast<HWND>(
        ListIconGadgetCreate(number, 10, 10, width, height, "Title", 250, flags));
    return list_;
  }
  void AddRows(int count, int number = 7) {
    for (int i = 0; i < count; ++i) GadgetAddItem(number, -1, "row " + std::to_string(i), 0);
  }
  RECT RowRect(int row) {
    RECT rect = {LVIR_BOUNDS, 0, 0, 0};
    SendMessageA(list_, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
    return rect;
  }
  // Paints the list now and gives the display a moment to show it.
  void Repaint() {
    RedrawWindow(list_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    GdiFlush();
    DrainEvents(30);
  }
  // The on-screen colour of a point in the list's client area.
  COLORREF ListPixel(int x, int y) {
    Repaint();
    POINT at = {x, y};
    MapWindowPoints(list_, window_, &at, 1);
    return ClientPixel(window_, at.x, at.y);
  }
  // The rows y (client coordinates of the list) at which column x shows `color`.
  std::vector<int> RowsWithColor(int x, COLORREF color) {
    Repaint();
    RECT client;
    GetClientRect(list_, &client);
    POINT origin = {0, 0};
    ClientToScreen(list_, &origin);
    std::vector<int> rows;
    HDC screen = GetDC(nullptr);
    for (int y = 0; y < client.bottom; ++y)
      if (ColorNear(GetPixel(screen, origin.x + x, origin.y + y), color)) rows.push_back(y);
    ReleaseDC(nullptr, screen);
    return rows;
  }
  void ClickAt(int x, int y) {
    POINT at = {x, y};
    MapWindowPoints(list_, window_, &at, 1);
    MouseMoveTo(window_, at.x, at.y);
    DrainEvents(30);
    LeftClick();
  }
  std::vector<int> ListEvents(int ms = 150, int number = 7) {
    std::vector<int> types;
    for (const SeenEvent& e : DrainEvents(ms))
      if (e.event == EVENT_GADGET && e.gadget == number) types.push_back(e.type);
    return types;
  }
  HWND list_ = nullptr;
};

// --- creation ------------------------------------------------------------------------

TEST_F(ListIconTest, CreationSetsStylesAndTheFirstColumn) {
  ASSERT_NE(Create(LIST_NO_HEADER | LIST_GRID_LINES), nullptr);
  char name[32] = "";
  GetClassNameA(list_, name, sizeof name);
  EXPECT_STREQ(name, "SysListView32");
  EXPECT_EQ(GadgetKindOf(7), KIND_LIST_ICON);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(list_, GWL_STYLE)), 0x50014045u);
  EXPECT_TRUE(GetWindowLongA(list_, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  DWORD extended = static_cast<DWORD>(SendMessageA(list_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  EXPECT_EQ(extended, static_cast<DWORD>(LVS_EX_DOUBLEBUFFER));
  EXPECT_EQ(GadgetGetItemText(7, -1, 0), "Title");
  EXPECT_EQ(GadgetGetItemAttribute(7, 0, LIST_ITEM_ATTRIBUTE_WIDTH, 0), 250);
  EXPECT_EQ(GadgetGetAttribute(7, LIST_ATTRIBUTE_VIEW), LIST_VIEW_REPORT);
  EXPECT_EQ(GadgetCountItems(7), 0);
  EXPECT_EQ(GadgetGetState(7), -1);
  EXPECT_EQ(GadgetGetText(7), "");
  EXPECT_EQ(GadgetGetColor(7, COLOR_LINE), -1);

  HWND multi =
      Create(LIST_MULTI_SELECT | LIST_CHECKBOXES | LIST_HEADER_DRAG | LIST_FULL_ROW_SELECT, 8);
  ASSERT_NE(multi, nullptr);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(multi, GWL_STYLE)), 0x50010041u);
  EXPECT_TRUE(GetWindowLongA(multi, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  extended = static_cast<DWORD>(SendMessageA(multi, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  EXPECT_EQ(extended, static_cast<DWORD>(LVS_EX_DOUBLEBUFFER | LVS_EX_CHECKBOXES |
                                         LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT));

  // Borderless: no edge, and the flag is no window style; the client area is the whole list.
  HWND plain = Create(LIST_NO_HEADER | LIST_BORDERLESS, 9);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(plain, GWL_STYLE)), 0x50014045u);
  EXPECT_EQ(GetWindowLongA(plain, GWL_EXSTYLE) & WS_EX_CLIENTEDGE, 0);
  RECT outer, inner;
  GetWindowRect(plain, &outer);
  GetClientRect(plain, &inner);
  EXPECT_EQ(inner.bottom, outer.bottom - outer.top);
  EXPECT_EQ(ListIconGadgetCreate(ANY_NUMBER, 0, 0, 10, 10, "", 10, 0) != 0, true);
}

// --- rows, columns and texts ----------------------------------------------------------

TEST_F(ListIconTest, RowTextsSplitIntoColumnsAtLineFeeds) {
  Create(0);
  GadgetAddColumn(7, -1, "Second", 60);
  GadgetAddColumn(7, -1, "Third", 60);
  EXPECT_EQ(GadgetGetItemText(7, -1, 1), "Second");
  GadgetAddItem(7, -1, "a\nb\nc", 0);
  GadgetAddItem(7, -1, "one\ntwo\nthree\nfour", 0);  // the fourth piece has no column
  GadgetAddItem(7, -1, "x\n", 0);                    // a trailing line feed adds nothing
  GadgetAddItem(7, 0, "first\n\nlast", 0);           // an empty middle piece stays empty
  ASSERT_EQ(GadgetCountItems(7), 4);
  EXPECT_EQ(GadgetGetItemText(7, 0, 0), "first");
  EXPECT_EQ(GadgetGetItemText(7, 0, 1), "");
  EXPECT_EQ(GadgetGetItemText(7, 0, 2), "last");
  EXPECT_EQ(GadgetGetItemText(7, 1, 0), "a");
  EXPECT_EQ(GadgetGetItemText(7, 1, 1), "b");
  EXPECT_EQ(GadgetGetItemText(7, 1, 2), "c");
  EXPECT_EQ(GadgetGetItemText(7, 2, 2), "three");
  EXPECT_EQ(GadgetGetItemText(7, 2, 3), "");
  EXPECT_EQ(GadgetGetItemText(7, 3, 0), "x");
  EXPECT_EQ(GadgetGetItemText(7, 3, 1), "");
  EXPECT_EQ(GadgetGetItemText(7, 9, 0), "");
  // "three" and "first" are the longest pieces, "four" counts though it is not shown.
  EXPECT_EQ(GadgetLookup(7)->data[0], 5);

  GadgetSetItemText(7, 1, "longer text", 1);
  EXPECT_EQ(GadgetGetItemText(7, 1, 1), "longer text");
  EXPECT_EQ(GadgetLookup(7)->data[0], 11);
  GadgetSetItemText(7, -1, "Renamed", 2);
  EXPECT_EQ(GadgetGetItemText(7, -1, 2), "Renamed");

  GadgetRemoveItem(7, 0);
  EXPECT_EQ(GadgetCountItems(7), 3);
  EXPECT_EQ(GadgetGetItemText(7, 0, 0), "a");
  GadgetRemoveItem(7, 17);  // no such row
  EXPECT_EQ(GadgetCountItems(7), 3);
}

TEST_F(ListIconTest, RussianCellsAndTitlesReachTheControlAsThemselves) {
  Create(0);
  GadgetAddColumn(7, 1, "\xCD\xE0\xE7\xE2\xE0\xED\xE8\xE5", 80);  // Название
  // "Фантастика" and "Звёздный патруль" in Windows-1251.
  const String first = "\xD4\xE0\xED\xF2\xE0\xF1\xF2\xE8\xEA\xE0";
  const String second = "\xC7\xE2\xB8\xE7\xE4\xED\xFB\xE9 \xEF\xE0\xF2\xF0\xF3\xEB\xFC";
  GadgetAddItem(7, -1, first + "\n" + second, 0);
  // What the control holds, asked as another program would ask it.
  wchar_t text[64] = L"";
  LVITEMW item = {};
  item.pszText = text;
  item.cchTextMax = 64;
  SendMessageW(list_, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_STREQ(text, L"Фантастика");
  item.iSubItem = 1;
  SendMessageW(list_, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_STREQ(text, L"Звёздный патруль");
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT;
  column.pszText = text;
  column.cchTextMax = 64;
  SendMessageW(list_, LVM_GETCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
  EXPECT_STREQ(text, L"Название");
  EXPECT_EQ(GadgetGetItemText(7, 0, 1), second);
  EXPECT_EQ(GadgetGetItemText(7, -1, 1), "\xCD\xE0\xE7\xE2\xE0\xED\xE8\xE5");
  // A cell set around the gadget to a character the code page lacks says so when read.
  wcscpy(text, L"Кино 用");
  item.iSubItem = 0;
  SendMessageW(list_, LVM_SETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
  char32_t lacking = 0;
  EXPECT_EQ(GadgetGetItemText(7, 0, 0, &lacking), "\xCA\xE8\xED\xEE ?");  // Кино ?
  EXPECT_EQ(lacking, U'\u7528');
  GadgetSetState(7, 0);
  lacking = 0;
  EXPECT_EQ(GadgetGetText(7, &lacking), "\xCA\xE8\xED\xEE ?");
  EXPECT_EQ(lacking, U'\u7528');
}

TEST_F(ListIconTest, LongTextsComeBackWholeAndClearingStartsAgain) {
  Create(0);
  std::string longText(5000, 'z');
  longText += "end";
  GadgetAddItem(7, -1, longText, 0);
  GadgetAddItem(7, -1, "short", 0);
  EXPECT_EQ(GadgetGetItemText(7, 0, 0), longText);
  GadgetSetState(7, 0);
  EXPECT_EQ(GadgetGetText(7), longText);

  GadgetClearItems(7);
  EXPECT_EQ(GadgetCountItems(7), 0);
  EXPECT_EQ(GadgetLookup(7)->data[0], 0);
  EXPECT_EQ(GadgetGetState(7), -1);
  EXPECT_EQ(GadgetGetText(7), "");
  GadgetAddItem(7, -1, "abc", 0);
  EXPECT_EQ(GadgetLookup(7)->data[0], 3);
  // A cell set around the gadget, longer than any it stored, still comes back whole.
  std::string outside(300, 'q');
  LVITEMA item = {};
  item.iSubItem = 0;
  item.pszText = &outside[0];
  SendMessageA(list_, LVM_SETITEMTEXTA, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(GadgetGetItemText(7, 0, 0), outside);
}

TEST_F(ListIconTest, StateSelectsAndTextFollowsTheSelection) {
  Create(0);
  GadgetAddColumn(7, 1, "Two", 50);
  for (int i = 0; i < 30; ++i) GadgetAddItem(7, -1, "r" + std::to_string(i) + "\nc", 0);
  GadgetSetState(7, 2);
  EXPECT_EQ(GadgetGetState(7), 2);
  EXPECT_EQ(GadgetGetText(7), "r2");
  EXPECT_EQ(GadgetGetItemState(7, 2), 1);
  EXPECT_EQ(GadgetGetItemState(7, 1), 0);
  EXPECT_EQ(SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 2);

  // A row far down is scrolled into view.
  GadgetSetState(7, 29);
  EXPECT_EQ(GadgetGetState(7), 29);
  EXPECT_EQ(GadgetGetItemState(7, 2), 0);
  RECT client, row = RowRect(29);
  GetClientRect(list_, &client);
  EXPECT_LE(row.bottom, client.bottom);  // wholly
  EXPECT_GE(row.top, 0);

  GadgetSetText(7, "new\ncell");
  EXPECT_EQ(GadgetGetItemText(7, 29, 0), "new");
  EXPECT_EQ(GadgetGetItemText(7, 29, 1), "cell");

  GadgetSetState(7, -1);
  EXPECT_EQ(GadgetGetState(7), -1);
  EXPECT_EQ(SendMessageA(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), -1);
  EXPECT_EQ(GadgetGetText(7), "");
  GadgetSetText(7, "nothing selected");  // no row to change
  EXPECT_EQ(GadgetGetItemText(7, 29, 0), "new");

  GadgetSetItemState(7, 4, 1);
  EXPECT_EQ(GadgetGetState(7), 4);
  GadgetSetItemState(7, 4, 0);
  EXPECT_EQ(GadgetGetState(7), -1);
  // Without check boxes, bit 2 changes nothing.
  GadgetSetItemState(7, 5, 2);
  EXPECT_EQ(GadgetGetItemState(7, 5), 0);
}

TEST_F(ListIconTest, CheckBoxesAndMultipleSelection) {
  Create(LIST_CHECKBOXES | LIST_MULTI_SELECT);
  AddRows(4);
  DrainEvents(30);
  GadgetSetItemState(7, 1, 2);
  EXPECT_EQ(GadgetGetItemState(7, 1), 2);
  // Ticking is a change of the check box image from a non-zero one.
  std::vector<int> types = ListEvents();
  EXPECT_EQ(std::count(types.begin(), types.end(), TYPE_CHANGE), 1);
  GadgetSetItemState(7, 1, 3);
  GadgetSetItemState(7, 3, 1);
  EXPECT_EQ(GadgetGetItemState(7, 1), 3);
  EXPECT_EQ(GadgetGetItemState(7, 3), 1);
  EXPECT_EQ(GadgetGetState(7), 1);  // the first selected row
  GadgetSetItemState(7, 1, 0);
  EXPECT_EQ(GadgetGetItemState(7, 1), 0);
  EXPECT_EQ(GadgetGetState(7), 3);
  GadgetSetState(7, -1);  // deselects all
  EXPECT_EQ(GadgetGetItemState(7, 3), 0);
}

TEST_F(ListIconTest, ViewsAndColumnWidths) {
  Create(0);
  for (int view : {LIST_VIEW_ICON, LIST_VIEW_SMALL_ICON, LIST_VIEW_LIST, LIST_VIEW_REPORT}) {
    GadgetSetAttribute(7, LIST_ATTRIBUTE_VIEW, view);
    EXPECT_EQ(GadgetGetAttribute(7, LIST_ATTRIBUTE_VIEW), view);
  }
  EXPECT_EQ(GetWindowLongA(list_, GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
  GadgetSetAttribute(7, LIST_ATTRIBUTE_VIEW, 9);  // not a view
  EXPECT_EQ(GadgetGetAttribute(7, LIST_ATTRIBUTE_VIEW), LIST_VIEW_REPORT);
  GadgetSetItemAttribute(7, 0, LIST_ITEM_ATTRIBUTE_WIDTH, 123, 0);
  EXPECT_EQ(GadgetGetItemAttribute(7, 0, LIST_ITEM_ATTRIBUTE_WIDTH, 0), 123);
}

TEST_F(ListIconTest, AFillColumnTakesTheWidthTheScrollBarLeaves) {
  Create(LIST_NO_HEADER, 7, 200, 100);
  int emptyRow = ListIconRowHeight(7);
  GadgetSetItemAttribute(7, 0, LIST_ITEM_ATTRIBUTE_WIDTH, LIST_COLUMN_FILL, 0);
  AddRows(30);  // the vertical scroll bar comes; no horizontal one follows
  EXPECT_EQ(GetWindowLongA(list_, GWL_STYLE) & (WS_VSCROLL | WS_HSCROLL), WS_VSCROLL);
  RECT client;
  GetClientRect(list_, &client);
  EXPECT_EQ(GadgetGetItemAttribute(7, 0, LIST_ITEM_ATTRIBUTE_WIDTH, 0), client.right);
  EXPECT_GT(emptyRow, 0);
  EXPECT_EQ(ListIconRowHeight(7), emptyRow);
}

// --- colours -------------------------------------------------------------------------

TEST_F(ListIconTest, ListColoursAndTheirDefaults) {
  Create(LIST_NO_HEADER);
  int32_t defaultFront = GadgetGetColor(7, COLOR_FRONT);
  int32_t defaultBack = GadgetGetColor(7, COLOR_BACK);
  GadgetSetColor(7, COLOR_BACK, DARK);
  GadgetSetColor(7, COLOR_FRONT, RGB(137, 127, 98));
  GadgetSetColor(7, COLOR_LINE, GREEN);
  EXPECT_EQ(GadgetGetColor(7, COLOR_BACK), static_cast<int32_t>(DARK));
  EXPECT_EQ(GadgetGetColor(7, COLOR_FRONT), static_cast<int32_t>(RGB(137, 127, 98)));
  EXPECT_EQ(GadgetGetColor(7, COLOR_LINE), static_cast<int32_t>(GREEN));
  EXPECT_EQ(GadgetGetColor(7, 4), -1);
  EXPECT_EQ(SendMessageA(list_, LVM_GETTEXTBKCOLOR, 0, 0), static_cast<LRESULT>(DARK));
  EXPECT_EQ(GadgetLookup(7)->data[3], 3);
  DrainEvents(30);
  EXPECT_TRUE(ColorNear(ListPixel(200, 200), DARK));

  GadgetSetColor(7, COLOR_BACK, -1);
  GadgetSetColor(7, COLOR_FRONT, -1);
  GadgetSetColor(7, COLOR_LINE, -1);
  EXPECT_EQ(GadgetGetColor(7, COLOR_BACK), defaultBack);
  EXPECT_EQ(GadgetGetColor(7, COLOR_FRONT), defaultFront);
  EXPECT_EQ(GadgetGetColor(7, COLOR_LINE), -1);
  EXPECT_EQ(GadgetLookup(7)->data[3], 0);
  EXPECT_TRUE(ColorNear(ListPixel(200, 200), static_cast<COLORREF>(defaultBack)));

  // The defaults are those of the first list, even for a list changed before.
  GadgetSetColor(7, COLOR_BACK, DARK);
  Create(0, 8);
  EXPECT_EQ(GadgetGetColor(8, COLOR_BACK), defaultBack);
}

TEST_F(ListIconTest, CellColoursArePaintedAndFollowTheColumns) {
  Create(LIST_NO_HEADER);
  GadgetAddColumn(7, -1, "two", 20);
  SendMessageA(list_, LVM_SETCOLUMNWIDTH, 0, 150);
  AddRows(3);
  EXPECT_EQ(GadgetGetItemColor(7, 1, COLOR_BACK, 0), -1);
  GadgetSetItemColor(7, 1, COLOR_BACK, RED, -1);
  GadgetSetItemColor(7, 1, COLOR_FRONT, BLUE, 1);
  EXPECT_EQ(GadgetGetItemColor(7, 1, COLOR_BACK, 0), static_cast<int32_t>(RED));
  EXPECT_EQ(GadgetGetItemColor(7, 1, COLOR_BACK, 1), static_cast<int32_t>(RED));
  EXPECT_EQ(GadgetGetItemColor(7, 1, COLOR_FRONT, 0), -1);
  EXPECT_EQ(GadgetGetItemColor(7, 1, COLOR_FRONT, 1), static_cast<int32_t>(BLUE));
  EXPECT_EQ(GadgetGetItemColor(7, 0, COLOR_BACK, 0), -1);
  DrainEvents(30);
  RECT row1 = RowRect(1), row0 = RowRect(0);
  // Far right in column 0, away from the text: the cell's background.
  EXPECT_TRUE(ColorNear(ListPixel(140, (row1.top + row1.bottom) / 2), RED));
  EXPECT_FALSE(ColorNear(ListPixel(140, (row0.top + row0.bottom) / 2), RED));

  // Index -1 colours every row; -1 as colour returns a cell to the list's colour.
  GadgetSetItemColor(7, -1, COLOR_BACK, GREEN, 0);
  EXPECT_EQ(GadgetGetItemColor(7, 0, COLOR_BACK, 0), static_cast<int32_t>(GREEN));
  EXPECT_EQ(GadgetGetItemColor(7, 2, COLOR_BACK, 0), static_cast<int32_t>(GREEN));
  EXPECT_TRUE(ColorNear(ListPixel(140, (row0.top + row0.bottom) / 2), GREEN));
  GadgetSetItemColor(7, 2, COLOR_BACK, -1, 0);
  EXPECT_EQ(GadgetGetItemColor(7, 2, COLOR_BACK, 0), -1);

  // A column inserted in front shifts the pairs; removing it shifts them back.
  GadgetAddColumn(7, 0, "front", 40);
  EXPECT_EQ(GadgetGetItemColor(7, 1, COLOR_FRONT, 2), static_cast<int32_t>(BLUE));
  EXPECT_EQ(GadgetGetItemColor(7, 1, COLOR_BACK, 0), -1);
  EXPECT_EQ(GadgetGetItemColor(7, 1, COLOR_BACK, 1), static_cast<int32_t>(GREEN));
  GadgetRemoveColumn(7, 0);
  EXPECT_EQ(GadgetGetItemColor(7, 1, COLOR_FRONT, 1), static_cast<int32_t>(BLUE));
  EXPECT_EQ(GadgetGetItemColor(7, 1, COLOR_BACK, 0), static_cast<int32_t>(GREEN));
  EXPECT_EQ(GadgetGetItemColor(7, 1, COLOR_BACK, 5), -1);
}

TEST_F(ListIconTest, ItemDataBelongsToTheRow) {
  Create(0);
  AddRows(3);
  EXPECT_EQ(GadgetGetItemData(7, 1), 0);
  GadgetSetItemData(7, 1, 0x1234567890LL);
  GadgetSetItemData(7, 2, -5);
  EXPECT_EQ(GadgetGetItemData(7, 1), 0x1234567890LL);
  EXPECT_EQ(GadgetGetItemData(7, 2), -5);
  GadgetAddColumn(7, 0, "new", 30);
  EXPECT_EQ(GadgetGetItemData(7, 1), 0x1234567890LL);
  GadgetAddItem(7, 0, "inserted", 0);
  EXPECT_EQ(GadgetGetItemData(7, 2), 0x1234567890LL);
  GadgetRemoveItem(7, 2);
  EXPECT_EQ(GadgetGetItemData(7, 2), -5);
  GadgetSetItemData(7, 40, 1);  // no such row
  EXPECT_EQ(GadgetGetItemData(7, 40), 0);
}

// --- pictures ------------------------------------------------------------------------

HBITMAP SolidPicture(int width, int height, COLORREF color) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  HBRUSH brush = CreateSolidBrush(color);
  RECT all = {0, 0, width, height};
  FillRect(dc, &all, brush);
  DeleteObject(brush);
  SelectObject(dc, old);
  DeleteDC(dc);
  return bitmap;
}

int RowImage(HWND list, int row) {
  LVITEMA item = {};
  item.mask = LVIF_IMAGE;
  item.iItem = row;
  SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  return item.iImage;
}

TEST_F(ListIconTest, PicturesAreScaledIntoSharedListsOncePerHandle) {
  Create(0);
  HBITMAP red = SolidPicture(40, 30, RED);
  HBITMAP blue = SolidPicture(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), BLUE);
  HICON icon = LoadIconA(nullptr, IDI_APPLICATION);
  GadgetAddItem(7, -1, "no picture", 0);
  EXPECT_EQ(GadgetLookup(7)->data[1], 0);
  GadgetAddItem(7, -1, "red", reinterpret_cast<intptr_t>(red));
  GadgetAddItem(7, -1, "red again", reinterpret_cast<intptr_t>(red));
  GadgetAddItem(7, -1, "blue", reinterpret_cast<intptr_t>(blue));
  GadgetAddItem(7, -1, "icon", reinterpret_cast<intptr_t>(icon));
  ASSERT_NE(GadgetLookup(7)->data[1], 0);
  HIMAGELIST small =
      reinterpret_cast<HIMAGELIST>(SendMessageA(list_, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
  HIMAGELIST large =
      reinterpret_cast<HIMAGELIST>(SendMessageA(list_, LVM_GETIMAGELIST, LVSIL_NORMAL, 0));
  ASSERT_NE(small, nullptr);
  ASSERT_NE(large, nullptr);
  EXPECT_EQ(ImageList_GetImageCount(small), 4);  // placeholder, red, blue, icon
  EXPECT_EQ(ImageList_GetImageCount(large), 4);
  int width = 0, height = 0;
  ImageList_GetIconSize(small, &width, &height);
  EXPECT_EQ(width, GetSystemMetrics(SM_CXSMICON));
  ImageList_GetIconSize(large, &width, &height);
  EXPECT_EQ(height, GetSystemMetrics(SM_CYICON));
  EXPECT_EQ(RowImage(list_, 1), 1);
  EXPECT_EQ(RowImage(list_, 2), 1);
  EXPECT_EQ(RowImage(list_, 3), 2);
  EXPECT_EQ(RowImage(list_, 4), 3);
  // Drawn onto white: the scaled copy is the picture's colour throughout (its mask is
  // opaque), and the placeholder leaves the white untouched.
  auto drawn = [&](int index, int x, int y) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, 64, 64);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, canvas);
    RECT all = {0, 0, 64, 64};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ImageList_Draw(small, index, dc, 0, 0, ILD_NORMAL);
    COLORREF color = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteObject(canvas);
    DeleteDC(dc);
    return color;
  };
  int smallWidth = GetSystemMetrics(SM_CXSMICON), smallHeight = GetSystemMetrics(SM_CYSMICON);
  EXPECT_TRUE(ColorNear(drawn(1, 0, 0), RED));
  EXPECT_TRUE(ColorNear(drawn(1, smallWidth - 1, smallHeight - 1), RED));
  EXPECT_TRUE(ColorNear(drawn(2, smallWidth / 2, smallHeight / 2), BLUE));
  EXPECT_TRUE(ColorNear(drawn(0, smallWidth / 2, smallHeight / 2), RGB(255, 255, 255)));
  // The caller's pictures are left alone.
  BITMAP bitmap;
  EXPECT_NE(GetObjectA(red, sizeof bitmap, &bitmap), 0);

  GadgetClearItems(7);
  EXPECT_EQ(ImageList_GetImageCount(small), 1);
  EXPECT_EQ(ImageList_GetImageCount(large), 1);
  GadgetAddItem(7, -1, "red after clear", reinterpret_cast<intptr_t>(red));
  EXPECT_EQ(ImageList_GetImageCount(small), 2);
  EXPECT_EQ(RowImage(list_, 0), 1);
  WindowsEnd();
  DeleteObject(red);
  DeleteObject(blue);
}

// --- real clicks ---------------------------------------------------------------------

class ListClickTest : public ListIconTest {
 protected:
  void SetUp() override {
    ListIconTest::SetUp();
    ASSERT_TRUE(MakeForeground(window_));
    MouseMoveTo(window_, 410, 310);  // a corner where no gadget lies
    DrainEvents(40);
    Create(LIST_NO_HEADER);
    AddRows(3);
    DrainEvents(40);
  }
  void WaitForDoubleClickTime() { DrainEvents(static_cast<int>(GetDoubleClickTime()) + 50); }
};

TEST_F(ListClickTest, ClickingARowGivesChangeThenClick) {
  RECT row = RowRect(1);
  ClickAt(40, (row.top + row.bottom) / 2);
  std::vector<int> types = ListEvents(200);
  EXPECT_EQ(types, (std::vector<int>{TYPE_CHANGE, TYPE_LEFT_CLICK}));
  EXPECT_EQ(GadgetGetState(7), 1);
  EXPECT_EQ(GadgetGetText(7), "row 1");
  WaitForDoubleClickTime();

  // Clicking the selected row again changes nothing: just the click.
  ClickAt(40, (row.top + row.bottom) / 2);
  types = ListEvents(200);
  EXPECT_EQ(types, (std::vector<int>{TYPE_LEFT_CLICK}));
}

TEST_F(ListClickTest, DoubleClickingARowGivesADoubleClick) {
  RECT row = RowRect(2);
  ClickAt(40, (row.top + row.bottom) / 2);
  LeftClick();
  std::vector<int> types = ListEvents(300);
  EXPECT_EQ(std::count(types.begin(), types.end(), TYPE_LEFT_DOUBLE_CLICK), 1);
  ASSERT_FALSE(types.empty());
  EXPECT_EQ(types.back(), TYPE_LEFT_DOUBLE_CLICK);
  EXPECT_EQ(GadgetGetState(7), 2);
}

// Clicks that arrive while the program waits are handled after the wait, when the
// selection has moved on: each still names the row it was made on.
TEST_F(ListClickTest, EventsDeferredDuringAWaitKeepTheRowTheyWereMadeOn) {
  auto middle = [&](int row) { return (RowRect(row).top + RowRect(row).bottom) / 2; };
  ClickAt(40, middle(0));
  EventPumpUntil(nullptr, static_cast<int>(GetDoubleClickTime()) + 50);
  POINT at = {40, middle(2)};
  MapWindowPoints(list_, window_, &at, 1);
  MouseMoveTo(window_, at.x, at.y);
  EventPumpUntil(nullptr, 30);
  LeftClick();
  LeftClick();
  EventPumpUntil(nullptr, 300);
  KeyPress(VK_UP);
  EventPumpUntil(nullptr, 100);
  ASSERT_EQ(GadgetGetState(7), 1);
  int queued = EventQueued(EVENT_GADGET, 1, 7);
  std::vector<std::pair<int, intptr_t>> seen;
  while (int event = EventWaitFor(0))
    if (event == EVENT_GADGET && EventGadgetNumber() == 7)
      seen.push_back({EventTypeOf(), EventItem()});
  std::vector<std::pair<int, intptr_t>> clicks;
  for (const auto& e : seen)
    if (e.first != TYPE_CHANGE) clicks.push_back(e);
  EXPECT_EQ(clicks, (std::vector<std::pair<int, intptr_t>>{{TYPE_LEFT_CLICK, 0},
                                                           {TYPE_LEFT_CLICK, 2},
                                                           {TYPE_LEFT_DOUBLE_CLICK, 2},
                                                           {TYPE_KEYBOARD_SELECT, 1}}));
  EXPECT_EQ(std::count(seen.begin(), seen.end(), std::make_pair(TYPE_CHANGE, intptr_t{2})), 1);
  EXPECT_EQ(queued, static_cast<int>(seen.size()));
}

TEST_F(ListClickTest, ClickingBelowTheRowsDeselectsWithAChange) {
  RECT row = RowRect(0);
  ClickAt(40, (row.top + row.bottom) / 2);
  ListEvents(200);
  ASSERT_EQ(GadgetGetState(7), 0);
  WaitForDoubleClickTime();

  ClickAt(40, RowRect(2).bottom + 40);
  std::vector<int> types = ListEvents(200);
  EXPECT_EQ(types, (std::vector<int>{TYPE_CHANGE, TYPE_LEFT_CLICK}));
  EXPECT_EQ(GadgetGetState(7), -1);
  WaitForDoubleClickTime();

  // With nothing selected before, a click there is only a click.
  ClickAt(40, RowRect(2).bottom + 40);
  types = ListEvents(200);
  EXPECT_EQ(types, (std::vector<int>{TYPE_LEFT_CLICK}));
}

TEST_F(ListClickTest, RightClicksAndDragStart) {
  RECT row = RowRect(1);
  POINT at = {40, (row.top + row.bottom) / 2};
  ClickAt(at.x, at.y);
  ListEvents(200);
  WaitForDoubleClickTime();
  MouseButton(MOUSEEVENTF_RIGHTDOWN);
  MouseButton(MOUSEEVENTF_RIGHTUP);
  std::vector<int> types = ListEvents(200);
  EXPECT_EQ(std::count(types.begin(), types.end(), TYPE_RIGHT_CLICK), 1);
  WaitForDoubleClickTime();

  MouseButton(MOUSEEVENTF_LEFTDOWN);
  DrainEvents(40);
  POINT away = {at.x + 30, at.y + 25};
  MapWindowPoints(list_, window_, &away, 1);
  MouseMoveTo(window_, away.x, away.y);
  std::vector<SeenEvent> seen;
  EXPECT_TRUE(WaitForGadgetEvent(7, TYPE_DRAG_START, 2000, &seen));
  MouseButton(MOUSEEVENTF_LEFTUP);
  DrainEvents(60);
}

TEST_F(ListClickTest, KeysThatMoveTheSelectionSaySoEnterToo) {
  // "Звёздный патруль: официальный трейлер, полная версия" in Windows-1251.
  const std::string whole =
      "\xC7\xE2\xB8\xE7\xE4\xED\xFB\xE9 \xEF\xE0\xF2\xF0\xF3\xEB\xFC: "
      "\xEE\xF4\xE8\xF6\xE8\xE0\xEB\xFC\xED\xFB\xE9 \xF2\xF0\xE5\xE9\xEB\xE5\xF0, "
      "\xEF\xEE\xEB\xED\xE0\xFF \xE2\xE5\xF0\xF1\xE8\xFF";
  GadgetAddItem(7, 0, whole, 0);
  SendMessageA(list_, LVM_SETCOLUMNWIDTH, 0, 90);
  RECT row = RowRect(0);
  ClickAt(30, (row.top + row.bottom) / 2);  // the pointer rests on a cut row: its tip
  ListEvents(200);
  ASSERT_NE(ListIconTooltip(list_), nullptr);
  EXPECT_EQ(TooltipText(ListIconTooltip(list_), list_),
            L"Звёздный патруль: официальный трейлер, полная версия");
  KeyPress(VK_END);
  EXPECT_EQ(ListEvents(200), (std::vector<int>{TYPE_CHANGE, TYPE_KEYBOARD_SELECT}));
  EXPECT_EQ(GadgetGetState(7), 3);
  KeyPress(VK_DOWN);  // already at the end: nothing moved
  KeyPress(VK_RETURN);
  EXPECT_EQ(ListEvents(200), (std::vector<int>{TYPE_RETURN_KEY}));
  GadgetSetState(7, 1);  // the program's selection is no keyboard selection
  EXPECT_EQ(ListEvents(200), (std::vector<int>{TYPE_CHANGE}));
  ClickAt(30, (RowRect(1).top + RowRect(1).bottom) / 2);  // a row that fits: no tip
  EXPECT_EQ(TooltipText(ListIconTooltip(list_), list_), L"");
}

// --- grid lines ----------------------------------------------------------------------

class GridTest : public ListIconTest {
 protected:
  // Creates the list with grid lines in GREEN on a dark background.
  void CreateGrid(int flags) {
    Create(flags | LIST_GRID_LINES);
    GadgetSetColor(7, COLOR_BACK, DARK);
    GadgetSetColor(7, COLOR_LINE, GREEN);
    SendMessageA(list_, LVM_SETCOLUMNWIDTH, 0, 120);
  }
  // The y of each horizontal grid line at x = 60 (inside column 0).
  std::vector<int> HorizontalLines() { return RowsWithColor(60, GREEN); }
};

TEST_F(GridTest, LinesRunAlongTheRowBottomsAndOnThroughTheEmptyPart) {
  CreateGrid(LIST_NO_HEADER);
  AddRows(3);
  DrainEvents(30);
  RECT row0 = RowRect(0);
  int height = row0.bottom - row0.top;
  ASSERT_GT(height, 0);
  std::vector<int> lines = HorizontalLines();
  ASSERT_GE(lines.size(), 4u);
  // Without themes there is a line just under the (absent) header: y = 1.
  size_t first = 0;
  if (!SystemThemedLook()) {
    EXPECT_EQ(lines[0], 1);
    first = 1;
  }
  RECT client;
  GetClientRect(list_, &client);
  int expected = row0.bottom - 1;
  size_t count = 0;
  for (size_t i = first; i < lines.size(); ++i, ++count, expected += height)
    EXPECT_EQ(lines[i], expected) << "line " << i;
  // Below the three rows the lines go on at the same spacing, to the bottom.
  EXPECT_EQ(count, static_cast<size_t>((client.bottom - row0.bottom) / height + 1));
  // Inside a row, away from the lines: the background.
  EXPECT_TRUE(ColorNear(ListPixel(200, row0.top + height / 2), DARK));

  // The vertical line at the right edge of column 0 (its last pixel).
  RECT below = RowRect(2);
  EXPECT_TRUE(ColorNear(ListPixel(119, below.bottom + height / 2), GREEN));
  EXPECT_FALSE(ColorNear(ListPixel(125, below.bottom + height / 2), GREEN));
}

TEST_F(GridTest, AnEmptyListShowsLinesWhereRowsWouldBe) {
  CreateGrid(LIST_NO_HEADER);
  DrainEvents(30);
  std::vector<int> empty = HorizontalLines();
  ASSERT_GE(empty.size(), 3u);
  EXPECT_EQ(GadgetCountItems(7), 0);  // the measuring row is gone again
  GadgetAddItem(7, -1, "now a row", 0);
  RECT row0 = RowRect(0);
  std::vector<int> withRow = HorizontalLines();
  EXPECT_EQ(empty, withRow);
  size_t first = SystemThemedLook() ? 0 : 1;
  ASSERT_GT(empty.size(), first + 1);
  EXPECT_EQ(empty[first], row0.bottom - 1);
  EXPECT_EQ(empty[first + 1] - empty[first], row0.bottom - row0.top);
}

TEST_F(GridTest, ADisabledListDrawsNoLines) {
  CreateGrid(LIST_NO_HEADER);
  AddRows(2);
  DrainEvents(30);
  ASSERT_FALSE(HorizontalLines().empty());
  EnableWindow(list_, FALSE);
  DrainEvents(30);
  EXPECT_TRUE(HorizontalLines().empty());
  EnableWindow(list_, TRUE);
  DrainEvents(30);
  EXPECT_FALSE(HorizontalLines().empty());
}

TEST_F(GridTest, NoLinesWithoutTheFlagOrOutsideTheRowViews) {
  Create(LIST_NO_HEADER);
  GadgetSetColor(7, COLOR_BACK, DARK);
  GadgetSetColor(7, COLOR_LINE, GREEN);
  AddRows(2);
  DrainEvents(30);
  EXPECT_TRUE(RowsWithColor(60, GREEN).empty());

  CreateGrid(LIST_NO_HEADER);
  AddRows(2);
  GadgetSetAttribute(7, LIST_ATTRIBUTE_VIEW, LIST_VIEW_ICON);
  DrainEvents(30);
  EXPECT_TRUE(HorizontalLines().empty());
}

TEST_F(GridTest, WithAHeaderTheLinesStartBelowIt) {
  CreateGrid(0);
  AddRows(2);
  DrainEvents(30);
  HWND header = reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0));
  ASSERT_TRUE(header && IsWindowVisible(header));
  RECT headerRect;
  GetWindowRect(header, &headerRect);
  MapWindowPoints(nullptr, list_, reinterpret_cast<POINT*>(&headerRect), 2);
  std::vector<int> lines = HorizontalLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_GE(lines.front(), headerRect.bottom);
  RECT row0 = RowRect(0);
  EXPECT_NE(std::find(lines.begin(), lines.end(), row0.bottom - 1), lines.end());
  // The default line colour is the button face.
  GadgetSetColor(7, COLOR_LINE, -1);
  EXPECT_TRUE(ColorNear(ListPixel(60, row0.bottom - 1), GetSysColor(COLOR_BTNFACE)));
}

// --- lifetime ------------------------------------------------------------------------

TEST_F(ListIconTest, ReuseAndUnusedNumbers) {
  Create(0);
  AddRows(2);
  GadgetSetItemColor(7, 0, COLOR_BACK, RED, -1);
  HWND first = list_;
  Create(0);  // same number: the old list and its colour blocks go
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(GadgetCountItems(7), 0);
  GadgetFree(7);
  EXPECT_EQ(GadgetHandle(7), nullptr);
  // Operations on a number not in use do nothing.
  EXPECT_EQ(GadgetAddItem(7, -1, "x", 0), 0);
  EXPECT_EQ(GadgetCountItems(7), 0);
  EXPECT_EQ(GadgetGetItemText(7, 0, 0), "");
  EXPECT_EQ(GadgetGetItemColor(7, 0, COLOR_BACK, 0), -1);
  GadgetSetItemColor(7, 0, COLOR_BACK, RED, -1);
  GadgetRemoveColumn(7, 0);
}

}  // namespace
