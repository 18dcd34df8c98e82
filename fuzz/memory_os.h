// An in-memory file system behind the runtime's OS seam, so that fuzz targets exercise the
// parsers without touching the disk. Files are byte strings by name; handles are indexes + 1.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "os.h"

namespace memory_os {

struct OpenFile {
  std::string name;
  int64_t position = 0;
};

inline std::map<std::string, std::string> g_files;
inline std::vector<OpenFile> g_open;

inline OpenFile* At(OsFile f) {
  size_t i = static_cast<size_t>(f - 1);
  return f > 0 && i < g_open.size() && !g_open[i].name.empty() ? &g_open[i] : nullptr;
}

inline OsFile Open(const char* name, OsOpenMode mode) {
  if (!name || !*name) return 0;
  bool exists = g_files.count(name) != 0;
  if (!exists && mode != OS_OPEN_READ_WRITE_ALWAYS && mode != OS_CREATE_ALWAYS) return 0;
  if (mode == OS_CREATE_ALWAYS || !exists) g_files[name].clear();
  g_open.push_back({name, 0});
  return static_cast<OsFile>(g_open.size());
}

inline long Read(OsFile f, void* buffer, long size) {
  OpenFile* o = At(f);
  if (!o) return -1;
  const std::string& bytes = g_files[o->name];
  if (o->position >= static_cast<int64_t>(bytes.size())) return 0;
  long n = static_cast<long>(std::min<int64_t>(size, bytes.size() - o->position));
  bytes.copy(static_cast<char*>(buffer), static_cast<size_t>(n), static_cast<size_t>(o->position));
  o->position += n;
  return n;
}

inline long Write(OsFile f, const void* buffer, long size) {
  OpenFile* o = At(f);
  if (!o) return -1;
  std::string& bytes = g_files[o->name];
  size_t end = static_cast<size_t>(o->position) + static_cast<size_t>(size);
  if (bytes.size() < end) bytes.resize(end);
  bytes.replace(static_cast<size_t>(o->position), static_cast<size_t>(size),
                static_cast<const char*>(buffer), static_cast<size_t>(size));
  o->position = static_cast<int64_t>(end);
  return size;
}

inline int64_t SeekStart(OsFile f, int64_t at) {
  OpenFile* o = At(f);
  if (!o || at < 0) return -1;
  return o->position = at;
}
inline int64_t SeekRelative(OsFile f, int64_t by) {
  OpenFile* o = At(f);
  return o ? SeekStart(f, o->position + by) : -1;
}
inline int64_t Size(OsFile f) {
  OpenFile* o = At(f);
  return o ? static_cast<int64_t>(g_files[o->name].size()) : -1;
}
inline bool Truncate(OsFile f) {
  OpenFile* o = At(f);
  if (!o) return false;
  g_files[o->name].resize(static_cast<size_t>(o->position));
  return true;
}
inline bool Flush(OsFile f) { return At(f) != nullptr; }
inline void Close(OsFile f) {
  if (OpenFile* o = At(f)) o->name.clear();
}
inline bool Remove(const char* name) { return name && g_files.erase(name) != 0; }
inline bool Replace(const char* from, const char* to) {
  auto it = g_files.find(from);
  if (it == g_files.end()) return false;
  g_files[to] = it->second;
  g_files.erase(from);
  return true;
}
inline std::string TempPath() { return "/mem/"; }
// Files only, with no times: a leftover "NAME.new" always counts as the newer file.
inline OsPathInfo PathInfo(const char* name) {
  OsPathInfo info;
  info.exists = name && g_files.count(name) != 0;
  return info;
}
inline std::string FullPath(const char* name) { return std::string("/mem/") + (name ? name : ""); }
// No C streams: the targets that go through the seam read no pictures from files.
inline FILE* OpenStream(const char*) { return nullptr; }

// Installs the memory file system with no files.
inline void Install() {
  g_files.clear();
  g_open.clear();
  g_os = OsApi{Open,  Read,   Write,   SeekRelative, SeekStart, Size,     Truncate,  Flush,
               Close, Remove, Replace, TempPath,     PathInfo,  FullPath, OpenStream};
}

}  // namespace memory_os
