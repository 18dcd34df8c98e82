// List-icon gadget on the list-view common control ("SysListView32"), report view.
//
// Record fields: the longest cell text stored since the last clear (the buffer size for
// reading cells back), the ItemImageList (0 until a row gets a picture), the grid-line
// colour (-1 = button face) and flags (LIST_HAS_*).
//
// Each row may own an ItemColors block as its item parameter: the row's user value and a
// {text colour + 1, background colour + 1} pair per column, 0 meaning the list's own
// colour. Custom draw paints cells from it, and after painting the toolkit draws the grid
// lines itself, so that they can have a colour of their own and also appear in an empty
// list, at the height rows would have.
#include "listicon.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "dpi.h"
#include "gadget_items.h"
#include "image.h"
#include "startup.h"
#include "toolkit_internal.h"
#include "wide.h"
// after windows.h
#include <commctrl.h>
#include <windowsx.h>

namespace {

constexpr intptr_t LIST_HAS_TEXT_COLOR = 1;
constexpr intptr_t LIST_HAS_BACK_COLOR = 2;
constexpr intptr_t LIST_HAS_GRID = 4;
// Bits 8 and up of the flags: the column that fills the list's width, + 1 (0 = none).
constexpr int FILL_COLUMN_SHIFT = 8;

// Window properties of the control. The row bounds are stored + 1 so that 0 means "not
// measured"; the last selected row is stored + 1 so that 0 (no property) means none.
const wchar_t* const ROW_TOP_PROPERTY = L"VsListRowTop";
const wchar_t* const ROW_BOTTOM_PROPERTY = L"VsListRowBottom";
const wchar_t* const LAST_SELECTED_PROPERTY = L"VsListLastSelected";
// The tooltip of cut cells and the cell it was last set for (row << 16 | column, + 1).
const wchar_t* const TIP_PROPERTY = L"VsListTip";
const wchar_t* const TIP_CELL_PROPERTY = L"VsListTipCell";
// The height in layout units that ListIconFitRows fits whole rows into, + 1.
const wchar_t* const FIT_HEIGHT_PROPERTY = L"VsListFitHeight";

// Colours of the first list created; -1 restores them.
bool defaultsKnown = false;
COLORREF defaultText = 0;
COLORREF defaultBack = 0;

// ---------------------------------------------------------------------------------------
// Row colour blocks

struct ItemColors {
  intptr_t value;  // the row's user value
  int columns;     // pairs that follow
  struct Pair {
    int32_t text;  // colour + 1, 0 = the list's
    int32_t back;
  } pairs[1];
};

size_t BlockSize(int columns) {
  return offsetof(ItemColors, pairs) + sizeof(ItemColors::Pair) * static_cast<size_t>(columns);
}

int ColumnCount(HWND list) {
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  if (header) return static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
  LVCOLUMNW column = {};
  column.mask = LVCF_WIDTH;
  int count = 0;
  while (SendMessageW(list, LVM_GETCOLUMNW, count, reinterpret_cast<LPARAM>(&column))) ++count;
  return count;
}

int RowCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

ItemColors* RowBlock(HWND list, int row) {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  return reinterpret_cast<ItemColors*>(item.lParam);
}

bool SetRowBlock(HWND list, int row, ItemColors* block) {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  item.lParam = reinterpret_cast<LPARAM>(block);
  return SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

// The row's block, created (all colours the list's, value 0) when it has none; null when
// the row does not exist or memory runs out.
ItemColors* EnsureRowBlock(HWND list, int row) {
  if (row < 0 || row >= RowCount(list)) return nullptr;
  ItemColors* block = RowBlock(list, row);
  if (block) return block;
  int columns = ColumnCount(list);
  block = static_cast<ItemColors*>(std::calloc(1, BlockSize(columns < 1 ? 1 : columns)));
  if (!block) return nullptr;
  block->columns = columns;
  if (!SetRowBlock(list, row, block)) {
    std::free(block);
    return nullptr;
  }
  return block;
}

void FreeRowBlock(HWND list, int row) {
  ItemColors* block = RowBlock(list, row);
  if (!block) return;
  SetRowBlock(list, row, nullptr);
  std::free(block);
}

void FreeAllRowBlocks(HWND list) {
  for (int row = RowCount(list) - 1; row >= 0; --row) FreeRowBlock(list, row);
}

// A column was inserted at `at`: every block gets a fresh pair there.
void GrowBlocks(HWND list, int at) {
  for (int row = RowCount(list) - 1; row >= 0; --row) {
    ItemColors* block = RowBlock(list, row);
    if (!block) continue;
    auto* grown = static_cast<ItemColors*>(std::realloc(block, BlockSize(block->columns + 1)));
    if (!grown) continue;  // the block keeps its old size; missing pairs read as default
    int place = at < grown->columns ? at : grown->columns;
    std::memmove(&grown->pairs[place + 1], &grown->pairs[place],
                 sizeof(ItemColors::Pair) * static_cast<size_t>(grown->columns - place));
    grown->pairs[place] = {0, 0};
    ++grown->columns;
    SetRowBlock(list, row, grown);
  }
}

// Column `at` was removed: its pair goes from every block.
void ShrinkBlocks(HWND list, int at) {
  for (int row = RowCount(list) - 1; row >= 0; --row) {
    ItemColors* block = RowBlock(list, row);
    if (!block || at >= block->columns) continue;
    std::memmove(&block->pairs[at], &block->pairs[at + 1],
                 sizeof(ItemColors::Pair) * static_cast<size_t>(block->columns - at - 1));
    --block->columns;
    if (block->columns > 0) {
      auto* shrunk = static_cast<ItemColors*>(std::realloc(block, BlockSize(block->columns)));
      if (shrunk) SetRowBlock(list, row, shrunk);
    }
  }
}

// ---------------------------------------------------------------------------------------
// Pictures: two image lists with a transparent placeholder as image 0, and a cache so
// that a picture handle is stored once.

struct ItemImageList {
  HIMAGELIST small = nullptr;
  HIMAGELIST large = nullptr;
  std::vector<std::pair<intptr_t, int>> cache;  // picture handle, index in the lists
};

void AddPlaceholder(HIMAGELIST list, int width, int height) {
  HDC screen = GetDC(nullptr);
  HBITMAP black = CreateCompatibleBitmap(screen, width, height);
  if (black) {
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, black);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SelectObject(dc, old);
    DeleteDC(dc);
    ImageList_AddMasked(list, black, RGB(0, 0, 0));
    DeleteObject(black);
  }
  ReleaseDC(nullptr, screen);
}

// The pictures at the system's icon sizes for the list's DPI.
ItemImageList* CreateItemImageList(int dpi) {
  auto* images = new (std::nothrow) ItemImageList();
  if (!images) return nullptr;
  int smallWidth = DpiSystemMetric(SM_CXSMICON, dpi);
  int smallHeight = DpiSystemMetric(SM_CYSMICON, dpi);
  int largeWidth = DpiSystemMetric(SM_CXICON, dpi), largeHeight = DpiSystemMetric(SM_CYICON, dpi);
  images->small = ImageList_Create(smallWidth, smallHeight, ILC_COLOR32 | ILC_MASK, 1, 1);
  images->large = ImageList_Create(largeWidth, largeHeight, ILC_COLOR32 | ILC_MASK, 1, 1);
  if (!images->small || !images->large) {
    if (images->small) ImageList_Destroy(images->small);
    if (images->large) ImageList_Destroy(images->large);
    delete images;
    return nullptr;
  }
  AddPlaceholder(images->small, smallWidth, smallHeight);
  AddPlaceholder(images->large, largeWidth, largeHeight);
  images->cache.reserve(25);
  return images;
}

void DestroyItemImageList(ItemImageList* images) {
  if (!images) return;
  ImageList_Destroy(images->small);
  ImageList_Destroy(images->large);
  delete images;
}

// Back to the placeholder alone, with an empty cache.
void ResetItemImageList(ItemImageList* images) {
  if (!images) return;
  int width, height;
  ImageList_Remove(images->small, -1);
  ImageList_GetIconSize(images->small, &width, &height);
  AddPlaceholder(images->small, width, height);
  ImageList_Remove(images->large, -1);
  ImageList_GetIconSize(images->large, &width, &height);
  AddPlaceholder(images->large, width, height);
  images->cache.clear();
}

// The bitmap at the list's image size (stretched onto black; the picture itself when the
// size already matches) added with its transparency mask. The index, -1 on failure.
int AddBitmapScaled(HIMAGELIST list, HBITMAP picture) {
  int width, height;
  ImageList_GetIconSize(list, &width, &height);
  BITMAP info;
  if (!GetObjectW(picture, sizeof info, &info)) return -1;
  HBITMAP scaled = picture;
  if (info.bmWidth != width || info.bmHeight != height) {
    // A 32-bit section keeps the alpha bytes through the stretching copy.
    void* bits = nullptr;
    scaled = ImageCreateSection(width, height, 32, &bits);
    if (!scaled) return -1;  // a fresh section is all zero: black
    HDC source = CreateCompatibleDC(nullptr);
    HDC target = CreateCompatibleDC(nullptr);
    HGDIOBJ oldSource = SelectObject(source, picture);
    HGDIOBJ oldTarget = SelectObject(target, scaled);
    SetStretchBltMode(target, COLORONCOLOR);
    StretchBlt(target, 0, 0, width, height, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(source, oldSource);
    SelectObject(target, oldTarget);
    DeleteDC(source);
    DeleteDC(target);
  }
  HBITMAP mask = ImageMask(scaled);
  int index = ImageList_Add(list, scaled, mask);
  if (mask) DeleteObject(mask);
  if (scaled != picture) DeleteObject(scaled);
  return index;
}

int AddPicture(ItemImageList* images, intptr_t picture) {
  for (const auto& entry : images->cache)
    if (entry.first == picture && entry.second >= 0) return entry.second;
  int index = -1;
  HGDIOBJ object = reinterpret_cast<HGDIOBJ>(picture);
  if (GetObjectType(object) == OBJ_BITMAP) {
    HBITMAP bitmap = static_cast<HBITMAP>(object);
    index = AddBitmapScaled(images->small, bitmap);
    AddBitmapScaled(images->large, bitmap);
  } else {
    HICON icon = reinterpret_cast<HICON>(picture);
    ICONINFO info;
    if (!GetIconInfo(icon, &info)) return -1;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    index = ImageList_AddIcon(images->small, icon);
    ImageList_AddIcon(images->large, icon);
  }
  if (index >= 0) {
    if (images->cache.size() == images->cache.capacity())
      images->cache.reserve(images->cache.size() + 25);
    images->cache.emplace_back(picture, index);
  }
  return index;
}

// ---------------------------------------------------------------------------------------
// Cell texts, which the control holds in UTF-16

// Cuts a row text at its line feeds into the pieces for columns 0, 1, ...; a trailing line
// feed adds no empty piece. Each line feed becomes the null that ends the piece before it,
// so that the pieces go to the control where they lie in `text`.
std::vector<std::wstring_view> SplitRow(std::wstring& text) {
  std::vector<std::wstring_view> pieces;
  size_t start = 0;
  while (true) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) {
      if (start < text.size() || pieces.empty())
        pieces.emplace_back(text.data() + start, text.size() - start);
      break;
    }
    text[end] = L'\0';
    pieces.emplace_back(text.data() + start, end - start);
    start = end + 1;
    if (start == text.size()) break;
  }
  return pieces;
}

