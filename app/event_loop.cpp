#include "event_loop.h"

#include <windows.h>

#include <string>

#include "addresses.h"
#include "appstate.h"
#include "background.h"
#include "client_ids.h"
#include "config.h"
#include "download.h"
#include "downloads_window.h"
#include "image.h"
#include "launcher.h"
#include "main_window.h"
#include "player.h"
#include "prefs.h"
#include "search.h"
#include "seqfile.h"
#include "session.h"
#include "shown_text.h"
#include "slide.h"
#include "startup.h"
#include "temp_files.h"
#include "texts.h"
#include "toolkit.h"
#include "transfer.h"
#include "wide.h"

namespace {

HANDLE g_heap = nullptr;

void SearchAction() {
  // One search runs, the last one asked for: a newer click waiting behind this one makes it
  // pointless (and a search that waits gives way to a newer click, temp_files.h).
  if (EventQueued(EVENT_GADGET, WIN_MAIN, GADGET_SEARCH_LINK) > 0) return;
  char32_t lacking = 0;
  String text = GadgetGetText(GADGET_SEARCH_TEXT, &lacking);
  if (lacking) {
    // Sent, the character would reach the site as "?" and find something else: the search
    // is not made, and the label names the character.
    ShowWideStatus(WideFromText(TEXT_CANNOT_SEARCH_BEFORE) + WideFromCodePoint(lacking) +
                   WideFromText(TEXT_CANNOT_SEARCH_AFTER));
    return;
  }
  g_app.searchText = text;
  g_app.searchUrl = SearchAddress(SITE_BASE_ADDRESS, g_app.searchText);
  SearchVideos(g_app.searchUrl);
}

bool ValidRow(intptr_t row) {
  return row >= 0 && row < static_cast<intptr_t>(g_app.videoLinks.size());
}

// The main window's title, which the toolkit set from a Windows-1251 text.
String MainWindowTitle() {
  HWND window = WindowHandle(WIN_MAIN);
  std::wstring title(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  title.resize(
      static_cast<size_t>(GetWindowTextW(window, &title[0], static_cast<int>(title.size()))));
  return TextFromWide(title);
}

void PlayChosenRow() {
  g_app.videoLink = g_app.videoLinks[g_app.selectedIndex];
  String previousTitle = MainWindowTitle();
  WindowSetTitle(WIN_MAIN, CappedText(GadgetGetItemText(GADGET_RESULT_LIST, g_app.selectedIndex, 0),
                                      TITLE_LIMIT));
  String failure;
  if (OpenPlayer(g_app.videoLink, &failure)) {
    g_app.viewingStarted = true;
  } else {
    // The panel still shows what it showed: so does the title, and the label says why.
    WindowSetTitle(WIN_MAIN, previousTitle);
    ShowStatus(TEXT_VIDEO_FAILED + failure + ".");
  }
}

// A click, double click or Enter acts on the row it was made on (EventItem), also when it
// is handled after a wait during which the selection moved on.
void ListActions() {
  const int type = EventTypeOf();
  const intptr_t row = EventItem();
  // A row the keyboard moved to is chosen once the selection rests: each move restarts
  // the timer. A click or Enter chooses at once.
  if (type == TYPE_KEYBOARD_SELECT)
    WindowAddTimer(WIN_MAIN, TIMER_KEYBOARD_ROW, KEYBOARD_ROW_REST_MS);
  if (type == TYPE_LEFT_CLICK || type == TYPE_RETURN_KEY)
    WindowRemoveTimer(WIN_MAIN, TIMER_KEYBOARD_ROW);
  if (!ValidRow(row)) return;
  if (type == TYPE_LEFT_CLICK) ChooseRow(static_cast<int>(row));
  // A double click follows the click that chose its row; Enter chooses the row, then plays
  // it, as a double click does.
  if ((type == TYPE_LEFT_DOUBLE_CLICK && row != g_app.selectedIndex) || type == TYPE_RETURN_KEY)
    ChooseRow(static_cast<int>(row));
  if (type == TYPE_LEFT_DOUBLE_CLICK || type == TYPE_RETURN_KEY) PlayChosenRow();
}

void ChooseRestedRow() {
  WindowRemoveTimer(WIN_MAIN, TIMER_KEYBOARD_ROW);
  intptr_t row = GadgetGetState(GADGET_RESULT_LIST);
  if (ValidRow(row)) ChooseRow(static_cast<int>(row));
}

void DispatchGadget(ObjectNumber gadget) {
  if (gadget == GADGET_AUTHOR_LINK) {
    // The browser may take seconds to come up: it starts off the window's thread.
    LaunchInBackground(AUTHOR_ADDRESS);
  } else if (gadget == GADGET_DOWNLOAD_LINK) {
    DownloadVideo();
  } else if (gadget == GADGET_PANEL_TOGGLE) {
    if (EventTypeOf() == TYPE_LEFT_CLICK) {
      g_app.panelCollapsed = !g_app.panelCollapsed;
      SlidePanel(g_app.panelCollapsed ? SLIDE_TO_NARROW : SLIDE_TO_WIDE);
    }
  } else if (gadget == GADGET_SEARCH_LINK) {
    SearchAction();
  } else if (gadget == GADGET_RESULT_LIST) {
    ListActions();
  } else {
    DownloadsWindowEvent(gadget);
  }
}

// Asks before `running` downloads are broken off; true when the program may end.
bool DownloadsMayStop(int running) {
  String question =
      TEXT_CLOSE_DOWNLOADS_BEFORE + std::to_string(running) + TEXT_CLOSE_DOWNLOADS_AFTER;
  return AskUser(TEXT_CLOSE_CAPTION, question, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// The close request: while downloads run, the user is asked whether to break them off (No
// keeps the program); otherwise, after viewing, whether viewing may stop, where any answer
// ends the program and only Yes cleans up.
void CloseProgram() {
  if (int running = RunningDownloads(); running > 0) {
    if (!DownloadsMayStop(running)) {
      // Asked during a wait, the close request is also queued for the main loop: it has
      // had its answer.
      EventDiscard(EVENT_CLOSE, WIN_MAIN);
      return;
    }
    DownloadsEnd();  // their bytes stay for the next start
    DeleteTempFiles();
  } else if (g_app.viewingStarted) {
    if (AskUser(TEXT_CLOSE_CAPTION, TEXT_CLOSE_QUESTION, MB_YESNO | MB_ICONINFORMATION) == IDYES)
      DeleteTempFiles();
  } else {
    DeleteTempFiles();
  }
  EndProgram();
}

}  // namespace

void SetProgramHeap(void* heap) { g_heap = heap; }

void ChooseRow(int row) {
  g_app.selectedIndex = row;
  g_app.pictureUrl = g_app.pictureUrls[row];
  ShowPreview(g_app.pictureUrl);
  GadgetSetText(GADGET_DESCRIPTION, CappedText(g_app.descriptions[row], LABEL_LIMIT));
  GadgetSetText(GADGET_TITLE,
                CappedText(GadgetGetItemText(GADGET_RESULT_LIST, row, 0), TITLE_LIMIT));
  FetchDownloadUrl(g_app.videoLinks[row]);
  UpdateDownloadLink();
}

void EndProgram() {
  TransfersEnd();
  BackgroundsEnd();
  PrefsClose();
  GadgetsEnd();
  WindowsEnd();
  ImagesEnd();  // also unloads the alpha-blending library
  FilesEnd();
  SystemEnd();
  if (g_heap) HeapDestroy(g_heap);
  ExitProcess(0);
}

void RunMainLoop() {
  // A close request is taken at once, also while a transfer is waited for.
  TransferSetCloseHandler(CloseProgram);
  DownloadsStart();
  for (;;) {
    g_app.lastEvent = EventWait();
    if (g_app.lastEvent == EVENT_GADGET) DispatchGadget(EventGadgetNumber());
    if (g_app.lastEvent == EVENT_TIMER && EventGadgetNumber() == TIMER_KEYBOARD_ROW)
      ChooseRestedRow();
    if (g_app.lastEvent == EVENT_TIMER && EventGadgetNumber() == TIMER_LOGIN_CHECK)
      LoginTimerTick();
    UpdateHoverCursor(g_app.lastEvent);
    if (g_app.lastEvent == EVENT_MENU && EventGadgetNumber() == MENU_DOWNLOADS)
      ShowDownloadsWindow();
    if (g_app.lastEvent == EVENT_CLOSE && EventWindowNumber() == WIN_MAIN) CloseProgram();
  }
}
