#include "downloads_window.h"

#include <cstdio>
#include <string>
#include <vector>

#include "client_ids.h"
#include "download.h"
#include "gadget_items.h"
#include "launcher.h"
#include "listicon.h"
#include "texts.h"
#include "wide.h"

namespace {

constexpr int WIDTH = 700;
constexpr int HEIGHT = 280;
constexpr int FLAGS = WINDOW_INVISIBLE | WINDOW_TITLE_BAR | WINDOW_SYSTEM_MENU |
                      WINDOW_MINIMIZE_GADGET | WINDOW_CENTERED_ON_PARENT;
constexpr int COLUMNS = 5;

// What each row shows, to set only the cells that changed.
std::vector<std::vector<String>> shown;
// The file whose folder or self the launcher was asked to open, for its failure message.
std::string opening;

bool IsOpen() { return WindowHandle(WIN_DOWNLOADS) != nullptr; }

// Closing the window hides it; the program goes on, and so do the downloads.
LRESULT HideOnClose(HWND, UINT message, WPARAM, LPARAM) {
  if (message != WM_CLOSE) return NOT_HANDLED;
  WindowSetHidden(WIN_DOWNLOADS, 1);
  return 0;
}

String Size(double bytes) {
  char text[32];
  if (bytes < 1024 * 1024)
    std::snprintf(text, sizeof text, "%.0f", bytes / 1024);
  else
    std::snprintf(text, sizeof text, "%.1f", bytes / (1024 * 1024));
  String number = text;
  for (char& c : number)
    if (c == '.') c = ',';
  return number + (bytes < 1024 * 1024 ? TEXT_KILOBYTES : TEXT_MEGABYTES);
}

std::vector<String> Cells(const DownloadView& view) {
  char percent[16] = "";
  if (view.length > 0)
    std::snprintf(percent, sizeof percent, "%d%%",
                  static_cast<int>(view.bytes * 100 / static_cast<uint64_t>(view.length)));
  String state;
  switch (view.state) {
    case DownloadState::RUNNING:
      state = TEXT_STATE_RUNNING;
      break;
    case DownloadState::DONE:
      state = TEXT_STATE_DONE;
      break;
    case DownloadState::FAILED:
      state = TEXT_STATE_FAILED + TextFromWide(view.failure);
      break;
    case DownloadState::CANCELLED:
      state = TEXT_STATE_CANCELLED;
      break;
  }
  bool running = view.state == DownloadState::RUNNING;
  return {TextFromWide(WideFromPath(view.fileName)),
          view.length >= 0 ? Size(static_cast<double>(view.length)) : String("-"),
          view.length > 0 ? String(percent) : Size(static_cast<double>(view.bytes)),
          running ? Size(view.bytesPerSecond) + TEXT_PER_SECOND : String(), state};
}

int Chosen() {
  intptr_t row = GadgetGetState(GADGET_DOWNLOAD_LIST);
  return row >= 0 && row < DownloadCount() ? static_cast<int>(row) : -1;
}

void Enable(ObjectNumber button, bool enabled) {
  HWND handle = GadgetHandle(button);
  if (!enabled && GetFocus() == handle) SetFocus(GadgetHandle(GADGET_DOWNLOAD_LIST));
  EnableWindow(handle, enabled);
}

// Each button is there for the chosen download's state.
void EnableButtons() {
  int chosen = Chosen();
  DownloadState state = chosen >= 0 ? DownloadViewOf(chosen).state : DownloadState::RUNNING;
  Enable(GADGET_DOWNLOAD_CANCEL, chosen >= 0 && state == DownloadState::RUNNING);
  Enable(GADGET_DOWNLOAD_OPEN_FILE, chosen >= 0 && state == DownloadState::DONE);
  Enable(GADGET_DOWNLOAD_OPEN_FOLDER, chosen >= 0 && state == DownloadState::DONE);
  Enable(GADGET_DOWNLOAD_RETRY,
         chosen >= 0 && (state == DownloadState::FAILED || state == DownloadState::CANCELLED));
}

void Build() {
  HWND previous = GadgetListUse(nullptr);
  if (!WindowOpen(WIN_DOWNLOADS, IGNORE, IGNORE, WIDTH, HEIGHT, TEXT_DOWNLOADS_TITLE, FLAGS,
                  WindowHandle(WIN_MAIN))) {
    GadgetListUse(previous);
    return;
  }
  WindowSetCallback(WIN_DOWNLOADS, HideOnClose);
  // The columns leave room for the scroll bar; a cut cell shows whole as a tip.
  ListIconGadgetCreate(GADGET_DOWNLOAD_LIST, 10, 10, WIDTH - 20, 190, TEXT_COLUMN_FILE, 210,
                       LIST_FULL_ROW_SELECT | LIST_GRID_LINES);
  GadgetAddColumn(GADGET_DOWNLOAD_LIST, 1, TEXT_COLUMN_SIZE, 70);
  GadgetAddColumn(GADGET_DOWNLOAD_LIST, 2, TEXT_COLUMN_DONE, 65);
  GadgetAddColumn(GADGET_DOWNLOAD_LIST, 3, TEXT_COLUMN_SPEED, 80);
  GadgetAddColumn(GADGET_DOWNLOAD_LIST, 4, TEXT_COLUMN_STATE, 230);
  ButtonGadgetCreate(GADGET_DOWNLOAD_CANCEL, 10, 210, 110, 26, TEXT_DOWNLOAD_CANCEL);
  ButtonGadgetCreate(GADGET_DOWNLOAD_OPEN_FILE, 130, 210, 130, 26, TEXT_DOWNLOAD_OPEN_FILE);
  ButtonGadgetCreate(GADGET_DOWNLOAD_OPEN_FOLDER, 270, 210, 130, 26, TEXT_DOWNLOAD_OPEN_FOLDER);
  ButtonGadgetCreate(GADGET_DOWNLOAD_RETRY, 410, 210, 110, 26, TEXT_DOWNLOAD_RETRY);
  TextGadgetCreate(GADGET_DOWNLOAD_NOTE, 10, 245, WIDTH - 20, 30, "", TEXT_ELLIPSIS);
  shown.clear();
  GadgetListUse(previous);
}

// The note under the list: the file being opened, or its folder, could not be.
void TellOpenFailed(bool folder) {
  GadgetSetWideText(GADGET_DOWNLOAD_NOTE,
                    WideFromText(folder ? TEXT_OPEN_FOLDER_FAILED : TEXT_OPEN_FILE_FAILED) +
                        WideFromPath(opening));
}

void OpenChosen(bool folder) {
  int chosen = Chosen();
  if (chosen < 0) return;
  DownloadView view = DownloadViewOf(chosen);
  if (view.state != DownloadState::DONE) return;
  opening = view.savedPath;
  GadgetSetText(GADGET_DOWNLOAD_NOTE, "");
  // Started off the window's thread: Explorer or a player may take long to come up.
  bool started =
      folder ? LaunchInBackground("explorer.exe", "/select,\"" + view.savedPath + "\"", "",
                                  WindowHandle(WIN_MAIN), GADGET_EVENT_MESSAGE, LAUNCHED_FOLDER)
             : LaunchInBackground(view.savedPath, "", "", WindowHandle(WIN_MAIN),
                                  GADGET_EVENT_MESSAGE, LAUNCHED_FILE);
  if (!started) TellOpenFailed(folder);
}

}  // namespace