void NoteLength(GadgetRecord& gadget, size_t length) {
  if (static_cast<intptr_t>(length) > gadget.data[0])
    gadget.data[0] = static_cast<intptr_t>(length);
}

// `text` ends where a null follows it (a whole string, or a piece of SplitRow).
bool SetCell(GadgetRecord& gadget, int row, int column, std::wstring_view text) {
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = const_cast<wchar_t*>(text.data());
  NoteLength(gadget, text.size());
  return SendMessageW(gadget.handle, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item)) != 0;
}

// Every cell of the row from the pieces of `text`.
void SetRowCells(GadgetRecord& gadget, int row, std::wstring text) {
  std::vector<std::wstring_view> pieces = SplitRow(text);
  for (size_t column = 0; column < pieces.size(); ++column)
    SetCell(gadget, row, static_cast<int>(column), pieces[column]);
}

std::wstring CellText(GadgetRecord& gadget, int row, int column) {
  if (row < 0 || row >= RowCount(gadget.handle)) return std::wstring();
  // The longest length stored is the buffer size; should a cell have been set around
  // this gadget, a full buffer means the text may have been cut: read again, larger.
  size_t size = static_cast<size_t>(gadget.data[0]) + 1;
  if (size < 2) size = 2;
  for (int attempt = 0; attempt < 8; ++attempt, size *= 4) {
    std::wstring text(size, L'\0');
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = &text[0];
    item.cchTextMax = static_cast<int>(size);
    LRESULT copied =
        SendMessageW(gadget.handle, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    if (copied < 0) return std::wstring();
    if (static_cast<size_t>(copied) + 1 < size) {
      text.resize(static_cast<size_t>(copied));
      return text;
    }
  }
  return std::wstring();
}

std::wstring HeaderTitle(HWND list, int column) {
  wchar_t title[4096] = L"";
  LVCOLUMNW info = {};
  info.mask = LVCF_TEXT;
  info.pszText = title;
  info.cchTextMax = 4096;
  if (!SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&info)))
    return std::wstring();
  return title;
}

