// Preference files: a small key/value store in a text file of "key = value" lines, with
// optional "[group]" headers and "; comment" lines. One file is open at a time; it is read
// and parsed whole by PrefsOpen and rewritten whole by PrefsClose, only if something was
// written. Only keys before the first group header are visible.
#pragma once

#include "os.h"
#include "text.h"

constexpr int PREFS_ANSI = 0;
constexpr int PREFS_UTF8 = 65001;

// Closes a file still open, then opens and parses `name`. Returns a non-zero handle when the
// file could be opened (also read-only, also empty), 0 when it could not (writes are then
// kept and create the file at close).
OsFile PrefsOpen(TextArg name);
// The value of the first key equal to `key` ignoring ASCII letter case, trimmed of spaces
// and tabs; `fallback` when there is no such key or no file is open.
String PrefsReadString(TextArg key, TextArg fallback);
// Sets the first matching key (taking this call's letter case) or adds a new one before
// the first group header. Written to disk by PrefsClose.
void PrefsWriteString(TextArg key, TextArg value);
// Writes the file when something was written, then releases everything.
void PrefsClose();
// The encoding of the open file (PREFS_ANSI or PREFS_UTF8).
int PrefsEncoding();
