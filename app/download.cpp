#include "download.h"

#include <windows.h>
// after windows.h
#include <knownfolders.h>
#include <shlobj.h>

#include <cstdio>
#include <string>
#include <vector>

#include "appstate.h"
#include "client_ids.h"
#include "os.h"
#include "player.h"
#include "search.h"
#include "texts.h"
#include "transfer.h"
#include "videopage.h"
#include "webview.h"
#include "wide.h"

namespace {

constexpr UINT_PTR PROGRESS_TIMER = 0x5644;
constexpr UINT PROGRESS_MS = 250;

struct Download {
  String address;
  std::string folder;       // UTF-8, as every path (os.h)
  std::string addressName;  // the name from the address, when the server gives none
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

// Puts a finished download in place under a free name and says how it ended. The path is
// shown in UTF-16, as its folders and the name are really called.
void Finish(const Download& download) {
  TransferResult result = TransferResultOf(download.transfer);
  std::string saved;
  if (result.Ok()) {
    std::string name =
        result.suggestedName.empty() ? download.addressName : SafeFileName(result.suggestedName);
    if (TransferSave(download.transfer, download.folder + name, false, &saved))
      ShowWideStatus(WideFromText(TEXT_DOWNLOAD_SAVED) + WideFromPath(saved));
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

std::string DownloadsFolder() {
  std::string folder;
  PWSTR wide = nullptr;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Downloads, KF_FLAG_CREATE, nullptr, &wide)) && wide)
    folder = PathFromWide(wide);
  CoTaskMemFree(wide);
  if (folder.empty()) {
    // The profile's own Downloads folder, made when missing.
    std::wstring profile(32767, L'\0');
    DWORD length =
        GetEnvironmentVariableW(L"USERPROFILE", &profile[0], static_cast<DWORD>(profile.size()));
    if (length == 0 || length >= profile.size()) return std::string();
    profile.resize(length);
    profile += L"\\Downloads";
    CreateDirectoryW(profile.c_str(), nullptr);
    folder = PathFromWide(profile);
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
  std::string folder = DownloadsFolder();
  if (folder.empty() || !g_os.pathInfo(folder.c_str()).directory) {
    ShowWideStatus(WideFromText(TEXT_DOWNLOAD_FAILED + String(TEXT_DOWNLOAD_NO_FOLDER)) +
                   WideFromPath(folder) + L".");
    return;
  }
  std::string name = AddressFileName(url);
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
    // Why there is nothing to download: no video chosen, or its page said nothing usable.
    String problem = DownloadAddressProblem();
    ShowStatus(problem.empty() ? String(TEXT_CHOOSE_VIDEO_FIRST) : problem);
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