int FirstSelected(HWND list) {
  return static_cast<int>(
      SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void SetRowState(HWND list, int row, UINT state, UINT mask) {
  LVITEMW item = {};
  item.stateMask = mask;
  item.state = state;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

bool HasCheckBoxes(HWND list) {
  return (SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES) != 0;
}

// The view as the gadget numbers it: 0 icon, 1 small icons, 2 list, 3 report.
int ViewOf(HWND list) {
  switch (GetWindowLongW(list, GWL_STYLE) & LVS_TYPEMASK) {
    case LVS_ICON:
      return LIST_VIEW_ICON;
    case LVS_SMALLICON:
      return LIST_VIEW_SMALL_ICON;
    case LVS_LIST:
      return LIST_VIEW_LIST;
    default:
      return LIST_VIEW_REPORT;
  }
}

bool RowView(HWND list) {
  int view = ViewOf(list);
  return view == LIST_VIEW_REPORT || view == LIST_VIEW_LIST;
}

// ---------------------------------------------------------------------------------------
// Column that fills the list's width

int FillColumn(const GadgetRecord& gadget) {
  return static_cast<int>(gadget.data[3] >> FILL_COLUMN_SHIFT) - 1;
}

// Gives the fill column the client width that the other columns leave. Setting it can
// show or hide the horizontal scroll bar, which changes the client area again: a few
// rounds settle it.
void FitFillColumn(GadgetRecord& gadget) {
  static bool fitting = false;  // the width set below resizes the client area again
  int fill = FillColumn(gadget);
  HWND list = gadget.handle;
  if (fill < 0 || fitting || fill >= ColumnCount(list)) return;
  fitting = true;
  for (int round = 0; round < 3; ++round) {
    RECT client;
    GetClientRect(list, &client);
    int width = client.right;
    for (int column = ColumnCount(list) - 1; column >= 0; --column)
      if (column != fill)
        width -= static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
    if (width < 0) width = 0;
    if (SendMessageW(list, LVM_GETCOLUMNWIDTH, fill, 0) == width) break;
    SendMessageW(list, LVM_SETCOLUMNWIDTH, fill, MAKELPARAM(width, 0));
  }
  fitting = false;
}

// Whether a cell's text is wider than its column leaves room for, so that the list cuts
// it with an ellipsis.
bool CellIsCut(GadgetRecord& gadget, int row, int column) {
  HWND list = gadget.handle;
  RECT cell = {LVIR_LABEL, column, 0, 0};  // the subitem's index goes in as its top
  UINT message = column == 0 ? LVM_GETITEMRECT : LVM_GETSUBITEMRECT;
  if (!SendMessageW(list, message, row, reinterpret_cast<LPARAM>(&cell))) return false;
  std::wstring text = CellText(gadget, row, column);
  int width = static_cast<int>(
      SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str())));
  // The list keeps a few pixels of margin on either side of a label.
  constexpr int LABEL_MARGINS = 12;
  return width + LABEL_MARGINS > cell.right - cell.left;
}

// The tip follows the pointer from cell to cell: the whole text of a cut cell, none for
// others.
void FollowPointerWithTip(GadgetRecord& gadget, LPARAM point) {
  HWND list = gadget.handle;
  LVHITTESTINFO hit = {};
  hit.pt = {GET_X_LPARAM(point), GET_Y_LPARAM(point)};
  int row =
      static_cast<int>(SendMessageW(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  intptr_t cell = row >= 0 && (hit.flags & LVHT_ONITEM)
                      ? (static_cast<intptr_t>(row) << 16 | (hit.iSubItem & 0xFFFF)) + 1
                      : 0;
  if (reinterpret_cast<intptr_t>(GetPropW(list, TIP_CELL_PROPERTY)) == cell) return;
  SetPropW(list, TIP_CELL_PROPERTY, reinterpret_cast<HANDLE>(cell));
  bool cut = cell != 0 && CellIsCut(gadget, row, hit.iSubItem);
  HWND tip = static_cast<HWND>(GetPropW(list, TIP_PROPERTY));
  if (cut && !tip) {
    tip = TooltipCreate(list);
    SetPropW(list, TIP_PROPERTY, tip);
  }
  TooltipSetText(tip, list, cut ? CellText(gadget, row, hit.iSubItem) : std::wstring());
}

void DropTip(HWND list) {
  HWND tip = static_cast<HWND>(RemovePropW(list, TIP_PROPERTY));
  if (tip) DestroyWindow(tip);
  RemovePropW(list, TIP_CELL_PROPERTY);
}

// ---------------------------------------------------------------------------------------
// Grid lines

void DrawLine(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

// Row 0's top and bottom as an empty list would place it: measured once by inserting an
// empty row, then kept until the font changes.
bool EmptyRowBounds(HWND list, int* top, int* bottom) {
  HANDLE storedTop = GetPropW(list, ROW_TOP_PROPERTY);
  HANDLE storedBottom = GetPropW(list, ROW_BOTTOM_PROPERTY);
  if (storedTop && storedBottom) {
    *top = static_cast<int>(reinterpret_cast<intptr_t>(storedTop) - 1);
    *bottom = static_cast<int>(reinterpret_cast<intptr_t>(storedBottom) - 1);
    return true;
  }
  LVITEMW item = {};
  item.mask = LVIF_TEXT;
  item.pszText = const_cast<wchar_t*>(L"");
  if (SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) < 0) return false;
  RECT bounds = {LVIR_BOUNDS, 0, 0, 0};
  bool ok = SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&bounds)) != 0;
  SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
  if (!ok) return false;
  *top = bounds.top;
  *bottom = bounds.bottom;
  SetPropW(list, ROW_TOP_PROPERTY, reinterpret_cast<HANDLE>(static_cast<intptr_t>(*top) + 1));
  SetPropW(list, ROW_BOTTOM_PROPERTY, reinterpret_cast<HANDLE>(static_cast<intptr_t>(*bottom) + 1));
  return true;
}

void DrawGridLines(GadgetRecord& gadget, HDC dc) {
  HWND list = gadget.handle;
  RECT client;
  GetClientRect(list, &client);
  int headerBottom = client.top;
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  if (header && IsWindowVisible(header)) {
    RECT rect;
    GetWindowRect(header, &rect);
    MapWindowPoints(nullptr, list, reinterpret_cast<POINT*>(&rect), 2);
    headerBottom = rect.bottom;
  }

  int columns = ColumnCount(list);
  bool rows = RowCount(list) > 0;
  RECT row = {LVIR_BOUNDS, 0, 0, 0};
  if (rows) {
    if (!SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row))) return;
  } else {
    int top, bottom;
    if (!EmptyRowBounds(list, &top, &bottom)) return;
    row = {0, top, static_cast<LONG>(SendMessageW(list, LVM_GETCOLUMNWIDTH, 0, 0)), bottom};
  }

  int32_t color = static_cast<int32_t>(gadget.data[2]);
  HPEN pen = CreatePen(PS_SOLID, 1,
                       color == -1 ? GetSysColor(COLOR_BTNFACE) : static_cast<COLORREF>(color));
  if (!pen) return;
  HGDIOBJ oldPen = SelectObject(dc, pen);

  int height = row.bottom - row.top;
  if (height > 0) {
    int y = row.bottom - 1;
    while (y < 0) y += height;
    for (; y < client.bottom; y += height)
      if (y > headerBottom) DrawLine(dc, 0, y, client.right, y);
  }

  int verticalTop = headerBottom;
  if (!SystemThemedLook()) {
    // Without themes the header's lower edge is redrawn as a grid line just below it.
    HPEN back =
        CreatePen(PS_SOLID, 1, static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0)));
    if (back) {
      SelectObject(dc, back);
      DrawLine(dc, 0, headerBottom, client.right, headerBottom);
      SelectObject(dc, pen);
      DeleteObject(back);
    }
    DrawLine(dc, 0, headerBottom + 1, client.right, headerBottom + 1);
    verticalTop = headerBottom + 1;
  }

  // The right edge of each column, drawn on its last pixel.
  std::vector<int> edges;
  if (rows) {
    for (int column = 1; column < columns; ++column) {
      RECT cell = {LVIR_BOUNDS, column, 0, 0};
      cell.top = column;
      if (SendMessageW(list, LVM_GETSUBITEMRECT, 0, reinterpret_cast<LPARAM>(&cell)))
        edges.push_back(cell.left);
    }
    edges.push_back(row.right);
  } else {
    int x = 0;
    for (int column = 0; column < columns; ++column) {
      x += static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
      edges.push_back(x);
    }
  }
  for (int x : edges) DrawLine(dc, x - 1, verticalTop, x - 1, client.bottom);

  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

