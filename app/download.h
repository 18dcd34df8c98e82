// Video files saved for the user: into the Downloads folder, under the name the server
// gives (made a video's name, videopage.h), with " (2)", " (3)" ... when the name is taken.
// Downloads run while the program goes on, any number at once; the downloads window lists
// this run's (downloads_window.h). The download link shows the progress of the chosen
// video's download while it runs, and the description label says how each one ended,
// naming its video. A download that does not end well keeps its bytes in a partial file
// (partial_files.h), and a later one of the same address continues from there.
#pragma once

#include <cstdint>
#include <string>

#include "text.h"
#include "toolkit.h"

enum class DownloadState { RUNNING, DONE, FAILED, CANCELLED };

// What the downloads window shows of one download.
struct DownloadView {
  std::string fileName;  // UTF-8: the saved file's name, else the one from the address
  String title;          // the video's title
  uint64_t bytes = 0;    // bytes it has (kept ones included)
  int64_t length = -1;   // the whole file's length, -1 when not known
  double bytesPerSecond = 0;
  DownloadState state = DownloadState::RUNNING;
  std::wstring failure;   // why it failed
  std::string savedPath;  // UTF-8, when it is done
};

// The download link's action: while the chosen video's file downloads, or once it is saved
// in this run (and still there), the downloads window shows it; otherwise the file is
// downloaded (through the browser view, which hands it to SaveVideoFile). A failed or
// cancelled download of it starts again, from the bytes it kept.
void DownloadVideo();
// Saves the file at `address`. The session web view's download callback.
void SaveVideoFile(ObjectNumber gadget, const char* address);
// The folder downloads go to, a UTF-8 path (os.h) ending in a backslash; empty when there
// is none.
std::string DownloadsFolder();

// This run's downloads, in the order they were started; indices stay.
int DownloadCount();
DownloadView DownloadViewOf(int index);
int RunningDownloads();
// Stops a running download; its bytes stay in its partial file for a retry.
void CancelDownload(int index);
// Starts a failed or cancelled download again, from the bytes it kept.
void RetryDownload(int index);
// The download link's text: the chosen video's progress while its file downloads, else
// "Скачать".
void UpdateDownloadLink();
// Removes partial files left more than a day ago (the program's start).
void DownloadsStart();
// Gives up the running downloads, keeping their bytes for the next start (the program's
// end).
void DownloadsEnd();