void ShowDownloadsWindow(int select) {
  if (!IsOpen()) Build();
  if (!IsOpen()) return;
  DownloadsWindowRefresh();
  if (select >= 0) GadgetSetState(GADGET_DOWNLOAD_LIST, select);
  EnableButtons();
  WindowSetHidden(WIN_DOWNLOADS, 0);
  // The main window stays above others: this one goes above it.
  WindowSetTopmost(WIN_DOWNLOADS, 1);
  SetForegroundWindow(WindowHandle(WIN_DOWNLOADS));
  SetFocus(GadgetHandle(GADGET_DOWNLOAD_LIST));
}

void DownloadsWindowRefresh() {
  if (!IsOpen()) return;
  for (int i = 0; i < DownloadCount(); ++i) {
    std::vector<String> cells = Cells(DownloadViewOf(i));
    if (i >= static_cast<int>(shown.size())) {
      String row;
      for (int column = 0; column < COLUMNS; ++column)
        row += (column ? "\n" : "") + cells[static_cast<size_t>(column)];
      GadgetAddItem(GADGET_DOWNLOAD_LIST, -1, row, 0);
      shown.push_back(cells);
      continue;
    }
    for (int column = 0; column < COLUMNS; ++column) {
      size_t c = static_cast<size_t>(column);
      if (shown[static_cast<size_t>(i)][c] == cells[c]) continue;
      GadgetSetItemText(GADGET_DOWNLOAD_LIST, i, cells[c], column);
      shown[static_cast<size_t>(i)][c] = cells[c];
    }
  }
  EnableButtons();
}

bool DownloadsWindowEvent(ObjectNumber gadget) {
  switch (gadget) {
    case GADGET_DOWNLOAD_LIST:
      EnableButtons();
      if (EventTypeOf() == TYPE_LEFT_DOUBLE_CLICK || EventTypeOf() == TYPE_RETURN_KEY)
        OpenChosen(false);
      return true;
    case GADGET_DOWNLOAD_CANCEL:
      CancelDownload(Chosen());
      return true;
    case GADGET_DOWNLOAD_RETRY:
      RetryDownload(Chosen());
      return true;
    case GADGET_DOWNLOAD_OPEN_FILE:
    case GADGET_DOWNLOAD_OPEN_FOLDER:
      OpenChosen(gadget == GADGET_DOWNLOAD_OPEN_FOLDER);
      return true;
    case LAUNCHED_FILE:
    case LAUNCHED_FOLDER:
      // The type is what the start gave: 0 when nothing could be started.
      if (EventTypeOf() == 0 && IsOpen()) TellOpenFailed(gadget == LAUNCHED_FOLDER);
      return true;
    case GADGET_DOWNLOAD_NOTE:
      return true;
  }
  return false;
}