// The focus mark of a focused list in which no row has the focus (an empty list, or one
// no row of which was chosen yet): around the part of the list that shows. A focused
// row's own mark is the list's.
void DrawListFocus(GadgetRecord& gadget, HDC dc) {
  HWND list = gadget.handle;
  if (GetFocus() != list) return;
  if (SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED) != -1) return;
  RECT shown;
  GetClientRect(list, &shown);
  // A container smaller than the list cuts it: the mark goes where it can be seen.
  HWND parent = GetParent(list);
  RECT around;
  if (parent && !IsToolkitWindow(parent) && GetClientRect(parent, &around)) {
    MapWindowPoints(parent, list, reinterpret_cast<POINT*>(&around), 2);
    IntersectRect(&shown, &shown, &around);
  }
  DrawFocusMark(dc, shown, gadget.dpi);
}

// ---------------------------------------------------------------------------------------
// Notifications

LRESULT CustomDraw(GadgetRecord& gadget, NMLVCUSTOMDRAW* draw) {
  HWND list = gadget.handle;
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      if (!IsWindowEnabled(list)) return CDRF_DODEFAULT;
      return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
    case CDDS_ITEMPREPAINT: {
      auto* block = reinterpret_cast<ItemColors*>(draw->nmcd.lItemlParam);
      if (!block) return CDRF_DODEFAULT;
      if (RowView(list)) return CDRF_NOTIFYSUBITEMDRAW;
      if (block->columns > 0) {
        if (block->pairs[0].text) draw->clrText = static_cast<COLORREF>(block->pairs[0].text - 1);
        if (block->pairs[0].back) draw->clrTextBk = static_cast<COLORREF>(block->pairs[0].back - 1);
      }
      return CDRF_NEWFONT;
    }
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
      auto* block = reinterpret_cast<ItemColors*>(draw->nmcd.lItemlParam);
      ItemColors::Pair pair = {0, 0};
      if (block && draw->iSubItem >= 0 && draw->iSubItem < block->columns)
        pair = block->pairs[draw->iSubItem];
      draw->clrText = pair.text ? static_cast<COLORREF>(pair.text - 1)
                                : static_cast<COLORREF>(SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0));
      draw->clrTextBk = pair.back ? static_cast<COLORREF>(pair.back - 1)
                                  : static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0));
      return CDRF_NEWFONT;
    }
    case CDDS_POSTPAINT:
      if ((gadget.data[3] & LIST_HAS_GRID) && RowView(list)) DrawGridLines(gadget, draw->nmcd.hdc);
      DrawListFocus(gadget, draw->nmcd.hdc);
      return CDRF_DODEFAULT;
  }
  return CDRF_DODEFAULT;
}

