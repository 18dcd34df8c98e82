#include "main_window.h"

#include "addresses.h"
#include "appstate.h"
#include "background.h"
#include "client_ids.h"
#include "config.h"
#include "download.h"
#include "dpi.h"
#include "gadget_items.h"
#include "image.h"
#include "listicon.h"
#include "resources.h"
#include "texts.h"
#include "toolkit.h"
#include "webview.h"
#include "wide.h"

namespace {

constexpr int32_t BACK = 0x151515;               // gadgets blend into the background picture
const int32_t FRONT = ColorValue(137, 127, 98);  // 0x897F62
constexpr int32_t LINE = 0x232323;
constexpr int32_t HOVER = 0xFFFFFF;
constexpr int LIST_PANEL_WIDTH = 260;
constexpr int LIST_PANEL_HEIGHT = 510;
constexpr int MAIN_FLAGS = WINDOW_INVISIBLE | WINDOW_TITLE_BAR | WINDOW_SYSTEM_MENU |
                           WINDOW_MINIMIZE_GADGET | WINDOW_CENTERED | WINDOW_TOPMOST;

// The DPIs the embedded pictures are drawn for, and their resources in the same order.
constexpr int PICTURE_DPIS[] = {96, 120, 144, 192};
constexpr int BACKGROUND_RESOURCES[] = {RESOURCE_BACKGROUND, RESOURCE_BACKGROUND_120,
                                        RESOURCE_BACKGROUND_144, RESOURCE_BACKGROUND_192};
constexpr int TOGGLE_RESOURCES[] = {RESOURCE_TOGGLE_ICON, RESOURCE_TOGGLE_ICON_120,
                                    RESOURCE_TOGGLE_ICON_144, RESOURCE_TOGGLE_ICON_192};
// The DPI the pictures now held as images 105 and 106 are drawn for (0: none loaded).
int g_picturesDpi = 0;

void Colour(int gadget) {
  GadgetSetColor(gadget, COLOR_BACK, BACK);
  GadgetSetColor(gadget, COLOR_FRONT, FRONT);
}

// The bytes of an RCDATA resource of the program; size 0 when it is missing.
const void* Resource(int id, size_t& size) {
  size = 0;
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_RCDATA));
  if (!found) return nullptr;
  HGLOBAL loaded = LoadResource(nullptr, found);
  if (!loaded) return nullptr;
  size = SizeofResource(nullptr, found);
  return LockResource(loaded);
}

// Decodes the pictures drawn for the DPI nearest `dpi` into images 105 and 106, unless they
// are those already; false when either fails.
bool LoadPicturesFor(int dpi) {
  int chosen = NearestDrawnDpi(PICTURE_DPIS, 4, dpi);
  if (PICTURE_DPIS[chosen] == g_picturesDpi) return true;
  size_t size = 0;
  const void* data = Resource(BACKGROUND_RESOURCES[chosen], size);
  bool ok = data && ImageFromMemory(IMAGE_BACKGROUND, data, size) != 0;
  data = Resource(TOGGLE_RESOURCES[chosen], size);
  ok &= data && ImageFromMemory(IMAGE_TOGGLE_ICON, data, size) != 0;
  g_picturesDpi = ok ? PICTURE_DPIS[chosen] : 0;
  return ok;
}

// The background and the panel icon drawn for the main window's DPI (the nearest drawn),
// decoded at their first use (a millisecond at 100 %: quicker than a thread of their own
// starts under Wine); false when they could not be, and the window shows its colour.
bool ShowPicturesForDpi(int dpi) {
  bool ok = LoadPicturesFor(dpi);
  int drawnFor = ok ? g_picturesDpi : BASE_DPI;
  WindowSetBackgroundPicture(WindowHandle(WIN_MAIN),
                             reinterpret_cast<HBITMAP>(ImageHandle(IMAGE_BACKGROUND)), drawnFor);
  if (GadgetHandle(GADGET_PANEL_TOGGLE))
    ImageGadgetSetPicture(GADGET_PANEL_TOGGLE, ImageHandle(IMAGE_TOGGLE_ICON), drawnFor);
  return ok;
}

// The main window moved to a display of another scale: it has laid itself out anew and
// now takes the pictures drawn for that scale.
void FollowDpi(ObjectNumber, int dpi) { ShowPicturesForDpi(dpi); }

// The result list inside its panel, fitted to show whole rows only. The chosen row stays
// highlighted while another gadget has the focus.
void BuildResultList() {
  ContainerGadgetCreate(GADGET_LIST_PANEL, 507, 52, LIST_PANEL_WIDTH, LIST_PANEL_HEIGHT, 0);
  GadgetSetColor(GADGET_LIST_PANEL, COLOR_BACK, BACK);  // below the last whole row
  // The list fits its panel, scroll bar included, and shows whole rows only (at every
  // display scale): what it scrolls into view is what the user sees, down to the last row.
  // Its column takes the width the scroll bar leaves, so long titles end with "..."
  // instead of at the edge (it starts as wide as the empty list, which is what it gets).
  ListIconGadgetCreate(
      GADGET_RESULT_LIST, 0, 0, LIST_PANEL_WIDTH, LIST_PANEL_HEIGHT, "--------", LIST_PANEL_WIDTH,
      LIST_GRID_LINES | LIST_NO_HEADER | LIST_ALWAYS_SHOW_SELECTION | LIST_BORDERLESS);
  // Its name for screen readers; the list shows no text of its own.
  SetWindowTextW(GadgetHandle(GADGET_RESULT_LIST), WideFromText(TEXT_RESULT_LIST_NAME).c_str());
  Colour(GADGET_RESULT_LIST);
  GadgetSetColor(GADGET_RESULT_LIST, COLOR_LINE, LINE);
  ListIconFitRows(GADGET_RESULT_LIST, LIST_PANEL_HEIGHT);
  GadgetSetItemAttribute(GADGET_RESULT_LIST, 0, LIST_ITEM_ATTRIBUTE_WIDTH, LIST_COLUMN_FILL, 0);
  GadgetListClose();
}

}  // namespace

