// The files the client keeps in the temporary folder: the downloaded result page, preview
// picture and video page, and the player page it writes. The program's end deletes those
// it wrote in this run, and no others.
#pragma once

#include <string>

#include "seqfile.h"
#include "transfer.h"

constexpr const char* TEMP_RESULT_PAGE = "Text.txt";
constexpr const char* TEMP_PREVIEW = "defolt.jpg";
constexpr const char* TEMP_PLAYER_PAGE = "111.htm";
constexpr const char* TEMP_VIDEO_PAGE = "film.htm";

// The folder they go to, a UTF-8 path ending in a backslash: the system's temporary folder
// when it exists and takes a new file, else the program's own (%LOCALAPPDATA%\VideoSearch\Temp\,
// made when missing). Always a full path: when no folder can be had, the program's own is
// named all the same, so that writing fails and says so instead of landing in the current
// folder among the user's files. Chosen at the first call.
const std::string& TempFolder();
// The full path of one of the files.
inline String TempFile(const char* name) { return TempFolder() + name; }
// Notes that the program wrote the file `name` in this run.
void TempFileWritten(const char* name);
// Deletes the temporary files the program wrote in this run.
void DeleteTempFiles();

// Downloads `address` into the temporary file `name` as TransferFile does, the window going
// on meanwhile; once it is there, it is a file the program wrote. With `givesWayTo`, the
// wait is given up as soon as a newer event of that gadget of the main window waits in the
// queue (a newer request of the same kind, which replaces this one): `*gaveWay` is then
// set, and the file stays as it was.
TransferResult FetchTempFile(const String& address, const char* name, const TransferLimits& limits,
                             TransferKind kind, int givesWayTo = -1, bool* gaveWay = nullptr);