intptr_t LastSelected(HWND list) {
  return reinterpret_cast<intptr_t>(GetPropW(list, LAST_SELECTED_PROPERTY)) - 1;
}

void SetLastSelected(HWND list, intptr_t row) {
  SetPropW(list, LAST_SELECTED_PROPERTY, reinterpret_cast<HANDLE>(row + 1));
}

// A click that leaves no row selected, after one was, is a change too.
void DeselectionCheck(HWND list) {
  if (FirstSelected(list) == -1 && LastSelected(list) != -1) {
    SetLastSelected(list, -1);
    GadgetPostEvent(list, TYPE_CHANGE);
  }
}

// The row a click notification was made on: the row under the pointer, else the selected
// one (the list selects on the press, before it notifies).
intptr_t ClickedRow(HWND list, LPARAM lParam) {
  int row = reinterpret_cast<NMITEMACTIVATE*>(lParam)->iItem;
  return row >= 0 ? row : FirstSelected(list);
}

LRESULT ListMessage(GadgetRecord& gadget, HWND, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_NOTIFY) return NOT_HANDLED;
  NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
  HWND list = gadget.handle;
  // Each event carries the row it was made on (EventItem): by the time the program handles
  // a deferred one, the selection may have moved on.
  switch (header->code) {
    case NM_CLICK:
      DeselectionCheck(list);
      GadgetPostItemEvent(list, TYPE_LEFT_CLICK, ClickedRow(list, lParam));
      return 0;
    case NM_RCLICK:
      DeselectionCheck(list);
      GadgetPostItemEvent(list, TYPE_RIGHT_CLICK, ClickedRow(list, lParam));
      return 0;
    case NM_DBLCLK:
      GadgetPostItemEvent(list, TYPE_LEFT_DOUBLE_CLICK, ClickedRow(list, lParam));
      return 0;
    case NM_RDBLCLK:
      GadgetPostItemEvent(list, TYPE_RIGHT_DOUBLE_CLICK, ClickedRow(list, lParam));
      return 0;
    case NM_RETURN:
      GadgetPostItemEvent(list, TYPE_RETURN_KEY, FirstSelected(list));
      return 0;
    case LVN_ITEMCHANGED: {
      auto* change = reinterpret_cast<NMLISTVIEW*>(lParam);
      if (!(change->uChanged & LVIF_STATE)) return 0;
      UINT oldImage = (change->uOldState & LVIS_STATEIMAGEMASK) >> 12;
      UINT newImage = (change->uNewState & LVIS_STATEIMAGEMASK) >> 12;
      if (change->uNewState & LVIS_SELECTED) {
        SetLastSelected(list, change->iItem);
        GadgetPostItemEvent(list, TYPE_CHANGE, change->iItem);
      } else if (oldImage != 0 && oldImage != newImage) {
        GadgetPostItemEvent(list, TYPE_CHANGE, change->iItem);
      }
      return 0;
    }
    case LVN_BEGINDRAG:
      GadgetPostEvent(list, TYPE_DRAG_START);
      return 0;
    case NM_CUSTOMDRAW:
      return CustomDraw(gadget, reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
  }
  return NOT_HANDLED;
}

LRESULT ListControlProc(GadgetRecord& gadget, HWND control, UINT message, WPARAM wParam,
                        LPARAM lParam) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_CHAR: {
      // A key that moved the selection (arrows, pages, Home, End, typing a row's first
      // letters) is reported as such, once the list has handled it.
      int before = FirstSelected(control);
      LRESULT result = CallWindowProcW(gadget.previousProc, control, message, wParam, lParam);
      int after = FirstSelected(control);
      if (after != -1 && after != before) GadgetPostItemEvent(control, TYPE_KEYBOARD_SELECT, after);
      return result;
    }
    case WM_SIZE: {
      LRESULT result = CallWindowProcW(gadget.previousProc, control, message, wParam, lParam);
      FitFillColumn(gadget);
      return result;
    }
    case WM_MOUSEMOVE:
      FollowPointerWithTip(gadget, lParam);
      break;
    case WM_VSCROLL:
    case WM_HSCROLL:
    case WM_MOUSEWHEEL:
      RemovePropW(control, TIP_CELL_PROPERTY);  // other cells come under the pointer
      break;
    case WM_SETFONT:
      // Row heights follow the font: measure the empty list's row again.
      RemovePropW(control, ROW_TOP_PROPERTY);
      RemovePropW(control, ROW_BOTTOM_PROPERTY);
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(control, nullptr, TRUE);  // the focus mark comes or goes
      break;
    case WM_DESTROY:
      // The rows still exist here; after the control's own destruction they are gone.
      FreeAllRowBlocks(gadget.handle);
      DropTip(control);
      break;
  }
  return NOT_HANDLED;
}

// ---------------------------------------------------------------------------------------
// Kind operations

