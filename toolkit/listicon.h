// List-icon gadget: a multi-column report list (the list-view common control). Row texts
// are split into columns at line feeds; rows may carry per-cell colours, pictures and a
// user value; the toolkit draws the grid lines itself, in a colour of its own, also where
// rows would be in an empty list. The generic operations of toolkit.h and gadget_items.h
// work on it with the meanings below.
//
//   GadgetGetState          index of the first selected row, -1 when none
//   GadgetSetState          deselect all, then select, focus and show that row (-1: none)
//   GadgetGetText / SetText column-0 text / all cell texts of the first selected row
//   GadgetAddItem           (position or -1 for the end, text, picture handle or 0):
//                           the new row's index, -1 when the control refuses it
//   GadgetGetItemText       (row, column); row -1 gives the column's header title
//   GadgetGetItemState      1 selected, + 2 check box ticked
//   GadgetGetAttribute 2    the view (LIST_VIEW_*); GadgetGetItemAttribute 1: column width
//   GadgetSetColor          COLOR_FRONT, COLOR_BACK (-1 restores the defaults), COLOR_LINE
//   GadgetSetItemColor      one cell's text or background colour; row -1 all rows,
//                           column -1 all columns; -1 returns to the list's colour
//
//   GadgetSetItemAttribute 1 with LIST_COLUMN_FILL: the column takes the width the others
//                           leave, also when the list's width changes (a scroll bar
//                           coming or going); another width ends that
//
// A cell whose text the column cuts (the list ends it with an ellipsis) shows its whole
// text as a tip. Column widths are layout units. A focused list shows a focus mark: the
// focused row's, or one around the list while no row has the focus.
//
// Events: TYPE_LEFT_CLICK, TYPE_RIGHT_CLICK, TYPE_LEFT_DOUBLE_CLICK,
// TYPE_RIGHT_DOUBLE_CLICK, TYPE_CHANGE (a row became selected, a check box changed, or a
// click left no row selected), TYPE_KEYBOARD_SELECT (after TYPE_CHANGE: a key moved the
// selection to another row), TYPE_RETURN_KEY (Enter) and TYPE_DRAG_START.
// Clicks, double clicks, Enter, key moves and changes carry the row they were made on
// (EventItem), kept while the event waits in the queue.
#pragma once

#include "toolkit.h"

constexpr int LIST_CHECKBOXES = 0x1;
constexpr int LIST_MULTI_SELECT = 0x4;
// The selected rows stay highlighted while the list does not have the focus.
constexpr int LIST_ALWAYS_SHOW_SELECTION = 0x8;
constexpr int LIST_NO_HEADER = 0x4000;
constexpr int LIST_GRID_LINES = 0x10000;
constexpr int LIST_HEADER_DRAG = 0x10000000;
constexpr int LIST_FULL_ROW_SELECT = 0x40000000;
// Without the sunken edge around the list.
constexpr int LIST_BORDERLESS = 0x20000;

// GadgetGetAttribute / GadgetSetAttribute: the view.
constexpr int LIST_ATTRIBUTE_VIEW = 2;
constexpr int LIST_VIEW_ICON = 0;
constexpr int LIST_VIEW_SMALL_ICON = 1;
constexpr int LIST_VIEW_LIST = 2;
constexpr int LIST_VIEW_REPORT = 3;
// GadgetGetItemAttribute / GadgetSetItemAttribute: a column's width.
constexpr int LIST_ITEM_ATTRIBUTE_WIDTH = 1;
constexpr int LIST_COLUMN_FILL = -2;

intptr_t ListIconGadgetCreate(ObjectNumber number, int x, int y, int width, int height,
                              TextArg firstTitle, int firstWidth, int flags = 0);

// The height of one row in pixels (as an empty list would place it when it has none); 0
// when the number is not a list-icon. Rows follow the font, which follows the DPI.
int ListIconRowHeight(ObjectNumber number);
// Makes the list as tall as the whole rows that fit into `height` (layout units), so that
// what it scrolls into view is wholly seen; kept so when the window's DPI, and with it
// the row height, changes.
void ListIconFitRows(ObjectNumber number, int height);
