// Preference files: a small key/value store in a text file of "key = value" lines, with
// optional "[group]" headers and "; comment" lines. One file is open at a time; it is read
// and parsed whole by PrefsOpen. Only keys before the first group header are visible.
//
// PrefsClose writes the file back only if something was written, and then changes only the
// lines of the keys written and adds lines ("key = value", CR LF) for new keys: every other
// byte, lines that parse as nothing sensible included, comes back as it was.
//
// A file may be Windows-1251, UTF-8 with or without a byte-order mark, or UTF-16 (little
// or big endian) with one; a rewrite keeps the encoding and the mark. Keys and values
// passed in and out are Windows-1251 text whatever the file's encoding.
//
// A save never leaves a half-written file in place of the old one: the new text goes to
// "NAME.part", which is renamed to "NAME.new" once complete and then replaces the file.
// PrefsOpen finishes what an interrupted save left: a complete "NAME.new" that is newer
// than the file replaces it, anything else is removed.
#pragma once

#include "os.h"
#include "text.h"

// Encodings (the Windows code page numbers).
constexpr int PREFS_ANSI = 0;
constexpr int PREFS_UTF8 = 65001;
constexpr int PREFS_UTF16LE = 1200;
constexpr int PREFS_UTF16BE = 1201;

// What PrefsReadValue found.
constexpr int PREFS_FOUND = 0;
constexpr int PREFS_MISSING = 1;     // no such key, or no file open
constexpr int PREFS_NOT_CP1251 = 2;  // the value holds characters Windows-1251 lacks

// What PrefsClose did with the changes.
constexpr int PREFS_SAVED = 0;           // written, or nothing to write
constexpr int PREFS_SAVE_DIRECTORY = 1;  // a directory stands in the file's place
constexpr int PREFS_SAVE_READ_ONLY = 2;  // the file is read-only: left as it was
constexpr int PREFS_SAVE_FAILED = 3;     // no rights, disk full, file not wholly readable

// Closes a file still open, finishes an interrupted save of `name`, then opens and parses
// it. Returns a non-zero handle when the file could be opened (also read-only, also
// empty), 0 when it could not (writes are then kept and create the file at close).
OsFile PrefsOpen(TextArg name);
// The value of the first key equal to `key` ignoring ASCII letter case, trimmed of spaces
// and tabs, into `value`; `value` is left alone unless the result is PREFS_FOUND.
int PrefsReadValue(TextArg key, String* value);
// PrefsReadValue's value, or `fallback` when it found none (also for PREFS_NOT_CP1251).
String PrefsReadString(TextArg key, TextArg fallback);
// Sets the first matching key (taking this call's letter case) or adds a new one after the
// last line before the first group header. The value ends at its first CR, LF or NUL
// byte, which no line can hold. Written to disk by PrefsClose.
void PrefsWriteString(TextArg key, TextArg value);
// Writes the file when something was written, then releases everything. Returns
// PREFS_SAVED or why the changes could not be written (the file is then unchanged).
int PrefsClose();
// The encoding of the open file (PREFS_ANSI, PREFS_UTF8, PREFS_UTF16LE or PREFS_UTF16BE).
int PrefsEncoding();
