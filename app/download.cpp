#include "download.h"

#include <windows.h>
// after windows.h
#include <knownfolders.h>
#include <shlobj.h>

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "appstate.h"
#include "client_ids.h"
#include "downloads_window.h"
#include "os.h"
#include "partial_files.h"
#include "player.h"
#include "search.h"
#include "shown_text.h"
#include "texts.h"
#include "transfer.h"
#include "videopage.h"
#include "webview.h"
#include "wide.h"

namespace {

constexpr UINT_PTR PROGRESS_TIMER = 0x5644;
constexpr UINT PROGRESS_MS = 250;
// The speed shown is that of the last few seconds.
constexpr DWORD SPEED_SPAN_MS = 3000;

struct Sample {
  DWORD tick;
  uint64_t bytes;
};

struct Download {
  String address;       // the file's address
  String askedAddress;  // the one the download link asked for (the browser may hand over another)
  String title;         // the video's title
  std::string folder;   // UTF-8, as every path (os.h)
  std::string addressName;  // the name from the address, while the server has given none
  PartialFile partial;
  Transfer* transfer = nullptr;
  DownloadState state = DownloadState::RUNNING;
  std::wstring failure;
  std::string savedPath;
  uint64_t bytes = 0;
  int64_t length = -1;
  std::deque<Sample> samples;
};
std::vector<Download> downloads;
// What the download link asked the browser view for, until it hands the file over.
String askedAddress, askedTitle;
String linkText;  // what the download link shows

// A file may take as long as it takes, as long as data keeps coming.
TransferLimits FileLimits() {
  TransferLimits limits = PageLimits();
  limits.totalMs = 0;
  return limits;
}

String ProgressText(const Download& download) {
  char text[32];
  if (download.length > 0) {
    std::snprintf(text, sizeof text, "%d%%",
                  static_cast<int>(download.bytes * 100 / static_cast<uint64_t>(download.length)));
    return text;
  }
  std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(download.bytes >> 20));
  return text + String(TEXT_MEGABYTES);
}

bool IsChosenVideos(const Download& download) {
  const String& chosen = g_app.downloadUrl;
  return !chosen.empty() && (download.address == chosen || download.askedAddress == chosen);
}

bool IsOf(const Download& download, const String& address) {
  return download.address == address || download.askedAddress == address;
}

int RunningIndexOf(const String& address) {
  for (size_t i = 0; i < downloads.size(); ++i)
    if (downloads[i].state == DownloadState::RUNNING && IsOf(downloads[i], address))
      return static_cast<int>(i);
  return -1;
}

// The download of `address` the downloads window is there for: one that runs, else the
// last one that saved a file which is still there; -1 when there is none.
int ShownIndexOf(const String& address) {
  int running = RunningIndexOf(address);
  if (running >= 0) return running;
  for (size_t i = downloads.size(); i-- > 0;)
    if (downloads[i].state == DownloadState::DONE && IsOf(downloads[i], address) &&
        g_os.pathInfo(downloads[i].savedPath.c_str()).exists)
      return static_cast<int>(i);
  return -1;
}

// The message part that names the video: «title».
std::wstring Named(const Download& download, const char* before, const char* after) {
  return WideFromText(before + CappedText(download.title, NAMED_TITLE_LIMIT) + after);
}

void Fail(Download& download, const std::wstring& reason) {
  download.state = DownloadState::FAILED;
  download.failure = reason;
  ShowWideStatus(Named(download, TEXT_VIDEO_BEFORE, TEXT_VIDEO_NOT_SAVED) + reason + L".");
}

std::wstring FolderFailure(const std::string& folder) {
  return WideFromText(TEXT_FAIL_DOWNLOADS_FOLDER) + WideFromPath(folder);
}

// Whether the volume holding `path` keeps named streams beside a file's data (NTFS does;
// FAT drives do not, nor does Wine, which would make a separate file named "x.mp4:stream").
bool KeepsStreams(const std::wstring& path) {
  wchar_t root[MAX_PATH] = L"";
  DWORD flags = 0;
  return GetVolumePathNameW(path.c_str(), root, MAX_PATH) &&
         GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
         (flags & FILE_NAMED_STREAMS);
}

