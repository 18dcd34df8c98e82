// Partial files: the bytes of a video file that did not arrive whole (cut by the network,
// cancelled, or the program closed), kept so that a later download of the same address, in
// this run or a later one, asks only for the rest.
//
// They lie in the Downloads folder beside the files they become: on the same volume, so
// that the finished file is renamed into place rather than copied, and a folder that is
// full or cannot be written says so at once. Each is named after its address
// ("<name from the address>.<16 hex digits of the address's hash>.vspart"), so the same
// address finds its partial file again and two addresses never share one, across runs as
// within one; it is never the final name, nor a name Windows would run. Beside it, a small
// text file of the same stem (".vsinfo") keeps the address and the validator the server
// gave for those bytes: it travels with the partial file on any file system (alternate
// streams do not survive FAT drives, copies or Wine), is deleted with it, and a partial file
// without it is not trusted (the download then starts afresh).
#pragma once

#include <string>

#include "text.h"

struct PartialFile {
  std::string path;      // UTF-8: the bytes
  std::string infoPath;  // UTF-8: the address and validator beside them
  String validator;      // what the server said of the bytes; empty: not to be trusted
};

// The partial file for `address` in `folder` (ending in a backslash): the one an earlier
// download left, with its validator, else a free name for a new one.
PartialFile PartialFileFor(const std::string& folder, const String& address);
// Writes the address and validator beside the partial file; false when the folder does not
// take the file.
bool PartialFileRemember(const PartialFile& partial, const String& address);
// Deletes the partial file and what is kept beside it.
void PartialFileForget(const PartialFile& partial);
// Deletes this program's partial files in `folder` that no one has written to for a day, on
// a thread of its own (the start of the program calls it).
void RemoveStalePartialFiles(const std::string& folder);
