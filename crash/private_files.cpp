#include "crash/private_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ombrelo {
namespace {

bool Ours(int fd, bool folder) {
  struct stat st {};
  return fstat(fd, &st) == 0 && st.st_uid == geteuid() &&
         (folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode));
}

}  // namespace

bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = syscall(SYS_write, fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool CreatePrivateFolders(const std::string& folder) {
  if (folder.empty()) return false;
  std::string path;
  size_t start = 0;
  while (start < folder.size()) {
    const size_t slash = folder.find('/', start + 1);
    path = folder.substr(0, slash == std::string::npos ? folder.size() : slash);
    start = slash == std::string::npos ? folder.size() : slash;
    if (path.empty() || path == "/") continue;
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int OpenPrivateFolder(const char* folder) {
  // The name without trailing separators: "obr/" would follow a link.
  char name[4096];
  size_t length = strnlen(folder, sizeof name);
  if (length == 0 || length >= sizeof name) return -1;
  std::memcpy(name, folder, length);
  while (length > 1 && name[length - 1] == '/') --length;
  name[length] = '\0';
  mkdir(name, 0700);
  const int fd = open(name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (!Ours(fd, true) || fstat(fd, &st) != 0 || (st.st_mode & 077) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

int CreateOwnFile(int folderFd, const char* name) {
  constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  int fd = openat(folderFd, name, kFlags, 0600);
  if (fd < 0 && errno == EEXIST) {
    // A file or link left in the way: removed (a link, not what it names).
    unlinkat(folderFd, name, 0);
    fd = openat(folderFd, name, kFlags, 0600);
  }
  return fd;
}

bool WriteOwnFile(const char* folder, const char* name, const char* temp, const void* data,
                  size_t size) {
  const int dir = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return false;
  bool ok = false;
  if (Ours(dir, true)) {
    const int fd = CreateOwnFile(dir, temp);
    if (fd >= 0) {
      ok = WriteAll(fd, data, size) && fsync(fd) == 0;
      ok = close(fd) == 0 && ok;
      ok = ok && renameat(dir, temp, dir, name) == 0;
      if (!ok) unlinkat(dir, temp, 0);
    }
  }
  close(dir);
  return ok;
}

int OpenOwnFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  if (!Ours(fd, false)) {
    close(fd);
    errno = EPERM;
    return -1;
  }
  return fd;
}

std::string ReadAll(int fd) {
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  return bytes;
}

}  // namespace ombrelo