void ListRelease(GadgetRecord& gadget) {
  FreeAllRowBlocks(gadget.handle);
  RemovePropW(gadget.handle, LAST_SELECTED_PROPERTY);
  RemovePropW(gadget.handle, ROW_TOP_PROPERTY);
  RemovePropW(gadget.handle, ROW_BOTTOM_PROPERTY);
  RemovePropW(gadget.handle, FIT_HEIGHT_PROPERTY);
  DropTip(gadget.handle);
  DestroyItemImageList(reinterpret_cast<ItemImageList*>(gadget.data[1]));
  gadget.data[1] = 0;
}

intptr_t ListGetState(GadgetRecord& gadget) { return FirstSelected(gadget.handle); }

void ListSetState(GadgetRecord& gadget, intptr_t value) {
  HWND list = gadget.handle;
  SetRowState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);  // -1: every row
  if (value < 0 || value >= RowCount(list)) return;
  SetRowState(list, static_cast<int>(value), LVIS_SELECTED | LVIS_FOCUSED,
              LVIS_SELECTED | LVIS_FOCUSED);
  SendMessageW(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(value), FALSE);  // wholly
}

String ListGetText(GadgetRecord& gadget, char32_t* lacking) {
  int row = FirstSelected(gadget.handle);
  return row == -1 ? String() : TextFromWide(CellText(gadget, row, 0), lacking);
}

void ListSetText(GadgetRecord& gadget, const std::wstring& text) {
  int row = FirstSelected(gadget.handle);
  if (row != -1) SetRowCells(gadget, row, text);
}

intptr_t ListAddItem(GadgetRecord& gadget, int position, TextArg text, intptr_t picture) {
  HWND list = gadget.handle;
  if (position < 0) position = RowCount(list);
  int image = -1;
  if (picture) {
    auto* images = reinterpret_cast<ItemImageList*>(gadget.data[1]);
    if (!images) {
      images = CreateItemImageList(gadget.dpi);
      if (images) {
        gadget.data[1] = reinterpret_cast<intptr_t>(images);
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images->small));
        SendMessageW(list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(images->large));
      }
    }
    if (images) image = AddPicture(images, picture);
  }
  std::wstring cells = WideFromText(text.view());
  std::vector<std::wstring_view> pieces = SplitRow(cells);
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = position;
  item.pszText = const_cast<wchar_t*>(pieces[0].data());
  item.lParam = 0;
  if (image >= 0) {
    item.mask |= LVIF_IMAGE;
    item.iImage = image;
  }
  NoteLength(gadget, pieces[0].size());
  int row =
      static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (row < 0) return -1;
  for (size_t column = 1; column < pieces.size(); ++column)
    SetCell(gadget, row, static_cast<int>(column), pieces[column]);
  return row;
}

