// The operating-system seam of the portable runtime: the few file-system calls that the
// string, preference, file and picture services need. On Windows they are the wide (UTF-16)
// system calls; natively they are POSIX calls, so the core can be tested, sanitised and
// fuzzed on Linux. The calls go through a table that tests may replace to inject failures.
//
// Paths are UTF-8 everywhere in the program (std::string / const char*): every path given
// to the seam and every path it gives back (tempPath, fullPath). UTF-8 holds every name a
// Windows folder can have, whatever the system's code page; the Windows side converts at
// the call (win32/wide.h), and natively the bytes are the file system's own. A path built
// from a Windows-1251 text (a name the site gives) goes through PathFromText first.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// A system file handle as an integer; 0 means "no file".
using OsFile = intptr_t;

// How a file is opened. Each mode names the access, the sharing and whether the file is
// created, as the services ask for them.
enum OsOpenMode {
  OS_OPEN_READ,               // read, share read, existing file only
  OS_OPEN_READ_SHARE_ALL,     // read, share read and write, existing file only
  OS_OPEN_READ_WRITE,         // read and write, share read, existing file only
  OS_OPEN_READ_WRITE_ALWAYS,  // read and write, share read, created when missing
  OS_CREATE_ALWAYS,           // read and write, no sharing, truncated or created
};

// What stands at a path.
struct OsPathInfo {
  bool exists = false;
  bool directory = false;
  // The read-only attribute; natively, a file without its owner's write permission.
  bool readOnly = false;
  // Time of the last write, in the system's own units (only compared with each other).
  int64_t modified = 0;
};

struct OsApi {
  OsFile (*open)(const char* name, OsOpenMode mode);
  // Bytes read or written, -1 on error.
  long (*read)(OsFile file, void* buffer, long size);
  long (*write)(OsFile file, const void* buffer, long size);
  // Moves the position relative to the current one; returns the new position or -1.
  int64_t (*seekRelative)(OsFile file, int64_t offset);
  int64_t (*seekStart)(OsFile file, int64_t offset);
  int64_t (*size)(OsFile file);
  // Ends the file at the current position.
  bool (*truncate)(OsFile file);
  bool (*flush)(OsFile file);
  void (*close)(OsFile file);
  bool (*remove)(const char* name);
  // Replaces `to` by `from` in one step (the old `to` may exist).
  bool (*replace)(const char* from, const char* to);
  // The user's temporary directory with its trailing separator, or "".
  std::string (*tempPath)();
  OsPathInfo (*pathInfo)(const char* name);
  // The absolute form of `name`, as messages to the user name a file; `name` itself when
  // none can be formed.
  std::string (*fullPath)(const char* name);
  // An existing file opened as a C stream for binary reading (for the picture libraries,
  // which read through one), or null.
  FILE* (*openStream)(const char* name);
};

// The table in force. Tests swap entries; the runtime always calls through it.
extern OsApi g_os;
// The system's own table, for restoring after a test.
const OsApi& OsSystemApi();
