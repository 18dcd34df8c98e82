// Numbers of the client's windows, gadgets, images and files. Gadget numbers are global
// to the program; the event loop dispatches on them.
#pragma once

constexpr int WIN_LOGIN = 0;
constexpr int WIN_MAIN = 100;
constexpr int WIN_DOWNLOADS = 200;

constexpr int GADGET_LOGIN_LABEL = 1;
constexpr int GADGET_LOGIN_MAIL = 2;
constexpr int GADGET_PASS_LABEL = 3;
constexpr int GADGET_LOGIN_PASS = 4;
constexpr int GADGET_LOGIN_OK = 5;

constexpr int GADGET_HIDDEN_BUTTON = 99;
constexpr int GADGET_SESSION_WEB = 101;
constexpr int GADGET_LIST_PANEL = 102;
constexpr int GADGET_SEARCH_TEXT = 103;
constexpr int GADGET_SEARCH_LINK = 104;
constexpr int GADGET_RESULT_LIST = 107;
constexpr int GADGET_PREVIEW = 108;
constexpr int GADGET_PLAYER_PANEL = 109;
constexpr int GADGET_PLAYER_WEB = 110;
constexpr int GADGET_PANEL_TOGGLE = 111;
constexpr int GADGET_DESCRIPTION = 112;
constexpr int GADGET_TITLE = 113;
constexpr int GADGET_DOWNLOAD_LINK = 114;
constexpr int GADGET_AUX_WEB = 115;
constexpr int GADGET_AUTHOR_LINK = 116;

// The downloads window's gadgets.
constexpr int GADGET_DOWNLOAD_LIST = 120;
constexpr int GADGET_DOWNLOAD_CANCEL = 121;
constexpr int GADGET_DOWNLOAD_OPEN_FILE = 122;
constexpr int GADGET_DOWNLOAD_OPEN_FOLDER = 123;
constexpr int GADGET_DOWNLOAD_RETRY = 124;
constexpr int GADGET_DOWNLOAD_NOTE = 125;

// Numbers no gadget has, under which a background start of the launcher reports its end
// to the main window as a gadget event (its type: 1 started, 0 not).
constexpr int LAUNCHED_FILE = 130;
constexpr int LAUNCHED_FOLDER = 131;

// Command of the main window (its Ctrl+J and system menu item): show the downloads window.
// A multiple of 16, as system menu commands are.
constexpr int MENU_DOWNLOADS = 0x100;

// Timer of the main window: the keyboard's selection has rested long enough to be chosen
// (so that a held arrow key does not download the preview and page of every row passed).
constexpr int TIMER_KEYBOARD_ROW = 1;
constexpr int KEYBOARD_ROW_REST_MS = 150;
// Timer of the main window: a look at how the login at start is going (session.h).
constexpr int TIMER_LOGIN_CHECK = 2;

constexpr int IMAGE_BACKGROUND = 105;
constexpr int IMAGE_TOGGLE_ICON = 106;
constexpr int IMAGE_PREVIEW = 108;

// Inner sizes of the main window: wide form as opened, narrow form after a slide. Like every
// size and place of the layout they are layout units (96 DPI), which the toolkit scales by
// the window's DPI.
constexpr int MAIN_WIDTH = 780;
constexpr int MAIN_HEIGHT = 610;
constexpr int NARROW_WIDTH = 504;
constexpr int NARROW_HEIGHT = 420;
// The preview gadget: the inside of its frame on the background, from (310, 450).
constexpr int PREVIEW_WIDTH = 160;
constexpr int PREVIEW_HEIGHT = 120;

// Files: a downloaded page is read as file 0, the player page written as file 1. They
// differ because opening a number that is open closes it first: writing the player page
// must never close a page that is still being read.
constexpr int FILE_DOWNLOADED_PAGE = 0;
constexpr int FILE_PLAYER_PAGE = 1;