void ListRemoveItem(GadgetRecord& gadget, int index) {
  if (index < 0 || index >= RowCount(gadget.handle)) return;
  FreeRowBlock(gadget.handle, index);
  SendMessageW(gadget.handle, LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
}

void ListClearItems(GadgetRecord& gadget) {
  FreeAllRowBlocks(gadget.handle);
  SendMessageW(gadget.handle, LVM_DELETEALLITEMS, 0, 0);
  gadget.data[0] = 0;
  ResetItemImageList(reinterpret_cast<ItemImageList*>(gadget.data[1]));
}

int ListCountItems(GadgetRecord& gadget) { return RowCount(gadget.handle); }

intptr_t ListGetItemState(GadgetRecord& gadget, int index) {
  HWND list = gadget.handle;
  if (index < 0 || index >= RowCount(list)) return 0;
  UINT state = static_cast<UINT>(
      SendMessageW(list, LVM_GETITEMSTATE, index, LVIS_SELECTED | LVIS_STATEIMAGEMASK));
  intptr_t result = (state & LVIS_SELECTED) ? 1 : 0;
  if (HasCheckBoxes(list) && ((state & LVIS_STATEIMAGEMASK) >> 12) == 2) result |= 2;
  return result;
}

void ListSetItemState(GadgetRecord& gadget, int index, intptr_t value) {
  HWND list = gadget.handle;
  if (index < 0 || index >= RowCount(list)) return;
  SetRowState(list, index, (value & 1) ? LVIS_SELECTED | LVIS_FOCUSED : 0,
              LVIS_SELECTED | LVIS_FOCUSED);
  // Only a list with check boxes has state images to switch.
  if (HasCheckBoxes(list))
    SetRowState(list, index, INDEXTOSTATEIMAGEMASK((value & 2) ? 2 : 1), LVIS_STATEIMAGEMASK);
}

String ListGetItemText(GadgetRecord& gadget, int index, int column, char32_t* lacking) {
  return TextFromWide(
      index == -1 ? HeaderTitle(gadget.handle, column) : CellText(gadget, index, column), lacking);
}

void ListSetItemText(GadgetRecord& gadget, int index, TextArg text, int column) {
  std::wstring wide = WideFromText(text.view());
  if (index == -1) {
    LVCOLUMNW info = {};
    info.mask = LVCF_TEXT;
    info.pszText = &wide[0];
    SendMessageW(gadget.handle, LVM_SETCOLUMNW, column, reinterpret_cast<LPARAM>(&info));
    return;
  }
  if (index < 0 || index >= RowCount(gadget.handle)) return;
  SetCell(gadget, index, column, wide);
}

void ListAddColumn(GadgetRecord& gadget, int position, TextArg title, int width) {
  HWND list = gadget.handle;
  int columns = ColumnCount(list);
  if (position < 0 || position > columns) position = columns;
  std::wstring wide = WideFromText(title.view());
  LVCOLUMNW info = {};
  info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  info.fmt = LVCFMT_LEFT;
  info.cx = DpiScale(width, gadget.dpi);
  info.pszText = &wide[0];
  int at = static_cast<int>(
      SendMessageW(list, LVM_INSERTCOLUMNW, position, reinterpret_cast<LPARAM>(&info)));
  if (at >= 0) GrowBlocks(list, at);
}

void ListRemoveColumn(GadgetRecord& gadget, int index) {
  if (index < 0 || index >= ColumnCount(gadget.handle)) return;
  if (SendMessageW(gadget.handle, LVM_DELETECOLUMN, index, 0)) ShrinkBlocks(gadget.handle, index);
}

intptr_t ListGetAttribute(GadgetRecord& gadget, int attribute) {
  return attribute == LIST_ATTRIBUTE_VIEW ? ViewOf(gadget.handle) : 0;
}

void ListSetAttribute(GadgetRecord& gadget, int attribute, intptr_t value) {
  if (attribute != LIST_ATTRIBUTE_VIEW) return;
  static const LONG STYLES[] = {LVS_ICON, LVS_SMALLICON, LVS_LIST, LVS_REPORT};
  if (value < 0 || value > 3) return;
  LONG style = GetWindowLongW(gadget.handle, GWL_STYLE);
  SetWindowLongW(gadget.handle, GWL_STYLE, (style & ~LVS_TYPEMASK) | STYLES[value]);
}

intptr_t ListGetItemAttribute(GadgetRecord& gadget, int, int attribute, int column) {
  if (attribute != LIST_ITEM_ATTRIBUTE_WIDTH) return 0;
  return DpiUnscale(static_cast<int>(SendMessageW(gadget.handle, LVM_GETCOLUMNWIDTH, column, 0)),
                    gadget.dpi);
}

void ListSetItemAttribute(GadgetRecord& gadget, int, int attribute, intptr_t value, int column) {
  if (attribute != LIST_ITEM_ATTRIBUTE_WIDTH || column < 0) return;
  intptr_t flags = gadget.data[3] & ((intptr_t{1} << FILL_COLUMN_SHIFT) - 1);
  if (value == LIST_COLUMN_FILL) {
    gadget.data[3] = flags | (static_cast<intptr_t>(column) + 1) << FILL_COLUMN_SHIFT;
    FitFillColumn(gadget);
    return;
  }
  if (column == FillColumn(gadget)) gadget.data[3] = flags;  // a fixed width again
  SendMessageW(gadget.handle, LVM_SETCOLUMNWIDTH, column,
               MAKELPARAM(DpiScale(static_cast<int>(value), gadget.dpi), 0));
}

void Redraw(HWND list) { GadgetRedraw(list, nullptr, RDW_FRAME | RDW_ERASE | RDW_INVALIDATE); }

void ListSetColor(GadgetRecord& gadget, int slot, int32_t color) {
  HWND list = gadget.handle;
  if (slot == COLOR_FRONT) {
    SendMessageW(list, LVM_SETTEXTCOLOR, 0, color == -1 ? defaultText : color);
    gadget.data[3] =
        color == -1 ? gadget.data[3] & ~LIST_HAS_TEXT_COLOR : gadget.data[3] | LIST_HAS_TEXT_COLOR;
  } else if (slot == COLOR_BACK) {
    COLORREF back = color == -1 ? defaultBack : static_cast<COLORREF>(color);
    SendMessageW(list, LVM_SETBKCOLOR, 0, back);
    SendMessageW(list, LVM_SETTEXTBKCOLOR, 0, back);
    gadget.data[3] =
        color == -1 ? gadget.data[3] & ~LIST_HAS_BACK_COLOR : gadget.data[3] | LIST_HAS_BACK_COLOR;
  } else if (slot == COLOR_LINE) {
    gadget.data[2] = color;
  } else {
    return;
  }
  Redraw(list);
}

int32_t ListGetColor(GadgetRecord& gadget, int slot) {
  if (slot == COLOR_FRONT)
    return static_cast<int32_t>(SendMessageW(gadget.handle, LVM_GETTEXTCOLOR, 0, 0));
  if (slot == COLOR_BACK)
    return static_cast<int32_t>(SendMessageW(gadget.handle, LVM_GETBKCOLOR, 0, 0));
  if (slot == COLOR_LINE) return static_cast<int32_t>(gadget.data[2]);
  return -1;
}

void SetRowColor(HWND list, int row, int slot, int32_t color, int column) {
  ItemColors* block = EnsureRowBlock(list, row);
  if (!block) return;
  int first = column, last = column;
  if (column == -1) {
    first = 0;
    last = block->columns - 1;
  }
  for (int c = first; c <= last; ++c) {
    if (c < 0 || c >= block->columns) continue;
    int32_t stored = color == -1 ? 0 : color + 1;
    if (slot == COLOR_FRONT)
      block->pairs[c].text = stored;
    else
      block->pairs[c].back = stored;
  }
}

void ListSetItemColor(GadgetRecord& gadget, int index, int slot, int32_t color, int column) {
  if (slot != COLOR_FRONT && slot != COLOR_BACK) return;
  HWND list = gadget.handle;
  if (index == -1) {
    for (int row = RowCount(list) - 1; row >= 0; --row) SetRowColor(list, row, slot, color, column);
  } else {
    SetRowColor(list, index, slot, color, column);
  }
  InvalidateRect(list, nullptr, FALSE);
}

int32_t ListGetItemColor(GadgetRecord& gadget, int index, int slot, int column) {
  if (index < 0 || index >= RowCount(gadget.handle)) return -1;
  ItemColors* block = RowBlock(gadget.handle, index);
  if (!block || column < 0 || column >= block->columns) return -1;
  int32_t stored = slot == COLOR_FRONT  ? block->pairs[column].text
                   : slot == COLOR_BACK ? block->pairs[column].back
                                        : 0;
  return stored - 1;
}

void ListSetItemData(GadgetRecord& gadget, int index, intptr_t value) {
  ItemColors* block = EnsureRowBlock(gadget.handle, index);
  if (block) block->value = value;
}

intptr_t ListGetItemData(GadgetRecord& gadget, int index) {
  if (index < 0 || index >= RowCount(gadget.handle)) return 0;
  ItemColors* block = RowBlock(gadget.handle, index);
  return block ? block->value : 0;
}

// The height of a row in pixels, as an empty list would place it when it has none.
int RowHeight(HWND list) {
  int top = 0, bottom = 0;
  RECT row = {LVIR_BOUNDS, 0, 0, 0};
  if (RowCount(list) > 0 && SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row)))
    return row.bottom - row.top;
  return EmptyRowBounds(list, &top, &bottom) ? bottom - top : 0;
}

