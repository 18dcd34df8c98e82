// Video files saved for the user: into the Downloads folder, under the name the server
// gives (or the address's last segment), with " (2)", " (3)" ... when the name is taken.
// A download runs while the program goes on; its progress stands in place of the
// download link's text and the description label says where the file went (or why it
// did not come).
#pragma once

#include <string>

#include "text.h"
#include "toolkit.h"

// The download link's action: has the browser view download g_app.downloadUrl.
void DownloadVideo();
// Saves the file at `address`; a file already downloading is not started again. The
// session web view's download callback.
void SaveVideoFile(ObjectNumber gadget, const char* address);
// The folder downloads go to, a UTF-8 path (os.h) ending in a backslash; empty when there
// is none.
std::string DownloadsFolder();
