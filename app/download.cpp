#include "download.h"

#include <windows.h>
// after windows.h
#include <knownfolders.h>
#include <shlobj.h>

#include <cstdio>
#include <vector>

#include "appstate.h"
#include "client_ids.h"
#include "search.h"
#include "texts.h"
#include "transfer.h"
#include "videopage.h"
#include "webview.h"

namespace {

constexpr UINT_PTR PROGRESS_TIMER = 0x5644;
constexpr UINT PROGRESS_MS = 250;

struct Download {
  String address;
  String folder;
  String addressName;  // the name from the address, when the server gives none
  Transfer* transfer;
};
std::vector<Download> running;

// A file may take as long as it takes, as long as data keeps coming.
TransferLimits FileLimits() {
  TransferLimits limits = PageLimits();
  limits.totalMs = 0;
  return limits;
}

String ProgressText(const TransferProgress& progress) {
  char text[32];
  if (progress.length > 0)
    std::snprintf(text, sizeof text, "%d%%",
                  static_cast<int>(progress.bytes * 100 / static_cast<uint64_t>(progress.length)));
  else
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(progress.bytes >> 20));
  return progress.length > 0 ? String(text) : text + String(TEXT_MEGABYTES);
}

// Puts a finished download in place under a free name and says how it ended.
void Finish(const Download& download) {
  TransferResult result = TransferResultOf(download.transfer);
  String saved;
  if (result.Ok()) {
    String name =
        result.suggestedName.empty() ? download.addressName : SafeFileName(result.suggestedName);
    if (TransferSave(download.transfer, download.folder + name, false, &saved))
      ShowStatus(TEXT_DOWNLOAD_SAVED + saved);
    else
      result.status = TransferStatus::NOT_SAVED;
  }
  if (!result.Ok()) ShowStatus(TEXT_DOWNLOAD_FAILED + TransferFailureText(result) + ".");
  TransferRelease(download.transfer);
}

// Runs from the window's timer, also while the program waits for a page, so that the
// progress goes on showing.
void CALLBACK OnProgressTimer(HWND window, UINT, UINT_PTR, DWORD) {
  for (size_t i = 0; i < running.size();) {
    if (TransferPoll(running[i].transfer).finished) {
      Download done = running[i];
      running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
      Finish(done);
    } else {
      ++i;
    }
  }
  if (running.empty()) {
    KillTimer(window, PROGRESS_TIMER);
    GadgetSetText(GADGET_DOWNLOAD_LINK, TEXT_DOWNLOAD_LINK);
    return;
  }
  GadgetSetText(GADGET_DOWNLOAD_LINK, ProgressText(TransferPoll(running.back().transfer)));
}

bool Running(const String& address) {
  for (const Download& download : running)
    if (download.address == address) return true;
  return false;
}

}  // namespace

String DownloadsFolder() {
  String folder;
  PWSTR wide = nullptr;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Downloads, KF_FLAG_CREATE, nullptr, &wide)) && wide) {
    int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size > 1) {
      folder.resize(static_cast<size_t>(size));
      WideCharToMultiByte(CP_ACP, 0, wide, -1, &folder[0], size, nullptr, nullptr);
      folder.resize(static_cast<size_t>(size - 1));
    }
  }
  CoTaskMemFree(wide);
  if (folder.empty()) {
    char profile[MAX_PATH] = "";
    if (GetEnvironmentVariableA("USERPROFILE", profile, sizeof profile) == 0) return "";
    folder = String(profile) + "\\Downloads";
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  if (folder.back() != '\\') folder += '\\';
  return folder;
}

void SaveVideoFile(ObjectNumber, const char* address) {
  String url = address ? address : "";
  if (url.empty()) return;
  if (Running(url)) {
    ShowStatus(TEXT_DOWNLOAD_RUNNING);
    return;
  }
  String folder = DownloadsFolder();
  DWORD attributes = folder.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ShowStatus(TEXT_DOWNLOAD_FAILED + String(TEXT_DOWNLOAD_NO_FOLDER) + folder + ".");
    return;
  }
  String name = AddressFileName(url);
  Transfer* transfer = TransferBegin(url, folder + name, FileLimits());
  if (!transfer) {
    ShowStatus(TEXT_DOWNLOAD_FAILED + String(TEXT_FAIL_OTHER) + ".");
    return;
  }
  running.push_back({url, folder, name, transfer});
  GadgetSetText(GADGET_DOWNLOAD_LINK, "0%");
  SetTimer(WindowHandle(WIN_MAIN), PROGRESS_TIMER, PROGRESS_MS, OnProgressTimer);
}

void DownloadVideo() {
  if (g_app.downloadUrl.empty()) {
    ShowStatus(TEXT_CHOOSE_VIDEO_FIRST);
    return;
  }
  if (Running(g_app.downloadUrl)) {
    ShowStatus(TEXT_DOWNLOAD_RUNNING);
    return;
  }
  // The browser view hands its download over (or, without an HTML engine, the address
  // goes to SaveVideoFile at once).
  if (!WebGadgetDownload(GADGET_SESSION_WEB, g_app.downloadUrl))
    SaveVideoFile(GADGET_SESSION_WEB, g_app.downloadUrl.c_str());
}