String AboutText() {
  String base = SITE_BASE_ADDRESS;
  if (!base.empty() && base.back() == '/') base.pop_back();
  String about = TEXT_ABOUT_SITE;
  about += base;
  about += "\r\n\r\n";
  about += TEXT_ABOUT_FIRST_START;
  about += "\r\n\r\n";
  about += TEXT_ABOUT_ENJOY;
  return about;
}

bool OpenMainWindow() {
  if (!WindowOpen(WIN_MAIN, 0, 0, MAIN_WIDTH, MAIN_HEIGHT, TEXT_MAIN_TITLE, MAIN_FLAGS))
    return false;
  WindowSetDpiCallback(WIN_MAIN, FollowDpi);
  return true;
}

void AddMainWindowCommands() {
  // Ctrl+J as browsers have it; the menu item is where a user looks, and names the keys.
  WindowAddShortcut(WIN_MAIN, FCONTROL, 'J', MENU_DOWNLOADS);
  WindowAddSystemMenuItem(WIN_MAIN, WideFromText(TEXT_DOWNLOADS_MENU), MENU_DOWNLOADS);
}

void CreateBrowserViews() {
  // The login view lies wholly left of the client area, so it is never seen; its browser
  // keeps the login cookie. The other one has no size. Neither is seen, so both come after
  // the window shows: starting the browser control takes longer than the rest of the
  // window. The browser's engine starts with the login navigation.
  WebGadgetCreate(GADGET_SESSION_WEB, -1000, 0, 400, 300, "", WEB_NO_BLANK_PAGE);
  // The files this view is asked to open are saved by the program, with progress.
  GadgetSetAttribute(GADGET_SESSION_WEB, WEB_ATTRIBUTE_DOWNLOAD_CALLBACK,
                     reinterpret_cast<intptr_t>(SaveVideoFile));
  WebGadgetCreate(GADGET_AUX_WEB, 0, 0, 0, 0, "", WEB_NO_BLANK_PAGE);
}

void StartLoginNavigation() { StartLoginNavigation(g_app.loginMail, g_app.loginPass); }

void StartLoginNavigation(const String& mail, const String& pass) {
  GadgetSetText(GADGET_SESSION_WEB, LoginAddress(SITE_LOGIN_ENDPOINT, mail, pass));
}

bool BuildMainGadgets() {
  // Made in the order Tab visits them, which is also their order of windows, so that
  // setting the tab order moves none: search, list, download, panel, author. The list is
  // reached through its panel.
  StringGadgetCreate(GADGET_SEARCH_TEXT, 520, 13, 170, 15, TEXT_SEARCH_DEFAULT, STRING_BORDERLESS);
  Colour(GADGET_SEARCH_TEXT);
  HyperlinkGadgetCreate(GADGET_SEARCH_LINK, 710, 13, 40, 15, TEXT_SEARCH_LINK, HOVER);
  Colour(GADGET_SEARCH_LINK);
  BuildResultList();
  HyperlinkGadgetCreate(GADGET_DOWNLOAD_LINK, 230, 573, 50, 15, TEXT_DOWNLOAD_LINK, HOVER);
  Colour(GADGET_DOWNLOAD_LINK);
  ImageGadgetCreate(GADGET_PANEL_TOGGLE, 460, 390, 0, 0, 0, IMAGE_BUTTON);  // sized by its picture
  HyperlinkGadgetCreate(GADGET_AUTHOR_LINK, 630, 585, 130, 15, AUTHOR_ADDRESS, HOVER);
  Colour(GADGET_AUTHOR_LINK);
  const ObjectNumber tabOrder[] = {GADGET_SEARCH_TEXT,   GADGET_SEARCH_LINK,  GADGET_LIST_PANEL,
                                   GADGET_DOWNLOAD_LINK, GADGET_PANEL_TOGGLE, GADGET_AUTHOR_LINK};
  GadgetSetTabOrder(tabOrder, 6);

  // The preview keeps the size of the frame's inside: a larger picture is shown reduced.
  ImageGadgetCreate(GADGET_PREVIEW, 310, 450, PREVIEW_WIDTH, PREVIEW_HEIGHT, 0, IMAGE_FIT_FRAME);
  // Titles and descriptions of any length: what does not fit ends with "..." and shows
  // whole as a tooltip. The description reaches down to the download link: eight lines of
  // the usual 13-pixel fonts (Wine's default one wraps the about text into eight).
  TextGadgetCreate(GADGET_TITLE, 15, 440, 263, 15, TEXT_TITLE_DEFAULT, TEXT_CENTER | TEXT_ELLIPSIS);
  Colour(GADGET_TITLE);
  TextGadgetCreate(GADGET_DESCRIPTION, 15, 465, 263, 108, AboutText(), TEXT_ELLIPSIS);
  Colour(GADGET_DESCRIPTION);
  ButtonGadgetCreate(GADGET_HIDDEN_BUTTON, 0, 0, 0, 0, "");
  bool pictures = ShowPicturesForDpi(WindowDpi(WIN_MAIN));
  WindowSetHidden(WIN_MAIN, 0);
  return pictures;
}
