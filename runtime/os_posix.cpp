// The seam on POSIX systems (native builds for tests, sanitisers, fuzzing, benchmarks). Paths
// are UTF-8 bytes already, as the file system takes them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "os.h"

namespace {

// Handles are file descriptors + 1 so that descriptor 0 is still a non-zero handle.
int Fd(OsFile file) { return static_cast<int>(file - 1); }

OsFile PosixOpen(const char* name, OsOpenMode mode) {
  if (!name || !*name) return 0;
  int flags = 0;
  switch (mode) {
    case OS_OPEN_READ:
    case OS_OPEN_READ_SHARE_ALL: flags = O_RDONLY; break;
    case OS_OPEN_READ_WRITE: flags = O_RDWR; break;
    case OS_OPEN_READ_WRITE_ALWAYS: flags = O_RDWR | O_CREAT; break;
    case OS_CREATE_ALWAYS: flags = O_RDWR | O_CREAT | O_TRUNC; break;
  }
  int fd = ::open(name, flags | O_CLOEXEC, 0644);
  if (fd < 0) return 0;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // a directory is no file
    ::close(fd);
    return 0;
  }
  return static_cast<OsFile>(fd) + 1;
}

long PosixRead(OsFile file, void* buffer, long size) {
  ssize_t n;
  do n = ::read(Fd(file), buffer, static_cast<size_t>(size));
  while (n < 0 && errno == EINTR);
  return static_cast<long>(n);
}

long PosixWrite(OsFile file, const void* buffer, long size) {
  long done = 0;
  while (done < size) {
    ssize_t n = ::write(Fd(file), static_cast<const char*>(buffer) + done,
                        static_cast<size_t>(size - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return done > 0 ? done : -1;
    done += static_cast<long>(n);
  }
  return done;
}

int64_t PosixSeekRelative(OsFile file, int64_t offset) {
  return ::lseek(Fd(file), offset, SEEK_CUR);
}
int64_t PosixSeekStart(OsFile file, int64_t offset) { return ::lseek(Fd(file), offset, SEEK_SET); }

int64_t PosixSize(OsFile file) {
  struct stat st;
  return fstat(Fd(file), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

bool PosixTruncate(OsFile file) {
  off_t at = ::lseek(Fd(file), 0, SEEK_CUR);
  return at >= 0 && ::ftruncate(Fd(file), at) == 0;
}

bool PosixFlush(OsFile file) { return ::fsync(Fd(file)) == 0 || errno == EINVAL; }
void PosixClose(OsFile file) { ::close(Fd(file)); }
bool PosixRemove(const char* name) { return name && ::unlink(name) == 0; }
bool PosixReplace(const char* from, const char* to) { return ::rename(from, to) == 0; }

std::string PosixTempPath() {
  const char* dir = std::getenv("TMPDIR");
  std::string path = dir && *dir ? dir : "/tmp";
  if (path.back() != '/') path += '/';
  return path;
}

OsPathInfo PosixPathInfo(const char* name) {
  OsPathInfo info;
  struct stat st;
  if (!name || ::stat(name, &st) != 0) return info;
  info.exists = true;
  info.directory = S_ISDIR(st.st_mode);
  info.readOnly = (st.st_mode & S_IWUSR) == 0;
  info.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return info;
}

std::string PosixFullPath(const char* name) {
  std::string path = name ? name : "";
  if (path.empty() || path.front() == '/') return path;
  char* cwd = ::getcwd(nullptr, 0);
  if (!cwd) return path;
  std::string full = cwd;
  std::free(cwd);
  if (full.back() != '/') full += '/';
  return full + path;
}

FILE* PosixOpenStream(const char* name) { return name && *name ? std::fopen(name, "rb") : nullptr; }

const OsApi kPosixApi = {PosixOpen,      PosixRead,     PosixWrite,     PosixSeekRelative,
                         PosixSeekStart, PosixSize,     PosixTruncate,  PosixFlush,
                         PosixClose,     PosixRemove,   PosixReplace,   PosixTempPath,
                         PosixPathInfo,  PosixFullPath, PosixOpenStream};

}  // namespace

OsApi g_os = kPosixApi;
const OsApi& OsSystemApi() { return kPosixApi; }