// The list as tall as the whole rows of its font that fit into the height ListIconFitRows
// gave, at its DPI.
void FitRows(GadgetRecord& gadget) {
  HWND list = gadget.handle;
  int most = static_cast<int>(reinterpret_cast<intptr_t>(GetPropW(list, FIT_HEIGHT_PROPERTY))) - 1;
  if (most < 0) return;
  int height = DpiScale(most, gadget.dpi);
  int row = RowHeight(list);
  if (row > 0) height = height / row * row;
  RECT rect;
  GetWindowRect(list, &rect);
  SetWindowPos(list, nullptr, 0, 0, rect.right - rect.left, height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// At another DPI the fixed columns keep their layout widths, the filling one fills, and
// the rows fit again at the new font.
void ListFollowDpi(GadgetRecord& gadget, int oldDpi) {
  HWND list = gadget.handle;
  int fill = FillColumn(gadget);
  for (int column = ColumnCount(list) - 1; column >= 0; --column) {
    if (column == fill) continue;
    int width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
    SendMessageW(list, LVM_SETCOLUMNWIDTH, column,
                 MAKELPARAM(DpiScale(DpiUnscale(width, oldDpi), gadget.dpi), 0));
  }
  FitRows(gadget);
  FitFillColumn(gadget);
  DropTip(list);
}

const GadgetKind LIST_ICON_GADGET_KIND = {.kind = KIND_LIST_ICON,
                                          .messageHandler = ListMessage,
                                          .controlProc = ListControlProc,
                                          .release = ListRelease,
                                          .getState = ListGetState,
                                          .setState = ListSetState,
                                          .getText = ListGetText,
                                          .setText = ListSetText,
                                          .setColor = ListSetColor,
                                          .getColor = ListGetColor,
                                          .addItem = ListAddItem,
                                          .removeItem = ListRemoveItem,
                                          .clearItems = ListClearItems,
                                          .countItems = ListCountItems,
                                          .getItemState = ListGetItemState,
                                          .setItemState = ListSetItemState,
                                          .getItemText = ListGetItemText,
                                          .setItemText = ListSetItemText,
                                          .addColumn = ListAddColumn,
                                          .removeColumn = ListRemoveColumn,
                                          .getAttribute = ListGetAttribute,
                                          .setAttribute = ListSetAttribute,
                                          .getItemAttribute = ListGetItemAttribute,
                                          .setItemAttribute = ListSetItemAttribute,
                                          .setItemColor = ListSetItemColor,
                                          .getItemColor = ListGetItemColor,
                                          .setItemData = ListSetItemData,
                                          .getItemData = ListGetItemData,
                                          .followDpi = ListFollowDpi};

}  // namespace

int ListIconRowHeight(ObjectNumber number) {
  GadgetRecord* gadget = GadgetLookup(number);
  if (!gadget || gadget->kind != &LIST_ICON_GADGET_KIND) return 0;
  return RowHeight(gadget->handle);
}

void ListIconFitRows(ObjectNumber number, int height) {
  GadgetRecord* gadget = GadgetLookup(number);
  if (!gadget || gadget->kind != &LIST_ICON_GADGET_KIND || height < 0) return;
  SetPropW(gadget->handle, FIT_HEIGHT_PROPERTY,
           reinterpret_cast<HANDLE>(static_cast<intptr_t>(height) + 1));
  FitRows(*gadget);
}

HWND ListIconTooltip(HWND list) { return static_cast<HWND>(GetPropW(list, TIP_PROPERTY)); }

intptr_t ListIconGadgetCreate(ObjectNumber number, int x, int y, int width, int height,
                              TextArg firstTitle, int firstWidth, int flags) {
  constexpr int OWN_FLAGS = LIST_CHECKBOXES | LIST_MULTI_SELECT | LIST_GRID_LINES |
                            LIST_HEADER_DRAG | LIST_FULL_ROW_SELECT | LIST_BORDERLESS;
  DWORD style = (flags & LIST_MULTI_SELECT) ? 0x50010041 : 0x50010045;
  style |= static_cast<DWORD>(flags & ~OWN_FLAGS);
  DWORD edge = (flags & LIST_BORDERLESS) ? 0 : WS_EX_CLIENTEDGE;
  HWND list = GadgetCreateControl(edge, WC_LISTVIEWW, L"", style, x, y, width, height);
  if (!list) return 0;
  if (!defaultsKnown) {
    defaultText = static_cast<COLORREF>(SendMessageW(list, LVM_GETTEXTCOLOR, 0, 0));
    defaultBack = static_cast<COLORREF>(SendMessageW(list, LVM_GETBKCOLOR, 0, 0));
    defaultsKnown = true;
  }
  DWORD extended = LVS_EX_DOUBLEBUFFER;
  if (flags & LIST_CHECKBOXES) extended |= LVS_EX_CHECKBOXES;
  if (flags & LIST_HEADER_DRAG) extended |= LVS_EX_HEADERDRAGDROP;
  if (flags & LIST_FULL_ROW_SELECT) extended |= LVS_EX_FULLROWSELECT;
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, extended);

  std::wstring title = WideFromText(firstTitle.view());
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  column.fmt = LVCFMT_LEFT;
  column.cx = DpiScale(firstWidth, ToolkitDpiOf(list));
  column.pszText = &title[0];
  SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));

  intptr_t gridFlag = (flags & LIST_GRID_LINES) ? LIST_HAS_GRID : 0;
  return GadgetRegister(number, list, &LIST_ICON_GADGET_KIND, {0, 0, -1, gridFlag});
}
