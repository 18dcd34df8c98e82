// Web view gadget: the system's browser control hosted in a child window under a gadget
// number. GadgetSetText opens an address (an empty text does nothing), GadgetGetText
// gives the address shown; the rest goes through the generic operations of
// gadget_items.h with the numbers below.
#pragma once

#include "toolkit.h"

// WebGadgetCreate flags: host "Mozilla.Browser.1" instead of "Shell.Explorer.1"; do not
// load the blank page first (the first navigation then starts the browser's engine, which
// takes the time, a tenth of a second or more, that the creation would otherwise take).
constexpr int WEB_MOZILLA_CONTROL = 1;
constexpr int WEB_NO_BLANK_PAGE = 2;

// Event types of EVENT_GADGET for a web view.
constexpr int WEB_TYPE_TITLE = 1;
constexpr int WEB_TYPE_STATUS = 2;
constexpr int WEB_TYPE_POPUP = 3;
constexpr int WEB_TYPE_DOWNLOAD_START = 4;
constexpr int WEB_TYPE_DOWNLOAD_PROGRESS = 5;
constexpr int WEB_TYPE_DOWNLOAD_END = 6;
constexpr int WEB_TYPE_POPUP_MENU = 7;

// GadgetSetState values.
constexpr int WEB_GO_BACK = 1;
constexpr int WEB_GO_FORWARD = 2;
constexpr int WEB_STOP = 3;
constexpr int WEB_RELOAD = 4;

// GadgetGetItemText items (GadgetSetItemText takes WEB_ITEM_SOURCE: HTML to show).
constexpr int WEB_ITEM_SOURCE = 1;
constexpr int WEB_ITEM_TITLE = 2;
constexpr int WEB_ITEM_STATUS = 3;
constexpr int WEB_ITEM_SELECTION = 4;

// GadgetGetAttribute / GadgetSetAttribute.
constexpr int WEB_ATTRIBUTE_BLOCK_POPUPS = 1;
constexpr int WEB_ATTRIBUTE_NO_CONTEXT_MENU = 2;
constexpr int WEB_ATTRIBUTE_NAVIGATION_CALLBACK = 3;  // a WebNavigationCallback
constexpr int WEB_ATTRIBUTE_PROGRESS = 4;             // get only
constexpr int WEB_ATTRIBUTE_PROGRESS_MAX = 5;         // get only
constexpr int WEB_ATTRIBUTE_BUSY = 6;                 // get only
constexpr int WEB_ATTRIBUTE_SCROLL_X = 7;
constexpr int WEB_ATTRIBUTE_SCROLL_Y = 8;
// Get only: 1 when the browser showed its first page as a document, 0 when it reported a
// navigation error instead (a browser without an HTML engine), -1 when it did neither.
constexpr int WEB_ATTRIBUTE_SHOWS_PAGES = 9;
constexpr int WEB_ATTRIBUTE_DOWNLOAD_CALLBACK = 10;  // a WebDownloadCallback, or 0
// Get only: how many navigations of the page (not of its frames) have ended since the
// gadget was made, with its document complete or with a navigation error. A browser without
// an HTML engine ends every navigation with the error, once the answer has come (or none
// could be had); a caller compares the count from before a navigation with later ones.
constexpr int WEB_ATTRIBUTE_NAVIGATIONS_ENDED = 11;

// Called before each navigation with the gadget number and the address (Windows-1251, as
// every text of the toolkit); returning 0 cancels the navigation.
using WebNavigationCallback = int (*)(ObjectNumber gadget, const char* address);

// Called with the gadget number and the address of a file the browser was asked to open,
// in place of the browser's own download (see WEB_ATTRIBUTE_DOWNLOAD_CALLBACK).
using WebDownloadCallback = void (*)(ObjectNumber gadget, const char* address);

// The longest the creation waits for the blank page. The wait also ends at the first
// document completion and at a navigation error, whichever comes first; a browser that
// renders nothing (no HTML engine) reports the error within a fraction of a second.
constexpr DWORD WEB_CREATION_TIMEOUT_MS = 4000;

// Creates the host window in the current gadget parent, obtains the browser, loads the
// blank page (dispatching the thread's messages meanwhile) and then opens `address` when
// it is not empty. Returns what gadget registration returns; 0 when the hosting library
// is missing (a later creation tries again) or the host window cannot be created.
intptr_t WebGadgetCreate(ObjectNumber number, int x, int y, int width, int height, TextArg address,
                         int flags = 0);

// Has the file at `address` downloaded through the gadget's download callback: a browser
// that shows pages, and whose host took the download manager, opens the address and hands
// its download over; otherwise the callback is called with the address at once (such a
// browser would only put the file into its cache). 0 when the gadget is not a web view or
// has no download callback.
int WebGadgetDownload(ObjectNumber number, TextArg address);
