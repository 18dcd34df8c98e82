// Numbered, buffered byte files read line by line and written line by line, plus deleting
// a file and finding the user's temporary directory. Each open file has a 4096-byte buffer
// that holds either read-ahead data or data not yet written; reads and writes may be mixed
// on one file and keep one logical position.
#pragma once

#include <cstdint>

#include "objtable.h"
#include "os.h"
#include "text.h"

constexpr long FILE_BUFFER_SIZE = 4096;

// Opens an existing file for reading. Returns the system handle (or, for ANY_NUMBER, the
// number of the new record); 0 on failure.
ObjectNumber FileOpenRead(ObjectNumber number, TextArg name);
// Opens a file for reading and writing, created when missing, not truncated, at its start.
ObjectNumber FileOpenReadWrite(ObjectNumber number, TextArg name);
// The next line without its line end (CR, LF or CR LF; a NUL byte also ends a line). A line
// longer than `limit` bytes is read to its end, but only its first `limit` bytes are kept,
// and `*tooLong` (when given) says so: a hostile file's one endless line costs no memory.
String FileReadLine(ObjectNumber number, size_t limit = SIZE_MAX, bool* tooLong = nullptr);
// Non-zero when no byte is left to read (0 for a number that is not open).
int FileAtEnd(ObjectNumber number);
// Writes the text followed by CR LF; returns the number of bytes accepted.
long FileWriteLine(ObjectNumber number, TextArg text);
// Ends the file at the current logical position: pending data is written first, unread
// read-ahead is dropped. Right after opening, this empties the file. Non-zero on success.
int FileTruncate(ObjectNumber number);
// Writes pending data and closes the file.
void FileClose(ObjectNumber number);
// Deletes a file; non-zero on success.
int FileDelete(TextArg name);
// The user's temporary directory with its trailing separator, or "".
String TempDirectory();
// Closes every open file (program end).
void FilesEnd();

// A file that one procedure owns from opening to closing: it is closed when the owner goes
// out of scope, on every way out.
class ScopedFile {
 public:
  ScopedFile() = default;
  ~ScopedFile() { Close(); }
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;

  // As FileOpenRead and FileOpenReadWrite; a file still open here is closed first. False
  // when the file cannot be opened.
  bool OpenRead(ObjectNumber number, TextArg name) {
    Close();
    return Opened(number, FileOpenRead(number, name));
  }
  bool OpenReadWrite(ObjectNumber number, TextArg name) {
    Close();
    return Opened(number, FileOpenReadWrite(number, name));
  }
  void Close() {
    if (open_) FileClose(number_);
    open_ = false;
  }
  // The number to read and write it by (the one the table chose for ANY_NUMBER).
  ObjectNumber Number() const { return number_; }

 private:
  bool Opened(ObjectNumber number, ObjectNumber result) {
    open_ = result != 0;
    number_ = number == ANY_NUMBER ? result : number;
    return open_;
  }

  ObjectNumber number_ = ANY_NUMBER;
  bool open_ = false;
};