// Marks a saved file as one from the internet, as browsers do, so that Windows warns before
// it is run or opened as anything dangerous. Where streams are not kept, the file stays
// unmarked.
void MarkAsFromTheInternet(const std::string& path, const String& address) {
  if (!KeepsStreams(WideFromPath(path))) return;
  std::string zone = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=";
  for (char c : address)
    if (static_cast<unsigned char>(c) >= 0x20) zone += c;
  zone += "\r\n";
  HANDLE stream = CreateFileW((WideFromPath(path) + L":Zone.Identifier").c_str(), GENERIC_WRITE, 0,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (stream == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(stream, zone.data(), static_cast<DWORD>(zone.size()), &written, nullptr);
  CloseHandle(stream);
}

// Whether the bytes a failed download got may be continued: the transfer broke off, which
// says nothing against them. An error answer (or one not asked for) may mean the file
// changed: its bytes go.
bool KeepsBytes(TransferStatus status) {
  return status == TransferStatus::CUT || status == TransferStatus::TIMED_OUT ||
         status == TransferStatus::REFUSED || status == TransferStatus::NOT_SAVED ||
         status == TransferStatus::FAILED;
}

void CALLBACK OnProgressTimer(HWND, UINT, UINT_PTR, DWORD);

bool Start(Download& download) {
  download.state = DownloadState::RUNNING;
  download.failure.clear();
  download.samples.clear();
  download.bytes = 0;
  download.length = -1;
  download.folder = DownloadsFolder();
  if (download.folder.empty() || !g_os.pathInfo(download.folder.c_str()).directory) {
    Fail(download, WideFromText(TEXT_DOWNLOAD_NO_FOLDER) + WideFromPath(download.folder));
    return false;
  }
  download.partial = PartialFileFor(download.folder, download.address);
  // The address goes beside the bytes before any arrive.
  if (!PartialFileRemember(download.partial, download.address)) {
    Fail(download, FolderFailure(download.folder));
    return false;
  }
  TransferResume resume{download.partial.path, download.partial.validator};
  download.transfer = TransferBegin(download.address, download.folder + download.addressName,
                                    FileLimits(), TransferKind::FILE, &resume);
  if (!download.transfer) {
    Fail(download, WideFromText(TEXT_FAIL_OTHER));
    return false;
  }
  SetTimer(WindowHandle(WIN_MAIN), PROGRESS_TIMER, PROGRESS_MS, OnProgressTimer);
  return true;
}

// Gives up a running download, keeping its bytes and what the server said of them.
void GiveUp(Download& download) {
  auto result = TransferResultOf(download.transfer);  // given up: the bytes stay
  if (!result.validator.empty()) {
    download.partial.validator = result.validator;
    PartialFileRemember(download.partial, download.address);
  }
  TransferRelease(download.transfer);
  download.transfer = nullptr;
}

// Puts a finished download in place under a free video name and says how it ended. The path
// is shown in UTF-16, as its folders and the name are really called.
void Finish(Download& download) {
  auto result = TransferResultOf(download.transfer);
  if (result.Ok()) {
    std::string name = VideoFileName(result.suggestedName, download.address);
    std::string saved;
    if (TransferSave(download.transfer, download.folder + name, false, &saved)) {
      download.state = DownloadState::DONE;
      download.savedPath = saved;
      MarkAsFromTheInternet(saved, download.address);
      g_os.remove(download.partial.infoPath.c_str());
      ShowWideStatus(Named(download, TEXT_VIDEO_BEFORE, TEXT_VIDEO_SAVED) + WideFromPath(saved));
    } else {
      result.status = TransferStatus::NOT_SAVED;
    }
  }
  if (!result.Ok()) {
    if (KeepsBytes(result.status)) {
      if (!result.validator.empty()) download.partial.validator = result.validator;
      PartialFileRemember(download.partial, download.address);
    } else {
      PartialFileForget(download.partial);
    }
    // The service's words for a file it could not write name the temporary folder.
    Fail(download, result.status == TransferStatus::NOT_SAVED
                       ? FolderFailure(download.folder)
                       : WideFromText(TransferFailureText(result)));
  }
  TransferRelease(download.transfer);
  download.transfer = nullptr;
}

void Follow(Download& download, const TransferProgress& progress) {
  download.bytes = progress.bytes;
  download.length = progress.length;
  DWORD now = GetTickCount();
  download.samples.push_back({now, progress.bytes});
  while (download.samples.size() > 2 && now - download.samples.front().tick > SPEED_SPAN_MS)
    download.samples.pop_front();
}

// Runs from the window's timer, also while the program waits for a page or a question, so
// that the progress goes on showing.
void CALLBACK OnProgressTimer(HWND window, UINT, UINT_PTR, DWORD) {
  bool running = false;
  for (Download& download : downloads) {
    if (download.state != DownloadState::RUNNING) continue;
    TransferProgress progress = TransferPoll(download.transfer);
    Follow(download, progress);
    if (progress.finished)
      Finish(download);
    else
      running = true;
  }
  if (!running) KillTimer(window, PROGRESS_TIMER);
  UpdateDownloadLink();
  DownloadsWindowRefresh();
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
  int running = RunningIndexOf(url);
  if (running >= 0) {
    ShowDownloadsWindow(running);
    return;
  }
  // The title of the video the link asked for; a file the browser was asked for otherwise
  // belongs to the chosen video.
  String title = !askedAddress.empty() ? askedTitle : GadgetGetText(GADGET_TITLE);
  String asked = askedAddress;
  askedAddress.clear();
  askedTitle.clear();
  // A failed or cancelled download of the same file starts again in its own row.
  int again = -1;
  for (size_t i = 0; i < downloads.size(); ++i)
    if (downloads[i].address == url && (downloads[i].state == DownloadState::FAILED ||
                                        downloads[i].state == DownloadState::CANCELLED))
      again = static_cast<int>(i);
  if (again < 0) {
    Download download;
    download.address = url;
    download.addressName = AddressFileName(url);
    downloads.push_back(download);
    again = static_cast<int>(downloads.size()) - 1;
  }
  downloads[again].title = title;
  downloads[again].askedAddress = asked;
  Start(downloads[again]);
  UpdateDownloadLink();
  DownloadsWindowRefresh();
}

void DownloadVideo() {
  if (g_app.downloadUrl.empty()) {
    // Why there is nothing to download: no video chosen, or its page said nothing usable.
    String problem = DownloadAddressProblem();
    ShowStatus(problem.empty() ? String(TEXT_CHOOSE_VIDEO_FIRST) : problem);
    return;
  }
  // A file that is on its way, or saved in this run and still there, is not fetched again:
  // the downloads window shows it, to be cancelled, opened or found.
  int shown = ShownIndexOf(g_app.downloadUrl);
  if (shown >= 0) {
    ShowDownloadsWindow(shown);
    return;
  }
  askedAddress = g_app.downloadUrl;
  askedTitle = GadgetGetText(GADGET_TITLE);
  // The browser view hands its download over (or, without an HTML engine, the address
  // goes to SaveVideoFile at once).
  if (!WebGadgetDownload(GADGET_SESSION_WEB, g_app.downloadUrl))
    SaveVideoFile(GADGET_SESSION_WEB, g_app.downloadUrl.c_str());
}

int DownloadCount() { return static_cast<int>(downloads.size()); }

DownloadView DownloadViewOf(int index) {
  DownloadView view;
  if (index < 0 || index >= DownloadCount()) return view;
  const Download& download = downloads[static_cast<size_t>(index)];
  view.fileName = download.savedPath.empty()
                      ? download.addressName
                      : download.savedPath.substr(download.savedPath.find_last_of('\\') + 1);
  view.title = download.title;
  view.bytes = download.bytes;
  view.length = download.length;
  if (download.state == DownloadState::RUNNING && download.samples.size() >= 2) {
    const Sample& first = download.samples.front();
    const Sample& last = download.samples.back();
    if (last.tick > first.tick)
      view.bytesPerSecond = static_cast<double>(last.bytes - first.bytes) * 1000.0 /
                            static_cast<double>(last.tick - first.tick);
  }
  view.state = download.state;
  view.failure = download.failure;
  view.savedPath = download.savedPath;
  return view;
}

int RunningDownloads() {
  int running = 0;
  for (const Download& download : downloads) running += download.state == DownloadState::RUNNING;
  return running;
}

void CancelDownload(int index) {
  if (index < 0 || index >= DownloadCount()) return;
  Download& download = downloads[static_cast<size_t>(index)];
  if (download.state != DownloadState::RUNNING) return;
  GiveUp(download);
  download.state = DownloadState::CANCELLED;
  ShowWideStatus(Named(download, TEXT_DOWNLOAD_OF_VIDEO, TEXT_DOWNLOAD_CANCELLED));
  UpdateDownloadLink();
  DownloadsWindowRefresh();
}

void RetryDownload(int index) {
  if (index < 0 || index >= DownloadCount()) return;
  Download& download = downloads[static_cast<size_t>(index)];
  if (download.state != DownloadState::FAILED && download.state != DownloadState::CANCELLED) return;
  Start(download);
  UpdateDownloadLink();
  DownloadsWindowRefresh();
}

void UpdateDownloadLink() {
  String text = TEXT_DOWNLOAD_LINK;
  for (const Download& download : downloads)
    if (download.state == DownloadState::RUNNING && IsChosenVideos(download))
      text = ProgressText(download);
  if (text == linkText) return;
  linkText = text;
  GadgetSetText(GADGET_DOWNLOAD_LINK, text);
}

void DownloadsStart() { RemoveStalePartialFiles(DownloadsFolder()); }

void DownloadsEnd() {
  for (Download& download : downloads)
    if (download.state == DownloadState::RUNNING) GiveUp(download);
}
