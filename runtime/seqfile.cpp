#include "seqfile.h"

#include <cstring>
#include <vector>

namespace {

enum FileMode { MODE_WRITE = 0, MODE_READ = 1 };

struct FileRecord {
  OsFile handle = 0;
  std::vector<char> buffer;  // empty when it could not be allocated: the file is unbuffered
  long count = 0;            // read: unconsumed bytes; write: free bytes
  long fill = 0;             // read: bytes the last refill brought
  FileMode mode = MODE_READ;
  bool InUse() const { return handle != 0; }
};

void ReleaseFile(ObjectNumber number);
ObjectTable<FileRecord> g_files(16, ReleaseFile);

long BufferSize(const FileRecord& f) { return static_cast<long>(f.buffer.size()); }

void FlushPending(FileRecord& f) {
  if (f.mode != MODE_WRITE || f.buffer.empty()) return;
  long pending = BufferSize(f) - f.count;
  if (pending > 0) g_os.write(f.handle, f.buffer.data(), pending);
  f.count = BufferSize(f);
}

void ToReadMode(FileRecord& f) {
  if (f.mode == MODE_WRITE) {
    FlushPending(f);
    f.mode = MODE_READ;
    f.count = 0;
    f.fill = 0;
  }
}

// Unbuffered files (no memory for the buffer) read one byte at a time; read errors count
// as the end of the file.
bool ReadByteDirect(FileRecord& f, char* c) { return g_os.read(f.handle, c, 1) == 1; }

// Makes sure read-ahead holds at least one byte; false at the end of the file.
bool Refill(FileRecord& f) {
  ToReadMode(f);
  if (f.count > 0) return true;
  long got = g_os.read(f.handle, f.buffer.data(), BufferSize(f));
  if (got <= 0) {
    f.fill = f.count = 0;
    return false;
  }
  f.fill = f.count = got;
  return true;
}

long WriteBytes(FileRecord& f, const char* data, long n) {
  if (f.buffer.empty()) {
    long put = g_os.write(f.handle, data, n);
    return put > 0 ? put : 0;
  }
  if (f.mode == MODE_READ) {
    // The system position is ahead of what was consumed by the unread read-ahead.
    if (f.count > 0) g_os.seekRelative(f.handle, -f.count);
    f.mode = MODE_WRITE;
    f.count = BufferSize(f);
  }
  if (n < f.count) {
    memcpy(f.buffer.data() + (BufferSize(f) - f.count), data, static_cast<size_t>(n));
    f.count -= n;
    return n;
  }
  FlushPending(f);
  if (n >= BufferSize(f)) {
    long put = g_os.write(f.handle, data, n);
    return put > 0 ? put : 0;
  }
  memcpy(f.buffer.data(), data, static_cast<size_t>(n));
  f.count -= n;
  return n;
}

ObjectNumber Open(ObjectNumber number, TextArg name, OsOpenMode mode) {
  FileRecord* f = g_files.Slot(number);
  if (!f) return 0;
  String path(name.view());
  OsFile handle = g_os.open(path.c_str(), mode);
  if (!handle) {
    g_files.Free(number == ANY_NUMBER ? g_files.NumberOf(f) : number);
    return 0;
  }
  f->handle = handle;
  try {
    f->buffer.assign(static_cast<size_t>(FILE_BUFFER_SIZE), 0);
  } catch (const std::bad_alloc&) {
    f->buffer.clear();  // works unbuffered
  }
  f->count = f->fill = 0;
  f->mode = MODE_READ;
  return number == ANY_NUMBER ? g_files.NumberOf(f) : static_cast<ObjectNumber>(handle);
}

void ReleaseFile(ObjectNumber number) {
  FileRecord* f = g_files.Lookup(number);
  if (!f) return;
  FlushPending(*f);
  g_os.close(f->handle);
  g_files.Free(number);
}

}  // namespace

ObjectNumber FileOpenRead(ObjectNumber number, TextArg name) {
  return Open(number, name, OS_OPEN_READ);
}

ObjectNumber FileOpenReadWrite(ObjectNumber number, TextArg name) {
  return Open(number, name, OS_OPEN_READ_WRITE_ALWAYS);
}

String FileReadLine(ObjectNumber number, size_t limit, bool* tooLong) {
  if (tooLong) *tooLong = false;
  FileRecord* f = g_files.Lookup(number);
  String line;
  if (!f) return line;
  // Keeps what fits under the limit of `length` more bytes at `bytes`.
  auto keep = [&](const char* bytes, size_t length) {
    size_t room = limit - line.size();
    if (length > room) {
      if (tooLong) *tooLong = true;
      length = room;
    }
    line.append(bytes, length);
  };
  if (f->buffer.empty()) {
    char c;
    while (ReadByteDirect(*f, &c)) {
      if (c == '\n' || c == '\0') return line;
      if (c == '\r') {
        if (ReadByteDirect(*f, &c) && c != '\n') g_os.seekRelative(f->handle, -1);
        return line;
      }
      keep(&c, 1);
    }
    return line;
  }
  // Scan the read-ahead directly for the first line-ending byte; equivalent to reading one
  // byte at a time, but fast on long pages.
  while (Refill(*f)) {
    const char* start = f->buffer.data() + (f->fill - f->count);
    const char* stop = start;
    const char* end = start + f->count;
    while (stop < end && *stop != '\n' && *stop != '\r' && *stop != '\0') ++stop;
    keep(start, static_cast<size_t>(stop - start));
    f->count -= static_cast<long>(stop - start);
    if (stop == end) continue;
    char ending = *stop;
    --f->count;
    if (ending == '\r' && Refill(*f)) {
      if (f->buffer[static_cast<size_t>(f->fill - f->count)] == '\n') --f->count;
    }
    return line;
  }
  return line;
}

int FileAtEnd(ObjectNumber number) {
  FileRecord* f = g_files.Lookup(number);
  if (!f) return 0;
  if (f->buffer.empty()) {
    char c;
    if (!ReadByteDirect(*f, &c)) return 1;
    g_os.seekRelative(f->handle, -1);
    return 0;
  }
  return Refill(*f) ? 0 : 1;
}

long FileWriteLine(ObjectNumber number, TextArg text) {
  FileRecord* f = g_files.Lookup(number);
  if (!f) return 0;
  std::string_view t = text.view();
  long put = 0;
  if (!t.empty()) put = WriteBytes(*f, t.data(), static_cast<long>(t.size()));
  return put + WriteBytes(*f, "\r\n", 2);
}

int FileTruncate(ObjectNumber number) {
  FileRecord* f = g_files.Lookup(number);
  if (!f) return 0;
  if (f->mode == MODE_WRITE) {
    FlushPending(*f);
  } else if (f->count > 0) {
    // The system position is ahead of the logical one by the unread read-ahead.
    g_os.seekRelative(f->handle, -f->count);
    f->count = f->fill = 0;
  }
  return g_os.truncate(f->handle) ? 1 : 0;
}

void FileClose(ObjectNumber number) {
  if (number == ANY_NUMBER) return;
  ReleaseFile(number);
}

int FileDelete(TextArg name) {
  if (name.view().empty()) return 0;
  return g_os.remove(String(name.view()).c_str()) ? 1 : 0;
}

String TempDirectory() { return g_os.tempPath(); }

void FilesEnd() { g_files.ReleaseAll(); }
